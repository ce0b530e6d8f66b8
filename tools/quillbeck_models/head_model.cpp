// tools/quillbeck_models/head_model.cpp: the mean shape read through dlib's deserialiser, the
// synthetic depth profile and expressions, and the estimator records, whose pseudo-inverse comes
// from the product's own LU solver.
#include "tools/quillbeck_models/head_model.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include <dlib/matrix.h>
#include <dlib/serialize.h>

#include "core/zr_lud.h"
#include "core/zr_matrix.h"
#include "tools/quillbeck_models/full_layout.h"
#include "tools/quillbeck_models/records/pose_estimator_record.h"

bool ReadDlibMeanShape(const std::string& dat_path, std::vector<ZR_Vector2D>& mean68,
                       std::string& error) {
  std::ifstream in(dat_path, std::ios::binary);
  if (!in) {
    error = "ReadDlibMeanShape() Error! cannot open " + dat_path + "\n";
    return false;
  }
  try {
    int version = 0;
    dlib::matrix<float, 0, 1> initial;
    dlib::deserialize(version, in);
    dlib::deserialize(initial, in);
    if (initial.size() != 136) {
      error = "ReadDlibMeanShape() Error! the mean shape has " + std::to_string(initial.size()) +
              " values, not 136\n";
      return false;
    }
    mean68.clear();
    for (int i = 0; i < 68; ++i) mean68.push_back(ZR_Vector2D(initial(2 * i), initial(2 * i + 1)));
  } catch (const std::exception& e) {
    error = std::string("ReadDlibMeanShape() Error! ") + e.what() + "\n";
    return false;
  }
  return true;
}

std::vector<ZR_Vector3D> Express(std::vector<ZR_Vector3D> head, float jaw, float smile,
                                 float brow) {
  for (int i : {56, 57, 58, 65, 66, 67, 6, 7, 8, 9, 10}) head[size_t(i)].y -= jaw * kUnits;
  for (int i : {55, 59, 5, 11}) head[size_t(i)].y -= 0.5f * jaw * kUnits;
  for (int i : {48, 60}) head[size_t(i)].x -= smile * kUnits, head[size_t(i)].y += smile * kUnits;
  for (int i : {54, 64}) head[size_t(i)].x += smile * kUnits, head[size_t(i)].y += smile * kUnits;
  for (int i = 17; i <= 26; ++i) head[size_t(i)].y += brow * kUnits;
  return head;
}

// Synthetic depth profile (no measured 3-D data exists here): a cylinder across the face plus
// per-feature offsets, z away from the camera in mean-shape units, then everything x 200.
std::vector<ZR_Vector3D> SyntheticHead68(const std::vector<ZR_Vector2D>& mean68) {
  std::vector<ZR_Vector3D> out;
  for (int i = 0; i < 68; ++i) {
    const float x = mean68[size_t(i)].x, y = 1.0f - mean68[size_t(i)].y;
    const double u = (x - 0.5) / 0.52;
    double z = 0.55 * (1.0 - std::sqrt(std::max(0.0, 1.0 - u * u)));
    const double nose[] = {-0.06, -0.10, -0.14, -0.19};
    if (i >= 27 && i <= 30) z += nose[i - 27];
    if (i == 31 || i == 35) z += -0.05;
    if (i == 32 || i == 34) z += -0.08;
    if (i == 33) z += -0.10;
    if (i >= 36 && i <= 47) z += 0.03;
    if (i >= 17 && i <= 26) z += -0.02;
    if (i >= 48 && i <= 59) z += -0.04;
    if (i >= 60 && i <= 67) z += -0.02;
    if (i >= 6 && i <= 10) z += -0.03;
    out.push_back(ZR_Vector3D(x * kUnits, y * kUnits, float(z) * kUnits));
  }
  return out;
}

std::vector<uint8_t> PoseEstimatorRecordFor(const std::vector<ZR_Vector3D>& points) {
  const int32_t n = int32_t(points.size());
  if (n < 4) return {};
  zr_pose_estimator_fields fields;
  fields.n = n;
  fields.tz = kDistance;
  fields.rotation.Resize(3, 3);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) fields.rotation[i][j] = i == j ? 1.0f : 0.0f;
  fields.object.Resize(n, 3);
  for (int32_t j = 0; j < n; ++j) {
    fields.object[j][0] = points[size_t(j)].x - points[0].x;
    fields.object[j][1] = points[size_t(j)].y - points[0].y;
    fields.object[j][2] = points[size_t(j)].z - points[0].z;
  }
  const ZR_Matrix at = fields.object.Transpose();
  ZR_LUD lud;
  ZR_Matrix inverse;
  try {
    lud.Decompose(at * fields.object);
  } catch (const LUDexception&) {
    return {};
  }
  if (!lud.Inverse(inverse)) return {};
  fields.pinv = inverse * at;
  return PoseEstimatorRecord(fields);
}

std::vector<uint8_t> FullPoseEstimatorRecord(const std::vector<ZR_Vector2D>& mean68) {
  return PoseEstimatorRecordFor(FullLayoutPoints(SyntheticHead68(mean68)));
}

std::vector<uint8_t> ReducedPoseEstimatorRecord(const std::vector<ZR_Vector2D>& mean68) {
  return PoseEstimatorRecordFor(
      SelectPoints(FullLayoutPoints(SyntheticHead68(mean68)), ReducedIndices()));
}
