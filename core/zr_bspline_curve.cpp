// core/zr_bspline_curve.cpp: curve fit, evaluation and point inversion in float, sums in
// increasing index order. Degenerate input (coincident points, a zero derivative, non-finite
// values) must never hang a worker: the span search is bounded and clamped, 0/0 in the basis is 0,
// and a Newton step that cannot be taken ends the iteration.
#include "core/zr_bspline_curve.h"

#include <cfloat>
#include <cmath>
#include <vector>

#include "core/zr_matrix.h"
#include "core/zr_svd.h"

namespace {

constexpr float kMinKnotGap = 1.1920929e-7f;  // 2^-23: smaller gaps give zero derivatives
constexpr float kCloseEnough = 0.1f;          // point distance and step length, in point units
constexpr float kMinCosine = 0.001f;
constexpr int kMaxNewtonSteps = 50;
constexpr int kSubIntervals = 9;

// Small work arrays of p+1 floats without a heap allocation for the usual low degrees.
class Work {
 public:
  explicit Work(int count) {
    if (count > kStack) {
      m_heap.resize(count);
      m_data = m_heap.data();
    }
  }
  float* Data() { return m_data; }

 private:
  static constexpr int kStack = 16;
  float m_stack[kStack];
  float* m_data = m_stack;
  std::vector<float> m_heap;
};

void SetZero(ZR_Vector& v, int dimension) {
  v.Resize(0, dimension - 1);
  for (int c = 0; c < dimension; ++c) v[c] = 0.0f;
}

}  // namespace

void GetChordLengthParameters(const ZR_List<ZR_Vector>& points, ZR_Array<float>& t) {
  const int count = points.m_count;
  t.Resize(0, count - 1);
  if (count == 0) return;
  ZR_Array<float> d;
  d.Resize(0, count - 1);
  float length = 0.0f;
  for (int i = 1; i < count; ++i) {
    d[i] = points[i].Distance(points[i - 1]);
    length = length + d[i];
  }
  t[0] = 0.0f;
  if (count == 1) return;
  t[count - 1] = 1.0f;
  if (length == 0.0f || !std::isfinite(length)) {
    // No usable chord length (all points equal, or a coordinate not finite): uniform parameters.
    for (int i = 1; i < count - 1; ++i)
      t[i] = static_cast<float>(i) / static_cast<float>(count - 1);
    return;
  }
  for (int i = 1; i < count - 1; ++i) t[i] = t[i - 1] + d[i] / length;
}

void ComputeKnots(const ZR_Array<float>& t, int p, ZR_Array<float>& knots) {
  const int count = static_cast<int>(t.m_count);
  knots.Resize(0, count + p);
  for (int k = 0; k <= p; ++k) knots[k] = 0.0f;
  for (int k = count; k <= count + p; ++k) knots[k] = 1.0f;
  for (int k = p + 1; k <= count - 1; ++k) {
    float sum = 0.0f;
    for (int i = k - p; i <= k - 1; ++i) sum = sum + t[i];
    knots[k] = sum / static_cast<float>(p);
  }
}

int FindKnotSpan(float u, const ZR_Array<float>& knots, int p, int n) {
  if (std::isnan(u)) u = knots[p];
  if (u >= knots[n + 1]) {
    // The end of the range belongs to the last span of positive length (span n unless the last
    // knots coincide, where span n is empty and its basis would be 0/0).
    int s = n;
    while (s > p && knots[s] == knots[s + 1]) --s;
    return s;
  }
  if (u < knots[p]) u = knots[p];
  int low = p;
  int high = n + 1;
  int mid = (low + high) / 2;
  while (!(knots[mid] <= u && u < knots[mid + 1])) {
    // With u in [U[p], U[n+1]) the search keeps U[low] <= u < U[high] and finds the span before
    // the interval closes; NaN knots break that, so the search also ends when it has closed.
    if (high - low <= 1) break;
    if (u < knots[mid])
      high = mid;
    else
      low = mid;
    mid = (low + high) / 2;
  }
  return mid;
}

void GetBasisFunctions(int s, float u, int p, const ZR_Array<float>& knots, float* basis) {
  Work work(2 * (p + 1));
  float* left = work.Data();  // indices 1..p used
  float* right = left + (p + 1);
  basis[0] = 1.0f;
  for (int j = 1; j <= p; ++j) {
    left[j] = u - knots[s + 1 - j];
    right[j] = knots[s + j] - u;
    float saved = 0.0f;
    for (int r = 0; r < j; ++r) {
      const float denominator = right[r + 1] + left[j - r];
      const float t = denominator == 0.0f ? 0.0f : basis[r] / denominator;
      basis[r] = saved + right[r + 1] * t;
      saved = left[j - r] * t;
    }
    basis[j] = saved;
  }
}

void FitControlPoints(const ZR_List<ZR_Vector>& points, const ZR_Array<float>& t,
                      const ZR_Array<float>& knots, ZR_Array<ZR_Vector>& control_points,
                      int dimension, int p) {
  const int count = points.m_count;
  const int n = count - 1;
  ZR_Matrix a(count, count);
  for (int i = 0; i < count; ++i)
    for (int j = 0; j < count; ++j) a[i][j] = 0.0f;
  Work basis(p + 1);
  for (int i = 0; i < count; ++i) {
    const int s = FindKnotSpan(t[i], knots, p, n);
    GetBasisFunctions(s, t[i], p, knots, basis.Data());
    for (int j = 0; j <= p; ++j) a[i][s - p + j] = basis.Data()[j];
  }
  ZR_SVD svd(a);
  control_points.Resize(0, n);
  for (int j = 0; j <= n; ++j) control_points[j].Resize(0, dimension - 1);
  ZR_Vector b;
  b.Resize(0, n);
  ZR_Vector x;
  for (int c = 0; c < dimension; ++c) {
    for (int j = 0; j <= n; ++j) b[j] = points[j][c];
    svd.Solve(x, b);
    for (int j = 0; j <= n; ++j) control_points[j][c] = x[j];
  }
}

void ComputeDerivativeControlPoints(int p, const ZR_Array<float>& knots,
                                    const ZR_Array<ZR_Vector>& control_points,
                                    ZR_Array2D<ZR_Vector>& deriv_points,
                                    ZR_Array<ZR_Array<float>>& deriv_knots) {
  const int n = static_cast<int>(control_points.m_count) - 1;
  const int dimension = n >= 0 ? static_cast<int>(control_points[0].m_count) : 0;
  const int m = n + p + 1;
  deriv_points.Resize(0, p, 0, n);
  for (int k = 0; k <= p; ++k)
    for (int i = 0; i <= n; ++i) SetZero(deriv_points[k][i], dimension);
  for (int i = 0; i <= n; ++i) deriv_points[0][i] = control_points[i];
  for (int k = 1; k <= p; ++k) {
    const float factor = static_cast<float>(p - k + 1);
    for (int i = 0; i <= n - k; ++i) {
      const float gap = knots[i + p + 1] - knots[i + k];
      for (int c = 0; c < dimension; ++c) {
        if (std::fabs(gap) < kMinKnotGap)
          deriv_points[k][i][c] = 0.0f;
        else
          deriv_points[k][i][c] =
              (deriv_points[k - 1][i + 1][c] - deriv_points[k - 1][i][c]) * factor / gap;
      }
    }
  }
  deriv_knots.Resize(0, p);
  for (int k = 0; k <= p; ++k) {
    deriv_knots[k].Resize(0, m - 2 * k);
    for (int j = 0; j <= m - 2 * k; ++j) deriv_knots[k][j] = knots[k + j];
  }
}

ZR_BSplineCurve::ZR_BSplineCurve(const ZR_List<ZR_Vector>& points) {
  Fit(points);
}

void ZR_BSplineCurve::Fit(const ZR_List<ZR_Vector>& points) {
  const int count = points.m_count;
  m_rational = 0;
  m_degree = 1;
  m_last_point = count - 1;
  m_last_knot = count + 1;
  m_dimension = count > 0 ? static_cast<int>(points[0].m_count) : 0;
  GetChordLengthParameters(points, m_params);
  if (count < 2) {
    // No knot span: nothing, or a constant curve at the one point.
    m_knots.Resize(0, -1);
    m_control_points.Resize(0, count - 1);
    if (count == 1) m_control_points[0] = points[0];
    m_deriv_points.Resize(0, -1, 0, -1);
    m_deriv_knots.Resize(0, -1);
    return;
  }
  ComputeKnots(m_params, m_degree, m_knots);
  FitControlPoints(points, m_params, m_knots, m_control_points, m_dimension, m_degree);
  ComputeDerivativeControlPoints(m_degree, m_knots, m_control_points, m_deriv_points,
                                 m_deriv_knots);
}

void ZR_BSplineCurve::Derivative(float u, int k, ZR_Vector& out) {
  if (k < 0 || k > m_degree) {
    for (int c = 0; c < m_dimension; ++c) out[c] = 0.0f;
    return;
  }
  if (m_last_point < 1) {
    // A constant curve: its point for k = 0, no change otherwise.
    if (m_last_point == 0 && k == 0)
      for (int c = 0; c < m_dimension; ++c) out[c] = out[c] + m_control_points[0][c];
    return;
  }
  const int p = m_degree - k;
  const int n = m_last_point - k;
  const ZR_Array<float>& knots = m_deriv_knots[k];
  const int s = FindKnotSpan(u, knots, p, n);
  Work basis(p + 1);
  GetBasisFunctions(s, u, p, knots, basis.Data());
  const ZR_Vector* row = m_deriv_points[k];
  for (int c = 0; c < m_dimension; ++c) {
    float sum = out[c];
    for (int j = 0; j <= p; ++j) sum = sum + row[s - p + j][c] * basis.Data()[j];
    out[c] = sum;
  }
}

float ZR_BSplineCurve::RefineClosestParameter(const ZR_Vector& pt, float a, float b) {
  float u = a + (b - a) * 0.5f;
  ZR_Vector point, first, second;
  for (int steps = 0; steps < kMaxNewtonSteps; ++steps) {
    SetZero(point, m_dimension);
    Derivative(u, 0, point);
    const ZR_Vector diff = point - pt;
    const float distance = diff.Norm();
    if (distance <= kCloseEnough) break;
    SetZero(first, m_dimension);
    Derivative(u, 1, first);
    const float f = first.Dot(diff);
    const float speed = first.Norm();
    if (std::fabs(f) / (speed * distance) <= kMinCosine) break;  // NaN goes on
    SetZero(second, m_dimension);
    Derivative(u, 2, second);
    const float denominator = speed * speed + second.Dot(diff);
    if (denominator == 0.0f) break;  // no curvature to step along (a zero derivative)
    float next = u - f / denominator;
    if (!std::isfinite(next)) break;
    if (a >= next) next = a;
    if (next >= b) next = b;
    if (((next - u) * first).Norm() <= kCloseEnough) break;  // keeps u, not next
    u = next;
  }
  return u;
}

float ZR_BSplineCurve::FindClosestParameter(const ZR_Vector& pt) {
  float best = 0.0f;
  float min_distance = FLT_MAX;
  ZR_Vector point;
  for (int i = 1; i <= kSubIntervals; ++i) {
    const float a = static_cast<float>(i - 1) / static_cast<float>(kSubIntervals);
    const float b = static_cast<float>(i) / static_cast<float>(kSubIntervals);
    const float u = RefineClosestParameter(pt, a, b);
    SetZero(point, m_dimension);
    Derivative(u, 0, point);
    const float distance = point.Distance(pt);
    if (distance < min_distance) {
      min_distance = distance;
      best = u;
    }
  }
  return best;
}
