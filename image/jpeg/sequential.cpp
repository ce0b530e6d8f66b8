// image/jpeg/sequential.cpp: sequential Huffman decoding one MCU row at a time (T.81 F.2.2). The
// MCU coefficient buffer is not cleared whole for every block: each block clears what the block
// before it at the same MCU position left behind, and its count tells the transform where values
// end.
#include "image/jpeg/internal/entropy_inline.h"

#include <cstring>

#include "image/jpeg/idct.h"

namespace jpgd {

void jpeg_decoder_core::CheckSequentialScan() {
  // One scan must carry every component, in frame order: the MCU buffers are laid out for it.
  if (m_comps_in_scan != m_comps_in_frame) fail(kStatusBadScanLayout);
  for (int32_t i = 0; i < m_comps_in_scan; ++i)
    if (m_comp_list[i] != i) fail(kStatusBadScanLayout);
}

void jpeg_decoder_core::DecodeMcuRow() {
  const uint8_t* zz = kZigzagToNatural;
  bit_cursor bits = LoadBits();
  for (int32_t mcu = 0; mcu < m_mcus_per_row; ++mcu) {
    if (m_restart_interval && m_restarts_left == 0) ProcessRestart(bits);
    for (int32_t b = 0; b < m_blocks_per_mcu; ++b) {
      const int32_t c = m_mcu_order[b];
      const int16_t* q = m_quant[m_comp_quant[c]];
      int16_t* coefs = m_mcu_coefs + b * 64;
      // What the block before at this MCU position left behind goes first; from then on only
      // non-zero values are stored.
      const int32_t prev = m_coef_count[b];
      if (prev > 16) {
        std::memset(coefs, 0, 64 * sizeof(int16_t));
      } else {
        for (int32_t i = 1; i < prev; ++i) coefs[zz[i]] = 0;
      }
      int32_t extra;
      const int32_t s = DecodeWithExtra(bits, m_lookup[m_comp_dc_slot[c]], &extra);
      if (s > 15) fail(kStatusBadCoefficient);
      if (s) m_dc_pred[c] += static_cast<uint32_t>(Extend(extra, s));
      // Only the low 16 bits of the prediction reach the coefficient.
      coefs[0] = static_cast<int16_t>(static_cast<uint16_t>(m_dc_pred[c]) *
                                      static_cast<uint32_t>(static_cast<uint16_t>(q[0])));

      const huffman_lookup* ac = m_lookup[m_comp_ac_slot[c]];
      int32_t k = 1;
      while (k < 64) {
        const int32_t rs = DecodeWithExtra(bits, ac, &extra);
        const int32_t r = rs >> 4, size = rs & 15;
        if (size) {
          k += r;
          if (k > 63) fail(kStatusBadCoefficient);
          coefs[zz[k]] = static_cast<int16_t>(Extend(extra, size) * q[k]);
          ++k;
        } else if (r == 15) {
          if (k + 16 > 64) fail(kStatusBadCoefficient);
          k += 16;
        } else {
          break;
        }
      }
      m_coef_count[b] = k;
    }
    TransformMcu(mcu);
    --m_restarts_left;
  }
  StoreBits(bits);
}

void jpeg_decoder_core::FinishSequential() {
  // The marker reading after the last MCU row: normally EOI. Later scans are not decoded, but a
  // broken segment before the end marker fails the decoding.
  ReadMarkers(true);
}

}  // namespace jpgd
