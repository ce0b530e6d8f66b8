// tools/quillbeck_models/full_layout.cpp: the full layout's table and the points, groups and mean
// models made from it. The table is the one place that says which dlib points make each full
// point; every index range the builder needs is computed from it.
#include "tools/quillbeck_models/full_layout.h"

#include <cmath>
#include <string>
#include <utility>

#include "tools/quillbeck_models/records/zr_memory_file.h"
#include "tools/quillbeck_models/records/zr_record_bytes.h"

namespace {

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

}  // namespace

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

std::vector<ZR_Vector3D> SelectPoints(const std::vector<ZR_Vector3D>& points,
                                      const std::vector<int>& indices) {
  std::vector<ZR_Vector3D> out;
  for (int i : indices) out.push_back(points[size_t(i)]);
  return out;
}

std::vector<ZR_Vector3D> LiftPoints(const std::vector<ZR_Vector2D>& p) {
  std::vector<ZR_Vector3D> out;
  for (const ZR_Vector2D& q : p) out.push_back(ZR_Vector3D(q.x, q.y, 0.0f));
  return out;
}

zr_layout_range FullLayoutGroup(const char* name) {
  zr_layout_range range;
  for (const zr_group_layout& g : Layout()) {
    if (std::string(g.name) == name) {
      range.count = int(g.points.size());
      return range;
    }
    range.first += int(g.points.size());
  }
  return zr_layout_range();
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
  for (const ZR_Vector3D& p : FullLayoutPoints(LiftPoints(up)))
    xy.push_back(p.x), xy.push_back(p.y);
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
