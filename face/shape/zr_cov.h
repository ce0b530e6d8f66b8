// face/shape/zr_cov.h: ZR_Cov, the accumulator of equal-length observations that builds their mean
// and unbiased covariance. Sums run in single precision in observation order, so builds are
// reproducible; the covariance holds the running sum of outer products until Build.
#ifndef FACE_SHAPE_ZR_COV_H
#define FACE_SHAPE_ZR_COV_H

#include <cstdint>

#include "core/zr_matrix.h"
#include "core/zr_vector.h"

// ZR_Cov: mean and covariance of the observations added since the last Clear.
//   Empty: count 0, 0 x 0 covariance, empty mean and sum, not built.
//   Invariant: every observation added has m_dimension values; m_built is 1 only after Build and
//     until the next AddObservation.
//   Owns: its members. Threads: one object per builder.
//   Failure: AddObservation and Build print their text through perror and return false.
class ZR_Cov {
 public:
  ZR_Cov();
  virtual ~ZR_Cov();

  // Adds x. False, nothing added, for an empty x ("ZR_Cov::AddObservation() Error! : Zero length
  // observation vector\n") or one whose length differs from the first observation's
  // ("... Incorrect observation vector length\n"). Clears the built flag either way.
  bool AddObservation(const ZR_Vector& x);

  // Turns the sums into the mean and the unbiased covariance (divided by n - 1). False, nothing
  // changed, with "ZR_Cov::Build() Error! : less than 2 observations loaded!\n" through perror
  // when fewer than two observations were added (the process is not stopped).
  bool Build();

  // Back to empty.
  void Clear();

  ZR_Matrix m_covariance;
  ZR_Vector m_mean;
  ZR_Vector m_sum;
  uint32_t m_count;
  int32_t m_dimension;
  uint8_t m_built;
};

#endif  // FACE_SHAPE_ZR_COV_H
