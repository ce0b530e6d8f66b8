// annotation/zr_annotation2d.cpp: ZR_Annotation2D, its record reader and the annotation list
// reader. Counts and name lengths from a file are checked against the bytes left before anything
// is allocated.
#include "annotation/zr_annotation2d.h"

#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "core/zr_record_io.h"

namespace {

constexpr float kLargest = std::numeric_limits<float>::max();  // 3.4028235e38

// The smallest annotation record: value, three flags, a one-byte name record, the colour and two
// empty lists.
constexpr uint32_t kMinAnnotationBytes = 4 + 3 + (4 + 1) + 3 + 4 + 4;

// Reads a string record into name the way annotation names are stored: the text is taken up to
// its first zero and the stored length is kept, so a name padded with zeros stays longer than its
// text. The whole stored block (ending in a zero) is kept as the text, so every operation that
// trusts the length stays inside it. False at a short read, for length 0, a length beyond the
// bytes left, or a last byte that is not zero; the name is then unchanged.
bool ReadName(FILE* f, ZR_String& name) {
  uint32_t n;
  if (!ZR_ReadValue(f, n) || n == 0 || !ZR_RecordFits(f, n, 1)) return false;
  std::unique_ptr<char[]> block(new (std::nothrow) char[n]);
  if (block == nullptr || !ZR_ReadValues(f, block.get(), n) || block[n - 1] != 0) return false;
  if (std::strlen(block.get()) + 1 == n) {
    name = block.get();
    return true;
  }
  delete[] name.m_text;
  name.m_text = block.release();
  name.m_length = n;
  return true;
}

}  // namespace

ZR_Annotation2D::ZR_Annotation2D()
    : ZR_List<ZR_Vector2D>(10),
      m_value(1),
      m_name("NONE"),
      m_fixed(4),
      m_flag(1),
      m_open(1),
      m_include(1),
      m_colour{0, 0, 255, 255} {}

ZR_Annotation2D::ZR_Annotation2D(const ZR_Annotation2D& other) : ZR_Annotation2D() {
  *this = other;
}

ZR_Annotation2D& ZR_Annotation2D::operator=(const ZR_Annotation2D& other) {
  if (this == &other) return *this;
  ZR_List<ZR_Vector2D>::operator=(other);
  m_value = other.m_value;
  m_name = other.m_name;
  m_fixed = other.m_fixed;
  m_flag = other.m_flag;
  m_open = other.m_open;
  m_include = other.m_include;
  std::memcpy(m_colour, other.m_colour, sizeof m_colour);
  return *this;
}

// Members go in reverse order (fixed indices, name), then the point list base.
ZR_Annotation2D::~ZR_Annotation2D() = default;

FILE* ZR_Annotation2D::Read(FILE* f) {
  if (!ZR_ReadValue(f, m_value) || !ZR_ReadValue(f, m_include) || !ZR_ReadValue(f, m_open) ||
      !ZR_ReadValue(f, m_flag) || !ReadName(f, m_name))
    return nullptr;
  // The colour bytes are not tested: a stream that ends inside them fails at the count after.
  for (int c = 0; c < 3; ++c) ZR_ReadValue(f, m_colour[c]);
  if (m_fixed.Read(f) == nullptr) return nullptr;
  if (ZR_List<ZR_Vector2D>::Read(f) == nullptr) return nullptr;
  return f;
}

ZR_Vector2D ZR_Annotation2D::GetBoundingBox(ZR_Vector2D& min, ZR_Vector2D& max) const {
  min = ZR_Vector2D(kLargest, kLargest);
  max = ZR_Vector2D(-kLargest, -kLargest);
  for (uint32_t i = 0; i < m_count; ++i) {
    const ZR_Vector2D& p = (*this)[i];
    if (p.x < min.x) min.x = p.x;
    if (p.y < min.y) min.y = p.y;
    if (p.x > max.x) max.x = p.x;
    if (p.y > max.y) max.y = p.y;
  }
  return max - min;
}

ZR_Vector2D ZR_Annotation2D::GetScaledCentre(const ZR_Vector2D& scale) const {
  ZR_Vector2D min, max;
  GetBoundingBox(min, max);
  const ZR_Vector2D centre = (min + max) / 2.0f;
  return ZR_Vector2D(centre.x * scale.x, centre.y * scale.y);
}

template <>
FILE* ZR_List<ZR_Annotation2D>::Read(FILE* f) {
  return ReadInPlace(f, kMinAnnotationBytes,
                     [](FILE* s, ZR_Annotation2D& a) { return a.Read(s) != nullptr; });
}
