// face/zr_face_detectors.cpp: reading "Detectors.data" and making the HOG detector. The HOG
// detector is not in the file: it is built from the library's embedded model once the cascades
// have been read, which costs a few hundred milliseconds per worker. The cascades' library's own
// threads are switched off process-wide by the tool, whose workers are its parallelism.
#include "face/zr_face_detectors.h"

#include <string>

#include "core/zr_record_io.h"
#include "face/detect/zr_dlib_adapters.h"

#include <opencv2/core.hpp>

ZR_FaceDetectors::ZR_FaceDetectors() : m_hog_detector(nullptr) {}

ZR_FaceDetectors::~ZR_FaceDetectors() {
  DeleteFaceDetector(m_hog_detector);
  m_hog_detector = nullptr;
  // The cascades go after the detector, 3 to 0, as members of an array are destroyed.
}

FILE* ZR_FaceDetectors::Read(FILE* f) {
  // A detector left from an earlier read would otherwise leak when it is replaced below.
  DeleteFaceDetector(m_hog_detector);
  m_hog_detector = nullptr;

  int32_t version = 0;
  if (!ZR_ReadValue(f, version)) return nullptr;
  for (ZR_CascadeClassifier& cascade : m_cascade)
    if (!cascade.Read(f)) return nullptr;

  std::string error;
  m_hog_detector = CreateFaceDetector(error);
  return m_hog_detector ? f : nullptr;
}

void ZR_RunDetectorsOnCallingThreads() {
  cv::setNumThreads(0);
}
