// core/zr_byte_buffer.h: zr_byte_buffer, the growable byte block in which blobs are assembled.
// A plain record: it frees nothing by itself; its owner calls Free.
#ifndef CORE_ZR_BYTE_BUFFER_H
#define CORE_ZR_BYTE_BUFFER_H

#include <cstdint>

// zr_byte_buffer: m_size bytes in m_data (grown with realloc); empty: null and 0.
//   Owns: m_data, released only by Free. Threads: not synchronised.
struct zr_byte_buffer {
  uint8_t* m_data = nullptr;
  uint32_t m_size = 0;

  // Appends n bytes. Returns true, or false when bytes is null (with n > 0), when the size would
  // pass 2^32 - 1 or when the block cannot be enlarged; the buffer then keeps its earlier bytes.
  // n = 0 changes nothing and succeeds.
  bool Append(const void* bytes, uint32_t n);
  // Frees the block: null and 0.
  void Free();
};

#endif  // CORE_ZR_BYTE_BUFFER_H
