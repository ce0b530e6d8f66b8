// fuzz/fuzz_support.h: what the record fuzz targets share: a read-only C stream over the input
// bytes (the readers under test take FILE*), and a check that names the broken invariant before
// the abort the fuzzing engine reports.
#ifndef FUZZ_FUZZ_SUPPORT_H
#define FUZZ_FUZZ_SUPPORT_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s: %s failed (line %d)\n", __FILE__, #condition, __LINE__); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

// A private copy of the bytes opened with fmemopen; the copy keeps one spare byte so that a
// zero-length input still has a valid buffer.
class FuzzStream {
 public:
  FuzzStream(const uint8_t* data, size_t size) : m_bytes(data, data + size) {
    m_bytes.reserve(size + 1);
    m_file = fmemopen(m_bytes.data(), size, "rb");
    FUZZ_CHECK(m_file != nullptr);
  }
  ~FuzzStream() { std::fclose(m_file); }
  FuzzStream(const FuzzStream&) = delete;
  FuzzStream& operator=(const FuzzStream&) = delete;

  FILE* get() const { return m_file; }

 private:
  std::vector<uint8_t> m_bytes;
  FILE* m_file;
};

#endif  // FUZZ_FUZZ_SUPPORT_H
