// core/zr_sym_eigen.h: all eigenvalues and eigenvectors of a real symmetric float matrix by
// Householder reduction to tridiagonal form and the implicit QL method, with a reorder by
// decreasing |eigenvalue|. The tridiagonal stage works on 1-based storage (rows 1..n).
#ifndef CORE_ZR_SYM_EIGEN_H
#define CORE_ZR_SYM_EIGEN_H

#include "core/zr_matrix.h"
#include "core/zr_vector.h"

// Householder reduction of the square matrix a (read n x n, n its row count): q (made rows and
// columns 1..n) receives the orthogonal transformation, d (1..n) the diagonal and e (1..n) the
// subdiagonal, e[i] coupling rows i-1 and i and e[1] = 0. With verbose, progress goes to stderr.
void CreateSymTriDiagMat(const ZR_Matrix& a, ZR_Matrix& q, ZR_Vector& d, ZR_Vector& e,
                         bool verbose);

// Implicit QL on q, d and e as CreateSymTriDiagMat left them: values (0..n-1) receives the
// unsorted eigenvalues, vectors (n x n from 0) the eigenvectors as columns; q is rotated in place,
// d and e are kept. At most 1000 sweeps per eigenvalue; past that "CalcEigens() Warning! : Many
// iterations required\n" goes through perror and the solver goes on. Returns true.
bool CalcEigens(ZR_Matrix& q, const ZR_Vector& d, const ZR_Vector& e, ZR_Matrix& vectors,
                ZR_Vector& values, bool verbose);

// ZR_SymEigen: the eigen decomposition of the matrix last given to Compute.
//   Empty: m_ok false, 0 x 0 vectors, no values. After Compute: m_values[k] belongs to column k of
//   m_vectors (n x n from 0). Owns its members. Threads: one object per call; progress texts go
//   to the shared stderr. Failure: Compute leaves m_ok false (and both results empty) for a matrix
//   that is not square; otherwise m_ok is true.
class ZR_SymEigen {
 public:
  ZR_SymEigen() = default;
  virtual ~ZR_SymEigen() = default;

  // Decomposes the symmetric matrix a (not changed) and replaces both results.
  void Compute(const ZR_Matrix& a);

  // Reorders m_values and the columns of m_vectors by decreasing |eigenvalue|; of equal
  // magnitudes the higher old index comes first, so a second call reverses those ties.
  void SortByMagnitude();

  bool m_ok = false;
  ZR_Matrix m_vectors;
  ZR_Vector m_values;
  bool m_verbose = false;
};

#endif  // CORE_ZR_SYM_EIGEN_H
