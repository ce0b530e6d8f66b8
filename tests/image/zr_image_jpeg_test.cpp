// tests/image/zr_image_jpeg_test.cpp: JPEG streams in memory through libjpeg — ReadJPEG over
// every component count and broken streams, EncodeJPEG's sizes, qualities, row order and bytes.
#include "image/zr_image.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "tests/image/jpeg/libjpeg_fixture.h"

namespace {

using jpeg_fixture::Bytes;

ZR_Array<unsigned char> ToArray(const Bytes& b) {
  ZR_Array<unsigned char> a;
  a.Resize(static_cast<int32_t>(b.size()));
  if (!b.empty()) std::memcpy(&a[0], b.data(), b.size());
  return a;
}

Bytes FromArray(const ZR_Array<unsigned char>& a) {
  return a.m_count ? Bytes(&a[a.m_lo], &a[a.m_lo] + a.m_count) : Bytes();
}

struct Read {
  bool ok;
  std::string err;
};

Read ReadInto(ZR_Image& image, const Bytes& stream) {
  ZR_Array<unsigned char> a = ToArray(stream);
  testing::internal::CaptureStderr();
  bool ok = image.ReadJPEG(a);
  return {ok, testing::internal::GetCapturedStderr()};
}

// Encodes comps bytes a pixel as JCS_UNKNOWN (no colour transform).
Bytes EncodeUnknown(const Bytes& px, int w, int h, int comps) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = w;
  cinfo.image_height = h;
  cinfo.input_components = comps;
  cinfo.in_color_space = JCS_UNKNOWN;
  jpeg_set_defaults(&cinfo);
  jpeg_set_colorspace(&cinfo, JCS_UNKNOWN);
  jpeg_set_quality(&cinfo, 100, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  for (int y = 0; y < h; ++y) {
    JSAMPROW row = const_cast<JSAMPROW>(px.data() + static_cast<size_t>(y) * w * comps);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes b(out, out + size);
  std::free(out);
  return b;
}

// Largest difference between picture byte (x, y, ch) (top row first) and the image's pixel.
int WorstChannel(const ZR_Image& image, const Bytes& px, int comps, int ch, int image_ch) {
  int worst = 0;
  for (int y = 0; y < image.m_rows; ++y)
    for (int x = 0; x < image.m_cols; ++x) {
      const uint8_t* c = &image[image.m_rows - 1 - y][x].r;
      int want = px[(static_cast<size_t>(y) * image.m_cols + x) * comps + ch];
      worst = std::max(worst, std::abs(want - int(c[image_ch])));
    }
  return worst;
}

TEST(ReadJpeg, TakesGreyRgbCmykAndTwoComponentsTopRowLast) {
  const int w = 21, h = 13;
  jpeg_fixture::EncodeOptions o;
  o.quality = 100;
  o.h0 = o.v0 = 1;
  for (int comps : {1, 3, 4}) {
    o.comps = comps;
    const Bytes px = jpeg_fixture::MakePicture(w, h, comps, 7, 0);
    ZR_Image image;
    image.m_quality = 3;
    Read r = ReadInto(image, jpeg_fixture::EncodeJpeg(px, w, h, o));
    ASSERT_TRUE(r.ok) << comps << r.err;
    EXPECT_EQ(100, image.m_quality);
    ASSERT_EQ(h, image.m_rows);
    ASSERT_EQ(w, image.m_cols);
    for (int ch = 0; ch < 3; ++ch)
      EXPECT_LE(WorstChannel(image, px, comps, comps == 1 ? 0 : ch, ch), 3) << comps << " " << ch;
    if (comps == 4) {
      EXPECT_LE(WorstChannel(image, px, 4, 3, 3), 3);  // the fourth byte as it comes
    } else {
      EXPECT_EQ(255, image[0][0].a);
      EXPECT_EQ(255, image[h - 1][w - 1].a);
    }
  }
  // Two components: pixel c takes byte c of the decoded line as its grey level.
  const Bytes two = jpeg_fixture::MakePicture(w, h, 2, 8, 0);
  ZR_Image image;
  Read r = ReadInto(image, EncodeUnknown(two, w, h, 2));
  ASSERT_TRUE(r.ok) << r.err;
  int worst = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const ZR_Colour& c = image[h - 1 - y][x];
      worst = std::max(worst, std::abs(int(two[static_cast<size_t>(y) * w * 2 + x]) - c.r));
      EXPECT_TRUE(c.r == c.g && c.g == c.b && c.a == 255);
    }
  EXPECT_LE(worst, 3);
}

TEST(ReadJpeg, RefusesNonJpegAndFiveComponentStreams) {
  ZR_Image image;
  Read r = ReadInto(image, {0x89, 0x50, 0x4E, 0x47});
  EXPECT_FALSE(r.ok);
  EXPECT_EQ("ZR_Image()::ReadJPEG() Not a JPEG file first marker was 137 80\n", r.err);
  r = ReadInto(image, {0xFF});
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.err.empty());
  // A fifth component added to a CMYK frame (libjpeg's compressor makes at most four).
  jpeg_fixture::EncodeOptions o;
  o.comps = 4;
  Bytes cmyk = jpeg_fixture::EncodePicture(8, 8, o, 9);
  const int64_t sof = jpeg_fixture::FindMarker(cmyk, 0xC0);
  ASSERT_GT(sof, 0);
  ASSERT_EQ(4, cmyk[sof + 9]);
  cmyk[sof + 9] = 5;
  jpeg_fixture::Put16(&cmyk, sof + 2, 8 + 3 * 5);
  cmyk.insert(cmyk.begin() + sof + 10 + 12, {5, 0x11, 0});
  r = ReadInto(image, cmyk);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(0u, r.err.find("ZR_Image::LoadJPEG(). Error, file format not supported!.\n: "))
      << r.err;
}

TEST(ReadJpeg, StreamCutShortDecodesWithOneWarning) {
  jpeg_fixture::EncodeOptions o;
  const Bytes full = jpeg_fixture::EncodePicture(64, 48, o, 11);
  ZR_Image image;
  Read r = ReadInto(image, Bytes(full.begin(), full.begin() + full.size() / 2));
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(48, image.m_rows);
  EXPECT_EQ(1, std::count(r.err.begin(), r.err.end(), '\n')) << r.err;
  EXPECT_NE(std::string::npos, r.err.find("Premature end of JPEG file")) << r.err;
}

TEST(ReadJpeg, BrokenStreamsFailWithLibjpegsMessage) {
  jpeg_fixture::EncodeOptions o;
  const Bytes good = jpeg_fixture::EncodePicture(16, 16, o, 12);
  Bytes huge = good;
  const int64_t sof = jpeg_fixture::FindMarker(huge, 0xC0);
  ASSERT_GT(sof, 0);
  jpeg_fixture::Put16(&huge, sof + 5, 65500);
  jpeg_fixture::Put16(&huge, sof + 7, 65500);
  Bytes skip_past_end = {0xFF, 0xD8, 0xFF, 0xE1, 0xEA, 0x60, 1, 2, 3};  // APP1 of 60000 bytes
  Bytes garbage = {0xFF, 0xD8};
  for (int i = 0; i < 200; ++i) garbage.push_back(static_cast<uint8_t>(i * 37 + 5));
  const struct {
    const char* what;
    Bytes bytes;
    const char* message;
  } cases[] = {
      {"garbage after the start marker", garbage, ""},
      {"65500 x 65500", huge, "image size 65500 x 65500"},
      {"segment longer than the stream", skip_past_end, ""},
      {"start marker only", {0xFF, 0xD8}, ""},
  };
  for (const auto& c : cases) {
    ZR_Image image;
    Read r = ReadInto(image, c.bytes);
    EXPECT_FALSE(r.ok) << c.what;
    EXPECT_FALSE(r.err.empty()) << c.what;
    EXPECT_NE(std::string::npos, r.err.find(c.message)) << c.what << ": " << r.err;
  }
}

ZR_Image Gradient(int rows, int cols) {
  ZR_Image image(rows, cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c)
      image[r][c] = {static_cast<uint8_t>(128 + 100 * std::sin(c * 0.02 + r * 0.01)),
                     static_cast<uint8_t>(r * 255 / rows), static_cast<uint8_t>(c * 255 / cols),
                     77};
  return image;
}

double Psnr(const ZR_Image& a, const ZR_Image& b) {
  double sq = 0;
  for (int r = 0; r < a.m_rows; ++r)
    for (int c = 0; c < a.m_cols; ++c)
      for (int ch = 0; ch < 3; ++ch) {
        double d = double((&a[r][c].r)[ch]) - (&b[r][c].r)[ch];
        sq += d * d;
      }
  return 10 * std::log10(255.0 * 255.0 / (sq / (3.0 * a.m_rows * a.m_cols)));
}

TEST(EncodeJpeg, RoundTripsAtWorkerQualitiesKeepingTheTopRowFirst) {
  const ZR_Image source = Gradient(450, 600);
  for (int quality : {90, 95}) {
    ZR_Image image = source;
    image.m_quality = quality;
    ZR_Array<unsigned char> out;
    ASSERT_TRUE(image.EncodeJPEG(out)) << quality;
    const Bytes stream = FromArray(out);
    ASSERT_GT(stream.size(), 2u);
    EXPECT_EQ(0xFF, stream[0]);
    EXPECT_EQ(0xD8, stream[1]);
    EXPECT_EQ(0, out.m_lo);
    // libjpeg's own decoder: its first line is the image's top row (rows - 1).
    jpeg_fixture::Picture ref = jpeg_fixture::DecodeLibjpeg(stream, true);
    ASSERT_TRUE(ref.ok());
    EXPECT_NEAR(source[449][0].g, ref.rgba[1], 4);
    EXPECT_NEAR(source[0][0].g, ref.rgba[static_cast<size_t>(449) * 600 * 4 + 1], 4);
    ZR_Image back;
    ZR_Array<unsigned char> in = out;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(back.ReadJPEG(in));
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    ASSERT_EQ(450, back.m_rows);
    EXPECT_GT(Psnr(source, back), 35.0) << quality;
  }
}

// The encoder hands libjpeg the image's own R, G, B, A rows: the stream is the one libjpeg makes
// from the R, G, B bytes top row first, whatever the alpha, the bounds or the encodings before.
TEST(EncodeJpeg, SameBytesAsLibjpegFromTheRgbRowsTopFirst) {
  const struct {
    int32_t rows, cols, row_lo, col_lo, quality;
  } cases[] = {
      {600, 450, 0, 0, 95},  // a face crop
      {96, 71, 0, 0, 90},    // a thumbnail
      {37, 53, -5, 3, 75},   // bounds not from 0, sizes off the 16-pixel blocks
      {600, 450, 0, 0, 95},  // again, after smaller encodings
  };
  for (const auto& c : cases) {
    const jpeg_fixture::Bytes rgba = jpeg_fixture::MakePicture(c.cols, c.rows, 4, 7);
    ZR_Image image;
    image.Resize(c.row_lo, c.row_lo + c.rows - 1, c.col_lo, c.col_lo + c.cols - 1);
    jpeg_fixture::Bytes rgb;
    for (int32_t y = 0; y < c.rows; ++y) {  // y from the top
      ZR_Colour* row = image[c.row_lo + c.rows - 1 - y] + c.col_lo;
      for (int32_t x = 0; x < c.cols; ++x) {
        const uint8_t* p = &rgba[(size_t(y) * c.cols + x) * 4];
        row[x] = {p[0], p[1], p[2], p[3]};
        rgb.insert(rgb.end(), p, p + 3);
      }
    }
    image.m_quality = c.quality;
    jpeg_fixture::EncodeOptions o;
    o.quality = c.quality;
    ZR_Array<unsigned char> out;
    ASSERT_TRUE(image.EncodeJPEG(out)) << c.rows << " x " << c.cols;
    EXPECT_EQ(jpeg_fixture::EncodeJpeg(rgb, c.cols, c.rows, o), FromArray(out))
        << c.rows << " x " << c.cols;
  }
}

TEST(EncodeJpeg, EmptyAndTinyImagesAndClampedQualities) {
  ZR_Array<unsigned char> out;
  out.Resize(3);
  out[0] = 1, out[1] = 2, out[2] = 3;
  ZR_Image empty;
  EXPECT_TRUE(empty.EncodeJPEG(out));
  EXPECT_EQ(3u, out.m_count);
  ZR_Image tiny = Gradient(4, 4);  // the headers alone exceed 48 bytes
  EXPECT_FALSE(tiny.EncodeJPEG(out));
  EXPECT_EQ(3u, out.m_count);
  EXPECT_EQ(2, out[1]);

  ZR_Image image = Gradient(64, 80);
  auto encode = [&](int quality) {
    image.m_quality = quality;
    ZR_Array<unsigned char> bytes;
    EXPECT_TRUE(image.EncodeJPEG(bytes)) << quality;
    return FromArray(bytes);
  };
  EXPECT_EQ(encode(1), encode(0));
  EXPECT_EQ(encode(1), encode(-20));
  EXPECT_EQ(encode(100), encode(150));
  EXPECT_NE(encode(100), encode(90));
}

}  // namespace
