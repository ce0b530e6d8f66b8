// tests/image/zr_image_resample_test.cpp: ZR_Image::Smooth and ZR_Image::ResizeImage: the blur's
// kernel and edges, the shrink factor and its blur parameters, what a resize resets, and the
// sizes it refuses.
#include "image/zr_image.h"

#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "image/zr_bilinear.h"
#include "image/zr_image_exception.h"

namespace {

ZR_Image Filled(int rows, int cols, ZR_Colour colour) {
  ZR_Image image(rows, cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) image[r][c] = colour;
  return image;
}

// A deterministic texture: every channel differs from its neighbours.
ZR_Image Texture(int rows, int cols) {
  ZR_Image image(rows, cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c)
      image[r][c] = ZR_Colour{uint8_t((r * 37 + c * 11) % 256), uint8_t((r * c) % 256),
                              uint8_t((r ^ c) * 5 % 256), uint8_t(c % 256)};
  return image;
}

bool SamePixels(const ZR_Image& a, const ZR_Image& b) {
  if (a.m_rows != b.m_rows || a.m_cols != b.m_cols) return false;
  for (int r = 0; r < a.m_rows; ++r)
    for (int c = 0; c < a.m_cols; ++c) {
      const ZR_Colour &p = a[r][c], &q = b[r][c];
      if (p.r != q.r || p.g != q.g || p.b != q.b || p.a != q.a) return false;
    }
  return true;
}

std::string ResizeError(ZR_Image image, unsigned rows, unsigned cols) {
  try {
    image.ResizeImage(rows, cols, true);
  } catch (const ZR_ImageException& e) {
    return e.m_message.m_text;
  }
  return "no exception";
}

TEST(ZrImageSmooth, RadiusZeroScalesByTheCentreWeightAndMakesAlphaOpaque) {
  const float sigma = 0.25f;
  const float w0 = IntegrateGaussian(sigma, -0.5f, 0.5f) * (1 / (sigma * 2.5066283f));
  EXPECT_LT(w0, 1.0f);
  ZR_Image image = Filled(3, 4, ZR_Colour{200, 7, 255, 0});
  image.Smooth(sigma, 0);
  // Each of the two passes multiplies by w0 and rounds.
  auto twice = [&](float v) { return std::lround(float(std::lround(v * w0)) * w0); };
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) {
      EXPECT_EQ(twice(200), image[r][c].r);
      EXPECT_EQ(twice(7), image[r][c].g);
      EXPECT_EQ(twice(255), image[r][c].b);
      EXPECT_EQ(255, image[r][c].a);
    }
}

TEST(ZrImageSmooth, BrightPixelSpreadsSymmetrically) {
  ZR_Image image = Filled(9, 9, ZR_Colour{0, 0, 0, 255});
  image[4][4] = ZR_Colour{255, 255, 255, 255};
  image.Smooth(1.0f, 2);
  EXPECT_LT(image[4][4].r, 255);
  EXPECT_GT(image[4][5].r, 0);
  EXPECT_GT(image[6][6].r, 0);
  EXPECT_EQ(0, image[4][7].r);  // beyond the radius
  EXPECT_EQ(image[4][3].r, image[4][5].r);
  EXPECT_EQ(image[3][4].r, image[5][4].r);
  EXPECT_EQ(image[3][5].r, image[5][3].r);
  EXPECT_GT(image[4][5].r, image[4][6].r);
}

// A neighbour beyond the edge is the centre pixel, so a flat image stays flat up to the kernel's
// missing tail, edges included.
TEST(ZrImageSmooth, EdgesRepeatTheCentrePixel) {
  ZR_Image image = Filled(5, 6, ZR_Colour{100, 100, 100, 255});
  image.Smooth(0.8f, 3);
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 6; ++c) EXPECT_EQ(image[0][0].r, image[r][c].r) << r << "," << c;
  EXPECT_GE(image[0][0].r, 99);
}

TEST(ZrImageSmooth, NonZeroBasedBoundsStayInside) {
  ZR_Image image;
  image.Resize(-3, 2, 4, 8);
  for (int r = -3; r <= 2; ++r)
    for (int c = 4; c <= 8; ++c) image[r][c] = ZR_Colour{0, 0, 0, 255};
  image[-3][4] = ZR_Colour{255, 0, 0, 255};
  image.Smooth(1.0f, 2);
  EXPECT_GT(image[-2][5].r, 0);
  EXPECT_EQ(-3, image.m_row_lo);
  EXPECT_EQ(4, image.m_col_lo);
}

TEST(ZrImageSmooth, InvalidParametersChangeNothing) {
  const ZR_Image original = Texture(4, 5);
  for (auto p : {std::pair<float, int>{0, 1},
                 {-1, 1},
                 {std::nanf(""), 1},
                 {INFINITY, 1},
                 {1, -1},
                 {1, 1 << 20}}) {
    ZR_Image image = original;
    image.Smooth(p.first, p.second);
    EXPECT_TRUE(SamePixels(original, image)) << p.first << " " << p.second;
  }
  ZR_Image empty;
  empty.Smooth(1, 1);
  EXPECT_EQ(0u, empty.m_count);
}

// A 10 x 12 texture with quality 37, the text "mine" and the given background.
ZR_Image Decorated(ZR_Colour* background) {
  ZR_Image image = Texture(10, 12);
  image.m_quality = 37;
  image.m_background = background;
  image.m_text = "mine";
  return image;
}

TEST(ZrImageResize, SameSizeChangesNothingAtAll) {
  ZR_Colour background{1, 2, 3, 4};
  ZR_Image image = Decorated(&background);
  const ZR_Image before = image;
  image.ResizeImage(10, 12, true);
  EXPECT_TRUE(SamePixels(before, image));
  EXPECT_EQ(37, image.m_quality);
  EXPECT_EQ(&background, image.m_background);
  EXPECT_TRUE(image.m_text == "mine");
}

TEST(ZrImageResize, ResetsQualityTextAndBackground) {
  ZR_Colour background{1, 2, 3, 4};
  ZR_Image image = Decorated(&background);
  image.ResizeImage(5, 24, false);
  EXPECT_EQ(5, image.m_rows);
  EXPECT_EQ(24, image.m_cols);
  EXPECT_EQ(0, image.m_row_lo);
  EXPECT_EQ(100, image.m_quality);
  EXPECT_EQ(nullptr, image.m_background);
  EXPECT_STREQ(kZrImageNotice, image.m_text.m_text);
}

// The resize blurs with sigma f / 8 and radius round(f / 2), f the mean shrink factor, and then
// samples at the new pixel centres.
TEST(ZrImageResize, ShrinkingBlursWithTheMeanFactor) {
  const struct {
    int source_rows, source_cols;
    unsigned rows, cols;
    float sigma;
    int radius;
  } cases[] = {
      {100, 100, 50, 50, 0.25f, 1},      // f = 2
      {100, 100, 50, 200, 0.15625f, 1},  // f = (2 + 0.5) / 2 = 1.25
      {100, 75, 20, 25, 0.5f, 2},        // f = (5 + 3) / 2 = 4
  };
  for (const auto& c : cases) {
    const ZR_Image source = Texture(c.source_rows, c.source_cols);
    ZR_Image resized = source;
    resized.ResizeImage(c.rows, c.cols, true);
    ZR_Image expected = source;
    expected.Smooth(c.sigma, c.radius);
    expected.ResizeImage(c.rows, c.cols, false);
    EXPECT_TRUE(SamePixels(expected, resized)) << c.rows << "x" << c.cols;
    ZR_Image sharp = source;
    sharp.ResizeImage(c.rows, c.cols, false);
    EXPECT_FALSE(SamePixels(sharp, resized)) << c.rows << "x" << c.cols;
  }
}

TEST(ZrImageResize, SamplesTheNewPixelCentres) {
  // Halving: new pixel (i, j) sits on the corner of source pixels 2i..2i+1, 2j..2j+1.
  ZR_Image image(4, 4);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) image[r][c] = ZR_Colour{uint8_t(40 * c), uint8_t(40 * r), 0, 255};
  image.ResizeImage(2, 2, false);
  EXPECT_EQ(20, image[0][0].r);
  EXPECT_EQ(100, image[0][1].r);
  EXPECT_EQ(100, image[1][0].g);
  // Doubling a 2 x 2 image never blurs, smooth flag or not.
  ZR_Image small = Texture(2, 2), flagged = small;
  small.ResizeImage(4, 4, false);
  flagged.ResizeImage(4, 4, true);
  EXPECT_TRUE(SamePixels(small, flagged));
}

TEST(ZrImageResize, RefusesSmallSourcesAndEmptyOrHugeTargets) {
  const std::string too_small = "ZR_Image::ResizeImage() Error! : image too small for resizing!\n";
  EXPECT_EQ(too_small, ResizeError(Texture(1, 100), 50, 50));
  EXPECT_EQ(too_small, ResizeError(Texture(100, 1), 50, 50));
  EXPECT_EQ(too_small, ResizeError(ZR_Image(), 5, 5));
  EXPECT_EQ("ZR_Image::ResizeImage() Error! : cannot resize to 0 x 50 (rows x columns)\n",
            ResizeError(Texture(10, 10), 0, 50));
  EXPECT_EQ("ZR_Image::ResizeImage() Error! : cannot resize to 50 x 0 (rows x columns)\n",
            ResizeError(Texture(10, 10), 50, 0));
  EXPECT_NE("no exception", ResizeError(Texture(10, 10), 70000, 10));
  EXPECT_NE("no exception", ResizeError(Texture(10, 10), 40000, 40000));
  // A refused resize leaves the image as it was.
  ZR_Image image = Texture(10, 10);
  const ZR_Image before = image;
  EXPECT_THROW(image.ResizeImage(0, 3, true), ZR_ImageException);
  EXPECT_TRUE(SamePixels(before, image));
}

}  // namespace

// Each pixel of each pass computed on its own: the taps in t order, the centre pixel standing in
// beyond the bounds, then rounded. The blur must give exactly these bytes for every radius, also
// radii wider than the image.
TEST(ZrImageSmooth, MatchesAPerPixelReferenceExactly) {
  const struct {
    int rows, cols, radius;
    float sigma;
  } cases[] = {{7, 9, 0, 0.7f},  {7, 9, 2, 1.0f},  {5, 3, 4, 1.5f},
               {1, 12, 3, 0.9f}, {13, 1, 3, 0.9f}, {20, 31, 9, 3.2f}};
  for (const auto& c : cases) {
    const ZR_Image source = Texture(c.rows, c.cols);
    std::vector<float> w(size_t(c.radius) + 1);
    const float scale = 1 / (c.sigma * 2.5066283f);
    for (int i = 0; i <= c.radius; ++i)
      w[size_t(i)] = IntegrateGaussian(c.sigma, float(i) - 0.5f, float(i) + 0.5f) * scale;
    const auto pass = [&](const ZR_Image& in, bool horizontal) {
      ZR_Image out(c.rows, c.cols);
      for (int r = 0; r < c.rows; ++r)
        for (int col = 0; col < c.cols; ++col) {
          float s[3] = {0, 0, 0};
          for (int t = -c.radius; t <= c.radius; ++t) {
            int rr = r, cc = col;
            (horizontal ? cc : rr) += t;
            if (rr < 0 || rr >= c.rows || cc < 0 || cc >= c.cols) rr = r, cc = col;
            const ZR_Colour& p = in[rr][cc];
            const float weight = w[size_t(t < 0 ? -t : t)];
            s[0] += weight * float(p.r);
            s[1] += weight * float(p.g);
            s[2] += weight * float(p.b);
          }
          out[r][col] = ZR_Colour{ZR_Bilinear<ZR_Colour>::RoundToByte(s[0]),
                                  ZR_Bilinear<ZR_Colour>::RoundToByte(s[1]),
                                  ZR_Bilinear<ZR_Colour>::RoundToByte(s[2]), 255};
        }
      return out;
    };
    const ZR_Image expected = pass(pass(source, true), false);
    ZR_Image smoothed = source;
    smoothed.Smooth(c.sigma, c.radius);
    EXPECT_TRUE(SamePixels(expected, smoothed))
        << c.rows << " x " << c.cols << " radius " << c.radius;
  }
}

// Each resized pixel computed on its own through ZR_Bilinear::Sample at the new pixel centre,
// growing and shrinking (without the blur), also over bounds that do not start at 0, where some
// centres fall outside and take the background.
TEST(ZrImageResize, MatchesPerPixelSamplesExactly) {
  ZR_Colour background{9, 8, 7, 6};
  const struct {
    int rows, cols, row_lo, col_lo;
    unsigned new_rows, new_cols;
  } cases[] = {{40, 30, 0, 0, 17, 23}, {40, 30, 0, 0, 97, 61}, {2, 2, 0, 0, 5, 3},
               {150, 150, 0, 0, 96, 72}, {12, 10, 4, 5, 7, 9}};
  for (const auto& c : cases) {
    ZR_Image source;
    source.Resize(c.row_lo, c.row_lo + c.rows - 1, c.col_lo, c.col_lo + c.cols - 1);
    const ZR_Image texture = Texture(c.rows, c.cols);
    for (int r = 0; r < c.rows; ++r)
      for (int col = 0; col < c.cols; ++col)
        source[r + c.row_lo][col + c.col_lo] = texture[r][col];
    source.m_background = &background;
    ZR_Bilinear<ZR_Colour> sampler(source);
    sampler.m_outside = background;
    ZR_Image expected(int(c.new_rows), int(c.new_cols));
    for (int i = 0; i < int(c.new_rows); ++i)
      for (int j = 0; j < int(c.new_cols); ++j)
        expected[i][j] = sampler.Sample(
            ZR_Vector2D(((float(j) + 0.5f) / float(c.new_cols)) * float(c.cols),
                        ((float(i) + 0.5f) / float(c.new_rows)) * float(c.rows)));
    ZR_Image resized = source;
    resized.ResizeImage(c.new_rows, c.new_cols, false);
    EXPECT_TRUE(SamePixels(expected, resized)) << c.new_rows << " x " << c.new_cols;
  }
}
