// image/jpeg/idct.h: the own JPEG decoder's inverse DCT (the accurate integer method of Loeffler,
// Ligtenberg and Moschytz in 13-bit fixed point, rows first) and the frequency-domain chroma
// upsampling of H2V2 frames. Coefficients are dequantised and in natural (row-major) order.
#ifndef IMAGE_JPEG_IDCT_H
#define IMAGE_JPEG_IDCT_H

#include <cstdint>

namespace jpgd {

// Natural position of each zig-zag index; 16 extra entries of 63 keep run-past-the-end indices
// inside the table.
inline constexpr uint8_t kZigzagToNatural[64 + 16] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33,
    40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36,
    29, 22, 15, 23, 30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54,
    47, 55, 62, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63};

// Transforms one block into 64 samples (row-major), level-shifted and clamped to 0..255. count
// (1..64) is one more than the zig-zag index of the last value that may be non-zero; every value
// at or after it must be 0. The result is the same for any count that satisfies this.
void IdctBlock(const int16_t* coefs, int32_t count, uint8_t* out);
// The same transform in portable scalar code; IdctBlock uses SIMD where the machine has it and
// gives identical samples.
void IdctBlockScalar(const int16_t* coefs, int32_t count, uint8_t* out);

// Turns one H2V2 chroma block (count as above) into the coefficient blocks of its four
// quadrants (top-left, top-right, bottom-left, bottom-right), each non-zero only in its top-left
// 4 × 4 and scaled to be transformed as an 8 × 8 block.
void SplitChromaBlock(const int16_t* coefs, int32_t count, int16_t quadrants[4][64]);

// SplitChromaBlock followed by the transform of each quadrant: 4 sample blocks, 256 bytes.
void UpsampleChromaBlock(const int16_t* coefs, int32_t count, uint8_t* out);

}  // namespace jpgd

#endif  // IMAGE_JPEG_IDCT_H
