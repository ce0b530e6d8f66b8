// core/zr_matrix.h: ZR_Matrix, a float 2-D array indexed from 0 in both directions, with its
// products. Each result element is a single-precision sum from 0 in increasing index order of
// the inner dimension. Operand sizes are not checked (debug builds assert).
#ifndef CORE_ZR_MATRIX_H
#define CORE_ZR_MATRIX_H

#include <cstdint>

#include "core/zr_array2d.h"
#include "core/zr_vector.h"

// ZR_Matrix: a ZR_Array2D<float> over 0..rows-1 x 0..cols-1, with no field of its own.
//   Owns: its block (as ZR_Array2D). Threads: as ZR_Array. Failure: as ZR_Array2D.
//   A new matrix's elements are zero until written.
class ZR_Matrix : public ZR_Array2D<float> {
 public:
  ZR_Matrix() {}
  ZR_Matrix(int32_t rows, int32_t cols) : ZR_Array2D<float>(rows, cols) {}
  ZR_Matrix(const ZR_Matrix& other) : ZR_Array2D<float>(other) {}
  ~ZR_Matrix() override {}

  ZR_Matrix& operator=(const ZR_Matrix& other) {
    ZR_Array2D<float>::operator=(other);
    return *this;
  }

  // A cols x rows matrix with result(j, i) = this(i, j).
  ZR_Matrix Transpose() const;
  // A rows x b.cols matrix: result(i, j) = sum over k of b(k, j) * this(i, k).
  ZR_Matrix operator*(const ZR_Matrix& b) const;
  // A rows-element vector: element i = sum over j of v[j] * this(i, j).
  ZR_Vector operator*(const ZR_Vector& v) const;
  // Column c as a rows-element vector.
  ZR_Vector GetColumn(int32_t c) const;
};

// v * M, that is M^T v: a cols-element vector, element i = sum over j of M(j, i) * v[j].
ZR_Vector operator*(const ZR_Vector& v, const ZR_Matrix& m);

#endif  // CORE_ZR_MATRIX_H
