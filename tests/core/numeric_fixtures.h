// tests/core/numeric_fixtures.h: matrices and vectors from literal values, seeded random shapes
// and the products the solver tests check their results with (float, sums in index order).
#ifndef TESTS_CORE_NUMERIC_FIXTURES_H
#define TESTS_CORE_NUMERIC_FIXTURES_H

#include <cmath>
#include <initializer_list>
#include <random>

#include "core/zr_matrix.h"
#include "core/zr_vector.h"

namespace numeric_fixtures {

// A rows x cols matrix (indices from 0) filled row by row from values.
inline ZR_Matrix Matrix(int rows, int cols, std::initializer_list<float> values) {
  ZR_Matrix m(rows, cols);
  auto it = values.begin();
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) m[r][c] = it != values.end() ? *it++ : 0.0f;
  return m;
}

inline ZR_Vector Vector(std::initializer_list<float> values) {
  ZR_Vector v;
  v.Resize(0, static_cast<int>(values.size()) - 1);
  int i = 0;
  for (float x : values) v[i++] = x;
  return v;
}

inline ZR_Matrix Diagonal(std::initializer_list<float> values) {
  const int n = static_cast<int>(values.size());
  ZR_Matrix m(n, n);
  int i = 0;
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) m[r][c] = 0.0f;
  for (float x : values) m[i][i] = x, ++i;
  return m;
}

// Uniform entries in [-1, 1] from a fixed seed.
inline ZR_Matrix Random(int rows, int cols, std::mt19937& rng) {
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  ZR_Matrix m(rows, cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) m[r][c] = dist(rng);
  return m;
}

// A * diag(w) * B^T, with A rows x k, w k values, B cols x k.
inline ZR_Matrix ScaledProductTransposed(const ZR_Matrix& a, const ZR_Vector& w,
                                         const ZR_Matrix& b) {
  const int rows = a.m_rows, cols = b.m_rows, k = a.m_cols;
  ZR_Matrix out(rows, cols);
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < cols; ++j) {
      float s = 0.0f;
      for (int l = 0; l < k; ++l) s = s + a[i][l] * w[l] * b[j][l];
      out[i][j] = s;
    }
  return out;
}

// Largest |a - b| over all elements (both of the same shape).
inline float MaxAbsDifference(const ZR_Matrix& a, const ZR_Matrix& b) {
  float worst = 0.0f;
  for (int r = 0; r < a.m_rows; ++r)
    for (int c = 0; c < a.m_cols; ++c) worst = std::fmax(worst, std::fabs(a[r][c] - b[r][c]));
  return worst;
}

inline ZR_Matrix Identity(int n) {
  ZR_Matrix m(n, n);
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) m[r][c] = r == c ? 1.0f : 0.0f;
  return m;
}

// B^T * B for a rows x cols matrix: cols x cols.
inline ZR_Matrix Gram(const ZR_Matrix& b) {
  const int n = b.m_cols;
  ZR_Matrix g(n, n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      float s = 0.0f;
      for (int r = 0; r < b.m_rows; ++r) s = s + b[r][i] * b[r][j];
      g[i][j] = s;
    }
  return g;
}

}  // namespace numeric_fixtures

#endif  // TESTS_CORE_NUMERIC_FIXTURES_H
