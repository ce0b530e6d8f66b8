// face/shape/zr_stat_model.h: ZR_StatModel, the interface of a statistical model of fixed-length
// vectors (x an observation, b its parameter vector). The table order is fixed; the per-call
// limit form of ObsToLimitedParams follows the destructor, so shared models are only read.
#ifndef FACE_SHAPE_ZR_STAT_MODEL_H
#define FACE_SHAPE_ZR_STAT_MODEL_H

#include <cstdint>
#include <cstdio>
#include <iosfwd>

#include "core/zr_list.h"
#include "core/zr_matrix.h"
#include "core/zr_string.h"
#include "core/zr_vector.h"

// ZR_StatModel: abstract; its owner holds it by pointer and deletes it through the destructor.
//   Output vectors are resized to indices 0..n-1 and filled. No operation checks vector lengths:
//   callers pass observations of GetObsSize() values and parameters of GetNparams() values.
//   Threads: the const operations may run on several threads at once on a model nobody writes.
class ZR_StatModel {
 public:
  virtual void ParamsToObs(const ZR_Vector& b, ZR_Vector& x) const = 0;
  virtual void ObsToParams(ZR_Vector& b, const ZR_Vector& x) const = 0;
  // Projects and limits by mode with the stored limit; returns the distance before limiting.
  virtual float ObsToLimitedParams(ZR_Vector& b, const ZR_Vector& x, int32_t mode) const = 0;
  virtual ZR_Vector GetMean() const = 0;
  virtual ZR_Vector GetCumulativeExplained() const = 0;
  virtual ZR_Vector GetEigenValues() const = 0;
  virtual ZR_Vector GetStdDevs() const = 0;
  virtual float ParamsDistance(const ZR_Vector& b) const = 0;
  virtual float ObsDistance(const ZR_Vector& x) const = 0;
  virtual void SetLimit(float limit) = 0;
  virtual float GetLimit() const = 0;
  virtual uint32_t GetNumOfObs() const = 0;
  virtual int32_t GetNparams() const = 0;
  virtual int32_t GetObsSize() const = 0;
  virtual float BuildForVariance(float percentage) = 0;
  virtual float BuildWithMaxModes(int32_t maximum) = 0;
  virtual float BuildWithMaxModesForVariance(int32_t maximum, float percentage) = 0;
  virtual bool AddObservation(const ZR_Vector& x) = 0;
  virtual bool SetObservations(ZR_List<ZR_Vector>* observations) = 0;
  virtual ZR_List<ZR_Vector>* GetObservations() const = 0;
  virtual uint8_t IsBuilt() const = 0;
  virtual void DeleteObservations() = 0;
  virtual void Clear() = 0;
  virtual ZR_Matrix* GetEigenVectors() = 0;
  virtual const ZR_Matrix* GetEigenVectors() const = 0;
  virtual int32_t GetModelType() const = 0;
  virtual ZR_String GetMessage() const = 0;
  virtual void Print(std::ostream& out) const = 0;
  virtual void Describe(ZR_String& text) const = 0;
  virtual FILE* Write(FILE* f) const = 0;
  virtual FILE* Read(FILE* f) = 0;
  virtual ~ZR_StatModel() {}
  // As the three-argument form, with limit in place of the stored limit (which is not changed).
  virtual float ObsToLimitedParams(ZR_Vector& b, const ZR_Vector& x, int32_t mode,
                                   float limit) const = 0;
};

#endif  // FACE_SHAPE_ZR_STAT_MODEL_H
