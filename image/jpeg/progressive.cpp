// image/jpeg/progressive.cpp: progressive decoding (T.81 Annex G): every scan goes into whole-
// picture coefficient planes, with spectral selection, successive approximation and end-of-band
// runs; the output pass then reads the planes one MCU row at a time. Values are stored through
// unsigned arithmetic, so corrupt data wraps instead of overflowing.
//
// The planes cover the picture the frame header declares, which a short file can make far larger
// than its data. So a scan ends where its data end (at the next restart interval, when there are
// restarts), and a block's AC values are read only once some scan has stored one there: the
// memory touched and the work done follow the data, not the declared size.
#include "image/jpeg/internal/entropy_inline.h"

#include <cstring>

#include "image/jpeg/idct.h"
#include "image/jpeg/internal/idct_sse2.h"

#if defined(JPGD_HAVE_SSE2)
#include <emmintrin.h>
#endif

namespace jpgd {

namespace {
enum : int32_t { kDcFirst, kDcRefine, kAcFirst, kAcRefine };

// Zig-zag index of each natural position.
constexpr struct natural_to_zigzag {
  uint8_t m_index[64];
  constexpr natural_to_zigzag() : m_index() {
    for (int k = 0; k < 64; ++k) m_index[kZigzagToNatural[k]] = static_cast<uint8_t>(k);
  }
} kNaturalToZigzag;

// One more than the zig-zag index of the last non-zero value of a block (1 when only the DC may
// be non-zero), found from a mask of its non-zero positions.
int32_t CoefficientCount(const int16_t* coefs) {
  uint64_t nonzero = 0;
#if defined(JPGD_HAVE_SSE2)
  const __m128i zero = _mm_setzero_si128();
  for (int r = 0; r < 8; r += 2) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefs + 8 * r));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefs + 8 * r + 8));
    const __m128i zeros = _mm_packs_epi16(_mm_cmpeq_epi16(a, zero), _mm_cmpeq_epi16(b, zero));
    nonzero |= static_cast<uint64_t>(~_mm_movemask_epi8(zeros) & 0xFFFF) << (8 * r);
  }
#else
  for (int i = 0; i < 64; ++i)
    if (coefs[i]) nonzero |= uint64_t{1} << i;
#endif
  int32_t last = 0;
  for (nonzero &= ~uint64_t{1}; nonzero; nonzero &= nonzero - 1) {
    const int32_t k = kNaturalToZigzag.m_index[__builtin_ctzll(nonzero)];
    if (k > last) last = k;
  }
  return last + 1;
}

// The AC values of a block that no scan stored into.
alignas(16) constexpr int16_t kZeroBlock[64] = {};

// Blocks read from the AC planes by the output pass on this thread.
thread_local int64_t t_plane_blocks_read = 0;

coefficient_plane* MakePlaneRecord(void* mem, int16_t* data, int32_t across, int32_t down,
                                   int32_t side) {
  coefficient_plane* p = static_cast<coefficient_plane*>(mem);
  p->m_data = data;
  p->m_blocks_across = across;
  p->m_blocks_down = down;
  p->m_block_w = side;
  p->m_block_h = side;
  p->m_bytes_per_block = side * side * 2;
  return p;
}
}  // namespace

void jpeg_decoder_core::DecodeProgressive() {
  for (int32_t c = 0; c < m_comps_in_frame; ++c) {
    const int32_t across = m_comp_h[c] * m_max_mcus_per_row;
    const int32_t down = m_comp_v[c] * m_max_mcus_per_col;
    const size_t blocks = static_cast<size_t>(across) * static_cast<size_t>(down);
    int16_t* dc = static_cast<int16_t*>(pool_alloc(blocks * 2, true));
    int16_t* ac = static_cast<int16_t*>(pool_alloc(blocks * 128, true));
    m_dc_plane[c] = MakePlaneRecord(pool_alloc(sizeof(coefficient_plane), false), dc, across,
                                    down, 1);
    m_ac_plane[c] = MakePlaneRecord(pool_alloc(sizeof(coefficient_plane), false), ac, across,
                                    down, 8);
    m_ac_marks[c] = static_cast<uint8_t*>(pool_alloc((blocks + 7) / 8, true));
  }
  while (ScanSetup()) {
    const int32_t ss = m_spectral_start, se = m_spectral_end;
    if (se < ss || se > 63 || (ss == 0 && se != 0) || (ss > 0 && m_comps_in_scan > 1))
      fail(kStatusBadSpectralRange);
    if (m_succ_high != 0 && m_succ_high != m_succ_low + 1) fail(kStatusBadSuccessiveHigh);
    int32_t kind = ss == 0 ? (m_succ_high == 0 ? kDcFirst : kDcRefine)
                           : (m_succ_high == 0 ? kAcFirst : kAcRefine);
    DecodeProgressiveScan(kind);
  }
  // The output pass walks all components in frame order; each needs its quantisation table.
  m_comps_in_scan = m_comps_in_frame;
  for (int32_t c = 0; c < m_comps_in_frame; ++c) {
    m_comp_list[c] = c;
    m_block_row[c] = 0;
    const int32_t q = m_comp_quant[c];
    if (q > 3 || !m_quant[q]) fail(kStatusUndefinedQuant);
  }
  ComputeMcuOrder();
}

void jpeg_decoder_core::DecodeProgressiveScan(int32_t kind) {
  void (jpeg_decoder_core::*decode)(bit_cursor&, int32_t, int32_t, int32_t) =
      kind == kDcFirst    ? &jpeg_decoder_core::DecodeDcFirst
      : kind == kDcRefine ? &jpeg_decoder_core::DecodeDcRefine
      : kind == kAcFirst  ? &jpeg_decoder_core::DecodeAcFirst
                          : &jpeg_decoder_core::DecodeAcRefine;
  const int32_t per_row = m_mcus_per_row;
  const int64_t mcus = static_cast<int64_t>(per_row) * m_mcus_per_col;
  bit_cursor bits = LoadBits();
  int32_t mx = 0, my = 0;
  for (int64_t n = 0; n < mcus;) {
    if (m_restart_interval && m_restarts_left == 0) ProcessRestart(bits);
    if (FillerConsumed(bits)) {
      // The data of the scan, or of this restart interval, are used up: the blocks not reached
      // keep what earlier scans gave them.
      if (!m_restart_interval) break;
      const int64_t to = mx + static_cast<int64_t>(m_restarts_left);
      n += m_restarts_left;
      my += static_cast<int32_t>(to / per_row);
      mx = static_cast<int32_t>(to % per_row);
      m_restarts_left = 0;
      continue;
    }
    if (m_comps_in_scan == 1) {
      // One component: its own block grid, one block a MCU.
      (this->*decode)(bits, m_comp_list[0], mx, my);
    } else {
      for (int32_t i = 0; i < m_comps_in_scan; ++i) {
        const int32_t c = m_comp_list[i];
        const int32_t h = m_comp_h[c], v = m_comp_v[c];
        for (int32_t y = 0; y < v; ++y)
          for (int32_t x = 0; x < h; ++x) (this->*decode)(bits, c, mx * h + x, my * v + y);
      }
    }
    --m_restarts_left;
    ++n;
    if (++mx == per_row) mx = 0, ++my;
  }
  StoreBits(bits);
}

void jpeg_decoder_core::DecodeDcFirst(bit_cursor& b, int32_t c, int32_t bx, int32_t by) {
  const int32_t s = DecodeSymbol(b, m_lookup[m_comp_dc_slot[c]]);
  if (s > 15) fail(kStatusBadCoefficient);
  if (s) m_dc_pred[c] += static_cast<uint32_t>(Extend(static_cast<int32_t>(GetBits(b, s)), s));
  int16_t* dc = m_dc_plane[c]->Block(bx, by);
  *dc = static_cast<int16_t>(static_cast<uint16_t>(m_dc_pred[c] << m_succ_low));
}

void jpeg_decoder_core::DecodeDcRefine(bit_cursor& b, int32_t c, int32_t bx, int32_t by) {
  if (GetBits(b, 1)) {
    int16_t* dc = m_dc_plane[c]->Block(bx, by);
    *dc = static_cast<int16_t>(static_cast<uint16_t>(*dc) | (1u << m_succ_low));
  }
}

void jpeg_decoder_core::DecodeAcFirst(bit_cursor& b, int32_t c, int32_t bx, int32_t by) {
  if (m_eob_run > 0) {
    --m_eob_run;
    return;
  }
  int16_t* coefs = m_ac_plane[c]->Block(bx, by);
  const huffman_lookup* ac = m_lookup[m_comp_ac_slot[c]];
  bool stored = false;
  for (int32_t k = m_spectral_start; k <= m_spectral_end; ++k) {
    const int32_t rs = DecodeSymbol(b, ac);
    const int32_t r = rs >> 4, s = rs & 15;
    if (s) {
      k += r;
      if (k > 63) fail(kStatusBadCoefficient);
      const uint32_t v = static_cast<uint32_t>(Extend(static_cast<int32_t>(GetBits(b, s)), s));
      coefs[kZigzagToNatural[k]] = static_cast<int16_t>(static_cast<uint16_t>(v << m_succ_low));
      stored = true;
    } else if (r < 15) {
      m_eob_run = (1 << r) - 1;
      if (r) m_eob_run += static_cast<int32_t>(GetBits(b, r));
      break;
    } else {
      k += 15;
      if (k > 63) fail(kStatusBadCoefficient);
    }
  }
  if (stored) MarkAc(c, bx, by);
}

void jpeg_decoder_core::DecodeAcRefine(bit_cursor& b, int32_t c, int32_t bx, int32_t by) {
  const int32_t p1 = 1 << m_succ_low;
  const int32_t m1 = -p1;
  const int32_t se = m_spectral_end;
  int16_t* coefs = m_ac_plane[c]->Block(bx, by);
  // Values are tested through seen: an unmarked block's are all zero and stay so ahead of k, so
  // its plane is only written, where a new value goes.
  const bool marked = AcMarked(c, bx, by);
  const int16_t* seen = marked ? coefs : kZeroBlock;
  // Coefficients already non-zero take one correction bit each; a 1 moves them away from zero
  // unless that bit is already set.
  auto refine = [&](int16_t* z) {
    if (GetBits(b, 1) && (*z & p1) == 0) *z = static_cast<int16_t>(*z + (*z >= 0 ? p1 : m1));
  };
  int32_t k = m_spectral_start;
  if (m_eob_run == 0) {
    const huffman_lookup* ac = m_lookup[m_comp_ac_slot[c]];
    bool stored = false;
    for (; k <= se; ++k) {
      const int32_t rs = DecodeSymbol(b, ac);
      int32_t r = rs >> 4;
      const int32_t s = rs & 15;
      int32_t value = 0;
      if (s) {
        if (s != 1) fail(kStatusBadCoefficient);
        value = GetBits(b, 1) ? p1 : m1;
      } else if (r != 15) {
        m_eob_run = 1 << r;
        if (r) m_eob_run += static_cast<int32_t>(GetBits(b, r));
        break;
      }
      // Pass r zero coefficients (refining the non-zero ones on the way), then place the new one.
      do {
        const int32_t pos = kZigzagToNatural[k];
        if (seen[pos] != 0) {
          refine(&coefs[pos]);
        } else if (--r < 0) {
          break;
        }
        ++k;
      } while (k <= se);
      if (value && k < 64) {
        coefs[kZigzagToNatural[k]] = static_cast<int16_t>(value);
        stored = true;
      }
    }
    if (stored && !marked) MarkAc(c, bx, by);
  }
  if (m_eob_run > 0) {
    // Inside an end-of-band run: refine the rest of the band, nothing new.
    if (marked) {
      for (; k <= se; ++k) {
        int16_t* z = &coefs[kZigzagToNatural[k]];
        if (*z != 0) refine(z);
      }
    }
    --m_eob_run;
  }
}

void jpeg_decoder_core::OutputMcuRow() {
  // Quantisation tables in natural order, so that a block dequantises position by position.
  int16_t quant[4][64];
  for (int32_t i = 0; i < m_comps_in_scan; ++i) {
    const int32_t c = m_comp_list[i];
    for (int32_t k = 0; k < 64; ++k) quant[i][kZigzagToNatural[k]] = m_quant[m_comp_quant[c]][k];
  }
  int64_t read = 0;
  for (int32_t mcu = 0; mcu < m_mcus_per_row; ++mcu) {
    int32_t b = 0;
    for (int32_t i = 0; i < m_comps_in_scan; ++i) {
      const int32_t c = m_comp_list[i];
      const int32_t h = m_comps_in_scan == 1 ? 1 : m_comp_h[c];
      const int32_t v = m_comps_in_scan == 1 ? 1 : m_comp_v[c];
      for (int32_t y = 0; y < v; ++y) {
        for (int32_t x = 0; x < h; ++x, ++b) {
          const int32_t bx = mcu * h + x, by = m_block_row[c] + y;
          int16_t* coefs = m_mcu_coefs + b * 64;
          const int16_t dc = *m_dc_plane[c]->Block(bx, by);
          if (!AcMarked(c, bx, by)) {
            // Only the DC value: what the block before left at this position goes.
            if (m_coef_count[b] > 1) std::memset(coefs, 0, 64 * sizeof(int16_t));
            coefs[0] = static_cast<int16_t>(dc * quant[i][0]);
            m_coef_count[b] = 1;
            continue;
          }
          ++read;
          std::memcpy(coefs, m_ac_plane[c]->Block(bx, by), 64 * sizeof(int16_t));
          coefs[0] = dc;
          // Zeros stay zero, so every position may be multiplied.
          for (int32_t j = 0; j < 64; ++j)
            coefs[j] = static_cast<int16_t>(coefs[j] * quant[i][j]);
          m_coef_count[b] = CoefficientCount(coefs);
        }
      }
    }
    TransformMcu(mcu);
  }
  t_plane_blocks_read += read;
  for (int32_t i = 0; i < m_comps_in_scan; ++i) {
    const int32_t c = m_comp_list[i];
    m_block_row[c] += m_comps_in_scan == 1 ? 1 : m_comp_v[c];
  }
}

int64_t ProgressivePlaneBlocksRead() {
  return t_plane_blocks_read;
}

}  // namespace jpgd
