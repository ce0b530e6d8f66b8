// tools/quillbeck_models/pose_projection.cpp: rotations and the perspective projection. Both run
// in double; each projected coordinate is rounded to float once, at the end.
#include "tools/quillbeck_models/pose_projection.h"

#include <cmath>

#include "tools/quillbeck_models/head_model.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

}  // namespace

zr_rot Mul(const zr_rot& a, const zr_rot& b) {
  zr_rot r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
  return r;
}

zr_rot Transposed(const zr_rot& a) {
  zr_rot r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r.m[i][j] = a.m[j][i];
  return r;
}

zr_rot Rx(double deg) {
  const double t = deg * kPi / 180, c = std::cos(t), s = std::sin(t);
  return {{{1, 0, 0}, {0, c, -s}, {0, s, c}}};
}

zr_rot Ry(double deg) {
  const double t = deg * kPi / 180, c = std::cos(t), s = std::sin(t);
  return {{{c, 0, s}, {0, 1, 0}, {-s, 0, c}}};
}

zr_rot Rz(double deg) {
  const double t = deg * kPi / 180, c = std::cos(t), s = std::sin(t);
  return {{{c, -s, 0}, {s, c, 0}, {0, 0, 1}}};
}
zr_rot PoseRotation(double x_deg, double y_deg) {
  return Transposed(Mul(Ry(y_deg), Rx(x_deg)));
}

std::vector<float> Project(const std::vector<ZR_Vector3D>& points, const zr_rot& r) {
  double cx = 0, cy = 0, cz = 0;
  for (const ZR_Vector3D& p : points) cx += p.x, cy += p.y, cz += p.z;
  cx /= double(points.size()), cy /= double(points.size()), cz /= double(points.size());
  std::vector<float> xy;
  for (const ZR_Vector3D& p : points) {
    const double q[3] = {p.x - cx, p.y - cy, p.z - cz};
    double c[3];
    for (int i = 0; i < 3; ++i) c[i] = r.m[i][0] * q[0] + r.m[i][1] * q[1] + r.m[i][2] * q[2];
    const double z = c[2] + kDistance;
    xy.push_back(float(kDistance * c[0] / z));
    xy.push_back(float(kDistance * c[1] / z));
  }
  return xy;
}

ZR_Vector ToVector(const std::vector<float>& xy) {
  ZR_Vector v;
  v.Resize(int32_t(xy.size()));
  for (size_t i = 0; i < xy.size(); ++i) v[int32_t(i)] = xy[i];
  return v;
}

ZR_List<ZR_Vector2D> PointList(const std::vector<float>& xy, const std::vector<int>& indices) {
  ZR_List<ZR_Vector2D> out;
  for (int i : indices) out.Add(ZR_Vector2D(xy[size_t(2 * i)], xy[size_t(2 * i + 1)]));
  return out;
}
