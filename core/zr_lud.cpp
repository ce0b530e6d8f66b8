// core/zr_lud.cpp: Crout LU with partial pivoting and implicit scaling. Every sum subtracts its
// products one at a time in increasing index order, in float, so results are the same bits on
// every compiler; only the determinant test of Decompose widens to double.
#include "core/zr_lud.h"

#include <cmath>

namespace {

constexpr float kZeroPivot = 1e-20f;        // stands in for an exact zero pivot
constexpr double kDecomposeMinDet = 1e-38;  // |det| below this throws
constexpr float kInverseMinDet = 1e-10f;    // |det| below this refuses the inverse

}  // namespace

bool ZR_LUD::Decompose(const ZR_Matrix& a) {
  const int n = a.m_rows;
  if (a.m_cols != n) {
    ZR_String text("ZR_LUD::Decompose() Error! matrix is ");
    text += ZR_String(a.m_rows);
    text += " x ";
    text += ZR_String(a.m_cols);
    text += ", not square\n";
    throw LUDexception(text);
  }
  if (&a != &m_lu) m_lu = a;
  m_pivots.Resize(0, n - 1);
  ZR_Vector scale;
  scale.Resize(0, n - 1);
  m_parity = 1;
  ZR_Matrix& lu = m_lu;

  for (int i = 0; i < n; ++i) {
    float big = 0.0f;
    for (int j = 0; j < n; ++j) {
      const float v = std::fabs(lu[i][j]);
      if (v > big) big = v;
    }
    if (big == 0.0f)
      throw LUDexception(
          ZR_String("ZR_LUD::Decompose() Error! : All elements in matrix are zero!\n"));
    scale[i] = 1.0f / big;
  }

  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < j; ++i) {
      float sum = lu[i][j];
      for (int k = 0; k < i; ++k) sum = sum - lu[i][k] * lu[k][j];
      lu[i][j] = sum;
    }
    float big = 0.0f;
    int imax = j;  // kept when every candidate is NaN, so the pivot row is always defined
    for (int i = j; i < n; ++i) {
      float sum = lu[i][j];
      for (int k = 0; k < j; ++k) sum = sum - lu[i][k] * lu[k][j];
      lu[i][j] = sum;
      const float candidate = scale[i] * std::fabs(sum);
      if (candidate >= big) {  // ties go to the later row
        big = candidate;
        imax = i;
      }
    }
    if (imax != j) {
      for (int k = 0; k < n; ++k) {
        const float t = lu[imax][k];
        lu[imax][k] = lu[j][k];
        lu[j][k] = t;
      }
      m_parity = -m_parity;
      scale[imax] = scale[j];
    }
    m_pivots[j] = imax;
    if (lu[j][j] == 0.0f) lu[j][j] = kZeroPivot;
    const float d = 1.0f / lu[j][j];
    for (int i = j + 1; i < n; ++i) lu[i][j] = lu[i][j] * d;
  }

  if (std::fabs(static_cast<double>(Determinant())) < kDecomposeMinDet)
    throw LUDexception(ZR_String("ZR_LUD::Decompose() Error! Determinant too small!\n"));
  return true;
}

void ZR_LUD::Solve(ZR_Vector& x, const ZR_Vector& b) {
  const int n = static_cast<int>(b.m_count);
  if (&x != &b) x = b;
  int first = -1;
  for (int i = 0; i < n; ++i) {
    const int p = m_pivots[i];
    float s = x[p];
    x[p] = x[i];
    if (first != -1) {
      for (int k = first; k < i; ++k) s = s - m_lu[i][k] * x[k];
    } else if (!(s == 0.0f)) {  // a NaN counts as non-zero
      first = i;
    }
    x[i] = s;
  }
  for (int i = n - 1; i >= 0; --i) {
    float s = x[i];
    for (int k = i + 1; k < n; ++k) s = s - m_lu[i][k] * x[k];
    x[i] = s / m_lu[i][i];
  }
}

float ZR_LUD::Determinant() {
  float det = static_cast<float>(m_parity);
  for (int i = 0; i < m_lu.m_rows; ++i) det = det * m_lu[i][i];
  return det;
}

bool ZR_LUD::Inverse(ZR_Matrix& out) {
  const int n = m_lu.m_rows;
  if (std::fabs(Determinant()) < kInverseMinDet) {
    out.Resize(0, 0);
    return false;
  }
  out.Resize(n, n);
  ZR_Vector e;
  e.Resize(0, n - 1);
  for (int i = 0; i < n; ++i) e[i] = 0.0f;
  ZR_Vector x;
  for (int i = 0; i < n; ++i) {
    if (i > 0) e[i - 1] = 0.0f;
    e[i] = 1.0f;
    Solve(x, e);
    for (int r = 0; r < n; ++r) out[r][i] = x[r];
  }
  return true;
}
