// face/shape/zr_flat_anno_model2d.cpp: flattening the included annotations into pixel coordinates
// and back, and putting the flagged (predictor) values back after each constraint step.
#include "face/shape/zr_flat_anno_model2d.h"

ZR_FlatAnno2D::ZR_FlatAnno2D() : m_name(""), m_count(0), m_open(1) {}

ZR_FlatAnno2D::~ZR_FlatAnno2D() {}

ZR_FlatAnnoModel2D::ZR_FlatAnnoModel2D() {}

ZR_FlatAnnoModel2D::~ZR_FlatAnnoModel2D() {}

bool ZR_FlatAnnoModel2D::SetAnnoModel(const ZR_Vector2D& size, const ZR_AnnoModel2D& model,
                                      const ZR_List<ZR_List<bool>>& masks) {
  uint32_t groups = 0, points = 0;
  for (uint32_t l = 0; l < model.m_count; ++l) {
    if (model[l].m_include == 0) continue;
    ++groups;
    points += model[l].m_count;
  }
  m_points.Resize(int32_t(2 * points));
  m_saved.Resize(int32_t(2 * points));
  m_restore.Resize(0, int32_t(2 * points) - 1);
  Resize(0, int32_t(groups) - 1);
  uint32_t g = 0, k = 0;
  for (uint32_t l = 0; l < model.m_count; ++l) {
    const ZR_Annotation2D& a = model[l];
    if (a.m_include == 0) continue;
    ZR_FlatAnno2D& group = (*this)[int32_t(g++)];
    group.m_count = int32_t(a.m_count);
    group.m_name = a.m_name;
    group.m_open = a.m_open;
    for (uint32_t m = 0; m < a.m_count; ++m, k += 2) {
      m_points[int32_t(k)] = a[m].x * size.x;
      m_points[int32_t(k + 1)] = a[m].y * size.y;
      const bool flag = l < masks.m_count && m < masks[l].m_count && masks[l][m];
      m_restore[int32_t(k)] = flag;
      m_restore[int32_t(k + 1)] = flag;
    }
  }
  m_saved = m_points;
  return true;
}

void ZR_FlatAnnoModel2D::RestoreFlaggedPoints() {
  const uint32_t n = m_saved.m_count < m_points.m_count ? m_saved.m_count : m_points.m_count;
  for (uint32_t i = 0; i < n && i < m_restore.m_count; ++i)
    if (m_restore[int32_t(i)]) m_points[int32_t(i)] = m_saved[int32_t(i)];
}

void ZR_FlatAnnoModel2D::GetAnnoModel(const ZR_Vector2D& size, ZR_AnnoModel2D& model) const {
  model.ZR_List<ZR_Annotation2D>::Clear();
  uint32_t k = 0;
  for (uint32_t g = 0; g < m_count; ++g) {
    const ZR_FlatAnno2D& group = (*this)[int32_t(g)];
    ZR_Annotation2D a;
    a.m_name = group.m_name;
    a.m_open = group.m_open;
    a.m_include = 1;
    for (int32_t p = 0; p < group.m_count && k + 1 < m_points.m_count; ++p, k += 2)
      a.Add(ZR_Vector2D(m_points[int32_t(k)] / size.x, m_points[int32_t(k + 1)] / size.y));
    model.Add(a);
  }
}
