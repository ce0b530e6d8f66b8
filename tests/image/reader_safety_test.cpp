// tests/image/reader_safety_test.cpp: broken files for every reader — every prefix of a small
// good file, seeded byte damage, and headers claiming zero, negative or huge sizes. Each load
// must end with a result (the same one every time), never a crash, an abort or a read outside a
// buffer; the sanitizer build runs the same tables.
#include <gtest/gtest.h>

#include <random>

#include "tests/image/jpeg/libjpeg_fixture.h"
#include "tests/image/test_support.h"

namespace {

using namespace image_files;

struct Sample {
  const char* name;
  Bytes bytes;
};

std::vector<Sample> GoodFiles() {
  const Picture pic = MakeCornerPicture(6, 4, true);
  BmpOptions bmp8;
  bmp8.bits = 8;
  bmp8.colours_used = 12;
  TgaOptions tga;
  tga.bits = 32;
  tga.id_length = 3;
  jpeg_fixture::EncodeOptions jo;
  Bytes bif = {'B', 'I', 'F', 0};
  for (int i = 0; i < 2; ++i) {
    Bytes j = jpeg_fixture::EncodePicture(8, 8, jo, 1 + i);
    bif.insert(bif.end(), j.begin(), j.end());
  }
  GifOptions gif;
  gif.tricky_extensions = true;
  const std::string plain = MakePlainPgm(pic), hex = MakeHex(pic);
  return {
      {"a.bmp", MakeBmp(pic, bmp8)}, {"b.bmp", MakeBmp(pic)},
      {"a.gif", MakeGif(pic, gif)},  {"a.ppm", MakePpm(pic)},
      {"a.pgm", MakePgm(pic)},       {"b.pgm", Bytes(plain.begin(), plain.end())},
      {"a.tga", MakeTga(pic, tga)},  {"a.hex", Bytes(hex.begin(), hex.end())},
      {"a.force", MakeForce(pic)},   {"a.bif", bif},
      {"a.png", MakePng(pic)},
  };
}

// Loads twice; the two results and pictures must agree.
void ExpectDeterministic(const ZR_TempFolder& dir, const Sample& s, const Bytes& bytes,
                         const std::string& what) {
  LoadResult a = LoadBytes(dir, s.name, bytes);
  LoadResult b = LoadBytes(dir, s.name, bytes);
  ASSERT_EQ(a.ok, b.ok) << what;
  if (a.ok) {
    ASSERT_TRUE(SamePixels(a.picture, b.picture)) << what;
  }
}

TEST(ReaderSafety, EveryPrefixOfAGoodFileEndsCleanly) {
  ZR_TempFolder dir;
  for (const Sample& s : GoodFiles()) {
    ASSERT_TRUE(LoadBytes(dir, s.name, s.bytes).ok) << s.name;
    for (size_t n = 0; n < s.bytes.size(); ++n)
      ExpectDeterministic(dir, s, Bytes(s.bytes.begin(), s.bytes.begin() + n),
                          std::string(s.name) + " cut at " + std::to_string(n));
  }
}

TEST(ReaderSafety, DamagedBytesEndCleanly) {
  ZR_TempFolder dir;
  std::mt19937 rng(20240611);
  for (const Sample& s : GoodFiles())
    for (int round = 0; round < 150; ++round) {
      Bytes b = s.bytes;
      const int flips = 1 + static_cast<int>(rng() % 4);
      for (int i = 0; i < flips; ++i) b[rng() % b.size()] = static_cast<uint8_t>(rng());
      ExpectDeterministic(dir, s, b, std::string(s.name) + " round " + std::to_string(round));
    }
}

TEST(ReaderSafety, HeadersOutsideTheSizeCapFail) {
  ZR_TempFolder dir;
  const Picture pic = MakeCornerPicture(6, 4);
  auto le32 = [](Bytes b, size_t at, uint32_t v) {
    Set32(b, at, v);
    return b;
  };
  auto le16 = [](Bytes b, size_t at, uint32_t v) {
    b.at(at) = static_cast<uint8_t>(v);
    b.at(at + 1) = static_cast<uint8_t>(v >> 8);
    return b;
  };
  const Bytes bmp = MakeBmp(pic), tga = MakeTga(pic), gif = MakeGif(pic);
  const size_t gif_descriptor = 6 + 7 + 3 * 32 + 1;
  auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
  const struct {
    const char* name;
    Bytes bytes;
  } cases[] = {
      {"bmp.bmp", le32(bmp, 18, 0)},
      {"bmp.bmp", le32(bmp, 22, 0x80000000u)},
      {"bmp.bmp", le32(le32(bmp, 18, 0x10000), 22, 1)},
      {"bmp.bmp", le32(le32(bmp, 18, 40000), 22, 40000)},
      {"gif.gif", le16(gif, gif_descriptor + 4, 0)},
      {"gif.gif", le16(le16(gif, gif_descriptor + 4, 65535), gif_descriptor + 6, 65535)},
      {"tga.tga", le16(tga, 12, 0)},
      {"tga.tga", le16(tga, 14, 0xffff)},
      {"tga.tga", le16(le16(tga, 12, 30000), 14, 30000)},
      {"ppm.ppm", MakePpm(pic, "P6\n0 4\n255\n")},
      {"ppm.ppm", MakePpm(pic, "P6\n-6 4\n255\n")},
      {"ppm.ppm", MakePpm(pic, "P6\n4294967302 4\n255\n")},
      {"pgm.pgm", MakePgm(pic, "P5\n65535 65535\n255\n")},
      {"pgm.pgm", text("P2\n100000 1\n255\n1 2 3\n")},
      {"hex.hex", text("a\nb\nc\nw 0 0 0\nw 6 0 0\n00FF\n")},
      {"hex.hex", text("a\nb\nc\nw 0 0 0\nw 2147483647 2 0\n00FF\n")},
      {"force.force", MakeForceRecord(0, -5, 0, 3, {1, 2})},
      {"force.force", MakeForceRecord(0, 0x7ffffffe, 0, 1, {1, 2})},
  };
  for (const auto& c : cases) {
    LoadResult r = LoadBytes(dir, c.name, c.bytes);
    EXPECT_FALSE(r.ok) << c.name << " " << r.err;
  }
}

}  // namespace
