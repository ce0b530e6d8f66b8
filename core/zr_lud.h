// core/zr_lud.h: LU factorisation of a square float matrix by Crout's method with partial pivoting
// and implicit row scaling, with solve, determinant and inverse. The thresholds are fixed by the
// callers' results: a zero row or |det| < 1e-38 (compared in double) throws, a zero pivot alone
// becomes 1e-20 and Inverse refuses |det| < 1e-10.
#ifndef CORE_ZR_LUD_H
#define CORE_ZR_LUD_H

#include <cstdint>

#include "core/zr_array.h"
#include "core/zr_matrix.h"
#include "core/zr_string.h"
#include "core/zr_vector.h"

// LUDexception: what ZR_LUD::Decompose throws for a matrix it refuses. Plain type, no virtual
// operations; copying it copies the message.
class LUDexception {
 public:
  explicit LUDexception(const ZR_String& message) : m_message(message) {}

  ZR_String m_message;  // the full text, ending in a line feed; nothing is printed
};

// ZR_LUD: the factors of the matrix last decomposed; empty: 0 x 0 matrix, no pivots, parity 1.
//   Invariant after Decompose: m_lu is n x n from 0, below the diagonal the multipliers of L (unit
//   diagonal not stored), on and above it U, both of the row-permuted matrix; m_pivots[j] is the
//   row exchanged with row j at step j; m_parity is the sign of the permutation.
//   Owns: its matrix and pivot array. Threads: one object per call, no shared state.
//   Failure: Decompose throws LUDexception; Inverse returns false; allocation failure aborts.
class ZR_LUD {
 public:
  ZR_LUD() = default;
  virtual ~ZR_LUD() = default;

  // Factorises a (n x n, indices from 0; a may be m_lu itself, then in place). Returns true, or
  // throws LUDexception "ZR_LUD::Decompose() Error! : All elements in matrix are zero!\n" (m_lu
  // holds the unfactored copy) or "ZR_LUD::Decompose() Error! Determinant too small!\n" (m_lu,
  // m_pivots and m_parity hold the complete factorisation). A matrix that is not square throws
  // "ZR_LUD::Decompose() Error! matrix is R x C, not square\n" before anything is read.
  bool Decompose(const ZR_Matrix& a);

  // Solves A x = b for the matrix last decomposed; b holds n elements. x and b may be the same
  // vector (the solution then replaces b); otherwise x becomes a 0-based copy of b first.
  void Solve(ZR_Vector& x, const ZR_Vector& b);

  // Parity times the diagonal of m_lu, in float and row order (1 for 0 x 0).
  float Determinant();

  // Writes the inverse into out, always 0-based n x n. Returns false, out 0 x 0, when
  // |Determinant()| < 1e-10.
  bool Inverse(ZR_Matrix& out);

  ZR_Matrix m_lu;
  ZR_Array<int> m_pivots;
  int32_t m_parity = 1;
};

#endif  // CORE_ZR_LUD_H
