// tests/face/regression/regressor_fixtures.h: small hand-built trees, ferns and regressors of every
// type, with the outputs they must give, for the tree and regressor tests.
#ifndef TESTS_FACE_REGRESSION_REGRESSOR_FIXTURES_H
#define TESTS_FACE_REGRESSION_REGRESSOR_FIXTURES_H

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "core/zr_list.h"
#include "core/zr_point.h"
#include "core/zr_vector.h"
#include "face/regression/zr_fern.h"
#include "face/regression/zr_tree.h"

// Inside a namespace of their own, so that helpers of other test files in the same binary with
// the same names cannot clash.
namespace zr_regressor_fixtures {

inline ZR_Vector Vec(std::initializer_list<float> values) {
  ZR_Vector v;
  v.Resize(static_cast<int32_t>(values.size()));
  int32_t i = 0;
  for (float x : values) v[i++] = x;
  return v;
}

inline std::vector<float> Values(const ZR_Vector& v) {
  return std::vector<float>(v.Block(), v.Block() + v.m_count);
}

inline ZR_TreeNode* Leaf(int32_t value, std::initializer_list<float> out) {
  auto* n = new ZR_TreeNode;
  n->m_leaf = 1;
  n->m_value = value;
  n->m_leaf_value = new ZR_Vector(Vec(out));
  return n;
}

inline void MakeSplit(ZR_TreeNode& n, int32_t value, float threshold, int32_t feature,
                      ZR_TreeNode* left, ZR_TreeNode* right) {
  n.m_value = value;
  n.m_threshold = threshold;
  n.m_feature = feature;
  n.m_left = left;
  n.m_right = right;
}

inline ZR_TreeNode* Split(int32_t value, float threshold, int32_t feature, ZR_TreeNode* left,
                          ZR_TreeNode* right) {
  auto* n = new ZR_TreeNode;
  MakeSplit(*n, value, threshold, feature, left, right);
  return n;
}

// Root: feature 0 < 0.5 gives (1, 2); otherwise feature 1 < -1 gives (3, 4), else (5, 6).
inline ZR_Tree SmallTree() {
  ZR_Tree t;
  for (int i = 0; i < 6; ++i) t.m_params[i] = 10 + i;
  t.m_extra = -7;
  MakeSplit(t.m_root, 300, 0.5f, 0, Leaf(1, {1, 2}),
            Split(2, -1.0f, 1, Leaf(3, {3, 4}), Leaf(4, {5, 6})));
  return t;
}

// Thresholds (1, 1, 1): leaf index bit i is set when f[i] < 1; leaves hold (k, -k).
inline ZR_Fern SmallFern() {
  ZR_Fern fern;
  fern.m_value_a = 3;
  fern.m_value_b = -4;
  fern.m_thresholds = Vec({1, 1, 1});
  fern.m_leaves.Resize(8);
  for (int32_t k = 0; k < 8; ++k) fern.m_leaves[k] = Vec({float(k), float(-k)});
  return fern;
}

inline ZR_List<zr_coord> Pairs(std::initializer_list<zr_coord> pairs) {
  ZR_List<zr_coord> list;
  for (const zr_coord& c : pairs) list.Add(c);
  return list;
}

}  // namespace zr_regressor_fixtures

#endif  // TESTS_FACE_REGRESSION_REGRESSOR_FIXTURES_H
