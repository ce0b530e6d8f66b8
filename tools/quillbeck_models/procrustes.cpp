// tools/quillbeck_models/procrustes.cpp: the alignment through the product's own similarity fit
// (ZR_Transform2D), and the normalisation whose eye groups come from the layout table.
#include "tools/quillbeck_models/procrustes.h"

#include <cmath>

#include "image/zr_transform2d.h"
#include "tools/quillbeck_models/full_layout.h"

namespace {

const zr_layout_range kRightEye = FullLayoutGroup("RIGHT EYE");
const zr_layout_range kLeftEye = FullLayoutGroup("LEFT EYE");

}  // namespace

ZR_Vector AlignTo(const ZR_Vector& mean, const ZR_Vector& v) {
  const ZR_Transform2D t(mean, v);
  ZR_Vector out = v;
  for (int32_t i = 0; i + 1 < int32_t(v.m_count); i += 2) {
    const float px = (v[i] - t.m_translation.x) / t.m_scale;
    const float py = (v[i + 1] - t.m_translation.y) / t.m_scale;
    out[i] = t.m_rotation[0][0] * px + t.m_rotation[1][0] * py;
    out[i + 1] = t.m_rotation[0][1] * px + t.m_rotation[1][1] * py;
  }
  return out;
}

void Normalise(ZR_Vector& v) {
  const int n = int(v.m_count / 2);
  double cx = 0, cy = 0;
  for (int i = 0; i < n; ++i) cx += v[2 * i], cy += v[2 * i + 1];
  cx /= n, cy /= n;
  // The eye centres are the means of the layout's eye groups (8 points each, so dividing is exact).
  double rx = 0, ry = 0, lx = 0, ly = 0;
  for (int i = kRightEye.first; i < kRightEye.first + kRightEye.count; ++i)
    rx += v[2 * i], ry += v[2 * i + 1];
  for (int i = kLeftEye.first; i < kLeftEye.first + kLeftEye.count; ++i)
    lx += v[2 * i], ly += v[2 * i + 1];
  const double d = std::hypot(lx / kLeftEye.count - rx / kRightEye.count,
                              ly / kLeftEye.count - ry / kRightEye.count);
  const double k = d > 0 ? 60.0 / d : 1.0;
  for (int i = 0; i < n; ++i) {
    v[2 * i] = float((v[2 * i] - cx) * k);
    v[2 * i + 1] = float((v[2 * i + 1] - cy) * k);
  }
}

std::vector<ZR_Vector> AlignShapes(const std::vector<ZR_Vector>& shapes, ZR_Vector& mean) {
  Normalise(mean);
  std::vector<ZR_Vector> aligned(shapes.size());
  for (int round = 0; round < 3; ++round) {
    ZR_Vector sum;
    sum.Resize(int32_t(mean.m_count));
    for (uint32_t k = 0; k < sum.m_count; ++k) sum[int32_t(k)] = 0.0f;
    for (size_t i = 0; i < shapes.size(); ++i) {
      aligned[i] = AlignTo(mean, shapes[i]);
      sum = sum + aligned[i];
    }
    mean = sum / float(shapes.size());
    Normalise(mean);
  }
  return aligned;
}
