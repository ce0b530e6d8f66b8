// image/jpeg/internal/jpeg_decoder_core.h: the decoder object shared by the stages of the own JPEG
// decoder: input buffer, memory pool, error escape, tables from the markers, scan geometry, the
// entropy reader's state and the output bookkeeping. Only image/jpeg/ includes it.
#ifndef IMAGE_JPEG_INTERNAL_JPEG_DECODER_CORE_H
#define IMAGE_JPEG_INTERNAL_JPEG_DECODER_CORE_H

#include <cstddef>
#include <cstdint>

#include "image/jpeg/colour.h"
#include "image/jpeg/jpgd.h"

namespace jpgd {

// pool_block: one block of the decoder's memory pool; its data follow the header, 16-aligned.
struct pool_block {
  pool_block* m_next;
  uint64_t m_used;
  uint64_t m_capacity;
  uint64_t m_pad;  // keeps the data that follow the header 16-aligned
};

// Tree entries: every code longer than 8 bits adds at most 8 nodes (depths 8 to 15), so 255 such
// codes can never need more than 2040 nodes, whatever the counts.
constexpr int kHuffTreeEntries = 2 * 8 * 255;

// huffman_lookup: the decoding form of one Huffman table (built in huffman.cpp).
//   m_first[i]: for the top 8 bits i of the bit stream, code length × 256 + symbol, or a negative
//     tree-node reference when the code is longer than 8 bits.
//   m_combined[i]: for codes whose extra bits also fit in those 8 bits, extra × 65536 + 32768 +
//     (length + size) × 256 + symbol; otherwise length × 256 + symbol or the tree reference.
//   m_tree: two entries per node (bit 0, bit 1); reference r is the node at entries ~r and ~r + 1.
//   Codes the table does not define read as symbol 0 and consume the bits that showed them
//   undefined: 8 for a prefix that starts no code, the bits walked for a miss in the tree.
struct huffman_lookup {
  int32_t m_first[256];
  int32_t m_combined[256];
  uint8_t m_code_size[256];
  int32_t m_tree[kHuffTreeEntries];
};

// coefficient_plane: the coefficients of one component over the whole picture (progressive
// frames). DC planes hold one value per block, AC planes 64 in natural order (position 0 unused).
struct coefficient_plane {
  int16_t* m_data;
  int32_t m_blocks_across;
  int32_t m_blocks_down;
  int32_t m_block_w;  // values across one block: 1 (DC) or 8 (AC)
  int32_t m_block_h;
  int32_t m_bytes_per_block;

  int16_t* Block(int32_t x, int32_t y) const {
    size_t index = static_cast<size_t>(m_blocks_across) * static_cast<size_t>(y) +
                   static_cast<size_t>(x);
    return m_data + index * static_cast<size_t>(m_bytes_per_block / 2);
  }
};

// bit_cursor: the entropy reader's working state, copied into locals by the decoding loops so
// that it stays in registers; the core's members hold it across everything else.
struct bit_cursor {
  uint64_t m_buf;  // next bits at the top
  int32_t m_cnt;   // valid bits in m_buf
  uint8_t* m_ptr;  // input read position
  int32_t m_left;  // input bytes left in the buffer
};

// Scan types by sampling layout.
enum : int32_t { kScanGrey = 0, kScanH1V1 = 1, kScanH2V1 = 2, kScanH1V2 = 3, kScanH2V2 = 4 };

// jpeg_decoder_core: one decoding of one stream.
//   Lifecycle: construction reads up to the frame header; start() sets up the frame and decodes
//     the first scan header (sequential) or every scan (progressive); next_scanline() hands out
//     the lines top first.
//   Failure: fail() stores a status code, frees the pool, detaches the stream and escapes to the
//     public operation that is running, which reports -1; every later call reports -1 too.
//   Owns: its pool blocks. The stream is not owned.
//   Threads: one decoding on one thread; the constant tables it reads are shared.
class jpeg_decoder_core {
 public:
  explicit jpeg_decoder_core(jpeg_decoder_stream* stream);
  ~jpeg_decoder_core();
  jpeg_decoder_core(const jpeg_decoder_core&) = delete;
  jpeg_decoder_core& operator=(const jpeg_decoder_core&) = delete;

  // 0 on success; -1 when the status code is already set or the start fails.
  int32_t start();
  // Hands out the next line (valid until the next call) and its length in bytes (width × 1 for
  // grey, × 4 otherwise). 0 for a line, 1 when all lines are out, -1 when not started or failed.
  // A colour line may instead be made in place at direct, which must then have room for the
  // width raised to a multiple of 16 pixels; *line tells which.
  int32_t next_scanline(const uint8_t** line, int32_t* line_bytes, uint8_t* direct = nullptr);

  int32_t status() const { return m_status; }
  bool ready() const { return m_ready; }
  int32_t width() const { return m_width; }
  int32_t height() const { return m_height; }
  int32_t comps() const { return m_comps_in_frame; }

 private:
  struct failure {};  // thrown by fail(), caught by each public operation

  [[noreturn]] void fail(int32_t code);
  void* pool_alloc(size_t bytes, bool zero_fill);
  void FreePool();

  // Input (jpeg_decoder_core.cpp).
  void FillInput();
  uint8_t GetByte() {
    if (m_in_left == 0) {
      FillInput();
      if (m_in_left == 0) return EndByte();
    }
    --m_in_left;
    return *m_in_ptr++;
  }
  uint8_t EndByte() {
    m_end_toggle ^= 1;
    return m_end_toggle ? 0xFF : 0xD9;
  }
  uint32_t Get16() {
    uint32_t hi = GetByte();
    return (hi << 8) | GetByte();
  }
  void PutBack(uint8_t b) {
    *--m_in_ptr = b;
    ++m_in_left;
  }

  // Markers and set-up (markers.cpp).
  void LocateSoi();
  void ReadFirstFrameMarker();
  // Reads segments up to the next frame, scan, SOI or EOI marker and returns it. after_scan: the
  // reading follows a scan's entropy-coded data, where an RSTn written after the last restart
  // interval is passed over; anywhere else an RSTn fails with kStatusUnexpectedMarker.
  int32_t ReadMarkers(bool after_scan = false);
  int32_t NextMarker();
  void SkipSegment();
  void ReadApp14();
  void ReadDht();
  void ReadDqt();
  void ReadDri();
  void ReadSofHeader();
  void ReadSosHeader();
  void FrameSetup();
  bool ScanSetup();
  void ChooseColourSpace();
  void ComputeMcuOrder();
  void CheckAndBuildTables();

  // Huffman tables (huffman.cpp).
  void BuildLookup(int32_t slot);

  // Entropy decoding (entropy.cpp, sequential.cpp, progressive.cpp; hot paths inline in
  // entropy_inline.h).
  void ResetEntropy();
  bit_cursor LoadBits() const { return {m_bit_buf, m_bit_cnt, m_in_ptr, m_in_left}; }
  void StoreBits(const bit_cursor& b) {
    m_bit_buf = b.m_buf, m_bit_cnt = b.m_cnt, m_in_ptr = b.m_ptr, m_in_left = b.m_left;
  }
  void RefillSlow();
  inline void Refill(bit_cursor& b);
  inline uint32_t GetBits(bit_cursor& b, int32_t n);
  inline int32_t DecodeSymbol(bit_cursor& b, const huffman_lookup* h);
  inline int32_t DecodeWithExtra(bit_cursor& b, const huffman_lookup* h, int32_t* extra);
  void ProcessRestart(bit_cursor& b);
  // Whether the decoding has consumed filler bits, i.e. used up the data up to the marker or the
  // end of the input.
  bool FillerConsumed(const bit_cursor& b) const { return m_filler_bits > b.m_cnt; }
  void CheckSequentialScan();
  void DecodeMcuRow();
  void FinishSequential();
  void DecodeProgressive();
  void DecodeProgressiveScan(int32_t kind);
  void DecodeDcFirst(bit_cursor& b, int32_t c, int32_t bx, int32_t by);
  void DecodeDcRefine(bit_cursor& b, int32_t c, int32_t bx, int32_t by);
  void DecodeAcFirst(bit_cursor& b, int32_t c, int32_t bx, int32_t by);
  void DecodeAcRefine(bit_cursor& b, int32_t c, int32_t bx, int32_t by);
  // The bit of block (bx, by) of component c that says whether an AC value was stored there.
  size_t MarkIndex(int32_t c, int32_t bx, int32_t by) const {
    return static_cast<size_t>(m_ac_plane[c]->m_blocks_across) * static_cast<size_t>(by) +
           static_cast<size_t>(bx);
  }
  bool AcMarked(int32_t c, int32_t bx, int32_t by) const {
    const size_t i = MarkIndex(c, bx, by);
    return (m_ac_marks[c][i >> 3] >> (i & 7)) & 1;
  }
  void MarkAc(int32_t c, int32_t bx, int32_t by) {
    const size_t i = MarkIndex(c, bx, by);
    m_ac_marks[c][i >> 3] = static_cast<uint8_t>(m_ac_marks[c][i >> 3] | (1u << (i & 7)));
  }
  void OutputMcuRow();

  // Transform and line production (transform.cpp).
  void TransformMcu(int32_t mcu);
  void ProduceLine(int32_t row, uint8_t* out);

  // Input buffer: room for bytes put back, the data, then FF D9 pairs after each fill.
  static constexpr int32_t kInPutBack = 128;
  static constexpr int32_t kInData = 8192;
  static constexpr int32_t kInFiller = 128;
  static constexpr int32_t kInSpare = 128;

  pool_block* m_pool = nullptr;
  jpeg_decoder_stream* m_stream;
  int32_t m_width = 0, m_height = 0;
  bool m_progressive = false;

  // Tables from the segments: code counts (positions 1..16) and symbols per Huffman slot, and the
  // quantisation tables in zig-zag order.
  uint8_t* m_huff_counts[8] = {};
  uint8_t* m_huff_symbols[8] = {};
  int16_t* m_quant[4] = {};

  int32_t m_scan_type = kScanGrey;
  int32_t m_comps_in_frame = 0;
  int32_t m_comp_h[4] = {}, m_comp_v[4] = {}, m_comp_quant[4] = {}, m_comp_ident[4] = {};
  int32_t m_comp_h_blocks[4] = {}, m_comp_v_blocks[4] = {};
  int32_t m_adobe_transform = -1;  // from an Adobe APP14 segment; -1 when there is none

  // Current scan.
  int32_t m_comps_in_scan = 0;
  int32_t m_comp_list[4] = {};
  int32_t m_comp_dc_slot[4] = {}, m_comp_ac_slot[4] = {};
  int32_t m_spectral_start = 0, m_spectral_end = 0;
  int32_t m_succ_low = 0, m_succ_high = 0;
  int32_t m_scans_seen = 0;

  // MCU geometry of the frame and of the current scan.
  int32_t m_mcu_w = 8, m_mcu_h = 8;
  int32_t m_frame_blocks_per_mcu = 0;
  int32_t m_blocks_per_mcu = 0;  // of the current scan
  int32_t m_mcus_per_row = 0, m_mcus_per_col = 0;
  int32_t m_mcu_order[10] = {};
  int32_t m_max_mcus_per_row = 0, m_max_mcus_per_col = 0;
  int32_t m_max_blocks_per_row = 0;
  int32_t m_expanded_blocks_per_row = 0;
  bool m_freq_upsample = false;

  // Output bookkeeping.
  int32_t m_lines_left = 0;
  int32_t m_mcu_lines_left = 0;
  int32_t m_line_bytes = 0;
  int32_t m_line_buf_bytes = 0;
  int32_t m_bytes_per_pixel = 1;

  huffman_lookup* m_lookup[8] = {};
  coefficient_plane* m_dc_plane[4] = {};
  coefficient_plane* m_ac_plane[4] = {};
  // Per component one bit per block, set once an AC value is stored in the block: the planes of
  // blocks without it are never read, so the memory touched follows the data.
  uint8_t* m_ac_marks[4] = {};
  int32_t m_eob_run = 0;
  int32_t m_block_row[4] = {};

  // Input state.
  uint8_t* m_in_ptr;
  int32_t m_in_left = 0;
  int32_t m_end_toggle = 0;
  bool m_stream_ended = false;
  alignas(16) uint8_t m_in_buf[kInPutBack + kInData + kInFiller + kInSpare];

  // Entropy reader: the next bits at the top of m_bit_buf. Once a marker (or the end of the data)
  // is reached, it delivers 1-bits until the marker is dealt with.
  uint64_t m_bit_buf = 0;
  int32_t m_bit_cnt = 0;
  bool m_at_marker = false;
  // Filler bits loaded since the marker or the end was reached; those beyond the valid bits
  // (m_filler_bits - m_bit_cnt of them) have been consumed.
  int64_t m_filler_bits = 0;

  uint32_t m_restart_interval = 0;
  uint32_t m_restarts_left = 0;
  int32_t m_next_restart = 0;

  uint32_t m_dc_pred[4] = {};  // wraps: only its low 16 bits reach a coefficient

  int16_t* m_mcu_coefs = nullptr;  // 64 values per MCU block, natural order, not cleared whole
  int32_t m_coef_count[10];        // per MCU block: values at zig-zag index >= count are 0
  uint8_t* m_samples = nullptr;    // one MCU row of 8×8 sample blocks

  colour_tables m_colour;
  uint8_t* m_line_buf[2] = {};

  int32_t m_status = 0;
  bool m_ready = false;
};

}  // namespace jpgd

#endif  // IMAGE_JPEG_INTERNAL_JPEG_DECODER_CORE_H
