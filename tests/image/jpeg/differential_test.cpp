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
