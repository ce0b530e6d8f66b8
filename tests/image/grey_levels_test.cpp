// tests/image/grey_levels_test.cpp: StretchGreyRange, SetGrey and SetFromFloats, non-finite
// values and ranges too wide for single precision included.
#include "image/zr_image.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

ZR_Array2D<unsigned char> Bytes1D(const std::vector<int>& v) {
  ZR_Array2D<unsigned char> a(1, static_cast<int32_t>(v.size()));
  for (size_t i = 0; i < v.size(); ++i) a[0][i] = static_cast<unsigned char>(v[i]);
  return a;
}

TEST(StretchGreyRange, MapsMinimumToZeroAndMaximumTo255) {
  const struct {
    std::vector<int> in, out;
  } cases[] = {
      {{10, 15, 20}, {0, 128, 255}},
      {{7, 7, 7}, {0, 0, 0}},
      {{0, 1, 2, 253, 254, 255}, {0, 1, 2, 253, 254, 255}},
      {{100, 101}, {0, 255}},
      {{3, 4, 5, 6}, {0, 85, 170, 255}},
  };
  for (const auto& c : cases) {
    ZR_Array2D<unsigned char> a = Bytes1D(c.in);
    StretchGreyRange(a);
    std::vector<int> got;
    for (size_t i = 0; i < c.in.size(); ++i) got.push_back(a[0][i]);
    EXPECT_EQ(c.out, got) << testing::PrintToString(c.in);
  }
}

TEST(StretchGreyRange, EveryValueMatchesTheSinglePrecisionFormula) {
  ZR_Array2D<unsigned char> a(16, 16);
  for (int i = 0; i < 256; ++i) a[i / 16][i % 16] = static_cast<unsigned char>(i);
  a[0][0] = 3;
  a[15][15] = 250;
  ZR_Array2D<unsigned char> b = a;
  StretchGreyRange(b);
  for (int i = 0; i < 256; ++i) {
    int v = a[i / 16][i % 16];
    float x = static_cast<float>(v - 1) / static_cast<float>(254 - 1) * 255.0f;
    int expected = std::min(255, static_cast<int>(std::round(x)));
    ASSERT_EQ(expected, b[i / 16][i % 16]) << v;
  }
}

TEST(SetGrey, KeepsTheBoundsAndMakesOpaqueGrey) {
  ZR_Array2D<unsigned char> g;
  g.Resize(2, 3, -1, 0);
  g[2][-1] = 9;
  g[3][0] = 200;
  ZR_Image image;
  image.SetGrey(g);
  EXPECT_EQ(2, image.m_row_lo);
  EXPECT_EQ(-1, image.m_col_lo);
  EXPECT_EQ(9, image[2][-1].g);
  EXPECT_EQ(200, image[3][0].b);
  EXPECT_EQ(255, image[3][0].a);
}

TEST(SetFromFloats, StretchesFiniteValuesAndBlacksOutTheRest) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    const char* what;
    std::vector<float> in;
    std::vector<int> out;
  } cases[] = {
      {"plain", {0.f, 1.f, 2.f}, {0, 128, 255}},
      {"all equal", {4.f, 4.f}, {0, 0}},
      {"non-finite", {nan, -1.f, inf, 1.f, -inf}, {0, 0, 0, 255, 0}},
      {"wider than single precision", {-3e38f, 0.f, 3e38f}, {0, 128, 255}},
      {"nothing finite", {nan, inf}, {0, 0}},
  };
  for (const auto& c : cases) {
    ZR_Array2D<float> m(1, static_cast<int32_t>(c.in.size()));
    for (size_t i = 0; i < c.in.size(); ++i) m[0][i] = c.in[i];
    ZR_Image image;
    image.SetFromFloats(m);
    std::vector<int> got;
    for (size_t i = 0; i < c.in.size(); ++i) {
      got.push_back(image[0][i].r);
      EXPECT_EQ(255, image[0][i].a);
    }
    EXPECT_EQ(c.out, got) << c.what;
  }
}

}  // namespace
