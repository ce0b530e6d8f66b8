// tests/image/bmp_reader_test.cpp: uncompressed BMP variants, the refused ones with their
// messages, and files cut short.
#include <gtest/gtest.h>

#include "tests/image/test_support.h"

namespace {

using namespace image_files;

TEST(LoadBmp, ReadsEveryUncompressedLayout) {
  ZR_TempFolder dir;
  const Picture wide = MakeCornerPicture(5, 3);  // 24-bit rows of 15 bytes + 1 padding
  const Picture even = MakeCornerPicture(4, 3);  // 24-bit rows of 12 bytes, no padding
  auto with = [](int bits, auto change) {
    BmpOptions o;
    o.bits = bits;
    change(o);
    return o;
  };
  const struct {
    const char* what;
    const Picture* pic;
    BmpOptions options;
  } cases[] = {
      {"24-bit, width 5", &wide, with(24, [](BmpOptions&) {})},
      {"24-bit, width 4", &even, with(24, [](BmpOptions&) {})},
      {"8-bit, 256 palette entries", &wide, with(8, [](BmpOptions&) {})},
      {"8-bit, 16 palette entries", &wide, with(8, [](BmpOptions& o) { o.colours_used = 16; })},
      {"32-bit", &wide, with(32, [](BmpOptions&) {})},
      {"top-down rows", &wide, with(24, [](BmpOptions& o) { o.top_down = true; })},
      {"V5 header, bit fields", &wide,
       with(32, [](BmpOptions& o) { o.info_size = 124, o.bitfields = true; })},
      {"40-byte header, bit fields", &wide, with(32, [](BmpOptions& o) { o.bitfields = true; })},
      {"pixels after a gap", &wide, with(8, [](BmpOptions& o) { o.colours_used = 16, o.gap = 7; })},
  };
  for (const auto& c : cases) {
    LoadResult r = LoadBytes(dir, "a.bmp", MakeBmp(*c.pic, c.options));
    ASSERT_TRUE(r.ok) << c.what << ": " << r.err;
    EXPECT_TRUE(SamePixels(*c.pic, r.picture)) << c.what;
  }
}

TEST(LoadBmp, ThirtyTwoBitPixelIsBgrxAndOpaque) {
  ZR_TempFolder dir;
  Picture one;
  one.width = one.height = 1;
  one.px = {{30, 20, 10, 255}};
  BmpOptions o;
  o.bits = 32;
  Bytes b = MakeBmp(one, o);
  ASSERT_EQ(Bytes({10, 20, 30, 0x5A}), Bytes(b.end() - 4, b.end()));
  b[b.size() - 1] = 0;  // the stored bytes 10, 20, 30, 0
  LoadResult r = LoadBytes(dir, "a.bmp", b);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ((Rgba{30, 20, 10, 255}), r.picture.at(0, 0));
}

TEST(LoadBmp, RefusesOtherDepthsCompressionsAndMagic) {
  ZR_TempFolder dir;
  const Picture pic = MakeCornerPicture();
  const std::string unrecognised = "ZR_Image::LoadBMP(). Error! : " + (dir / "a.bmp") +
                                   " is an unrecognised BMP file";
  auto patched = [&](size_t at, uint32_t value, int width) {
    Bytes b = MakeBmp(pic);
    for (int i = 0; i < width; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
    return b;
  };
  BmpOptions fields;
  fields.bits = 32;
  fields.bitfields = true;
  Bytes other_masks = MakeBmp(pic, fields);
  Set32(other_masks, 54, 0x000000ff);  // red in the low byte: not the B, G, R layout
  const struct {
    const char* what;
    Bytes bytes;
  } cases[] = {
      {"16 bits", patched(28, 16, 2)},
      {"1 bit", patched(28, 1, 2)},
      {"run-length compression", patched(30, 1, 4)},
      {"unusual bit fields", other_masks},
      {"12-byte header", patched(14, 12, 4)},
  };
  for (const auto& c : cases) {
    LoadResult r = LoadBytes(dir, "a.bmp", c.bytes);
    EXPECT_FALSE(r.ok) << c.what;
    EXPECT_EQ(unrecognised, r.err) << c.what;
  }
  Bytes ba = MakeBmp(pic);
  ba[1] = 'A';
  LoadResult r = LoadBytes(dir, "a.bmp", ba);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(StartsWith(r.err, std::string("B|A|\0|\nZR_Image::LoadBMP() Error!", 33) +
                                    (dir / "a.bmp") + " is NOT a BMP File: "))
      << r.err;
}

TEST(LoadBmp, FileCutShortLoadsWithZeroBytesForTheMissingPixels) {
  ZR_TempFolder dir;
  const Picture pic = MakeCornerPicture(5, 4);
  Bytes b = MakeBmp(pic);
  b.resize(b.size() - 16 * 2 - 5);  // the top two rows lost, and 5 bytes of the next
  LoadResult r = LoadBytes(dir, "a.bmp", b);
  ASSERT_TRUE(r.ok);
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(pic.at(x, 3), r.picture.at(x, 3));
    EXPECT_EQ((Rgba{0, 0, 0, 255}), r.picture.at(x, 0));
  }
  EXPECT_EQ((Rgba{0, 0, 0, 255}), r.picture.at(4, 1));
}

TEST(LoadBmp, RefusesBadSizesAndOffsetsWithTheNumbers) {
  ZR_TempFolder dir;
  const Bytes good = MakeBmp(MakeCornerPicture());
  auto set = [&](size_t at, uint32_t v) {
    Bytes b = good;
    Set32(b, at, v);
    return b;
  };
  const struct {
    const char* what;
    Bytes bytes;
    const char* message;
  } cases[] = {
      {"width 0", set(18, 0), "image size 0 x 3"},
      {"width -5", set(18, static_cast<uint32_t>(-5)), "image size -5 x 3"},
      {"height 70000", set(22, 70000), "image size 5 x 70000"},
      {"65535 x 65535", [&] { Bytes b = set(18, 65535); Set32(b, 22, 65535); return b; }(),
       "image size 65535 x 65535"},
      {"offset inside the header", set(10, 20), "pixel data offset 20"},
      {"offset beyond the file", set(10, 100000), "pixel data offset 100000"},
      {"header cut short", Bytes(good.begin(), good.begin() + 30), "ends inside its 54-byte header"},
  };
  for (const auto& c : cases) {
    LoadResult r = LoadBytes(dir, "a.bmp", c.bytes);
    EXPECT_FALSE(r.ok) << c.what;
    EXPECT_NE(std::string::npos, r.err.find(c.message)) << c.what << ": " << r.err;
  }
}

}  // namespace
