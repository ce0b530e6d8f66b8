// image/zr_image_grey.cpp: grey data into an image — byte arrays as they are or stretched to the
// full range, and float matrices stretched from their finite minimum to their finite maximum.
#include "image/zr_image.h"

#include <cmath>

#include "image/internal/reader_support.h"

void ZR_Image::SetGrey(const ZR_Array2D<unsigned char>& grey) {
  Resize(grey.m_row_lo, grey.m_row_hi, grey.m_col_lo, grey.m_col_hi);
  if (grey.m_rows < 1 || grey.m_cols < 1) return;
  for (int32_t r = grey.m_row_lo; r <= grey.m_row_hi; ++r) {
    const unsigned char* in = grey[r];
    ZR_Colour* out = (*this)[r];
    for (int32_t c = grey.m_col_lo; c <= grey.m_col_hi; ++c) out[c] = {in[c], in[c], in[c], 255};
  }
}

void ZR_Image::SetFromFloats(const ZR_Array2D<float>& m) {
  Resize(m.m_row_lo, m.m_row_hi, m.m_col_lo, m.m_col_hi);
  if (m.m_rows < 1 || m.m_cols < 1) return;
  float lo = 3.4028235e38f, hi = -3.4028235e38f;
  for (int32_t r = m.m_row_lo; r <= m.m_row_hi; ++r)
    for (int32_t c = m.m_col_lo; c <= m.m_col_hi; ++c) {
      float v = m[r][c];
      if (!std::isfinite(v)) continue;  // NaN and infinities take no part in the range
      if (v < lo) lo = v;
      if (v > hi) hi = v;
    }
  // Single precision as the stored images were made; only a range too wide for it (its span or
  // span * 255 overflows) is computed in double, where no intermediate can overflow.
  const bool wide = hi > lo && !std::isfinite((hi - lo) * 255.0f);
  for (int32_t r = m.m_row_lo; r <= m.m_row_hi; ++r) {
    const float* in = m[r];
    ZR_Colour* out = (*this)[r];
    for (int32_t c = m.m_col_lo; c <= m.m_col_hi; ++c) {
      const float v = in[c];
      uint8_t g = 0;
      if (hi > lo && std::isfinite(v)) {
        double x = wide ? (static_cast<double>(v) - lo) * 255.0 / (static_cast<double>(hi) - lo)
                        : static_cast<double>((v - lo) * 255.0f / (hi - lo));
        g = static_cast<uint8_t>(static_cast<int32_t>(std::round(x)) & 0xff);
      }
      out[c] = {g, g, g, 255};
    }
  }
}

// One table for the 256 possible bytes: the same float arithmetic per value, done once.
void ZR_GreyStretchMap(unsigned char lo, unsigned char hi, unsigned char map[256]) {
  for (int v = 0; v < 256; ++v) map[v] = 0;
  if (hi > lo)
    for (int v = lo; v <= hi; ++v) {
      float x = static_cast<float>(v - lo) / static_cast<float>(hi - lo) * 255.0f;
      float rounded = std::round(x);
      map[v] = static_cast<unsigned char>(rounded > 255.0f ? 255.0f : rounded);
    }
}

void StretchGreyRange(ZR_Array2D<unsigned char>& grey) {
  if (grey.m_rows < 1 || grey.m_cols < 1) return;
  unsigned char lo = 255, hi = 0;
  for (int32_t r = grey.m_row_lo; r <= grey.m_row_hi; ++r)
    for (int32_t c = grey.m_col_lo; c <= grey.m_col_hi; ++c) {
      if (grey[r][c] < lo) lo = grey[r][c];
      if (grey[r][c] > hi) hi = grey[r][c];
    }
  unsigned char map[256];
  ZR_GreyStretchMap(lo, hi, map);
  for (int32_t r = grey.m_row_lo; r <= grey.m_row_hi; ++r) {
    unsigned char* row = grey[r];
    for (int32_t c = grey.m_col_lo; c <= grey.m_col_hi; ++c) row[c] = map[row[c]];
  }
}
