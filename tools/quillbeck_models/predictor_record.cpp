// tools/quillbeck_models/predictor_record.cpp: reads dlib's serialised shape predictor with dlib
// itself and turns it into the system's predictor record. The re-packing permutes points; it
// changes no arithmetic of the fit because the appended centroid adds nothing to the means,
// variances or covariances of dlib's similarity fit.
#include "tools/quillbeck_models/predictor_record.h"

#include <exception>
#include <fstream>

#include <dlib/image_processing/shape_predictor.h>

const uint32_t kRepack69[68] = {17, 19, 21, 22, 24, 26,                              // BROW RIDGE
                                48, 50, 52, 54, 56, 58,                              // OUTER MOUTH
                                60, 61, 63, 64, 65, 67,                              // INNER MOUTH
                                36, 37, 39, 41,                                      // RIGHT EYE
                                45, 44, 42, 46,                                      // LEFT EYE
                                40, 27, 28, 29, 30, 31, 33, 35, 34, 32, 51, 62, 47,  // NOSE
                                0,  2,  4,  5,  7,  8,  9,  11, 12, 14, 16,          // FACE
                                1,  3,  6,  10, 13, 15, 18, 20, 23, 25, 38, 43, 49,
                                53, 55, 57, 59, 66};

namespace {

std::vector<float> Column(const dlib::matrix<float, 0, 1>& m) {
  std::vector<float> v(size_t(m.size()));
  for (long i = 0; i < m.size(); ++i) v[size_t(i)] = m(i);
  return v;
}

// The shape (or leaf) of 68 points re-packed: slot s takes point kRepack69[s], slot 68 the mean.
std::vector<float> RepackPoints(const std::vector<float>& v) {
  std::vector<float> out(138);
  double sx = 0, sy = 0;
  for (size_t k = 0; k < 68; ++k) {
    sx += v[2 * k];
    sy += v[2 * k + 1];
  }
  for (size_t s = 0; s < 68; ++s) {
    out[2 * s] = v[2 * kRepack69[s]];
    out[2 * s + 1] = v[2 * kRepack69[s] + 1];
  }
  out[136] = float(sx / 68.0);
  out[137] = float(sy / 68.0);
  return out;
}

}  // namespace

bool ReadDlibPredictor(const std::string& path, zr_predictor_data& out, std::string& error) {
  out = zr_predictor_data();
  try {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      error = "ReadDlibPredictor() cannot open " + path;
      return false;
    }
    int version = 0;
    dlib::matrix<float, 0, 1> shape;
    std::vector<std::vector<dlib::impl::regression_tree>> forests;
    std::vector<std::vector<unsigned long>> anchors;
    std::vector<std::vector<dlib::vector<float, 2>>> deltas;
    dlib::deserialize(version, in);
    dlib::deserialize(shape, in);
    dlib::deserialize(forests, in);
    dlib::deserialize(anchors, in);
    dlib::deserialize(deltas, in);
    out.shape = Column(shape);
    for (const auto& level : anchors) out.anchors.emplace_back(level.begin(), level.end());
    for (const auto& level : deltas) {
      std::vector<float> d;
      for (const auto& v : level) {
        d.push_back(v.x());
        d.push_back(v.y());
      }
      out.deltas.push_back(d);
    }
    for (const auto& level : forests) {
      std::vector<zr_predictor_tree> trees;
      for (const auto& t : level) {
        zr_predictor_tree tree;
        for (const auto& s : t.splits)
          tree.splits.push_back({uint32_t(s.idx1), uint32_t(s.idx2), s.thresh});
        for (const auto& leaf : t.leaf_values) tree.leaves.push_back(Column(leaf));
        trees.push_back(std::move(tree));
      }
      out.forests.push_back(std::move(trees));
    }
  } catch (const std::exception& e) {
    error = "ReadDlibPredictor() " + path + ": " + e.what();
    return false;
  }
  return true;
}

void KeepTrees(zr_predictor_data& p, int trees) {
  if (trees <= 0) return;
  for (auto& level : p.forests)
    if (level.size() > size_t(trees)) level.resize(size_t(trees));
}

void PadLevels(zr_predictor_data& p) {
  const size_t levels = p.forests.size();
  p.anchors.resize(2 * levels);
  p.deltas.resize(2 * levels);
  p.forests.resize(2 * levels);
}

zr_predictor_data Repack69(const zr_predictor_data& p) {
  uint32_t slot_of[68];
  for (uint32_t s = 0; s < 68; ++s) slot_of[kRepack69[s]] = s;
  zr_predictor_data out;
  out.shape = RepackPoints(p.shape);
  for (const auto& level : p.anchors) {
    std::vector<uint32_t> a;
    for (uint32_t i : level) a.push_back(slot_of[i]);
    out.anchors.push_back(a);
  }
  out.deltas = p.deltas;
  for (const auto& level : p.forests) {
    std::vector<zr_predictor_tree> trees;
    for (const auto& t : level) {
      zr_predictor_tree tree;
      tree.splits = t.splits;
      for (const auto& leaf : t.leaves) tree.leaves.push_back(RepackPoints(leaf));
      trees.push_back(std::move(tree));
    }
    out.forests.push_back(std::move(trees));
  }
  return out;
}

std::vector<uint8_t> PredictorRecordFromDlib(const std::string& path, int trees, bool pad,
                                             int points, std::string& error) {
  if (points != 68 && points != 69) {
    error = "PredictorRecordFromDlib() points must be 68 or 69";
    return {};
  }
  zr_predictor_data p;
  if (!ReadDlibPredictor(path, p, error)) return {};
  if (p.shape.size() != 136) {
    error = "PredictorRecordFromDlib() " + path + " does not hold a 68-point predictor";
    return {};
  }
  KeepTrees(p, trees);
  if (points == 69) p = Repack69(p);
  if (pad) PadLevels(p);
  return PredictorRecordBytes(p);
}
