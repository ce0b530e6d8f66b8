// face/regression/zr_tree_regressor.h: ZR_TreeRegressor, one regression tree used as a regressor,
// and its record (tag 3, type name "Tree").
#ifndef FACE_REGRESSION_ZR_TREE_REGRESSOR_H
#define FACE_REGRESSION_ZR_TREE_REGRESSOR_H

#include <cstdint>
#include <cstdio>

#include "core/zr_vector.h"
#include "face/regression/zr_tree.h"
#include "face/regression/zr_vector_regressor.h"

// ZR_TreeRegressor: the output is the tree's prediction for x.
//   New: m_n_outputs 0, m_max_depth 0, m_min_samples_split 2, m_proportion 1.1, m_split_type 0,
//     a new tree. Owns: its tree. Threads and failure: as ZR_VectorRegressor.
class ZR_TreeRegressor : public ZR_VectorRegressor {
 public:
  int32_t m_n_outputs;
  int32_t m_max_depth;
  int32_t m_min_samples_split;
  float m_proportion;
  int32_t m_split_type;
  ZR_Tree m_tree;

  ZR_TreeRegressor();

  ZR_String TypeName() const override;
  ZR_String Describe() const override;
  ZR_Vector Predict(ZR_Vector& x) const override;
  // int32 version (written 1, ignored); m_n_outputs, m_max_depth, m_min_samples_split (int32);
  // m_proportion (float); m_split_type (int32); the tree in the full form.
  FILE* Write(FILE* f) const override;
  FILE* Read(FILE* f) override;
  // m_n_outputs and m_max_depth 0, m_min_samples_split 1, m_split_type 0, the tree cleared.
  void Clear() override;
};

#endif  // FACE_REGRESSION_ZR_TREE_REGRESSOR_H
