// image/zr_image_resample.cpp: ZR_Image::Smooth (separable Gaussian blur whose weights are the
// Gaussian integrated over each pixel) and ZR_Image::ResizeImage (optional blur, then bilinear
// sampling at the centres of the new pixels). Sizes are checked before any float becomes an int.
#include "image/zr_image.h"

#include <algorithm>
#include <cmath>
#include <cstring>
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

// A blur sum rounded as ZR_Bilinear's RoundToByte, without its branches so that the loop over a
// row vectorises: saturate at 256, truncate, add one from a fraction of one half on, saturate at
// 255. Sums are never negative (weights and bytes are not), and the bits of floats from +0 on
// order as their values do, NaN and infinity above 256, so the first saturation is on the bits.
inline uint8_t RoundBlurSum(float v) {
  constexpr int32_t kBits256 = 0x43800000;  // 256.0f
  int32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  bits = std::min(bits, kBits256);
  float c;
  std::memcpy(&c, &bits, sizeof c);
  const int32_t k = int32_t(c);
  const int32_t up = k + int32_t(c - float(k) >= 0.5f);
  return uint8_t(std::min(up, 255));
}

// sums[e] += weight * bytes[e] for e in from..to-1: the four bytes of a pixel and its four sums
// side by side, so this is one flat loop the compiler vectorises.
inline void AddWeighted(float* sums, const uint8_t* bytes, size_t from, size_t to, float weight) {
  for (size_t e = from; e < to; ++e) sums[e] += weight * float(bytes[e]);
}

// One smoothing pass from src into dst along rows (horizontal) or columns. Each channel of pixel
// (r, c) is the sum over t = -radius..radius, in that order, of w[|t|] times the neighbour t
// steps away, the centre pixel standing in for a neighbour beyond the bounds; alpha becomes 255.
// Every channel, alpha too, is summed (alpha's sum is dropped), four floats per pixel.
void SmoothPass(const ZR_Array2D<ZR_Colour>& src, ZR_Array2D<ZR_Colour>& dst,
                const std::vector<float>& w, bool horizontal) {
  const int radius = int(w.size()) - 1;
  const int64_t lo = src.m_col_lo, hi = src.m_col_hi;
  const size_t cols = size_t(src.m_cols);
  std::vector<float> sums(cols * 4);
  for (int32_t r = src.m_row_lo; r <= src.m_row_hi; ++r) {
    std::fill(sums.begin(), sums.end(), 0.0f);
    const uint8_t* own = reinterpret_cast<const uint8_t*>(src[r] + lo);
    // Taps run outermost, pixels innermost, so each pixel's sum still adds its terms in t order.
    for (int t = -radius; t <= radius; ++t) {
      const float weight = w[size_t(t < 0 ? -t : t)];
      if (horizontal) {
        // Columns whose neighbour t steps away lies inside take it; the ones at either end take
        // their own pixel. Split once per tap rather than tested per pixel.
        const size_t first = size_t(std::max(lo, std::min(hi + 1, lo - t)) - lo);
        const size_t last = size_t(std::min(hi, std::max(lo - 1, hi - t)) + 1 - lo);  // past
        AddWeighted(sums.data(), own, 0, 4 * first, weight);
        if (first < last)  // the neighbours: the row shifted by t pixels
          AddWeighted(sums.data() + 4 * first, own + 4 * (int64_t(first) + t), 0,
                      4 * (last - first), weight);
        AddWeighted(sums.data(), own, 4 * std::max(first, last), 4 * cols, weight);
      } else {
        const int64_t n = int64_t(r) + t;
        const uint8_t* row =
            n < src.m_row_lo || n > src.m_row_hi
                                ? own
                                : reinterpret_cast<const uint8_t*>(src[int32_t(n)] + lo);
        AddWeighted(sums.data(), row, 0, 4 * cols, weight);
      }
    }
    uint8_t* out = reinterpret_cast<uint8_t*>(dst[r] + lo);
    for (size_t e = 0; e < 4 * cols; ++e) out[e] = RoundBlurSum(sums[e]);
    for (size_t e = 3; e < 4 * cols; e += 4) out[e] = 255;
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
  ZR_Array2D<ZR_Colour> copy;  // each pass writes every pixel
  copy.ResizeForOverwrite(m_row_lo, m_row_hi, m_col_lo, m_col_hi);
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
  ZR_Image resized;  // the sampler writes every pixel
  resized.ResizeForOverwrite(static_cast<int>(new_rows), static_cast<int>(new_cols));
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
