// tests/image/tiff_reader_test.cpp: TIFF through libtiff's RGBA interface — grey, 16-bit in both
// byte orders, compressed strips, several pages — and files libtiff cannot read.
#include <gtest/gtest.h>

#include "tests/image/test_support.h"

namespace {

using namespace image_files;

TEST(LoadTiff, ReadsTheFirstPageOfCommonLayouts) {
  ZR_TempFolder dir;
  const Picture pic = MakeCornerPicture(9, 7);
  const Picture grey = GreyOf(pic);
  auto with = [](auto change) {
    TiffOptions o;
    change(o);
    return o;
  };
  const struct {
    const char* what;
    const Picture* expected;
    TiffOptions options;
  } cases[] = {
      {"RGB", &pic, {}},
      {"8-bit grey", &grey, with([](TiffOptions& o) { o.samples = 1; })},
      {"16-bit grey", &grey, with([](TiffOptions& o) { o.samples = 1, o.bits = 16; })},
      {"16-bit grey, big-endian", &grey,
       with([](TiffOptions& o) { o.samples = 1, o.bits = 16, o.big_endian = true; })},
      {"LZW", &pic, with([](TiffOptions& o) { o.compression = COMPRESSION_LZW; })},
      {"deflate", &pic, with([](TiffOptions& o) { o.compression = COMPRESSION_ADOBE_DEFLATE; })},
      {"three pages", &pic, with([](TiffOptions& o) { o.pages = 3; })},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(WriteTiff((dir / "a.tif"), grey.px == c.expected->px ? grey : pic, c.options))
        << c.what;
    ZR_Image image;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(image.Load((dir / "a.tif").c_str())) << c.what;
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(SamePixels(*c.expected, FromImage(image))) << c.what;
  }
}

TEST(LoadTiff, FilesLibtiffCannotReadFail) {
  ZR_TempFolder dir;
  const Picture pic = MakeCornerPicture(9, 7);
  ASSERT_TRUE(WriteTiff((dir / "good.tif"), pic));
  const Bytes good = ReadFile((dir / "good.tif"));
  const struct {
    const char* what;
    Bytes bytes;
  } cases[] = {
      {"not a TIFF", MakePng(pic)},
      {"header only", Bytes(good.begin(), good.begin() + 8)},
      {"empty", {}},
  };
  for (const auto& c : cases) {
    LoadResult r = LoadBytes(dir, "a.tif", c.bytes);
    EXPECT_FALSE(r.ok) << c.what;
    EXPECT_TRUE(r.err.empty() || StartsWith(r.err, "ZR_Image::LoadTIFF() ")) << r.err;
  }
}

TEST(LoadTiff, RefusesSizesOverTheCapBeforeAllocating) {
  ZR_TempFolder dir;
  // Tags claiming 40000 x 40000 over a few bytes of strip data.
  TIFF* tif = TIFFOpen((dir / "big.tif").c_str(), "w");
  ASSERT_NE(nullptr, tif);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 40000u);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 40000u);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t{1});
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t{8});
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 40000u);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
  std::vector<uint8_t> row(40000, 0);
  TIFFWriteScanline(tif, row.data(), 0, 0);
  TIFFClose(tif);
  ZR_Image image;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(image.Load((dir / "big.tif").c_str()));
  EXPECT_NE(std::string::npos,
            testing::internal::GetCapturedStderr().find("image size 40000 x 40000"));
}

}  // namespace
