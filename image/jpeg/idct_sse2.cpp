// image/jpeg/idct_sse2.cpp: the rows-first integer inverse DCT on SSE2. Within one pass the
// transform is an exact integer linear map with a single rounding at the end, so the butterfly's
// odd part is folded into 16-bit constant pairs for pmaddwd and the sums come out identical to the
// scalar passes. For 16-bit inputs every final sum fits 32 bits (at most 2.04e9 with rounding);
// partial sums wrap harmlessly. The only case left to the scalar passes: row-pass values beyond
// 16 bits, which the column pass cannot take.
#include "image/jpeg/internal/idct_sse2.h"

#if defined(JPGD_HAVE_SSE2)

#include <emmintrin.h>

namespace jpgd {

namespace {

inline __m128i Pair(int16_t a, int16_t b) {
  return _mm_set_epi16(b, a, b, a, b, a, b, a);
}

// 8×8 transpose of 16-bit lanes.
inline void Transpose(__m128i v[8]) {
  __m128i t0 = _mm_unpacklo_epi16(v[0], v[1]), t1 = _mm_unpackhi_epi16(v[0], v[1]);
  __m128i t2 = _mm_unpacklo_epi16(v[2], v[3]), t3 = _mm_unpackhi_epi16(v[2], v[3]);
  __m128i t4 = _mm_unpacklo_epi16(v[4], v[5]), t5 = _mm_unpackhi_epi16(v[4], v[5]);
  __m128i t6 = _mm_unpacklo_epi16(v[6], v[7]), t7 = _mm_unpackhi_epi16(v[6], v[7]);
  __m128i u0 = _mm_unpacklo_epi32(t0, t2), u1 = _mm_unpackhi_epi32(t0, t2);
  __m128i u2 = _mm_unpacklo_epi32(t1, t3), u3 = _mm_unpackhi_epi32(t1, t3);
  __m128i u4 = _mm_unpacklo_epi32(t4, t6), u5 = _mm_unpackhi_epi32(t4, t6);
  __m128i u6 = _mm_unpacklo_epi32(t5, t7), u7 = _mm_unpackhi_epi32(t5, t7);
  v[0] = _mm_unpacklo_epi64(u0, u4), v[1] = _mm_unpackhi_epi64(u0, u4);
  v[2] = _mm_unpacklo_epi64(u1, u5), v[3] = _mm_unpackhi_epi64(u1, u5);
  v[4] = _mm_unpacklo_epi64(u2, u6), v[5] = _mm_unpackhi_epi64(u2, u6);
  v[6] = _mm_unpacklo_epi64(u3, u7), v[7] = _mm_unpackhi_epi64(u3, u7);
}

// One 1-D pass over four lanes (one half of the eight), inputs interleaved in pairs: (x0, x4),
// (x2, x6), (x1, x3), (x5, x7). With N = 4 the inputs x4 to x7 are zero. Adds round, shifts.
template <int N, int Shift>
inline void PassHalf(__m128i p04, __m128i p26, __m128i p13, __m128i p57, __m128i round,
                     __m128i out[8]) {
  __m128i tmp0 = _mm_add_epi32(_mm_madd_epi16(p04, Pair(8192, 8192)), round);
  __m128i tmp1 = _mm_add_epi32(_mm_madd_epi16(p04, Pair(8192, -8192)), round);
  __m128i tmp3 = _mm_madd_epi16(p26, Pair(10703, 4433));
  __m128i tmp2 = _mm_madd_epi16(p26, Pair(4433, -10704));
  __m128i tmp10 = _mm_add_epi32(tmp0, tmp3), tmp13 = _mm_sub_epi32(tmp0, tmp3);
  __m128i tmp11 = _mm_add_epi32(tmp1, tmp2), tmp12 = _mm_sub_epi32(tmp1, tmp2);
  __m128i o0 = _mm_madd_epi16(p13, Pair(2260, -6436));
  __m128i o1 = _mm_madd_epi16(p13, Pair(6437, -11362));
  __m128i o2 = _mm_madd_epi16(p13, Pair(9633, -2259));
  __m128i o3 = _mm_madd_epi16(p13, Pair(11363, 9633));
  if (N > 4) {
    o0 = _mm_add_epi32(o0, _mm_madd_epi16(p57, Pair(9633, -11363)));
    o1 = _mm_add_epi32(o1, _mm_madd_epi16(p57, Pair(2261, 9633)));
    o2 = _mm_add_epi32(o2, _mm_madd_epi16(p57, Pair(-11362, -6436)));
    o3 = _mm_add_epi32(o3, _mm_madd_epi16(p57, Pair(6437, 2260)));
  }
  out[0] = _mm_srai_epi32(_mm_add_epi32(tmp10, o3), Shift);
  out[7] = _mm_srai_epi32(_mm_sub_epi32(tmp10, o3), Shift);
  out[1] = _mm_srai_epi32(_mm_add_epi32(tmp11, o2), Shift);
  out[6] = _mm_srai_epi32(_mm_sub_epi32(tmp11, o2), Shift);
  out[2] = _mm_srai_epi32(_mm_add_epi32(tmp12, o1), Shift);
  out[5] = _mm_srai_epi32(_mm_sub_epi32(tmp12, o1), Shift);
  out[3] = _mm_srai_epi32(_mm_add_epi32(tmp13, o0), Shift);
  out[4] = _mm_srai_epi32(_mm_sub_epi32(tmp13, o0), Shift);
}

// One 1-D pass over eight lanes: x[k] holds input k of every lane; lo and hi receive the 32-bit
// outputs of lanes 0-3 and 4-7.
template <int N, int Shift>
inline void Pass(const __m128i x[8], __m128i round, __m128i lo[8], __m128i hi[8]) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i x4 = N > 4 ? x[4] : zero, x6 = N > 4 ? x[6] : zero;
  const __m128i x5 = N > 4 ? x[5] : zero, x7 = N > 4 ? x[7] : zero;
  PassHalf<N, Shift>(_mm_unpacklo_epi16(x[0], x4), _mm_unpacklo_epi16(x[2], x6),
                     _mm_unpacklo_epi16(x[1], x[3]), _mm_unpacklo_epi16(x5, x7), round, lo);
  PassHalf<N, Shift>(_mm_unpackhi_epi16(x[0], x4), _mm_unpackhi_epi16(x[2], x6),
                     _mm_unpackhi_epi16(x[1], x[3]), _mm_unpackhi_epi16(x5, x7), round, hi);
}

// Row pass on the transposed block: returns false when an output needs more than 16 bits.
template <int N>
inline bool RowPass(__m128i v[8]) {
  Transpose(v);  // v[k]: coefficient k of each row
  __m128i lo[8], hi[8];
  Pass<N, 11>(v, _mm_set1_epi32(1024), lo, hi);
  // Each value + 0x8000 stays below 0x10000 exactly when the value fits 16 bits.
  const __m128i bias = _mm_set1_epi32(0x8000);
  __m128i spill = _mm_setzero_si128();
  for (int i = 0; i < 8; ++i) {
    spill = _mm_or_si128(spill, _mm_add_epi32(lo[i], bias));
    spill = _mm_or_si128(spill, _mm_add_epi32(hi[i], bias));
    v[i] = _mm_packs_epi32(lo[i], hi[i]);  // v[i]: output column i of each row
  }
  const __m128i high = _mm_srli_epi32(spill, 16);
  return _mm_movemask_epi8(_mm_cmpeq_epi32(high, _mm_setzero_si128())) == 0xFFFF;
}

// Column pass: v[i] holds workspace column i across the rows; writes 8 rows of 8 samples.
template <int N>
inline void ColumnPass(__m128i v[8], uint8_t* out) {
  Transpose(v);  // v[r]: workspace row r across the columns
  __m128i lo[8], hi[8];
  Pass<N, 18>(v, _mm_set1_epi32((1 << 17) + (128 << 18)), lo, hi);
  for (int j = 0; j < 8; ++j) {
    const __m128i words = _mm_packs_epi32(lo[j], hi[j]);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 8 * j), _mm_packus_epi16(words, words));
  }
}

}  // namespace

bool IdctBlockSse2(const int16_t* coefs, int32_t rows_used, int32_t cols_used, uint8_t* out) {
  __m128i v[8];
  for (int r = 0; r < 8; ++r)
    v[r] = r < rows_used ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefs + 8 * r))
                         : _mm_setzero_si128();
  const bool fits = cols_used <= 4 ? RowPass<4>(v) : RowPass<8>(v);
  if (!fits) return false;
  // Rows at and below rows_used transform to 0, so the column pass may drop them too.
  if (rows_used <= 4)
    ColumnPass<4>(v, out);
  else
    ColumnPass<8>(v, out);
  return true;
}

}  // namespace jpgd

#endif  // JPGD_HAVE_SSE2
