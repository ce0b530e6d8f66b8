// face/regression/zr_pdbt.h: ZR_PDBT, boosted regression trees over pixel differences x[a] - x[b],
// and its record (tag 2, type name "PDBT") in two layouts: before version 2 full trees and int32
// pairs, from version 2 (always written) compact trees and int16 pairs.
#ifndef FACE_REGRESSION_ZR_PDBT_H
#define FACE_REGRESSION_ZR_PDBT_H

#include <cstdint>
#include <cstdio>

#include "core/zr_list.h"
#include "core/zr_point.h"
#include "core/zr_vector.h"
#include "face/regression/zr_tree.h"
#include "face/regression/zr_vector_regressor.h"

// ZR_PDBT: initial output + shrinkage * sum of the trees' outputs on m_n_features differences.
//   With m_single_coords the features come from m_pairs once for all trees; otherwise tree k uses
//   m_tree_pairs[k].
//   New: m_n_features 5, m_n_trees 0, m_single_coords 1, the other numbers 0, empty lists (grow
//     step 4) and initial output.
//   Owns: its trees, pair lists and vector. Threads and failure: as ZR_VectorRegressor.
class ZR_PDBT : public ZR_VectorRegressor {
 public:
  int32_t m_n_features;
  int32_t m_sample_size;
  int32_t m_n_outputs;
  int32_t m_n_trees;
  float m_shrinkage;
  uint8_t m_single_coords;
  int32_t m_max_depth;
  int32_t m_min_samples_split;
  int32_t m_split_type;
  ZR_List<ZR_Tree> m_trees;
  ZR_List<ZR_List<zr_coord>> m_tree_pairs;
  ZR_List<zr_coord> m_pairs;
  ZR_Vector m_initial_output;

  ZR_PDBT();

  ZR_String TypeName() const override;
  ZR_String Describe() const override;
  ZR_Vector Predict(ZR_Vector& x) const override;
  // int32 version 2; m_n_features, m_sample_size, m_n_outputs, m_n_trees (int32); m_shrinkage;
  // uint8 m_single_coords; m_max_depth, m_min_samples_split, m_split_type (int32); initial
  // output; int32 T and T compact trees; int32 P and P pairs of two int16; int32 L and L times
  // (int32 m and m pairs of two int16). Returns null at a failed write and for a pair value
  // outside -32768..32767, which the 16-bit field cannot hold.
  FILE* Write(FILE* f) const override;
  // Reads either layout by the version (signed): below 2 the full-tree list, the int32 pair list
  // and the list of pair lists; from 2 the sections Write writes, each count checked against the
  // bytes left.
  FILE* Read(FILE* f) override;
  // m_single_coords 1, m_n_trees and m_sample_size 0; trees and both pair lists freed.
  void Clear() override;

 private:
  FILE* ReadCompactSections(FILE* f);
};

#endif  // FACE_REGRESSION_ZR_PDBT_H
