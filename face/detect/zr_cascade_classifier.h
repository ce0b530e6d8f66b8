// face/detect/zr_cascade_classifier.h: ZR_CascadeClassifier, the library's cascade classifier
// filled from the system's own cascade record, and the two detection passes of the face search over
// a region of a ZR_Image (DetectAll: every grouped hit; DetectOne: their mean), with AverageRects
// and FilterDetections. Hits are sorted by (y, x, w, h) so that runs do not depend on the library's
// thread timing.
#ifndef FACE_DETECT_ZR_CASCADE_CLASSIFIER_H
#define FACE_DETECT_ZR_CASCADE_CLASSIFIER_H

#include <cstdint>
#include <cstdio>
#include <vector>

#include <opencv2/objdetect.hpp>

#include "core/zr_list.h"
#include "face/detect/zr_cascade_record.h"
#include "face/detect/zr_face_detection.h"
#include "image/zr_image.h"

// ZR_CascadeClassifier: one LBP cascade. Empty: no stages, the library classifier empty.
//   m_record keeps the record as read (tests inspect it); m_flag is false at construction and is
//   carried, never interpreted.
//   Invariant: the library classifier holds exactly m_record's cascade, or is empty when the
//     record has no stages or the last Read failed.
//   Threads: detection changes the library's evaluator state: one thread at a time.
class ZR_CascadeClassifier : public cv::CascadeClassifier {
 public:
  bool m_flag = false;
  zr_cascade_record m_record;

  ZR_CascadeClassifier() = default;

  // Reads one cascade record, validates it and hands it to the library through its cascade text
  // read from memory. Returns f, or null at a short read, a refused record or a library refusal;
  // the classifier is then empty (m_record keeps what was read). A record with no stages is
  // valid and leaves the classifier empty: it finds nothing.
  FILE* Read(FILE* f);
  // True when the classifier holds at least one stage.
  bool HasStages() const { return !m_record.stages.empty() && !empty(); }
};

// ZR_CascadeSet: the two passes; no state, one local per search.
//   Regions are fractions: top and height of the image height (top from the top of the
//   picture), left and width of the image width. minHeight and maxHeight are fractions of a
//   height (0 or less: the window, or no limit). A caught library exception makes a pass find
//   nothing.
class ZR_CascadeSet {
 public:
  // Every grouped hit of the cascade in the region, appended to out (emptied first) as
  // detections with box 1 = box 0 = the hit, sorted by (y, x, w, h). Returns the number added,
  // 0 for none (also for a cascade without stages), -1 for an image without pixels or a region
  // under 5 pixels or clamped to nothing.
  int DetectAll(const ZR_Image& image, ZR_CascadeClassifier& cascade,
                ZR_List<ZR_FaceDetection>& out, float top, float left, float width, float height,
                float scale, float minHeight, float maxHeight);
  // The mean of every grouped hit in the region (histogram equalised over the region only) into
  // out. Returns the number of hits (out valid), 0 for none, -1 as for DetectAll; out's valid
  // byte is 0 unless hits were found.
  int DetectOne(const ZR_Image& image, ZR_CascadeClassifier& cascade, ZR_NBox& out, float top,
                float left, float width, float height, float scale, int neighbours, float minHeight,
                float maxHeight);
};

// The mean rectangle of rects: the first one for a single rectangle, else each of x, y, width
// and height rounded half away from zero from sum / count in float. False, mean untouched, for an
// empty list.
bool AverageRects(const std::vector<cv::Rect>& rects, cv::Rect& mean);

// Drops, in place and keeping order, the detections whose box 1 touches or passes the image
// border (corner 0 must be > 0 and corner 3 < 1 strictly), then those whose box 1 lies inside
// another detection's box 1, edges included (two equal boxes drop each other).
void FilterDetections(ZR_List<ZR_FaceDetection>& list);

#endif  // FACE_DETECT_ZR_CASCADE_CLASSIFIER_H
