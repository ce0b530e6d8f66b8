// image/grid_sampler.cpp: ZR_SampleGrid. With SSE2 each pixel blends its four neighbours as one
// vector of the four channels: the same single-precision products, sums and rounding, in the same
// order, as ZR_Bilinear::Blend's per-channel loop, so the bytes are the same; only the per-channel
// conversions and branches are gone. Without SSE2 the pixels go through ZR_Bilinear::Blend.
#include "image/internal/grid_sampler.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/zr_bilinear.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// One axis of the grid: the two neighbours of every point and the weight of the second. A point
// outside gets a harmless cell (the first pixel or two, weight 0) and inside 0.
struct zr_axis {
  std::vector<int32_t> i0, i1;
  std::vector<float> w;
  std::vector<char> inside;
  std::vector<int32_t> outside;  // the points outside, ascending
  bool adjacent = true;          // i1 = i0 + 1 for every point
};

template <bool kColumns>
void FindCells(const ZR_Bilinear<ZR_Colour>& sampler, const std::vector<float>& points,
               zr_axis& axis) {
  const size_t n = points.size();
  axis.i0.resize(n);
  axis.i1.resize(n);
  axis.w.resize(n);
  axis.inside.resize(n);
  const int32_t lo = kColumns ? sampler.m_col_lo : sampler.m_row_lo;
  for (size_t j = 0; j < n; ++j) {
    int32_t i0 = lo, i1 = lo;
    float w = 0;
    const bool inside = kColumns ? sampler.ColumnCell(points[j], i0, i1, w)
                                 : sampler.RowCell(points[j], i0, i1, w);
    if (!inside) {
      axis.outside.push_back(int32_t(j));
      i0 = lo;
      i1 = kColumns ? std::min(lo + 1, sampler.m_col_hi) : lo;
      w = 0;
    }
    axis.adjacent = axis.adjacent && i1 == i0 + 1;
    axis.inside[j] = inside ? 1 : 0;
    axis.i0[j] = i0;
    axis.i1[j] = i1;
    axis.w[j] = w;
  }
}

#if defined(__SSE2__)
inline __m128 Channels(const ZR_Colour& p) {
  int32_t word;
  std::memcpy(&word, &p, sizeof word);
  const __m128i zero = _mm_setzero_si128();
  const __m128i bytes = _mm_cvtsi32_si128(word);
  return _mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero));
}

// RoundToByte on the four channels: truncate, add one from a fraction of one half on, saturate.
// Blends are never negative and never near the truncation's limit.
inline ZR_Colour RoundToBytes(__m128 v) {
  __m128i k = _mm_cvttps_epi32(v);
  const __m128 fraction = _mm_sub_ps(v, _mm_cvtepi32_ps(k));
  k = _mm_sub_epi32(k, _mm_castps_si128(_mm_cmpge_ps(fraction, _mm_set1_ps(0.5f))));
  const __m128i words = _mm_packs_epi32(k, k);
  const int32_t word = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
  ZR_Colour out;
  std::memcpy(&out, &word, sizeof out);
  return out;
}

// The column weights broadcast to the four channels, made once per grid: per column the weight
// of the second neighbour, then 1 - it.
struct zr_column_weights {
  struct alignas(16) zr_pair {
    float w[4], u[4];
  };
  std::vector<zr_pair> pairs;
  explicit zr_column_weights(const zr_axis& cols) : pairs(cols.w.size()) {
    for (size_t j = 0; j < pairs.size(); ++j)
      for (int k = 0; k < 4; ++k) {
        pairs[j].w[k] = cols.w[j];
        pairs[j].u[k] = 1 - cols.w[j];
      }
  }
};

// The two pixels p[0] and p[1] as four channels each (one 8-byte load).
inline void ChannelPair(const ZR_Colour* p, __m128& first, __m128& second) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i pair = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
  const __m128i words = _mm_unpacklo_epi8(pair, zero);
  first = _mm_cvtepi32_ps(_mm_unpacklo_epi16(words, zero));
  second = _mm_cvtepi32_ps(_mm_unpackhi_epi16(words, zero));
}

// kAdjacent: every column's second neighbour follows its first, so both come in one load.
template <bool kAdjacent>
void SampleRow(const ZR_Bilinear<ZR_Colour>& sampler, const zr_axis& cols,
               const zr_column_weights& weights, int32_t r0, int32_t r1, float row_w,
               ZR_Colour* out) {
  const ZR_Colour* top = sampler.m_rows[r0];
  const ZR_Colour* bottom = sampler.m_rows[r1];
  const __m128 wy = _mm_set1_ps(row_w), uy = _mm_set1_ps(1 - row_w);
  const size_t n = cols.w.size();
  for (size_t j = 0; j < n; ++j) {
    const int32_t c0 = cols.i0[j], c1 = cols.i1[j];
    const __m128 wx = _mm_load_ps(weights.pairs[j].w), ux = _mm_load_ps(weights.pairs[j].u);
    __m128 a, b, c, d;  // (r0,c0), (r0,c1), (r1,c1), (r1,c0)
    if (kAdjacent) {
      ChannelPair(top + c0, a, b);
      ChannelPair(bottom + c0, d, c);
    } else {
      a = Channels(top[c0]);
      b = Channels(top[c1]);
      c = Channels(bottom[c1]);
      d = Channels(bottom[c0]);
    }
    // The terms of Blend in its order, each (pixel * x weight) * y weight, summed from the left.
    __m128 v = _mm_mul_ps(_mm_mul_ps(a, ux), uy);
    v = _mm_add_ps(v, _mm_mul_ps(_mm_mul_ps(b, wx), uy));
    v = _mm_add_ps(v, _mm_mul_ps(_mm_mul_ps(c, wx), wy));
    v = _mm_add_ps(v, _mm_mul_ps(_mm_mul_ps(d, ux), wy));
    out[j] = RoundToBytes(v);
  }
}

void SampleRow(const ZR_Bilinear<ZR_Colour>& sampler, const zr_axis& cols,
               const zr_column_weights& weights, int32_t r0, int32_t r1, float row_w,
               ZR_Colour* out) {
  if (cols.adjacent)
    SampleRow<true>(sampler, cols, weights, r0, r1, row_w, out);
  else
    SampleRow<false>(sampler, cols, weights, r0, r1, row_w, out);
}
#else
struct zr_column_weights {
  explicit zr_column_weights(const zr_axis&) {}
};

void SampleRow(const ZR_Bilinear<ZR_Colour>& sampler, const zr_axis& cols,
               const zr_column_weights&, int32_t r0, int32_t r1, float row_w, ZR_Colour* out) {
  const size_t n = cols.w.size();
  for (size_t j = 0; j < n; ++j)
    out[j] = sampler.Blend(r0, r1, row_w, cols.i0[j], cols.i1[j], cols.w[j]);
}
#endif

}  // namespace

void ZR_SampleGrid(const ZR_Array2D<ZR_Colour>& src, const std::vector<float>& xs,
                   const std::vector<float>& ys, const ZR_Colour& outside,
                   ZR_Array2D<ZR_Colour>& dst) {
  const ZR_Bilinear<ZR_Colour> sampler(src);
  zr_axis cols, rows;
  FindCells<true>(sampler, xs, cols);
  FindCells<false>(sampler, ys, rows);
  const zr_column_weights weights(cols);
  for (size_t i = 0; i < ys.size(); ++i) {
    ZR_Colour* out = dst[int32_t(i)];
    if (rows.inside[i] == 0) {
      for (size_t j = 0; j < xs.size(); ++j) out[j] = outside;
      continue;
    }
    SampleRow(sampler, cols, weights, rows.i0[i], rows.i1[i], rows.w[i], out);
    for (const int32_t j : cols.outside) out[j] = outside;
  }
}
