// face/regression/zr_pdbf.h: ZR_PDBF, boosted ferns over pixel differences x[a] - x[b], and its
// record (tag 1, type name "PDBF").
#ifndef FACE_REGRESSION_ZR_PDBF_H
#define FACE_REGRESSION_ZR_PDBF_H

#include <cstdint>
#include <cstdio>

#include "core/zr_list.h"
#include "core/zr_point.h"
#include "core/zr_vector.h"
#include "face/regression/zr_fern.h"
#include "face/regression/zr_vector_regressor.h"

// ZR_PDBF: initial output + shrinkage * sum of the ferns' outputs on m_n_features differences.
//   With m_single_coords the features come from m_pairs once for all ferns; otherwise fern k uses
//   m_fern_pairs[k].
//   New: m_single_coords 1, the numbers 0, empty lists (grow step 4) and initial output.
//   Owns: its ferns, pair lists and vector. Threads and failure: as ZR_VectorRegressor.
class ZR_PDBF : public ZR_VectorRegressor {
 public:
  int32_t m_n_features;
  int32_t m_sample_size;
  int32_t m_n_outputs;
  int32_t m_n_ferns;
  float m_shrinkage;
  uint8_t m_single_coords;
  ZR_List<ZR_Fern> m_ferns;
  ZR_List<ZR_List<zr_coord>> m_fern_pairs;
  ZR_List<zr_coord> m_pairs;
  ZR_Vector m_initial_output;

  ZR_PDBF();

  ZR_String TypeName() const override;
  ZR_String Describe() const override;
  ZR_Vector Predict(ZR_Vector& x) const override;
  // int32 version (written 1, ignored); m_n_features, m_sample_size, m_n_outputs, m_n_ferns
  // (int32); m_shrinkage; uint8 m_single_coords; initial output; the fern list; the pair list
  // (int32 pairs); the list of per-fern pair lists.
  FILE* Write(FILE* f) const override;
  FILE* Read(FILE* f) override;
  // Ferns and both pair lists freed.
  void Clear() override;
};

#endif  // FACE_REGRESSION_ZR_PDBF_H
