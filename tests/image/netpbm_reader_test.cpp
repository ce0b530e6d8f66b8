// tests/image/netpbm_reader_test.cpp: binary PPM, binary and plain PGM — header forms, row order,
// stretching, and the refused and short files.
#include <gtest/gtest.h>

#include "tests/image/test_support.h"

namespace {

using namespace image_files;

TEST(LoadPpm, FirstPixelIsTheTopLeftAsStored) {
  ZR_TempFolder dir;
  Picture pic = MakeCornerPicture(3, 2);
  pic.at(0, 0) = {32, 10, 9, 255};
  LoadResult r = LoadBytes(dir, "a.ppm", MakePpm(pic));
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(SamePixels(pic, r.picture));
  EXPECT_EQ((Rgba{32, 10, 9, 255}), r.picture.at(0, 0));
}

TEST(LoadPpm, HeaderTokensMayShareLinesAndCarryComments) {
  ZR_TempFolder dir;
  const Picture pic = MakeCornerPicture(3, 2);
  const char* headers[] = {
      "P6\n3 2\n255\n",       "P6 3 2 255\n",          "P6\n# GIMP made me\n3 2\n255\n",
      "P6\n3\n#a\n2 #b\n255\n", "P6\r\n3 2\r\n255\n",   "P6\n\n\n3 2\n100\n",
  };
  for (const char* h : headers) {
    LoadResult r = LoadBytes(dir, "a.ppm", MakePpm(pic, h));
    ASSERT_TRUE(r.ok) << h;
    EXPECT_TRUE(SamePixels(pic, r.picture)) << h;  // maximum values below 255 are not scaled
  }
}

TEST(LoadNetpbm, RefusesOtherKindsAndWideSamples) {
  ZR_TempFolder dir;
  const Picture pic = MakeCornerPicture(3, 2);
  const struct {
    const char* name;
    Bytes bytes;
  } cases[] = {
      {"a.ppm", MakePpm(pic, "P3\n3 2\n255\n")},  {"a.ppm", MakePpm(pic, "P5\n3 2\n255\n")},
      {"a.ppm", MakePpm(pic, "P6\n3 2\n65535\n")}, {"a.ppm", MakePpm(pic, "P6\n3 2\n0\n")},
      {"a.ppm", MakePpm(pic, "P6\n3 x\n255\n")},   {"a.pgm", MakePgm(pic, "P6\n3 2\n255\n")},
      {"a.pgm", MakePgm(pic, "P5\n0 2\n255\n")},   {"a.pgm", MakePgm(pic, "P5\n99999999999 2\n255\n")},
      {"a.ppm", MakePpm(pic, "P6\n70000 1\n255\n")},
  };
  for (const auto& c : cases) {
    LoadResult r = LoadBytes(dir, c.name, c.bytes);
    EXPECT_FALSE(r.ok) << std::string(c.bytes.begin(), c.bytes.begin() + 12);
  }
}

TEST(LoadPgm, BinaryAndPlainGiveTheSameStretchedPicture) {
  ZR_TempFolder dir;
  const Picture grey = GreyOf(MakeCornerPicture(4, 3));  // levels 0..255: stretching keeps them
  const struct {
    const char* what;
    Bytes bytes;
  } cases[] = {
      {"P5", MakePgm(grey)},
      {"P2", [&] { auto s = MakePlainPgm(grey); return Bytes(s.begin(), s.end()); }()},
      // A comment line in the header must not shift the samples (GIMP writes one).
      {"P2 with comment", [&] {
         auto s = MakePlainPgm(grey, "P2\n# CREATOR: GIMP\n4 3\n255\n");
         return Bytes(s.begin(), s.end());
       }()},
      {"P2, one line", [&] { auto s = MakePlainPgm(grey, "P2 4 3 255 "); return Bytes(s.begin(), s.end()); }()},
  };
  for (const auto& c : cases) {
    LoadResult r = LoadBytes(dir, "a.pgm", c.bytes);
    ASSERT_TRUE(r.ok) << c.what;
    EXPECT_TRUE(SamePixels(grey, r.picture)) << c.what;
  }
}

TEST(LoadPgm, StretchesToTheFullRange) {
  ZR_TempFolder dir;
  LoadResult r = LoadText(dir, "a.pgm", "P2\n3 1\n255\n10 15 20\n");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(0, r.picture.at(0, 0).r);
  EXPECT_EQ(128, r.picture.at(1, 0).r);  // 127.5 rounded away from zero
  EXPECT_EQ(255, r.picture.at(2, 0).r);
  EXPECT_EQ((Rgba{128, 128, 128, 255}), r.picture.at(1, 0));
  r = LoadBytes(dir, "b.pgm", Bytes({'P', '5', '\n', '2', ' ', '2', '\n', '9', '\n', 7, 7, 7, 7}));
  ASSERT_TRUE(r.ok);
  for (const Rgba& c : r.picture.px) EXPECT_EQ((Rgba{0, 0, 0, 255}), c);
  // Plain samples keep their low 8 bits: 257 is 1, -1 is 255.
  r = LoadText(dir, "c.pgm", "P2\n3 1\n255\n0 257 -1\n");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(1, r.picture.at(1, 0).r);
  EXPECT_EQ(255, r.picture.at(2, 0).r);
}

TEST(LoadNetpbm, FilesCutShortLoadWithZeroSamples) {
  ZR_TempFolder dir;
  const Picture pic = MakeCornerPicture(4, 3);
  Bytes ppm = MakePpm(pic);
  ppm.resize(ppm.size() - 4 * 3 - 2);  // the bottom row lost, and 2 bytes of the middle one
  LoadResult r = LoadBytes(dir, "a.ppm", ppm);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(pic.at(3, 0), r.picture.at(3, 0));
  EXPECT_EQ((Rgba{pic.at(3, 1).r, 0, 0, 255}), r.picture.at(3, 1));
  EXPECT_EQ((Rgba{0, 0, 0, 255}), r.picture.at(0, 2));
  // A plain sample that is no number ends the samples; the rest are 0 before stretching.
  r = LoadText(dir, "a.pgm", "P2\n2 2\n255\n100 200 x 50\n");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(128, r.picture.at(0, 0).r);
  EXPECT_EQ(255, r.picture.at(1, 0).r);
  EXPECT_EQ(0, r.picture.at(0, 1).r);
  EXPECT_EQ(0, r.picture.at(1, 1).r);
}

}  // namespace
