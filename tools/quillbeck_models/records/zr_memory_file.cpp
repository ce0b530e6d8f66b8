// tools/quillbeck_models/records/zr_memory_file.cpp: memory streams and captured writes.
#include "tools/quillbeck_models/records/zr_memory_file.h"

#include <cstdlib>

#include <sys/types.h>

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

namespace {

// The state of a ZR_WritesWithin stream: how many more bytes it takes.
struct zr_write_limit {
  size_t left;
};

ssize_t LimitedWrite(void* cookie, const char*, size_t n) {
  auto* limit = static_cast<zr_write_limit*>(cookie);
  const size_t taken = n < limit->left ? n : limit->left;
  limit->left -= taken;
  // 0, not -1, for a full stream: glibc's unbuffered fwrite miscounts a -1 as written bytes.
  return static_cast<ssize_t>(taken);
}

}  // namespace

bool ZR_WritesWithin(size_t limit, const std::function<FILE*(FILE*)>& write) {
  zr_write_limit state{limit};
  cookie_io_functions_t io = {nullptr, LimitedWrite, nullptr, nullptr};
  FILE* f = fopencookie(&state, "wb", io);
  if (f == nullptr) std::abort();
  std::setvbuf(f, nullptr, _IONBF, 0);
  const bool wrote = write(f) == f;
  std::fclose(f);
  return wrote;
}
