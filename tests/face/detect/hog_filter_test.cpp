// tests/face/detect/hog_filter_test.cpp: the HOG detector's separable filter against dlib's
// general one, bit for bit, over plane widths that end the eight-wide blocks at every remainder,
// planes smaller than the filter, filter lengths 1 to 10, and adding to an output or not.
#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "face/detect/internal/zr_dlib_types.h"

namespace {

dlib::array2d<float> RandomPlane(long rows, long cols, std::mt19937& rng) {
  std::uniform_real_distribution<float> value(-1.5f, 1.5f);
  dlib::array2d<float> plane(rows, cols);
  for (long r = 0; r < rows; ++r)
    for (long c = 0; c < cols; ++c) plane[r][c] = value(rng);
  return plane;
}

dlib::matrix<float, 0, 1> RandomFilter(long taps, std::mt19937& rng) {
  std::uniform_real_distribution<float> value(-0.7f, 0.7f);
  dlib::matrix<float, 0, 1> f(taps);
  for (long n = 0; n < taps; ++n) f(n) = value(rng);
  return f;
}

bool SameBits(const dlib::array2d<float>& a, const dlib::array2d<float>& b) {
  if (a.nr() != b.nr() || a.nc() != b.nc()) return false;
  for (long r = 0; r < a.nr(); ++r)
    if (std::memcmp(&a[r][0], &b[r][0], sizeof(float) * size_t(a.nc())) != 0) return false;
  return true;
}

TEST(HogFilter, EqualsDlibsFilterBitForBit) {
  std::mt19937 rng(5);
  const struct {
    long rows, cols, row_taps, col_taps;
  } cases[] = {{20, 22, 10, 10}, {17, 13, 10, 10}, {12, 12, 10, 10}, {10, 10, 10, 10},
               {6, 8, 10, 10},   {14, 30, 3, 7},   {9, 19, 1, 1},    {11, 16, 2, 5},
               {13, 21, 4, 9},   {25, 27, 6, 3},   {5, 5, 5, 5},     {8, 14, 8, 2}};
  for (const auto& c : cases) {
    const dlib::array2d<float> in = RandomPlane(c.rows, c.cols, rng);
    const dlib::matrix<float, 0, 1> row = RandomFilter(c.row_taps, rng);
    const dlib::matrix<float, 0, 1> col = RandomFilter(c.col_taps, rng);
    for (const bool add_to : {false, true}) {
      dlib::array2d<float> got = RandomPlane(c.rows, c.cols, rng), want, scratch;
      dlib::assign_image(want, got);
      const dlib::rectangle got_area =
          dlib::float_spatially_filter_image_separable(in, got, row, col, scratch, add_to);
      // An expression of the same filters is not the specialised type: dlib's own code runs.
      const dlib::rectangle want_area = dlib::float_spatially_filter_image_separable(
          in, want, dlib::trans(dlib::trans(row)), dlib::trans(dlib::trans(col)), scratch, add_to);
      EXPECT_EQ(want_area, got_area) << c.rows << " x " << c.cols;
      EXPECT_TRUE(SameBits(want, got)) << c.rows << " x " << c.cols << " taps " << c.row_taps
                                       << ", " << c.col_taps << (add_to ? " adding" : "");
    }
  }
}

}  // namespace
