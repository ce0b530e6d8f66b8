// fuzz/array_records_fuzz.cpp: every container record reader over the same bytes, each through
// its own fmemopen stream: ZR_Array<T>::Read for float, int, unsigned int, byte, ZR_Vector2D,
// zr_coord and ZR_Barys; ZR_Array2D<float>::Read; ZR_List<T>::Read for int, ZR_Vector2D and
// ZR_TRIANGLE; ZR_String::Read; ZR_Vector3D, ZR_TRIANGLE and zr_coord reads. Each reader runs
// until it fails, into one object, so re-reads over a filled object are covered too. Every element
// of a result is touched, and the arrays that have writers must write back what they read.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/zr_array.h"
#include "core/zr_array2d.h"
#include "core/zr_list.h"
#include "core/zr_point.h"
#include "core/zr_string.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr int kMaxRecords = 16;

volatile uint8_t g_sink;

void Touch(const void* p, size_t n) {
  const auto* b = static_cast<const uint8_t*>(p);
  uint8_t x = 0;
  for (size_t i = 0; i < n; ++i) x ^= b[i];
  g_sink = x;
}

// Writes what was read and reads it again: the two arrays must hold the same bytes.
template <class A>
void RoundTrip(const A& a, size_t element_bytes) {
  // Room for the record and the zero that fmemopen adds after written bytes.
  std::vector<uint8_t> buffer(48 + size_t(a.m_count) * element_bytes);
  FILE* out = fmemopen(buffer.data(), buffer.size(), "w+b");
  FUZZ_CHECK(out != nullptr);
  FUZZ_CHECK(a.Write(out) == out && std::fflush(out) == 0);
  std::rewind(out);
  A b;
  FUZZ_CHECK(b.Read(out) == out);
  std::fclose(out);
  FUZZ_CHECK(b.m_count == a.m_count && b.m_lo == a.m_lo && b.m_hi == a.m_hi);
  if (a.m_count != 0) FUZZ_CHECK(std::memcmp(a.Block(), b.Block(), a.m_count * element_bytes) == 0);
}

template <class T>
void Array(const uint8_t* data, size_t size, bool writable) {
  FuzzStream s(data, size);
  ZR_Array<T> a;
  for (int i = 0; i < kMaxRecords && a.Read(s.get()); ++i) {
    FUZZ_CHECK(a.m_count == uint32_t(a.m_hi) - uint32_t(a.m_lo) + 1u);
    FUZZ_CHECK(uint64_t(a.m_count) * zr_element_record<T>::kBytes <= size);
    if (a.m_count != 0) Touch(&a[a.m_lo], sizeof(T) * a.m_count);
    if constexpr (zr_element_record<T>::kPlain)
      if (writable) RoundTrip(a, sizeof(T));
  }
}

void Array2D(const uint8_t* data, size_t size) {
  FuzzStream s(data, size);
  ZR_Array2D<float> a;
  for (int i = 0; i < kMaxRecords && a.Read(s.get()); ++i) {
    if (a.m_count == 0) {
      FUZZ_CHECK(a.m_rows == 0 && a.m_cols == 0 && a.m_row_table.m_count == 0);
      continue;
    }
    FUZZ_CHECK(int64_t(a.m_rows) * a.m_cols == a.m_count && a.m_lo == 0);
    float x = 0;
    for (int32_t r = a.m_row_lo; r <= a.m_row_hi; ++r)
      for (int32_t c = a.m_col_lo; c <= a.m_col_hi; ++c) x += a[r][c];
    Touch(&x, sizeof x);
    RoundTrip(a, sizeof(float));
  }
}

template <class T>
void List(const uint8_t* data, size_t size) {
  FuzzStream s(data, size);
  ZR_List<T> list;
  for (int i = 0; i < kMaxRecords && list.Read(s.get()); ++i) {
    FUZZ_CHECK(list.m_count <= list.m_capacity);
    for (uint32_t k = 0; k < list.m_count; ++k) Touch(&list[k], sizeof(T));
  }
  for (uint32_t k = 0; k < list.m_count; ++k) Touch(&list[k], sizeof(T));
}

void String(const uint8_t* data, size_t size) {
  FuzzStream s(data, size);
  ZR_String text;
  for (int i = 0; i < kMaxRecords && text.Read(s.get()); ++i) {
    FUZZ_CHECK(text.m_length == std::strlen(text.m_text) + 1);
    ZR_String copy = text;
    copy += text;
    FUZZ_CHECK(copy.m_length == 2 * text.m_length - 1);
    Touch(copy.m_text, copy.m_length);
  }
}

template <class T>
void Value(const uint8_t* data, size_t size) {
  FuzzStream s(data, size);
  T value;
  for (int i = 0; i < kMaxRecords && value.Read(s.get()); ++i) Touch(&value, sizeof value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Array<float>(data, size, true);
  Array<int32_t>(data, size, true);
  Array<uint32_t>(data, size, true);
  Array<uint8_t>(data, size, true);
  Array<ZR_Vector2D>(data, size, false);
  Array<zr_coord>(data, size, false);
  Array<ZR_Barys>(data, size, false);
  Array2D(data, size);
  List<int32_t>(data, size);
  List<ZR_Vector2D>(data, size);
  List<ZR_TRIANGLE>(data, size);
  String(data, size);
  Value<ZR_Vector3D>(data, size);
  Value<ZR_TRIANGLE>(data, size);
  Value<zr_coord>(data, size);
  return 0;
}
