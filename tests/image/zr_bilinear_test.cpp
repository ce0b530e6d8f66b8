// tests/image/zr_bilinear_test.cpp: the bilinear sampler's cell rules at the image's edges, its
// blending and rounding, its refusal of non-finite and far points, narrow and empty images, and
// the Gaussian integral behind the blur.
#include "image/zr_bilinear.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "image/zr_image.h"

namespace {

// Red of pixel (r, c) is 10 * r + c, green 100, blue 200 - c, alpha 255.
ZR_Image Ramp(int rows, int cols) {
  ZR_Image image(rows, cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c)
      image[r][c] = ZR_Colour{uint8_t(10 * r + c), 100, uint8_t(200 - c), 255};
  return image;
}

bool Same(const ZR_Colour& a, const ZR_Colour& b) {
  return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

TEST(ZrBilinear, EdgeRulesOnAZeroBasedImage) {
  const ZR_Image image = Ramp(3, 4);
  ZR_Bilinear<ZR_Colour> s(image);
  const ZR_Colour grey{0x80, 0x80, 0x80, 0xff};
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    float x, y;
    bool outside;
    int red;  // when inside
  } cases[] = {
      {2.5f, 1.5f, false, 12},   // a pixel centre gives the pixel
      {0.5f, 0.5f, false, 0},    // the first
      {3.5f, 2.5f, false, 23},   // the last
      {-1.4f, 1.5f, false, 10},  // before the first centre: the first column unblended
      {-1.5f, 1.5f, true, 0},    // t = -1: outside
      {4.4f, 1.5f, false, 13},   // cols + 0.4: the last column
      {4.5f, 1.5f, true, 0},     // cols + 0.5: outside
      {1.5f, -1.4f, false, 1},  {1.5f, -1.5f, true, 0}, {1.5f, 3.4f, false, 21},
      {1.5f, 3.5f, true, 0},    {nan, 1.5f, true, 0},   {1.5f, nan, true, 0},
      {inf, 1.5f, true, 0},     {-inf, 1.5f, true, 0},  {3e9f, 1.5f, true, 0},
      {-3e38f, 1.5f, true, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.outside ? 1 : 0, s.SetPoint(c.x, c.y)) << c.x << "," << c.y;
    const ZR_Colour got = s.Sample(ZR_Vector2D(c.x, c.y));
    if (c.outside)
      EXPECT_TRUE(Same(grey, got)) << c.x << "," << c.y;
    else
      EXPECT_EQ(c.red, got.r) << c.x << "," << c.y;
  }
}

TEST(ZrBilinear, BlendsInFloatAndRoundsHalfAwayFromZero) {
  ZR_Image image = Ramp(2, 2);
  image[0][0] = ZR_Colour{10, 0, 255, 0};
  image[0][1] = ZR_Colour{11, 1, 254, 255};
  ZR_Bilinear<ZR_Colour> s(image);
  const ZR_Colour half = s.Sample(ZR_Vector2D(1.0f, 0.5f));  // halfway along row 0
  EXPECT_EQ(11, half.r);                                     // 10.5
  EXPECT_EQ(1, half.g);                                      // 0.5
  EXPECT_EQ(255, half.b);                                    // 254.5
  EXPECT_EQ(128, half.a);                                    // 127.5
  const ZR_Colour quarter = s.Sample(ZR_Vector2D(0.75f, 0.5f));
  EXPECT_EQ(10, quarter.r);  // 10.25
  EXPECT_EQ(64, quarter.a);  // 63.75
  EXPECT_FLOAT_EQ(0.25f, s.m_wx);
  EXPECT_EQ(0, s.m_c0);
  EXPECT_EQ(1, s.m_c1);
}

TEST(ZrBilinear, OutsideColourIsTheUsers) {
  const ZR_Image image = Ramp(2, 2);
  ZR_Bilinear<ZR_Colour> s(image);
  s.m_outside = ZR_Colour{1, 2, 3, 4};
  EXPECT_TRUE(Same(ZR_Colour{1, 2, 3, 4}, s.Sample(ZR_Vector2D(-9, 0))));
}

// The cell rules name a second row or column; over one row or column it must stay inside (the
// pixel blocks are exact, so AddressSanitizer sees any read past them).
TEST(ZrBilinear, NarrowImagesAreReadOnlyInside) {
  for (auto size : {std::pair<int, int>{1, 5}, {5, 1}, {1, 1}}) {
    const ZR_Image image = Ramp(size.first, size.second);
    ZR_Bilinear<ZR_Colour> s(image);
    for (float x = -1.25f; x < float(size.second) + 0.5f; x += 0.25f)
      for (float y = -1.25f; y < float(size.first) + 0.5f; y += 0.25f) {
        ASSERT_EQ(0, s.SetPoint(x, y)) << x << "," << y;
        EXPECT_TRUE(s.m_c0 >= 0 && s.m_c1 < size.second && s.m_r0 >= 0 && s.m_r1 < size.first);
        const ZR_Colour c = s.Sample(ZR_Vector2D(x, y));
        EXPECT_EQ(100, c.g);
      }
  }
}

TEST(ZrBilinear, EmptyImageIsAllOutside) {
  const ZR_Image empty;
  ZR_Bilinear<ZR_Colour> s(empty);
  EXPECT_EQ(1, s.SetPoint(0, 0));
  EXPECT_EQ(1, s.SetPoint(-0.5f, 0.25f));
}

TEST(ZrBilinear, NonZeroBasedBoundsShiftTheCells) {
  ZR_Image image;
  image.Resize(-2, 1, 3, 5);
  for (int r = -2; r <= 1; ++r)
    for (int c = 3; c <= 5; ++c) image[r][c] = ZR_Colour{uint8_t(10 * (r + 2) + c), 0, 0, 255};
  ZR_Bilinear<ZR_Colour> s(image);
  // Pixel (r, c) is still centred at (c + 0.5, r + 0.5): (4.5, -0.5) is pixel (-1, 4).
  EXPECT_EQ(14, s.Sample(ZR_Vector2D(4.5f, -0.5f)).r);
  EXPECT_EQ(1, s.SetPoint(1.5f, 0));  // colLo - 1.5
  EXPECT_EQ(0, s.SetPoint(1.6f, 0));
}

TEST(IntegrateGaussian, MatchesTheErrorFunction) {
  const struct {
    float sigma, a, b;
  } cases[] = {{1, -0.5f, 0.5f}, {0.25f, -0.5f, 0.5f}, {2, 0.5f, 1.5f}, {0.15625f, 0.5f, 1.5f}};
  for (const auto& c : cases) {
    const double k = std::sqrt(2.0) * c.sigma;
    const double exact = std::sqrt(M_PI / 2) * c.sigma * (std::erf(c.b / k) - std::erf(c.a / k));
    EXPECT_NEAR(exact, IntegrateGaussian(c.sigma, c.a, c.b), 1e-6 * exact)
        << c.sigma << " " << c.a << " " << c.b;
  }
  EXPECT_NEAR(0.9598504, IntegrateGaussian(1, -0.5f, 0.5f), 1e-6);  // sqrt(2 pi) * 0.382925
}

TEST(IntegrateGaussian, EmptyIntervalGivesZero) {
  EXPECT_EQ(0.0f, IntegrateGaussian(1, 0.5f, 0.5f));
  EXPECT_EQ(0.0f, IntegrateGaussian(3, -2, -2));
}

}  // namespace
