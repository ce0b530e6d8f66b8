// face/zr_isface_model.cpp: reading "IsFace.data", owning the neural detector, and the head pose
// of a fitted face. The neural detector's build may throw; the constructor keeps that inside, so
// a worker whose detector could not be built fails its model read instead of ending the process.
#include "face/zr_isface_model.h"

#include "core/zr_array.h"
#include "core/zr_list.h"
#include "core/zr_record_io.h"
#include "nnet/neural_face_detector.h"

ZR_IsFaceModel::NeuralDetectorOwner::NeuralDetectorOwner() : m_detector(nullptr) {
  // std::bad_alloc or std::runtime_error: the build has freed what it made. A failed allocation
  // of the detector itself writes nothing through the pointer, hence the null above.
  try {
    CreateNNFaceDetector(&m_detector);
  } catch (...) {
    m_detector = nullptr;
  }
}

ZR_IsFaceModel::NeuralDetectorOwner::~NeuralDetectorOwner() {
  DestroyNNFaceDetector(&m_detector);
}

ZR_IsFaceModel::ZR_IsFaceModel() {}

ZR_IsFaceModel::~ZR_IsFaceModel() {}

FILE* ZR_IsFaceModel::Read(FILE* f) {
  if (!m_neural_detector.get()) return nullptr;
  int32_t version = 0;
  if (!ZR_ReadValue(f, version)) return nullptr;
  for (ZR_CascadeClassifier& cascade : m_cascade)
    if (!cascade.Read(f)) return nullptr;
  if (!m_pose_estimator1.Read(f) || !m_pose_estimator2.Read(f)) return nullptr;
  if (!m_anno_model1.Read(f) || !m_sampler1.Read(f)) return nullptr;
  if (!m_anno_model2.Read(f) || !m_sampler2.Read(f)) return nullptr;
  return f;
}

ZR_Vector3D ZR_IsFaceModel::EstimatePose(const ZR_AnnoModel2D& model,
                                         const ZR_Vector2D& size) const {
  ZR_PoseEstimator e(m_pose_estimator1);
  const uint32_t n = e.m_n;

  ZR_List<ZR_Vector2D> scaled;
  model.GetScaledPoints(size, scaled, 0);
  // A model that does not match the estimator would overrun the point array; such a model gets
  // the angles of the stored rotation, as an estimator that refuses gives.
  if (n > 0 && scaled.m_count == n) {
    ZR_Array<ZR_Vector2D> points;
    points.Resize(int32_t(n));
    ZR_Vector2D sum(0, 0);
    for (uint32_t i = 0; i < n; ++i) {
      points[int32_t(i)] = scaled[i];
      sum = sum + scaled[i];
    }
    const ZR_Vector2D mean = sum / float(n);
    for (uint32_t i = 0; i < n; ++i) points[int32_t(i)] = points[int32_t(i)] - mean;
    e.Estimate(points);
  }

  // The reader admits only a 3 x 3 or 2 x 2 rotation, so the angles always exist.
  ZR_Vector3D angles(0, 0, 0);
  RotationToAngles(e.m_rotation, angles, 0);
  return angles;
}
