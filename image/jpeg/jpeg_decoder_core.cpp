// image/jpeg/jpeg_decoder_core.cpp: the decoder object's life: construction up to the frame
// header, the error escape, the memory pool and the input buffer. Once the stream has ended the
// input reads on as FF D9 pairs, so a cut file ends in an end-of-image marker, never in a read
// past the buffer.
#include "image/jpeg/internal/jpeg_decoder_core.h"

#include <cstdlib>
#include <cstring>

namespace jpgd {

namespace {
constexpr size_t kPoolHeader = sizeof(pool_block);
static_assert(kPoolHeader % 16 == 0, "pool pieces must stay 16-aligned");
constexpr size_t kPoolBlockCapacity = 32512;
}  // namespace

jpeg_decoder_core::jpeg_decoder_core(jpeg_decoder_stream* stream) : m_stream(stream) {
  m_in_ptr = m_in_buf + kInPutBack;
  for (int32_t& c : m_coef_count) c = 64;
  try {
    FillInput();
    LocateSoi();
    ReadFirstFrameMarker();
    ReadSofHeader();
  } catch (const failure&) {
  }
}

jpeg_decoder_core::~jpeg_decoder_core() {
  FreePool();
  m_stream = nullptr;
}

void jpeg_decoder_core::fail(int32_t code) {
  m_status = code;
  m_stream = nullptr;
  m_ready = false;
  FreePool();
  throw failure{};
}

void jpeg_decoder_core::FreePool() {
  pool_block* b = m_pool;
  while (b) {
    pool_block* next = b->m_next;
    std::free(b);
    b = next;
  }
  m_pool = nullptr;
}

void* jpeg_decoder_core::pool_alloc(size_t bytes, bool zero_fill) {
  // Pieces are multiples of 16 bytes, so every piece is aligned for any record it holds.
  if (bytes > (size_t{1} << 40)) fail(kStatusNoMemory);
  bytes = bytes < 16 ? 16 : (bytes + 15) & ~size_t{15};
  for (pool_block* b = m_pool; b; b = b->m_next) {
    if (b->m_capacity - b->m_used >= bytes) {
      uint8_t* piece = reinterpret_cast<uint8_t*>(b) + kPoolHeader + b->m_used;
      b->m_used += bytes;
      if (zero_fill) std::memset(piece, 0, bytes);
      return piece;
    }
  }
  size_t rounded = (bytes + 2047) & ~size_t{2047};
  size_t capacity = rounded < 32768 ? kPoolBlockCapacity : rounded;
  // A fresh block for a zero-filled piece comes from calloc: large planes then cost no writes.
  void* mem = zero_fill ? std::calloc(1, kPoolHeader + capacity)
                        : std::malloc(kPoolHeader + capacity);
  if (!mem) fail(kStatusNoMemory);
  pool_block* b = static_cast<pool_block*>(mem);
  b->m_next = m_pool;
  b->m_used = bytes;
  b->m_capacity = capacity;
  m_pool = b;
  return reinterpret_cast<uint8_t*>(b) + kPoolHeader;
}

void jpeg_decoder_core::FillInput() {
  m_in_ptr = m_in_buf + kInPutBack;
  m_in_left = 0;
  while (!m_stream_ended && m_stream && m_in_left < kInData) {
    bool eof = false;
    int32_t want = kInData - m_in_left;
    int32_t got = m_stream->fetch(m_in_ptr + m_in_left, want, &eof);
    if (got < 0 || got > want) fail(kStatusStreamRead);
    m_in_left += got;
    if (eof) m_stream_ended = true;
    if (got == 0) break;  // a stream that delivers nothing is asked again at the next fill
  }
  // End markers after the data keep any look-ahead inside the buffer and on marker bytes.
  uint8_t* end = m_in_ptr + m_in_left;
  for (int32_t i = 0; i < kInFiller; i += 2) {
    end[i] = 0xFF;
    end[i + 1] = 0xD9;
  }
}

}  // namespace jpgd
