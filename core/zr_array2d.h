// core/zr_array2d.h: ZR_Array2D<T>, a row-major block over rowLo..rowHi x colLo..colHi with a
// table of biased row pointers, and its record (plain elements and ZR_Vector elements). The layout
// is handed to plug-ins inside ZR_Image, so the fields are a contract. rows * cols is taken in 64
// bits: a product past the 32-bit element count is an allocation failure, never a wrapped size.
#ifndef CORE_ZR_ARRAY2D_H
#define CORE_ZR_ARRAY2D_H

#include <cstdint>
#include <cstdio>
#include <type_traits>

#include "core/zr_array.h"
#include "core/zr_point.h"

// ZR_Array2D<T>: 2-D array; empty: empty base and row table, rows 0, cols 0, ranges 0..-1 x 0..-1.
//   Layout (plug-in contract): the ZR_Array<T> base (the elements, lo 0, row by row), then
//     ZR_Array<T*> m_row_table, int32 m_rows, m_cols, m_row_lo, m_row_hi, m_col_lo, m_col_hi.
//   Element (r, c) is m_row_table[r][c], flat element (r - rowLo) * cols + (c - colLo); unchecked.
//   When rows or cols is below 1 there is no block and no row table, but the bounds are kept.
//   Owns: the block (the row table owns nothing). Threads: as ZR_Array.
//   Failure: an allocation that fails, or rows * cols past 2^31 - 1, prints
//     "ZR_Array<T>::Resize(), run out of memory" and aborts.
template <class T>
class ZR_Array2D : public ZR_Array<T> {
 public:
  ZR_Array<T*> m_row_table;
  int32_t m_rows;
  int32_t m_cols;
  int32_t m_row_lo;
  int32_t m_row_hi;
  int32_t m_col_lo;
  int32_t m_col_hi;

  ZR_Array2D() : m_rows(0), m_cols(0), m_row_lo(0), m_row_hi(-1), m_col_lo(0), m_col_hi(-1) {}
  ZR_Array2D(int32_t rows, int32_t cols) : ZR_Array2D() { Resize(rows, cols); }
  ZR_Array2D(const ZR_Array2D& other) : ZR_Array2D() { *this = other; }
  // The row table (a member) goes before the block (the base).
  ~ZR_Array2D() override = default;

  // Row r: its column c is [c].
  T* operator[](int32_t r) { return m_row_table[r]; }
  const T* operator[](int32_t r) const { return m_row_table[r]; }

  // Gives the array the bounds. A new shape with the same number of elements keeps the block and
  // its values in flat order; any other number gives a fresh block.
  void Resize(int32_t row_lo, int32_t row_hi, int32_t col_lo, int32_t col_hi) {
    Reshape(row_lo, row_hi, col_lo, col_hi, true);
  }

  // Resize for a caller that writes every element before reading any: a fresh block is not
  // cleared (see ZR_Array::ResizeForOverwrite).
  void ResizeForOverwrite(int32_t row_lo, int32_t row_hi, int32_t col_lo, int32_t col_hi) {
    Reshape(row_lo, row_hi, col_lo, col_hi, false);
  }
  void ResizeForOverwrite(int32_t rows, int32_t cols) {
    ResizeForOverwrite(0, static_cast<int32_t>(int64_t(rows) - 1), 0,
                       static_cast<int32_t>(int64_t(cols) - 1));
  }

  // Resize(0, rows - 1, 0, cols - 1).
  void Resize(int32_t rows, int32_t cols) {
    Resize(0, static_cast<int32_t>(int64_t(rows) - 1), 0, static_cast<int32_t>(int64_t(cols) - 1));
  }

  ZR_Array2D& operator=(const ZR_Array2D& source) {
    if (this == &source) return *this;
    ResizeForOverwrite(source.m_row_lo, source.m_row_hi, source.m_col_lo, source.m_col_hi);
    T* to = this->Block();
    const T* from = source.Block();
    for (uint32_t k = 0; k < this->m_count; ++k) to[k] = from[k];
    return *this;
  }

  // (cols, rows), each converted as an unsigned 32-bit value: (width, height) of an image.
  ZR_Vector2D GetSize() const {
    return ZR_Vector2D(static_cast<float>(static_cast<uint32_t>(m_cols)),
                       static_cast<float>(static_cast<uint32_t>(m_rows)));
  }

  // Writes the four bounds (int32 each), then the array record of the block. Returns the stream,
  // or null at a short write. For 4-byte plain elements, bytes and ZR_Vector elements (each
  // element of a ZR_Array2D<ZR_Vector> is a float array record).
  FILE* Write(FILE* f) const {
    if (!ZR_WriteValue(f, m_row_lo) || !ZR_WriteValue(f, m_row_hi) || !ZR_WriteValue(f, m_col_lo) ||
        !ZR_WriteValue(f, m_col_hi))
      return nullptr;
    return ZR_Array<T>::Write(f);
  }

  // Reads a record written by Write. A block of count 0 reads as the empty 2-D array whatever the
  // bounds say. Returns the stream, or null, leaving the array as it was, at a short read of the
  // bounds or the block header, or when the block's range is bad, does not start at 0, does not
  // hold rows * cols elements or needs more bytes than the stream has left (ZR_Vector elements
  // count their 24-byte headers). At a short or refused element read it returns null and the
  // array is empty. For the element types of zr_element_record.
  FILE* Read(FILE* f) {
    using record = zr_element_record<T>;
    static_assert(record::kDefined, "this element type has no 2-D record");
    int32_t bounds[4];
    zr_array_record_header header;
    int32_t lo, hi;
    uint32_t n;
    if (!ZR_ReadValues(f, bounds, 4) || !header.Read(f) || !header.Range(lo, hi, n)) return nullptr;
    if (n == 0) {
      Resize(0, 0);
      return f;
    }
    const int64_t rows = int64_t(bounds[1]) - bounds[0] + 1;
    const int64_t cols = int64_t(bounds[3]) - bounds[2] + 1;
    // Each side is at most n, so the product is formed only when it cannot overflow.
    if (lo != 0 || rows < 1 || cols < 1 || rows > int64_t(n) || cols > int64_t(n) / rows ||
        rows * cols != n)
      return nullptr;
    if (!ZR_RecordFits(f, n, record::kBytes)) return nullptr;
    Resize(bounds[0], bounds[1], bounds[2], bounds[3]);
    if (!record::Read(f, this->Block(), n)) {
      Resize(0, 0);
      return nullptr;
    }
    return f;
  }

 private:
  // Resize's work; value_init says whether a fresh block's elements are value-initialised.
  void Reshape(int32_t row_lo, int32_t row_hi, int32_t col_lo, int32_t col_hi, bool value_init) {
    if (row_lo == m_row_lo && row_hi == m_row_hi && col_lo == m_col_lo && col_hi == m_col_hi)
      return;
    const int64_t rows = int64_t(row_hi) - row_lo + 1, cols = int64_t(col_hi) - col_lo + 1;
    m_rows = static_cast<int32_t>(rows);
    m_cols = static_cast<int32_t>(cols);
    m_row_lo = row_lo;
    m_row_hi = row_hi;
    m_col_lo = col_lo;
    m_col_hi = col_hi;
    // A negative extent is no block, whatever the product of the two says.
    const int64_t elements = rows < 1 || cols < 1 ? 0 : rows * cols;
    if (elements > std::numeric_limits<int32_t>::max())
      ZR_OutOfMemory("ZR_Array<T>::Resize(), run out of memory");
    const int32_t hi = static_cast<int32_t>(elements - 1);
    if (value_init)
      ZR_Array<T>::Resize(0, hi);
    else
      ZR_Array<T>::ResizeForOverwrite(0, hi);
    BuildRowTable();
  }

  void BuildRowTable() {
    if (this->m_count == 0) {
      m_row_table.Resize(0, -1);
      return;
    }
    m_row_table.Resize(m_row_lo, m_row_hi);
    T* row = this->Block();
    for (int64_t r = m_row_lo; r <= m_row_hi; ++r, row += m_cols)
      m_row_table[static_cast<int32_t>(r)] = ZR_BiasPointer(row, m_col_lo);
  }
};

#if defined(__x86_64__)
static_assert(sizeof(ZR_Array2D<float>) == 88, "plug-ins see base, row table, six int32 bounds");
#endif

#endif  // CORE_ZR_ARRAY2D_H
