// tests/annotation/zr_annotation2d_test.cpp: the annotation defaults, assignment, and the boxes.
#include "annotation/zr_annotation2d.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

ZR_Annotation2D Square(float lo, float hi) {
  ZR_Annotation2D a;
  a.Add(ZR_Vector2D(lo, lo));
  a.Add(ZR_Vector2D(hi, lo));
  a.Add(ZR_Vector2D(hi, hi));
  return a;
}

}  // namespace

TEST(ZrAnnotation2D, DefaultHoldsTheDocumentedValues) {
  const ZR_Annotation2D a;
  EXPECT_EQ(3, a.GetType());
  EXPECT_EQ(0u, a.m_count);
  EXPECT_EQ(10u, a.m_grow_step);
  EXPECT_EQ(1, a.m_value);
  EXPECT_TRUE(a.m_name == "NONE");
  EXPECT_EQ(0u, a.m_fixed.m_count);
  EXPECT_EQ(4u, a.m_fixed.m_grow_step);
  EXPECT_EQ(1, a.m_flag);
  EXPECT_EQ(1, a.m_open);
  EXPECT_EQ(1, a.m_include);
  const uint8_t colour[4] = {0, 0, 255, 255};
  for (int c = 0; c < 4; ++c) EXPECT_EQ(colour[c], a.m_colour[c]) << c;
}

TEST(ZrAnnotation2D, AssignmentCopiesEveryFieldIntoIndependentStorage) {
  ZR_Annotation2D source = Square(0.25f, 0.75f);
  source.m_value = -7;
  source.m_name = "LEFT EYE";
  source.m_fixed.Add(2);
  source.m_flag = 4;
  source.m_open = 0;
  source.m_include = 2;
  const uint8_t colour[4] = {9, 8, 7, 6};
  for (int c = 0; c < 4; ++c) source.m_colour[c] = colour[c];

  ZR_Annotation2D copy;
  copy = source;
  const ZR_Annotation2D& same = copy;
  copy = same;  // self-assignment changes nothing
  source[0].x = 0.5f;
  source.m_fixed[0] = 5;
  ASSERT_EQ(3u, copy.m_count);
  EXPECT_EQ(0.25f, copy[0].x);
  EXPECT_EQ(0.75f, copy[2].y);
  EXPECT_EQ(-7, copy.m_value);
  EXPECT_TRUE(copy.m_name == "LEFT EYE");
  ASSERT_EQ(1u, copy.m_fixed.m_count);
  EXPECT_EQ(2, copy.m_fixed[0]);
  EXPECT_EQ(4, copy.m_flag);
  EXPECT_EQ(0, copy.m_open);
  EXPECT_EQ(2, copy.m_include);
  for (int c = 0; c < 4; ++c) EXPECT_EQ(colour[c], copy.m_colour[c]) << c;

  const ZR_Annotation2D constructed(copy);
  EXPECT_EQ(3u, constructed.m_count);
  EXPECT_TRUE(constructed.m_name == "LEFT EYE");
}

TEST(ZrAnnotation2D, BoundingBoxOfNoPointsIsTheSentinels) {
  const ZR_Annotation2D a;
  ZR_Vector2D min, max;
  const ZR_Vector2D size = a.GetBoundingBox(min, max);
  EXPECT_EQ(3.4028235e38f, min.x);
  EXPECT_EQ(3.4028235e38f, min.y);
  EXPECT_EQ(-3.4028235e38f, max.x);
  EXPECT_EQ(-3.4028235e38f, max.y);
  EXPECT_TRUE(std::isinf(size.x) && size.x < 0);
  EXPECT_TRUE(std::isinf(size.y) && size.y < 0);
}

TEST(ZrAnnotation2D, BoundingBoxAndScaledCentre) {
  ZR_Annotation2D a;
  a.Add(ZR_Vector2D(0.5f, 0.25f));
  a.Add(ZR_Vector2D(0.125f, 0.75f));
  a.Add(ZR_Vector2D(0.25f, 0.5f));
  ZR_Vector2D min, max;
  const ZR_Vector2D size = a.GetBoundingBox(min, max);
  EXPECT_EQ(0.125f, min.x);
  EXPECT_EQ(0.25f, min.y);
  EXPECT_EQ(0.5f, max.x);
  EXPECT_EQ(0.75f, max.y);
  EXPECT_EQ(0.375f, size.x);
  EXPECT_EQ(0.5f, size.y);
  const ZR_Vector2D centre = a.GetScaledCentre(ZR_Vector2D(640.0f, 480.0f));
  EXPECT_EQ(0.3125f * 640.0f, centre.x);
  EXPECT_EQ(0.5f * 480.0f, centre.y);
}

#if defined(__x86_64__)
// Plug-ins read annotations and models through these offsets: two vptrs (the type-code base, then
// the list base), the list fields, then the members in order with the seven bytes packed.
TEST(ZrAnnotation2D, LayoutMatchesThePluginContract) {
  const auto offset = [](const void* object, const void* member) {
    return static_cast<const char*>(member) - static_cast<const char*>(object);
  };
  const ZR_Annotation2D a;
  EXPECT_EQ(0, offset(&a, static_cast<const ZR_ObjectType*>(&a)));
  EXPECT_EQ(8, offset(&a, static_cast<const ZR_List<ZR_Vector2D>*>(&a)));
  EXPECT_EQ(48, offset(&a, &a.m_value));
  EXPECT_EQ(56, offset(&a, &a.m_name));
  EXPECT_EQ(80, offset(&a, &a.m_fixed));
  EXPECT_EQ(120, offset(&a, &a.m_flag));
  EXPECT_EQ(121, offset(&a, &a.m_open));
  EXPECT_EQ(122, offset(&a, &a.m_include));
  EXPECT_EQ(123, offset(&a, &a.m_colour));
}
#endif
