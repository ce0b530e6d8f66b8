// image/zr_transform2d.cpp: the similarity fit. All sums run in single precision in point order;
// the normal equations are those of the least-squares fit of (a, b, tx, ty).
#include "image/zr_transform2d.h"

#include <cmath>

#include "core/zr_lud.h"
#include "core/zr_string.h"

ZR_Transform2D::ZR_Transform2D(const ZR_Vector& source, const ZR_Vector& target)
    : m_translation(0, 0), m_scale(0) {
  Compute(source, target);
}

ZR_Transform2D::~ZR_Transform2D() {}

void ZR_Transform2D::Compute(const ZR_Vector& source, const ZR_Vector& target) {
  // Reading target over the source's length would run past its end.
  if (source.m_count != target.m_count) {
    ZR_String message("ZR_Transform2D::Compute() Error! source has ");
    message += ZR_String(int(source.m_count));
    message += " values, target ";
    message += ZR_String(int(target.m_count));
    message += "\n";
    throw LUDexception(message);
  }
  const int32_t n = int32_t(source.m_count / 2);
  float sx = 0, sy = 0, sr = 0, su = 0, sv = 0, sa = 0, sb = 0;
  for (int32_t k = 0; k < n; ++k) {
    const float x = source[2 * k], y = source[2 * k + 1];
    const float u = target[2 * k], v = target[2 * k + 1];
    sx += x;
    sy += y;
    sr += x * x + y * y;
    su += u;
    sv += v;
    sa += x * u + y * v;
    sb += x * v - u * y;
  }
  const float count = float(n);
  ZR_Matrix a(4, 4);
  const float rows[4][4] = {
      {sx, -sy, count, 0}, {sy, sx, 0, count}, {sr, 0, sx, sy}, {0, sr, -sy, sx}};
  for (int32_t r = 0; r < 4; ++r)
    for (int32_t c = 0; c < 4; ++c) a[r][c] = rows[r][c];
  ZR_Vector rhs;
  rhs.Resize(4);
  rhs[0] = su;
  rhs[1] = sv;
  rhs[2] = sa;
  rhs[3] = sb;

  m_parameters.Resize(0, 3);
  ZR_LUD lud;
  lud.Decompose(a);
  lud.Solve(m_parameters, rhs);

  const float pa = m_parameters[0], pb = m_parameters[1];
  m_scale = float(std::sqrt(double(pa * pa + pb * pb)));
  m_rotation.Resize(2, 2);
  m_rotation[0][0] = pa / m_scale;
  m_rotation[0][1] = -(pb / m_scale);
  m_rotation[1][0] = pb / m_scale;
  m_rotation[1][1] = pa / m_scale;
  m_translation = ZR_Vector2D(m_parameters[2], m_parameters[3]);
}
