// image/jpeg/transform.cpp: from the MCU coefficient buffer to the sample buffer (inverse DCT,
// with H2V2 chroma upsampled in the frequency domain), and one output line out of the samples.
#include "image/jpeg/internal/jpeg_decoder_core.h"

#include "image/jpeg/idct.h"

namespace jpgd {

void jpeg_decoder_core::TransformMcu(int32_t mcu) {
  if (m_freq_upsample) {
    // 12 sample blocks: Y (4), then Cb and Cr each upsampled to four quadrant blocks.
    uint8_t* out = m_samples + static_cast<size_t>(mcu) * 12 * 64;
    for (int32_t b = 0; b < 4; ++b) IdctBlock(m_mcu_coefs + b * 64, m_coef_count[b], out + b * 64);
    UpsampleChromaBlock(m_mcu_coefs + 4 * 64, m_coef_count[4], out + 4 * 64);
    UpsampleChromaBlock(m_mcu_coefs + 5 * 64, m_coef_count[5], out + 8 * 64);
    return;
  }
  uint8_t* out = m_samples + static_cast<size_t>(mcu) * m_blocks_per_mcu * 64;
  for (int32_t b = 0; b < m_blocks_per_mcu; ++b)
    IdctBlock(m_mcu_coefs + b * 64, m_coef_count[b], out + b * 64);
}

void jpeg_decoder_core::ProduceLine(int32_t row, uint8_t* out) {
  const int32_t mcus = m_max_mcus_per_row;
  switch (m_scan_type) {
    case kScanGrey:
      ProduceGreyLine(m_samples, mcus, row, out);
      break;
    case kScanH1V1:
      ProduceH1V1Line(m_colour, m_samples, mcus, row, out);
      break;
    case kScanH2V1:
      ProduceH2V1Line(m_colour, m_samples, mcus, row, out);
      break;
    case kScanH1V2:
      ProduceH1V2Lines(m_colour, m_samples, mcus, row, out, m_line_buf[1]);
      break;
    default:
      ProduceH2V2Line(m_colour, m_samples, mcus, row, out);
      break;
  }
}

}  // namespace jpgd
