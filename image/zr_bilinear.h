// image/zr_bilinear.h: ZR_Bilinear<ZR_Colour>, the one bilinear sampler behind every resize and
// crop, and IntegrateGaussian, the per-pixel weight of the pre-shrink blur. The sampler tests a
// coordinate's range before converting it to an int, so NaN, infinite and huge points sample as
// the outside colour, and it never reads outside the image, also over 1-row or 1-column images.
#ifndef IMAGE_ZR_BILINEAR_H
#define IMAGE_ZR_BILINEAR_H

#include <cstdint>

#include "core/zr_array2d.h"
#include "core/zr_point.h"
#include "image/zr_colour.h"

// ZR_BilinearBase: the cell and weights of the last point set, over a column and a row range.
//   Pixel (r, c) is centred at (c + 0.5, r + 0.5); a point is inside for
//   colLo - 1.5 < x < colHi + 1.5 (the same for y with the rows), and takes the first or last
//   column unblended beyond the outer pixel centres.
class ZR_BilinearBase {
 public:
  virtual ~ZR_BilinearBase() {}

  // 1 when (x, y) is outside the image (or the image has no pixels), else 0 with m_c0, m_c1,
  // m_r0, m_r1 inside the ranges and m_wx, m_wy the weights of m_c1 and m_r1.
  int32_t SetPoint(float x, float y) {
    return Axis(x, m_col_lo, m_col_hi, m_c0, m_c1, m_wx) &&
                   Axis(y, m_row_lo, m_row_hi, m_r0, m_r1, m_wy)
               ? 0
               : 1;
  }

  // One axis of SetPoint alone, for callers that sample a grid and set each column and each row
  // once: false when x (or y) is outside, else the two neighbours and the weight of the second.
  bool ColumnCell(float x, int32_t& c0, int32_t& c1, float& wx) const {
    return Axis(x, m_col_lo, m_col_hi, c0, c1, wx);
  }
  bool RowCell(float y, int32_t& r0, int32_t& r1, float& wy) const {
    return Axis(y, m_row_lo, m_row_hi, r0, r1, wy);
  }

  float m_wx = 0;
  float m_wy = 0;
  int32_t m_c0 = 0;
  int32_t m_c1 = 0;
  int32_t m_r0 = 0;
  int32_t m_r1 = 0;
  int32_t m_col_lo;
  int32_t m_col_hi;
  int32_t m_row_lo;
  int32_t m_row_hi;

 protected:
  ZR_BilinearBase(int32_t col_lo, int32_t col_hi, int32_t row_lo, int32_t row_hi)
      : m_col_lo(col_lo), m_col_hi(col_hi), m_row_lo(row_lo), m_row_hi(row_hi) {}

 private:
  // One axis of SetPoint; false when v is outside lo..hi.
  static bool Axis(float v, int32_t lo, int32_t hi, int32_t& i0, int32_t& i1, float& w) {
    const int64_t n = int64_t(hi) - lo + 1;
    if (n < 1) return false;
    const float t = v - float(lo) + 0.5f;
    // Also false for NaN, and tested before the conversion, which is undefined out of range.
    if (!(t > -1.0f && t < float(n) + 1.0f)) return false;
    const int32_t k = int32_t(t);  // toward zero: 0..n
    if (k == 0) {
      i0 = lo;
      i1 = lo + 1;
      w = 0;
    } else if (k == n) {
      i0 = hi - 1;
      i1 = hi;
      w = 1;
    } else {
      i0 = lo + k - 1;
      i1 = lo + k;
      w = t - float(k);
    }
    // One pixel wide: the neighbour the rules name lies outside; it has weight 0 (or takes the
    // place of the only one), so both become the one pixel there is.
    if (i1 > hi) i1 = hi;
    if (i0 < lo) i0 = lo;
    return true;
  }
};

template <class T>
class ZR_Bilinear;

// ZR_Bilinear<ZR_Colour>: samples a pixel array it borrows. It must not outlive the array, and
//   the array must not be resized while it is in use; it frees nothing. m_outside (opaque mid
//   grey after construction) is returned for points outside; users overwrite it.
template <>
class ZR_Bilinear<ZR_Colour> : public ZR_BilinearBase {
 public:
  explicit ZR_Bilinear(const ZR_Array2D<ZR_Colour>& pixels)
      : ZR_BilinearBase(pixels.m_col_lo, pixels.m_col_hi, pixels.m_row_lo, pixels.m_row_hi),
        m_rows(pixels.m_row_table.m_data),
        m_outside{0x80, 0x80, 0x80, 0xff} {}
  ~ZR_Bilinear() override {}

  // The four neighbours blended per byte in single precision, the terms in the order
  // (r0,c0), (r0,c1), (r1,c1), (r1,c0), rounded half away from zero; or m_outside.
  ZR_Colour Sample(const ZR_Vector2D& p) {
    if (SetPoint(p.x, p.y)) return m_outside;
    return Blend(m_r0, m_r1, m_wy, m_c0, m_c1, m_wx);
  }

  // The blend of Sample for a cell found by RowCell and ColumnCell.
  ZR_Colour Blend(int32_t r0, int32_t r1, float wy, int32_t c0, int32_t c1, float wx) const {
    const uint8_t* a = &m_rows[r0][c0].r;
    const uint8_t* b = &m_rows[r0][c1].r;
    const uint8_t* c = &m_rows[r1][c1].r;
    const uint8_t* d = &m_rows[r1][c0].r;
    const float ux = 1 - wx, uy = 1 - wy;
    uint8_t out[4];
    for (int k = 0; k < 4; ++k) {
      const float v = float(a[k]) * ux * uy + float(b[k]) * wx * uy + float(c[k]) * wx * wy +
                      float(d[k]) * ux * wy;
      out[k] = RoundToByte(v);
    }
    return ZR_Colour{out[0], out[1], out[2], out[3]};
  }

  // v >= 0 rounded half away from zero, saturated at 255. Exact: v - trunc(v) has no rounding.
  static uint8_t RoundToByte(float v) {
    if (!(v < 255.0f)) return 255;
    const int32_t k = int32_t(v);
    return uint8_t(v - float(k) >= 0.5f ? k + 1 : k);
  }

  ZR_Colour* const* m_rows;  // the image's row table (biased: row r is m_rows[r]), not owned
  ZR_Colour m_outside;
};

// The integral of exp(-x^2 / (2 sigma^2)) from a to b by Simpson's rule over trapezoid
// refinements (20 rounds at most), in single precision with the exponential in double. Its
// running sums are locals, so all workers may call it at once.
float IntegrateGaussian(float sigma, float a, float b);

#endif  // IMAGE_ZR_BILINEAR_H
