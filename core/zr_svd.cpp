// core/zr_svd.cpp: Golub-Reinsch SVD in its widely published single-precision form. All
// arithmetic is float and every sum runs in increasing index order, so results are the same bits
// on every compiler. The split search never reads w[-1], whatever a NaN does to the norm.
#include "core/zr_svd.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kMaxPasses = 30;
constexpr float kDefaultTolerance = 1e-6f;

// |p| when q >= 0, -|p| otherwise.
inline float Sign(float p, float q) {
  return q >= 0.0f ? std::fabs(p) : -std::fabs(p);
}

// |x| is negligible against the norm of the bidiagonal form.
inline bool Negligible(float x, float anorm) {
  return std::fabs(x) + anorm == anorm;
}

inline float Max(float a, float b) {
  return a > b ? a : b;
}

// Householder reduction to bidiagonal form: w gets the diagonal, rv the superdiagonal.
void Bidiagonalise(float** a, int m, int n, float* w, float* rv, float& anorm) {
  float g = 0.0f, scale = 0.0f, s = 0.0f;
  anorm = 0.0f;
  for (int i = 0; i < n; ++i) {
    const int l = i + 1;
    rv[i] = scale * g;
    g = s = scale = 0.0f;
    if (i < m) {
      for (int k = i; k < m; ++k) scale = scale + std::fabs(a[k][i]);
      if (scale != 0.0f) {
        for (int k = i; k < m; ++k) {
          a[k][i] = a[k][i] / scale;
          s = s + a[k][i] * a[k][i];
        }
        float f = a[i][i];
        g = -Sign(std::sqrt(s), f);
        const float h = f * g - s;
        a[i][i] = f - g;
        for (int j = l; j < n; ++j) {
          float t = 0.0f;
          for (int k = i; k < m; ++k) t = t + a[k][i] * a[k][j];
          f = t / h;
          for (int k = i; k < m; ++k) a[k][j] = a[k][j] + f * a[k][i];
        }
        for (int k = i; k < m; ++k) a[k][i] = a[k][i] * scale;
      }
    }
    w[i] = scale * g;
    g = s = scale = 0.0f;
    if (i < m && i != n - 1) {
      for (int k = l; k < n; ++k) scale = scale + std::fabs(a[i][k]);
      if (scale != 0.0f) {
        for (int k = l; k < n; ++k) {
          a[i][k] = a[i][k] / scale;
          s = s + a[i][k] * a[i][k];
        }
        const float f = a[i][l];
        g = -Sign(std::sqrt(s), f);
        const float h = f * g - s;
        a[i][l] = f - g;
        for (int k = l; k < n; ++k) rv[k] = a[i][k] / h;
        for (int j = l; j < m; ++j) {
          float t = 0.0f;
          for (int k = l; k < n; ++k) t = t + a[j][k] * a[i][k];
          for (int k = l; k < n; ++k) a[j][k] = a[j][k] + t * rv[k];
        }
        for (int k = l; k < n; ++k) a[i][k] = a[i][k] * scale;
      }
    }
    anorm = Max(anorm, std::fabs(w[i]) + std::fabs(rv[i]));
  }
}

// Accumulates the right-hand transformations into v.
void AccumulateRight(float** a, int n, const float* rv, float** v) {
  for (int i = n - 1; i >= 0; --i) {
    const int l = i + 1;
    if (i < n - 1) {
      const float g = rv[l];
      if (g != 0.0f) {
        for (int j = l; j < n; ++j) v[j][i] = (a[i][j] / a[i][l]) / g;
        for (int j = l; j < n; ++j) {
          float t = 0.0f;
          for (int k = l; k < n; ++k) t = t + a[i][k] * v[k][j];
          for (int k = l; k < n; ++k) v[k][j] = v[k][j] + t * v[k][i];
        }
      }
      for (int j = l; j < n; ++j) v[i][j] = v[j][i] = 0.0f;
    }
    v[i][i] = 1.0f;
  }
}

// Accumulates the left-hand transformations into a, which becomes U.
void AccumulateLeft(float** a, int m, int n, const float* w) {
  for (int i = (m < n ? m : n) - 1; i >= 0; --i) {
    const int l = i + 1;
    float g = w[i];
    for (int j = l; j < n; ++j) a[i][j] = 0.0f;
    if (g != 0.0f) {
      g = 1.0f / g;
      for (int j = l; j < n; ++j) {
        float t = 0.0f;
        for (int k = l; k < m; ++k) t = t + a[k][i] * a[k][j];
        const float f = (t / a[i][i]) * g;
        for (int k = i; k < m; ++k) a[k][j] = a[k][j] + f * a[k][i];
      }
      for (int j = i; j < m; ++j) a[j][i] = a[j][i] * g;
    } else {
      for (int j = i; j < m; ++j) a[j][i] = 0.0f;
    }
    a[i][i] = a[i][i] + 1.0f;
  }
}

// Rotates columns j and i of the rows..rows-1 x ? table t by (c, s).
inline void RotateColumns(float** t, int rows, int j, int i, float c, float s) {
  for (int r = 0; r < rows; ++r) {
    const float p = t[r][j];
    const float q = t[r][i];
    t[r][j] = p * c + q * s;
    t[r][i] = q * c - p * s;
  }
}

// Implicit-shift QR on the bidiagonal form until every superdiagonal element is negligible.
void Diagonalise(float** a, int m, int n, float* w, float* rv, float** v, float anorm) {
  for (int k = n - 1; k >= 0; --k) {
    for (int pass = 0; pass < kMaxPasses; ++pass) {
      int l = k;
      bool cancel = true;
      for (; l >= 0; --l) {
        // rv[0] is always 0; testing l == 0 as well keeps w[-1] out of reach when anorm is NaN.
        if (l == 0 || Negligible(rv[l], anorm)) {
          cancel = false;
          break;
        }
        if (Negligible(w[l - 1], anorm)) break;
      }
      if (cancel) {
        const int nm = l - 1;
        float c = 0.0f, s = 1.0f;
        for (int i = l; i <= k; ++i) {
          const float f = s * rv[i];
          rv[i] = c * rv[i];
          if (Negligible(f, anorm)) break;
          const float g = w[i];
          float h = Pythag(f, g);
          w[i] = h;
          h = 1.0f / h;
          c = g * h;
          s = -f * h;
          for (int j = 0; j < m; ++j) {
            const float y = a[j][nm];
            const float z = a[j][i];
            a[j][nm] = y * c + z * s;
            a[j][i] = z * c - y * s;
          }
        }
      }
      float z = w[k];
      if (l == k) {
        if (z < 0.0f) {
          w[k] = -z;
          for (int j = 0; j < n; ++j) v[j][k] = -v[j][k];
        }
        break;
      }
      float x = w[l];
      const int nm = k - 1;
      float y = w[nm];
      float g = rv[nm];
      float h = rv[k];
      float f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0f * h * y);
      g = Pythag(f, 1.0f);
      f = ((x - z) * (x + z) + h * ((y / (f + Sign(g, f))) - h)) / x;
      float c = 1.0f, s = 1.0f;
      for (int j = l; j <= nm; ++j) {
        const int i = j + 1;
        g = rv[i];
        y = w[i];
        h = s * g;
        g = c * g;
        z = Pythag(f, h);
        rv[j] = z;
        c = f / z;
        s = h / z;
        f = x * c + g * s;
        g = g * c - x * s;
        h = y * s;
        y = y * c;
        RotateColumns(v, n, j, i, c, s);
        z = Pythag(f, h);
        w[j] = z;
        if (z != 0.0f) {
          z = 1.0f / z;
          c = f * z;
          s = h * z;
        }
        f = c * g + s * y;
        x = c * y - s * g;
        RotateColumns(a, m, j, i, c, s);
      }
      rv[l] = 0.0f;
      rv[k] = f;
      w[k] = x;
    }
  }
}

}  // namespace

float Pythag(float a, float b) {
  const float abs_a = std::fabs(a);
  const float abs_b = std::fabs(b);
  if (abs_a > abs_b) {
    const float r = abs_b / abs_a;
    return abs_a * std::sqrt(1.0f + r * r);
  }
  if (abs_b == 0.0f) return 0.0f;
  const float r = abs_a / abs_b;
  return abs_b * std::sqrt(1.0f + r * r);
}

void CalcSVD(float** a, int m, int n, float* w, float** v) {
  if (n <= 0) return;
  ZR_Vector rv;
  rv.Resize(0, n - 1);
  float anorm = 0.0f;
  Bidiagonalise(a, m, n, w, &rv[0], anorm);
  AccumulateRight(a, n, &rv[0], v);
  AccumulateLeft(a, m, n, w);
  Diagonalise(a, m, n, w, &rv[0], v, anorm);
}

ZR_SVD::ZR_SVD(const ZR_Matrix& a) {
  if (!Decompose(a)) {
    perror("SVD Error::Decompose() Error! : Decomposition failed\n");
    abort();
  }
}

bool ZR_SVD::Decompose(const ZR_Matrix& a) {
  const int m = a.m_rows;
  const int n = a.m_cols;
  if (&a != &m_u) m_u = a;
  m_v.Resize(n, n);
  m_w.Resize(0, n - 1);
  if (n > 0)
    CalcSVD(m > 0 ? m_u.m_row_table.Block() : nullptr, m, n, &m_w[0], m_v.m_row_table.Block());
  SetTolerance(kDefaultTolerance);
  return true;
}

void ZR_SVD::SetTolerance(float t) {
  m_tolerance = t;
  const int n = static_cast<int>(m_w.m_count);
  float wmax = 0.0f;
  for (int j = 0; j < n; ++j)
    if (m_w[j] > wmax) wmax = m_w[j];
  const float threshold = wmax * t;
  for (int j = 0; j < n; ++j)
    if (threshold > m_w[j]) m_w[j] = 0.0f;
}

void ZR_SVD::Solve(ZR_Vector& x, const ZR_Vector& b) {
  const int m = m_u.m_rows;
  const int n = m_u.m_cols;
  // U^T b first, so that b may be x itself.
  ZR_Vector tmp;
  tmp.Resize(0, n - 1);
  for (int j = 0; j < n; ++j) {
    float t = 0.0f;
    if (std::fabs(m_w[j]) > 0.0f) {
      for (int i = 0; i < m; ++i) t = t + m_u[i][j] * b[i];
      t = t / m_w[j];
    }
    tmp[j] = t;
  }
  x.Resize(0, n - 1);
  for (int j = 0; j < n; ++j) {
    float s = 0.0f;
    for (int k = 0; k < n; ++k) s = s + m_v[j][k] * tmp[k];
    x[j] = s;
  }
}
