// tests/face/shape/zr_pose_estimator_test.cpp: the pose estimator on a synthetic head seen by a
// perspective camera, its refusals, the record rules its reader enforces, and RotationToAngles.
#include "face/shape/zr_pose_estimator.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "core/zr_lud.h"
#include "tools/quillbeck_models/records/pose_estimator_record.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr double kRad = 3.14159265358979323846 / 180.0;

// A rough head of 12 points (x right, y up, z away from the camera), about 160 units wide.
std::vector<ZR_Vector3D> Head() {
  return {{-50, 40, 10}, {50, 40, 10}, {-30, 45, 0}, {30, 45, 0}, {0, 0, -40},  {-25, -40, 0},
          {25, -40, 0},  {0, -45, -5}, {-75, 0, 50}, {75, 0, 50}, {0, -85, 10}, {0, 70, 5}};
}

zr_pose_estimator_fields FieldsFor(const std::vector<ZR_Vector3D>& head) {
  zr_pose_estimator_fields fields;
  const int32_t n = int32_t(head.size());
  fields.n = n;
  fields.rotation.Resize(3, 3);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) fields.rotation[i][j] = i == j ? 1.0f : 0.0f;
  fields.object.Resize(n, 3);
  for (int32_t j = 0; j < n; ++j) {
    fields.object[j][0] = head[size_t(j)].x - head[0].x;
    fields.object[j][1] = head[size_t(j)].y - head[0].y;
    fields.object[j][2] = head[size_t(j)].z - head[0].z;
  }
  const ZR_Matrix at = fields.object.Transpose();
  ZR_LUD lud;
  lud.Decompose(at * fields.object);
  ZR_Matrix inverse;
  EXPECT_TRUE(lud.Inverse(inverse));
  fields.pinv = inverse * at;
  return fields;
}

ZR_PoseEstimator Read(const Bytes& record) {
  ZR_PoseEstimator e;
  ZR_MemoryFile f(record);
  EXPECT_EQ(f.get(), e.Read(f.get()));
  EXPECT_EQ(0, f.Left());
  return e;
}

// R = (Ry(y) Rx(x))^T Rz(z)-free pose; camera at distance tz; points centred on their mean.
ZR_Array<ZR_Vector2D> Project(const std::vector<ZR_Vector3D>& head, double x, double y, double z,
                              double tz) {
  const double cx = std::cos(x * kRad), sx = std::sin(x * kRad), cy = std::cos(y * kRad),
               sy = std::sin(y * kRad), cz = std::cos(z * kRad), sz = std::sin(z * kRad);
  // M = Ry Rx; R = Rz^T M^T so that RotationToAngles gives (x, y, z).
  const double m[3][3] = {{cy, sy * sx, sy * cx}, {0, cx, -sx}, {-sy, cy * sx, cy * cx}};
  double rt[3][3], r[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) rt[i][j] = m[j][i];
  const double rz[3][3] = {{cz, sz, 0}, {-sz, cz, 0}, {0, 0, 1}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      r[i][j] = 0;
      for (int k = 0; k < 3; ++k) r[i][j] += rz[i][k] * rt[k][j];
    }
  ZR_Array<ZR_Vector2D> out;
  out.Resize(int32_t(head.size()));
  double mx = 0, my = 0;
  for (size_t j = 0; j < head.size(); ++j) {
    const double p[3] = {head[j].x, head[j].y, head[j].z};
    double c[3];
    for (int i = 0; i < 3; ++i) c[i] = r[i][0] * p[0] + r[i][1] * p[1] + r[i][2] * p[2];
    out[int32_t(j)] = ZR_Vector2D(float(760 * c[0] / (c[2] + tz)), float(760 * c[1] / (c[2] + tz)));
    mx += out[int32_t(j)].x, my += out[int32_t(j)].y;
  }
  for (size_t j = 0; j < head.size(); ++j)
    out[int32_t(j)] =
        out[int32_t(j)] - ZR_Vector2D(float(mx / head.size()), float(my / head.size()));
  return out;
}

TEST(ZrPoseEstimator, RecoversSyntheticPosesWithinAFewDegrees) {
  const ZR_PoseEstimator model = Read(PoseEstimatorRecord(FieldsFor(Head())));
  const struct { double tz, tolerance; } cameras[] = {{6 * 760, 2.5}, {3 * 760, 4.0}};
  for (const auto& cam : cameras) {
    float worst = 0;
    // Pitch and yaw over a grid, and roll alone (the angles are Euler angles of one order, so
    // mixed cases are not the sum of their parts).
    for (int x = -30; x <= 30; x += 15)
      for (int y = -30; y <= 30; y += 15)
        for (int z = -20; z <= 20; z += 20) {
          if (z != 0 && (x != 0 || y != 0)) continue;
          ZR_PoseEstimator e(model);
          ASSERT_TRUE(e.Estimate(Project(Head(), x, y, z, cam.tz))) << x << " " << y << " " << z;
          ZR_Vector3D a;
          RotationToAngles(e.m_rotation, a, 0);
          worst = std::max({worst, std::fabs(a.x - float(x)), std::fabs(a.y - float(y)),
                            std::fabs(a.z - float(z))});
          EXPECT_NEAR(cam.tz, e.m_translation.z, 0.1 * cam.tz) << x << " " << y << " " << z;
        }
    EXPECT_LT(worst, cam.tolerance) << "camera at " << cam.tz;
  }
}

TEST(ZrPoseEstimator, RefusalsLeaveThePoseUnchanged) {
  ZR_PoseEstimator fresh;
  EXPECT_FALSE(fresh.Estimate(Project(Head(), 0, 0, 0, 2280)));
  ZR_PoseEstimator e = Read(PoseEstimatorRecord(FieldsFor(Head())));
  const float r01 = e.m_rotation[0][1], tz = e.m_translation.z;
  ZR_Array<ZR_Vector2D> short_points = Project(Head(), 10, 0, 0, 2280);
  short_points.Resize(0, 10);  // n - 1 points (fresh block)
  EXPECT_FALSE(e.Estimate(short_points));
  // All points at one image position: |I| = |J| = 0, no NaN pose.
  ZR_Array<ZR_Vector2D> same;
  same.Resize(12);
  for (int j = 0; j < 12; ++j) same[j] = ZR_Vector2D(5, 5);
  EXPECT_FALSE(e.Estimate(same));
  EXPECT_EQ(r01, e.m_rotation[0][1]);
  EXPECT_EQ(tz, e.m_translation.z);
}

// All model points at the depth of point 0: with a pseudo-inverse over x and y only, r2 is the
// optical axis, every correction is 0 and pass 1 changes nothing, so the estimate stops there.
TEST(ZrPoseEstimator, ModelAtOneDepthStopsAfterPassOne) {
  std::vector<ZR_Vector3D> flat = Head();
  for (ZR_Vector3D& p : flat) p.z = 0;
  zr_pose_estimator_fields fields = FieldsFor(Head());
  const int32_t n = fields.n;
  ZR_Matrix a(n, 2);
  for (int32_t j = 0; j < n; ++j) {
    fields.object[j][2] = 0;
    a[j][0] = fields.object[j][0];
    a[j][1] = fields.object[j][1];
  }
  const ZR_Matrix at = a.Transpose();
  ZR_LUD lud;
  lud.Decompose(at * a);
  ZR_Matrix inverse;
  ASSERT_TRUE(lud.Inverse(inverse));
  const ZR_Matrix pinv2 = inverse * at;
  fields.pinv.Resize(3, n);
  for (int32_t j = 0; j < n; ++j) {
    fields.pinv[0][j] = pinv2[0][j];
    fields.pinv[1][j] = pinv2[1][j];
    fields.pinv[2][j] = 0;
  }
  ZR_PoseEstimator e = Read(PoseEstimatorRecord(fields));
  ASSERT_TRUE(e.Estimate(Project(flat, 0, 0, 10, 2280)));
  EXPECT_EQ(0.0f, e.m_change);
  for (int32_t j = 0; j < n; ++j) EXPECT_EQ(0.0f, e.m_corrections[j]) << j;
  ZR_Vector3D angles;
  RotationToAngles(e.m_rotation, angles, 0);
  EXPECT_NEAR(10.0f, angles.z, 0.5);
}

TEST(ZrPoseEstimator, CopyIsDeep) {
  const Bytes record = PoseEstimatorRecord(FieldsFor(Head()));
  const ZR_PoseEstimator original = Read(record);
  ZR_PoseEstimator copy(original);
  ASSERT_TRUE(copy.Estimate(Project(Head(), 20, -10, 5, 2280)));
  EXPECT_NE(original.m_rotation.Block(), copy.m_rotation.Block());
  EXPECT_EQ(1.0f, original.m_rotation[0][0]);
  EXPECT_EQ(0u, original.m_working.m_count);
}

TEST(ZrPoseEstimator, ReadRefusesMalformedRotationsAndCutRecords) {
  const zr_pose_estimator_fields good = FieldsFor(Head());
  const Bytes record = PoseEstimatorRecord(good);
  for (size_t n = 0; n < record.size(); ++n) {
    ZR_PoseEstimator e;
    ZR_MemoryFile f(Bytes(record.begin(), record.begin() + n));
    EXPECT_EQ(nullptr, e.Read(f.get())) << "cut at " << n;
  }
  const struct {
    const char* what;
    int32_t row_lo, row_hi, col_lo, col_hi;
    bool reads;
  } rotations[] = {{"3 x 3", 0, 2, 0, 2, true},         {"2 x 2", 0, 1, 0, 1, true},
                   {"3 x 1", 0, 2, 0, 0, false},        {"1 x 3", 0, 0, 0, 2, false},
                   {"3 x 3 from 1", 1, 3, 0, 2, false}, {"empty", 0, -1, 0, -1, false}};
  for (const auto& c : rotations) {
    zr_pose_estimator_fields fields = FieldsFor(Head());
    fields.rotation.Resize(c.row_lo, c.row_hi, c.col_lo, c.col_hi);
    for (uint32_t k = 0; k < fields.rotation.m_count; ++k) fields.rotation.Block()[k] = 0.5f;
    ZR_PoseEstimator e;
    ZR_MemoryFile f(PoseEstimatorRecord(fields));
    EXPECT_EQ(c.reads, e.Read(f.get()) != nullptr) << c.what;
  }
  // Object points or pseudo-inverse that disagree with n: read, but not ready.
  zr_pose_estimator_fields lying = FieldsFor(Head());
  lying.n = 13;
  const ZR_PoseEstimator e = Read(PoseEstimatorRecord(lying));
  EXPECT_EQ(0, e.m_ready);
  // A 2 x 2 R is made 3 x 3 by an estimate.
  zr_pose_estimator_fields two = FieldsFor(Head());
  two.rotation.Resize(2, 2);
  ZR_PoseEstimator t = Read(PoseEstimatorRecord(two));
  ASSERT_TRUE(t.Estimate(Project(Head(), 0, 10, 0, 2280)));
  EXPECT_EQ(3, t.m_rotation.m_rows);
  EXPECT_EQ(3, t.m_rotation.m_cols);
}

TEST(ZrPoseEstimator, RotationToAnglesTable) {
  ZR_Matrix r(3, 3);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r[i][j] = i == j ? 1.0f : 0.0f;
  ZR_Vector3D a;
  RotationToAngles(r, a, 0);
  EXPECT_EQ(0.0f, a.x);
  EXPECT_EQ(0.0f, a.y);
  EXPECT_EQ(0.0f, a.z);
  const float c = std::cos(float(30 * kRad)), s = std::sin(float(30 * kRad));
  r[0][0] = c, r[0][1] = s, r[1][0] = -s, r[1][1] = c;
  RotationToAngles(r, a, 0);
  EXPECT_NEAR(30.0f, a.z, 1e-4);
  RotationToAngles(r, a, 1);
  EXPECT_NEAR(-30.0f, a.z, 1e-4);
  for (float deg : {0.0f, 20.0f, 45.0f, 90.0f}) {
    ZR_Matrix two(2, 2);
    const float c2 = std::cos(float(deg * kRad)), s2 = std::sin(float(deg * kRad));
    two[0][0] = c2, two[0][1] = -s2, two[1][0] = s2, two[1][1] = c2;
    RotationToAngles(two, a, 0);
    EXPECT_EQ(0.0f, a.x);
    EXPECT_NEAR(deg, a.z, 0.05) << deg;
  }
}

}  // namespace
