// image/jpeg/colour.cpp: colour tables and line producers. Chroma replication for H2V1 and H1V2
// happens here; H2V2 chroma arrives already upsampled (idct.cpp). On SSE2 eight pixels are
// converted at once with the tables' exact arithmetic. RGB frames skip the conversion.
#include "image/jpeg/colour.h"

#include <cstring>

#include "image/jpeg/internal/idct_sse2.h"

#if defined(JPGD_HAVE_SSE2)
#include <emmintrin.h>
#endif

namespace jpgd {

void BuildColourTables(colour_tables* t) {
  for (int32_t c = 0; c < 256; ++c) {
    int32_t k = c - 128;
    t->m_cr_r[c] = (91881 * k + 32768) >> 16;
    t->m_cb_b[c] = (116130 * k + 32768) >> 16;
    t->m_cr_g[c] = -46802 * k;
    t->m_cb_g[c] = -22554 * k + 32768;
  }
  t->m_rgb = false;
}

namespace {

#if defined(JPGD_HAVE_SSE2)

// (k × c + 32768) >> 16 for 16-bit k and c, from the high and low halves of the product.
inline __m128i MulRound16(__m128i k, __m128i c) {
  return _mm_add_epi16(_mm_mulhi_epi16(k, c), _mm_srli_epi16(_mm_mullo_epi16(k, c), 15));
}

// Eight pixels from the low 8 bytes of y, cb and cr: the table formulas of BuildColourTables
// with each multiplier split so that every product fits the 16-bit lanes:
// 91881 = 65536 + 26345, 116130 = 131072 - 14942, -46802 = -65536 + 18734.
inline void Convert8(__m128i y8, __m128i cb8, __m128i cr8, uint8_t* out) {
  const __m128i zero = _mm_setzero_si128(), c128 = _mm_set1_epi16(128);
  const __m128i y = _mm_unpacklo_epi8(y8, zero);
  const __m128i kb = _mm_sub_epi16(_mm_unpacklo_epi8(cb8, zero), c128);
  const __m128i kr = _mm_sub_epi16(_mm_unpacklo_epi8(cr8, zero), c128);
  const __m128i red = _mm_add_epi16(y, _mm_add_epi16(kr, MulRound16(kr, _mm_set1_epi16(26345))));
  const __m128i blue = _mm_add_epi16(
      y, _mm_add_epi16(_mm_add_epi16(kb, kb), MulRound16(kb, _mm_set1_epi16(-14942))));
  const __m128i weights = _mm_set_epi16(18734, -22554, 18734, -22554, 18734, -22554, 18734, -22554);
  const __m128i half = _mm_set1_epi32(32768);
  const __m128i g_lo =
      _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(kb, kr), weights), half), 16);
  const __m128i g_hi =
      _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(kb, kr), weights), half), 16);
  const __m128i green = _mm_add_epi16(y, _mm_sub_epi16(_mm_packs_epi32(g_lo, g_hi), kr));
  const __m128i rg = _mm_unpacklo_epi8(_mm_packus_epi16(red, red), _mm_packus_epi16(green, green));
  const __m128i ba = _mm_unpacklo_epi8(_mm_packus_epi16(blue, blue), _mm_set1_epi8(-1));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(rg, ba));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_unpackhi_epi16(rg, ba));
}

// Eight pixels red, green, blue, 255 from the low 8 bytes of r, g and b.
inline void Interleave8(__m128i r8, __m128i g8, __m128i b8, uint8_t* out) {
  const __m128i rg = _mm_unpacklo_epi8(r8, g8);
  const __m128i ba = _mm_unpacklo_epi8(b8, _mm_set1_epi8(-1));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(rg, ba));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_unpackhi_epi16(rg, ba));
}

inline __m128i Load8(const uint8_t* p) {
  return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}

// Four chroma samples, each doubled to two neighbouring pixels.
inline __m128i Load4Doubled(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  const __m128i c = _mm_cvtsi32_si128(v);
  return _mm_unpacklo_epi8(c, c);
}

// Eight pixels, chroma per pixel.
inline void Convert8(const colour_tables& t, const uint8_t* y, const uint8_t* cb, const uint8_t* cr,
                     uint8_t* out) {
  if (t.m_rgb)
    Interleave8(Load8(y), Load8(cb), Load8(cr), out);
  else
    Convert8(Load8(y), Load8(cb), Load8(cr), out);
}

// Eight pixels sharing four chroma samples in pairs.
inline void Convert8Shared(const colour_tables& t, const uint8_t* y, const uint8_t* cb,
                           const uint8_t* cr, uint8_t* out) {
  if (t.m_rgb)
    Interleave8(Load8(y), Load4Doubled(cb), Load4Doubled(cr), out);
  else
    Convert8(Load8(y), Load4Doubled(cb), Load4Doubled(cr), out);
}

#else

inline void Convert8(const colour_tables& t, const uint8_t* y, const uint8_t* cb, const uint8_t* cr,
                     uint8_t* out) {
  for (int32_t x = 0; x < 8; ++x, out += 4) {
    if (t.m_rgb)
      RgbToRgba(y[x], cb[x], cr[x], out);
    else
      YCbCrToRgba(t, y[x], cb[x], cr[x], out);
  }
}

inline void Convert8Shared(const colour_tables& t, const uint8_t* y, const uint8_t* cb,
                           const uint8_t* cr, uint8_t* out) {
  for (int32_t x = 0; x < 8; ++x, out += 4) {
    if (t.m_rgb)
      RgbToRgba(y[x], cb[x / 2], cr[x / 2], out);
    else
      YCbCrToRgba(t, y[x], cb[x / 2], cr[x / 2], out);
  }
}

#endif

}  // namespace

void ProduceGreyLine(const uint8_t* samples, int32_t mcus, int32_t row, uint8_t* out) {
  const uint8_t* s = samples + row * 8;
  for (int32_t i = 0; i < mcus; ++i, s += 64, out += 8) std::memcpy(out, s, 8);
}

void ProduceH1V1Line(const colour_tables& t, const uint8_t* samples, int32_t mcus, int32_t row,
                     uint8_t* out) {
  for (int32_t i = 0; i < mcus; ++i, samples += 3 * 64, out += 32) {
    const uint8_t* y = samples + row * 8;
    Convert8(t, y, y + 64, y + 128, out);
  }
}

void ProduceH2V1Line(const colour_tables& t, const uint8_t* samples, int32_t mcus, int32_t row,
                     uint8_t* out) {
  for (int32_t i = 0; i < mcus; ++i, samples += 4 * 64, out += 64) {
    const uint8_t* cb = samples + 128 + row * 8;
    const uint8_t* cr = cb + 64;
    Convert8Shared(t, samples + row * 8, cb, cr, out);
    Convert8Shared(t, samples + 64 + row * 8, cb + 4, cr + 4, out + 32);
  }
}

void ProduceH1V2Lines(const colour_tables& t, const uint8_t* samples, int32_t mcus, int32_t row,
                      uint8_t* out0, uint8_t* out1) {
  const int32_t luma = (row < 8 ? 0 : 64) + (row & 7) * 8;
  for (int32_t i = 0; i < mcus; ++i, samples += 4 * 64, out0 += 32, out1 += 32) {
    const uint8_t* cb = samples + 128 + (row / 2) * 8;
    const uint8_t* cr = cb + 64;
    Convert8(t, samples + luma, cb, cr, out0);
    Convert8(t, samples + luma + 8, cb, cr, out1);
  }
}

void ProduceH2V2Line(const colour_tables& t, const uint8_t* samples, int32_t mcus, int32_t row,
                     uint8_t* out) {
  const int32_t offset = (row < 8 ? 0 : 2 * 64) + (row & 7) * 8;
  for (int32_t i = 0; i < mcus; ++i, samples += 12 * 64, out += 64) {
    for (int32_t half = 0; half < 2; ++half) {
      const uint8_t* y = samples + offset + half * 64;
      Convert8(t, y, y + 4 * 64, y + 8 * 64, out + half * 32);
    }
  }
}

}  // namespace jpgd
