// tests/image/gif_reader_test.cpp: GIF first frames through the LZW decoder (code growth, full
// tables, the code-about-to-be-defined case, literal-only streams), block structure, and the
// refused and broken files.
#include <gtest/gtest.h>

#include <random>

#include "tests/image/test_support.h"

namespace {

using namespace image_files;

// A picture of `colours` distinct colours; runs of equal pixels when smooth, noise otherwise.
Picture Palette(int w, int h, int colours, bool smooth, uint32_t seed) {
  std::mt19937 rng(seed);
  Picture p;
  p.width = w;
  p.height = h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int i = smooth ? ((x / 7 + y / 3) % colours) : static_cast<int>(rng() % colours);
      p.px.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                      static_cast<uint8_t>(i * 7), 255});
    }
  return p;
}

TEST(LoadGif, DecodesLzwAndLiteralStreamsToThePicture) {
  ZR_TempFolder dir;
  Picture flat = Palette(40, 30, 1, true, 1);  // one colour: every string is the next code's
  auto with = [](auto change) {
    GifOptions o;
    change(o);
    return o;
  };
  const Picture noise = Palette(200, 150, 256, false, 2);  // fills the table, clears, goes on
  const Picture bands = Palette(97, 61, 200, true, 3);
  const Picture four = Palette(9, 7, 4, false, 4);
  const struct {
    const char* what;
    const Picture* pic;
    GifOptions options;
  } cases[] = {
      {"noise, 256 colours", &noise, {}},
      {"bands, 200 colours", &bands, {}},
      {"one colour", &flat, {}},
      {"literal codes only", &noise, with([](GifOptions& o) { o.literal = true; })},
      {"literal, code size 2", &four,
       with([](GifOptions& o) { o.literal = true, o.min_code_size = 2; })},
      {"code size 2, local table of 4", &four,
       with([](GifOptions& o) { o.min_code_size = 2, o.local_table = true; })},
      {"0x2C and 0x3B inside extensions, a second frame", &bands,
       with([](GifOptions& o) { o.tricky_extensions = true, o.second_frame = true; })},
  };
  for (const auto& c : cases) {
    LoadResult r = LoadBytes(dir, "a.gif", MakeGif(*c.pic, c.options));
    ASSERT_TRUE(r.ok) << c.what << ": " << r.err;
    EXPECT_TRUE(SamePixels(*c.pic, r.picture)) << c.what;
    EXPECT_EQ("", r.err) << c.what;
  }
}

TEST(LoadGif, LocalTableOfFourEntriesIsTwelveBytes) {
  ZR_TempFolder dir;
  const Picture four = Palette(3, 2, 4, false, 5);
  GifOptions o;
  o.local_table = true;
  o.min_code_size = 2;
  Bytes b = MakeGif(four, o);
  // Header 6, screen 7, separator 1, descriptor 9, table 12, then the code size byte.
  ASSERT_EQ(0x81, b[13 + 9]);
  ASSERT_EQ(2, b[13 + 10 + 12]);
  EXPECT_TRUE(LoadBytes(dir, "a.gif", b).ok);
}

TEST(LoadGif, RefusedAndBrokenFilesFailWithTheirMessage) {
  ZR_TempFolder dir;
  const Picture pic = Palette(10, 6, 5, false, 6);
  auto with = [](auto change) {
    GifOptions o;
    change(o);
    return o;
  };
  Bytes bad_index = MakeGif(pic, with([](GifOptions& o) { o.table_bits = 1; }));  // 4 entries
  // An undefined code right after the clear: 300 in 9 bits.
  Bytes undefined = MakeGif(pic);
  const size_t data = 6 + 7 + 8 * 3 + 1 + 9 + 1;  // first sub-block size byte
  undefined[data + 1] = 0x00;  // clear (256) = 1 0000 0000, then 300 = 1 0010 1100
  undefined[data + 2] = 0x59;
  undefined[data + 3] = 0x02;
  Bytes no_image = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x21, 0xFE, 2, 'h', 'i', 0};
  Bytes not_gif = MakeGif(pic);
  not_gif[2] = 'T';
  const struct {
    const char* what;
    Bytes bytes;
    const char* message;
  } cases[] = {
      {"interlaced", MakeGif(pic, with([](GifOptions& o) { o.interlaced = true; })),
       "ZR_Image::LoadGIF() Error! : - Gif 89a Interlaced mode not implemented. Change to "
       "non-interlaced: "},
      {"byte after the trailer", MakeGif(pic, with([](GifOptions& o) { o.after_trailer = {10}; })),
       "ZR_Image::LoadGIF() Error! - end of file not reached: "},
      {"index beyond the colour table", bad_index,
       "ZR_Image::LoadGIF() Error! - colour index > colour palette size: "},
      {"code not yet defined", undefined,
       "ZR_Image::LoadGIF() Error! - colour index > colour palette size: "},
      {"no image", no_image, "ZR_Image::LoadGIF() Error! : - start of image not detected: "},
      {"not a GIF", not_gif, "ZR_Image::LoadGIF(): File Format Error : not a GIF File: "},
  };
  for (const auto& c : cases) {
    LoadResult r = LoadBytes(dir, "a.gif", c.bytes);
    EXPECT_FALSE(r.ok) << c.what;
    EXPECT_TRUE(StartsWith(r.err, c.message)) << c.what << ": " << r.err;
  }
}

// Many encoders stop the data after the last pixel without an end code; the picture is complete
// and loads. Data that stops before the last pixel fails, saying so.
TEST(LoadGif, TrailerAndEndCodeAreOptionalOnceEveryPixelIsThere) {
  ZR_TempFolder dir;
  const Picture pic = Palette(10, 6, 5, false, 7);
  const Picture big = Palette(97, 61, 200, true, 9);  // codes of 9 to 12 bits, several blocks
  auto without_end = [](bool literal, int min_code_size) {
    GifOptions o;
    o.end_code = false, o.literal = literal, o.min_code_size = min_code_size;
    return o;
  };
  Bytes b = MakeGif(pic);
  b.pop_back();  // no trailer: the result stands
  const struct {
    const char* what;
    const Picture* pic;
    Bytes bytes;
  } complete[] = {
      {"no trailer", &pic, b},
      {"no end code", &pic, MakeGif(pic, without_end(false, 8))},
      {"no end code, code size 3", &pic, MakeGif(pic, without_end(false, 3))},
      {"no end code, literal", &pic, MakeGif(pic, without_end(true, 8))},
      {"no end code, large", &big, MakeGif(big, without_end(false, 8))},
  };
  for (const auto& c : complete) {
    LoadResult r = LoadBytes(dir, "a.gif", c.bytes);
    ASSERT_TRUE(r.ok) << c.what << ": " << r.err;
    EXPECT_TRUE(SamePixels(*c.pic, r.picture)) << c.what;
    EXPECT_EQ("", r.err) << c.what;
  }
  // Data that stops before the last pixel, and a file cut inside the data.
  const Bytes no_end = MakeGif(big, without_end(false, 8));
  const Bytes cuts[] = {Bytes(b.begin(), b.end() - 5), Bytes(b.begin(), b.begin() + 50),
                        Bytes(no_end.begin(), no_end.end() - 40)};
  for (const Bytes& cut : cuts) {
    LoadResult r = LoadBytes(dir, "a.gif", cut);
    EXPECT_FALSE(r.ok) << cut.size();
    EXPECT_TRUE(StartsWith(r.err, "ZR_Image::LoadGIF() Error! - ")) << cut.size() << ": " << r.err;
  }
}

TEST(LoadGif, CodesBeyondThePictureAreDropped) {
  ZR_TempFolder dir;
  const Picture pic = Palette(10, 6, 5, false, 8);
  Bytes b = MakeGif(pic);
  b[6 + 7 + 8 * 3 + 1 + 6] = 4;  // the descriptor says 4 rows, the data holds 6
  LoadResult r = LoadBytes(dir, "a.gif", b);
  ASSERT_TRUE(r.ok) << r.err;
  ASSERT_EQ(4, r.picture.height);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(pic.at(x, y), r.picture.at(x, y));
}

}  // namespace
