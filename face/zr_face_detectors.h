// face/zr_face_detectors.h: ZR_FaceDetectors, one worker's face-search detectors: the four
// cascades of "Detectors.data" and the HOG face detector made from dlib's embedded model. The
// file holds an int32 version (ignored) and four cascade records; nothing after them is read.
#ifndef FACE_ZR_FACE_DETECTORS_H
#define FACE_ZR_FACE_DETECTORS_H

#include <cstdio>

#include "face/detect/zr_cascade_classifier.h"

struct ZR_HogDetector;

// ZR_FaceDetectors: the detector model of one worker.
//   Empty: four classifiers without a cascade, no HOG detector.
//   Use: cascade 0 serves the first and third search stages, cascade 1 the second stage and the
//     confirmation of the third; cascades 2 and 3 are read and kept. The HOG detector confirms
//     every cascade box and runs the last two stages.
//   Owns: the classifiers and the HOG detector (deleted first, then cascades 3, 2, 1, 0).
//   Threads: a classifier and the HOG detector change state while they run, so one model is used
//     by one thread at a time; every worker has its own.
//   Failure: Read returns null; nothing is printed.
class ZR_FaceDetectors {
 public:
  ZR_CascadeClassifier m_cascade[4];
  ZR_HogDetector* m_hog_detector;

  ZR_FaceDetectors();
  ~ZR_FaceDetectors();
  ZR_FaceDetectors(const ZR_FaceDetectors&) = delete;
  ZR_FaceDetectors& operator=(const ZR_FaceDetectors&) = delete;

  // Reads the detector file from an open stream: the version, then cascades 0 to 3, then creates
  // the HOG detector (the library's text on failure is dropped). Returns f, or null at the first
  // short read or refused cascade, or when the HOG detector cannot be made. A second call first
  // deletes the HOG detector of the first; after a failure the model must not be used.
  FILE* Read(FILE* f);
};

// Makes the cascades' library run its parallel loops on the thread that calls them, for the whole
// process: each worker's search then stays on its worker, rather than the library's own thread
// pool, whose threads need not keep the process's processor mask, running on top of the workers.
// Results do not change (hits are sorted). Call once, before the workers start.
void ZR_RunDetectorsOnCallingThreads();

#endif  // FACE_ZR_FACE_DETECTORS_H
