// tests/image/jpeg/output_test.cpp: what the entry points hand out: pixel layout, chroma sharing
// per layout, argument handling, the file stream, and real photos against libjpeg.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "tests/image/jpeg/libjpeg_fixture.h"

namespace {

using namespace jpeg_fixture;

const char kPhotoDir[] = "/usr/share/doc/libdlib19.1/examples/faces";

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(JpegOutput, GreyGivesYYY255AndOneComponent) {
  EncodeOptions o;
  o.comps = 1;
  Picture p = DecodeOurs(EncodePicture(19, 7, o));
  ASSERT_TRUE(p.ok());
  EXPECT_EQ(1, p.comps);
  for (size_t i = 0; i < p.rgba.size(); i += 4) {
    ASSERT_EQ(p.rgba[i], p.rgba[i + 1]);
    ASSERT_EQ(p.rgba[i], p.rgba[i + 2]);
    ASSERT_EQ(255, p.rgba[i + 3]);
  }
}

TEST(JpegOutput, MidGreyColourPictureIsExact) {
  // Y = Cb = Cr = 128 everywhere: all coefficients 0.
  for (int32_t h0 : {1, 2}) {
    EncodeOptions o;
    o.h0 = o.v0 = h0;
    Bytes px(20 * 12 * 3, 128);
    Picture p = DecodeOurs(EncodeJpeg(px, 20, 12, o));
    ASSERT_TRUE(p.ok());
    EXPECT_EQ(3, p.comps);
    for (size_t i = 0; i < p.rgba.size(); ++i) ASSERT_EQ(i % 4 == 3 ? 255 : 128, p.rgba[i]) << i;
  }
}

TEST(JpegOutput, NeutralContentInH2V2IsExactUpToTheTransformRounding) {
  // R = G = B gives constant chroma, so the upsampling cannot differ from libjpeg's; what is
  // left is the luma placement of the four blocks and the transform's rounding.
  Bytes grey = MakePicture(45, 37, 1, 9), rgb;
  for (uint8_t v : grey) rgb.insert(rgb.end(), 3, v);
  EncodeOptions o;
  for (bool progressive : {false, true}) {
    o.progressive = progressive;
    Bytes jpeg = EncodeJpeg(rgb, 45, 37, o);
    EXPECT_LE(Compare(DecodeOurs(jpeg), DecodeLibjpeg(jpeg, true)).max, 1) << progressive;
  }
}

// Chroma of a pixel, read back without luma: red minus blue and green minus blue do not depend
// on Y while nothing clamps.
std::pair<int32_t, int32_t> Chroma(const Picture& p, int32_t x, int32_t y) {
  const uint8_t* px = &p.rgba[(static_cast<size_t>(y) * p.width + x) * 4];
  return {px[0] - px[2], px[1] - px[2]};
}

TEST(JpegOutput, SubsampledLayoutsShareChromaBetweenNeighbours) {
  const int32_t w = 24, h = 32;
  Bytes px = MakePicture(w, h, 3, 4, 0);  // noise-free, away from the clamps
  for (uint8_t& v : px) v = static_cast<uint8_t>(64 + v / 2);
  for (int32_t layout = 0; layout < 2; ++layout) {
    EncodeOptions o;
    o.h0 = layout == 0 ? 2 : 1;
    o.v0 = layout == 0 ? 1 : 2;
    Picture p = DecodeOurs(EncodeJpeg(px, w, h, o));
    ASSERT_TRUE(p.ok());
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const int32_t nx = layout == 0 ? (x ^ 1) : x, ny = layout == 0 ? y : (y ^ 1);
        ASSERT_EQ(Chroma(p, x, y), Chroma(p, nx, ny)) << "layout " << layout << " " << x << ","
                                                       << y;
      }
  }
}

TEST(JpegOutput, NullArgumentsAndUnopenableFiles) {
  Bytes jpeg = EncodePicture(8, 8, EncodeOptions{});
  jpgd::jpeg_decoder_mem_stream stream(jpeg.data(), jpeg.size());
  int32_t w = -5, h = -6, c = -7;
  EXPECT_EQ(nullptr, jpgd::DecodeJpegStream(&stream, &w, &h, nullptr));
  EXPECT_EQ(nullptr, jpgd::DecodeJpegStream(nullptr, &w, &h, &c));
  EXPECT_EQ(0, c);
  c = -7;
  EXPECT_EQ(nullptr, jpgd::DecodeJpegStream(&stream, nullptr, &h, &c));
  EXPECT_EQ(0, c);
  c = -7;
  EXPECT_EQ(nullptr, jpgd::DecodeJpegFile("/nonexistent/quillbeck.jpg", &w, &h, &c));
  EXPECT_EQ(-5, w);
  EXPECT_EQ(-6, h);
  EXPECT_EQ(-7, c);
  // A stream that fails to read.
  struct failing_stream : jpgd::jpeg_decoder_stream {
    int32_t fetch(uint8_t*, int32_t, bool*) override { return -1; }
  } bad;
  int32_t status = 0;
  EXPECT_EQ(nullptr, jpgd::DecodeJpegStreamWithStatus(&bad, &w, &h, &c, &status));
  EXPECT_EQ(jpgd::kStatusStreamRead, status);
}

TEST(JpegOutput, FileAndMemoryStreamsAgree) {
  Bytes jpeg = EncodePicture(50, 30, EncodeOptions{});
  const std::string path =
      (std::filesystem::temp_directory_path() / ("jpgd_file_" + std::to_string(getpid()) + ".jpg"))
          .string();
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
  }
  int32_t w = 0, h = 0, c = 0;
  unsigned char* px = jpgd::DecodeJpegFile(path.c_str(), &w, &h, &c);
  std::filesystem::remove(path);
  ASSERT_NE(nullptr, px);
  Picture mem = DecodeOurs(jpeg);
  EXPECT_EQ(50, w);
  EXPECT_EQ(30, h);
  EXPECT_EQ(3, c);
  EXPECT_EQ(0, std::memcmp(px, mem.rgba.data(), mem.rgba.size()));
  std::free(px);
}

TEST(JpegOutput, RealPhotosMatchLibjpeg) {
  if (!std::filesystem::is_directory(kPhotoDir)) GTEST_SKIP() << "no photos in " << kPhotoDir;
  int32_t photos = 0;
  for (const auto& e : std::filesystem::directory_iterator(kPhotoDir)) {
    if (e.path().extension() != ".jpg") continue;
    const Bytes jpeg = ReadFile(e.path().string());
    Picture ours = DecodeOurs(jpeg);
    ASSERT_TRUE(ours.ok()) << e.path() << " status " << ours.status;
    Picture ref = DecodeLibjpeg(jpeg, true);
    ASSERT_EQ(ref.width, ours.width) << e.path();
    ASSERT_EQ(ref.height, ours.height) << e.path();
    EXPECT_GE(Compare(ours, ref).psnr, 40.0) << e.path();
    ++photos;
  }
  EXPECT_GT(photos, 0);
}

}  // namespace
