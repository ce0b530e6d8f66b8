// image/jpeg/sequential.cpp: sequential Huffman decoding one MCU row at a time (T.81 F.2.2). The
// MCU coefficient buffer is never cleared whole: each block clears only what the block before it
// at the same MCU position left behind, and its count tells the transform where values end.
#include "image/jpeg/internal/entropy_inline.h"

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
  for (int32_t mcu = 0; mcu < m_mcus_per_row; ++mcu) {
    if (m_restart_interval && m_restarts_left == 0) ProcessRestart();
    for (int32_t b = 0; b < m_blocks_per_mcu; ++b) {
      const int32_t c = m_mcu_order[b];
      const int16_t* q = m_quant[m_comp_quant[c]];
      int16_t* coefs = m_mcu_coefs + b * 64;
      int32_t extra;
      const int32_t s = DecodeWithExtra(m_lookup[m_comp_dc_slot[c]], &extra);
      if (s > 15) fail(kStatusBadCoefficient);
      if (s) m_dc_pred[c] += static_cast<uint32_t>(Extend(extra, s));
      // Only the low 16 bits of the prediction reach the coefficient.
      coefs[0] = static_cast<int16_t>(static_cast<uint16_t>(m_dc_pred[c]) *
                                      static_cast<uint32_t>(static_cast<uint16_t>(q[0])));

      const huffman_lookup* ac = m_lookup[m_comp_ac_slot[c]];
      const int32_t prev = m_coef_count[b];
      int32_t k = 1;
      while (k < 64) {
        const int32_t rs = DecodeWithExtra(ac, &extra);
        const int32_t r = rs >> 4, size = rs & 15;
        if (size) {
          if (k + r > 63) fail(kStatusBadCoefficient);
          const int32_t target = k + r;
          for (int32_t i = k, end = target < prev ? target : prev; i < end; ++i) coefs[zz[i]] = 0;
          k = target;
          coefs[zz[k]] = static_cast<int16_t>(Extend(extra, size) * q[k]);
          ++k;
        } else if (r == 15) {
          if (k + 16 > 64) fail(kStatusBadCoefficient);
          for (int32_t i = k, end = k + 16 < prev ? k + 16 : prev; i < end; ++i) coefs[zz[i]] = 0;
          k += 16;
        } else {
          break;
        }
      }
      for (int32_t i = k; i < prev; ++i) coefs[zz[i]] = 0;
      m_coef_count[b] = k;
    }
    TransformMcu(mcu);
    --m_restarts_left;
  }
}

void jpeg_decoder_core::FinishSequential() {
  // The marker reading after the last MCU row: normally EOI. Later scans are not decoded, but a
  // broken segment before the end marker fails the decoding.
  ReadMarkers();
}

}  // namespace jpgd
