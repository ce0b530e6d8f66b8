// core/zr_record_io.h: raw little-endian record fields on C streams, and how many bytes a stream
// has left. Records hold fixed-width fields in field order with no gaps; on a little-endian host
// with IEEE floats a field is its bytes in memory, so reading and writing is one fread/fwrite.
#ifndef CORE_ZR_RECORD_IO_H
#define CORE_ZR_RECORD_IO_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <type_traits>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "records are read as raw little-endian");
static_assert(sizeof(float) == 4 && std::numeric_limits<float>::is_iec559,
              "records hold 4-byte IEEE-754 floats");

// Reads n values of T (a 1-, 2-, 4- or 8-byte number) into values. True when all n arrived; on a
// short read the values that arrived are stored and the rest are unspecified. n = 0 reads nothing
// and succeeds.
template <class T>
bool ZR_ReadValues(FILE* f, T* values, size_t n) {
  static_assert(std::is_arithmetic_v<T> &&
                    (sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8),
                "a record field is a 1-, 2-, 4- or 8-byte number");
  return n == 0 || std::fread(values, sizeof(T), n, f) == n;
}

// Writes n values of T. True when all n were written.
template <class T>
bool ZR_WriteValues(FILE* f, const T* values, size_t n) {
  static_assert(std::is_arithmetic_v<T> &&
                    (sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8),
                "a record field is a 1-, 2-, 4- or 8-byte number");
  return n == 0 || std::fwrite(values, sizeof(T), n, f) == n;
}

template <class T>
bool ZR_ReadValue(FILE* f, T& value) {
  return ZR_ReadValues(f, &value, 1);
}

template <class T>
bool ZR_WriteValue(FILE* f, const T& value) {
  return ZR_WriteValues(f, &value, 1);
}

// Bytes from the stream's position to its end, or -1 when that cannot be known: a null stream, a
// pipe or terminal, a stream whose position cannot be told. Regular files are measured with
// fstat against ftello, which keeps the stream's buffer; other seekable streams (fmemopen) are
// measured by seeking to the end and back. The position is the same afterwards (a failed seek
// back is reported as -1). Meant for streams being read: bytes still in a write buffer are not
// counted. Never negative except for -1.
int64_t ZR_BytesLeft(FILE* f);

// True when count elements of element_bytes each can still come from the stream: the product
// does not overflow and is at most ZR_BytesLeft(f). When the bytes left are unknown (-1) only the
// overflow is checked. Every record reader calls this before it allocates from a count it read.
bool ZR_RecordFits(FILE* f, uint64_t count, uint64_t element_bytes);

#endif  // CORE_ZR_RECORD_IO_H
