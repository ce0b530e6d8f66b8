// annotation/zr_anno_model2d.cpp: ZR_AnnoModel2D: copies, the model record, lookup by name
// and the bounding box.
#include "annotation/zr_anno_model2d.h"

#include <limits>

#include "core/zr_record_io.h"

ZR_AnnoModel2D::ZR_AnnoModel2D() : ZR_List<ZR_Annotation2D>(10), m_flag(1) {}

ZR_AnnoModel2D::ZR_AnnoModel2D(const ZR_AnnoModel2D& other)
    : ZR_ObjectType(), ZR_List<ZR_Annotation2D>(10), m_flag(other.m_flag) {
  ZR_List<ZR_Annotation2D>::operator=(other);
}

ZR_AnnoModel2D& ZR_AnnoModel2D::operator=(const ZR_AnnoModel2D& other) {
  if (this == &other) return *this;
  ZR_List<ZR_Annotation2D>::operator=(other);
  m_flag = other.m_flag;
  return *this;
}

ZR_AnnoModel2D::~ZR_AnnoModel2D() {
  Clear();
}

FILE* ZR_AnnoModel2D::Read(FILE* f) {
  int32_t flag;  // a short read may fill part of it: the model stays untouched
  if (!ZR_ReadValue(f, flag)) return nullptr;
  m_flag = flag;
  return ZR_List<ZR_Annotation2D>::Read(f);
}

int32_t ZR_AnnoModel2D::FindAnnotation(const ZR_String& name) const {
  for (uint32_t i = 0; i < m_count; ++i)
    if ((*this)[i].m_name == name.m_text) return static_cast<int32_t>(i);
  return -1;
}

int32_t ZR_AnnoModel2D::FindAnnotation(const char* name) const {
  return FindAnnotation(ZR_String(name));
}

ZR_Vector2D ZR_AnnoModel2D::GetBoundingBox(ZR_Vector2D& min, ZR_Vector2D& max,
                                           uint8_t included_only) const {
  const float largest = std::numeric_limits<float>::max();
  min = ZR_Vector2D(largest, largest);
  max = ZR_Vector2D(-largest, -largest);
  for (uint32_t a = 0; a < m_count; ++a) {
    const ZR_Annotation2D& annotation = (*this)[a];
    if (included_only != 0 && annotation.m_include == 0) continue;
    ZR_Vector2D lo, hi;
    annotation.GetBoundingBox(lo, hi);
    if (lo.x < min.x) min.x = lo.x;
    if (lo.y < min.y) min.y = lo.y;
    if (hi.x > max.x) max.x = hi.x;
    if (hi.y > max.y) max.y = hi.y;
  }
  return max - min;
}
