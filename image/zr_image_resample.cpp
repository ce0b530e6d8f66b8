// image/zr_image_resample.cpp: ZR_Image::Smooth (separable Gaussian blur whose weights are the
// Gaussian integrated over each pixel) and ZR_Image::ResizeImage (optional blur, then bilinear
// sampling at the centres of the new pixels). Sizes are checked before any float becomes an int.
#include "image/zr_image.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "image/image_limits.h"
#include "image/internal/grid_sampler.h"
#include "image/internal/resample_support.h"
#include "image/zr_bilinear.h"
#include "image/zr_image_exception.h"

namespace {

// Radii beyond the largest image side only add centre-pixel taps; refusing them keeps the kernel
// allocation and the loops bounded.
constexpr int kMaxSmoothRadius = int(kZrMaxImageSide);

// One smoothing pass from src into dst along rows (horizontal) or columns. Each channel of pixel
// (r, c) is the sum over t = -radius..radius, in that order, of w[|t|] times the neighbour t
// steps away, the centre pixel standing in for a neighbour beyond the bounds; alpha becomes 255.
void SmoothPass(const ZR_Array2D<ZR_Colour>& src, ZR_Array2D<ZR_Colour>& dst,
                const std::vector<float>& w, bool horizontal) {
  const int radius = int(w.size()) - 1;
  const int32_t cols = src.m_cols;
  std::vector<float> sums(size_t(cols) * 3);
  for (int32_t r = src.m_row_lo; r <= src.m_row_hi; ++r) {
    std::fill(sums.begin(), sums.end(), 0.0f);
    // Taps run outermost, pixels innermost, so each pixel's sum still adds its terms in t order.
    for (int t = -radius; t <= radius; ++t) {
      const float weight = w[size_t(t < 0 ? -t : t)];
      if (horizontal) {
        // Columns whose neighbour t steps away lies inside take it; the ones at either end take
        // their own pixel. Split once per tap rather than tested per pixel.
        const ZR_Colour* row = src[r];
        const int64_t lo = src.m_col_lo, hi = src.m_col_hi;
        const int64_t first = std::max(lo, std::min(hi + 1, lo - t));
        const int64_t last = std::min(hi, std::max(lo - 1, hi - t));
        const auto add = [&](int64_t c, const ZR_Colour& p) {
          const size_t i = size_t(c - lo);
          sums[3 * i] += weight * float(p.r);
          sums[3 * i + 1] += weight * float(p.g);
          sums[3 * i + 2] += weight * float(p.b);
        };
        for (int64_t c = lo; c < first; ++c) add(c, row[c]);
        for (int64_t c = first; c <= last; ++c) add(c, row[c + t]);
        for (int64_t c = std::max(first, last + 1); c <= hi; ++c) add(c, row[c]);
      } else {
        const int64_t n = int64_t(r) + t;
        const ZR_Colour* row = n < src.m_row_lo || n > src.m_row_hi ? src[r] : src[int32_t(n)];
        for (int32_t c = src.m_col_lo, i = 0; c <= src.m_col_hi; ++c, ++i) {
          sums[3 * size_t(i)] += weight * float(row[c].r);
          sums[3 * size_t(i) + 1] += weight * float(row[c].g);
          sums[3 * size_t(i) + 2] += weight * float(row[c].b);
        }
      }
    }
    ZR_Colour* out = dst[r];
    for (int32_t c = src.m_col_lo, i = 0; c <= src.m_col_hi; ++c, ++i)
      out[c] = ZR_Colour{ZR_Bilinear<ZR_Colour>::RoundToByte(sums[3 * size_t(i)]),
                         ZR_Bilinear<ZR_Colour>::RoundToByte(sums[3 * size_t(i) + 1]),
                         ZR_Bilinear<ZR_Colour>::RoundToByte(sums[3 * size_t(i) + 2]), 255};
  }
}

}  // namespace

void ZR_Image::Smooth(float sigma, int radius) {
  if (!(sigma > 0) || !std::isfinite(sigma) || radius < 0 || radius > kMaxSmoothRadius) return;
  if (m_count == 0) return;
  std::vector<float> w(size_t(radius) + 1);
  const float scale = 1 / (sigma * 2.5066283f);  // 1 / (sigma sqrt(2 pi)); not renormalised
  for (int i = 0; i <= radius; ++i)
    w[size_t(i)] = IntegrateGaussian(sigma, float(i) - 0.5f, float(i) + 0.5f) * scale;
  ZR_Array2D<ZR_Colour> copy;
  copy.Resize(m_row_lo, m_row_hi, m_col_lo, m_col_hi);
  SmoothPass(*this, copy, w, true);
  SmoothPass(copy, *this, w, false);
}

void ZR_Image::ResizeImage(unsigned new_rows, unsigned new_cols, bool smooth) {
  if (int64_t(new_rows) == m_rows && int64_t(new_cols) == m_cols) return;
  if (m_rows < 2 || m_cols < 2)
    throw ZR_ImageException("ZR_Image::ResizeImage() Error! : image too small for resizing!\n");
  // A zero side would make the shrink factor infinite; an oversized one exhausts memory.
  if (!ZR_ImageSizeOk(int64_t(new_cols), int64_t(new_rows))) {
    ZR_String message("ZR_Image::ResizeImage() Error! : cannot resize to ");
    message += std::to_string(new_rows).c_str();
    message += " x ";
    message += std::to_string(new_cols).c_str();
    message += " (rows x columns)\n";
    throw ZR_ImageException(message);
  }
  const int32_t rows = m_rows, cols = m_cols;
  ZR_Image resized(static_cast<int>(new_rows), static_cast<int>(new_cols));
  if (int64_t(new_rows) < rows || int64_t(new_cols) < cols) {
    const float f = (float(rows) / float(new_rows) + float(cols) / float(new_cols)) * 0.5f;
    if (smooth) Smooth(f * 0.125f, int(ZR_RoundHalfAway(f * 0.5f)));
  }
  std::vector<float> xs(new_cols), ys(new_rows);
  for (uint32_t j = 0; j < new_cols; ++j)
    xs[j] = ((float(j) + 0.5f) / float(new_cols)) * float(cols);
  for (uint32_t i = 0; i < new_rows; ++i)
    ys[i] = ((float(i) + 0.5f) / float(new_rows)) * float(rows);
  // The sampler's own outside colour unless the image names one (bounds that do not start at 0
  // can put centres outside).
  const ZR_Colour outside =
      m_background != nullptr ? *m_background : ZR_Bilinear<ZR_Colour>(*this).m_outside;
  ZR_SampleGrid(*this, xs, ys, outside, resized);
  ZR_TakePixels(*this, resized);
  m_quality = 100;
  m_text = kZrImageNotice;
  m_background = nullptr;
}
