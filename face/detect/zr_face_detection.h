// face/detect/zr_face_detection.h: the records of the face search: ZR_NBox (one face box in
// normalised, bottom-up coordinates), ZR_FaceDetection (one cascade hit with its fourteen boxes)
// and ZR_DetectionParams (the worker's search region and face-size limits). Detectors report
// top-down pixel rectangles; SetFromPixelRect flips them into the system's bottom-up frame.
#ifndef FACE_DETECT_ZR_FACE_DETECTION_H
#define FACE_DETECT_ZR_FACE_DETECTION_H

#include <cstdint>

#include "core/zr_object_type.h"
#include "core/zr_point.h"

// ZR_NBox: one face box, x = column / width and y = row / height from the bottom of the picture.
//   Fields: corner 0 (min x, min y), corner 1 (max x, min y), corner 2 (min x, max y), corner 3
//     (max x, max y), centre, size (corner 3 - corner 0), valid (1: the box holds a face).
//   Empty state: every point (0, 0), valid 0.
//   Invariant after SetFromPixelRect or SetCorners: the corners bound one axis-aligned rectangle,
//     centre and size agree with corners 0 and 3; ScaleAboutCentre keeps it.
//   Copies by value; owns nothing. Type code 5.
class ZR_NBox : public ZR_ObjectType {
 public:
  ZR_Vector2D m_corner0;
  ZR_Vector2D m_corner1;
  ZR_Vector2D m_corner2;
  ZR_Vector2D m_corner3;
  ZR_Vector2D m_centre;
  ZR_Vector2D m_size;
  uint8_t m_valid;

  ZR_NBox();
  ZR_NBox(const ZR_NBox& other) = default;
  ZR_NBox& operator=(const ZR_NBox& other) = default;
  ~ZR_NBox() = default;

  int32_t GetType() const override { return ZR_TYPE_NBOX; }

  // The box of a pixel rectangle whose top-left pixel is column x, row y of a top-down frame of
  // rows x cols pixels; right and bottom edges are x + w and y + h. All arithmetic in float, with
  // rows - y subtracted as integers first. valid := 1. rows and cols must be positive.
  void SetFromPixelRect(int x, int y, int w, int h, int rows, int cols);
  // corner 0 := min, corner 3 := max, the other corners, centre and size from them; valid := 1.
  void SetCorners(const ZR_Vector2D& min, const ZR_Vector2D& max);
  // Grows or shrinks the corners about the centre by s.x across and s.y up; size scales the same;
  // centre and valid do not change.
  void ScaleAboutCentre(const ZR_Vector2D& s);
};

// ZR_FaceDetection: one hit of a cascade search.
//   Fields: box 0 (the detector's box), box 1 (the working box the filter and the confirmation
//     use), the hit value, boxes 2..13 (kept in their constructed state), a vector
//     ((0.5, 0.5, 0.5) at construction; the confirming search sets (0, 1, 0)).
//   Empty state: all boxes empty (valid 0), hit value 0.
//   Copies by value; owns nothing. Type code 6.
class ZR_FaceDetection : public ZR_ObjectType {
 public:
  ZR_NBox m_box0;
  ZR_NBox m_box1;
  int32_t m_hit_value;
  ZR_NBox m_boxes[12];  // boxes 2..13
  ZR_Vector3D m_vector;

  ZR_FaceDetection();
  ZR_FaceDetection(const ZR_FaceDetection& other) = default;
  // Copies every box (points and valid byte), the hit value and the vector.
  ZR_FaceDetection& operator=(const ZR_FaceDetection& other) = default;
  ~ZR_FaceDetection() = default;

  int32_t GetType() const override { return ZR_TYPE_FACE_DETECTION; }
};

// ZR_DetectionParams: the face-search parameters the worker builds once per run and find-and-fit
// reads. Region edges are fractions of the image, top measured from the top of the picture; note
// height before width here, while the cascade passes take top, left, width, height. Face heights
// are fractions of the image height: a minimum of 0 or less means the cascade's window, a maximum
// of 0 or less no limit. The defaults are the worker's values. The flags are not consulted.
struct ZR_DetectionParams {
  float m_top = 0.001f;
  float m_left = 0.001f;
  float m_height = 0.999f;
  float m_width = 0.999f;
  float m_min_face_height = 0.2f;
  float m_max_face_height = 0.999f;
  int64_t m_flags = 1;
};

#endif  // FACE_DETECT_ZR_FACE_DETECTION_H
