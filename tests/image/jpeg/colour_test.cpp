// tests/image/jpeg/colour_test.cpp: the colour tables against their formulas, and every line
// producer against the per-pixel conversion on sample buffers laid out as the decoder lays them.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "image/jpeg/colour.h"

namespace {

TEST(JpegColour, TablesFollowTheFixedPointFormulas) {
  jpgd::colour_tables t;
  jpgd::BuildColourTables(&t);
  for (int c : {0, 1, 127, 128, 129, 255}) {
    const int k = c - 128;
    EXPECT_EQ((91881 * k + 32768) >> 16, t.m_cr_r[c]) << c;
    EXPECT_EQ((116130 * k + 32768) >> 16, t.m_cb_b[c]) << c;
    EXPECT_EQ(-46802 * k, t.m_cr_g[c]) << c;
    EXPECT_EQ(-22554 * k + 32768, t.m_cb_g[c]) << c;
  }
  EXPECT_EQ(-179, t.m_cr_r[0]);
  EXPECT_EQ(178, t.m_cr_r[255]);
  EXPECT_EQ(-227, t.m_cb_b[0]);
  EXPECT_EQ(225, t.m_cb_b[255]);
  uint8_t px[4];
  jpgd::YCbCrToRgba(t, 128, 128, 128, px);
  EXPECT_EQ(128, px[0]);
  EXPECT_EQ(128, px[1]);
  EXPECT_EQ(128, px[2]);
  EXPECT_EQ(255, px[3]);
  jpgd::YCbCrToRgba(t, 250, 255, 255, px);  // clamps
  EXPECT_EQ(255, px[0]);
  EXPECT_EQ(255, px[2]);
}

// Where a pixel's samples lie in one MCU of each layout: block and offset of Y, Cb and Cr.
struct Source {
  int32_t y, cb, cr;
};

enum Layout { kH1V1, kH2V1, kH1V2, kH2V2 };

Source Locate(Layout layout, int32_t x, int32_t row) {
  switch (layout) {
    case kH1V1:
      return {row * 8 + x, 64 + row * 8 + x, 128 + row * 8 + x};
    case kH2V1:
      return {(x / 8) * 64 + row * 8 + x % 8, 128 + row * 8 + x / 2, 192 + row * 8 + x / 2};
    case kH1V2:
      return {(row / 8) * 64 + (row % 8) * 8 + x, 128 + (row / 2) * 8 + x,
              192 + (row / 2) * 8 + x};
    default: {
      const int32_t q = (row / 8) * 2 + x / 8, at = (row % 8) * 8 + x % 8;
      return {q * 64 + at, (4 + q) * 64 + at, (8 + q) * 64 + at};
    }
  }
}

TEST(JpegColour, LineProducersMatchThePerPixelConversion) {
  jpgd::colour_tables t;
  jpgd::BuildColourTables(&t);
  const struct {
    Layout layout;
    int32_t blocks, mcu_w, mcu_h;
  } layouts[] = {{kH1V1, 3, 8, 8}, {kH2V1, 4, 16, 8}, {kH1V2, 4, 8, 16}, {kH2V2, 12, 16, 16}};
  std::mt19937 rng(21);
  const int32_t mcus = 3;
  for (const auto& l : layouts) {
    std::vector<uint8_t> samples(static_cast<size_t>(mcus) * l.blocks * 64);
    for (uint8_t& s : samples) {
      const uint32_t r = rng();
      s = static_cast<uint8_t>(r % 5 == 0 ? 0 : (r % 5 == 1 ? 255 : r >> 8));
    }
    std::vector<uint8_t> line0(static_cast<size_t>(mcus) * l.mcu_w * 4);
    std::vector<uint8_t> line1(line0.size());
    for (int32_t row = 0; row < l.mcu_h; ++row) {
      if (l.layout == kH1V2 && (row & 1)) continue;  // made with the even row
      switch (l.layout) {
        case kH1V1: jpgd::ProduceH1V1Line(t, samples.data(), mcus, row, line0.data()); break;
        case kH2V1: jpgd::ProduceH2V1Line(t, samples.data(), mcus, row, line0.data()); break;
        case kH1V2:
          jpgd::ProduceH1V2Lines(t, samples.data(), mcus, row, line0.data(), line1.data());
          break;
        case kH2V2: jpgd::ProduceH2V2Line(t, samples.data(), mcus, row, line0.data()); break;
      }
      for (int32_t line = 0; line < (l.layout == kH1V2 ? 2 : 1); ++line) {
        const std::vector<uint8_t>& got = line ? line1 : line0;
        for (int32_t px = 0; px < mcus * l.mcu_w; ++px) {
          const uint8_t* mcu = samples.data() + static_cast<size_t>(px / l.mcu_w) * l.blocks * 64;
          const Source s = Locate(l.layout, px % l.mcu_w, row + line);
          uint8_t want[4];
          jpgd::YCbCrToRgba(t, mcu[s.y], mcu[s.cb], mcu[s.cr], want);
          for (int32_t c = 0; c < 4; ++c)
            ASSERT_EQ(want[c], got[px * 4 + c]) << "layout " << l.layout << " row " << row + line
                                                << " pixel " << px << " channel " << c;
        }
      }
    }
  }
}

TEST(JpegColour, EveryChromaPairConvertsLikeTheTables) {
  jpgd::colour_tables t;
  jpgd::BuildColourTables(&t);
  // 1024 H1V1 MCUs of 64 pixels hold all 65536 (Cb, Cr) pairs.
  std::vector<uint8_t> samples(1024 * 3 * 64);
  for (int32_t y : {0, 77, 128, 255}) {
    for (int32_t i = 0; i < 65536; ++i) {
      uint8_t* mcu = samples.data() + (i / 64) * 192;
      mcu[i % 64] = static_cast<uint8_t>(y);
      mcu[64 + i % 64] = static_cast<uint8_t>(i & 255);
      mcu[128 + i % 64] = static_cast<uint8_t>(i >> 8);
    }
    std::vector<uint8_t> line(1024 * 8 * 4);
    for (int32_t row = 0; row < 8; ++row) {
      jpgd::ProduceH1V1Line(t, samples.data(), 1024, row, line.data());
      for (int32_t px = 0; px < 1024 * 8; ++px) {
        const int32_t i = (px / 8) * 64 + row * 8 + px % 8;
        uint8_t want[4];
        jpgd::YCbCrToRgba(t, y, i & 255, i >> 8, want);
        ASSERT_EQ(0, std::memcmp(want, &line[px * 4], 4)) << "y " << y << " cb " << (i & 255)
                                                           << " cr " << (i >> 8);
      }
    }
  }
}

}  // namespace
