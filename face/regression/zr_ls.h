// face/regression/zr_ls.h: ZR_LS, a linear least-squares map output = R f + offset over pixel
// differences or the input itself, and its record (tag 4, type name "LS"; version 2 written,
// versions 1 and 2 read).
#ifndef FACE_REGRESSION_ZR_LS_H
#define FACE_REGRESSION_ZR_LS_H

#include <cstdint>
#include <cstdio>

#include "core/zr_list.h"
#include "core/zr_matrix.h"
#include "core/zr_point.h"
#include "core/zr_vector.h"
#include "face/regression/zr_vector_regressor.h"

// ZR_LS: m_type 0 uses m_n_features differences x[a] - x[b] from m_pairs; 1 uses x, centred and
//   scaled to unit norm in place when the normalise flag is set; 2 uses x as it is.
//   New: m_n_features 63, m_type 0, normalise flag 0, the other numbers 0, empty R, offset and
//     pairs (grow step 4).
//   Owns: R, the offset and the pairs. Threads and failure: as ZR_VectorRegressor.
class ZR_LS : public ZR_VectorRegressor {
 public:
  int32_t m_n_features;
  int32_t m_sample_size;
  int32_t m_n_outputs;
  int32_t m_type;
  uint8_t m_normalise;
  ZR_Matrix m_R;
  ZR_Vector m_offset;
  ZR_List<zr_coord> m_pairs;

  ZR_LS();

  ZR_String TypeName() const override;
  ZR_String Describe() const override;
  // R f + offset; R is taken over its stored bounds and the product over the shorter of its
  // column count and f, the offset over the shorter length. Type 1 with the normalise flag
  // changes x. Any other type gives m_n_outputs zeros (none when negative).
  ZR_Vector Predict(ZR_Vector& x) const override;
  // int32 version 2; m_type (int32) and the normalise flag (uint8), present only from version 2
  // (a record of version 1 or less leaves them as they were); m_n_features, m_sample_size,
  // m_n_outputs (int32); the pair list; R (2-D float record); the offset vector.
  FILE* Write(FILE* f) const override;
  FILE* Read(FILE* f) override;
  // m_sample_size 0, pairs freed, R one row and one column (bounds 0..0).
  void Clear() override;
};

#endif  // FACE_REGRESSION_ZR_LS_H
