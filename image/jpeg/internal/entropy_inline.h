// image/jpeg/internal/entropy_inline.h: the hot part of the entropy reader: bit refills, bit
// reads and Huffman decoding (ITU-T T.81 F.2.2.3), inline for the block decoders. The bit buffer
// holds at least 32 valid bits before each symbol, enough for a 16-bit code and its extra bits.
#ifndef IMAGE_JPEG_INTERNAL_ENTROPY_INLINE_H
#define IMAGE_JPEG_INTERNAL_ENTROPY_INLINE_H

#include "image/jpeg/internal/jpeg_decoder_core.h"

namespace jpgd {

// Tops the bit buffer up to more than 56 bits. Eight buffered bytes without an FF among them go
// in at once; FF bytes, markers and the end of the buffer go the slow way.
inline void jpeg_decoder_core::Refill(bit_cursor& b) {
  if (b.m_left >= 8 && !m_at_marker) {
    const uint8_t* p = b.m_ptr;
    const uint64_t v = (uint64_t{p[0]} << 56) | (uint64_t{p[1]} << 48) | (uint64_t{p[2]} << 40) |
                       (uint64_t{p[3]} << 32) | (uint64_t{p[4]} << 24) | (uint64_t{p[5]} << 16) |
                       (uint64_t{p[6]} << 8) | uint64_t{p[7]};
    const uint64_t inv = ~v;
    if (((inv - 0x0101010101010101ull) & ~inv & 0x8080808080808080ull) == 0) {
      const int32_t n = (64 - b.m_cnt) >> 3;
      b.m_buf |= (v >> (64 - 8 * n)) << (64 - b.m_cnt - 8 * n);
      b.m_ptr += n;
      b.m_left -= n;
      b.m_cnt += 8 * n;
      return;
    }
  }
  StoreBits(b);
  RefillSlow();
  b = LoadBits();
}

inline uint32_t jpeg_decoder_core::GetBits(bit_cursor& b, int32_t n) {
  if (n <= 0) return 0;
  if (b.m_cnt < n) Refill(b);
  uint32_t v = static_cast<uint32_t>(b.m_buf >> (64 - n));
  b.m_buf <<= n;
  b.m_cnt -= n;
  return v;
}

// Consumes len bits (len <= the valid bits).
inline void Consume(bit_cursor& b, int32_t len) {
  b.m_buf <<= len;
  b.m_cnt -= len;
}

// Walks the tree from a first-level reference with the 9th, 10th, ... bits; returns the symbol
// and sets *len to the bits the code took.
inline int32_t WalkTree(const huffman_lookup* h, uint64_t bits, int32_t e, int32_t* len) {
  int32_t n = 8;
  do e = h->m_tree[~e + static_cast<int32_t>((bits >> (63 - n++)) & 1)];
  while (e < 0);
  *len = n;
  return e;
}

// One symbol through the first-level table and, for codes over 8 bits, the tree.
inline int32_t jpeg_decoder_core::DecodeSymbol(bit_cursor& b, const huffman_lookup* h) {
  if (b.m_cnt < 32) Refill(b);
  int32_t e = h->m_first[b.m_buf >> 56];
  int32_t len = e >> 8;
  if (e < 0) e = WalkTree(h, b.m_buf, e, &len);
  Consume(b, len);
  return e & 0xFF;
}

// One symbol and its (symbol mod 16) extra bits, through the combined table when both fit in
// 8 bits. The extra bits are returned raw; the caller extends their sign.
inline int32_t jpeg_decoder_core::DecodeWithExtra(bit_cursor& b, const huffman_lookup* h,
                                                  int32_t* extra) {
  if (b.m_cnt < 32) Refill(b);
  int32_t e = h->m_combined[b.m_buf >> 56];
  int32_t len = (e >> 8) & 31;
  if (e >= 0 && (e & 32768)) {
    Consume(b, len);
    *extra = e >> 16;
    return e & 0xFF;
  }
  if (e < 0) e = WalkTree(h, b.m_buf, e, &len);
  Consume(b, len);
  const int32_t size = e & 15;
  *extra = size ? static_cast<int32_t>(b.m_buf >> (64 - size)) : 0;
  Consume(b, size);
  return e & 0xFF;
}

// T.81 F.2.2.1 EXTEND: the sign of a size-bit magnitude (size 1..16), without a branch: the
// sign of a coefficient is a coin toss to the branch predictor.
inline int32_t Extend(int32_t v, int32_t size) {
  const int32_t negative = ((v >> (size - 1)) & 1) - 1;  // -1 when the top bit is 0
  return v + (negative & (1 - (1 << size)));
}

}  // namespace jpgd

#endif  // IMAGE_JPEG_INTERNAL_ENTROPY_INLINE_H
