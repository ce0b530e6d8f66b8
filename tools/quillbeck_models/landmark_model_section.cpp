// tools/quillbeck_models/landmark_model_section.cpp: the landmark-model section. The full layout
// is a fixed affine map of dlib's 68 points; the 3-D head is dlib's mean shape with a hand-made
// depth profile (synthetic, documented below); the per-pose templates are its perspective
// projections, checked by the product's own estimator; the shape model is the product's PCA
// over Procrustes-aligned shapes (synthetic poses, expressions and noise, plus any real shapes).
#include "tools/quillbeck_models/landmark_model_section.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <utility>

#include <dlib/matrix.h>
#include <dlib/serialize.h>

#include "core/zr_lud.h"
#include "core/zr_matrix.h"
#include "face/shape/zr_landmark_model.h"
#include "face/shape/zr_pca.h"
#include "image/zr_transform2d.h"
#include "image/zr_warper2d.h"
#include "tools/quillbeck_models/records/landmark_model_record.h"
#include "tools/quillbeck_models/records/pose_estimator_record.h"
#include "tools/quillbeck_models/records/shape_model_record.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"
#include "tools/quillbeck_models/records/zr_record_bytes.h"

namespace {

constexpr float kFocal = 760.0f;
constexpr float kDistance = 3.0f * 760.0f;  // camera distance of the templates and the estimator
constexpr float kUnits = 200.0f;            // template units per unit of the mean shape
constexpr double kPi = 3.14159265358979323846;

using Weights = std::vector<std::pair<int, double>>;  // dlib index, weight (summing to 1)

Weights P(int i) {
  return {{i, 1.0}};
}
Weights Mid(int a, int b) {
  return {{a, 0.5}, {b, 0.5}};
}
Weights Mix(int a, int b, double wa) {
  return {{a, wa}, {b, 1.0 - wa}};
}
// The forehead top: 1.2 p40 + 1.2 p47 - 1.4 p33, the refinement's own target formula.
Weights Forehead() {
  return {{40, 1.2}, {47, 1.2}, {33, -1.4}};
}
// A point of the forehead arc C + cos t (J - C) + sin t (F0 - C), C = mid(J0, J16).
Weights Arc(int j, double degrees) {
  const double t = degrees * kPi / 180.0, c = std::cos(t), s = std::sin(t);
  const double rest = 1.0 - c - s;  // the weight of C
  Weights w = {{0, 0.5 * rest}, {16, 0.5 * rest}, {j, c}};
  for (const auto& f : Forehead()) w.push_back({f.first, s * f.second});
  return w;
}

struct zr_group_layout {
  const char* name;
  bool open;
  std::vector<int32_t> fixed;
  std::vector<Weights> points;
};

const std::vector<zr_group_layout>& Layout() {
  static const std::vector<zr_group_layout> layout = {
      {"BROW RIDGE",
       true,
       {0, 4, 6, 10},
       {P(17), P(18), P(19), P(20), P(21), Mid(21, 22), P(22), P(23), P(24), P(25), P(26)}},
      {"OUTER MOUTH",
       false,
       {0, 6},
       {P(48), P(49), P(50), P(51), P(52), P(53), P(54), P(55), P(56), P(57), P(58), P(59)}},
      {"INNER MOUTH",
       false,
       {0, 6},
       {P(60), Mid(60, 61), P(61), P(62), P(63), Mid(63, 64), P(64), Mid(64, 65), P(65), P(66),
        P(67), Mid(67, 60)}},
      {"RIGHT EYE",
       false,
       {0, 4},
       {P(36), Mid(36, 37), P(37), P(38), P(39), P(40), P(41), Mid(41, 36)}},
      {"LEFT EYE",
       false,
       {0, 4},
       {P(45), Mid(45, 44), P(44), P(43), P(42), P(47), P(46), Mid(46, 45)}},
      {"NOSE",
       true,
       {1, 23},
       {Mid(39, 40),
        P(40),
        Mix(40, 27, 2.0 / 3),
        Mix(40, 27, 1.0 / 3),
        P(27),
        P(28),
        P(29),
        Mid(29, 30),
        P(30),
        Mid(30, 31),
        P(31),
        Mid(31, 33),
        P(33),
        Mid(33, 35),
        P(35),
        Mid(35, 34),
        P(34),
        Mid(34, 32),
        P(32),
        P(51),
        P(62),
        Mix(62, 47, 2.0 / 3),
        Mix(62, 47, 1.0 / 3),
        P(47)}},
      {"FACE", false, {4, 18}, {Forehead(), Arc(0, 67.5),  Arc(0, 45),  Arc(0, 22.5), P(0),  P(2),
                                P(3),       P(4),          Mid(4, 5),   P(5),         P(7),  P(8),
                                P(9),       P(11),         Mid(11, 12), P(12),        P(13), P(14),
                                P(16),      Arc(16, 22.5), Arc(16, 45), Arc(16, 67.5)}},
  };
  return layout;
}

// Full-layout indices of the 50 reduced points, in reduced order.
std::vector<int> ReducedIndices() {
  std::vector<int> out;
  int offset = 0;
  for (const zr_group_layout& g : Layout()) {
    uint32_t count;
    const int32_t* sources = ZR_ReducedLayoutSources(ZR_String(g.name), count);
    for (uint32_t r = 0; r < count; ++r) out.push_back(offset + sources[r]);
    offset += int(g.points.size());
  }
  return out;
}

std::vector<ZR_Vector3D> Select(const std::vector<ZR_Vector3D>& points,
                                const std::vector<int>& indices) {
  std::vector<ZR_Vector3D> out;
  for (int i : indices) out.push_back(points[size_t(i)]);
  return out;
}

std::vector<ZR_Vector3D> Lift(const std::vector<ZR_Vector2D>& p) {
  std::vector<ZR_Vector3D> out;
  for (const ZR_Vector2D& q : p) out.push_back(ZR_Vector3D(q.x, q.y, 0.0f));
  return out;
}

// Row-major 3 x 3 rotations.
struct zr_rot {
  double m[3][3];
};
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
// The rotation whose RotationToAngles (flag 0) is (x, y, 0): (Ry(y) Rx(x))^T.
zr_rot PoseRotation(double x_deg, double y_deg) {
  return Transposed(Mul(Ry(y_deg), Rx(x_deg)));
}

// Perspective projection of the points, rotated about their centroid, with the camera at
// kDistance; image units are template units at that distance (y up).
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

// Counts one thin-plate system by its outcome.
void CountWarper(const ZR_List<ZR_Vector2D>& first, const ZR_List<ZR_Vector2D>& second,
                 zr_landmark_section_report& report) {
  try {
    const ZR_Warper2D w(first, second);
    (w.m_valid ? report.warpers_valid : report.warpers_invalid)++;
  } catch (const LUDexception&) {
    report.warpers_threw++;
  }
}

// Maps v into the frame of mean by the inverse of the similarity from mean onto v.
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

// Centres the shape and scales it to an interocular distance (between the eye centres) of 60.
void Normalise(ZR_Vector& v) {
  const int n = int(v.m_count / 2);
  double cx = 0, cy = 0;
  for (int i = 0; i < n; ++i) cx += v[2 * i], cy += v[2 * i + 1];
  cx /= n, cy /= n;
  // RIGHT EYE is full points 35..42, LEFT EYE 43..50.
  double rx = 0, ry = 0, lx = 0, ly = 0;
  for (int i = 35; i < 43; ++i) rx += v[2 * i], ry += v[2 * i + 1];
  for (int i = 43; i < 51; ++i) lx += v[2 * i], ly += v[2 * i + 1];
  const double d = std::hypot((lx - rx) / 8, (ly - ry) / 8);
  const double k = d > 0 ? 60.0 / d : 1.0;
  for (int i = 0; i < n; ++i) {
    v[2 * i] = float((v[2 * i] - cx) * k);
    v[2 * i + 1] = float((v[2 * i + 1] - cy) * k);
  }
}

// The 68 dlib points of the head with a non-rigid expression applied (template units, y up).
std::vector<ZR_Vector3D> Express(std::vector<ZR_Vector3D> head, float jaw, float smile,
                                 float brow) {
  for (int i : {56, 57, 58, 65, 66, 67, 6, 7, 8, 9, 10}) head[size_t(i)].y -= jaw * kUnits;
  for (int i : {55, 59, 5, 11}) head[size_t(i)].y -= 0.5f * jaw * kUnits;
  for (int i : {48, 60}) head[size_t(i)].x -= smile * kUnits, head[size_t(i)].y += smile * kUnits;
  for (int i : {54, 64}) head[size_t(i)].x += smile * kUnits, head[size_t(i)].y += smile * kUnits;
  for (int i = 17; i <= 26; ++i) head[size_t(i)].y += brow * kUnits;
  return head;
}

}  // namespace

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

std::vector<ZR_Vector3D> FullLayoutPoints(const std::vector<ZR_Vector3D>& dlib68) {
  std::vector<ZR_Vector3D> out;
  for (const zr_group_layout& g : Layout()) {
    for (const Weights& w : g.points) {
      double x = 0, y = 0, z = 0;
      for (const auto& t : w) {
        const ZR_Vector3D& p = dlib68[size_t(t.first)];
        x += t.second * p.x, y += t.second * p.y, z += t.second * p.z;
      }
      out.push_back(ZR_Vector3D(float(x), float(y), float(z)));
    }
  }
  return out;
}

std::vector<zr_annotation_fields> FullLayoutSpec(const std::vector<float>& xy) {
  std::vector<zr_annotation_fields> out;
  size_t k = 0;
  for (const zr_group_layout& g : Layout()) {
    zr_annotation_fields a{g.name, g.open, g.fixed, {}};
    for (size_t i = 0; i < g.points.size(); ++i, k += 2) {
      a.xy.push_back(xy[k]);
      a.xy.push_back(xy[k + 1]);
    }
    out.push_back(a);
  }
  return out;
}

namespace {

// The mean shape in the full layout, normalised, y from the bottom (x, y pairs).
std::vector<float> MeanFullXY(const std::vector<ZR_Vector2D>& mean68) {
  std::vector<ZR_Vector2D> up;
  for (const ZR_Vector2D& p : mean68) up.push_back(ZR_Vector2D(p.x, 1.0f - p.y));
  std::vector<float> xy;
  for (const ZR_Vector3D& p : FullLayoutPoints(Lift(up))) xy.push_back(p.x), xy.push_back(p.y);
  return xy;
}

ZR_AnnoModel2D ModelFromRecord(const std::vector<uint8_t>& record) {
  ZR_AnnoModel2D model;
  ZR_MemoryFile f(record);
  model.Read(f.get());
  return model;
}

}  // namespace

std::vector<uint8_t> FullMeanModelRecord(const std::vector<ZR_Vector2D>& mean68) {
  ZR_RecordBytes r;
  AnnoModelRecord(r, FullLayoutSpec(MeanFullXY(mean68)));
  return r;
}

ZR_AnnoModel2D FullMeanModel(const std::vector<ZR_Vector2D>& mean68) {
  return ModelFromRecord(FullMeanModelRecord(mean68));
}

ZR_AnnoModel2D ReducedMeanModel(const std::vector<ZR_Vector2D>& mean68) {
  ZR_AnnoModel2D model = FullMeanModel(mean68);
  model.ReduceLayout();
  return model;
}

std::vector<uint8_t> ReducedMeanModelRecord(const std::vector<ZR_Vector2D>& mean68) {
  const ZR_AnnoModel2D reduced = ReducedMeanModel(mean68);
  std::vector<zr_annotation_fields> fields_list;
  for (uint32_t i = 0; i < reduced.m_count; ++i) {
    const ZR_Annotation2D& a = reduced[i];
    zr_annotation_fields s{a.m_name.m_text, a.m_open != 0, {}, {}};
    for (uint32_t k = 0; k < a.m_fixed.m_count; ++k) s.fixed.push_back(a.m_fixed[k]);
    for (uint32_t k = 0; k < a.m_count; ++k) s.xy.push_back(a[k].x), s.xy.push_back(a[k].y);
    fields_list.push_back(s);
  }
  ZR_RecordBytes r;
  AnnoModelRecord(r, fields_list);
  return r;
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
      Select(FullLayoutPoints(SyntheticHead68(mean68)), ReducedIndices()));
}

std::vector<uint8_t> LandmarkModelSection(const std::vector<ZR_Vector2D>& mean68,
                                          const zr_landmark_section_options& options,
                                          zr_landmark_section_report* report_out,
                                          std::string& error) {
  zr_landmark_section_report report;
  if (mean68.size() != 68) {
    error = "LandmarkModelSection() Error! the mean shape needs 68 points\n";
    return {};
  }
  const std::vector<ZR_Vector3D> head = SyntheticHead68(mean68);
  const std::vector<ZR_Vector3D> full = FullLayoutPoints(head);
  const std::vector<int> reduced = ReducedIndices();
  if (full.size() != 97 || reduced.size() != 50) {
    error = "LandmarkModelSection() Error! layout is not 97 / 50 points\n";
    return {};
  }
  const std::vector<uint8_t> estimator = PoseEstimatorRecordFor(Select(full, reduced));
  if (estimator.empty()) {
    error = "LandmarkModelSection() Error! the estimator's object points are degenerate\n";
    return {};
  }

  // Per-pose templates: rows are the second angle (y), columns the first (x).
  zr_landmark_model_fields fields;
  fields.estimator = estimator;
  fields.second_estimator = estimator;
  const int32_t bins = options.bins;
  fields.shapes.Resize(-bins, bins, -bins, bins);
  for (int32_t row = -bins; row <= bins; ++row) {
    for (int32_t col = -bins; col <= bins; ++col) {
      const std::vector<float> xy = Project(full, PoseRotation(10.0 * col, 10.0 * row));
      fields.shapes[row][col] = ToVector(xy);
      const ZR_List<ZR_Vector2D> points = PointList(xy, reduced);
      CountWarper(points, points, report);
      ++report.templates;
    }
  }
  const int32_t template_warpers_valid = report.warpers_valid;
  const std::vector<float> frontal = Project(full, PoseRotation(0, 0));
  // The template's stored points: the frontal shape, normalised into 0..1.
  std::vector<float> template_xy;
  for (size_t i = 0; i < frontal.size(); ++i) template_xy.push_back(frontal[i] / 400.0f + 0.5f);
  fields.anno_model = FullLayoutSpec(template_xy);

  // Observations: synthetic poses and expressions with noise, then any real shapes.
  std::mt19937 rng(options.seed);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::normal_distribution<double> noise(0.0, 0.007 * 0.9 * kUnits);
  std::vector<ZR_Vector> shapes;
  for (int32_t i = 0; i < options.observations; ++i) {
    const double yaw = 40 * unit(rng), pitch = 25 * unit(rng), roll = 15 * unit(rng);
    const float jaw = float(0.04 * (unit(rng) + 1.0)), smile = float(0.015 * (unit(rng) + 1.0));
    const float brow = float(0.02 * (unit(rng) + 1.0));
    const std::vector<ZR_Vector3D> face = FullLayoutPoints(Express(head, jaw, smile, brow));
    std::vector<float> xy = Project(face, Mul(Rz(roll), PoseRotation(pitch, yaw)));
    for (float& v : xy) v += float(noise(rng));
    shapes.push_back(ToVector(xy));
  }
  for (const std::vector<ZR_Vector2D>& real : options.real_shapes) {
    if (real.size() != 68) continue;
    std::vector<ZR_Vector2D> up;
    for (const ZR_Vector2D& p : real) up.push_back(ZR_Vector2D(p.x, -p.y));
    std::vector<float> xy;
    for (const ZR_Vector3D& p : FullLayoutPoints(Lift(up))) xy.push_back(p.x), xy.push_back(p.y);
    shapes.push_back(ToVector(xy));
    ++report.real_observations;
  }
  const ZR_List<ZR_Vector2D> frontal_points = PointList(frontal, reduced);
  for (const ZR_Vector& s : shapes) {
    ZR_List<ZR_Vector2D> points;
    for (int i : reduced) points.Add(ZR_Vector2D(s[2 * i], s[2 * i + 1]));
    CountWarper(frontal_points, points, report);
  }

  // Generalised Procrustes in the direction Constrain uses, three rounds.
  ZR_Vector mean = ToVector(frontal);
  Normalise(mean);
  std::vector<ZR_Vector> aligned(shapes.size());
  try {
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
  } catch (const LUDexception& e) {
    error = std::string("LandmarkModelSection() Error! alignment: ") + e.m_message.m_text;
    return {};
  }
  ZR_PCA pca;
  for (const ZR_Vector& a : aligned) pca.AddObservation(a);
  pca.BuildWithMaxModesForVariance(20, 98.0f);
  if (!pca.IsBuilt()) {
    error = std::string("LandmarkModelSection() Error! PCA: ") + pca.GetMessage().m_text + "\n";
    return {};
  }
  report.observations = int32_t(shapes.size());
  report.modes = pca.GetNparams();
  for (const ZR_Vector& a : aligned) report.below_150 += pca.ObsDistance(a) < 150.0f ? 1 : 0;

  zr_shape_model_fields shape;
  shape.reference_model = fields.anno_model;
  bool ok = false;
  shape.pca = ZR_WrittenBytes([&](FILE* f) { return pca.Write(f); }, &ok);
  shape.reference_shape = pca.GetMean();
  fields.shape_model = ShapeModelRecord(shape);
  const std::vector<uint8_t> record = LandmarkModelRecord(fields);
  if (!ok || fields.shape_model.empty() || record.empty()) {
    error = "LandmarkModelSection() Error! a record writer failed\n";
    return {};
  }

  // Self-checks through the product's own reader and estimator.
  ZR_LandmarkModel model;
  ZR_MemoryFile f(record);
  if (model.Read(f.get()) == nullptr || f.Left() != 0) {
    error = "LandmarkModelSection() Error! the record does not read back\n";
    return {};
  }
  ZR_AnnoModel2D face = ReducedMeanModel(mean68);
  for (int32_t row = -bins; row <= bins; ++row) {
    for (int32_t col = -bins; col <= bins; ++col) {
      const ZR_Vector& xy = model.m_shapes[row][col];
      ZR_Vector flat;
      flat.Resize(100);
      for (size_t k = 0; k < reduced.size(); ++k) {
        flat[int32_t(2 * k)] = xy[2 * reduced[k]];
        flat[int32_t(2 * k + 1)] = xy[2 * reduced[k] + 1];
      }
      face.SetPoints(ZR_Vector2D(1, 1), flat, 1);
      ZR_PoseEstimator copy(model.m_estimator);
      const ZR_Vector3D angles = model.EstimatePose(ZR_Vector2D(1, 1), face, copy);
      const float ex = std::fabs(angles.x - 10.0f * col), ey = std::fabs(angles.y - 10.0f * row);
      report.worst_angle_error = std::max(report.worst_angle_error, std::max(ex, ey));
      if (std::lround(angles.x / 10) == col && std::lround(angles.y / 10) == row)
        ++report.bins_recovered;
    }
  }
  ZR_Vector reference = model.m_shape_model.m_reference_shape;
  const ZR_Vector before = reference;
  model.m_shape_model.Constrain(reference, 0, 150.0f);
  for (uint32_t k = 0; k < reference.m_count; ++k)
    report.reference_change =
        std::max(report.reference_change, std::fabs(reference[int32_t(k)] - before[int32_t(k)]));
  if (report_out != nullptr) *report_out = report;
  if (report.bins_recovered != report.templates || template_warpers_valid != report.templates) {
    error = "LandmarkModelSection() Error! a template fails its pose or warper check\n";
    return {};
  }
  return record;
}
