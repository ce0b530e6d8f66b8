// annotation/zr_anno_points.cpp: the model's points as one scaled list and back. With
// included_only set, only annotations whose include flag is exactly 1 take part (the bounding
// box, unlike these, takes any non-zero flag).
#include "annotation/zr_anno_model2d.h"

namespace {

bool TakesPart(const ZR_Annotation2D& a, uint8_t included_only) {
  return included_only == 0 || a.m_include == 1;
}

}  // namespace

void ZR_AnnoModel2D::GetScaledPoints(const ZR_Vector2D& scale, ZR_List<ZR_Vector2D>& out,
                                     uint8_t included_only) const {
  out.Clear();
  for (uint32_t a = 0; a < m_count; ++a) {
    const ZR_Annotation2D& annotation = (*this)[a];
    if (!TakesPart(annotation, included_only)) continue;
    for (uint32_t i = 0; i < annotation.m_count; ++i)
      out.Add(ZR_Vector2D(annotation[i].x * scale.x, annotation[i].y * scale.y));
  }
}

void ZR_AnnoModel2D::SetPoints(const ZR_Vector2D& scale, const ZR_Vector& v,
                               uint8_t included_only) {
  const float* values = v.Block();  // element 0 is the first, whatever the range says
  uint32_t k = 0;
  for (uint32_t a = 0; a < m_count; ++a) {
    ZR_Annotation2D& annotation = (*this)[a];
    if (!TakesPart(annotation, included_only)) continue;
    for (uint32_t i = 0; i < annotation.m_count; ++i, k += 2) {
      // A vector shorter than two values per point leaves the remaining points as they were.
      if (uint64_t(k) + 1 >= v.m_count) return;
      annotation[i] = ZR_Vector2D(values[k] / scale.x, values[k + 1] / scale.y);
    }
  }
}
