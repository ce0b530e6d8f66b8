// face/regression/zr_vector_regressor.h: ZR_VectorRegressor, the abstract base of the landmark
// regressors that map a feature vector to an output vector, and their type tags. A regressor is
// read from a model file behind its tag (ReadRegressor) and released through this base.
#ifndef FACE_REGRESSION_ZR_VECTOR_REGRESSOR_H
#define FACE_REGRESSION_ZR_VECTOR_REGRESSOR_H

#include <cstdint>
#include <cstdio>

#include "core/zr_string.h"
#include "core/zr_vector.h"

// Type tags as the model files store them before a regressor record.
enum : int32_t {
  ZR_REGRESSOR_GBT = 0,
  ZR_REGRESSOR_PDBF = 1,
  ZR_REGRESSOR_PDBT = 2,
  ZR_REGRESSOR_TREE = 3,
  ZR_REGRESSOR_LS = 4,
};

// ZR_VectorRegressor: the type tag and six operations every regressor provides.
//   Release: owners call Clear(), then delete through this base (the destructor is virtual, after
//     the six operations; regressors never cross the plug-in boundary, so the table is no
//     contract).
//   Threads: not synchronised; the regressor of the shared landmark models is only read.
//   Failure: Read and Write return null; neither prints anything.
class ZR_VectorRegressor {
 public:
  int32_t m_type;

  explicit ZR_VectorRegressor(int32_t type) : m_type(type) {}

  // The short type name ("GBT", "PDBF", "PDBT", "Tree", "LS").
  virtual ZR_String TypeName() const = 0;
  // The class name and a line feed, then "name = value\n" lines (floats with 3 truncated
  // decimals).
  virtual ZR_String Describe() const = 0;
  // The output for the features x. Only ZR_LS of type 1 with its normalise flag changes x.
  virtual ZR_Vector Predict(ZR_Vector& x) const = 0;
  // Writes the record without the tag. Returns the stream, or null at a failed write.
  virtual FILE* Write(FILE* f) const = 0;
  // Reads the record that follows the tag. Returns the stream, or null at the first short read or
  // refused count; fields read so far keep their new values.
  virtual FILE* Read(FILE* f) = 0;
  // Frees the trees, ferns and pair lists and resets some parameters.
  virtual void Clear() = 0;
  virtual ~ZR_VectorRegressor() {}

 protected:
  ZR_VectorRegressor(const ZR_VectorRegressor&) = default;
  ZR_VectorRegressor& operator=(const ZR_VectorRegressor&) = default;
};

#endif  // FACE_REGRESSION_ZR_VECTOR_REGRESSOR_H
