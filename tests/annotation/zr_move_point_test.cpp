// tests/annotation/zr_move_point_test.cpp: dragging one point of a contour: which neighbours move, how
// far along a straight chain, that anchors stay, and that a closed contour without fixed indices
// ends its walk.
#include "annotation/zr_annotation2d.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

namespace {

// n points on the x axis, 10 units apart (units well above the curve search's 0.1 tolerances).
ZR_Annotation2D Line(uint32_t n, uint8_t open, std::vector<int32_t> fixed) {
  ZR_Annotation2D a;
  a.m_open = open;
  for (uint32_t i = 0; i < n; ++i) a.Add(ZR_Vector2D(10.0f * float(i), 0));
  for (int32_t f : fixed) a.m_fixed.Add(f);
  return a;
}

// The indices whose point differs between the two annotations.
std::vector<uint32_t> Moved(const ZR_Annotation2D& before, const ZR_Annotation2D& after) {
  std::vector<uint32_t> moved;
  for (uint32_t i = 0; i < before.m_count; ++i)
    if (before[i].x != after[i].x || before[i].y != after[i].y) moved.push_back(i);
  return moved;
}

TEST(MovePoint, ReducedFacePointZeroDragsOnlyPointOne) {
  ZR_Annotation2D face = Line(11, 1, {0, 2, 5, 8, 10});
  const ZR_Annotation2D before = face;
  face.MovePoint(0, ZR_Vector2D(-4, 6));
  EXPECT_EQ((std::vector<uint32_t>{0, 1}), Moved(before, face));
  EXPECT_EQ(-4, face[0].x);
  EXPECT_EQ(6, face[0].y);
  // Point 1 is halfway along the chain 0, 1, 2: it moves by half the displacement.
  EXPECT_NEAR(10 - 2, face[1].x, 1e-4);
  EXPECT_NEAR(3, face[1].y, 1e-4);
}

TEST(MovePoint, LastPointOfAnOpenContourDragsTheWholeContourBackToPointZero) {
  ZR_Annotation2D a = Line(6, 1, {});
  const ZR_Annotation2D before = a;
  a.MovePoint(5, ZR_Vector2D(50, 20));
  EXPECT_EQ((std::vector<uint32_t>{1, 2, 3, 4, 5}), Moved(before, a));
  // Along the straight chain 5, 4, ..., 0 point k sits at parameter (5 - k) / 5.
  for (uint32_t k = 1; k < 5; ++k) {
    EXPECT_NEAR(10.0f * float(k), a[k].x, 1e-4) << k;
    EXPECT_NEAR(20.0f * float(k) / 5, a[k].y, 1e-3) << k;
  }
  EXPECT_EQ(20, a[5].y);
}

TEST(MovePoint, ClosedContourWrapsBackwardButNotForward) {
  // Closed, fixed 2: backward 0, 5, 4, 3, 2; forward 0, 1, 2.
  ZR_Annotation2D a = Line(6, 0, {2});
  const ZR_Annotation2D before = a;
  a.MovePoint(0, ZR_Vector2D(0, 8));
  EXPECT_EQ((std::vector<uint32_t>{0, 1, 3, 4, 5}), Moved(before, a));
  // The same contour open: backward ends at once, the forward chain alone moves point 1.
  ZR_Annotation2D open = Line(6, 1, {2});
  open.MovePoint(0, ZR_Vector2D(0, 8));
  EXPECT_EQ((std::vector<uint32_t>{0, 1}), Moved(before, open));
  // Forward stops at the last point also on a closed contour: from 4 it is 4, 5.
  ZR_Annotation2D last = Line(6, 0, {1});
  last.MovePoint(4, ZR_Vector2D(40, 8));
  EXPECT_EQ((std::vector<uint32_t>{2, 3, 4}), Moved(before, last));
}

TEST(MovePoint, ClosedContourWithoutFixedIndicesEnds) {
  for (uint32_t n : {1u, 2u, 3u, 7u}) {
    ZR_Annotation2D a = Line(n, 0, {});
    a.MovePoint(n / 2, ZR_Vector2D(5, 5));
    EXPECT_EQ(5, a[n / 2].x) << n;
    for (uint32_t i = 0; i < n; ++i) EXPECT_TRUE(std::isfinite(a[i].x + a[i].y)) << n << " " << i;
  }
}

TEST(MovePoint, FixedMovedPointStillDragsAndShortChainsMoveNothing) {
  ZR_Annotation2D a = Line(5, 1, {2});
  const ZR_Annotation2D before = a;
  a.MovePoint(2, ZR_Vector2D(20, 4));
  EXPECT_EQ((std::vector<uint32_t>{1, 2, 3}), Moved(before, a));
  ZR_Annotation2D two = Line(2, 1, {});
  two.MovePoint(0, ZR_Vector2D(1, 1));
  EXPECT_EQ((std::vector<uint32_t>{0}), Moved(Line(2, 1, {}), two));
}

TEST(MovePoint, IndexPastTheContourChangesNothing) {
  ZR_Annotation2D a = Line(4, 0, {});
  const ZR_Annotation2D before = a;
  a.MovePoint(4, ZR_Vector2D(1, 1));
  a.MovePoint(0xffffffffu, ZR_Vector2D(1, 1));
  EXPECT_TRUE(Moved(before, a).empty());
  ZR_Annotation2D empty;
  empty.MovePoint(0, ZR_Vector2D(1, 1));
  EXPECT_EQ(0u, empty.m_count);
}

}  // namespace
