// core/zr_element_record.h: how one element of an array or list record is stored. Plain 4-byte
// numbers and bytes are their memory bytes and move as whole blocks; the point types carry a vptr,
// so they are read field by field, never as raw memory; a ZR_Vector element is a whole float array
// record of its own. Types without a record fail to compile.
#ifndef CORE_ZR_ELEMENT_RECORD_H
#define CORE_ZR_ELEMENT_RECORD_H

#include <cstdint>
#include <cstdio>

#include "core/zr_point.h"
#include "core/zr_record_io.h"

class ZR_Vector;

// zr_element_record<T>: kBytes is the size of one element in a record (the smallest size, for
// elements of varying size); kPlain marks types that are written and read as one block of memory;
// kWritable marks types that have a writer. Read(f, e, n) reads n elements in order and is false
// at the first short read or refused element (the elements read so far are kept); Write(f, e, n)
// writes n elements in order and is false at the first short write.
template <class T>
struct zr_element_record {
  static constexpr bool kDefined = false;
};

template <class T>
struct zr_plain_element_record {
  static constexpr bool kDefined = true;
  static constexpr bool kPlain = true;
  static constexpr bool kWritable = true;
  static constexpr uint32_t kBytes = sizeof(T);
  static bool Read(FILE* f, T* e, uint32_t n) { return ZR_ReadValues(f, e, n); }
  static bool Write(FILE* f, const T* e, uint32_t n) { return ZR_WriteValues(f, e, n); }
};

template <>
struct zr_element_record<float> : zr_plain_element_record<float> {};
template <>
struct zr_element_record<int32_t> : zr_plain_element_record<int32_t> {};
template <>
struct zr_element_record<uint32_t> : zr_plain_element_record<uint32_t> {};
template <>
struct zr_element_record<uint8_t> : zr_plain_element_record<uint8_t> {};

// Class elements: read one at a time, each field by itself.
template <class T>
struct zr_class_element_record {
  static constexpr bool kDefined = true;
  static constexpr bool kPlain = false;
  static constexpr bool kWritable = false;
  static bool Read(FILE* f, T* e, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i)
      if (!zr_element_record<T>::ReadOne(f, e[i])) return false;
    return true;
  }
};

// x, then y.
template <>
struct zr_element_record<ZR_Vector2D> : zr_class_element_record<ZR_Vector2D> {
  static constexpr uint32_t kBytes = 8;
  static bool ReadOne(FILE* f, ZR_Vector2D& v) {
    return ZR_ReadValue(f, v.x) && ZR_ReadValue(f, v.y);
  }
};

// The two signed values in order.
template <>
struct zr_element_record<zr_coord> : zr_class_element_record<zr_coord> {
  static constexpr uint32_t kBytes = 8;
  static bool ReadOne(FILE* f, zr_coord& c) { return c.Read(f) != nullptr; }
};

// The three vertex indices in order.
template <>
struct zr_element_record<ZR_TRIANGLE> : zr_class_element_record<ZR_TRIANGLE> {
  static constexpr uint32_t kBytes = 12;
  static bool ReadOne(FILE* f, ZR_TRIANGLE& t) { return t.Read(f) != nullptr; }
};

// The weights x, y, z, then the triangle's three vertex indices.
template <>
struct zr_element_record<ZR_Barys> : zr_class_element_record<ZR_Barys> {
  static constexpr uint32_t kBytes = 24;
  static bool ReadOne(FILE* f, ZR_Barys& b) {
    return ZR_ReadValue(f, b.x) && ZR_ReadValue(f, b.y) && ZR_ReadValue(f, b.z) &&
           b.tri.Read(f) != nullptr;
  }
};

// A float array record (u64 count, i64 lo, i64 hi, the floats), 24 bytes at least. A ZR_Vector
// indexes from 0, so ReadOne refuses a stored non-empty range that starts elsewhere and gives an
// empty one the range 0..-1. Defined in core/zr_vector.cpp.
template <>
struct zr_element_record<ZR_Vector> : zr_class_element_record<ZR_Vector> {
  static constexpr bool kWritable = true;
  static constexpr uint32_t kBytes = 24;
  static bool ReadOne(FILE* f, ZR_Vector& v);
  static bool Read(FILE* f, ZR_Vector* e, uint32_t n);
  static bool Write(FILE* f, const ZR_Vector* e, uint32_t n);
};

#endif  // CORE_ZR_ELEMENT_RECORD_H
