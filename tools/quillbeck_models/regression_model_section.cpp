// tools/quillbeck_models/regression_model_section.cpp: dlib's level-0 regression trees turned
// into the system's ZR_PDBT and the regression landmark model section around it. dlib's trees
// are complete binary trees in heap order (children 2i+1 and 2i+2, leaves after the splits).
#include "tools/quillbeck_models/regression_model_section.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <fstream>
#include <limits>
#include <map>
#include <utility>

#include <dlib/image_processing/shape_predictor.h>

#include "face/regression/zr_vector_regressor.h"
#include "tools/quillbeck_models/records/annotation_record.h"
#include "tools/quillbeck_models/records/sampler_record.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"
#include "tools/quillbeck_models/records/zr_record_bytes.h"

namespace {

using dlib_tree = dlib::impl::regression_tree;

// The 50-point reduced layout in its annotation order, as dlib's 68-point indices, with the
// reduced layout's fixed indices and open flags.
struct zr_layout_group {
  const char* name;
  bool open;
  std::vector<int32_t> fixed;
  std::vector<int> points;
};

const std::vector<zr_layout_group>& ReducedLayout() {
  static const std::vector<zr_layout_group> groups = {
      {"FACE", true, {0, 2, 5, 8, 10}, {0, 2, 4, 5, 7, 8, 9, 11, 12, 14, 16}},
      {"BROW RIDGE", false, {0, 2, 3, 5}, {17, 19, 21, 22, 24, 26}},
      {"NOSE",
       false,
       {0, 2, 4, 6, 8, 10, 12},
       {40, 27, 28, 29, 30, 31, 33, 35, 34, 32, 51, 62, 47}},
      {"RIGHT EYE", false, {0, 1, 2}, {36, 37, 39, 41}},
      {"LEFT EYE", false, {0, 1, 2}, {45, 44, 42, 46}},
      {"OUTER MOUTH", false, {0, 1, 2, 3}, {48, 50, 52, 54, 56, 58}},
      {"INNER MOUTH", false, {0, 1, 2, 3}, {60, 61, 63, 64, 65, 67}},
  };
  return groups;
}

struct zr_dlib_level0 {
  dlib::matrix<float, 0, 1> shape;
  std::vector<dlib_tree> trees;
};

bool ReadLevelZero(const std::string& path, zr_dlib_level0& out, std::string& error) {
  try {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      error = "DlibLevelZeroToPDBT() cannot open " + path;
      return false;
    }
    int version = 0;
    std::vector<std::vector<dlib_tree>> forests;
    dlib::deserialize(version, in);
    dlib::deserialize(out.shape, in);
    dlib::deserialize(forests, in);
    if (forests.empty()) {
      error = "DlibLevelZeroToPDBT() the predictor has no levels: " + path;
      return false;
    }
    out.trees = std::move(forests[0]);
    return true;
  } catch (const std::exception& e) {
    error = std::string("DlibLevelZeroToPDBT() ") + e.what();
    return false;
  }
}

ZR_Vector Column(const dlib::matrix<float, 0, 1>& m) {
  ZR_Vector v;
  v.Resize(static_cast<int32_t>(m.size()));
  for (long i = 0; i < m.size(); ++i) v[int32_t(i)] = m(i);
  return v;
}

// Builds the subtree under dlib node i; pair_index maps (idx1, idx2) to its place in pairs.
bool Convert(const dlib_tree& t, unsigned long i, ZR_TreeNode& node,
             std::map<std::pair<unsigned long, unsigned long>, int32_t>& pair_index,
             ZR_List<zr_coord>& pairs, std::string& error) {
  node.m_value = static_cast<int32_t>(i);
  if (i >= t.splits.size()) {
    const unsigned long leaf = i - t.splits.size();
    if (leaf >= t.leaf_values.size()) {
      error = "DlibLevelZeroToPDBT() a tree has fewer leaves than its splits need";
      return false;
    }
    node.m_leaf = 1;
    node.m_leaf_value = new ZR_Vector(Column(t.leaf_values[leaf]));
    return true;
  }
  const dlib::impl::split_feature& s = t.splits[i];
  if (s.idx1 > 32767 || s.idx2 > 32767) {
    error = "DlibLevelZeroToPDBT() a pixel index does not fit the 16-bit pair record";
    return false;
  }
  const auto key = std::make_pair(s.idx1, s.idx2);
  auto found = pair_index.find(key);
  if (found == pair_index.end()) {
    found = pair_index.emplace(key, static_cast<int32_t>(pairs.m_count)).first;
    pairs.Add(zr_coord{static_cast<int32_t>(s.idx1), static_cast<int32_t>(s.idx2)});
  }
  node.m_leaf = 0;
  node.m_feature = found->second;
  node.m_threshold = std::nextafter(s.thresh, std::numeric_limits<float>::infinity());
  // dlib goes to 2i+1 when d > thresh; here left is taken when threshold > d, so the children
  // trade places.
  node.m_left = new ZR_TreeNode;
  node.m_right = new ZR_TreeNode;
  return Convert(t, 2 * i + 2, *node.m_left, pair_index, pairs, error) &&
         Convert(t, 2 * i + 1, *node.m_right, pair_index, pairs, error);
}

}  // namespace

bool DlibLevelZeroToPDBT(const std::string& dat_path, int trees, ZR_PDBT& out, std::string& error) {
  zr_dlib_level0 level;
  if (!ReadLevelZero(dat_path, level, error)) return false;
  const size_t keep =
      trees <= 0 || size_t(trees) > level.trees.size() ? level.trees.size() : size_t(trees);
  out.Clear();
  out.m_trees.SetGrowStep(keep != 0 ? uint32_t(keep) : 4u);
  std::map<std::pair<unsigned long, unsigned long>, int32_t> pair_index;
  unsigned long max_pixel = 0;
  for (size_t k = 0; k < keep; ++k) {
    out.m_trees.Add(ZR_Tree());
    ZR_Tree& tree = out.m_trees[out.m_trees.m_count - 1];
    if (!Convert(level.trees[k], 0, tree.m_root, pair_index, out.m_pairs, error)) return false;
    for (const auto& s : level.trees[k].splits)
      max_pixel = std::max(max_pixel, std::max(s.idx1, s.idx2));
  }
  out.m_n_features = static_cast<int32_t>(out.m_pairs.m_count);
  out.m_sample_size = 500;
  out.m_n_outputs = static_cast<int32_t>(level.shape.size());
  out.m_n_trees = static_cast<int32_t>(keep);
  out.m_shrinkage = 1.0f;
  out.m_single_coords = 1;
  out.m_max_depth = 4;
  out.m_min_samples_split = 2;
  out.m_split_type = 0;
  out.m_initial_output = Column(level.shape);
  if (max_pixel >= 500) out.m_sample_size = static_cast<int32_t>(max_pixel + 1);
  return true;
}

std::vector<uint8_t> RegressionModelSection(const std::string& dat_path, int trees,
                                            std::string& error) {
  ZR_PDBT pdbt;
  if (!DlibLevelZeroToPDBT(dat_path, trees, pdbt, error)) return {};
  const ZR_Vector& shape = pdbt.m_initial_output;
  if (shape.m_count < 136) {
    error = "RegressionModelSection() the predictor's shape has fewer than 68 points";
    return {};
  }
  // The reduced layout at dlib's mean shape, y measured from the bottom of the box.
  std::vector<zr_annotation_fields> layout;
  for (const zr_layout_group& g : ReducedLayout()) {
    zr_annotation_fields a{g.name, g.open, g.fixed, {}};
    for (int p : g.points) {
      a.xy.push_back(shape[2 * p]);
      a.xy.push_back(1.0f - shape[2 * p + 1]);
    }
    layout.push_back(a);
  }
  bool wrote = false;
  const std::vector<uint8_t> regressor =
      ZR_WrittenBytes([&](FILE* f) { return pdbt.Write(f); }, &wrote);
  if (!wrote) {
    error = "RegressionModelSection() the regressor could not be written";
    return {};
  }
  ZR_RecordBytes r;
  r.I32(1).I32(0).I32(48).I32(1).F32(1.0f).I32(128).U8(1).I32(0).I32(0).I32(0).I32(0);
  r.ArrayHeader(shape.m_count, 0, int64_t(shape.m_count) - 1);
  for (uint32_t i = 0; i < shape.m_count; ++i) r.F32(shape.m_data[i]);
  AnnoModelRecord(r, layout);  // B
  AnnoModelRecord(r, layout);  // A
  r.Record(EmptySamplerRecord());
  r.I32(ZR_REGRESSOR_PDBT).Record(regressor);
  return r;
}
