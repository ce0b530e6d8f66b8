// core/zr_svd.h: singular value decomposition A = U diag(W) V^T of an m x n float matrix by the
// Golub-Reinsch method (Householder bidiagonalisation, implicit-shift QR), with a relative cut-off
// for negligible singular values and the least-squares solve through the decomposition.
#ifndef CORE_ZR_SVD_H
#define CORE_ZR_SVD_H

#include "core/zr_matrix.h"
#include "core/zr_vector.h"

// sqrt(a^2 + b^2) without destructive overflow or underflow; 0 for (0, 0).
float Pythag(float a, float b);

// The decomposition on row-pointer tables: a (m rows of n floats) is replaced by U, w receives the
// n singular values (unsorted, never negative once converged), v (n rows of n floats) receives V.
// At most 30 QR passes per value; a value that does not converge keeps the last sweep's result.
void CalcSVD(float** a, int m, int n, float* w, float** v);

// ZR_SVD: the decomposition of one matrix; complete once the constructor returns.
//   m_u: m x n, first a copy of A, then U; m_v: n x n, V (not transposed); m_w: 0..n-1, W in the
//   order the decomposition leaves it; m_tolerance: relative cut-off, 1e-6.
//   Owns its members. Threads: one object per call, no shared state. Never fails.
class ZR_SVD {
 public:
  // Decomposes a (indices from 0).
  explicit ZR_SVD(const ZR_Matrix& a);
  virtual ~ZR_SVD() = default;

  // Replaces U, W and V by those of a (a may be m_u), then SetTolerance(1e-6). Returns true.
  bool Decompose(const ZR_Matrix& a);

  // Sets the tolerance and zeroes every singular value below max(W) * t (negative ones included).
  void SetTolerance(float t);

  // Least-squares x = V diag(1/w) U^T b, a zero singular value contributing 0. b holds m elements;
  // x is always made 0..n-1 (x and b may be the same vector).
  void Solve(ZR_Vector& x, const ZR_Vector& b);

  ZR_Matrix m_u;
  ZR_Matrix m_v;
  ZR_Vector m_w;
  float m_tolerance = 1e-6f;
};

#endif  // CORE_ZR_SVD_H
