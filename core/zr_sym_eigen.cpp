// core/zr_sym_eigen.cpp: tridiagonal reduction and implicit QL in float, sums in increasing index
// order. The reflection is also computed for l = 1 (unlike the usual textbook form), and one term
// of each QL rotation is evaluated in double; both are part of the results callers rely on.
#include "core/zr_sym_eigen.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <vector>

#include "core/zr_svd.h"

namespace {

constexpr int kMaxSweeps = 1000;

inline float Sign(float r, float g) {
  return g >= 0.0f ? std::fabs(r) : -std::fabs(r);
}

void Say(bool verbose, const char* text) {
  if (verbose) std::cerr << text << std::endl;
}

void Count(bool verbose, const char* head, int i, int n, const char* tail) {
  if (verbose) std::cerr << head << i << "|" << n << tail << std::flush;
}

}  // namespace

void CreateSymTriDiagMat(const ZR_Matrix& a, ZR_Matrix& q, ZR_Vector& d, ZR_Vector& e,
                         bool verbose) {
  const int n = a.m_rows;
  Say(verbose, "CreateSymTriDiagMat() copying ip matrix");
  q.Resize(1, n, 1, n);
  const ZR_Array<float>& flat = a;  // row-major element storage
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) q[r + 1][c + 1] = flat[r * n + c];
  Say(verbose, "CreateSymTriDiagMat() setting up diag matrix");
  d.Resize(1, n);
  for (int i = 1; i <= n; ++i) d[i] = 0.0f;
  Say(verbose, "CreateSymTriDiagMat() setting off diag elements");
  e.Resize(1, n);
  for (int i = 1; i <= n; ++i) e[i] = 0.0f;
  Say(verbose, "CreateSymTriDiagMat() performing algorithm");

  for (int i = n; i >= 2; --i) {
    Count(verbose, "CreateSymTriDiagMat() ", i, n, ") counting down   \r");
    const int l = i - 1;
    float h = 0.0f;
    float scale = 0.0f;
    for (int k = 1; k <= l; ++k) scale = scale + std::fabs(q[i][k]);
    if (scale == 0.0f) {
      e[i] = q[i][l];
    } else {
      for (int k = 1; k <= l; ++k) {
        q[i][k] = q[i][k] / scale;
        h = h + q[i][k] * q[i][k];
      }
      float f = q[i][l];
      float g = f >= 0.0f ? -std::sqrt(h) : std::sqrt(h);
      e[i] = scale * g;
      h = h - f * g;
      q[i][l] = f - g;
      f = 0.0f;
      for (int j = 1; j <= l; ++j) {
        q[j][i] = q[i][j] / h;
        g = 0.0f;
        for (int k = 1; k <= j; ++k) g = g + q[j][k] * q[i][k];
        for (int k = j + 1; k <= l; ++k) g = g + q[k][j] * q[i][k];
        e[j] = g / h;
        f = f + e[j] * q[i][j];
      }
      const float hh = f / (h + h);
      for (int j = 1; j <= l; ++j) {
        f = q[i][j];
        g = e[j] - hh * f;
        e[j] = g;
        for (int k = 1; k <= j; ++k) q[j][k] = q[j][k] - (f * e[k] + g * q[i][k]);
      }
    }
    d[i] = h;
  }
  if (n >= 1) {
    d[1] = 0.0f;
    e[1] = 0.0f;
  }

  for (int i = 1; i <= n; ++i) {
    Count(verbose, "CreateSymTriDiagMat() ", i, n, ") counting up   \r");
    const int l = i - 1;
    if (d[i] != 0.0f) {
      for (int j = 1; j <= l; ++j) {
        float g = 0.0f;
        for (int k = 1; k <= l; ++k) g = g + q[i][k] * q[k][j];
        for (int k = 1; k <= l; ++k) q[k][j] = q[k][j] - g * q[k][i];
      }
    }
    d[i] = q[i][i];
    q[i][i] = 1.0f;
    for (int j = 1; j <= l; ++j) q[j][i] = q[i][j] = 0.0f;
  }
}

bool CalcEigens(ZR_Matrix& q, const ZR_Vector& d, const ZR_Vector& e, ZR_Matrix& vectors,
                ZR_Vector& values, bool verbose) {
  const int n = static_cast<int>(d.m_count);
  Say(verbose, "CalcEigens() initializing Evals");
  values.Resize(0, n - 1);
  for (int i = 1; i <= n; ++i) values[i - 1] = d[i];
  Say(verbose, "CalcEigens() copying E");
  ZR_Vector work_e;
  work_e.Resize(1, n);
  for (int i = 1; i <= n; ++i) work_e[i] = e[i];
  Say(verbose, "CalcEigens() performing algorithm");
  ZR_Vector& E = work_e;
  auto D = [&values](int i) -> float& { return values[i - 1]; };

  if (n > 1) {
    for (int i = 2; i <= n; ++i) E[i - 1] = E[i];
    E[n] = 0.0f;
    for (int l = 1; l <= n; ++l) {
      Count(verbose, "CalcEigens() ", l, n, " counting down   \r");
      int iter = 0;
      for (;;) {
        int m = l;
        for (; m <= n - 1; ++m) {
          const float dd = std::fabs(D(m)) + std::fabs(D(m + 1));
          if (std::fabs(E[m]) + dd == dd) break;
        }
        if (m == l) break;
        if (iter == kMaxSweeps) {
          perror("CalcEigens() Warning! : Many iterations required\n");
          break;
        }
        ++iter;
        float g = (D(l + 1) - D(l)) / (2.0f * E[l]);
        float r = Pythag(g, 1.0f);
        g = (D(m) - D(l)) + E[l] / (g + Sign(r, g));
        float s = 1.0f, c = 1.0f, p = 0.0f;
        int i = m - 1;
        for (; i >= l; --i) {
          const float f = s * E[i];
          const float b = c * E[i];
          r = Pythag(f, g);
          E[i + 1] = r;
          if (r == 0.0f) {
            D(i + 1) = D(i + 1) - p;
            E[m] = 0.0f;
            break;
          }
          s = f / r;
          c = g / r;
          g = D(i + 1) - p;
          r = static_cast<float>(static_cast<double>((D(i) - g) * s) +
                                 2.0 * static_cast<double>(c) * static_cast<double>(b));
          p = s * r;
          D(i + 1) = g + p;
          g = c * r - b;
          for (int k = 1; k <= n; ++k) {
            const float t = q[k][i + 1];
            q[k][i + 1] = s * q[k][i] + c * t;
            q[k][i] = c * q[k][i] - s * t;
          }
        }
        if (i >= l) continue;  // the sweep ended early on r == 0: search again
        D(l) = D(l) - p;
        E[l] = g;
        E[m] = 0.0f;
      }
    }
  }

  Say(verbose, "CalcEigens() transfering result");
  vectors.Resize(n, n);
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) vectors[r][c] = q[r + 1][c + 1];
  return true;
}

void ZR_SymEigen::Compute(const ZR_Matrix& a) {
  if (a.m_rows != a.m_cols) {
    // Reading n x n elements of a non-square matrix would leave its storage.
    m_ok = false;
    m_vectors.Resize(0, 0);
    m_values.Resize(0, -1);
    return;
  }
  ZR_Matrix q;
  ZR_Vector d;
  ZR_Vector e;
  CreateSymTriDiagMat(a, q, d, e, m_verbose);
  m_ok = CalcEigens(q, d, e, m_vectors, m_values, m_verbose);
}

void ZR_SymEigen::SortByMagnitude() {
  const int n = static_cast<int>(m_values.m_count);
  // Stable ascending insertion: each magnitude goes before the first strictly larger one.
  std::vector<float> magnitudes;
  std::vector<int> order;
  magnitudes.reserve(n);
  order.reserve(n);
  for (int k = 0; k < n; ++k) {
    const float mag = std::fabs(m_values[k]);
    size_t at = 0;
    while (at < magnitudes.size() && !(magnitudes[at] > mag)) ++at;
    magnitudes.insert(magnitudes.begin() + at, mag);
    order.insert(order.begin() + at, k);
  }
  const int rows = m_vectors.m_rows;
  ZR_Matrix vectors(rows, m_vectors.m_cols);
  ZR_Vector values;
  values.Resize(0, n - 1);
  for (int j = 0; j < n; ++j) {
    const int old = order[n - 1 - j];
    for (int r = 0; r < rows; ++r) vectors[r][j] = m_vectors[r][old];
    values[j] = m_values[old];
  }
  m_vectors = vectors;
  m_values = values;
}
