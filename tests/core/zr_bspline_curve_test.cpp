// tests/core/zr_bspline_curve_test.cpp: the degree-1 fit through three points (parameters, knots,
// derivative control points and knots, curve values), the closest-parameter search and its Newton
// stops, the span search, and degenerate inputs that once hung the worker: coincident points,
// zero derivatives, non-finite values. The Degenerate suite also runs under a short ctest TIMEOUT.
#include "core/zr_bspline_curve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <limits>

#include "tests/core/numeric_fixtures.h"

namespace {

using numeric_fixtures::Vector;

ZR_List<ZR_Vector> Points(std::initializer_list<std::initializer_list<float>> points) {
  ZR_List<ZR_Vector> list;
  for (const auto& p : points) list.Add(Vector(p));
  return list;
}

// The k-th derivative at u into a fresh zero vector.
ZR_Vector At(ZR_BSplineCurve& curve, float u, int k = 0) {
  ZR_Vector out;
  out.Resize(0, curve.m_dimension - 1);
  for (int c = 0; c < curve.m_dimension; ++c) out[c] = 0.0f;
  curve.Derivative(u, k, out);
  return out;
}

void ExpectNear(std::initializer_list<float> expected, const ZR_Vector& v, float tolerance,
                const char* what) {
  ASSERT_EQ(expected.size(), v.m_count) << what;
  int i = 0;
  for (float x : expected) EXPECT_NEAR(x, v[i++], tolerance) << what << " [" << i - 1 << "]";
}

std::vector<float> Elements(const ZR_Array<float>& a) {
  std::vector<float> v;
  for (int i = a.m_lo; i <= a.m_hi; ++i) v.push_back(a[i]);
  return v;
}

class ZrBSplineCurveCorner : public testing::Test {
 protected:
  ZrBSplineCurveCorner() : curve(Points({{0, 0}, {3, 4}, {3, 10}})) {}
  ZR_BSplineCurve curve;
  const float k511 = 5.0f / 11.0f;
};

TEST_F(ZrBSplineCurveCorner, FitsChordLengthParametersAndAveragedKnots) {
  EXPECT_EQ(0, curve.m_rational);
  EXPECT_EQ(1, curve.m_degree);
  EXPECT_EQ(2, curve.m_dimension);
  EXPECT_EQ(2, curve.m_last_point);
  EXPECT_EQ(4, curve.m_last_knot);
  EXPECT_EQ((std::vector<float>{0, k511, 1}), Elements(curve.m_params));
  EXPECT_EQ((std::vector<float>{0, 0, k511, 1, 1}), Elements(curve.m_knots));
  ExpectNear({0, 0}, curve.m_control_points[0], 1e-6f, "P0");
  ExpectNear({3, 4}, curve.m_control_points[1], 1e-6f, "P1");
  ExpectNear({3, 10}, curve.m_control_points[2], 1e-6f, "P2");
}

TEST_F(ZrBSplineCurveCorner, DerivativeControlPointsAndKnots) {
  ASSERT_EQ(0, curve.m_deriv_points.m_row_lo);
  ASSERT_EQ(1, curve.m_deriv_points.m_row_hi);
  ExpectNear({0, 0}, curve.m_deriv_points[0][0], 1e-6f, "PK[0][0]");
  ExpectNear({3, 10}, curve.m_deriv_points[0][2], 1e-6f, "PK[0][2]");
  ExpectNear({6.6f, 8.8f}, curve.m_deriv_points[1][0], 1e-5f, "PK[1][0]");
  ExpectNear({0, 11}, curve.m_deriv_points[1][1], 1e-5f, "PK[1][1]");
  ExpectNear({0, 0}, curve.m_deriv_points[1][2], 0.0f, "PK[1][2] stays zero");
  EXPECT_EQ((std::vector<float>{0, 0, k511, 1, 1}), Elements(curve.m_deriv_knots[0]));
  EXPECT_EQ((std::vector<float>{0, k511, 1}), Elements(curve.m_deriv_knots[1]));
}

TEST_F(ZrBSplineCurveCorner, EvaluatesPointsAndDerivatives) {
  ExpectNear({1.32f, 1.76f}, At(curve, 0.2f), 1e-5f, "C(0.2)");
  ExpectNear({6.6f, 8.8f}, At(curve, 0.2f, 1), 1e-5f, "C'(0.2)");
  ExpectNear({0, 11}, At(curve, k511, 1), 1e-5f, "C'(5/11): the segment that starts there");
  ExpectNear({0, 11}, At(curve, 1.0f, 1), 1e-5f, "C'(1): the last segment");
  ExpectNear({3, 10}, At(curve, 1.0f), 1e-5f, "C(1)");
  ExpectNear({0, 0}, At(curve, 0.0f), 0.0f, "C(0)");
  ZR_Vector out = Vector({7, 7});  // above the degree, out is set to zero, not added to
  curve.Derivative(0.2f, 2, out);
  ExpectNear({0, 0}, out, 0.0f, "C''(0.2)");
}

TEST_F(ZrBSplineCurveCorner, ClosestParameterToTheCornerAndBeyondIt) {
  EXPECT_FLOAT_EQ(k511, curve.FindClosestParameter(Vector({3, 4})));
  // Sub-interval 4 stops at its bound; sub-interval 5 runs 50 steps around the corner.
  EXPECT_EQ(4.0f / 9.0f, curve.RefineClosestParameter(Vector({3, 4}), 3.0f / 9.0f, 4.0f / 9.0f));
  const float around = curve.RefineClosestParameter(Vector({10, 0}), 4.0f / 9.0f, 5.0f / 9.0f);
  EXPECT_NEAR(0.545f, around, 1e-3f);
  EXPECT_NEAR(8.60f, At(curve, around).Distance(Vector({10, 0})), 1e-2f);
  EXPECT_EQ(4.0f / 9.0f, curve.FindClosestParameter(Vector({10, 0})));
}

TEST_F(ZrBSplineCurveCorner, StartWithinReachReturnsTheMiddleWithoutAStep) {
  const struct { float a, b; } intervals[] = {{0.0f, 1.0f}, {0.1f, 0.3f}, {0.6f, 0.9f}};
  for (const auto& i : intervals) {
    const float middle = i.a + (i.b - i.a) * 0.5f;
    ZR_Vector near = At(curve, middle);
    near[0] = near[0] + 0.06f;  // 0.06 away: no Newton step is taken
    EXPECT_EQ(middle, curve.RefineClosestParameter(near, i.a, i.b)) << i.a << ".." << i.b;
  }
}

TEST(ZrBSplineCurve, TwoPointsGiveTheStraightSegment) {
  ZR_BSplineCurve curve(Points({{1, 1, 1}, {3, 5, -1}}));
  EXPECT_EQ((std::vector<float>{0, 1}), Elements(curve.m_params));
  EXPECT_EQ((std::vector<float>{0, 0, 1, 1}), Elements(curve.m_knots));
  ExpectNear({2, 3, 0}, At(curve, 0.5f), 1e-6f, "midpoint");
  ExpectNear({2, 4, -2}, At(curve, 0.25f, 1), 1e-5f, "velocity");
  EXPECT_NEAR(0.75f, curve.FindClosestParameter(Vector({2.5f, 4.0f, -0.5f})), 1e-6f);
}

// Degree 1, n = 3: spans 1..3 over the knots (0, 0, 0.25, 0.5, 1, 1).
void FourPointKnots(ZR_Array<float>& knots) {
  knots.Resize(0, 5);
  const float values[] = {0, 0, 0.25f, 0.5f, 1, 1};
  for (int i = 0; i < 6; ++i) knots[i] = values[i];
}

TEST(ZrBSplineCurve, SpanSearchFindsTheIntervalHoldingTheParameter) {
  ZR_Array<float> knots;
  FourPointKnots(knots);
  const struct {
    float u;
    int span;
  } cases[] = {{0, 1}, {0.1f, 1}, {0.25f, 2}, {0.3f, 2}, {0.5f, 3}, {0.9f, 3}, {1, 3}};
  for (const auto& c : cases) EXPECT_EQ(c.span, FindKnotSpan(c.u, knots, 1, 3)) << c.u;
}

TEST(ZrBSplineCurve, QuadraticBasisIsAPartitionOfUnity) {
  ZR_Array<float> knots;  // degree 2, n = 4, a double interior knot
  knots.Resize(0, 7);
  const float values[] = {0, 0, 0, 0.5f, 0.5f, 1, 1, 1};
  for (int i = 0; i < 8; ++i) knots[i] = values[i];
  for (float u : {0.0f, 0.2f, 0.5f, 0.7f, 1.0f}) {
    const int s = FindKnotSpan(u, knots, 2, 4);
    float basis[3];
    GetBasisFunctions(s, u, 2, knots, basis);
    EXPECT_NEAR(1.0f, basis[0] + basis[1] + basis[2], 1e-6f) << u;
    for (float b : basis) EXPECT_TRUE(b >= 0.0f && b <= 1.0f) << u;
  }
}

// Inputs outside the fit's usual domain. Each must terminate (see the ctest TIMEOUT) with a
// parameter in [0, 1].
class ZrBSplineCurveDegenerate : public testing::Test {
 protected:
  static void ExpectTerminates(ZR_BSplineCurve& curve, std::initializer_list<float> query) {
    for (int i = 0; i <= 10; ++i) {
      const ZR_Vector at = At(curve, i / 10.0f);  // must not hang either
      EXPECT_EQ(static_cast<uint32_t>(curve.m_dimension), at.m_count);
    }
    const float u = curve.FindClosestParameter(Vector(query));
    EXPECT_TRUE(u >= 0.0f && u <= 1.0f) << u;
  }
};

TEST_F(ZrBSplineCurveDegenerate, CoincidentLastPointsStillGiveThePolyline) {
  ZR_BSplineCurve curve(Points({{0, 0}, {3, 4}, {3, 4}}));
  EXPECT_EQ((std::vector<float>{0, 1, 1}), Elements(curve.m_params));
  ExpectNear({3, 4}, At(curve, 1.0f), 1e-5f, "C(1)");
  ExpectNear({1.5f, 2}, At(curve, 0.5f), 1e-5f, "C(0.5)");
  ExpectNear({3, 4}, At(curve, 1.0f, 1), 1e-5f, "C'(1): the last segment of positive length");
  EXPECT_NEAR(1.0f, curve.FindClosestParameter(Vector({3, 4})), 1e-2f);
  ExpectTerminates(curve, {5, 5});
}

TEST_F(ZrBSplineCurveDegenerate, AllPointsEqualGetUniformParameters) {
  ZR_BSplineCurve curve(Points({{2, 2}, {2, 2}, {2, 2}, {2, 2}}));
  EXPECT_EQ((std::vector<float>{0, 1.0f / 3, 2.0f / 3, 1}), Elements(curve.m_params));
  ExpectNear({2, 2}, At(curve, 0.4f), 1e-6f, "C(0.4)");
  ExpectNear({0, 0}, At(curve, 0.4f, 1), 0.0f, "C'(0.4)");
  ExpectTerminates(curve, {7, -3});
}

TEST_F(ZrBSplineCurveDegenerate, ZeroDerivativeSegmentsStopNewton) {
  // Interior duplicates give a repeated knot and a zero-length segment.
  ZR_BSplineCurve curve(Points({{0, 0}, {3, 4}, {3, 4}, {3, 10}}));
  ExpectTerminates(curve, {10, 0});
  ExpectTerminates(curve, {3, 4});
  const float u = curve.RefineClosestParameter(Vector({-4, 3}), 0.0f, 1.0f);
  EXPECT_TRUE(std::isfinite(u));
}

TEST_F(ZrBSplineCurveDegenerate, NonFiniteCoordinatesAndParameters) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  ZR_BSplineCurve with_nan(Points({{0, 0}, {nan, 1}, {2, 2}}));
  ExpectTerminates(with_nan, {1, 1});
  ZR_BSplineCurve with_inf(Points({{0, 0}, {inf, 1}, {2, 2}}));
  ExpectTerminates(with_inf, {1, 1});
  ZR_BSplineCurve regular(Points({{0, 0}, {1, 1}, {2, 0}}));
  ExpectTerminates(regular, {nan, 0});
  ZR_Vector out = At(regular, nan);
  EXPECT_EQ(2u, out.m_count);
  At(regular, inf);
  At(regular, -inf);
}

TEST_F(ZrBSplineCurveDegenerate, SpanSearchEndsForParametersOutsideTheKnotsAndNaNKnots) {
  ZR_Array<float> knots;
  FourPointKnots(knots);
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float u;
    int span;
  } cases[] = {{-0.5f, 1}, {1.5f, 3}, {inf, 3}, {-inf, 1}, {nan, 1}};
  for (const auto& c : cases) EXPECT_EQ(c.span, FindKnotSpan(c.u, knots, 1, 3)) << c.u;

  ZR_Array<float> broken;
  FourPointKnots(broken);
  broken[2] = broken[3] = nan;
  for (float u : {0.1f, 0.5f, 0.9f}) {
    const int s = FindKnotSpan(u, broken, 1, 3);
    EXPECT_TRUE(s >= 1 && s <= 3) << u;
  }
}

TEST_F(ZrBSplineCurveDegenerate, FewerThanTwoPoints) {
  ZR_BSplineCurve one(Points({{4, 5}}));
  ExpectNear({4, 5}, At(one, 0.3f), 0.0f, "constant curve");
  ExpectNear({0, 0}, At(one, 0.3f, 1), 0.0f, "its derivative");
  ExpectTerminates(one, {0, 0});
  ZR_BSplineCurve none{ZR_List<ZR_Vector>()};
  EXPECT_EQ(0, none.m_dimension);
  const float u = none.FindClosestParameter(Vector({1, 1}));
  EXPECT_TRUE(u >= 0.0f && u <= 1.0f) << u;
}

}  // namespace
