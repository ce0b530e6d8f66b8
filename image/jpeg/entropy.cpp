// image/jpeg/entropy.cpp: the entropy reader's slow paths: FF 00 stuffing, markers inside the
// entropy-coded data and the end of the input (T.81 F.1.2.3, B.1.1.5), and restart handling.
// A marker is never consumed here: the reader delivers 1-bits until the marker is dealt with.
#include "image/jpeg/internal/entropy_inline.h"

namespace jpgd {

void jpeg_decoder_core::ResetEntropy() {
  m_bit_buf = 0;
  m_bit_cnt = 0;
  m_at_marker = false;
  m_filler_bits = 0;
}

void jpeg_decoder_core::RefillSlow() {
  while (m_bit_cnt <= 56) {
    if (m_at_marker) {
      m_filler_bits += 64 - m_bit_cnt;
      m_bit_buf |= ~uint64_t{0} >> m_bit_cnt;
      m_bit_cnt = 64;
      return;
    }
    if (m_in_left == 0) {
      FillInput();
      if (m_in_left == 0) {
        m_at_marker = true;
        continue;
      }
    }
    uint8_t b = *m_in_ptr++;
    --m_in_left;
    if (b == 0xFF) {
      if (m_in_left == 0) FillInput();
      if (m_in_left == 0 || *m_in_ptr != 0) {
        // A marker, or FF as the last byte of the file: leave the FF for the marker reader.
        PutBack(0xFF);
        m_at_marker = true;
        continue;
      }
      ++m_in_ptr;  // FF 00 is one FF data byte
      --m_in_left;
    }
    m_bit_buf |= static_cast<uint64_t>(b) << (56 - m_bit_cnt);
    m_bit_cnt += 8;
  }
}

void jpeg_decoder_core::ProcessRestart(bit_cursor& b) {
  StoreBits(b);
  // The FF search and the FF run share one budget, so no input makes this loop long.
  int32_t budget = 1536;
  uint8_t c;
  do {
    if (--budget < 0) fail(kStatusBadRestartMarker);
    c = GetByte();
  } while (c != 0xFF);
  do {
    if (--budget < 0) fail(kStatusBadRestartMarker);
    c = GetByte();
  } while (c == 0xFF);
  if (c != 0xD0 + m_next_restart) fail(kStatusBadRestartMarker);
  for (uint32_t& p : m_dc_pred) p = 0;
  m_restarts_left = m_restart_interval;
  m_eob_run = 0;
  m_next_restart = (m_next_restart + 1) & 7;
  ResetEntropy();
  b = LoadBits();
}

}  // namespace jpgd
