// core/zr_bspline_curve.h: clamped B-spline curves fitted through points (chord-length
// parameters, knots by averaging, control points by least squares through the SVD), their
// derivatives, and the parameter of the curve point nearest to a given point by Newton iteration.
// The fit uses degree 1 (the polyline through the points); the building blocks take any degree.
#ifndef CORE_ZR_BSPLINE_CURVE_H
#define CORE_ZR_BSPLINE_CURVE_H

#include <cstdint>

#include "core/zr_array.h"
#include "core/zr_array2d.h"
#include "core/zr_list.h"
#include "core/zr_vector.h"

// Parameters t[0..N-1] of N points by accumulated chord length, t[0] = 0 and t[N-1] = 1. When the
// total length is 0 or not finite (all points equal, a coordinate not finite), t[i] = i/(N-1).
void GetChordLengthParameters(const ZR_List<ZR_Vector>& points, ZR_Array<float>& t);

// Clamped knots U[0..N+p] for degree p by averaging p consecutive parameters.
void ComputeKnots(const ZR_Array<float>& t, int p, ZR_Array<float>& knots);

// The span s (p <= s <= n) whose knot interval holds u, for degree p and last control index n.
// u == U[n+1] gives the last span of positive length; u outside [U[p], U[n+1]] counts as the
// nearer end, NaN as U[p]. The bisection is bounded, so malformed knots cannot make it spin.
int FindKnotSpan(float u, const ZR_Array<float>& knots, int p, int n);

// The p+1 non-zero basis functions of degree p at u in span s into basis[0..p] (functions s-p..s).
// A quotient whose denominator is 0 counts as 0.
void GetBasisFunctions(int s, float u, int p, const ZR_Array<float>& knots, float* basis);

// Control points P[0..N-1] (dimension elements each) of the degree-p curve through the points at
// parameters t over knots, by the least-squares solve of the basis matrix (tolerance 1e-6).
void FitControlPoints(const ZR_List<ZR_Vector>& points, const ZR_Array<float>& t,
                      const ZR_Array<float>& knots, ZR_Array<ZR_Vector>& control_points,
                      int dimension, int p);

// Control points PK[k][0..n-k] of the k-th derivative curves (k = 0..p; other entries of a row are
// zero vectors) and their knots U[k..m-k], re-indexed from 0. A knot gap below 2^-23 gives a zero
// derivative control point.
void ComputeDerivativeControlPoints(int p, const ZR_Array<float>& knots,
                                    const ZR_Array<ZR_Vector>& control_points,
                                    ZR_Array2D<ZR_Vector>& deriv_points,
                                    ZR_Array<ZR_Array<float>>& deriv_knots);

// ZR_BSplineCurve: a non-rational clamped B-spline over [0, 1].
//   Fields: N fitted points, n = N-1 (m_last_point), degree p, m = n+p+1 (the last knot index).
//   Empty (fewer than two points fitted): no knots; a single point is a constant curve.
//   Owns its arrays. Threads: one curve per call of its user, no shared state. Nothing fails;
//   every query terminates, whatever the points (coincident or not finite).
class ZR_BSplineCurve {
 public:
  // Fits the curve through points (each a ZR_Vector of the same dimension).
  explicit ZR_BSplineCurve(const ZR_List<ZR_Vector>& points);
  virtual ~ZR_BSplineCurve() = default;

  // Degree-1 global interpolation through points, replacing the curve.
  void Fit(const ZR_List<ZR_Vector>& points);

  // Adds the k-th derivative at u (k = 0: the point) into out (m_dimension elements, zeroed by the
  // caller); for k above the degree out is set to zero.
  void Derivative(float u, int k, ZR_Vector& out);

  // Parameter in [a, b] of the curve point locally nearest to pt, by at most 50 Newton steps from
  // the middle of [a, b]; stops at distance <= 0.1, cosine <= 0.001, a step of length <= 0.1 (the
  // result is then the parameter before the step) or a step that cannot be taken.
  float RefineClosestParameter(const ZR_Vector& pt, float a, float b);

  // Parameter in [0, 1] of the curve point nearest to pt: the best of RefineClosestParameter over
  // the nine sub-intervals [(i-1)/9, i/9]; the lowest sub-interval wins ties.
  float FindClosestParameter(const ZR_Vector& pt);

  uint8_t m_rational = 0;
  int32_t m_dimension = 0;
  int32_t m_degree = 1;
  int32_t m_last_point = -1;
  int32_t m_last_knot = -1;
  ZR_Array<ZR_Vector> m_control_points;
  ZR_Array2D<ZR_Vector> m_deriv_points;
  ZR_Array<float> m_knots;
  ZR_Array<ZR_Array<float>> m_deriv_knots;
  ZR_Array<float> m_params;
};

#endif  // CORE_ZR_BSPLINE_CURVE_H
