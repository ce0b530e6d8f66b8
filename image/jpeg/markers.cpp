// image/jpeg/markers.cpp: the marker parser (ITU-T T.81 Annex B: SOI, DHT, DQT, DRI, SOF, SOS,
// the Adobe APP14 colour transform and skipped segments), the frame and scan set-up and the
// choice between YCbCr and RGB. Every length and count from the file is checked before it sizes
// anything; a scan whose layout would not fit the frame's MCU buffers is refused.
#include "image/jpeg/internal/jpeg_decoder_core.h"

#include <cstring>

#include "image/image_limits.h"

namespace jpgd {

namespace {

enum : int32_t {
  kSof0 = 0xC0, kSof1 = 0xC1, kSof2 = 0xC2, kSof3 = 0xC3, kDht = 0xC4, kSof5 = 0xC5,
  kSof7 = 0xC7, kJpg = 0xC8, kSof9 = 0xC9, kSof11 = 0xCB, kDac = 0xCC, kSof13 = 0xCD,
  kSof15 = 0xCF, kRst0 = 0xD0, kRst7 = 0xD7, kSoi = 0xD8, kEoi = 0xD9, kSos = 0xDA,
  kDqt = 0xDB, kDri = 0xDD, kApp14 = 0xEE, kTem = 0x01,
};

constexpr int32_t kMaxSide = 16384;
constexpr int32_t kMaxBlocksPerMcuRow = 8192;
// Real progressive files have a handful of scans; many more only make a small file cost
// minutes of work.
constexpr int32_t kMaxScans = 1000;

int32_t CeilDiv(int32_t a, int32_t b) { return (a + b - 1) / b; }

}  // namespace

void jpeg_decoder_core::LocateSoi() {
  uint32_t last = GetByte();
  uint32_t cur = GetByte();
  if (last == 0xFF && cur == kSoi) return;
  for (int32_t n = 0; n < 4095; ++n) {
    last = cur;
    cur = GetByte();
    if (last != 0xFF) continue;
    if (cur == kSoi) {
      uint8_t next = GetByte();
      if (next != 0xFF) fail(kStatusNoStartOfImage);
      PutBack(next);  // the FF starts the first marker
      return;
    }
    if (cur == kEoi) fail(kStatusNoStartOfImage);
  }
  fail(kStatusNoStartOfImage);
}

void jpeg_decoder_core::ReadFirstFrameMarker() {
  int32_t m = ReadMarkers();
  if (m == kSof0 || m == kSof1) return;
  if (m == kSof2) {
    m_progressive = true;
    return;
  }
  fail(m == kSof9 ? kStatusArithmeticCoding : kStatusUnsupportedFrame);
}

int32_t jpeg_decoder_core::NextMarker() {
  for (;;) {
    uint8_t c;
    do c = GetByte();
    while (c != 0xFF);
    do c = GetByte();
    while (c == 0xFF);
    if (c != 0) return c;
  }
}

int32_t jpeg_decoder_core::ReadMarkers(bool after_scan) {
  for (;;) {
    int32_t m = NextMarker();
    // Some encoders end the last restart interval with a marker too; it has no segment.
    if (after_scan && m >= kRst0 && m <= kRst7) continue;
    if ((m >= kSof0 && m <= kSof3) || (m >= kSof5 && m <= kSof7) ||
        (m >= kSof9 && m <= kSof11) || (m >= kSof13 && m <= kSof15) || m == kSoi ||
        m == kEoi || m == kSos)
      return m;
    if (m == kDht) {
      ReadDht();
    } else if (m == kDqt) {
      ReadDqt();
    } else if (m == kDri) {
      ReadDri();
    } else if (m == kApp14) {
      ReadApp14();
    } else if (m == kDac) {
      fail(kStatusArithmeticCoding);
    } else if (m == kTem || m == kJpg || (m >= kRst0 && m <= kRst7)) {
      fail(kStatusUnexpectedMarker);
    } else {
      SkipSegment();
    }
  }
}

void jpeg_decoder_core::SkipSegment() {
  uint32_t len = Get16();
  if (len < 2) fail(kStatusBadSegmentLength);
  for (len -= 2; len > 0; --len) GetByte();
}

void jpeg_decoder_core::ReadApp14() {
  // "Adobe", version (2 bytes), flags (2 + 2), transform (1); other APP14 segments are skipped.
  uint32_t len = Get16();
  if (len < 2) fail(kStatusBadSegmentLength);
  len -= 2;
  uint8_t head[12];
  uint32_t n = 0;
  for (; n < len && n < sizeof(head); ++n) head[n] = GetByte();
  for (uint32_t rest = len - n; rest > 0; --rest) GetByte();
  if (n == sizeof(head) && std::memcmp(head, "Adobe", 5) == 0) m_adobe_transform = head[11];
}

void jpeg_decoder_core::ReadDht() {
  int32_t left = static_cast<int32_t>(Get16());
  if (left < 2) fail(kStatusBadHuffmanSegment);
  left -= 2;
  while (left > 0) {
    uint8_t index = GetByte();
    uint8_t counts[17] = {};
    int32_t total = 0;
    for (int32_t i = 1; i <= 16; ++i) {
      counts[i] = GetByte();
      total += counts[i];
    }
    if (total > 255) fail(kStatusTooManyHuffmanSymbols);
    uint8_t symbols[256] = {};
    for (int32_t i = 0; i < total; ++i) symbols[i] = GetByte();
    if (left < 17 + total) fail(kStatusBadHuffmanSegment);
    left -= 17 + total;
    int32_t slot = (index & 15) + ((index & 0x10) ? 4 : 0);
    if (slot > 7) fail(kStatusBadHuffmanSlot);
    if (!m_huff_counts[slot]) {
      m_huff_counts[slot] = static_cast<uint8_t*>(pool_alloc(17, false));
      m_huff_symbols[slot] = static_cast<uint8_t*>(pool_alloc(256, false));
    }
    std::memcpy(m_huff_counts[slot], counts, 17);
    std::memcpy(m_huff_symbols[slot], symbols, 256);
  }
}

void jpeg_decoder_core::ReadDqt() {
  int32_t left = static_cast<int32_t>(Get16());
  if (left < 2) fail(kStatusBadQuantSegment);
  left -= 2;
  while (left > 0) {
    uint8_t index = GetByte();
    int32_t number = index & 15;
    bool wide = (index >> 4) != 0;
    if (number > 3) fail(kStatusBadQuantTableNumber);
    int16_t values[64];
    for (int16_t& v : values) v = static_cast<int16_t>(wide ? Get16() : GetByte());
    int32_t size = wide ? 129 : 65;
    if (left < size) fail(kStatusShortQuantTable);
    left -= size;
    if (!m_quant[number]) m_quant[number] = static_cast<int16_t*>(pool_alloc(128, false));
    std::memcpy(m_quant[number], values, sizeof(values));
  }
}

void jpeg_decoder_core::ReadDri() {
  if (Get16() != 4) fail(kStatusBadRestartSegment);
  m_restart_interval = Get16();
}

void jpeg_decoder_core::ReadSofHeader() {
  uint32_t len = Get16();
  if (GetByte() != 8) fail(kStatusBadPrecision);
  m_height = static_cast<int32_t>(Get16());
  if (m_height < 1 || m_height > kMaxSide) fail(kStatusBadHeight);
  m_width = static_cast<int32_t>(Get16());
  if (m_width < 1 || m_width > kMaxSide) fail(kStatusBadWidth);
  if (!ZR_ImageSizeOk(m_width, m_height)) fail(kStatusImageTooLarge);
  m_comps_in_frame = GetByte();
  if (m_comps_in_frame > 4) fail(kStatusTooManyComponents);
  if (len != 8 + 3u * static_cast<uint32_t>(m_comps_in_frame)) fail(kStatusBadFrameLength);
  for (int32_t i = 0; i < m_comps_in_frame; ++i) {
    m_comp_ident[i] = GetByte();
    uint8_t sampling = GetByte();
    m_comp_h[i] = sampling >> 4;
    m_comp_v[i] = sampling & 15;
    m_comp_quant[i] = GetByte();
  }
}

void jpeg_decoder_core::ReadSosHeader() {
  uint32_t len = Get16();
  m_comps_in_scan = GetByte();
  if (len != 6 + 2u * static_cast<uint32_t>(m_comps_in_scan) || m_comps_in_scan < 1 ||
      m_comps_in_scan > 4)
    fail(kStatusBadScanHeader);
  for (int32_t i = 0; i < m_comps_in_scan; ++i) {
    int32_t ident = GetByte();
    uint8_t tables = GetByte();
    int32_t c = 0;
    while (c < m_comps_in_frame && m_comp_ident[c] != ident) ++c;
    if (c == m_comps_in_frame) fail(kStatusBadScanComponent);
    for (int32_t j = 0; j < i; ++j)
      if (m_comp_list[j] == c) fail(kStatusBadScanLayout);
    m_comp_list[i] = c;
    m_comp_dc_slot[c] = tables >> 4;
    m_comp_ac_slot[c] = (tables & 15) + 4;
  }
  m_spectral_start = GetByte();
  m_spectral_end = GetByte();
  uint8_t approx = GetByte();
  m_succ_high = approx >> 4;
  m_succ_low = approx & 15;
  if (!m_progressive) {
    m_spectral_start = 0;
    m_spectral_end = 63;
  }
}

void jpeg_decoder_core::FrameSetup() {
  if (m_comps_in_frame == 1) {
    if (m_comp_h[0] != 1 || m_comp_v[0] != 1) fail(kStatusBadSampling);
    m_scan_type = kScanGrey;
    m_frame_blocks_per_mcu = 1;
    m_mcu_w = m_mcu_h = 8;
  } else {
    if (m_comps_in_frame != 3) fail(kStatusBadComponentCount);
    if (m_comp_h[1] != 1 || m_comp_v[1] != 1 || m_comp_h[2] != 1 || m_comp_v[2] != 1)
      fail(kStatusBadSampling);
    const int32_t h = m_comp_h[0], v = m_comp_v[0];
    if (h == 1 && v == 1) {
      m_scan_type = kScanH1V1, m_frame_blocks_per_mcu = 3, m_mcu_w = 8, m_mcu_h = 8;
    } else if (h == 2 && v == 1) {
      m_scan_type = kScanH2V1, m_frame_blocks_per_mcu = 4, m_mcu_w = 16, m_mcu_h = 8;
    } else if (h == 1 && v == 2) {
      m_scan_type = kScanH1V2, m_frame_blocks_per_mcu = 4, m_mcu_w = 8, m_mcu_h = 16;
    } else if (h == 2 && v == 2) {
      m_scan_type = kScanH2V2, m_frame_blocks_per_mcu = 6, m_mcu_w = 16, m_mcu_h = 16;
    } else {
      fail(kStatusBadSampling);
    }
  }
  m_max_mcus_per_row = CeilDiv(m_width, m_mcu_w);
  m_max_mcus_per_col = CeilDiv(m_height, m_mcu_h);

  m_bytes_per_pixel = m_scan_type == kScanGrey ? 1 : 4;
  m_line_bytes = m_width * m_bytes_per_pixel;
  m_line_buf_bytes = ((m_width + 15) & ~15) * m_bytes_per_pixel;
  m_line_buf[0] = static_cast<uint8_t*>(pool_alloc(static_cast<size_t>(m_line_buf_bytes), true));
  if (m_scan_type == kScanH1V2 || m_scan_type == kScanH2V2)
    m_line_buf[1] = static_cast<uint8_t*>(pool_alloc(static_cast<size_t>(m_line_buf_bytes), true));

  m_max_blocks_per_row = m_frame_blocks_per_mcu * m_max_mcus_per_row;
  if (m_max_blocks_per_row > kMaxBlocksPerMcuRow) fail(kStatusTooManyBlocks);

  m_mcu_coefs = static_cast<int16_t*>(
      pool_alloc(static_cast<size_t>(m_frame_blocks_per_mcu) * 64 * sizeof(int16_t), false));
  for (int32_t& c : m_coef_count) c = 64;

  const int32_t expanded_per_mcu = m_comp_h[0] * m_comp_v[0] * m_comps_in_frame;
  m_expanded_blocks_per_row = expanded_per_mcu * m_max_mcus_per_row;
  m_freq_upsample = expanded_per_mcu == 12;
  const int32_t sample_blocks = m_freq_upsample ? m_expanded_blocks_per_row : m_max_blocks_per_row;
  m_samples = static_cast<uint8_t*>(pool_alloc(static_cast<size_t>(sample_blocks) * 64, false));

  m_mcu_lines_left = 0;
  m_lines_left = m_height;
  BuildColourTables(&m_colour);
}

void jpeg_decoder_core::ComputeMcuOrder() {
  int32_t hmax = 1, vmax = 1;
  for (int32_t c = 0; c < m_comps_in_frame; ++c) {
    if (m_comp_h[c] > hmax) hmax = m_comp_h[c];
    if (m_comp_v[c] > vmax) vmax = m_comp_v[c];
  }
  for (int32_t c = 0; c < m_comps_in_frame; ++c) {
    m_comp_h_blocks[c] = CeilDiv(CeilDiv(m_width * m_comp_h[c], hmax), 8);
    m_comp_v_blocks[c] = CeilDiv(CeilDiv(m_height * m_comp_v[c], vmax), 8);
  }
  if (m_comps_in_scan == 1) {
    const int32_t c = m_comp_list[0];
    m_mcus_per_row = m_comp_h_blocks[c];
    m_mcus_per_col = m_comp_v_blocks[c];
    m_blocks_per_mcu = 1;
    m_mcu_order[0] = c;
    return;
  }
  m_mcus_per_row = CeilDiv(CeilDiv(m_width, 8), hmax);
  m_mcus_per_col = CeilDiv(CeilDiv(m_height, 8), vmax);
  m_blocks_per_mcu = 0;
  for (int32_t i = 0; i < m_comps_in_scan; ++i) {
    const int32_t c = m_comp_list[i];
    const int32_t n = m_comp_h[c] * m_comp_v[c];
    // The scan's MCU must fit the frame's MCU buffers.
    if (m_blocks_per_mcu + n > m_frame_blocks_per_mcu) fail(kStatusBadScanLayout);
    for (int32_t j = 0; j < n; ++j) m_mcu_order[m_blocks_per_mcu++] = c;
  }
}

void jpeg_decoder_core::CheckAndBuildTables() {
  for (int32_t i = 0; i < m_comps_in_scan; ++i) {
    const int32_t c = m_comp_list[i];
    const int32_t dc = m_comp_dc_slot[c], ac = m_comp_ac_slot[c];
    if (m_spectral_start == 0 && (dc > 7 || !m_huff_counts[dc])) fail(kStatusUndefinedHuffman);
    if (m_spectral_end > 0 && (ac > 7 || !m_huff_counts[ac])) fail(kStatusUndefinedHuffman);
  }
  for (int32_t slot = 0; slot < 8; ++slot)
    if (m_huff_counts[slot]) BuildLookup(slot);
  for (int32_t i = 0; i < m_comps_in_scan; ++i) {
    const int32_t q = m_comp_quant[m_comp_list[i]];
    if (q > 3 || !m_quant[q]) fail(kStatusUndefinedQuant);
  }
}

bool jpeg_decoder_core::ScanSetup() {
  int32_t m = ReadMarkers(m_scans_seen > 0);
  if (m == kEoi) return false;
  if (m != kSos) fail(kStatusUnexpectedMarker);
  if (++m_scans_seen > kMaxScans) fail(kStatusBadScanLayout);
  ReadSosHeader();
  ComputeMcuOrder();
  CheckAndBuildTables();
  for (uint32_t& p : m_dc_pred) p = 0;
  m_eob_run = 0;
  if (m_restart_interval) {
    m_restarts_left = m_restart_interval;
    m_next_restart = 0;
  }
  ResetEntropy();
  return true;
}

void jpeg_decoder_core::ChooseColourSpace() {
  // Three components are YCbCr unless they are named 'R', 'G', 'B' or an Adobe segment says
  // "no transform": then they hold red, green and blue as they stand.
  const bool named_rgb = m_comp_ident[0] == 'R' && m_comp_ident[1] == 'G' && m_comp_ident[2] == 'B';
  m_colour.m_rgb = m_comps_in_frame == 3 && (named_rgb || m_adobe_transform == 0);
}

}  // namespace jpgd
