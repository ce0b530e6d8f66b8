// face/zr_isface_model.h: ZR_IsFaceModel, the per-worker model of "IsFace.data" (three cascades,
// two head-pose estimators, two annotation-model and mesh-sampler pairs) with the neural face
// detector it builds, and the head pose of a fitted face. Only the first estimator is used.
#ifndef FACE_ZR_ISFACE_MODEL_H
#define FACE_ZR_ISFACE_MODEL_H

#include <cstdio>

#include "annotation/zr_anno_model2d.h"
#include "core/zr_point.h"
#include "core/zr_sampler2d.h"
#include "face/detect/zr_cascade_classifier.h"
#include "face/shape/zr_pose_estimator.h"

class NeuralFaceDetector;

// ZR_IsFaceModel: the IsFace model of one worker.
//   File: int32 version (ignored), cascade records 0 to 2, pose estimator records 1 and 2, then
//     annotation model 1, mesh sampler 1, annotation model 2, mesh sampler 2; nothing after.
//   Construction builds the neural detector (about 5 ms); when that throws, the model holds no
//     detector and Read fails, so a worker reports its model file as not loaded.
//   Owns: every member and the neural detector; destroyed in reverse field order (samplers and
//     annotation models, the detector, the estimators, cascades 2 to 0).
//   Threads: one worker's own; EstimatePose works on a copy and changes nothing.
//   Failure: Read returns null; nothing is printed.
class ZR_IsFaceModel {
 public:
  // Owns one neural detector: made by the constructor, freed by DestroyNNFaceDetector. A member
  // of its own so that the detector is freed in field order, also when a later member's
  // construction throws.
  class NeuralDetectorOwner {
   public:
    NeuralDetectorOwner();
    ~NeuralDetectorOwner();
    NeuralDetectorOwner(const NeuralDetectorOwner&) = delete;
    NeuralDetectorOwner& operator=(const NeuralDetectorOwner&) = delete;
    NeuralFaceDetector* get() const { return m_detector; }

   private:
    NeuralFaceDetector* m_detector;
  };

  ZR_CascadeClassifier m_cascade[3];
  ZR_PoseEstimator m_pose_estimator1;
  ZR_PoseEstimator m_pose_estimator2;
  NeuralDetectorOwner m_neural_detector;
  ZR_AnnoModel2D m_anno_model1;
  ZR_Sampler2D m_sampler1;
  ZR_AnnoModel2D m_anno_model2;
  ZR_Sampler2D m_sampler2;

  ZR_IsFaceModel();
  ~ZR_IsFaceModel();
  ZR_IsFaceModel(const ZR_IsFaceModel&) = delete;
  ZR_IsFaceModel& operator=(const ZR_IsFaceModel&) = delete;

  // Reads the IsFace file from an open stream, record by record in file order. Returns f, or
  // null at the first short read or refused record, and at once when the neural detector could
  // not be built. What was read before a failure stays; the model must then not be used.
  FILE* Read(FILE* f);

  // Head-pose angles in degrees (x about the image's x axis, y yaw, z roll) of a fitted face in
  // an image of size (cols, rows): every point of every annotation, in order, scaled to pixels
  // (y from the bottom) and centred, goes to a copy of estimator 1, and the angles of its
  // rotation are returned. When the model's point count differs from the estimator's, or the
  // estimator has no points, the estimate is skipped and the angles of the stored rotation are
  // returned, as when the estimator refuses.
  ZR_Vector3D EstimatePose(const ZR_AnnoModel2D& model, const ZR_Vector2D& size) const;
};

#endif  // FACE_ZR_ISFACE_MODEL_H
