// tests/face/detect/dlib_reference.h: reference predictors for the parity tests: a dlib
// shape_predictor built from plain predictor data with a chosen list of levels (serialised and read
// back, since its members are private), and a seeded random predictor that needs no data package.
#ifndef TESTS_FACE_DETECT_DLIB_REFERENCE_H
#define TESTS_FACE_DETECT_DLIB_REFERENCE_H

#include <random>
#include <sstream>
#include <vector>

#include <dlib/image_processing/shape_predictor.h>

#include "tools/quillbeck_models/records/predictor_record.h"

// dlib's predictor running levels[0], levels[1], ... of p in that order.
inline dlib::shape_predictor ReferencePredictor(const zr_predictor_data& p,
                                                const std::vector<size_t>& levels) {
  dlib::matrix<float, 0, 1> shape(long(p.shape.size()));
  for (size_t i = 0; i < p.shape.size(); ++i) shape(long(i)) = p.shape[i];
  std::vector<std::vector<dlib::impl::regression_tree>> forests;
  std::vector<std::vector<unsigned long>> anchors;
  std::vector<std::vector<dlib::vector<float, 2>>> deltas;
  for (size_t level : levels) {
    anchors.emplace_back(p.anchors[level].begin(), p.anchors[level].end());
    std::vector<dlib::vector<float, 2>> d;
    for (size_t j = 0; j + 1 < p.deltas[level].size(); j += 2)
      d.emplace_back(p.deltas[level][j], p.deltas[level][j + 1]);
    deltas.push_back(d);
    std::vector<dlib::impl::regression_tree> trees;
    for (const zr_predictor_tree& t : p.forests[level]) {
      dlib::impl::regression_tree tree;
      for (const zr_predictor_split& s : t.splits)
        tree.splits.push_back({s.idx1, s.idx2, s.thresh});
      for (const auto& leaf : t.leaves) {
        dlib::matrix<float, 0, 1> m(long(leaf.size()));
        for (size_t i = 0; i < leaf.size(); ++i) m(long(i)) = leaf[i];
        tree.leaf_values.push_back(m);
      }
      trees.push_back(tree);
    }
    forests.push_back(trees);
  }
  std::stringstream s;
  dlib::serialize(int(1), s);
  dlib::serialize(shape, s);
  dlib::serialize(forests, s);
  dlib::serialize(anchors, s);
  dlib::serialize(deltas, s);
  dlib::shape_predictor sp;
  dlib::deserialize(sp, s);
  return sp;
}

// Levels 0..L-1 then L/2..L-1: the system's evaluation order.
inline std::vector<size_t> SystemLevelOrder(size_t levels) {
  std::vector<size_t> order;
  for (size_t i = 0; i < levels; ++i) order.push_back(i);
  for (size_t i = levels / 2; i < levels; ++i) order.push_back(i);
  return order;
}

// A random predictor of points points and levels levels, features features and trees trees per
// level, complete trees of the given depth; points inside the unit box.
inline zr_predictor_data RandomPredictor(unsigned seed, int points, int levels, int features = 24,
                                         int trees = 12, int depth = 2) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> unit(0.15f, 0.85f), delta(-0.15f, 0.15f),
      thresh(-40.0f, 40.0f), leaf(-0.03f, 0.03f);
  zr_predictor_data p;
  for (int k = 0; k < 2 * points; ++k) p.shape.push_back(unit(rng));
  const int splits = (1 << depth) - 1;
  for (int l = 0; l < levels; ++l) {
    std::vector<uint32_t> a;
    std::vector<float> d;
    for (int j = 0; j < features; ++j) {
      a.push_back(uint32_t(rng() % unsigned(points)));
      d.push_back(delta(rng));
      d.push_back(delta(rng));
    }
    p.anchors.push_back(a);
    p.deltas.push_back(d);
    std::vector<zr_predictor_tree> forest;
    for (int t = 0; t < trees; ++t) {
      zr_predictor_tree tree;
      for (int s = 0; s < splits; ++s)
        tree.splits.push_back({uint32_t(rng() % unsigned(features)),
                               uint32_t(rng() % unsigned(features)), thresh(rng)});
      for (int v = 0; v <= splits; ++v) {
        std::vector<float> values;
        for (int k = 0; k < 2 * points; ++k) values.push_back(leaf(rng));
        tree.leaves.push_back(values);
      }
      forest.push_back(tree);
    }
    p.forests.push_back(forest);
  }
  return p;
}

#endif  // TESTS_FACE_DETECT_DLIB_REFERENCE_H
