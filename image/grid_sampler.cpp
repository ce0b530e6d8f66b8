// image/grid_sampler.cpp: ZR_SampleGrid. With SSE2 each pixel blends its four neighbours as one
// vector of the four channels: the same single-precision products, sums and rounding, in the same
// order, as ZR_Bilinear::Blend's per-channel loop, so the bytes are the same; only the per-channel
// conversions and branches are gone. The products of a source row with the column weights are
// made once for every grid row that blends that row (an enlarging crop blends each row many
// times). Without SSE2 the pixels go through ZR_Bilinear::Blend.
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

// RoundToBytes on four pixels at once, stored as 16 bytes.
inline void RoundToBytes4(__m128 v0, __m128 v1, __m128 v2, __m128 v3, ZR_Colour* out) {
  const __m128 half = _mm_set1_ps(0.5f);
  __m128i k[4];
  const __m128 v[4] = {v0, v1, v2, v3};
  for (int q = 0; q < 4; ++q) {
    k[q] = _mm_cvttps_epi32(v[q]);
    const __m128 fraction = _mm_sub_ps(v[q], _mm_cvtepi32_ps(k[q]));
    k[q] = _mm_sub_epi32(k[q], _mm_castps_si128(_mm_cmpge_ps(fraction, half)));
  }
  const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(k[0], k[1]), _mm_packs_epi32(k[2], k[3]));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
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

// One source row's column products: per column its first neighbour times 1 - wx, then its second
// neighbour times wx. Every term of Blend is such a product times a row weight, so the products of
// a row are made once for all the grid rows that blend it.
struct zr_row_products {
  int32_t row = 0;
  bool valid = false;
  std::vector<zr_column_weights::zr_pair> p;  // p[j].u: first * (1 - wx), p[j].w: second * wx
};

// kAdjacent: every column's second neighbour follows its first, so both come in one load.
template <bool kAdjacent>
void MakeProducts(const ZR_Bilinear<ZR_Colour>& sampler, const zr_axis& cols,
                  const zr_column_weights& weights, int32_t row, zr_row_products& out) {
  const ZR_Colour* pixels = sampler.m_rows[row];
  const size_t n = cols.w.size();
  out.p.resize(n);
  for (size_t j = 0; j < n; ++j) {
    const int32_t c0 = cols.i0[j], c1 = cols.i1[j];
    __m128 first, second;
    if (kAdjacent) {
      ChannelPair(pixels + c0, first, second);
    } else {
      first = Channels(pixels[c0]);
      second = Channels(pixels[c1]);
    }
    _mm_store_ps(out.p[j].u, _mm_mul_ps(first, _mm_load_ps(weights.pairs[j].u)));
    _mm_store_ps(out.p[j].w, _mm_mul_ps(second, _mm_load_ps(weights.pairs[j].w)));
  }
  out.row = row;
  out.valid = true;
}

// The grid's source rows' products, the last two rows made: consecutive grid rows mostly blend
// the same pair of source rows, or share one of them.
class zr_product_cache {
 public:
  zr_product_cache(const ZR_Bilinear<ZR_Colour>& sampler, const zr_axis& cols,
                   const zr_column_weights& weights)
      : m_sampler(sampler), m_cols(cols), m_weights(weights) {}

  // The products of rows r0 and r1 (made where not held), both valid until the next call.
  void Get(int32_t r0, int32_t r1, const zr_row_products*& top, const zr_row_products*& bottom) {
    const int held0 = Held(r0), held1 = Held(r1);
    const int t = held0 >= 0 ? held0 : (held1 == 0 ? 1 : 0);
    if (held0 < 0) Make(r0, m_slots[t]);
    const int b = r1 == r0 ? t : held1 >= 0 ? held1 : 1 - t;
    if (r1 != r0 && held1 < 0) Make(r1, m_slots[b]);
    top = &m_slots[t];
    bottom = &m_slots[b];
  }

 private:
  int Held(int32_t row) const {
    for (int k = 0; k < 2; ++k)
      if (m_slots[k].valid && m_slots[k].row == row) return k;
    return -1;
  }

  void Make(int32_t row, zr_row_products& s) {
    if (m_cols.adjacent)
      MakeProducts<true>(m_sampler, m_cols, m_weights, row, s);
    else
      MakeProducts<false>(m_sampler, m_cols, m_weights, row, s);
  }

  const ZR_Bilinear<ZR_Colour>& m_sampler;
  const zr_axis& m_cols;
  const zr_column_weights& m_weights;
  zr_row_products m_slots[2];
};

// The terms of Blend in its order, each (pixel * x weight) * y weight, summed from the left:
// (r0,c0), (r0,c1), (r1,c1), (r1,c0).
inline __m128 BlendTerms(const zr_column_weights::zr_pair& t, const zr_column_weights::zr_pair& b,
                         __m128 wy, __m128 uy) {
  __m128 v = _mm_mul_ps(_mm_load_ps(t.u), uy);
  v = _mm_add_ps(v, _mm_mul_ps(_mm_load_ps(t.w), uy));
  v = _mm_add_ps(v, _mm_mul_ps(_mm_load_ps(b.w), wy));
  return _mm_add_ps(v, _mm_mul_ps(_mm_load_ps(b.u), wy));
}

void SampleRow(const zr_row_products& top, const zr_row_products& bottom, float row_w,
               ZR_Colour* out) {
  const __m128 wy = _mm_set1_ps(row_w), uy = _mm_set1_ps(1 - row_w);
  const size_t n = top.p.size();
  const zr_column_weights::zr_pair* t = top.p.data();
  const zr_column_weights::zr_pair* b = bottom.p.data();
  size_t j = 0;
  for (; j + 4 <= n; j += 4)
    RoundToBytes4(BlendTerms(t[j], b[j], wy, uy), BlendTerms(t[j + 1], b[j + 1], wy, uy),
                  BlendTerms(t[j + 2], b[j + 2], wy, uy), BlendTerms(t[j + 3], b[j + 3], wy, uy),
                  out + j);
  for (; j < n; ++j) out[j] = RoundToBytes(BlendTerms(t[j], b[j], wy, uy));
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
#if defined(__SSE2__)
  zr_product_cache products(sampler, cols, weights);
#endif
  for (size_t i = 0; i < ys.size(); ++i) {
    ZR_Colour* out = dst[int32_t(i)];
    if (rows.inside[i] == 0) {
      for (size_t j = 0; j < xs.size(); ++j) out[j] = outside;
      continue;
    }
#if defined(__SSE2__)
    const zr_row_products *top, *bottom;
    products.Get(rows.i0[i], rows.i1[i], top, bottom);
    SampleRow(*top, *bottom, rows.w[i], out);
#else
    SampleRow(sampler, cols, weights, rows.i0[i], rows.i1[i], rows.w[i], out);
#endif
    for (const int32_t j : cols.outside) out[j] = outside;
  }
}
