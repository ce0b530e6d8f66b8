// core/zr_array.h: ZR_Array<T>, the 1-D array over an inclusive index range lo..hi, and its file
// record. The element pointer is biased (element i is m_data[i]) and the layout is handed to
// plug-ins, so the fields below are a contract: no member may be added, moved or widened.
#ifndef CORE_ZR_ARRAY_H
#define CORE_ZR_ARRAY_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <new>
#include <type_traits>

#include "core/zr_element_record.h"
#include "core/zr_out_of_memory.h"
#include "core/zr_record_io.h"

// p - lo elements, formed on the address so that a pointer outside the block is never made by
// pointer arithmetic (which would be undefined). The ABI stores this biased pointer.
template <class T>
inline T* ZR_BiasPointer(T* p, int64_t lo) {
  return reinterpret_cast<T*>(reinterpret_cast<uintptr_t>(p) -
                              static_cast<uintptr_t>(lo) * sizeof(T));
}

// ZR_Array<T>: array over lo..hi that need not start at 0; empty: data null, count 0, lo 0, hi -1.
//   Layout (plug-in contract): vptr, T* m_data (biased: element i is m_data[i]), uint32 m_count,
//     int32 m_lo, int32 m_hi.
//   Invariants: m_count = hi - lo + 1 in unsigned 32-bit arithmetic; the block is held exactly
//     when m_count != 0, and m_data is null when it is not.
//   Owns: its block. A fresh block has value-initialised elements (plain elements are zero),
//     except one made by ResizeForOverwrite.
//   Rules callers rely on: a Resize to the same count keeps the block and only moves the range;
//     any other count gives a fresh block without the old contents.
//   Threads: not synchronised; several threads may read an array nobody writes.
//   Failure: an allocation that fails prints "ZR_Array<T>::Resize(), run out of memory" and aborts.
//   Element access is unchecked.
template <class T>
class ZR_Array {
 public:
  T* m_data;
  uint32_t m_count;
  int32_t m_lo;
  int32_t m_hi;

  ZR_Array() : m_data(nullptr), m_count(0), m_lo(0), m_hi(-1) {}
  // A copy owns its own block (the copies share nothing).
  ZR_Array(const ZR_Array& other) : ZR_Array() { *this = other; }
  virtual ~ZR_Array() { FreeBlock(); }

  T& operator[](int32_t i) { return m_data[i]; }
  const T& operator[](int32_t i) const { return m_data[i]; }

  // The first element (index lo), or null when the array is empty.
  T* Block() const { return m_count == 0 ? nullptr : ZR_BiasPointer(m_data, -int64_t(m_lo)); }

  // Gives the array the range lo..hi (see the rules above).
  void Resize(int32_t lo, int32_t hi) { Reshape(lo, hi, true); }

  // Resize for a caller that writes every element before reading any: a fresh block's elements
  // are default-initialised (plain elements are left indeterminate), which saves clearing it.
  void ResizeForOverwrite(int32_t lo, int32_t hi) { Reshape(lo, hi, false); }

  // Resize(0, n - 1).
  void Resize(int32_t n) { Resize(0, n - 1); }

  // Takes the source's range and copies its elements; equal counts keep the block.
  ZR_Array& operator=(const ZR_Array& source) {
    if (this == &source) return *this;
    ResizeForOverwrite(source.m_lo, source.m_hi);
    T* to = Block();
    const T* from = source.Block();
    for (uint32_t k = 0; k < m_count; ++k) to[k] = from[k];
    return *this;
  }

  // Every element other than value itself becomes a copy of value. Present for ZR_Array<ZR_Vector>
  // (defined in core/zr_vector.h).
  void Fill(const T& value);

  // Writes the record: u64 count, i64 lo, i64 hi, then the elements lo..hi (plain ones in one
  // write). Returns the stream, or null at a short write. For 4-byte plain elements, bytes and
  // ZR_Vector elements.
  FILE* Write(FILE* f) const;

  // Reads a record written by Write (or of ZR_Vector2D, zr_coord, ZR_Barys elements). The count
  // field is not consulted: the range is the low 32 bits of lo and hi. Returns the stream, or null
  //   - at a short header read, or for a range with hi < lo - 1 or of 2^32 elements or more, or
  //     whose elements would need more bytes than the stream has left: the array is left as it was;
  //   - at a short element read (only on streams whose size is unknown): the array has the new
  //     range and the elements read so far.
  FILE* Read(FILE* f);

 private:
  // Resize's work; value_init says whether a fresh block's elements are value-initialised.
  void Reshape(int32_t lo, int32_t hi, bool value_init) {
    const uint32_t n = static_cast<uint32_t>(hi) - static_cast<uint32_t>(lo) + 1u;
    if (n == m_count) {
      if (lo != m_lo && m_count != 0) m_data = ZR_BiasPointer(Block(), lo);
      m_lo = lo;
      m_hi = hi;
      return;
    }
    FreeBlock();
    m_count = n;
    m_lo = lo;
    m_hi = hi;
    if (n == 0) return;
    if (n > std::numeric_limits<size_t>::max() / sizeof(T))
      ZR_OutOfMemory("ZR_Array<T>::Resize(), run out of memory");
    T* block = value_init ? new (std::nothrow) T[n]() : new (std::nothrow) T[n];
    if (block == nullptr) ZR_OutOfMemory("ZR_Array<T>::Resize(), run out of memory");
    m_data = ZR_BiasPointer(block, lo);
  }

  // GCC 12 at -O3 can fold the unbiasing of a constant-range array into a constant address and
  // then warn that delete[] frees a non-heap object; the block always comes from new[].
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wfree-nonheap-object"
#endif
  void FreeBlock() {
    delete[] Block();
    m_data = nullptr;
  }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
};

// The three 8-byte words that open an array record.
struct zr_array_record_header {
  uint64_t count;
  int64_t lo;
  int64_t hi;

  // Reads the header; false at a short read.
  bool Read(FILE* f) {
    return ZR_ReadValue(f, count) && ZR_ReadValue(f, lo) && ZR_ReadValue(f, hi);
  }
  // The range the readers use: the low 32 bits of lo and hi, read as signed. False when it holds
  // a negative number of elements (hi < lo - 1) or 2^32 or more.
  bool Range(int32_t& lo32, int32_t& hi32, uint32_t& n) const {
    lo32 = static_cast<int32_t>(static_cast<uint32_t>(lo));
    hi32 = static_cast<int32_t>(static_cast<uint32_t>(hi));
    const int64_t elements = int64_t(hi32) - int64_t(lo32) + 1;
    if (elements < 0 || elements > int64_t(std::numeric_limits<uint32_t>::max())) return false;
    n = static_cast<uint32_t>(elements);
    return true;
  }
};

template <class T>
FILE* ZR_Array<T>::Write(FILE* f) const {
  static_assert(zr_element_record<T>::kDefined && zr_element_record<T>::kWritable,
                "arrays are written for 4-byte plain elements, bytes and ZR_Vector only");
  const uint64_t count = m_count;
  const int64_t lo = m_lo, hi = m_hi;
  if (!ZR_WriteValue(f, count) || !ZR_WriteValue(f, lo) || !ZR_WriteValue(f, hi)) return nullptr;
  if (!zr_element_record<T>::Write(f, Block(), m_count)) return nullptr;
  return f;
}

template <class T>
FILE* ZR_Array<T>::Read(FILE* f) {
  static_assert(zr_element_record<T>::kDefined, "this element type has no array record");
  zr_array_record_header header;
  int32_t lo, hi;
  uint32_t n;
  if (!header.Read(f) || !header.Range(lo, hi, n)) return nullptr;
  if (!ZR_RecordFits(f, n, zr_element_record<T>::kBytes)) return nullptr;
  Resize(lo, hi);
  if (!zr_element_record<T>::Read(f, Block(), m_count)) return nullptr;
  return f;
}

#if defined(__x86_64__)
static_assert(sizeof(ZR_Array<unsigned char>) == 32, "plug-ins see vptr, data, count, lo, hi");
#endif

#endif  // CORE_ZR_ARRAY_H
