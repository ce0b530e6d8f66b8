// face/detect/internal/hog_filter.cpp: the separable float filter of the HOG detector's scans.
// The eight-wide blocks are dlib's own code; the outputs between them and the border, which dlib
// sums one at a time, are summed four at a time, each lane in dlib's term order.
#include "face/detect/internal/hog_filter.h"

#include <algorithm>

#include <dlib/simd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// One output: the sum from 0 of in[n * stride] * filter[n], adding the terms in n order.
inline float FilterOne(const float* in, long stride, const float* filter, long taps) {
  float sum = 0;
  for (long n = 0; n < taps; ++n) sum += in[n * stride] * filter[n];
  return sum;
}

#if defined(__SSE2__)
// FilterOne of in[k] for k = 0..3, one per lane.
inline __m128 FilterFour(const float* in, long stride, const float* filter, long taps) {
  __m128 sum = _mm_setzero_ps();
  for (long n = 0; n < taps; ++n)
    sum = _mm_add_ps(sum, _mm_mul_ps(_mm_loadu_ps(in + n * stride), _mm_set1_ps(filter[n])));
  return sum;
}
#endif

// out[k] = FilterOne(in + k, ...) for k = 0..count-1, four at a time. A last group of fewer
// than four is computed as the four ending at count when before (the starts readable ahead of
// in) allows, keeping only its new lanes.
inline void FilterRun(const float* in, long stride, const float* filter, long taps, long count,
                      long before, float* out) {
  long k = 0;
#if defined(__SSE2__)
  for (; k + 4 <= count; k += 4) _mm_storeu_ps(out + k, FilterFour(in + k, stride, filter, taps));
  if (k < count && count - 4 >= -before) {
    alignas(16) float lanes[4];
    const long g = count - 4;
    _mm_store_ps(lanes, FilterFour(in + g, stride, filter, taps));
    for (; k < count; ++k) out[k] = lanes[k - g];
  }
#else
  (void)before;
#endif
  for (; k < count; ++k) out[k] = FilterOne(in + k, stride, filter, taps);
}

}  // namespace

namespace dlib {

template <>
rectangle float_spatially_filter_image_separable<array2d<float>, array2d<float>,
                                                 matrix<float, 0, 1>, matrix<float, 0, 1>>(
    const array2d<float>& in_img, array2d<float>& out_img,
    const matrix_exp<matrix<float, 0, 1>>& row_filter_exp,
    const matrix_exp<matrix<float, 0, 1>>& col_filter_exp, array2d<float>& scratch, bool add_to) {
  const matrix<float, 0, 1>& row_filter = row_filter_exp.ref();
  const matrix<float, 0, 1>& col_filter = col_filter_exp.ref();
  if (in_img.size() == 0) {
    out_img.clear();
    return rectangle();
  }
  out_img.set_size(in_img.nr(), in_img.nc());

  const long first_row = col_filter.size() / 2;
  const long first_col = row_filter.size() / 2;
  const long last_row = in_img.nr() - ((col_filter.size() - 1) / 2);
  const long last_col = in_img.nc() - ((row_filter.size() - 1) / 2);

  const rectangle non_border = rectangle(first_col, first_row, last_col - 1, last_row - 1);
  if (!add_to) zero_border_pixels(out_img, non_border);

  scratch.set_size(in_img.nr(), in_img.nc());
  const float* row_taps = row_filter.size() != 0 ? &row_filter(0) : nullptr;
  const float* col_taps = col_filter.size() != 0 ? &col_filter(0) : nullptr;
  const long stride = in_img.nc();  // array2d rows are contiguous, one after the other

  // The row filter.
  for (long r = 0; r < in_img.nr(); ++r) {
    long c = first_col;
    for (; c < last_col - 7; c += 8) {
      simd8f p, p2, p3, temp = 0, temp2 = 0, temp3 = 0;
      long n = 0;
      for (; n < row_filter.size() - 2; n += 3) {
        p.load(&in_img[r][c - first_col + n]);
        p2.load(&in_img[r][c - first_col + n + 1]);
        p3.load(&in_img[r][c - first_col + n + 2]);
        temp += p * row_filter(n);
        temp2 += p2 * row_filter(n + 1);
        temp3 += p3 * row_filter(n + 2);
      }
      for (; n < row_filter.size(); ++n) {
        p.load(&in_img[r][c - first_col + n]);
        temp += p * row_filter(n);
      }
      temp += temp2 + temp3;
      temp.store(&scratch[r][c]);
    }
    if (c < last_col)
      FilterRun(&in_img[r][c - first_col], 1, row_taps, row_filter.size(), last_col - c,
                c - first_col, &scratch[r][c]);
  }

  // The column filter.
  float sums[8];
  for (long r = first_row; r < last_row; ++r) {
    long c = first_col;
    for (; c < last_col - 7; c += 8) {
      simd8f p, p2, p3, temp = 0, temp2 = 0, temp3 = 0;
      long m = 0;
      for (; m < col_filter.size() - 2; m += 3) {
        p.load(&scratch[r - first_row + m][c]);
        p2.load(&scratch[r - first_row + m + 1][c]);
        p3.load(&scratch[r - first_row + m + 2][c]);
        temp += p * col_filter(m);
        temp2 += p2 * col_filter(m + 1);
        temp3 += p3 * col_filter(m + 2);
      }
      for (; m < col_filter.size(); ++m) {
        p.load(&scratch[r - first_row + m][c]);
        temp += p * col_filter(m);
      }
      temp += temp2 + temp3;
      if (!add_to) {
        temp.store(&out_img[r][c]);
      } else {
        p.load(&out_img[r][c]);
        temp += p;
        temp.store(&out_img[r][c]);
      }
    }
    while (c < last_col) {
      const long count = std::min(last_col - c, 8L);
      FilterRun(&scratch[r - first_row][c], stride, col_taps, col_filter.size(), count,
                c - first_col, sums);
      float* out = &out_img[r][c];
      for (long k = 0; k < count; ++k) {
        if (!add_to)
          out[k] = sums[k];
        else
          out[k] += sums[k];
      }
      c += count;
    }
  }
  return non_border;
}

}  // namespace dlib
