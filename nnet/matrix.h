// nnet/matrix.h: a small matrix of doubles whose storage is shared between copies and copied on
// the first element access through a shared copy, with an inverse by Gaussian elimination.
#ifndef NNET_MATRIX_H
#define NNET_MATRIX_H

#include <cstdint>

// MatrixData: the storage block that Matrix values share.
//   Owns: values, count doubles from the C heap; the block record itself comes from new.
//   Threads: refs is a plain counter; a block and all matrices sharing it belong to one thread.
struct MatrixData {
  // count values, left uninitialised, refs 1. Prints "malloc() failed in allocating
  // matrix/XVector data.\n" and exits with status 1 when the values cannot be had.
  explicit MatrixData(int32_t n);
  ~MatrixData();
  MatrixData(const MatrixData&) = delete;
  MatrixData& operator=(const MatrixData&) = delete;

  double* values;  // row-major: element (r, c) is values[r * cols + c]
  int32_t count;
  int32_t refs;
};

// Matrix: rows x cols doubles in a shared MatrixData; empty: no block, 0 x 0.
//   Invariant: a matrix with a block has size = rows * cols values in it.
//   Copying and assigning share the block; operator() first gives the matrix a block of its own
//   when the block is shared, even for a read, so a write never shows through another copy.
//   Threads: not synchronised (see MatrixData).
//   Failure: a failed or impossible allocation prints the matrix message and exits with status 1.
class Matrix {
 public:
  Matrix();
  // rows x cols zeros in a new block.
  Matrix(int32_t row_count, int32_t col_count);
  Matrix(const Matrix& other);
  Matrix& operator=(const Matrix& other);
  ~Matrix();

  // Gives the matrix a private copy of its block when the block is shared; otherwise nothing.
  void Detach();
  // Element (row, col). Precondition: the matrix has a block and the indices are in range.
  double& operator()(int32_t row, int32_t col);

  static Matrix Zeros(int32_t row_count, int32_t col_count);
  static Matrix Identity(int32_t n);
  // The inverse of the square matrix a (partial pivoting; the uppermost of equal pivots wins).
  // When logdet is given it receives ln|det a|, and a negative determinant writes
  // "Determinant negative!\n" to stderr. A zero pivot writes "Singular matrix!\n" and exits
  // with status 1. The caller's matrix is left unchanged.
  static Matrix Invert(Matrix a, double* logdet);

  MatrixData* block;
  int32_t rows;
  int32_t cols;
  int32_t size;

 private:
  void Release();
};

#endif  // NNET_MATRIX_H
