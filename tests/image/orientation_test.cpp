// tests/image/orientation_test.cpp: one picture with distinct corners written in every format
// loads to the same pixels, its top row as image row rows - 1 and every channel in R, G, B, A
// order. This guards the invariants every later stage depends on.
#include "image/zr_image.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/image/image_file_writers.h"
#include "tests/image/jpeg/libjpeg_fixture.h"

namespace {

using namespace image_files;

Bytes JpegOf(const Picture& p, int comps = 3) {
  jpeg_fixture::Bytes raw;
  for (const Rgba& c : p.px) {
    if (comps == 1) raw.push_back(c.r);
    else raw.insert(raw.end(), {c.r, c.g, c.b});
  }
  jpeg_fixture::EncodeOptions o;
  o.comps = comps;
  o.h0 = o.v0 = 1;  // 4:4:4
  o.quality = 100;
  return jpeg_fixture::EncodeJpeg(raw, p.width, p.height, o);
}

// Any container bytes, a first JPEG that is not the picture, then the picture's JPEG.
Bytes BifOf(const Picture& p) {
  Bytes b = {'B', 'I', 'F', 0, 1, 2};
  Bytes decoy = JpegOf(MakeCornerPicture(8, 8));
  b.insert(b.end(), decoy.begin(), decoy.end());
  b.insert(b.end(), {0, 0, 0});
  Bytes picture = JpegOf(p);
  b.insert(b.end(), picture.begin(), picture.end());
  return b;
}

int MaxDifference(const Picture& a, const Picture& b) {
  int worst = 0;
  for (size_t i = 0; i < a.px.size(); ++i) {
    const uint8_t* x = &a.px[i].r;
    const uint8_t* y = &b.px[i].r;
    for (int ch = 0; ch < 4; ++ch) worst = std::max(worst, std::abs(int(x[ch]) - int(y[ch])));
  }
  return worst;
}

TEST(ImageOrientation, EveryFormatLoadsTheSamePixelsTopRowLast) {
  ZR_TempFolder dir;
  const Picture pic = MakeCornerPicture(5, 3);
  const Picture translucent = MakeCornerPicture(5, 3, true);
  const Picture grey = GreyOf(pic);
  ASSERT_TRUE(WriteTiff((dir / "tiff.tif"), pic));
  BmpOptions bmp8, bmp32, bmp32_top;
  bmp8.bits = 8;
  bmp32.bits = 32;
  bmp32_top.bits = 32;
  bmp32_top.top_down = true;
  TgaOptions tga32, tga_top;
  tga32.bits = 32;
  tga_top.top_down = true;
  PngOptions rgba;
  rgba.colour_type = PNG_COLOR_TYPE_RGBA;
  const struct {
    const char* name;
    Bytes bytes;
    const Picture* expected;
    int tolerance;
  } cases[] = {
      {"ppm.ppm", MakePpm(pic), &pic, 0},
      {"pgm.pgm", MakePgm(pic), &grey, 0},
      {"plain.pgm", [&] { auto s = MakePlainPgm(pic); return Bytes(s.begin(), s.end()); }(), &grey, 0},
      {"bmp8.bmp", MakeBmp(pic, bmp8), &pic, 0},
      {"bmp24.bmp", MakeBmp(pic), &pic, 0},
      {"bmp32.bmp", MakeBmp(pic, bmp32), &pic, 0},
      {"bmp32top.bmp", MakeBmp(pic, bmp32_top), &pic, 0},
      {"tga24.tga", MakeTga(pic), &pic, 0},
      {"tga32.tga", MakeTga(translucent, tga32), &translucent, 0},
      {"tgatop.tga", MakeTga(pic, tga_top), &pic, 0},
      {"gif.gif", MakeGif(pic), &pic, 0},
      {"png.png", MakePng(pic), &pic, 0},
      {"rgba.png", MakePng(translucent, rgba), &translucent, 0},
      {"tiff.tif", ReadFile((dir / "tiff.tif")), &pic, 0},
      {"jpeg.jpg", JpegOf(pic), &pic, 12},
      {"grey.jpeg", JpegOf(grey, 1), &grey, 6},
      {"hex.hex", [&] { auto s = MakeHex(pic); return Bytes(s.begin(), s.end()); }(), &grey, 0},
      {"force.force", MakeForce(pic), &grey, 0},
      {"bif.bif", BifOf(pic), &pic, 12},
  };
  for (const auto& c : cases) {
    WriteFile((dir / c.name), c.bytes);
    ZR_Image image;
    ASSERT_TRUE(image.Load((dir / c.name).c_str())) << c.name;
    ASSERT_EQ(3, image.m_rows) << c.name;
    ASSERT_EQ(5, image.m_cols) << c.name;
    EXPECT_EQ(0, image.m_row_lo) << c.name;
    EXPECT_EQ(0, image.m_col_lo) << c.name;
    const Picture got = FromImage(image);
    EXPECT_LE(MaxDifference(*c.expected, got), c.tolerance) << c.name;
    // The picture's top-left corner is image row rows - 1, column 0, in R, G, B order.
    const Rgba& top_left = c.expected->at(0, 0);
    EXPECT_NEAR(top_left.r, image[2][0].r, c.tolerance) << c.name;
    EXPECT_NEAR(top_left.g, image[2][0].g, c.tolerance) << c.name;
    EXPECT_NEAR(top_left.b, image[2][0].b, c.tolerance) << c.name;
    const Rgba& bottom_right = c.expected->at(4, 2);
    EXPECT_NEAR(bottom_right.r, image[0][4].r, c.tolerance) << c.name;
  }
}

}  // namespace
