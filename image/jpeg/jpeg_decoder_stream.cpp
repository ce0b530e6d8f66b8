// image/jpeg/jpeg_decoder_stream.cpp: the decoder's file and memory input streams. A short read
// tells the end of the file from a read error through the C runtime's error test.
#include "image/jpeg/jpgd.h"

#include <cstring>

namespace jpgd {

jpeg_decoder_file_stream::~jpeg_decoder_file_stream() { close(); }

bool jpeg_decoder_file_stream::open(const char* path) {
  close();
  m_file = std::fopen(path, "rb");
  return m_file != nullptr;
}

void jpeg_decoder_file_stream::close() {
  if (m_file) std::fclose(m_file);
  m_file = nullptr;
  m_eof = false;
  m_error = false;
}

int32_t jpeg_decoder_file_stream::fetch(uint8_t* buf, int32_t max_bytes, bool* eof) {
  if (!m_file) return -1;
  if (m_eof) {
    *eof = true;
    return 0;
  }
  if (m_error || max_bytes < 0) return -1;
  size_t got = std::fread(buf, 1, static_cast<size_t>(max_bytes), m_file);
  if (got < static_cast<size_t>(max_bytes)) {
    if (std::ferror(m_file)) {
      m_error = true;
      return -1;
    }
    m_eof = true;
    *eof = true;
  }
  return static_cast<int32_t>(got);
}

int32_t jpeg_decoder_mem_stream::fetch(uint8_t* buf, int32_t max_bytes, bool* eof) {
  if (max_bytes < 0) return -1;
  size_t left = m_size - m_pos;
  size_t n = left < static_cast<size_t>(max_bytes) ? left : static_cast<size_t>(max_bytes);
  if (n) std::memcpy(buf, m_data + m_pos, n);
  m_pos += n;
  if (m_pos == m_size) *eof = true;
  return static_cast<int32_t>(n);
}

}  // namespace jpgd
