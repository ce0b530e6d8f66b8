// face/zr_landmark_fitter.h: ZR_LandmarkFitter, the three landmark models of "Landmarks.data"
// shared by all workers, and find-and-fit: five face-search stages of which the first that fits
// at least one face wins, the choice of the central face and its pose-dependent refinement.
#ifndef FACE_ZR_LANDMARK_FITTER_H
#define FACE_ZR_LANDMARK_FITTER_H

#include <cstdint>
#include <cstdio>

#include "annotation/zr_anno_model2d.h"
#include "core/zr_list.h"
#include "core/zr_string.h"
#include "face/detect/zr_face_detection.h"
#include "face/regression/zr_regression_landmark_model.h"
#include "face/shape/zr_landmark_model.h"

class ZR_CascadeClassifier;
class ZR_FaceDetectors;
class ZR_Image;
struct ZR_LandmarkPredictor;

// The search stages in their order; FindAndFit and DetectAndFitFaces name the one that won.
enum zr_search_stage : int32_t {
  ZR_STAGE_NONE = 0,           // no stage fitted a face
  ZR_STAGE_CASCADE0 = 1,       // cascade 0 alone
  ZR_STAGE_CASCADE1 = 2,       // cascade 1 alone
  ZR_STAGE_CONFIRMED = 3,      // cascade 0, each hit confirmed by cascade 1
  ZR_STAGE_HOG_HALF_SIZE = 4,  // the HOG detector on a smoothed half-size copy
  ZR_STAGE_HOG_FULL_SIZE = 5,  // the HOG detector on the full image
};

// ZR_LandmarkFitter: the landmark model, the regression landmark model and the landmark predictor.
//   File "Landmarks.data": int32 header word (ignored), the landmark-model record, the regression
//     landmark-model record (read in full so the predictor that follows is found; never used for
//     fitting), the predictor record; nothing after it is read.
//   Empty: default models, no predictor (every search then fails).
//   Owns: both models and the predictor (deleted first, then the regression and landmark models).
//   Threads: read once on the main thread; afterwards every worker calls FindAndFit at the same
//     time, each with its own detectors. Nothing in the fitter changes during a search.
//   Failure: Read returns false; FindAndFit returns false with " Failed to find face" or
//     " Failed to fit to face". No exception leaves FindAndFit.
class ZR_LandmarkFitter {
 public:
  ZR_LandmarkModel m_landmark_model;
  ZR_RegressionLandmarkModel m_regression_model;
  ZR_LandmarkPredictor* m_predictor;

  ZR_LandmarkFitter();
  ~ZR_LandmarkFitter();
  ZR_LandmarkFitter(const ZR_LandmarkFitter&) = delete;
  ZR_LandmarkFitter& operator=(const ZR_LandmarkFitter&) = delete;

  // Reads the landmark file from an open stream. True when the header word and all three records
  // were read; false at the first failure, with nothing printed (the fitter must then not be
  // used). The predictor of an earlier read is deleted before the new one is read.
  bool Read(FILE* f);

  // Finds one face in image and fits it: on true, model holds the refined landmarks of the face
  // nearest the image centre (relative to its box size) of the first stage that fitted one. On
  // false, error is replaced by " Failed to find face" (no stage fitted a face) or " Failed to fit
  // to face" (the refinement failed; model then holds the unrefined face or what the refinement
  // left). stage, when given, receives the winning stage (ZR_STAGE_NONE when none won).
  bool FindAndFit(ZR_FaceDetectors& detectors, const ZR_Image& image,
                  const ZR_DetectionParams& params, ZR_AnnoModel2D& model, ZR_String& error,
                  int32_t* stage = nullptr) const;

  // The stage chain. True when a stage fitted at least one face; models and boxes then hold that
  // stage's faces, index-aligned. A library exception inside a stage ends that stage as finding
  // nothing, and the half-size stage is skipped for an image under 4 x 4 pixels. The adapters'
  // messages are dropped. stage as in FindAndFit.
  bool DetectAndFitFaces(ZR_FaceDetectors& detectors, const ZR_Image& image,
                         const ZR_DetectionParams& params, ZR_List<ZR_AnnoModel2D>& models,
                         ZR_List<ZR_NBox>& boxes, int32_t* stage = nullptr) const;
};

// Cascade over the search region of params (scale 1.15, the params' face-height limits) into
// detections; false when it found nothing. Otherwise filters border and contained hits, sets the
// hit values to 0 and returns true, also when the filter removed every hit.
bool DetectFaces(ZR_CascadeClassifier& cascade, const ZR_Image& image,
                 const ZR_DetectionParams& params, ZR_List<ZR_FaceDetection>& detections);

// Cascade 0 of detectors as in DetectFaces, then each kept hit confirmed by cascade 1 inside its
// box grown 1.2 times (faces of 0.5 to 0.9 of that height): box 1 holds the mean confirming hit
// and is valid when there was one. Vector (0, 1, 0) and hit value 0 on every detection. False
// when cascade 0 found nothing.
bool DetectAndConfirmFaces(ZR_FaceDetectors& detectors, const ZR_Image& image,
                           const ZR_DetectionParams& params, ZR_List<ZR_FaceDetection>& detections);

// The boxes the third stage fits, one per detection of DetectAndConfirmFaces in order: the
// confirming cascade's box 1 when it is valid, else the detection's own box 0 when that is valid;
// a detection with neither adds nothing. boxes is replaced.
void ConfirmedFaceBoxes(const ZR_List<ZR_FaceDetection>& detections, ZR_List<ZR_NBox>& boxes);

// Index of the box with the smallest distance from its centre to (0.5, 0.5) divided by the
// length of its size; chosen receives a copy of it. Ties keep the earlier box. A box whose ratio
// is not a finite number (zero size) never qualifies; if none does, 0 is returned and chosen is
// not written.
int32_t ChooseCentralFace(const ZR_List<ZR_NBox>& boxes, ZR_NBox& chosen);

#endif  // FACE_ZR_LANDMARK_FITTER_H
