// annotation/zr_landmark_blob.cpp: the "amod" landmark blob, one model as raw little-endian
// values with no gaps: int32 model flag, int32 count, then per annotation int32 value, u8 open,
// u8 include, u8 red, green, blue, int32 name length L (with the zero), L name bytes, int32 point
// count, x and y float32 per point, int32 fixed-index count, the int32 indices. Plug-ins and peers
// read it back from the gallery, so its bytes are a contract.
#include "annotation/zr_anno_model2d.h"

#include <cstdint>
#include <cstring>

#include "core/zr_record_io.h"  // pins little-endian hosts with IEEE floats

namespace {

template <class T>
bool Put(zr_byte_buffer& out, T value) {
  static_assert(sizeof(T) == 1 || sizeof(T) == 4, "blob fields are bytes and 4-byte values");
  return out.Append(&value, sizeof value);
}

}  // namespace

bool ZR_Annotation2D::Serialise(zr_byte_buffer& out) const {
  if (!Put(out, m_value) || !Put(out, m_open) || !Put(out, m_include) || !Put(out, m_colour[0]) ||
      !Put(out, m_colour[1]) || !Put(out, m_colour[2]))
    return false;
  // The stored length counts the zero, and the text block holds that many bytes.
  if (!Put(out, int32_t(m_name.m_length)) || !out.Append(m_name.m_text, m_name.m_length))
    return false;
  if (!Put(out, int32_t(m_count))) return false;
  for (uint32_t i = 0; i < m_count; ++i)
    if (!Put(out, (*this)[i].x) || !Put(out, (*this)[i].y)) return false;
  if (!Put(out, int32_t(m_fixed.m_count))) return false;
  for (uint32_t i = 0; i < m_fixed.m_count; ++i)
    if (!Put(out, int32_t(m_fixed[i]))) return false;
  return true;
}

bool ZR_AnnoModel2D::SerialiseInto(zr_byte_buffer& out) const {
  if (!Put(out, m_flag) || !Put(out, int32_t(m_count))) return false;
  for (uint32_t a = 0; a < m_count; ++a)
    if (!(*this)[a].Serialise(out)) return false;
  return true;
}

bool ZR_AnnoModel2D::Serialise(ZR_Array<unsigned char>& out) const {
  zr_byte_buffer buffer;
  // The array's range is signed 32-bit.
  if (!SerialiseInto(buffer) || buffer.m_size > uint32_t(INT32_MAX)) {
    buffer.Free();
    return false;
  }
  out.Resize(int32_t(buffer.m_size));
  std::memcpy(out.Block(), buffer.m_data, buffer.m_size);
  buffer.Free();
  return true;
}
