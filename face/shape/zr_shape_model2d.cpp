// face/shape/zr_shape_model2d.cpp: ZR_ShapeModel2D. Constrain fits the similarity from the
// reference shape onto the points, maps them into the model frame by R^T (v - t) / s, limits and
// reconstructs them in the PCA, and maps them back by s R v + t.
#include "face/shape/zr_shape_model2d.h"

#include <cmath>
#include <cstdio>

#include "core/zr_lud.h"
#include "core/zr_record_io.h"
#include "core/zr_zero_based.h"
#include "face/shape/zr_pca.h"
#include "image/zr_transform2d.h"

ZR_ShapeModel2D::ZR_ShapeModel2D()
    : m_version(1),
      m_reference_model(nullptr),
      m_stat_model(nullptr),
      m_model_type(1),
      m_a(0),
      m_b(-1),
      m_c(0),
      m_d(0),
      m_e(0),
      m_f(98.0f),
      m_g(-1),
      m_layout_code(0) {}

ZR_ShapeModel2D::~ZR_ShapeModel2D() {
  delete m_stat_model;
  delete m_reference_model;
}

FILE* ZR_ShapeModel2D::Read(FILE* f) {
  if (!ZR_ReadValue(f, m_version)) return nullptr;
  if (m_reference_model == nullptr) m_reference_model = new ZR_AnnoModel2D();
  if (m_reference_model->Read(f) == nullptr) return nullptr;
  if (!ZR_ReadValue(f, m_model_type)) return nullptr;
  delete m_stat_model;
  m_stat_model = nullptr;
  if (m_model_type != 1) {
    std::fprintf(stderr, "Error! ZR_ShapeModel2D::Read() model type %d not supported\n",
                 m_model_type);
    return nullptr;
  }
  m_stat_model = new ZR_PCA();
  if (m_stat_model->Read(f) == nullptr) return nullptr;
  if (!ZR_ReadValue(f, m_a) || !ZR_ReadValue(f, m_b) || !ZR_ReadValue(f, m_c) ||
      !ZR_ReadValue(f, m_f) || !ZR_ReadValue(f, m_g))
    return nullptr;
  if (m_reference_shape.ZR_Array<float>::Read(f) == nullptr || !ZR_IsZeroBased(m_reference_shape))
    return nullptr;
  if (m_reference_shape.m_count == 0) m_reference_shape.Resize(0);
  if (m_points.Read(f) == nullptr) return nullptr;
  if (!ZR_ReadValue(f, m_d) || !ZR_ReadValue(f, m_e)) return nullptr;
  m_layout_code = m_reference_model->GetLayoutCode();
  return f;
}

void ZR_ShapeModel2D::Constrain(ZR_Vector& v, int32_t mode, float limit) const {
  if (m_stat_model == nullptr) return;
  const int64_t obs_size = m_stat_model->GetObsSize();
  if (int64_t(v.m_count) != obs_size || v.m_count != m_reference_shape.m_count) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "ZR_ShapeModel2D::Constrain() Error! shape has %u values, reference %u, model "
                  "%lld\n",
                  v.m_count, m_reference_shape.m_count, static_cast<long long>(obs_size));
    throw LUDexception(ZR_String(text));
  }
  const ZR_Transform2D t(m_reference_shape, v);
  const float s = t.m_scale;
  // All target points equal give scale 0 and a 0/0 rotation without an exception.
  if (!(std::isfinite(s) && s > 0.0f)) {
    char text[128];
    std::snprintf(text, sizeof text,
                  "ZR_ShapeModel2D::Constrain() Error! similarity scale %g is not positive\n",
                  double(s));
    throw LUDexception(ZR_String(text));
  }
  const ZR_Matrix& r = t.m_rotation;
  const ZR_Vector2D& tr = t.m_translation;
  const int64_t n = v.m_count;
  for (int64_t i = 0; i < n - 1; i += 2) {
    const float px = (v[int32_t(i)] - tr.x) / s;
    const float py = (v[int32_t(i + 1)] - tr.y) / s;
    v[int32_t(i)] = r[0][0] * px + r[1][0] * py;
    v[int32_t(i + 1)] = r[0][1] * px + r[1][1] * py;
  }
  ZR_Vector b;
  m_stat_model->ObsToLimitedParams(b, v, mode, limit);
  m_stat_model->ParamsToObs(b, v);
  for (int64_t i = 0; i < n - 1; i += 2) {
    const float x = v[int32_t(i)], y = v[int32_t(i + 1)];
    v[int32_t(i)] = s * (r[0][0] * x + r[0][1] * y) + tr.x;
    v[int32_t(i + 1)] = s * (r[1][0] * x + r[1][1] * y) + tr.y;
  }
}
