// tests/image/jpeg/differential_test.cpp: our decoder against libjpeg on pictures libjpeg makes
// in every supported layout, mode, restart setting and awkward size.
#include <gtest/gtest.h>

#include "tests/image/jpeg/libjpeg_fixture.h"

namespace {

using namespace jpeg_fixture;

struct Layout {
  const char* name;
  int32_t comps, h0, v0;
};

const Layout kLayouts[] = {
    {"grey", 1, 1, 1}, {"h1v1", 3, 1, 1}, {"h2v1", 3, 2, 1}, {"h1v2", 3, 1, 2}, {"h2v2", 3, 2, 2}};

TEST(JpegDifferential, MatchesLibjpegInEveryLayoutModeAndSize) {
  const struct {
    int32_t w, h;
  } sizes[] = {{1, 1}, {8, 8}, {16, 16}, {17, 13}, {33, 47}, {17, 9}, {4095, 3}, {640, 480}};
  const struct {
    const char* name;
    bool progressive, optimize;
    uint32_t interval;
    int32_t rows;
  } modes[] = {{"baseline", false, false, 0, 0},      {"optimised", false, true, 0, 0},
               {"progressive", true, false, 0, 0},    {"restart-1", false, false, 1, 0},
               {"restart-row", false, false, 0, 1},   {"progressive-restart-1", true, false, 1, 0},
               {"progressive-restart-row", true, false, 0, 1}};
  for (const Layout& l : kLayouts) {
    for (const auto& m : modes) {
      for (const auto& s : sizes) {
        if (s.w * s.h > 100000 && (m.interval == 1)) continue;  // keeps the sanitizer run short
        EncodeOptions o;
        o.comps = l.comps, o.h0 = l.h0, o.v0 = l.v0;
        o.progressive = m.progressive, o.optimize = m.optimize;
        o.restart_interval = m.interval, o.restart_rows = m.rows;
        Bytes jpeg = EncodePicture(s.w, s.h, o, static_cast<uint32_t>(s.w * 31 + s.h));
        ASSERT_FALSE(jpeg.empty());
        // Noisy content puts stuffed FF 00 pairs into the larger scans.
        if (s.w == 640) {
          ASSERT_GT(FindMarker(jpeg, 0x00), 0);
        }
        const std::string what = std::string(l.name) + " " + m.name + " " + std::to_string(s.w) +
                                 "x" + std::to_string(s.h);
        Picture ours = DecodeOurs(jpeg);
        ASSERT_TRUE(ours.ok()) << what << " status " << ours.status;
        EXPECT_EQ(s.w, ours.width) << what;
        EXPECT_EQ(s.h, ours.height) << what;
        EXPECT_EQ(l.comps, ours.comps) << what;
        const bool h2v2 = l.h0 == 2 && l.v0 == 2;
        Picture ref = DecodeLibjpeg(jpeg, h2v2);
        ASSERT_TRUE(ref.ok()) << what;
        Difference d = Compare(ours, ref);
        if (l.comps == 1) {
          EXPECT_LE(d.max, 1) << what;
        } else if (!h2v2) {
          EXPECT_LE(d.max, 3) << what;
        } else {
          EXPECT_GE(d.psnr, 30.0) << what << " max " << d.max;
        }
      }
    }
  }
}

}  // namespace

namespace {

// Offset of the frame header (SOF0 or SOF2).
int64_t FindFrame(const Bytes& b) {
  const int64_t sof0 = FindMarker(b, 0xC0);
  return sof0 >= 0 ? sof0 : FindMarker(b, 0xC2);
}

// The same RGB samples marked three ways; each must decode as RGB, like libjpeg decodes the file
// with both marks. A frame with neither stays YCbCr.
TEST(JpegDifferential, RgbFramesMatchLibjpeg) {
  const struct {
    const char* name;
    bool progressive;
    int32_t h0, v0;
  } frames[] = {{"h1v1", false, 1, 1},
                {"h1v1 progressive", true, 1, 1},
                {"h2v1", false, 2, 1},
                {"h2v2", false, 2, 2}};
  for (const auto& f : frames) {
    EncodeOptions o;
    o.rgb = true, o.progressive = f.progressive, o.h0 = f.h0, o.v0 = f.v0;
    const Bytes both = EncodePicture(37, 21, o, 5);  // ids 'R', 'G', 'B' and Adobe transform 0
    const int64_t sof = FindFrame(both), app14 = FindMarker(both, 0xEE);
    ASSERT_GT(sof, 0);
    ASSERT_GT(app14, 0);
    ASSERT_EQ('R', both[sof + 10]);
    ASSERT_EQ(0, both[app14 + 15]);  // the transform byte
    Bytes ids_only = both;           // without the Adobe segment
    ids_only.erase(ids_only.begin() + app14, ids_only.begin() + app14 + 2 + Get16(both, app14 + 2));
    Bytes adobe_only = both;  // ids 1, 2, 3 in the frame and in every scan
    for (int32_t c = 0; c < 3; ++c) adobe_only[sof + 10 + 3 * c] = static_cast<uint8_t>(1 + c);
    for (int32_t n = 0; FindMarker(adobe_only, 0xDA, n) > 0; ++n) {
      const int64_t sos = FindMarker(adobe_only, 0xDA, n);
      for (int32_t i = 0; i < adobe_only[sos + 4]; ++i) {
        uint8_t& id = adobe_only[sos + 5 + 2 * i];
        id = id == 'R' ? 1 : (id == 'G' ? 2 : 3);
      }
    }
    Bytes neither = adobe_only;
    neither[app14 + 15] = 1;  // transform 1: YCbCr

    const bool h2v2 = f.h0 == 2;
    const Picture ref = DecodeLibjpeg(both, h2v2);
    ASSERT_TRUE(ref.ok()) << f.name;
    const Bytes* const rgb_variants[] = {&both, &ids_only, &adobe_only};
    for (const Bytes* variant : rgb_variants) {
      const Picture ours = DecodeOurs(*variant);
      ASSERT_TRUE(ours.ok()) << f.name << " status " << ours.status;
      const Difference d = Compare(ours, ref);
      if (h2v2) {
        EXPECT_GE(d.psnr, 30.0) << f.name << " max " << d.max;
      } else {
        EXPECT_LE(d.max, 3) << f.name;
      }
    }
    const Picture ycbcr = DecodeOurs(neither);
    ASSERT_TRUE(ycbcr.ok()) << f.name;
    EXPECT_LT(Compare(ycbcr, ref).psnr, 20.0) << f.name;
    const Difference d = Compare(ycbcr, DecodeLibjpeg(neither, h2v2));
    if (h2v2) {
      EXPECT_GE(d.psnr, 30.0) << f.name;
    } else {
      EXPECT_LE(d.max, 3) << f.name;
    }
  }
}

}  // namespace
