// tools/quillbeck_models/records/zr_memory_file.h: C streams over bytes for the record writers and
// tests. Reading goes through fmemopen (seekable, no descriptor, as the fuzz targets use it);
// writing goes through a real temporary file so that writers meet an ordinary stream.
#ifndef TOOLS_QUILLBECK_MODELS_RECORDS_ZR_MEMORY_FILE_H
#define TOOLS_QUILLBECK_MODELS_RECORDS_ZR_MEMORY_FILE_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

// A read-only stream over a private copy of bytes; closed by the destructor.
class ZR_MemoryFile {
 public:
  explicit ZR_MemoryFile(std::vector<uint8_t> bytes);
  ~ZR_MemoryFile();
  ZR_MemoryFile(const ZR_MemoryFile&) = delete;
  ZR_MemoryFile& operator=(const ZR_MemoryFile&) = delete;

  FILE* get() const { return m_file; }
  // Bytes not yet read.
  long Left() const;

 private:
  std::vector<uint8_t> m_bytes;
  FILE* m_file;
};

// Runs write on a fresh temporary file and returns the bytes it wrote. ok (when given) is set to
// whether write returned the stream.
std::vector<uint8_t> ZR_WrittenBytes(const std::function<FILE*(FILE*)>& write, bool* ok = nullptr);

// Runs write on an unbuffered stream that takes at most limit bytes (further writes come up short)
// and returns whether write returned the stream. A writer that checks every write fails for each
// limit below its record's size.
bool ZR_WritesWithin(size_t limit, const std::function<FILE*(FILE*)>& write);

#endif  // TOOLS_QUILLBECK_MODELS_RECORDS_ZR_MEMORY_FILE_H
