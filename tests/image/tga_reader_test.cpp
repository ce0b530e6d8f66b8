// tests/image/tga_reader_test.cpp: uncompressed true-colour Targa, its skipped fields, its origin
// flag, and the refused and short files.
#include <gtest/gtest.h>

#include "tests/image/test_support.h"

namespace {

using namespace image_files;

TEST(LoadTga, ReadsTwentyFourAndThirtyTwoBitsWithSkippedFields) {
  ZR_TempFolder dir;
  const Picture pic = MakeCornerPicture(2, 2);
  const Picture translucent = MakeCornerPicture(3, 2, true);
  auto with = [](auto change) {
    TgaOptions o;
    change(o);
    return o;
  };
  const struct {
    const char* what;
    const Picture* pic;
    TgaOptions options;
  } cases[] = {
      {"2 x 2, 24 bits", &pic, {}},
      {"32 bits keep alpha", &translucent, with([](TgaOptions& o) { o.bits = 32; })},
      {"ID field", &pic, with([](TgaOptions& o) { o.id_length = 11; })},
      {"colour map of 15-bit entries", &pic,
       with([](TgaOptions& o) { o.map_length = 5, o.map_bits = 15; })},
      {"colour map of 24-bit entries", &pic,
       with([](TgaOptions& o) { o.map_length = 3, o.map_bits = 24; })},
      {"top-left origin", &translucent, with([](TgaOptions& o) { o.bits = 32, o.top_down = true; })},
  };
  for (const auto& c : cases) {
    LoadResult r = LoadBytes(dir, "a.tga", MakeTga(*c.pic, c.options));
    ASSERT_TRUE(r.ok) << c.what;
    EXPECT_TRUE(SamePixels(*c.pic, r.picture)) << c.what;
  }
}

TEST(LoadTga, RefusesOtherTypesDepthsSizesAndShortFiles) {
  ZR_TempFolder dir;
  const Picture pic = MakeCornerPicture(3, 2);
  auto patched = [&](size_t at, uint8_t v) {
    Bytes b = MakeTga(pic);
    b[at] = v;
    return b;
  };
  const Bytes good = MakeTga(pic);
  const struct {
    const char* what;
    Bytes bytes;
  } cases[] = {
      {"run-length (type 10)", patched(2, 10)},
      {"16 bits", patched(16, 16)},
      {"width 0", [&] { Bytes b = patched(12, 0); b[13] = 0; return b; }()},
      {"negative height", patched(15, 0x80)},
      {"one pixel short", Bytes(good.begin(), good.end() - 1)},
      {"header only", Bytes(good.begin(), good.begin() + 18)},
      {"header cut", Bytes(good.begin(), good.begin() + 10)},
      {"huge map", [&] { Bytes b = patched(1, 1); b[5] = b[6] = 0xff; b[7] = 32; return b; }()},
  };
  for (const auto& c : cases) EXPECT_FALSE(LoadBytes(dir, "a.tga", c.bytes).ok) << c.what;
}

}  // namespace
