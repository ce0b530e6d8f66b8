// face/regression/zr_fern.h: ZR_Fern, a fixed sequence of threshold tests whose outcome bits index
// a table of output vectors, and its record. The table comes from a model file, so prediction
// checks the index it builds against the table instead of trusting it.
#ifndef FACE_REGRESSION_ZR_FERN_H
#define FACE_REGRESSION_ZR_FERN_H

#include <cstdint>
#include <cstdio>

#include "core/zr_array.h"
#include "core/zr_vector.h"

// ZR_Fern: thresholds and one output vector per leaf index; two int32 carried, not interpreted.
//   New: both values 0, no thresholds, no leaves. Owns: its vectors; copies share nothing.
//   Threads: not synchronised; read-only after loading.
//   Failure: Read returns null at the first short read and at a threshold or leaf table whose
//     range does not start at 0 (or a leaf vector that does not); fields read so far keep their
//     new values.
class ZR_Fern {
 public:
  // The smallest record: two int32 and two empty array records.
  static constexpr uint32_t kMinBytes = 56;

  int32_t m_value_a;
  int32_t m_value_b;
  ZR_Vector m_thresholds;
  ZR_Array<ZR_Vector> m_leaves;

  ZR_Fern();

  // int32, int32, the thresholds vector record, the leaves as an array record of vector records.
  // Each returns the stream, or null (see Failure; Write at the first short write).
  FILE* Read(FILE* f);
  FILE* Write(FILE* f) const;

  // Leaf index = sum of 2^(i mod 32) over the i below the threshold count with
  // threshold[i] > f[i] (features past the end of f count as failed tests); returns a copy of
  // that leaf, or an empty vector when the table has no such leaf.
  ZR_Vector Predict(const ZR_Vector& f) const;
};

#endif  // FACE_REGRESSION_ZR_FERN_H
