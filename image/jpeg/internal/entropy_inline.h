// image/jpeg/internal/entropy_inline.h: the hot part of the entropy reader: bit refills, bit
// reads and Huffman decoding (ITU-T T.81 F.2.2.3), inline for the block decoders. The bit buffer
// holds at least 32 valid bits before each symbol, enough for a 16-bit code and its extra bits.
#ifndef IMAGE_JPEG_INTERNAL_ENTROPY_INLINE_H
#define IMAGE_JPEG_INTERNAL_ENTROPY_INLINE_H

#include "image/jpeg/internal/jpeg_decoder_core.h"

namespace jpgd {

// Tops the bit buffer up to more than 56 bits; plain bytes are taken straight from the buffer,
// FF bytes and the end of the buffer go the slow way.
inline void jpeg_decoder_core::Refill() {
  while (m_bit_cnt <= 56) {
    if (m_at_marker || m_in_left == 0 || *m_in_ptr == 0xFF) {
      RefillSlow();
      return;
    }
    m_bit_buf |= static_cast<uint64_t>(*m_in_ptr++) << (56 - m_bit_cnt);
    --m_in_left;
    m_bit_cnt += 8;
  }
}

inline uint32_t jpeg_decoder_core::GetBits(int32_t n) {
  if (n <= 0) return 0;
  if (m_bit_cnt < n) Refill();
  uint32_t v = static_cast<uint32_t>(m_bit_buf >> (64 - n));
  m_bit_buf <<= n;
  m_bit_cnt -= n;
  return v;
}

// One symbol through the first-level table and, for codes over 8 bits, the tree.
inline int32_t jpeg_decoder_core::DecodeSymbol(const huffman_lookup* h) {
  if (m_bit_cnt < 32) Refill();
  int32_t e = h->m_first[m_bit_buf >> 56];
  int32_t len;
  if (e >= 0) {
    len = e >> 8;
  } else {
    len = 8;
    do e = h->m_tree[~e + static_cast<int32_t>((m_bit_buf >> (63 - len++)) & 1)];
    while (e < 0);
  }
  m_bit_buf <<= len;
  m_bit_cnt -= len;
  return e & 0xFF;
}

// One symbol and its (symbol mod 16) extra bits, through the combined table when both fit in
// 8 bits. The extra bits are returned raw; the caller extends their sign.
inline int32_t jpeg_decoder_core::DecodeWithExtra(const huffman_lookup* h, int32_t* extra) {
  if (m_bit_cnt < 32) Refill();
  int32_t e = h->m_combined[m_bit_buf >> 56];
  int32_t len;
  if (e >= 0) {
    len = (e >> 8) & 31;
    if (e & 32768) {
      m_bit_buf <<= len;
      m_bit_cnt -= len;
      *extra = e >> 16;
      return e & 0xFF;
    }
  } else {
    len = 8;
    do e = h->m_tree[~e + static_cast<int32_t>((m_bit_buf >> (63 - len++)) & 1)];
    while (e < 0);
  }
  m_bit_buf <<= len;
  m_bit_cnt -= len;
  const int32_t size = e & 15;
  if (size == 0) {
    *extra = 0;
  } else {
    *extra = static_cast<int32_t>(m_bit_buf >> (64 - size));
    m_bit_buf <<= size;
    m_bit_cnt -= size;
  }
  return e & 0xFF;
}

// T.81 F.2.2.1 EXTEND: the sign of a size-bit magnitude.
inline int32_t Extend(int32_t v, int32_t size) {
  return v < (1 << (size - 1)) ? v - (1 << size) + 1 : v;
}

}  // namespace jpgd

#endif  // IMAGE_JPEG_INTERNAL_ENTROPY_INLINE_H
