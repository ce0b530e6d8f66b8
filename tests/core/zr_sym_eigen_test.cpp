// tests/core/zr_sym_eigen_test.cpp: the eigen solver's small cases (n = 0, 1, diagonals and the
// 2 x 2 intermediates), the magnitude sort and its tie order, the refusal of a non-square matrix,
// the exact verbose texts, and V diag(L) V^T = A on seeded random symmetric matrices.
#include "core/zr_sym_eigen.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>

#include "tests/core/numeric_fixtures.h"

namespace {

using numeric_fixtures::Diagonal;
using numeric_fixtures::Identity;
using numeric_fixtures::Matrix;
using numeric_fixtures::MaxAbsDifference;

std::vector<float> Values(const ZR_SymEigen& eigen) {
  std::vector<float> v;
  for (uint32_t i = 0; i < eigen.m_values.m_count; ++i) v.push_back(eigen.m_values[i]);
  return v;
}

TEST(ZrSymEigen, EmptyAndSingleElementMatrices) {
  ZR_SymEigen empty;
  empty.Compute(ZR_Matrix());
  EXPECT_TRUE(empty.m_ok);
  EXPECT_EQ(0u, empty.m_values.m_count);
  EXPECT_EQ(0, empty.m_vectors.m_rows);

  ZR_SymEigen one;
  one.Compute(Matrix(1, 1, {-2.5f}));
  EXPECT_TRUE(one.m_ok);
  EXPECT_EQ(std::vector<float>{-2.5f}, Values(one));
  EXPECT_EQ(1.0f, one.m_vectors[0][0]);
}

TEST(ZrSymEigen, NonSquareMatrixIsRefused) {
  ZR_SymEigen eigen;
  eigen.Compute(Diagonal({1, 2}));
  eigen.Compute(Matrix(2, 3, {1, 2, 3, 4, 5, 6}));
  EXPECT_FALSE(eigen.m_ok);
  EXPECT_EQ(0u, eigen.m_values.m_count);
  EXPECT_EQ(0, eigen.m_vectors.m_rows);
}

TEST(ZrSymEigen, DiagonalIsLeftUnsortedThenSortedByMagnitude) {
  ZR_SymEigen eigen;
  eigen.Compute(Diagonal({3, -5, 1}));
  EXPECT_EQ((std::vector<float>{3, -5, 1}), Values(eigen));
  EXPECT_EQ(0.0f, MaxAbsDifference(Identity(3), eigen.m_vectors));
  eigen.SortByMagnitude();
  EXPECT_EQ((std::vector<float>{-5, 3, 1}), Values(eigen));
  EXPECT_EQ(0.0f, MaxAbsDifference(Matrix(3, 3, {0, 1, 0, 1, 0, 0, 0, 0, 1}), eigen.m_vectors));
}

TEST(ZrSymEigen, EqualMagnitudesPutTheHigherOldIndexFirstAndASecondSortSwapsThem) {
  ZR_SymEigen eigen;
  eigen.Compute(Diagonal({2, -2, 1}));
  eigen.SortByMagnitude();
  EXPECT_EQ((std::vector<float>{-2, 2, 1}), Values(eigen));
  EXPECT_EQ(0.0f, MaxAbsDifference(Matrix(3, 3, {0, 1, 0, 1, 0, 0, 0, 0, 1}), eigen.m_vectors));
  eigen.SortByMagnitude();
  EXPECT_EQ((std::vector<float>{2, -2, 1}), Values(eigen));
  EXPECT_EQ(0.0f, MaxAbsDifference(Identity(3), eigen.m_vectors));
}

TEST(ZrSymEigen, TwoByTwoReflectsAtTheFirstRowAndConverges) {
  const ZR_Matrix a = Matrix(2, 2, {2, 1, 1, 2});
  ZR_Matrix q;
  ZR_Vector d, e;
  CreateSymTriDiagMat(a, q, d, e, false);
  ASSERT_EQ(1, q.m_row_lo);
  ASSERT_EQ(1, d.m_lo);
  EXPECT_EQ(2.0f, d[1]);
  EXPECT_EQ(2.0f, d[2]);
  EXPECT_EQ(0.0f, e[1]);
  EXPECT_EQ(-1.0f, e[2]);
  EXPECT_EQ(-1.0f, q[1][1]);
  EXPECT_EQ(0.0f, q[1][2]);
  EXPECT_EQ(0.0f, q[2][1]);
  EXPECT_EQ(1.0f, q[2][2]);

  ZR_SymEigen eigen;
  eigen.Compute(a);
  ASSERT_TRUE(eigen.m_ok);
  EXPECT_FLOAT_EQ(3.0f, eigen.m_values[0]);
  EXPECT_FLOAT_EQ(1.0f, eigen.m_values[1]);
  const float h = 0.70710678f;
  EXPECT_LT(MaxAbsDifference(Matrix(2, 2, {h, h, h, -h}), eigen.m_vectors), 1e-6f);
}

TEST(ZrSymEigen, VerboseRunWritesTheProgressTexts) {
  ZR_SymEigen eigen;
  testing::internal::CaptureStderr();
  eigen.Compute(Matrix(2, 2, {2, 1, 1, 2}));
  EXPECT_EQ("", testing::internal::GetCapturedStderr());

  eigen.m_verbose = true;
  testing::internal::CaptureStderr();
  eigen.Compute(Matrix(2, 2, {2, 1, 1, 2}));
  EXPECT_EQ(
      "CreateSymTriDiagMat() copying ip matrix\n"
      "CreateSymTriDiagMat() setting up diag matrix\n"
      "CreateSymTriDiagMat() setting off diag elements\n"
      "CreateSymTriDiagMat() performing algorithm\n"
      "CreateSymTriDiagMat() 2|2) counting down   \r"
      "CreateSymTriDiagMat() 1|2) counting up   \r"
      "CreateSymTriDiagMat() 2|2) counting up   \r"
      "CalcEigens() initializing Evals\n"
      "CalcEigens() copying E\n"
      "CalcEigens() performing algorithm\n"
      "CalcEigens() 1|2 counting down   \r"
      "CalcEigens() 2|2 counting down   \r"
      "CalcEigens() transfering result\n",
      testing::internal::GetCapturedStderr());
}

TEST(ZrSymEigen, NonConvergenceWarnsAndStillSucceeds) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  ZR_SymEigen eigen;  // not verbose: the warning is printed all the same
  testing::internal::CaptureStderr();
  eigen.Compute(Matrix(3, 3, {1, nan, 0, nan, 2, 1, 0, 1, 3}));
  const std::string printed = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(eigen.m_ok);
  EXPECT_EQ(3u, eigen.m_values.m_count);
  const std::string warning = "CalcEigens() Warning! : Many iterations required\n";
  EXPECT_EQ(warning, printed.substr(0, warning.size()));  // perror then adds the errno text
}

// V diag(values) V^T against a, and V^T V against the identity.
void ExpectDecomposes(const ZR_Matrix& a, const ZR_SymEigen& eigen, float tolerance,
                      const std::string& what) {
  EXPECT_LT(MaxAbsDifference(a, numeric_fixtures::ScaledProductTransposed(
                                    eigen.m_vectors, eigen.m_values, eigen.m_vectors)),
            tolerance)
      << what;
  const int n = a.m_rows;
  EXPECT_LT(MaxAbsDifference(numeric_fixtures::Gram(eigen.m_vectors), Identity(n)), tolerance)
      << what;
}

TEST(ZrSymEigen, RandomSymmetricMatricesReconstructBeforeAndAfterSorting) {
  std::mt19937 rng(1107);
  for (int n : {2, 3, 5, 8, 13, 24}) {
    ZR_Matrix a = numeric_fixtures::Random(n, n, rng);
    for (int r = 0; r < n; ++r)
      for (int c = 0; c < r; ++c) a[c][r] = a[r][c];
    ZR_SymEigen eigen;
    eigen.Compute(a);
    ASSERT_TRUE(eigen.m_ok);
    const std::string what = "n = " + std::to_string(n);
    ExpectDecomposes(a, eigen, 2e-5f * n, what + ", unsorted");
    eigen.SortByMagnitude();
    ExpectDecomposes(a, eigen, 2e-5f * n, what + ", sorted");
    for (int k = 1; k < n; ++k)
      EXPECT_GE(std::fabs(eigen.m_values[k - 1]), std::fabs(eigen.m_values[k])) << what;
  }
}

}  // namespace
