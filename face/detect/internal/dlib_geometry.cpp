// face/detect/internal/dlib_geometry.cpp: box and patch arithmetic of the HOG adapters, in single
// precision as the adapters' boxes are defined; every float is checked before it becomes an int.
#include "face/detect/internal/dlib_geometry.h"

#include <cmath>

#include "core/zr_rounding.h"
#include "image/image_limits.h"

namespace {

bool RoundPixel(float v, long& out) {
  if (!std::isfinite(v) || std::fabs(v) > 1073741824.0f) return false;
  out = long(ZR_RoundHalfAway(v));
  return true;
}

}  // namespace

ZR_NBox BoxOfLibraryRect(long left, long top, long right, long bottom, const ZR_Vector2D& size) {
  ZR_NBox box;
  box.SetCorners(ZR_Vector2D(float(left) / size.x, 1.0f - float(bottom) / size.y),
                 ZR_Vector2D(float(right) / size.x, 1.0f - float(top) / size.y));
  return box;
}

bool PatchGeometry(const ZR_NBox& box, int rows, int cols, zr_patch_geometry& g) {
  const float row_hi = float(rows - 1), col_hi = float(cols - 1);
  const float a = row_hi * box.m_corner0.y;
  const float v = col_hi * box.m_corner0.x;
  const float height = row_hi * box.m_corner3.y - a;
  const float width = col_hi * box.m_corner3.x - v;
  const float c = (1 - box.m_corner3.y) * row_hi;
  if (!(height > 0) || !(width > 0) || !std::isfinite(a + v + c + height + width)) return false;
  long n;
  if (!RoundPixel(width / height * float(kZrPatchRows), n) || !ZR_ImageSizeOk(n, kZrPatchRows))
    return false;
  g = {n, height / float(kZrPatchRows), v, a, c};
  return true;
}

bool PatchToImage(long v, float step, float origin, long& out) {
  return RoundPixel(float(v) * step + origin, out);
}
