// image/crop_region.cpp: the crop rectangle rule. The column count is computed in float as the
// crops always did, and converted only once it is known to be finite and in range.
#include "image/internal/crop_region.h"

#include <cmath>

#include "annotation/zr_anno_model2d.h"
#include "image/internal/resample_support.h"

namespace {

bool Finite(const ZR_Vector2D& v) {
  return std::isfinite(v.x) && std::isfinite(v.y);
}

}  // namespace

bool ZR_CropColumns(int32_t rows, int32_t cols, const ZR_Vector2D& origin,
                    const ZR_Vector2D& corner, int32_t out_rows, int32_t& cols_out) {
  if (rows < 1 || cols < 1 || out_rows < 1) return false;
  const ZR_Vector2D s = corner - origin;
  if (!Finite(origin) || !Finite(corner) || !Finite(s) || !(s.x > 0) || !(s.y > 0)) return false;
  const float n = float(cols) * s.x * float(out_rows) / (float(rows) * s.y);
  if (!std::isfinite(n) || n > float(int64_t(kZrMaxCropAspect) * out_rows)) return false;
  const int64_t rounded = ZR_RoundHalfAway(n);
  // A sliver narrower than half a column still gets one.
  cols_out = rounded < 1 ? 1 : int32_t(rounded);
  return true;
}

void ZR_MapIntoRegion(ZR_AnnoModel2D& model, const ZR_Vector2D& origin, const ZR_Vector2D& corner) {
  const ZR_Vector2D s = corner - origin;
  for (uint32_t a = 0; a < model.m_count; ++a) {
    ZR_Annotation2D& annotation = model[a];
    for (uint32_t i = 0; i < annotation.m_count; ++i) {
      ZR_Vector2D& p = annotation[i];
      p = ZR_Vector2D((p.x - origin.x) / s.x, (p.y - origin.y) / s.y);
    }
  }
}
