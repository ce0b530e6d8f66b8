// tests/image/zr_warper2d_test.cpp: the thin-plate warper: exact interpolation of its control
// points, the identity and affine cases, each failure path (singular, refused, invalid), and the
// forward spline alone, which needs distinct source points only.
#include "image/zr_warper2d.h"

#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "core/zr_lud.h"

namespace {

using Points = ZR_List<ZR_Vector2D>;

Points List(std::initializer_list<ZR_Vector2D> points) {
  Points list;
  for (const ZR_Vector2D& p : points) list.Add(p);
  return list;
}

// About 68 landmarks in pixel units of a 640 x 480 face: a jittered grid over the face box.
Points Landmarks(std::mt19937& random, float jitter) {
  std::uniform_real_distribution<float> d(-jitter, jitter);
  Points list;
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 9 && list.m_count < 68; ++c)
      list.Add(ZR_Vector2D(220 + 25 * c + d(random), 150 + 28 * r + d(random)));
  return list;
}

TEST(ZrWarper2D, EqualListsGiveTheIdentity) {
  std::mt19937 random(1);
  const Points points = Landmarks(random, 4);
  ZR_Warper2D w(points, points);
  ASSERT_EQ(1, w.m_valid);
  EXPECT_NEAR(1, w.m_forward.m_ax.x, 1e-5);
  EXPECT_NEAR(0, w.m_forward.m_ax.y, 1e-5);
  EXPECT_NEAR(0, w.m_forward.m_ay.x, 1e-5);
  EXPECT_NEAR(1, w.m_forward.m_ay.y, 1e-5);
  for (uint32_t i = 0; i < points.m_count; ++i) {
    const ZR_Vector2D q = w.MapPoint(points[i]);
    EXPECT_NEAR(points[i].x, q.x, 4e-3) << i;
    EXPECT_NEAR(points[i].y, q.y, 4e-3) << i;
    EXPECT_NEAR(0, w.m_forward.m_weights[int32_t(i)][0], 1e-6) << i;
    EXPECT_NEAR(0, w.m_forward.m_weights[int32_t(i)][1], 1e-6) << i;
  }
  // Between and beyond the centres too, up to float rounding of the kernel sums.
  for (const ZR_Vector2D& p : {ZR_Vector2D(301, 203), ZR_Vector2D(0, 0), ZR_Vector2D(700, 500)}) {
    const ZR_Vector2D q = w.MapPoint(p);
    EXPECT_NEAR(p.x, q.x, 2e-2) << p.x << "," << p.y;
    EXPECT_NEAR(p.y, q.y, 2e-2) << p.x << "," << p.y;
  }
}

TEST(ZrWarper2D, ThreePointsGiveAnAffineMapThroughThem) {
  const Points first = List({{0, 0}, {10, 0}, {0, 10}});
  const Points second =
      List({{5, 5}, {25, 7}, {3, 20}});  // (x, y) -> (5 + 2x - 0.2y, 5 + 0.2x + 1.5y)
  ZR_Warper2D w(first, second);
  ASSERT_EQ(1, w.m_valid);
  for (uint32_t i = 0; i < 3; ++i) {
    const ZR_Vector2D q = w.MapPoint(first[i]);
    EXPECT_NEAR(second[i].x, q.x, 1e-4) << i;
    EXPECT_NEAR(second[i].y, q.y, 1e-4) << i;
    EXPECT_NEAR(0, w.m_forward.m_weights[int32_t(i)][0], 1e-6) << i;
    EXPECT_NEAR(0, w.m_forward.m_weights[int32_t(i)][1], 1e-6) << i;
  }
  const ZR_Vector2D mid = w.MapPoint(ZR_Vector2D(5, 5));
  EXPECT_NEAR(5 + 10 - 1, mid.x, 1e-4);
  EXPECT_NEAR(5 + 1 + 7.5, mid.y, 1e-4);
  EXPECT_NEAR(2, w.m_forward.m_ax.x, 1e-5);
  EXPECT_NEAR(1.5, w.m_forward.m_ay.y, 1e-5);
  EXPECT_NEAR(-0.2f, w.m_forward.m_ay.x, 1e-5);
  EXPECT_EQ(3, w.m_inverse.m_weights.m_rows);
}

// Pixel units, as the landmark refinement uses it. WarpPoint evaluates in float near 500, where
// the sum over 68 kernel terms of ~1e5 is good to about 2e-3 pixel; the fit must reach that.
TEST(ZrWarper2D, RealisticLandmarksAreInterpolatedExactly) {
  for (unsigned seed : {5u, 6u, 7u, 8u}) {
    std::mt19937 random(seed);
    const Points first = Landmarks(random, 3);
    Points second;
    std::uniform_real_distribution<float> d(-6, 6);
    for (uint32_t i = 0; i < first.m_count; ++i)
      second.Add(
          ZR_Vector2D(first[i].x * 1.1f + 15 + d(random), first[i].y * 0.95f - 8 + d(random)));
    ZR_Warper2D w(first, second);
    ASSERT_EQ(1, w.m_valid) << seed;
    double worst = 0;
    for (uint32_t i = 0; i < first.m_count; ++i) {
      ZR_Vector2D q(-1, -1);
      ASSERT_TRUE(w.WarpPoint(first[i], q));
      worst =
          std::fmax(worst, std::fmax(std::fabs(q.x - second[i].x), std::fabs(q.y - second[i].y)));
    }
    EXPECT_LT(worst, 4e-3) << seed;
  }
}

// Two equal centres make the system singular. In pixel units the float determinant of 70-odd
// pivots overflows, so the decomposition alone would not notice and the map would be garbage.
TEST(ZrWarper2D, DuplicatedCentreThrowsInsteadOfGivingGarbage) {
  std::mt19937 random(9);
  Points first = Landmarks(random, 3);
  const Points second = first;
  first[40] = first[12];
  try {
    ZR_Warper2D w(first, second);
    FAIL() << "no exception, valid " << int(w.m_valid);
  } catch (const LUDexception& e) {
    EXPECT_STREQ("ZR_Warper2D::InvertSystemMatrix() Error! centres 12 and 40 coincide\n",
                 e.m_message.m_text);
  }
}

// The forward spline's centres are the source points, the inverse's the target points. Fitted
// alone, the forward spline is the pair's forward spline bit for bit and accepts coincident
// targets (closed lips in the landmark refinement); coincident sources still throw.
TEST(ZrWarper2D, ForwardSplineAloneNeedsDistinctSourcesOnly) {
  std::mt19937 random(11);
  const Points source = Landmarks(random, 3);
  Points target;
  for (uint32_t i = 0; i < source.m_count; ++i)
    target.Add(ZR_Vector2D(source[i].x * 1.05f + 4, source[i].y * 0.9f - 3));
  const ZR_Warper2D both(source, target);
  const ZR_Warper2D forward(source, target, ZR_WARP_FORWARD_ONLY);
  ASSERT_EQ(1, both.m_valid);
  ASSERT_EQ(1, forward.m_valid);
  EXPECT_EQ(0, forward.m_inverse.m_weights.m_rows);
  const ZR_Matrix& a = both.m_forward.m_weights;
  const ZR_Matrix& b = forward.m_forward.m_weights;
  ASSERT_EQ(a.m_count, b.m_count);
  for (uint32_t i = 0; i < a.m_count; ++i) EXPECT_EQ(a.Block()[i], b.Block()[i]) << i;
  EXPECT_EQ(both.m_forward.m_a0.x, forward.m_forward.m_a0.x);
  EXPECT_EQ(both.m_forward.m_ay.y, forward.m_forward.m_ay.y);

  Points closed = target;
  closed[40] = closed[12];
  const ZR_Warper2D fits(source, closed, ZR_WARP_FORWARD_ONLY);
  ASSERT_EQ(1, fits.m_valid);
  for (uint32_t i : {12u, 40u}) {
    const ZR_Vector2D q = fits.MapPoint(source[i]);
    EXPECT_NEAR(closed[12].x, q.x, 4e-3) << i;
    EXPECT_NEAR(closed[12].y, q.y, 4e-3) << i;
  }
  const struct {
    const char* what;
    Points source, target;
    zr_warp_splines splines;
  } singular[] = {{"both, coincident targets", source, closed, ZR_WARP_BOTH},
                  {"forward only, coincident sources", closed, source, ZR_WARP_FORWARD_ONLY}};
  for (const auto& c : singular)
    EXPECT_THROW(ZR_Warper2D(c.source, c.target, c.splines), LUDexception) << c.what;
}

TEST(ZrWarper2D, InvalidWarperWritesNothingAndMapsToTheOrigin) {
  const Points three = List({{0, 0}, {10, 0}, {0, 10}});
  const Points two = List({{0, 0}, {10, 0}});
  const float nan = std::nanf("");
  const struct {
    const char* what;
    Points first, second;
  } cases[] = {
      {"counts differ", three, two},
      {"first not finite", List({{0, 0}, {nan, 0}, {0, 10}}), three},
      {"second infinite", three, List({{0, 0}, {10, INFINITY}, {0, 10}})},
      // A square 0.01 wide: |det| is below the inverse's 1e-10 but above the decomposition's 1e-38.
      {"inverse refused", List({{0.5f, 0.5f}, {0.51f, 0.5f}, {0.5f, 0.51f}, {0.51f, 0.51f}}),
       List({{0, 0}, {1, 0}, {0, 1}, {1, 1}})},
  };
  for (const auto& c : cases) {
    ZR_Warper2D w(c.first, c.second);
    EXPECT_EQ(0, w.m_valid) << c.what;
    ZR_Vector2D out(7, 8);
    EXPECT_FALSE(w.WarpPoint(ZR_Vector2D(1, 1), out)) << c.what;
    EXPECT_EQ(7, out.x) << c.what;
    EXPECT_EQ(8, out.y) << c.what;
    const ZR_Vector2D m = w.MapPoint(ZR_Vector2D(1, 1));
    EXPECT_EQ(0, m.x) << c.what;
    EXPECT_EQ(0, m.y) << c.what;
    EXPECT_EQ(c.first.m_count, w.m_source.m_count) << c.what;
  }
}

TEST(ZrWarper2D, KernelIsSLogSAndZeroBelowTheThreshold) {
  const Points centres = List({{0, 0}, {2, 0}, {0, 1e-4f}});
  ZR_Matrix k;
  ZR_Warper2D::BuildKernelMatrix(centres, k);
  ASSERT_EQ(3, k.m_rows);
  EXPECT_EQ(0, k[0][0]);
  EXPECT_FLOAT_EQ(4 * std::log(4.0f), k[0][1]);
  EXPECT_EQ(k[0][1], k[1][0]);
  EXPECT_EQ(0, k[0][2]);  // 1e-8 is below 2^-23
  EXPECT_EQ(0, k[2][0]);
}

}  // namespace
