// image/jpeg/colour.cpp: colour tables and line producers. Chroma replication for H2V1 and H1V2
// happens here; H2V2 chroma arrives already upsampled (idct.cpp).
#include "image/jpeg/colour.h"

#include <cstring>

namespace jpgd {

void BuildColourTables(colour_tables* t) {
  for (int32_t c = 0; c < 256; ++c) {
    int32_t k = c - 128;
    t->m_cr_r[c] = (91881 * k + 32768) >> 16;
    t->m_cb_b[c] = (116130 * k + 32768) >> 16;
    t->m_cr_g[c] = -46802 * k;
    t->m_cb_g[c] = -22554 * k + 32768;
  }
}

void ProduceGreyLine(const uint8_t* samples, int32_t mcus, int32_t row, uint8_t* out) {
  const uint8_t* s = samples + row * 8;
  for (int32_t i = 0; i < mcus; ++i, s += 64, out += 8) std::memcpy(out, s, 8);
}

void ProduceH1V1Line(const colour_tables& t, const uint8_t* samples, int32_t mcus, int32_t row,
                     uint8_t* out) {
  for (int32_t i = 0; i < mcus; ++i, samples += 3 * 64) {
    const uint8_t* y = samples + row * 8;
    const uint8_t* cb = y + 64;
    const uint8_t* cr = y + 128;
    for (int32_t x = 0; x < 8; ++x, out += 4) YCbCrToRgba(t, y[x], cb[x], cr[x], out);
  }
}

void ProduceH2V1Line(const colour_tables& t, const uint8_t* samples, int32_t mcus, int32_t row,
                     uint8_t* out) {
  for (int32_t i = 0; i < mcus; ++i, samples += 4 * 64) {
    const uint8_t* cb = samples + 128 + row * 8;
    const uint8_t* cr = cb + 64;
    for (int32_t half = 0; half < 2; ++half) {
      const uint8_t* y = samples + half * 64 + row * 8;
      for (int32_t x = 0; x < 8; x += 2, out += 8) {
        int32_t c = half * 4 + x / 2;
        YCbCrToRgba(t, y[x], cb[c], cr[c], out);
        YCbCrToRgba(t, y[x + 1], cb[c], cr[c], out + 4);
      }
    }
  }
}

void ProduceH1V2Lines(const colour_tables& t, const uint8_t* samples, int32_t mcus, int32_t row,
                      uint8_t* out0, uint8_t* out1) {
  const int32_t luma_block = row < 8 ? 0 : 1;
  const int32_t luma_row = row & 7;
  for (int32_t i = 0; i < mcus; ++i, samples += 4 * 64) {
    const uint8_t* y0 = samples + luma_block * 64 + luma_row * 8;
    const uint8_t* y1 = y0 + 8;
    const uint8_t* cb = samples + 128 + (row / 2) * 8;
    const uint8_t* cr = cb + 64;
    for (int32_t x = 0; x < 8; ++x, out0 += 4, out1 += 4) {
      YCbCrToRgba(t, y0[x], cb[x], cr[x], out0);
      YCbCrToRgba(t, y1[x], cb[x], cr[x], out1);
    }
  }
}

void ProduceH2V2Line(const colour_tables& t, const uint8_t* samples, int32_t mcus, int32_t row,
                     uint8_t* out) {
  const int32_t quadrant_row = row < 8 ? 0 : 2;
  const int32_t in_row = (row & 7) * 8;
  for (int32_t i = 0; i < mcus; ++i, samples += 12 * 64) {
    for (int32_t half = 0; half < 2; ++half) {
      const uint8_t* y = samples + (quadrant_row + half) * 64 + in_row;
      const uint8_t* cb = y + 4 * 64;
      const uint8_t* cr = y + 8 * 64;
      for (int32_t x = 0; x < 8; ++x, out += 4) YCbCrToRgba(t, y[x], cb[x], cr[x], out);
    }
  }
}

}  // namespace jpgd
