// tests/image/png_reader_test.cpp: PNG through libpng — palettes, alpha, 16-bit samples,
// interlacing, refused grey images, and broken or oversized files failing through the jump.
#include <gtest/gtest.h>

#include "tests/image/test_support.h"

namespace {

using namespace image_files;

uint32_t Crc32(const uint8_t* p, size_t n) {
  uint32_t crc = 0xffffffffu;
  for (size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// The PNG with another size in its IHDR, its CRC made to match.
Bytes WithSize(Bytes b, uint32_t w, uint32_t h) {
  for (int i = 0; i < 4; ++i) b[16 + i] = static_cast<uint8_t>(w >> (24 - 8 * i));
  for (int i = 0; i < 4; ++i) b[20 + i] = static_cast<uint8_t>(h >> (24 - 8 * i));
  const uint32_t crc = Crc32(&b[12], 17);
  for (int i = 0; i < 4; ++i) b[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  return b;
}

TEST(LoadPng, ExpandsPalettesAndKeepsAlpha) {
  ZR_TempFolder dir;
  const Picture pic = MakeCornerPicture(7, 5);
  const Picture translucent = MakeCornerPicture(7, 5, true);
  auto with = [](int type, auto change) {
    PngOptions o;
    o.colour_type = type;
    change(o);
    return o;
  };
  Picture palette_alpha = pic;
  Indexed ix = ToIndexed(pic);
  for (size_t i = 0; i < pic.px.size(); ++i) palette_alpha.px[i].a = 255 - ix.index[i];
  const struct {
    const char* what;
    const Picture* pic;
    const Picture* expected;
    PngOptions options;
  } cases[] = {
      {"RGB", &pic, &pic, with(PNG_COLOR_TYPE_RGB, [](PngOptions&) {})},
      {"RGBA", &translucent, &translucent, with(PNG_COLOR_TYPE_RGBA, [](PngOptions&) {})},
      {"palette", &pic, &pic, with(PNG_COLOR_TYPE_PALETTE, [](PngOptions&) {})},
      {"palette with tRNS", &pic, &palette_alpha,
       with(PNG_COLOR_TYPE_PALETTE, [](PngOptions& o) { o.palette_alpha = true; })},
      {"16-bit RGB", &pic, &pic, with(PNG_COLOR_TYPE_RGB, [](PngOptions& o) { o.bit_depth = 16; })},
      {"16-bit RGBA", &translucent, &translucent,
       with(PNG_COLOR_TYPE_RGBA, [](PngOptions& o) { o.bit_depth = 16; })},
      {"interlaced", &pic, &pic, with(PNG_COLOR_TYPE_RGB, [](PngOptions& o) { o.interlaced = true; })},
  };
  for (const auto& c : cases) {
    LoadResult r = LoadBytes(dir, "a.png", MakePng(*c.pic, c.options));
    ASSERT_TRUE(r.ok) << c.what << ": " << r.err;
    EXPECT_TRUE(SamePixels(*c.expected, r.picture)) << c.what;
  }
}

TEST(LoadPng, GreyAndBrokenFilesFail) {
  ZR_TempFolder dir;
  const Picture pic = MakeCornerPicture(7, 5);
  PngOptions grey, bilevel, grey_alpha;
  grey.colour_type = bilevel.colour_type = PNG_COLOR_TYPE_GRAY;
  bilevel.bit_depth = 1;
  grey_alpha.colour_type = PNG_COLOR_TYPE_GRAY_ALPHA;
  const Bytes good = MakePng(pic);
  Bytes bad_crc = good;
  bad_crc[40] ^= 0x55;  // inside IDAT
  const struct {
    const char* what;
    Bytes bytes;
  } cases[] = {
      {"8-bit grey", MakePng(pic, grey)},
      {"1-bit grey", MakePng(pic, bilevel)},
      {"grey with alpha", MakePng(pic, grey_alpha)},
      {"corrupt data", bad_crc},
      {"cut short", Bytes(good.begin(), good.begin() + good.size() / 2)},
      {"signature only", Bytes(good.begin(), good.begin() + 8)},
      {"not a PNG", {'n', 'o', 't', ' ', 'p', 'n', 'g', '!', 0, 0, 0, 0}},
      {"width 70000", WithSize(good, 70000, 5)},
  };
  for (const auto& c : cases) EXPECT_FALSE(LoadBytes(dir, "a.png", c.bytes).ok) << c.what;
}

TEST(LoadPng, RefusesSizesOverTheCapBeforeReadingRows) {
  ZR_TempFolder dir;
  const Bytes good = MakePng(MakeCornerPicture(7, 5));
  ASSERT_TRUE(LoadBytes(dir, "a.png", WithSize(good, 7, 5)).ok);  // the CRC helper is right
  LoadResult r = LoadBytes(dir, "a.png", WithSize(good, 60000, 60000));
  EXPECT_FALSE(r.ok);
  EXPECT_NE(std::string::npos, r.err.find("image size 60000 x 60000")) << r.err;
}

}  // namespace
