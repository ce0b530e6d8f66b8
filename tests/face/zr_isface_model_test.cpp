// tests/face/zr_isface_model_test.cpp: "IsFace.data" read and cut at and inside every record, the
// neural detector's ownership, and EstimatePose on points projected from a synthetic head with a
// known rotation: the angles come back, centring makes a shift of the whole face irrelevant, and
// a model whose point count differs from the estimator's gets the stored rotation's angles.
#include "face/zr_isface_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/model_file_records.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"

namespace {

constexpr double kDegrees = 57.29577951308232;
constexpr int kPoints = 24;
constexpr float kCols = 640, kRows = 480;

struct zr_rotation {
  double r[3][3];
};

// Rotation about x, then y, then z (degrees), applied to column vectors as Rz * Ry * Rx.
zr_rotation Rotation(double ax, double ay, double az) {
  const double a = ax / kDegrees, b = ay / kDegrees, c = az / kDegrees;
  const double rx[3][3] = {
      {1, 0, 0}, {0, std::cos(a), -std::sin(a)}, {0, std::sin(a), std::cos(a)}};
  const double ry[3][3] = {
      {std::cos(b), 0, std::sin(b)}, {0, 1, 0}, {-std::sin(b), 0, std::cos(b)}};
  const double rz[3][3] = {
      {std::cos(c), -std::sin(c), 0}, {std::sin(c), std::cos(c), 0}, {0, 0, 1}};
  double t[3][3] = {};
  zr_rotation out = {};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) t[i][j] += ry[i][k] * rx[k][j];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) out.r[i][j] += rz[i][k] * t[k][j];
  return out;
}

// The angles the estimator's convention reads from a rotation (flag 0).
ZR_Vector3D ConventionAngles(const zr_rotation& rot) {
  const double(&r)[3][3] = rot.r;
  const double x = std::atan2(r[1][2], r[2][2]);
  return ZR_Vector3D(float(x * kDegrees),
                     float(std::atan2(-r[0][2], r[2][2] / std::cos(x)) * kDegrees),
                     float(std::atan2(r[0][1], r[0][0]) * kDegrees));
}

// A face-like point cloud (mm): a curved 6 x 4 grid with the nose row pushed forward, relative to
// point 0 as the estimator's object points are.
std::vector<double> HeadPoints() {
  std::vector<double> p;
  for (int i = 0; i < kPoints; ++i) {
    const double u = (i % 6) / 2.5 - 1, v = (i / 6) / 1.5 - 1;
    p.push_back(60 * u);
    p.push_back(80 * v);
    p.push_back(-35 * (u * u + v * v) + ((i % 6 == 2 || i % 6 == 3) && i / 6 == 1 ? 30 : 0));
  }
  for (int i = kPoints - 1; i >= 0; --i)
    for (int c = 0; c < 3; ++c) p[3 * i + c] -= p[c];
  return p;
}

// A ready estimator over HeadPoints: the object points and their least-squares inverse
// (A^T A)^-1 A^T, with the stored rotation given.
zr_pose_estimator_fields HeadEstimator(const zr_rotation& stored) {
  const std::vector<double> p = HeadPoints();
  zr_pose_estimator_fields e;
  e.n = kPoints;
  e.ready = 1;
  e.corrections.Resize(kPoints);
  e.object = ZR_Matrix(kPoints, 3);
  for (int j = 0; j < kPoints; ++j) {
    e.corrections[j] = 0;
    for (int c = 0; c < 3; ++c) e.object[j][c] = float(p[3 * j + c]);
  }
  double ata[3][3] = {};
  for (int j = 0; j < kPoints; ++j)
    for (int a = 0; a < 3; ++a)
      for (int b = 0; b < 3; ++b) ata[a][b] += p[3 * j + a] * p[3 * j + b];
  const double det = ata[0][0] * (ata[1][1] * ata[2][2] - ata[1][2] * ata[2][1]) -
                     ata[0][1] * (ata[1][0] * ata[2][2] - ata[1][2] * ata[2][0]) +
                     ata[0][2] * (ata[1][0] * ata[2][1] - ata[1][1] * ata[2][0]);
  double inv[3][3];
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) {
      const int a1 = (b + 1) % 3, a2 = (b + 2) % 3, b1 = (a + 1) % 3, b2 = (a + 2) % 3;
      inv[a][b] = (ata[a1][b1] * ata[a2][b2] - ata[a1][b2] * ata[a2][b1]) / det;
    }
  e.pinv = ZR_Matrix(3, kPoints);
  for (int a = 0; a < 3; ++a)
    for (int j = 0; j < kPoints; ++j) {
      double v = 0;
      for (int b = 0; b < 3; ++b) v += inv[a][b] * p[3 * j + b];
      e.pinv[a][j] = float(v);
    }
  e.rotation = ZR_Matrix(3, 3);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) e.rotation[i][j] = float(stored.r[i][j]);
  return e;
}

// The head seen by a 760-pixel camera 1 m away, its centroid on the optical axis at the image
// centre, shifted by (dx, dy) pixels; normalised points in two annotations of count / 2 points.
ZR_AnnoModel2D ProjectedFace(const zr_rotation& rot, int count, float dx = 0, float dy = 0) {
  std::vector<double> p = HeadPoints();
  double centroid[3] = {0, 0, 0};
  for (int j = 0; j < kPoints; ++j)
    for (int c = 0; c < 3; ++c) centroid[c] += p[3 * j + c] / kPoints;
  for (int j = 0; j < kPoints; ++j)
    for (int c = 0; c < 3; ++c) p[3 * j + c] -= centroid[c];
  ZR_AnnoModel2D model;
  ZR_Annotation2D halves[2];
  for (int j = 0; j < count; ++j) {
    const double* q = &p[3 * (j % kPoints)];
    double c[3];
    for (int i = 0; i < 3; ++i)
      c[i] = rot.r[i][0] * q[0] + rot.r[i][1] * q[1] + rot.r[i][2] * q[2] + (i == 2 ? 1000 : 0);
    const double x = kCols / 2 + 760 * c[0] / c[2] + dx, y = kRows / 2 + 760 * c[1] / c[2] + dy;
    halves[j < count / 2 ? 0 : 1].Add(ZR_Vector2D(float(x / kCols), float(y / kRows)));
  }
  model.Add(halves[0]);
  model.Add(halves[1]);
  return model;
}

void Load(ZR_IsFaceModel& model, const zr_model_file& file) {
  ZR_MemoryFile stream(file.bytes);
  ASSERT_EQ(stream.get(), model.Read(stream.get()));
  EXPECT_EQ(0, stream.Left());
}

}  // namespace

TEST(ZrIsFaceModel, ReadsEveryRecordInFileOrder) {
  ZR_IsFaceModel model;
  EXPECT_NE(nullptr, model.m_neural_detector.get()) << "built by the constructor";
  Load(model, IsFaceFile(HeadEstimator(Rotation(0, 0, 0))));
  EXPECT_EQ(1u, model.m_anno_model1.m_count);
  EXPECT_EQ(3u, model.m_anno_model1[0].m_count);
  EXPECT_EQ(2u, model.m_anno_model2.m_count);
  EXPECT_EQ(5, model.m_sampler1.m_format);
  EXPECT_EQ(5, model.m_sampler2.m_format) << "a read sampler reports format 5";
  EXPECT_EQ(3u, model.m_sampler2.m_points.m_count);
  EXPECT_EQ(1u, model.m_sampler2.m_coordinates.m_count);
  EXPECT_EQ(0u, model.m_sampler2.m_index_sets.m_count) << "format 2 stops after coordinates";
  EXPECT_EQ(1u, model.m_sampler1.m_index_sets.m_count);
}

TEST(ZrIsFaceModel, EveryCutFails) {
  const zr_model_file file = IsFaceFile(HeadEstimator(Rotation(0, 0, 0)));
  for (long cut : file.Cuts()) {
    ZR_IsFaceModel model;
    ZR_MemoryFile stream(file.Prefix(cut));
    EXPECT_EQ(nullptr, model.Read(stream.get())) << "cut at " << cut << " of " << file.bytes.size();
  }
}

TEST(ZrIsFaceModel, EstimatePoseRecoversProjectedRotation) {
  const struct {
    double x, y, z;
  } poses[] = {{0, 0, 0}, {10, 20, 5}, {-15, 0, 10}, {0, -25, 0}, {12, -8, -20}};
  ZR_IsFaceModel model;
  Load(model, IsFaceFile(HeadEstimator(Rotation(0, 0, 0))));
  float worst = 0;
  for (const auto& pose : poses) {
    const zr_rotation rot = Rotation(pose.x, pose.y, pose.z);
    const ZR_Vector3D truth = ConventionAngles(rot);
    const ZR_Vector3D got =
        model.EstimatePose(ProjectedFace(rot, kPoints), ZR_Vector2D(kCols, kRows));
    const std::string what =
        std::to_string(pose.x) + ", " + std::to_string(pose.y) + ", " + std::to_string(pose.z);
    EXPECT_NEAR(truth.x, got.x, 1.5) << what;
    EXPECT_NEAR(truth.y, got.y, 1.5) << what;
    EXPECT_NEAR(truth.z, got.z, 1.5) << what;
    worst = std::max({worst, std::fabs(truth.x - got.x), std::fabs(truth.y - got.y),
                      std::fabs(truth.z - got.z)});
    // The points are centred before the estimate: moving the whole face changes nothing.
    const ZR_Vector3D shifted =
        model.EstimatePose(ProjectedFace(rot, kPoints, 83, -41), ZR_Vector2D(kCols, kRows));
    EXPECT_NEAR(got.x, shifted.x, 0.01) << what;
    EXPECT_NEAR(got.y, shifted.y, 0.01) << what;
    EXPECT_NEAR(got.z, shifted.z, 0.01) << what;
  }
  std::printf("worst angle error over %zu poses: %.2f degrees\n", std::size(poses), worst);
}

// A model with more or fewer points than the estimator, and an estimator that is not ready, give
// the angles of the rotation stored in the record (30 degrees of roll), and nothing is overrun.
TEST(ZrIsFaceModel, EstimatePoseFallsBackToStoredRotation) {
  const zr_rotation stored = Rotation(0, 0, -30);
  const ZR_Vector3D expected = ConventionAngles(stored);
  ASSERT_NEAR(30, std::fabs(expected.z), 1e-4);
  zr_pose_estimator_fields not_ready = HeadEstimator(stored);
  not_ready.ready = 0;
  const struct {
    const char* what;
    zr_pose_estimator_fields estimator;
    int points;
  } cases[] = {
      {"two points more", HeadEstimator(stored), kPoints + 2},
      {"two points fewer", HeadEstimator(stored), kPoints - 2},
      {"no points", HeadEstimator(stored), 0},
      {"not ready", not_ready, kPoints},
  };
  const zr_rotation seen = Rotation(10, 20, 5);
  for (const auto& c : cases) {
    ZR_IsFaceModel model;
    Load(model, IsFaceFile(c.estimator));
    const ZR_Vector3D got =
        model.EstimatePose(ProjectedFace(seen, c.points), ZR_Vector2D(kCols, kRows));
    EXPECT_NEAR(expected.x, got.x, 1e-4) << c.what;
    EXPECT_NEAR(expected.y, got.y, 1e-4) << c.what;
    EXPECT_NEAR(expected.z, got.z, 1e-4) << c.what;
  }
}

// The fixture's mean full-layout model is a frontal face: its pose under estimator 1 is small.
TEST(ZrIsFaceModel, ModelsFixtureFileLoadsAndMeanFaceIsFrontal) {
  const std::string path = std::string(ZR_BINARY_DIR) + "/models/quick/IsFace.data";
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  if (bytes.empty()) GTEST_SKIP() << "no model files at " << path;
  ZR_IsFaceModel model;
  ZR_MemoryFile stream(bytes);
  ASSERT_EQ(stream.get(), model.Read(stream.get()));
  EXPECT_EQ(0, stream.Left());
  const ZR_Vector3D a = model.EstimatePose(model.m_anno_model1, ZR_Vector2D(640, 480));
  EXPECT_LT(std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z), 5.0f);
}
