// face/detect/zr_landmark_predictor.cpp: the predictor record reader with its checks, the system's
// cascade evaluation over dlib's feature-pixel extraction, and the conversion of a fitted shape
// into the 68- or 50-point annotation layout. The record is untrusted: dlib indexes shapes,
// features and leaves without checks, so every size and index is verified before a predictor is
// handed out, and values are bounded so that no pixel position overflows its integer.
#include "face/detect/zr_landmark_predictor.h"

#include <cmath>
#include <cstdint>
#include <new>

#include "core/zr_record_io.h"
#include "face/detect/internal/zr_dlib_types.h"

namespace {

// Largest magnitude accepted for shape, delta and leaf values (dlib's models stay below 10).
constexpr float kMaxValue = 1e4f;

bool Bounded(float v) {
  return std::isfinite(v) && std::fabs(v) <= kMaxValue;
}

// Reads a count and checks that count elements of at least element_bytes each can follow.
bool ReadCount(FILE* f, uint64_t element_bytes, int32_t& count) {
  return ZR_ReadValue(f, count) && count >= 0 && ZR_RecordFits(f, uint64_t(count), element_bytes);
}

// Reads a column of r floats after its int32 rows and cols words onto the end of values; cols
// must be 1.
bool ReadColumn(FILE* f, int32_t rows_expected, std::vector<float>& values) {
  int32_t rows, cols;
  if (!ZR_ReadValue(f, rows) || !ZR_ReadValue(f, cols)) return false;
  if (rows != rows_expected || cols != 1) return false;
  const size_t first = values.size();
  values.resize(first + size_t(rows));
  if (!ZR_ReadValues(f, &values[first], size_t(rows))) return false;
  for (size_t i = first; i < values.size(); ++i)
    if (!Bounded(values[i])) return false;
  return true;
}

// The mean squared distance of the shape's points from their centroid.
double Spread(const dlib::matrix<float, 0, 1>& s) {
  const long n = s.size() / 2;
  double mx = 0, my = 0;
  for (long k = 0; k < n; ++k) {
    mx += s(2 * k);
    my += s(2 * k + 1);
  }
  mx /= double(n);
  my /= double(n);
  double v = 0;
  for (long k = 0; k < n; ++k) {
    const double dx = s(2 * k) - mx, dy = s(2 * k + 1) - my;
    v += dx * dx + dy * dy;
  }
  return v / double(n);
}

// floor(v + 0.5) as a pixel coordinate, saturated so that no conversion overflows.
long PixelCoordinate(double v) {
  if (!(v > -1073741824.0)) return -1073741824;
  if (!(v < 1073741824.0)) return 1073741824;
  return long(std::floor(v + 0.5));
}

struct zr_layout_group {
  const char* name;
  int first;
  int count;
  uint8_t open;
  std::initializer_list<int32_t> fixed;
};

const zr_layout_group kLayout68[] = {
    {"1", 0, 17, 1, {}}, {"2", 27, 4, 1, {}},  {"3", 17, 5, 1, {}},
    {"4", 22, 5, 1, {}}, {"5", 30, 6, 0, {}},  {"6", 36, 6, 0, {}},
    {"7", 42, 6, 0, {}}, {"8", 48, 12, 0, {}}, {"9", 60, 8, 0, {}}};

const zr_layout_group kLayout50[] = {
    {"BROW RIDGE", 0, 6, 1, {0, 2, 3, 5}},   {"OUTER MOUTH", 6, 6, 0, {0, 1, 2, 3}},
    {"INNER MOUTH", 12, 6, 0, {0, 1, 2, 3}}, {"RIGHT EYE", 18, 4, 0, {0, 1, 2}},
    {"LEFT EYE", 22, 4, 0, {0, 1, 2}},       {"NOSE", 26, 13, 1, {0, 2, 4, 6, 8, 10, 12}},
    {"FACE", 39, 11, 1, {0, 2, 5, 8, 10}}};

template <size_t N>
void FillLayout(const zr_layout_group (&layout)[N], const dlib::full_object_detection& shape,
                ZR_AnnoModel2D& model, const ZR_Vector2D& size) {
  for (const zr_layout_group& g : layout) {
    ZR_Annotation2D a;
    a.m_name = g.name;
    a.m_open = g.open;
    for (int k = g.first; k < g.first + g.count; ++k) {
      const dlib::point& p = shape.part(unsigned(k));
      a.Add(ZR_Vector2D(float(p.x()) / size.x, 1.0f - float(p.y()) / size.y));
    }
    for (int32_t i : g.fixed) a.m_fixed.Add(i);
    model.Add(a);
  }
}

}  // namespace

FILE* ReadLandmarkPredictor(ZR_LandmarkPredictor* p, FILE* f) {
  if (p == nullptr) return nullptr;
  p->m_forests.clear();
  p->m_anchor_idx.clear();
  p->m_deltas.clear();
  int32_t version, rows, cols;
  if (!ZR_ReadValue(f, version) || !ZR_ReadValue(f, rows) || !ZR_ReadValue(f, cols)) return nullptr;
  if (rows < 2 || rows % 2 != 0 || cols != 1 || !ZR_RecordFits(f, uint64_t(rows), 4))
    return nullptr;
  if (p->m_initial_shape.size() != rows) p->m_initial_shape.set_size(rows);
  if (!ZR_ReadValues(f, &p->m_initial_shape(0), size_t(rows))) return nullptr;
  for (long i = 0; i < rows; ++i)
    if (!Bounded(p->m_initial_shape(i))) return nullptr;
  // A shape without spread has no similarity transform (dlib would divide by zero).
  if (!(Spread(p->m_initial_shape) > 1e-8)) return nullptr;
  const uint32_t points = uint32_t(rows / 2);

  int32_t levels;
  if (!ReadCount(f, 4, levels)) return nullptr;
  p->m_anchor_idx.resize(size_t(levels));
  for (auto& level : p->m_anchor_idx) {
    int32_t n;
    if (!ReadCount(f, 4, n)) return nullptr;
    level.resize(size_t(n));
    for (auto& a : level) {
      uint32_t v;
      if (!ZR_ReadValue(f, v) || v >= points) return nullptr;
      a = v;
    }
  }
  int32_t delta_levels;
  if (!ReadCount(f, 4, delta_levels) || delta_levels != levels) return nullptr;
  p->m_deltas.resize(size_t(levels));
  for (size_t i = 0; i < p->m_deltas.size(); ++i) {
    int32_t n;
    if (!ReadCount(f, 8, n) || size_t(n) != p->m_anchor_idx[i].size()) return nullptr;
    auto& level = p->m_deltas[i];
    level.resize(size_t(n));
    for (auto& d : level) {
      float xy[2];
      if (!ZR_ReadValues(f, xy, 2) || !Bounded(xy[0]) || !Bounded(xy[1])) return nullptr;
      d = dlib::vector<float, 2>(xy[0], xy[1]);
    }
  }
  int32_t forest_levels;
  if (!ReadCount(f, 4, forest_levels) || forest_levels != levels) return nullptr;
  p->m_forests.resize(size_t(levels));
  const uint64_t leaf_bytes = 8 + 4 * uint64_t(rows);
  for (size_t i = 0; i < p->m_forests.size(); ++i) {
    const uint64_t features = p->m_anchor_idx[i].size();
    int32_t trees;
    if (!ReadCount(f, 8 + leaf_bytes, trees)) return nullptr;
    zr_forest& forest = p->m_forests[i];
    forest.m_trees.resize(size_t(trees));
    for (zr_tree_span& tree : forest.m_trees) {
      int32_t splits;
      if (!ReadCount(f, 12, splits)) return nullptr;
      tree.first_split = forest.m_splits.size();
      tree.first_leaf = forest.m_leaves.size();
      tree.split_count = uint32_t(splits);
      for (int32_t k = 0; k < splits; ++k) {
        uint32_t idx1, idx2;
        float thresh;
        if (!ZR_ReadValue(f, idx1) || !ZR_ReadValue(f, idx2) || !ZR_ReadValue(f, thresh))
          return nullptr;
        if (idx1 >= features || idx2 >= features || !std::isfinite(thresh)) return nullptr;
        forest.m_splits.push_back({idx1, idx2, thresh});
      }
      int32_t leaves;
      if (!ReadCount(f, leaf_bytes, leaves) || int64_t(leaves) != int64_t(splits) + 1)
        return nullptr;
      for (int32_t k = 0; k < leaves; ++k)
        if (!ReadColumn(f, rows, forest.m_leaves)) return nullptr;
    }
    forest.m_splits.shrink_to_fit();
    forest.m_leaves.shrink_to_fit();
  }
  return f;
}

ZR_LandmarkPredictor* NewLandmarkPredictor(FILE* f) {
  auto* p = new (std::nothrow) ZR_LandmarkPredictor;
  if (p == nullptr) return nullptr;
  try {
    if (ReadLandmarkPredictor(p, f) != nullptr) return p;
  } catch (const std::exception&) {
    // an allocation dlib or the vectors could not make: the read fails
  }
  delete p;
  return nullptr;
}

void DeleteLandmarkPredictor(ZR_LandmarkPredictor* p) {
  delete p;
}

int PredictorPointCount(const ZR_LandmarkPredictor& p) {
  return int(p.m_initial_shape.size() / 2);
}

namespace {

// Asks for the cache lines of a leaf of bytes bytes.
void FetchLeaf(const float* leaf, size_t bytes) {
  const char* p = reinterpret_cast<const char*>(leaf);
  for (size_t b = 0; b < bytes; b += 64) __builtin_prefetch(p + b);
  __builtin_prefetch(p + bytes - 1);
}

// Adds to current the leaf that each tree of forest reaches on features, in tree order. The walks
// come first and ask for each leaf they reach, so that the leaves, spread over the whole model,
// arrive while later trees are walked; the sums ask again a few trees ahead.
void AddLeaves(const zr_forest& forest, const std::vector<float>& features,
               std::vector<const float*>& reached, float* current, size_t values) {
  const size_t trees = forest.m_trees.size();
  const size_t leaf_bytes = values * sizeof(float);
  reached.resize(trees);
  for (size_t t = 0; t < trees; ++t) {
    const zr_tree_span& tree = forest.m_trees[t];
    const zr_tree_split* splits = forest.m_splits.data() + tree.first_split;
    const size_t count = tree.split_count;
    size_t node = 0;
    while (node < count) {
      const zr_tree_split& s = splits[node];
      node = features[s.idx1] - features[s.idx2] > s.thresh ? 2 * node + 1 : 2 * node + 2;
    }
    reached[t] = forest.m_leaves.data() + tree.first_leaf + (node - count) * values;
    FetchLeaf(reached[t], leaf_bytes);
  }
  constexpr size_t kAhead = 8;
  for (size_t t = 0; t < trees; ++t) {
    if (t + kAhead < trees) FetchLeaf(reached[t + kAhead], leaf_bytes);
    const float* leaf = reached[t];
    for (size_t k = 0; k < values; ++k) current[k] += leaf[k];
  }
}

}  // namespace

dlib::full_object_detection RunLandmarkCascade(const ZR_LandmarkPredictor& p,
                                               const dlib::array2d<dlib::rgb_pixel>& image,
                                               const dlib::rectangle& rect) {
  dlib::matrix<float, 0, 1> current = p.m_initial_shape;
  std::vector<float> features;
  std::vector<const float*> reached;
  auto run_level = [&](size_t i) {
    const zr_forest& forest = p.m_forests[i];
    if (forest.m_trees.empty()) return;  // no leaf to add: its feature pixels would go unread
    dlib::impl::extract_feature_pixel_values(image, rect, current, p.m_initial_shape,
                                             p.m_anchor_idx[i], p.m_deltas[i], features);
    AddLeaves(forest, features, reached, &current(0), size_t(current.size()));
  };
  const size_t levels = p.m_forests.size();
  for (size_t i = 0; i < levels; ++i) run_level(i);
  for (size_t i = levels / 2; i < levels; ++i) run_level(i);

  const dlib::point_transform_affine to_image = dlib::impl::unnormalizing_tform(rect);
  std::vector<dlib::point> parts(size_t(current.size() / 2));
  for (size_t k = 0; k < parts.size(); ++k) {
    const dlib::vector<double, 2> v = to_image(dlib::impl::location(current, k));
    parts[k] = dlib::point(PixelCoordinate(v.x()), PixelCoordinate(v.y()));
  }
  return dlib::full_object_detection(rect, parts);
}

bool ShapeToAnnoModel68(const dlib::full_object_detection& shape, ZR_AnnoModel2D& model,
                        const ZR_Vector2D& size) {
  model.Clear();
  if (shape.num_parts() != 68) return false;
  FillLayout(kLayout68, shape, model, size);
  return true;
}

bool ShapeToAnnoModel(const dlib::full_object_detection& shape, ZR_AnnoModel2D& model,
                      const ZR_Vector2D& size) {
  if (shape.num_parts() == 68) return ShapeToAnnoModel68(shape, model, size);
  model.Clear();
  // The 50-point layout reads points 0..49: a shorter shape has no such layout.
  if (shape.num_parts() < 50) return false;
  FillLayout(kLayout50, shape, model, size);
  return true;
}
