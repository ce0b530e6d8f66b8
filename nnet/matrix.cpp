// nnet/matrix.cpp: the shared-storage matrix. Invert follows a fixed elimination order (pivot
// choice, row swaps, skipped zero multipliers) so that its results do not depend on the build.
#include "nnet/matrix.h"

#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

[[noreturn]] void FailAllocation() {
  fputs("malloc() failed in allocating matrix/XVector data.\n", stderr);
  exit(1);
}

// rows * cols as a value count; sizes that are negative or exceed 32 bits cannot be allocated.
int32_t ValueCount(int32_t row_count, int32_t col_count) {
  const int64_t n = int64_t{row_count} * col_count;
  if (row_count < 0 || col_count < 0 || n > INT32_MAX) FailAllocation();
  return static_cast<int32_t>(n);
}

}  // namespace

MatrixData::MatrixData(int32_t n) : values(nullptr), count(n), refs(1) {
  if (n < 0) FailAllocation();
  values = static_cast<double*>(malloc(sizeof(double) * static_cast<size_t>(n)));
  if (n > 0 && !values) FailAllocation();  // malloc(0) may rightly return null
}

MatrixData::~MatrixData() {
  free(values);
}

Matrix::Matrix() : block(nullptr), rows(0), cols(0), size(0) {}

Matrix::Matrix(int32_t row_count, int32_t col_count)
    : block(nullptr), rows(row_count), cols(col_count), size(ValueCount(row_count, col_count)) {
  block = new MatrixData(size);
  for (int32_t i = 0; i < size; ++i) block->values[i] = 0.0;
}

Matrix::Matrix(const Matrix& other)
    : block(other.block), rows(other.rows), cols(other.cols), size(other.size) {
  if (block) ++block->refs;
}

Matrix& Matrix::operator=(const Matrix& other) {
  // Take the new share before giving up the old one, so self-assignment keeps the block alive;
  // other may be this matrix, so its fields are read before Release clears them.
  MatrixData* shared = other.block;
  if (shared) ++shared->refs;
  const int32_t r = other.rows, c = other.cols, n = other.size;
  Release();
  block = shared;
  rows = r;
  cols = c;
  size = n;
  return *this;
}

Matrix::~Matrix() {
  Release();
}

void Matrix::Release() {
  if (block && --block->refs == 0) delete block;
  block = nullptr;
}

void Matrix::Detach() {
  if (!block || block->refs <= 1) return;
  MatrixData* own = new MatrixData(size);
  if (size > 0) memcpy(own->values, block->values, sizeof(double) * static_cast<size_t>(size));
  --block->refs;
  block = own;
}

double& Matrix::operator()(int32_t row, int32_t col) {
  assert(block && row >= 0 && row < rows && col >= 0 && col < cols);
  if (block->refs > 1) Detach();
  return block->values[int64_t{row} * cols + col];
}

Matrix Matrix::Zeros(int32_t row_count, int32_t col_count) {
  return Matrix(row_count, col_count);
}

Matrix Matrix::Identity(int32_t n) {
  Matrix m(n, n);
  for (int32_t i = 0; i < n; ++i) m.block->values[int64_t{i} * n + i] = 1.0;
  return m;
}

Matrix Matrix::Invert(Matrix a, double* logdet) {
  assert(a.rows == a.cols && (a.block || a.rows == 0));
  a.Detach();
  const int32_t n = a.rows;
  Matrix r = Identity(n);
  double* av = a.block ? a.block->values : nullptr;
  double* rv = r.block->values;
  auto arow = [&](int32_t i) { return av + int64_t{i} * n; };
  auto rrow = [&](int32_t i) { return rv + int64_t{i} * n; };
  double sign = 1.0;
  double log_abs = 0.0;

  for (int32_t c = 0; c < n; ++c) {
    double p = arow(c)[c];
    int32_t k = c;
    for (int32_t i = c + 1; i < n; ++i) {
      if (std::fabs(arow(i)[c]) > std::fabs(p)) {
        p = arow(i)[c];
        k = i;
      }
    }
    if (k != c) {
      sign = -sign;
      for (int32_t j = 0; j < n; ++j) std::swap(rrow(c)[j], rrow(k)[j]);
      for (int32_t j = c; j < n; ++j) std::swap(arow(c)[j], arow(k)[j]);
    }
    arow(c)[c] = 1.0;
    if (p == 0.0) {
      fputs("Singular matrix!\n", stderr);
      exit(1);
    }
    log_abs += std::log(std::fabs(p));
    if (p < 0) sign = -sign;
    for (int32_t j = 0; j < n; ++j) rrow(c)[j] /= p;
    for (int32_t j = c + 1; j < n; ++j) arow(c)[j] /= p;
    for (int32_t i = c + 1; i < n; ++i) {
      const double w = arow(i)[c];
      if (w == 0.0) continue;
      for (int32_t j = 0; j < n; ++j) rrow(i)[j] -= w * rrow(c)[j];
      for (int32_t j = c + 1; j < n; ++j) arow(i)[j] -= w * arow(c)[j];
    }
  }
  for (int32_t c = n - 1; c >= 1; --c) {
    for (int32_t i = c - 1; i >= 0; --i) {
      const double l = arow(i)[c];
      if (l == 0.0) continue;
      for (int32_t j = 0; j < n; ++j) rrow(i)[j] -= l * rrow(c)[j];
    }
  }
  if (logdet) {
    *logdet = log_abs;
    if (sign < 0) fputs("Determinant negative!\n", stderr);
  }
  return r;
}
