// image/jpeg/internal/idct_sse2.h: the inverse DCT of idct.cpp on SSE2, eight lanes at a time, and
// the switch that selects the decoder's SIMD paths.
#ifndef IMAGE_JPEG_INTERNAL_IDCT_SSE2_H
#define IMAGE_JPEG_INTERNAL_IDCT_SSE2_H

#include <cstdint>

namespace jpgd {

// JPGD_NO_SIMD builds the portable scalar paths only (to test them on SSE2 machines).
#if defined(__SSE2__) && !defined(JPGD_NO_SIMD)
#define JPGD_HAVE_SSE2 1
// Transforms one block whose non-zero values lie in its first rows_used rows and cols_used
// columns (natural order), exactly as the scalar passes do. Returns false, writing nothing, when
// a row-pass value does not fit 16 bits; the caller then uses the scalar passes.
bool IdctBlockSse2(const int16_t* coefs, int32_t rows_used, int32_t cols_used, uint8_t* out);
#endif

}  // namespace jpgd

#endif  // IMAGE_JPEG_INTERNAL_IDCT_SSE2_H
