// image/zr_warper2d.cpp: thin-plate spline fits and evaluation, in single precision with every
// sum in index order. The kernel's logarithm is taken in double and rounded to float.
#include "image/zr_warper2d.h"

#include <cmath>

#include "core/zr_lud.h"
#include "core/zr_string.h"

namespace {

// U(s) = s ln s of a squared distance s; 0 below 2^-23, where ln would dominate rounding noise.
inline float Kernel(float s) {
  return s >= 1.1920929e-7f ? float(std::log(double(s))) * s : 0.0f;
}

inline float SquaredDistance(const ZR_Vector2D& a, const ZR_Vector2D& b) {
  const ZR_Vector2D d = a - b;
  return d.x * d.x + d.y * d.y;
}

bool AllFinite(const ZR_List<ZR_Vector2D>& points) {
  for (uint32_t i = 0; i < points.m_count; ++i)
    if (!std::isfinite(points[i].x) || !std::isfinite(points[i].y)) return false;
  return true;
}

bool Finite(const ZR_Vector2D& v) {
  return std::isfinite(v.x) && std::isfinite(v.y);
}

// One step of iterative refinement: W += Li (V - L W), with L the spline system of the centres
// and V the targets. The inverse formed in float carries errors of about 0.1 pixel for 70 centres
// in pixel units (kernel values near 1e5 beside an affine border near 1e2); one step with the
// same inverse brings the fit through the targets down to the precision of its float evaluation.
void Refine(const ZR_List<ZR_Vector2D>& targets, const ZR_List<ZR_Vector2D>& centres,
            const ZR_Matrix& k, const ZR_Matrix& inverse, ZR_WarpTransform& spline) {
  const int32_t n = int32_t(centres.m_count);
  // Residual row i < n: the spline at centre i minus target i; rows n..n+2: the border sums.
  ZR_Matrix residual(n + 3, 2);
  for (int32_t i = 0; i < n; ++i) {
    const ZR_Vector2D& c = centres[uint32_t(i)];
    float x = spline.m_a0.x + spline.m_ax.x * c.x + spline.m_ay.x * c.y;
    float y = spline.m_a0.y + spline.m_ax.y * c.x + spline.m_ay.y * c.y;
    for (int32_t j = 0; j < n; ++j) {
      x += k[i][j] * spline.m_weights[j][0];
      y += k[i][j] * spline.m_weights[j][1];
    }
    residual[i][0] = targets[uint32_t(i)].x - x;
    residual[i][1] = targets[uint32_t(i)].y - y;
  }
  for (int32_t col = 0; col < 2; ++col) {
    float sum = 0, sum_x = 0, sum_y = 0;
    for (int32_t j = 0; j < n; ++j) {
      const float w = spline.m_weights[j][col];
      sum += w;
      sum_x += centres[uint32_t(j)].x * w;
      sum_y += centres[uint32_t(j)].y * w;
    }
    residual[n][col] = -sum;
    residual[n + 1][col] = -sum_x;
    residual[n + 2][col] = -sum_y;
  }
  const ZR_Matrix step = inverse * residual;
  for (int32_t i = 0; i < n; ++i) {
    spline.m_weights[i][0] += step[i][0];
    spline.m_weights[i][1] += step[i][1];
  }
  spline.m_a0 = spline.m_a0 + ZR_Vector2D(step[n][0], step[n][1]);
  spline.m_ax = spline.m_ax + ZR_Vector2D(step[n + 1][0], step[n + 1][1]);
  spline.m_ay = spline.m_ay + ZR_Vector2D(step[n + 2][0], step[n + 2][1]);
}

}  // namespace

ZR_WarpTransform::ZR_WarpTransform() : m_a0(0, 0), m_ax(0, 0), m_ay(0, 0) {}

ZR_WarpTransform::~ZR_WarpTransform() {}

ZR_Warper2D::ZR_Warper2D(const ZR_List<ZR_Vector2D>& source, const ZR_List<ZR_Vector2D>& target,
                         zr_warp_splines splines)
    : m_splines(splines), m_valid(0) {
  m_source = source;
  m_target = target;
  // The system takes its size from the centres and the right-hand side from the targets: lists
  // of different counts would read past one of them.
  if (source.m_count != target.m_count || !AllFinite(source) || !AllFinite(target)) return;
  if (splines != ZR_WARP_FORWARD_ONLY && !FitTransform(m_source, m_target, m_inverse)) return;
  if (!FitTransform(m_target, m_source, m_forward)) return;
  m_valid = 1;
}

ZR_Warper2D::~ZR_Warper2D() {}

bool ZR_Warper2D::WarpPoint(const ZR_Vector2D& p, ZR_Vector2D& out) const {
  if (m_valid != 1) return false;
  const ZR_WarpTransform& f = m_forward;
  float x = f.m_ax.x * p.x + f.m_a0.x + f.m_ay.x * p.y;
  float y = f.m_ax.y * p.x + f.m_a0.y + f.m_ay.y * p.y;
  for (uint32_t i = 0; i < m_source.m_count; ++i) {
    const float u = Kernel(SquaredDistance(m_source[i], p));
    x = u * f.m_weights[int32_t(i)][0] + x;
    y = u * f.m_weights[int32_t(i)][1] + y;
  }
  out = ZR_Vector2D(x, y);
  return true;
}

ZR_Vector2D ZR_Warper2D::MapPoint(const ZR_Vector2D& p) const {
  ZR_Vector2D out(0, 0);
  WarpPoint(p, out);
  return out;
}

void ZR_Warper2D::BuildKernelMatrix(const ZR_List<ZR_Vector2D>& centres, ZR_Matrix& k) {
  const int32_t n = int32_t(centres.m_count);
  k.Resize(n, n);
  for (int32_t i = 0; i < n; ++i) {
    k[i][i] = 0;
    for (int32_t j = i + 1; j < n; ++j)
      k[i][j] = k[j][i] = Kernel(SquaredDistance(centres[uint32_t(i)], centres[uint32_t(j)]));
  }
}

bool ZR_Warper2D::InvertSystemMatrix(const ZR_List<ZR_Vector2D>& centres, const ZR_Matrix& k,
                                     ZR_Matrix& inverse) {
  const int32_t n = int32_t(centres.m_count);
  for (int32_t i = 0; i < n; ++i)
    for (int32_t j = i + 1; j < n; ++j)
      if (centres[uint32_t(i)].x == centres[uint32_t(j)].x &&
          centres[uint32_t(i)].y == centres[uint32_t(j)].y) {
        ZR_String message("ZR_Warper2D::InvertSystemMatrix() Error! centres ");
        message += ZR_String(int(i));
        message += " and ";
        message += ZR_String(int(j));
        message += " coincide\n";
        throw LUDexception(message);
      }
  ZR_Matrix l(n + 3, n + 3);  // fresh, so the lower-right 3 x 3 block is zero
  for (int32_t i = 0; i < n; ++i) {
    for (int32_t j = 0; j < n; ++j) l[i][j] = k[i][j];
    const ZR_Vector2D& c = centres[uint32_t(i)];
    l[i][n] = 1;
    l[i][n + 1] = c.x;
    l[i][n + 2] = c.y;
    l[n][i] = 1;
    l[n + 1][i] = c.x;
    l[n + 2][i] = c.y;
  }
  ZR_LUD lud;
  lud.Decompose(l);
  return lud.Inverse(inverse);
}

void ZR_Warper2D::SolveCoefficients(const ZR_List<ZR_Vector2D>& targets, const ZR_Matrix& inverse,
                                    ZR_WarpTransform& spline) {
  const int32_t n = int32_t(targets.m_count);
  ZR_Matrix v(n + 3, 2);  // fresh: the three rows of the affine border stay zero
  for (int32_t i = 0; i < n; ++i) {
    v[i][0] = targets[uint32_t(i)].x;
    v[i][1] = targets[uint32_t(i)].y;
  }
  const ZR_Matrix w = inverse * v;
  spline.m_a0 = ZR_Vector2D(w[n][0], w[n][1]);
  spline.m_ax = ZR_Vector2D(w[n + 1][0], w[n + 1][1]);
  spline.m_ay = ZR_Vector2D(w[n + 2][0], w[n + 2][1]);
  spline.m_weights.Resize(n, 2);
  for (int32_t i = 0; i < n; ++i) {
    spline.m_weights[i][0] = w[i][0];
    spline.m_weights[i][1] = w[i][1];
  }
}

bool ZR_Warper2D::FitTransform(const ZR_List<ZR_Vector2D>& targets,
                               const ZR_List<ZR_Vector2D>& centres, ZR_WarpTransform& spline) {
  ZR_Matrix k, inverse;
  BuildKernelMatrix(centres, k);
  if (!InvertSystemMatrix(centres, k, inverse)) return false;
  ZR_WarpTransform fitted;
  SolveCoefficients(targets, inverse, fitted);
  Refine(targets, centres, k, inverse, fitted);
  // A nearly singular system that passed the determinant tests can still overflow.
  if (!Finite(fitted.m_a0) || !Finite(fitted.m_ax) || !Finite(fitted.m_ay)) return false;
  const float* w = fitted.m_weights.Block();
  for (uint32_t i = 0; i < fitted.m_weights.m_count; ++i)
    if (!std::isfinite(w[i])) return false;
  spline = fitted;
  return true;
}
