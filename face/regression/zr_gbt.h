// face/regression/zr_gbt.h: ZR_GBT, gradient-boosted regression trees over the input vector itself,
// optionally normalised, and its record (tag 0, type name "GBT").
#ifndef FACE_REGRESSION_ZR_GBT_H
#define FACE_REGRESSION_ZR_GBT_H

#include <cstdint>
#include <cstdio>

#include "core/zr_list.h"
#include "core/zr_vector.h"
#include "face/regression/zr_tree.h"
#include "face/regression/zr_vector_regressor.h"

// ZR_GBT: initial output + shrinkage * sum of the trees' outputs.
//   New: counts and depth 0, min samples split 2, shrinkage 0.05, proportion 1.0, split type 0,
//     no trees (grow step 4), empty vectors, normalise flag 0.
//   Owns: its trees and vectors. Threads and failure: as ZR_VectorRegressor.
class ZR_GBT : public ZR_VectorRegressor {
 public:
  int32_t m_num_trees;
  int32_t m_n_samples;
  int32_t m_n_build_samples;
  int32_t m_n_features;
  int32_t m_n_outputs;
  int32_t m_max_depth;
  int32_t m_min_samples_split;
  float m_shrinkage;
  float m_proportion;
  int32_t m_split_type;
  ZR_List<ZR_Tree> m_trees;
  ZR_Vector m_initial_output;
  uint8_t m_normalise;
  ZR_Vector m_normalisation;

  ZR_GBT();

  ZR_String TypeName() const override;
  ZR_String Describe() const override;
  // With the normalise flag the trees see a copy of x centred on its mean and, when the dot
  // product d of x (before centring) with the normalisation vector is not 0, divided by |d|.
  ZR_Vector Predict(ZR_Vector& x) const override;
  // int32 version (written 1, ignored); m_num_trees ... m_min_samples_split (int32 each);
  // m_shrinkage, m_proportion (float); m_split_type; uint8 normalise flag; normalisation vector;
  // initial output; the trees as a list of full-form tree records.
  FILE* Write(FILE* f) const override;
  FILE* Read(FILE* f) override;
  // Counts and depth 0, min samples split 1, shrinkage 0.1, split type 0, trees freed.
  void Clear() override;
};

#endif  // FACE_REGRESSION_ZR_GBT_H
