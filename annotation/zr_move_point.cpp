// annotation/zr_move_point.cpp: ZR_Annotation2D::MovePoint, which drags a point's neighbours
// along a curve through them. Each chain runs from the moved point to an anchor (a fixed index or
// the end of the contour); its inner points move by (1 - u) of the displacement, u being their
// parameter on the curve, so the pull fades from the moved point to the anchor.
#include "annotation/zr_annotation2d.h"

#include "core/zr_bspline_curve.h"
#include "core/zr_vector.h"

namespace {

bool IsFixed(const ZR_List<int32_t>& fixed, int64_t k) {
  for (uint32_t j = 0; j < fixed.m_count; ++j)
    if (fixed[j] == k) return true;
  return false;
}

// Moves the inner points of the chain (its first and last stay) by (1 - u) * delta.
void DragChain(ZR_List<ZR_Vector2D>& points, const ZR_List<uint32_t>& chain,
               const ZR_Vector2D& delta) {
  if (chain.m_count < 3) return;
  ZR_List<ZR_Vector> curve_points(chain.m_count);
  for (uint32_t j = 0; j < chain.m_count; ++j) curve_points.Add(ZR_Vector(points[chain[j]]));
  ZR_BSplineCurve curve(curve_points);
  for (uint32_t j = 1; j + 1 < chain.m_count; ++j) {
    ZR_Vector2D& p = points[chain[j]];
    const float u = curve.FindClosestParameter(ZR_Vector(p));
    p = p + delta * (1 - u);
  }
}

}  // namespace

void ZR_Annotation2D::MovePoint(uint32_t index, const ZR_Vector2D& target) {
  const uint32_t n = m_count;
  if (index >= n) return;
  ZR_List<ZR_Vector2D>& points = *this;
  const ZR_Vector2D delta = target - points[index];

  // Backward: wraps past point 0 on a closed contour. Without a fixed index there it would come
  // round to the moved point again, so it stops after every other point has joined.
  ZR_List<uint32_t> chain(n);
  chain.Add(index);
  for (int64_t k = index; chain.m_count < n;) {
    if (--k < 0) {
      if (m_open != 0) break;
      k += n;
    }
    chain.Add(uint32_t(k));
    if (IsFixed(m_fixed, k)) break;
  }
  DragChain(points, chain, delta);

  // Forward: never wraps; ends at the last point or a fixed index.
  chain.Clear();
  chain.Add(index);
  for (int64_t k = int64_t(index) + 1; k < n; ++k) {
    chain.Add(uint32_t(k));
    if (k == n - 1 || IsFixed(m_fixed, k)) break;
  }
  DragChain(points, chain, delta);

  points[index] = target;
}
