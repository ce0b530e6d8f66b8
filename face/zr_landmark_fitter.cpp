// face/zr_landmark_fitter.cpp: reading "Landmarks.data" and find-and-fit. Every stage runs inside
// a guard: a library exception (OpenCV, dlib, ZR_ImageException, std::bad_alloc) ends that stage
// as finding nothing, so one bad image never ends a worker. Every list is local to the call.
#include "face/zr_landmark_fitter.h"

#include <cfloat>
#include <cmath>

#include "core/zr_record_io.h"
#include "face/detect/zr_cascade_classifier.h"
#include "face/detect/zr_dlib_adapters.h"
#include "face/zr_face_detectors.h"
#include "image/zr_image.h"

namespace {

// Runs one search stage; any exception counts as the stage finding nothing.
template <class Stage>
bool Guarded(Stage stage) {
  try {
    return stage();
  } catch (...) {
    return false;
  }
}

}  // namespace

bool DetectFaces(ZR_CascadeClassifier& cascade, const ZR_Image& image,
                 const ZR_DetectionParams& params, ZR_List<ZR_FaceDetection>& detections) {
  ZR_CascadeSet set;
  set.DetectAll(image, cascade, detections, params.m_top, params.m_left, params.m_width,
                params.m_height, 1.15f, params.m_min_face_height, params.m_max_face_height);
  if (detections.m_count == 0) return false;
  FilterDetections(detections);
  for (uint32_t i = 0; i < detections.m_count; ++i) detections[i].m_hit_value = 0;
  return true;
}

bool DetectAndConfirmFaces(ZR_FaceDetectors& detectors, const ZR_Image& image,
                           const ZR_DetectionParams& params,
                           ZR_List<ZR_FaceDetection>& detections) {
  detections.Clear();
  ZR_CascadeSet set;
  set.DetectAll(image, detectors.m_cascade[0], detections, params.m_top, params.m_left,
                params.m_width, params.m_height, 1.15f, params.m_min_face_height,
                params.m_max_face_height);
  if (detections.m_count == 0) return false;
  FilterDetections(detections);
  for (uint32_t i = 0; i < detections.m_count; ++i) {
    ZR_FaceDetection& d = detections[i];
    d.m_vector = ZR_Vector3D(0, 1, 0);
    d.m_hit_value = 0;
    ZR_NBox g = d.m_box0;
    g.ScaleAboutCentre(ZR_Vector2D(1.2f, 1.2f));
    const int32_t found =
        set.DetectOne(image, detectors.m_cascade[1], d.m_box1, 1 - g.m_corner3.y, g.m_corner0.x,
                      std::fabs(g.m_corner3.x - g.m_corner0.x),
                      std::fabs(g.m_corner3.y - g.m_corner0.y), 1.1f, 1, 0.5f, 0.9f);
    d.m_box1.m_valid = found != 0 ? 1 : 0;
  }
  return true;
}

void ConfirmedFaceBoxes(const ZR_List<ZR_FaceDetection>& detections, ZR_List<ZR_NBox>& boxes) {
  boxes.Clear();
  for (uint32_t i = 0; i < detections.m_count; ++i) {
    const ZR_FaceDetection& d = detections[i];
    if (d.m_box1.m_valid)
      boxes.Add(d.m_box1);
    else if (d.m_box0.m_valid)
      boxes.Add(d.m_box0);
  }
}

int32_t ChooseCentralFace(const ZR_List<ZR_NBox>& boxes, ZR_NBox& chosen) {
  float best = FLT_MAX;
  int32_t index = 0;
  for (uint32_t i = 0; i < boxes.m_count; ++i) {
    const ZR_NBox& b = boxes[i];
    const float dx = 0.5f - b.m_centre.x;
    const float dy = 0.5f - b.m_centre.y;
    const float dist = float(std::sqrt(double(dx * dx + dy * dy)));
    const float norm = float(std::sqrt(double(b.m_size.x * b.m_size.x + b.m_size.y * b.m_size.y)));
    const float d = dist / norm;  // infinite or NaN for a zero size: never below best
    if (d < best) {
      best = d;
      index = int32_t(i);
      chosen = b;
    }
  }
  return index;
}

ZR_LandmarkFitter::ZR_LandmarkFitter() : m_predictor(nullptr) {}

ZR_LandmarkFitter::~ZR_LandmarkFitter() {
  if (m_predictor) DeleteLandmarkPredictor(m_predictor);
  m_predictor = nullptr;
}

bool ZR_LandmarkFitter::Read(FILE* f) {
  int32_t header = 0;
  if (!ZR_ReadValue(f, header)) return false;
  if (!m_landmark_model.Read(f)) return false;
  if (!m_regression_model.Read(f)) return false;
  if (m_predictor) DeleteLandmarkPredictor(m_predictor);
  m_predictor = NewLandmarkPredictor(f);
  return m_predictor != nullptr;
}

bool ZR_LandmarkFitter::DetectAndFitFaces(ZR_FaceDetectors& detectors, const ZR_Image& image,
                                          const ZR_DetectionParams& params,
                                          ZR_List<ZR_AnnoModel2D>& models, ZR_List<ZR_NBox>& boxes,
                                          int32_t* stage) const {
  if (stage) *stage = ZR_STAGE_NONE;
  ZR_String e;  // the adapters' messages stay here
  ZR_HogDetector* hog = detectors.m_hog_detector;
  ZR_List<ZR_FaceDetection> detections;

  // Stages 1 and 2: one cascade alone, its working boxes confirmed and fitted by HOG.
  for (int32_t c = 0; c < 2; ++c) {
    const bool found = Guarded([&] {
      detections.Clear();
      boxes.Clear();
      models.Clear();
      if (!DetectFaces(detectors.m_cascade[c], image, params, detections)) return false;
      for (uint32_t i = 0; i < detections.m_count; ++i) boxes.Add(detections[i].m_box1);
      return DLIB_FitLandmarksToBoxes(image, boxes, models, hog, m_predictor, e);
    });
    if (found) {
      if (stage) *stage = c == 0 ? ZR_STAGE_CASCADE0 : ZR_STAGE_CASCADE1;
      return true;
    }
  }

  // Stage 3: cascade 0 confirmed by cascade 1; an unconfirmed hit is tried with its own box.
  if (Guarded([&] {
        detections.Clear();
        boxes.Clear();
        models.Clear();
        if (!DetectAndConfirmFaces(detectors, image, params, detections)) return false;
        ConfirmedFaceBoxes(detections, boxes);
        return boxes.m_count > 0 &&
               DLIB_FitLandmarksToBoxes(image, boxes, models, hog, m_predictor, e);
      })) {
    if (stage) *stage = ZR_STAGE_CONFIRMED;
    return true;
  }

  // Stage 4: HOG on a half-size copy; an image that cannot be halved skips it.
  const ZR_Vector2D size = image.GetSize();
  if (size.x >= 4 && size.y >= 4 && Guarded([&] {
        boxes.Clear();
        models.Clear();
        return DLIB_FitLandmarksHalfSize(image, models, boxes, hog, m_predictor, e);
      })) {
    if (stage) *stage = ZR_STAGE_HOG_HALF_SIZE;
    return true;
  }

  // Stage 5: HOG on the full image.
  if (Guarded([&] {
        boxes.Clear();
        models.Clear();
        return DLIB_FitLandmarks(image, models, boxes, hog, m_predictor, e);
      })) {
    if (stage) *stage = ZR_STAGE_HOG_FULL_SIZE;
    return true;
  }
  models.Clear();
  boxes.Clear();
  return false;
}

bool ZR_LandmarkFitter::FindAndFit(ZR_FaceDetectors& detectors, const ZR_Image& image,
                                   const ZR_DetectionParams& params, ZR_AnnoModel2D& model,
                                   ZR_String& error, int32_t* stage) const {
  ZR_List<ZR_AnnoModel2D> models;
  ZR_List<ZR_NBox> boxes;
  if (!DetectAndFitFaces(detectors, image, params, models, boxes, stage) || models.m_count == 0) {
    error = " Failed to find face";
    return false;
  }
  int32_t k = 0;
  if (models.m_count > 1) {
    ZR_NBox chosen;
    k = ChooseCentralFace(boxes, chosen);
  }
  model = models[uint32_t(k)];
  const bool fitted =
      Guarded([&] { return TryFitLandmarkModel(m_landmark_model, image.GetSize(), model); });
  if (!fitted) {
    error = " Failed to fit to face";
    return false;
  }
  return true;
}
