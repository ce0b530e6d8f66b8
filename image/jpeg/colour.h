// image/jpeg/colour.h: YCbCr to RGBA conversion of the own JPEG decoder (the JFIF equations in
// 16-bit fixed point), the pass-through of frames coded as RGB, and the line producers that read
// one line out of a row of 8×8 sample blocks for each sampling layout.
#ifndef IMAGE_JPEG_COLOUR_H
#define IMAGE_JPEG_COLOUR_H

#include <cstdint>

namespace jpgd {

// colour_tables: per chroma byte c, with k = c - 128: Cr to red (91881k + 32768) >> 16, Cb to
// blue (116130k + 32768) >> 16, Cr to green -46802k, Cb to green -22554k + 32768.
//   m_rgb: the three components are red, green and blue already (no colour transform); the line
//     producers then copy the samples as they stand.
struct colour_tables {
  int32_t m_cr_r[256];
  int32_t m_cb_b[256];
  int32_t m_cr_g[256];
  int32_t m_cb_g[256];
  bool m_rgb;
};

// Fills the tables; m_rgb becomes false.
void BuildColourTables(colour_tables* t);

inline uint8_t ClampSample(int32_t v) {
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Writes red, green, blue, 255 for one pixel.
inline void YCbCrToRgba(const colour_tables& t, int32_t y, int32_t cb, int32_t cr, uint8_t* px) {
  px[0] = ClampSample(y + t.m_cr_r[cr]);
  px[1] = ClampSample(y + ((t.m_cb_g[cb] + t.m_cr_g[cr]) >> 16));
  px[2] = ClampSample(y + t.m_cb_b[cb]);
  px[3] = 255;
}

// Writes red, green, blue, 255 for one pixel of an RGB frame.
inline void RgbToRgba(int32_t r, int32_t g, int32_t b, uint8_t* px) {
  px[0] = static_cast<uint8_t>(r);
  px[1] = static_cast<uint8_t>(g);
  px[2] = static_cast<uint8_t>(b);
  px[3] = 255;
}

// Line producers over mcus MCUs of an MCU row of samples (64 bytes a block, blocks in MCU order);
// row is the line within the MCU row. Each writes mcus × MCU width pixels.
// Grey (1 block a MCU): 1 byte a pixel.
void ProduceGreyLine(const uint8_t* samples, int32_t mcus, int32_t row, uint8_t* out);
// The colour producers read the components as Y, Cb, Cr, or as R, G, B when t.m_rgb is set.
// H1V1 (Y, Cb, Cr).
void ProduceH1V1Line(const colour_tables& t, const uint8_t* samples, int32_t mcus, int32_t row,
                     uint8_t* out);
// H2V1 (Y0, Y1, Cb, Cr): neighbouring pixels share one chroma sample.
void ProduceH2V1Line(const colour_tables& t, const uint8_t* samples, int32_t mcus, int32_t row,
                     uint8_t* out);
// H1V2 (Y top, Y bottom, Cb, Cr): lines row and row + 1 (row even) share chroma row row / 2.
void ProduceH1V2Lines(const colour_tables& t, const uint8_t* samples, int32_t mcus, int32_t row,
                      uint8_t* out0, uint8_t* out1);
// H2V2 after frequency-domain upsampling: 12 blocks a MCU, the four quadrants of Y, then of Cb,
// then of Cr (top-left, top-right, bottom-left, bottom-right).
void ProduceH2V2Line(const colour_tables& t, const uint8_t* samples, int32_t mcus, int32_t row,
                     uint8_t* out);

}  // namespace jpgd

#endif  // IMAGE_JPEG_COLOUR_H
