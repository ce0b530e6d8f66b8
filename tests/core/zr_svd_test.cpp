// tests/core/zr_svd_test.cpp: the SVD's worked cases (diag(1, 3) with its sign flips, the
// relative cut-off, a zero matrix, a wide 2 x 3 matrix), Pythag, agreement of the least-squares
// solve with LU, and U diag(W) V^T = A on seeded random shapes (wide ones stress the indexing).
#include "core/zr_svd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "core/zr_lud.h"
#include "tests/core/numeric_fixtures.h"

namespace {

using numeric_fixtures::Diagonal;
using numeric_fixtures::Identity;
using numeric_fixtures::Matrix;
using numeric_fixtures::MaxAbsDifference;
using numeric_fixtures::Vector;

TEST(ZrSvd, PythagAvoidsOverflowAndHandlesZero) {
  const struct {
    float a, b, expected;
  } cases[] = {{0, 0, 0}, {3, 4, 5}, {-3, 4, 5}, {4, -3, 5}, {0, -2, 2}, {3e30f, 4e30f, 5e30f}};
  for (const auto& c : cases) EXPECT_FLOAT_EQ(c.expected, Pythag(c.a, c.b)) << c.a << ", " << c.b;
}

TEST(ZrSvd, DiagonalKeepsItsOrderAndFlipsSignsIntoUAndV) {
  ZR_SVD svd(Diagonal({1, 3}));
  EXPECT_FLOAT_EQ(1.0f, svd.m_w[0]);
  EXPECT_FLOAT_EQ(3.0f, svd.m_w[1]);
  ZR_Matrix minus_identity = Diagonal({-1, -1});
  EXPECT_EQ(0.0f, MaxAbsDifference(minus_identity, svd.m_u));
  EXPECT_EQ(0.0f, MaxAbsDifference(minus_identity, svd.m_v));
}

TEST(ZrSvd, ValuesBelowTheRelativeToleranceAreDroppedFromTheSolve) {
  ZR_SVD svd(Diagonal({1, 1e-7f}));
  EXPECT_FLOAT_EQ(1.0f, svd.m_w[0]);
  EXPECT_EQ(0.0f, svd.m_w[1]);
  ZR_Vector x;
  x.Resize(1, 2);  // any prior shape: the result is 0..n-1
  svd.Solve(x, Vector({2, 5}));
  EXPECT_EQ(0, x.m_lo);
  EXPECT_FLOAT_EQ(2.0f, x[0]);
  EXPECT_EQ(0.0f, x[1]);

  // The cut-off is relative to the largest value; negative values always go.
  svd.m_w[0] = 4.0f;
  svd.m_w[1] = -1.0f;
  svd.SetTolerance(0.5f);
  EXPECT_EQ(4.0f, svd.m_w[0]);
  EXPECT_EQ(0.0f, svd.m_w[1]);
  EXPECT_EQ(0.5f, svd.m_tolerance);
}

TEST(ZrSvd, ZeroMatrixGivesZeroValuesIdentityFactorsAndZeroSolution) {
  ZR_Matrix zero = Matrix(3, 3, {});
  ZR_SVD svd(zero);
  for (int j = 0; j < 3; ++j) EXPECT_EQ(0.0f, svd.m_w[j]);
  EXPECT_EQ(0.0f, MaxAbsDifference(Identity(3), svd.m_u));
  EXPECT_EQ(0.0f, MaxAbsDifference(Identity(3), svd.m_v));
  ZR_Vector x;
  svd.Solve(x, Vector({1, 2, 3}));
  for (int j = 0; j < 3; ++j) EXPECT_EQ(0.0f, x[j]);
}

TEST(ZrSvd, WideMatrixHasAZeroValueAndAZeroColumnOfU) {
  const ZR_Matrix a = Matrix(2, 3, {1, 2, 3, 4, 5, 6});
  ZR_SVD svd(a);
  ASSERT_EQ(2, svd.m_u.m_rows);
  ASSERT_EQ(3, svd.m_u.m_cols);
  std::vector<float> w = {svd.m_w[0], svd.m_w[1], svd.m_w[2]};
  std::sort(w.begin(), w.end());
  EXPECT_EQ(0.0f, w[0]);
  EXPECT_NEAR(0.7729f, w[1], 1e-4f);
  EXPECT_NEAR(9.5080f, w[2], 1e-4f);
  EXPECT_EQ(0.0f, svd.m_u[0][2]);
  EXPECT_EQ(0.0f, svd.m_u[1][2]);
  EXPECT_LT(
      MaxAbsDifference(a, numeric_fixtures::ScaledProductTransposed(svd.m_u, svd.m_w, svd.m_v)),
      1e-5f);
}

TEST(ZrSvd, SolveAgreesWithLuOnARegularSystem) {
  const ZR_Matrix a = Matrix(3, 3, {4, -2, 1, 3, 6, -4, 2, 1, 8});
  const ZR_Vector b = Vector({1, -2, 3});
  ZR_SVD svd(a);
  ZR_Vector by_svd;
  svd.Solve(by_svd, b);
  ZR_LUD lud;
  lud.Decompose(a);
  ZR_Vector by_lu;
  lud.Solve(by_lu, b);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(by_lu[i], by_svd[i], 1e-5f) << i;
  ZR_Vector shared = b;  // x may be b itself
  svd.Solve(shared, shared);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(by_svd[i], shared[i]) << i;
}

TEST(ZrSvd, NaNInputTerminatesWithinBounds) {
  // A NaN makes every negligibility test false; the split search must still stop at l = 0.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  ZR_SVD svd(Matrix(3, 3, {1, 2, 0, nan, 1, 0, 0, 4, 2}));
  ASSERT_EQ(3u, svd.m_w.m_count);
  bool any_nan = false;
  for (int j = 0; j < 3; ++j) any_nan = any_nan || std::isnan(svd.m_w[j]);
  EXPECT_TRUE(any_nan);
}

TEST(ZrSvd, RandomShapesReconstructWithOrthogonalV) {
  std::mt19937 rng(1106);
  const struct {
    int m, n;
  } shapes[] = {{1, 1}, {1, 4}, {2, 5}, {3, 7}, {4, 4}, {6, 3}, {9, 2}, {8, 8}, {12, 5}, {5, 12}};
  for (const auto& s : shapes) {
    const ZR_Matrix a = numeric_fixtures::Random(s.m, s.n, rng);
    ZR_SVD svd(a);
    const ZR_Matrix back = numeric_fixtures::ScaledProductTransposed(svd.m_u, svd.m_w, svd.m_v);
    EXPECT_LT(MaxAbsDifference(a, back), 2e-5f) << s.m << " x " << s.n;
    EXPECT_LT(MaxAbsDifference(numeric_fixtures::Gram(svd.m_v), Identity(s.n)), 2e-5f)
        << s.m << " x " << s.n;
    for (int j = 0; j < s.n; ++j) EXPECT_GE(svd.m_w[j], 0.0f) << s.m << " x " << s.n;
  }
}

}  // namespace
