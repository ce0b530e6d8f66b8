// tests/face/detect/zr_face_detection_test.cpp: box arithmetic of ZR_NBox (pixel rectangles flipped
// into the bottom-up frame, corners, scaling about the centre) and detection copies.
#include "face/detect/zr_face_detection.h"

#include <gtest/gtest.h>

namespace {

void ExpectPoint(const ZR_Vector2D& p, float x, float y, const char* what) {
  EXPECT_FLOAT_EQ(x, p.x) << what;
  EXPECT_FLOAT_EQ(y, p.y) << what;
}

TEST(ZrNBox, PixelRectFlipsIntoTheBottomUpFrame) {
  const struct {
    int x, y, w, h, rows, cols;
    float c0x, c0y, c3x, c3y;
  } cases[] = {
      {10, 20, 30, 40, 100, 200, 0.05f, 0.4f, 0.2f, 0.8f},  // the documented example
      {0, 0, 50, 25, 100, 100, 0.0f, 0.75f, 0.5f, 1.0f},    // top row: top edge at y = 1
      {5, 60, 10, 40, 100, 100, 0.05f, 0.0f, 0.15f, 0.4f},  // bottom edge on the last row: y = 0
  };
  for (const auto& c : cases) {
    ZR_NBox b;
    b.SetFromPixelRect(c.x, c.y, c.w, c.h, c.rows, c.cols);
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y << "," << c.w << "," << c.h);
    ExpectPoint(b.m_corner0, c.c0x, c.c0y, "corner 0");
    ExpectPoint(b.m_corner1, c.c3x, c.c0y, "corner 1");
    ExpectPoint(b.m_corner2, c.c0x, c.c3y, "corner 2");
    ExpectPoint(b.m_corner3, c.c3x, c.c3y, "corner 3");
    ExpectPoint(b.m_centre, (c.c0x + c.c3x) / 2, (c.c0y + c.c3y) / 2, "centre");
    ExpectPoint(b.m_size, c.c3x - c.c0x, c.c3y - c.c0y, "size");
    EXPECT_EQ(1, b.m_valid);
  }
}

TEST(ZrNBox, SetCornersFillsTheOtherPoints) {
  ZR_NBox b;
  EXPECT_EQ(0, b.m_valid);
  EXPECT_EQ(0.0f, b.m_corner3.x);  // constructed points are zero, never unset
  b.SetCorners(ZR_Vector2D(0.2f, 0.3f), ZR_Vector2D(0.6f, 0.9f));
  ExpectPoint(b.m_corner1, 0.6f, 0.3f, "corner 1");
  ExpectPoint(b.m_corner2, 0.2f, 0.9f, "corner 2");
  ExpectPoint(b.m_centre, 0.4f, 0.6f, "centre");
  ExpectPoint(b.m_size, 0.4f, 0.6f, "size");
  EXPECT_EQ(1, b.m_valid);
  EXPECT_EQ(ZR_TYPE_NBOX, b.GetType());
}

TEST(ZrNBox, ScaleAboutCentreKeepsCentreAndValid) {
  ZR_NBox b;
  b.SetCorners(ZR_Vector2D(0.4f, 0.4f), ZR_Vector2D(0.6f, 0.6f));
  b.m_valid = 0;
  b.ScaleAboutCentre(ZR_Vector2D(1.2f, 1.2f));
  ExpectPoint(b.m_corner0, 0.38f, 0.38f, "corner 0");
  ExpectPoint(b.m_corner1, 0.62f, 0.38f, "corner 1");
  ExpectPoint(b.m_corner2, 0.38f, 0.62f, "corner 2");
  ExpectPoint(b.m_corner3, 0.62f, 0.62f, "corner 3");
  ExpectPoint(b.m_centre, 0.5f, 0.5f, "centre");
  ExpectPoint(b.m_size, 0.24f, 0.24f, "size");
  EXPECT_EQ(0, b.m_valid);
}

TEST(ZrFaceDetection, ConstructsEmptyAndCopiesEveryField) {
  ZR_FaceDetection d;
  EXPECT_EQ(ZR_TYPE_FACE_DETECTION, d.GetType());
  EXPECT_EQ(0, d.m_box0.m_valid);
  EXPECT_EQ(0, d.m_boxes[11].m_valid);
  EXPECT_EQ(0, d.m_hit_value);
  EXPECT_EQ(0.5f, d.m_vector.x);
  EXPECT_EQ(0.5f, d.m_vector.z);

  d.m_box0.SetFromPixelRect(1, 2, 3, 4, 10, 10);
  d.m_box1.SetCorners(ZR_Vector2D(0.1f, 0.2f), ZR_Vector2D(0.3f, 0.4f));
  d.m_hit_value = 7;
  d.m_vector = ZR_Vector3D(0, 1, 0);
  ZR_FaceDetection copy;
  copy = d;
  ExpectPoint(copy.m_box0.m_corner3, d.m_box0.m_corner3.x, d.m_box0.m_corner3.y, "box 0");
  ExpectPoint(copy.m_box1.m_centre, 0.2f, 0.3f, "box 1");
  EXPECT_EQ(1, copy.m_box1.m_valid);
  EXPECT_EQ(7, copy.m_hit_value);
  EXPECT_EQ(1.0f, copy.m_vector.y);
}

TEST(ZrDetectionParams, DefaultsAreTheWorkersValues) {
  const ZR_DetectionParams p;
  EXPECT_FLOAT_EQ(0.001f, p.m_top);
  EXPECT_FLOAT_EQ(0.999f, p.m_height);
  EXPECT_FLOAT_EQ(0.2f, p.m_min_face_height);
  EXPECT_EQ(1, p.m_flags);
}

}  // namespace
