// tests/nnet/matrix_test.cpp: the shared-storage matrix: inverses against hand-worked cases,
// the fatal and warning messages, copy-on-write and the sharing counts.
#include "nnet/matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

Matrix FromRows(int32_t n, std::initializer_list<double> values) {
  Matrix m(n, n);
  int32_t i = 0;
  for (double v : values) m(i / n, i % n) = v, ++i;
  return m;
}

std::vector<double> Values(Matrix& m) {
  std::vector<double> out;
  for (int32_t r = 0; r < m.rows; ++r) {
    for (int32_t c = 0; c < m.cols; ++c) out.push_back(m(r, c));
  }
  return out;
}

TEST(Matrix, InvertsHandWorkedCases) {
  const struct {
    const char* what;
    int32_t n;
    std::vector<double> in, inverse;
    double logdet;
    bool negative;
  } cases[] = {
      {"1x1 positive", 1, {5}, {0.2}, std::log(5.0), false},
      {"1x1 negative", 1, {-4}, {-0.25}, std::log(4.0), true},
      {"identity", 3, {1, 0, 0, 0, 1, 0, 0, 0, 1}, {1, 0, 0, 0, 1, 0, 0, 0, 1}, 0.0, false},
      {"swap", 2, {0, 1, 1, 0}, {0, 1, 1, 0}, 0.0, true},
      {"equal pivots keep row 0", 2, {1, 2, -1, 3}, {0.6, -0.4, 0.2, 0.2}, std::log(5.0), false},
      {"0x0", 0, {}, {}, 0.0, false},
  };
  for (const auto& c : cases) {
    Matrix a(c.n, c.n);
    for (size_t i = 0; i < c.in.size(); ++i) a(int32_t(i) / c.n, int32_t(i) % c.n) = c.in[i];
    double logdet = -1.0;
    testing::internal::CaptureStderr();
    Matrix inv = Matrix::Invert(a, &logdet);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(c.negative ? "Determinant negative!\n" : "", err) << c.what;
    EXPECT_NEAR(c.logdet, logdet, 1e-12) << c.what;
    ASSERT_EQ(c.n, inv.rows) << c.what;
    ASSERT_EQ(c.n, inv.cols) << c.what;
    const std::vector<double> got = Values(inv);
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(c.inverse[i], got[i], 1e-15) << c.what;

    testing::internal::CaptureStderr();
    Matrix::Invert(a, nullptr);  // without logdet no warning, whatever the sign
    EXPECT_EQ("", testing::internal::GetCapturedStderr()) << c.what;
  }
}

TEST(MatrixDeathTest, SingularMatrixEndsTheProcess) {
  EXPECT_EXIT(Matrix::Invert(FromRows(2, {2, 0, 0, 0}), nullptr), testing::ExitedWithCode(1),
              "^Singular matrix!\n$");
  // The second pivot is an exact 0.0 only after elimination.
  EXPECT_EXIT(Matrix::Invert(FromRows(2, {1, 2, 2, 4}), nullptr), testing::ExitedWithCode(1),
              "^Singular matrix!\n$");
}

TEST(Matrix, InvertLeavesTheCallersMatrixAlone) {
  Matrix a = FromRows(2, {1, 2, -1, 3});
  MatrixData* block = a.block;
  Matrix inv = Matrix::Invert(a, nullptr);
  EXPECT_EQ(block, a.block);
  EXPECT_EQ(1, a.block->refs);
  EXPECT_NE(block, inv.block);
  EXPECT_EQ((std::vector<double>{1, 2, -1, 3}), Values(a));
}

TEST(Matrix, CopiesShareUntilWrittenThrough) {
  Matrix a = Matrix::Identity(2);
  Matrix b(a);
  ASSERT_EQ(a.block, b.block);
  EXPECT_EQ(2, a.block->refs);
  b(0, 1) = 7.0;
  EXPECT_NE(a.block, b.block);
  EXPECT_EQ(1, a.block->refs);
  EXPECT_EQ(1, b.block->refs);
  EXPECT_EQ((std::vector<double>{1, 0, 0, 1}), Values(a));
  EXPECT_EQ((std::vector<double>{1, 7, 0, 1}), Values(b));
}

TEST(Matrix, AssignmentSharesAndReleases) {
  Matrix a = Matrix::Zeros(2, 3);
  Matrix b = Matrix::Identity(4);
  b = a;  // b's identity block was its last share: freed here (LeakSanitizer)
  EXPECT_EQ(a.block, b.block);
  EXPECT_EQ(2, a.block->refs);
  EXPECT_EQ(2, b.rows);
  EXPECT_EQ(3, b.cols);
  EXPECT_EQ(6, b.size);

  Matrix& same = b;
  b = same;  // self-assignment keeps the block and its count
  EXPECT_EQ(a.block, b.block);
  EXPECT_EQ(2, a.block->refs);
  Matrix c = Matrix::Identity(1);
  Matrix& c_alias = c;
  c = c_alias;  // sole holder assigned to itself must not free the block (AddressSanitizer)
  EXPECT_EQ(1, c.block->refs);
  EXPECT_EQ(1.0, c(0, 0));

  Matrix empty;
  Matrix copy(empty);
  EXPECT_EQ(nullptr, copy.block);
  a = empty;
  EXPECT_EQ(nullptr, a.block);
  EXPECT_EQ(0, a.size);
  EXPECT_EQ(1, b.block->refs);
}

TEST(Matrix, ZerosAndIdentity) {
  Matrix z = Matrix::Zeros(2, 3);
  EXPECT_EQ((std::vector<double>(6, 0.0)), Values(z));
  Matrix i = Matrix::Identity(3);
  EXPECT_EQ((std::vector<double>{1, 0, 0, 0, 1, 0, 0, 0, 1}), Values(i));
  EXPECT_EQ(1, i.block->refs);
  EXPECT_EQ(9, i.block->count);
}

}  // namespace
