// tests/image/force_reader_test.cpp: the float-matrix format — stretching, rebasing to 0 with the
// row order kept, and malformed records.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/image/test_support.h"

namespace {

using namespace image_files;

TEST(LoadForce, StretchesAndRebasesToZeroKeepingTheRowOrder) {
  ZR_TempFolder dir;
  // Rows 5..6 and columns -2..0; the matrix's first row is the image's bottom row.
  Bytes b = MakeForceRecord(5, 6, -2, 0, {0.f, 1.f, 2.f, 3.f, 4.f, 5.f});
  ZR_Image image;
  LoadResult r = LoadBytes(dir, "a.force", b, &image);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(0, image.m_row_lo);
  EXPECT_EQ(1, image.m_row_hi);
  EXPECT_EQ(0, image.m_col_lo);
  EXPECT_EQ(2, image.m_col_hi);
  // (v - 0) * 255 / 5: 0, 51, 102, 153, 204, 255.
  EXPECT_EQ(0, image[0][0].r);
  EXPECT_EQ(51, image[0][1].r);
  EXPECT_EQ(153, image[1][0].r);
  EXPECT_EQ((ZR_Colour{255, 255, 255, 255}).r, image[1][2].r);
  EXPECT_EQ(255, image[1][2].a);
}

TEST(LoadForce, RefusesMalformedRecords) {
  ZR_TempFolder dir;
  const std::vector<float> six(6, 1.f);
  const Bytes good = MakeForceRecord(0, 1, 0, 2, six);
  const struct {
    const char* what;
    Bytes bytes;
  } cases[] = {
      {"block not rows x cols", MakeForceRecord(0, 1, 0, 1, six)},
      {"block not from 0", MakeForceRecord(0, 1, 0, 2, six, 1, 6)},
      {"cut short", Bytes(good.begin(), good.end() - 1)},
      {"bounds only", Bytes(good.begin(), good.begin() + 16)},
      {"empty block", MakeForceRecord(0, 1, 0, 2, {})},
      {"huge range", MakeForceRecord(0, 1, 0, 2, six, 0, 0x7fffffff)},
      {"negative range", MakeForceRecord(0, 1, 0, 2, six, 5, 0)},
  };
  for (const auto& c : cases) EXPECT_FALSE(LoadBytes(dir, "a.force", c.bytes).ok) << c.what;
}

}  // namespace
