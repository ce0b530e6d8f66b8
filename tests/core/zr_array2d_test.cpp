// tests/core/zr_array2d_test.cpp: ZR_Array2D<T> shapes, row tables and sizes.
#include "core/zr_array2d.h"

#include <gtest/gtest.h>

namespace {

TEST(ZrArray2D, ReshapeToTheSameCountKeepsFlatOrder) {
  ZR_Array2D<float> a(2, 3);
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 3; ++c) a[r][c] = float(10 * r + c);
  float* block = a.Block();
  a.Resize(3, 2);
  EXPECT_EQ(block, a.Block());
  EXPECT_EQ(3, a.m_rows);
  EXPECT_EQ(2, a.m_cols);
  const float flat[] = {0, 1, 2, 10, 11, 12};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(flat[k], a[k / 2][k % 2]) << k;
}

TEST(ZrArray2D, OffsetBoundsAddressRowsAndColumns) {
  ZR_Array2D<int> a;
  a.Resize(-1, 0, 3, 5);
  ASSERT_EQ(6u, a.m_count);
  EXPECT_EQ(0, a.m_lo);
  for (int r = -1; r <= 0; ++r)
    for (int c = 3; c <= 5; ++c) a[r][c] = 10 * r + c;
  EXPECT_EQ(&a[-1][3], a.Block());
  EXPECT_EQ(-10 + 5, a.Block()[2]);
  EXPECT_EQ(0 + 3, a.Block()[3]);
}

TEST(ZrArray2D, EmptyExtentKeepsBoundsWithoutBlock) {
  const struct {
    int32_t row_lo, row_hi, col_lo, col_hi, rows, cols;
  } cases[] = {{0, -1, 0, 4, 0, 5}, {0, 2, 5, 4, 3, 0}, {0, -3, 0, -3, -2, -2}};
  for (const auto& c : cases) {
    ZR_Array2D<float> a(2, 2);
    a.Resize(c.row_lo, c.row_hi, c.col_lo, c.col_hi);
    EXPECT_EQ(0u, a.m_count) << c.row_hi << " " << c.col_hi;
    EXPECT_EQ(nullptr, a.m_data);
    EXPECT_EQ(0u, a.m_row_table.m_count);
    EXPECT_EQ(c.rows, a.m_rows);
    EXPECT_EQ(c.cols, a.m_cols);
    EXPECT_EQ(c.row_hi, a.m_row_hi);
    EXPECT_EQ(c.col_lo, a.m_col_lo);
  }
}

// Resizing for overwrite differs from Resize only in leaving a fresh block uncleared: the same
// bounds, counts and row table for offset, empty and negative extents, and a reshape to the same
// count keeps the block and its values.
TEST(ZrArray2D, ResizeForOverwriteShapesAsResize) {
  const struct {
    int32_t row_lo, row_hi, col_lo, col_hi;
  } cases[] = {{0, 2, 0, 3}, {-1, 0, 3, 5},  {0, -1, 0, 4},
               {0, 2, 5, 4}, {0, -3, 0, -3}, {0, 3, 0, 2}};
  for (const auto& c : cases) {
    ZR_Array2D<int> want(4, 3), got(4, 3);
    for (int k = 0; k < 12; ++k) got.Block()[k] = k;
    int* block = got.Block();
    want.Resize(c.row_lo, c.row_hi, c.col_lo, c.col_hi);
    got.ResizeForOverwrite(c.row_lo, c.row_hi, c.col_lo, c.col_hi);
    EXPECT_EQ(want.m_count, got.m_count) << c.row_hi << " " << c.col_hi;
    EXPECT_EQ(want.m_lo, got.m_lo);
    EXPECT_EQ(want.m_rows, got.m_rows);
    EXPECT_EQ(want.m_cols, got.m_cols);
    EXPECT_EQ(want.m_row_hi, got.m_row_hi);
    EXPECT_EQ(want.m_col_lo, got.m_col_lo);
    ASSERT_EQ(want.m_row_table.m_count, got.m_row_table.m_count);
    for (int32_t r = got.m_row_lo; got.m_count != 0 && r <= got.m_row_hi; ++r)
      EXPECT_EQ(want[r] - want.Block(), got[r] - got.Block()) << r;
    if (got.m_count == 12) {
      EXPECT_EQ(block, got.Block());
      for (int k = 0; k < 12; ++k) EXPECT_EQ(k, got.Block()[k]);
    }
  }
}

TEST(ZrArray2D, CopyAndAssignmentOwnTheirBlocks) {
  ZR_Array2D<float> a(2, 2);
  a[1][1] = 4.0f;
  ZR_Array2D<float> b(a);
  ZR_Array2D<float> c;
  c = a;
  a[1][1] = 5.0f;
  EXPECT_EQ(4.0f, b[1][1]);
  EXPECT_EQ(4.0f, c[1][1]);
  EXPECT_NE(a.Block(), b.Block());
  const ZR_Array2D<float>& same = c;
  c = same;  // self-assignment
  EXPECT_EQ(4.0f, c[1][1]);
}

TEST(ZrArray2D, GetSizeIsColumnsThenRows) {
  ZR_Array2D<unsigned char> a(480, 640);
  const ZR_Vector2D size = a.GetSize();
  EXPECT_EQ(640.0f, size.x);
  EXPECT_EQ(480.0f, size.y);
}

TEST(ZrArray2DDeathTest, ProductPastTheElementCountAborts) {
  ZR_Array2D<unsigned char> a;
  EXPECT_DEATH(a.Resize(65536, 65536), "ZR_Array<T>::Resize\\(\\), run out of memory");
  EXPECT_DEATH(a.ResizeForOverwrite(65536, 65536), "ZR_Array<T>::Resize\\(\\), run out of memory");
}

}  // namespace
