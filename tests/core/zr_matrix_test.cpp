// tests/core/zr_matrix_test.cpp: ZR_Matrix shapes and products.
#include "core/zr_matrix.h"

#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace {

ZR_Matrix Make(int32_t rows, int32_t cols, std::initializer_list<float> values) {
  ZR_Matrix m(rows, cols);
  int k = 0;
  for (float x : values) m.m_data[k++] = x;
  return m;
}

std::vector<float> Values(const ZR_Vector& v) {
  return std::vector<float>(v.Block(), v.Block() + v.m_count);
}

TEST(ZrMatrix, ProductsWithVectors) {
  const ZR_Matrix m = Make(2, 2, {1, 2, 3, 4});
  const ZR_Vector v(1.0f, 1.0f);
  EXPECT_EQ(std::vector<float>({3, 7}), Values(m * v));
  EXPECT_EQ(std::vector<float>({4, 6}), Values(v * m));
}

TEST(ZrMatrix, ShapesOfTransposeProductAndColumn) {
  const ZR_Matrix a = Make(2, 3, {1, 2, 3, 4, 5, 6});
  const ZR_Matrix t = a.Transpose();
  EXPECT_EQ(3, t.m_rows);
  EXPECT_EQ(2, t.m_cols);
  EXPECT_EQ(4.0f, t[0][1]);
  EXPECT_EQ(3.0f, t[2][0]);

  ZR_Matrix b(3, 4);
  for (int k = 0; k < 12; ++k) b.m_data[k] = float(k);
  const ZR_Matrix p = a * b;
  EXPECT_EQ(2, p.m_rows);
  EXPECT_EQ(4, p.m_cols);
  EXPECT_EQ(1 * 1 + 2 * 5 + 3 * 9.0f, p[0][1]);
  EXPECT_EQ(4 * 3 + 5 * 7 + 6 * 11.0f, p[1][3]);

  EXPECT_EQ(std::vector<float>({2, 4, 6}), Values(Make(3, 2, {1, 2, 3, 4, 5, 6}).GetColumn(1)));
}

// The products equal, bit for bit, the sums written out in the order they are defined in.
TEST(ZrMatrix, ProductsMatchTheDefiningSumsBitForBit) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> value(-10.0f, 10.0f);
  ZR_Matrix a(5, 7), b(7, 3);
  ZR_Vector v, w;
  v.Resize(7);
  w.Resize(5);
  for (int k = 0; k < 35; ++k) a.m_data[k] = value(rng);
  for (int k = 0; k < 21; ++k) b.m_data[k] = value(rng);
  for (int k = 0; k < 7; ++k) v[k] = value(rng);
  for (int k = 0; k < 5; ++k) w[k] = value(rng);
  const ZR_Matrix p = a * b;
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 3; ++j) {
      float sum = 0.0f;
      for (int k = 0; k < 7; ++k) sum += b[k][j] * a[i][k];
      EXPECT_EQ(sum, p[i][j]) << i << "," << j;
    }
  const ZR_Vector av = a * v, wa = w * a;
  for (int i = 0; i < 5; ++i) {
    float sum = 0.0f;
    for (int j = 0; j < 7; ++j) sum += v[j] * a[i][j];
    EXPECT_EQ(sum, av[i]) << i;
  }
  for (int i = 0; i < 7; ++i) {
    float sum = 0.0f;
    for (int j = 0; j < 5; ++j) sum += a[j][i] * w[j];
    EXPECT_EQ(sum, wa[i]) << i;
  }
}

TEST(ZrMatrix, CopiesOwnTheirBlocks) {
  ZR_Matrix a = Make(2, 2, {1, 2, 3, 4});
  ZR_Matrix b(a);
  ZR_Matrix c;
  c = a;
  a[1][1] = 9;
  EXPECT_EQ(4.0f, b[1][1]);
  EXPECT_EQ(4.0f, c[1][1]);
}

}  // namespace
