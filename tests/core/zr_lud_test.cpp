// tests/core/zr_lud_test.cpp: the LU factorisation's refusals (zero row, underflowing
// determinant, not square), pivot order and ties, the zero-pivot substitute, solve with shared and
// leading-zero right-hand sides, and inverses of seeded random matrices by their residual.
#include "core/zr_lud.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "tests/core/numeric_fixtures.h"

namespace {

using numeric_fixtures::Diagonal;
using numeric_fixtures::Identity;
using numeric_fixtures::Matrix;
using numeric_fixtures::MaxAbsDifference;
using numeric_fixtures::Vector;

// The message of the exception Decompose throws for a, or "" when it returns.
std::string DecomposeMessage(ZR_LUD& lud, const ZR_Matrix& a) {
  try {
    lud.Decompose(a);
  } catch (const LUDexception& e) {
    return e.m_message.m_text;
  }
  return "";
}

ZR_Matrix Product(const ZR_Matrix& a, const ZR_Matrix& b) {
  ZR_Matrix p(a.m_rows, b.m_cols);
  for (int i = 0; i < a.m_rows; ++i)
    for (int j = 0; j < b.m_cols; ++j) {
      float s = 0.0f;
      for (int k = 0; k < a.m_cols; ++k) s = s + a[i][k] * b[k][j];
      p[i][j] = s;
    }
  return p;
}

TEST(ZrLud, EmptyMatrixDecomposesWithDeterminantOneAndEmptyInverse) {
  ZR_LUD lud;
  EXPECT_TRUE(lud.Decompose(ZR_Matrix()));
  EXPECT_EQ(1.0f, lud.Determinant());
  ZR_Matrix out(2, 2);
  EXPECT_TRUE(lud.Inverse(out));
  EXPECT_EQ(0, out.m_rows);
  EXPECT_EQ(0, out.m_cols);
}

TEST(ZrLud, RefusedMatricesThrowTheirMessages) {
  const ZR_Matrix tiny = Diagonal({1e-10f, 1e-10f, 1e-10f, 1e-10f});  // det ~1e-40, a denormal
  const struct {
    const char* what;
    ZR_Matrix a;
    const char* message;
  } cases[] = {
      {"zero row among regular rows", Matrix(3, 3, {1, 2, 3, 0, 0, 0, 4, 5, 7}),
       "ZR_LUD::Decompose() Error! : All elements in matrix are zero!\n"},
      {"well-conditioned, determinant underflows", tiny,
       "ZR_LUD::Decompose() Error! Determinant too small!\n"},
      {"not square", Matrix(2, 3, {1, 2, 3, 4, 5, 6}),
       "ZR_LUD::Decompose() Error! matrix is 2 x 3, not square\n"},
  };
  for (const auto& c : cases) {
    ZR_LUD lud;
    EXPECT_EQ(c.message, DecomposeMessage(lud, c.a)) << c.what;
  }
}

TEST(ZrLud, ZeroRowLeavesTheUnfactoredCopyAndUnderflowTheFullFactorisation) {
  ZR_LUD lud;
  const ZR_Matrix a = Matrix(2, 2, {0, 3, 0, 0});
  DecomposeMessage(lud, a);
  EXPECT_EQ(0.0f, MaxAbsDifference(a, lud.m_lu));
  EXPECT_EQ(1, lud.m_parity);

  DecomposeMessage(lud, Diagonal({1e-10f, 1e-10f, 1e-10f, 1e-10f}));
  ASSERT_EQ(4u, lud.m_pivots.m_count);
  for (int j = 0; j < 4; ++j) EXPECT_EQ(j, lud.m_pivots[j]);
  EXPECT_NE(0.0f, lud.Determinant());  // denormals are kept
  EXPECT_LT(std::fabs(lud.Determinant()), 1e-38f);
}

TEST(ZrLud, RankDeficientMatrixPivotsOnTheLaterRowAndGetsATinyPivot) {
  ZR_LUD lud;
  ASSERT_TRUE(lud.Decompose(Matrix(2, 2, {1, 2, 2, 4})));
  EXPECT_EQ(1, lud.m_pivots[0]);  // both scaled candidates are 0.5: the later row wins
  EXPECT_EQ(1, lud.m_pivots[1]);
  EXPECT_EQ(-1, lud.m_parity);
  EXPECT_EQ(1e-20f, lud.m_lu[1][1]);
  EXPECT_EQ(-2e-20f, lud.Determinant());
  ZR_Matrix out(3, 3);
  EXPECT_FALSE(lud.Inverse(out));
  EXPECT_EQ(0, out.m_rows);
  EXPECT_EQ(0, out.m_cols);
}

TEST(ZrLud, FactorisesInPlaceLikeFromACopy) {
  const ZR_Matrix a = Matrix(3, 3, {2, -1, 0, 4, 3, 1, -2, 5, 6});
  ZR_LUD copy, in_place;
  copy.Decompose(a);
  in_place.m_lu = a;
  in_place.Decompose(in_place.m_lu);
  EXPECT_EQ(0.0f, MaxAbsDifference(copy.m_lu, in_place.m_lu));
  EXPECT_EQ(copy.m_parity, in_place.m_parity);
  EXPECT_EQ(copy.Determinant(), in_place.Determinant());
}

// Forward and back substitution with every product subtracted, for comparison with Solve.
ZR_Vector FullSumsSolve(const ZR_LUD& lud, ZR_Vector x) {
  const int n = static_cast<int>(x.m_count);
  for (int i = 0; i < n; ++i) {
    const int p = lud.m_pivots[i];
    float s = x[p];
    x[p] = x[i];
    for (int k = 0; k < i; ++k) s = s - lud.m_lu[i][k] * x[k];
    x[i] = s;
  }
  for (int i = n - 1; i >= 0; --i) {
    float s = x[i];
    for (int k = i + 1; k < n; ++k) s = s - lud.m_lu[i][k] * x[k];
    x[i] = s / lud.m_lu[i][i];
  }
  return x;
}

TEST(ZrLud, SolveSkipsLeadingZerosAndMayOverwriteItsRightHandSide) {
  // Row exchanges put the zeros of b first: the largest scaled pivot of column 0 is row 2.
  const ZR_Matrix a = Matrix(4, 4, {1, 2, 0, 1, 0, 3, 1, 2, 9, 1, 1, 1, 2, 0, 4, 1});
  ZR_LUD lud;
  lud.Decompose(a);
  ASSERT_EQ(2, lud.m_pivots[0]);
  const ZR_Vector b = Vector({0, 0, 0, 5});
  ZR_Vector x;
  x.Resize(1, 4);  // a 1-based vector comes back 0-based
  lud.Solve(x, b);
  EXPECT_EQ(0, x.m_lo);
  const ZR_Vector full = FullSumsSolve(lud, b);
  ZR_Vector shared = b;
  lud.Solve(shared, shared);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(full[i], x[i]) << i;
    EXPECT_EQ(x[i], shared[i]) << i;
  }
  float worst = 0.0f;  // residual of A x = b
  for (int i = 0; i < 4; ++i) {
    float s = 0.0f;
    for (int k = 0; k < 4; ++k) s = s + a[i][k] * x[k];
    worst = std::fmax(worst, std::fabs(s - b[i]));
  }
  EXPECT_LT(worst, 1e-5f);
}

TEST(ZrLud, InverseIsAlwaysZeroBasedAndTimesTheMatrixGivesIdentity) {
  const ZR_Matrix a = Matrix(3, 3, {4, -2, 1, 3, 6, -4, 2, 1, 8});
  ZR_LUD lud;
  lud.Decompose(a);
  ZR_Matrix out;
  out.Resize(1, 3, 1, 3);  // right size, wrong bounds: must not be written at 1..3
  ASSERT_TRUE(lud.Inverse(out));
  EXPECT_EQ(0, out.m_row_lo);
  EXPECT_EQ(0, out.m_col_lo);
  EXPECT_LT(MaxAbsDifference(Product(out, a), Identity(3)), 1e-6f);
}

TEST(ZrLud, RandomMatricesInvertWithinFloatPrecision) {
  std::mt19937 rng(20240605);
  for (int n = 1; n <= 9; ++n) {
    ZR_Matrix a = numeric_fixtures::Random(n, n, rng);
    for (int i = 0; i < n; ++i) a[i][i] = a[i][i] + (a[i][i] < 0 ? -2.0f : 2.0f);  // regular
    ZR_LUD lud;
    ASSERT_NO_THROW(lud.Decompose(a)) << n;
    ZR_Matrix inverse;
    ASSERT_TRUE(lud.Inverse(inverse)) << n;
    EXPECT_LT(MaxAbsDifference(Product(a, inverse), Identity(n)), 1e-5f) << n;
    EXPECT_LT(MaxAbsDifference(Product(inverse, a), Identity(n)), 1e-5f) << n;
  }
}

}  // namespace
