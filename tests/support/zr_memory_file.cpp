// tests/support/zr_memory_file.cpp: memory streams and captured writes.
#include "tests/support/zr_memory_file.h"

#include <cstdlib>

ZR_MemoryFile::ZR_MemoryFile(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {
  // fmemopen needs a buffer even for no bytes.
  m_bytes.reserve(m_bytes.size() + 1);
  m_file = fmemopen(m_bytes.data(), m_bytes.size(), "rb");
  if (m_file == nullptr) std::abort();
}

ZR_MemoryFile::~ZR_MemoryFile() {
  std::fclose(m_file);
}

long ZR_MemoryFile::Left() const {
  const long pos = std::ftell(m_file);
  return static_cast<long>(m_bytes.size()) - pos;
}

std::vector<uint8_t> ZR_WrittenBytes(const std::function<FILE*(FILE*)>& write, bool* ok) {
  FILE* f = std::tmpfile();
  if (f == nullptr) std::abort();
  const bool wrote = write(f) == f;
  if (ok != nullptr) *ok = wrote;
  std::vector<uint8_t> bytes(static_cast<size_t>(std::ftell(f)));
  std::rewind(f);
  if (!bytes.empty() && std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
  std::fclose(f);
  return bytes;
}
