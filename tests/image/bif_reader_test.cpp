// tests/image/bif_reader_test.cpp: the BIF container — which embedded stream is the picture, and
// the messages of files without two.
#include <gtest/gtest.h>

#include "tests/image/jpeg/libjpeg_fixture.h"
#include "tests/image/test_support.h"

namespace {

using namespace image_files;

Bytes Jpeg(int w, int h, uint32_t seed) {
  jpeg_fixture::EncodeOptions o;
  return jpeg_fixture::EncodePicture(w, h, o, seed);
}

TEST(LoadBif, DecodesTheStreamAtTheSecondStartMarker) {
  ZR_TempFolder dir;
  const Bytes first = Jpeg(8, 8, 1), second = Jpeg(24, 16, 2);
  Bytes bif = {0xFF, 0xD8};  // a marker at byte 0 is the first one
  bif.insert(bif.end(), {1, 2, 3});
  bif.insert(bif.end(), second.begin(), second.end());
  LoadResult r = LoadBytes(dir, "a.bif", bif);
  ASSERT_TRUE(r.ok) << r.err;
  EXPECT_EQ(24, r.picture.width);

  Bytes two = first;
  two.insert(two.end(), second.begin(), second.end());
  r = LoadBytes(dir, "b.bif", two);
  ASSERT_TRUE(r.ok) << r.err;
  EXPECT_EQ(16, r.picture.height);
}

TEST(LoadBif, FilesWithoutTwoMarkersFailWithTheirMessage) {
  ZR_TempFolder dir;
  const Bytes one = Jpeg(8, 8, 3);
  const struct {
    const char* what;
    Bytes bytes;
    const char* message;
  } cases[] = {
      {"one byte", {0xFF}, "Not enough bytes for a BIF file\n"},
      {"no marker", {1, 2, 3, 0xFF, 0xD9}, "Failed to find first JPG marker in BIF file\n"},
      {"one JPEG", one, "Failed to find second JPG marker in BIF file\n"},
      {"second marker at the very end", {0xFF, 0xD8, 0, 0xFF},
       "Failed to find second JPG marker in BIF file\n"},
  };
  for (const auto& c : cases) {
    LoadResult r = LoadBytes(dir, "a.bif", c.bytes);
    EXPECT_FALSE(r.ok) << c.what;
    EXPECT_EQ(c.message, r.err) << c.what;
  }
  ZR_Image image;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(image.Load((dir / "missing.bif").c_str()));
  EXPECT_EQ("Not enough bytes for a BIF file\n", testing::internal::GetCapturedStderr());
}

}  // namespace
