// tests/annotation/zr_anno_points_test.cpp: the scaled point list of a model and writing it back, with
// the include flag taken as exactly 1.
#include "annotation/zr_anno_model2d.h"

#include <gtest/gtest.h>

namespace {

// "A" (include 1, 2 points), "B" (include 2, 1 point), "C" (include 0, 1 point), "D" (include
// 1, no point), "E" (include 1, 1 point).
ZR_AnnoModel2D Model() {
  ZR_AnnoModel2D m;
  const struct {
    const char* name;
    uint8_t include;
    int points;
  } groups[] = {{"A", 1, 2}, {"B", 2, 1}, {"C", 0, 1}, {"D", 1, 0}, {"E", 1, 1}};
  float v = 1;
  for (const auto& g : groups) {
    ZR_Annotation2D a;
    a.m_name = g.name;
    a.m_include = g.include;
    for (int i = 0; i < g.points; ++i, v += 2) a.Add(ZR_Vector2D(v, v + 1));
    m.Add(a);
  }
  return m;
}

TEST(AnnoPoints, ScaledPointsTakeIncludeOfExactlyOne) {
  const ZR_AnnoModel2D m = Model();
  ZR_List<ZR_Vector2D> points;
  points.Add(ZR_Vector2D(-1, -1));  // emptied first
  m.GetScaledPoints(ZR_Vector2D(10, 100), points, 1);
  ASSERT_EQ(3u, points.m_count);
  const float expected[3][2] = {{10, 200}, {30, 400}, {90, 1000}};
  for (uint32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(expected[i][0], points[i].x) << i;
    EXPECT_EQ(expected[i][1], points[i].y) << i;
  }
  m.GetScaledPoints(ZR_Vector2D(1, 1), points, 0);
  EXPECT_EQ(5u, points.m_count);
  // The bounding box with included_only, unlike them, takes B's include 2 as included.
  ZR_AnnoModel2D without_e = m;
  without_e[4].m_include = 0;
  ZR_Vector2D min, max;
  without_e.GetBoundingBox(min, max, 1);
  EXPECT_EQ(6, max.y);
}

TEST(AnnoPoints, SetPointsWritesBackWhatGetScaledPointsGave) {
  ZR_AnnoModel2D m = Model();
  const ZR_Vector2D scale(640, 480);
  ZR_List<ZR_Vector2D> points;
  m.GetScaledPoints(scale, points, 1);
  ZR_Vector v;
  v.Resize(int32_t(2 * points.m_count));
  for (uint32_t i = 0; i < points.m_count; ++i) {
    v[int32_t(2 * i)] = points[i].x + 64;  // shifted by 0.1 in x, 0.5 in y
    v[int32_t(2 * i + 1)] = points[i].y + 240;
  }
  const ZR_AnnoModel2D before = m;
  m.SetPoints(scale, v, 1);
  EXPECT_FLOAT_EQ(1.1f, m[0][0].x);
  EXPECT_FLOAT_EQ(2.5f, m[0][0].y);
  EXPECT_FLOAT_EQ(3.1f, m[0][1].x);
  EXPECT_FLOAT_EQ(9.1f, m[4][0].x);
  EXPECT_FLOAT_EQ(10.5f, m[4][0].y);
  // B (include 2) and C (include 0) are skipped.
  EXPECT_EQ(before[1][0].x, m[1][0].x);
  EXPECT_EQ(before[2][0].y, m[2][0].y);
}

TEST(AnnoPoints, ShortVectorLeavesTheRemainingPoints) {
  ZR_AnnoModel2D m = Model();
  ZR_Vector v;
  v.Resize(3);  // one point and a half
  v[0] = 20;
  v[1] = 40;
  v[2] = 60;
  m.SetPoints(ZR_Vector2D(2, 2), v, 0);
  EXPECT_EQ(10, m[0][0].x);
  EXPECT_EQ(20, m[0][0].y);
  EXPECT_EQ(3, m[0][1].x);
  EXPECT_EQ(4, m[0][1].y);
  ZR_Vector empty;
  m.SetPoints(ZR_Vector2D(2, 2), empty, 1);
  EXPECT_EQ(10, m[0][0].x);
}

}  // namespace
