// core/zr_byte_buffer.cpp: zr_byte_buffer. realloc's result goes to a local first, so a failed
// enlargement leaves the old block reachable instead of leaking it.
#include "core/zr_byte_buffer.h"

#include <cstdlib>
#include <cstring>
#include <limits>

bool zr_byte_buffer::Append(const void* bytes, uint32_t n) {
  if (n == 0) return true;  // realloc(p, 0) would free the block
  if (bytes == nullptr || n > std::numeric_limits<uint32_t>::max() - m_size) return false;
  uint8_t* block = static_cast<uint8_t*>(std::realloc(m_data, size_t(m_size) + n));
  if (block == nullptr) return false;
  std::memcpy(block + m_size, bytes, n);
  m_data = block;
  m_size += n;
  return true;
}

void zr_byte_buffer::Free() {
  std::free(m_data);
  m_data = nullptr;
  m_size = 0;
}
