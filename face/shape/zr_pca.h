// face/shape/zr_pca.h: ZR_PCA, the principal component model: mean, modes (eigenvectors in the
// columns of E), eigenvalues and per-mode limits. Built from observations by the covariance or the
// EY path, limited by Mahalanobis distance, and read and written as one packed record.
#ifndef FACE_SHAPE_ZR_PCA_H
#define FACE_SHAPE_ZR_PCA_H

#include <cstdint>
#include <cstdio>
#include <iosfwd>

#include "core/zr_list.h"
#include "core/zr_matrix.h"
#include "core/zr_string.h"
#include "core/zr_vector.h"
#include "face/shape/zr_cov.h"
#include "face/shape/zr_stat_model.h"

// ZR_PCA: the only ZR_StatModel.
//   Empty (constructed): version 1, Nparams -1, ObsSize -1, NumOfObs 0, fraction 0.95, limit
//     1.7014117e38, forced modes -1, not built, no observation list.
//   Invariant once built or read: E is ObsSize x Nparams from 0, Nparams eigenvalues (decreasing
//     magnitude after a build), ObsSize mean values, one per-mode limit 3 sqrt|eigenvalue| each.
//   Record (little-endian, packed): i32 version, i32 type (1), i32 Nparams, u32 NumOfObs, i32
//     ObsSize, i32 forced modes, f32 fraction, f32 limit, u8 covariance filled, u8 built, E as a
//     2-D float record, eigenvalues and mean as float array records; 122 + 4 (ObsSize Nparams +
//     Nparams + ObsSize) bytes.
//   Owns: its matrices and vectors, and the observation list AddObservation created. A list given
//     to SetObservations stays the caller's: Clear, DeleteObservations and the destructor detach
//     it without freeing it.
//   Threads: the const operations (projection, limiting with the per-call limit, reconstruction,
//     distances) may run on several threads at once; builds, Read, SetLimit and the observation
//     operations change the model and run before it is shared.
//   Failure: texts go into the message (GetMessage); nothing is printed on failure.
class ZR_PCA : public ZR_StatModel {
 public:
  ZR_PCA();
  ZR_PCA(const ZR_PCA&) = delete;
  ZR_PCA& operator=(const ZR_PCA&) = delete;
  ~ZR_PCA() override;

  // x = mean + E b.
  void ParamsToObs(const ZR_Vector& b, ZR_Vector& x) const override;
  // b = E^T (x - mean).
  void ObsToParams(ZR_Vector& b, const ZR_Vector& x) const override;
  // b = E^T (x - mean), then mode 0 scales b by sqrt(limit / D) when D > limit, mode 1 clamps
  // each b[k] to its per-mode limit, other modes change nothing. Returns D = sum b[k]^2 /
  // |eigenvalue k| before limiting (3.4028235e38 at the first |eigenvalue| <= 0 or NaN).
  float ObsToLimitedParams(ZR_Vector& b, const ZR_Vector& x, int32_t mode) const override;
  float ObsToLimitedParams(ZR_Vector& b, const ZR_Vector& x, int32_t mode,
                           float limit) const override;
  ZR_Vector GetMean() const override;
  // Per mode, the cumulative share of the kept eigenvalues' magnitudes, in percent.
  ZR_Vector GetCumulativeExplained() const override;
  ZR_Vector GetEigenValues() const override;
  ZR_Vector GetStdDevs() const override;
  float ParamsDistance(const ZR_Vector& b) const override;
  float ObsDistance(const ZR_Vector& x) const override;
  void SetLimit(float limit) override;
  float GetLimit() const override;
  uint32_t GetNumOfObs() const override;
  int32_t GetNparams() const override;
  int32_t GetObsSize() const override;

  // The builds keep the modes that explain percentage % of the variance (at most forced modes
  // when positive); the covariance path runs when ObsSize < NumOfObs, the EY path otherwise.
  // Each returns the sum of |eigenvalues| of its analysis, or 0 with the model unchanged and a
  // message when there is no observation list or too few observations for its path.
  float BuildForVariance(float percentage) override;
  // Forced modes := maximum, then BuildForVariance(95).
  float BuildWithMaxModes(int32_t maximum) override;
  // Forced modes := maximum when maximum > 0, then the build.
  float BuildWithMaxModesForVariance(int32_t maximum, float percentage) override;

  // Appends a copy of x to the model's own list (created on first use). False, nothing added,
  // with "ZR_PCA:AddObservation(), observation size incompatable!" for a length other than
  // ObsSize.
  bool AddObservation(const ZR_Vector& x) override;
  // Attaches the caller's non-empty list (it stays the caller's). False with
  // "ZR_PCA::SetObservations(), pointer==NULL", "..., member pointer already set" or "...,
  // observation list is empty".
  bool SetObservations(ZR_List<ZR_Vector>* observations) override;
  ZR_List<ZR_Vector>* GetObservations() const override;
  uint8_t IsBuilt() const override;
  // Frees the list when the model made it, detaches it otherwise.
  void DeleteObservations() override;
  // Back to the constructed state, keeping version, fraction, limit, per-mode limits and verbose.
  void Clear() override;
  ZR_Matrix* GetEigenVectors() override;
  const ZR_Matrix* GetEigenVectors() const override;
  int32_t GetModelType() const override;
  ZR_String GetMessage() const override;
  void Print(std::ostream& out) const override;
  void Describe(ZR_String& text) const override;

  // Writes the record. Returns the stream, or null at the first short write.
  FILE* Write(FILE* f) const override;
  // Clears, then reads a record. Returns the stream, or null with the message "Error:
  // ZR_PCA::Read() " at a short read or when the shapes disagree (E not ObsSize x Nparams from 0,
  // not Nparams eigenvalues or not ObsSize mean values from 0), or "Error: ZR_PCA::Read()
  // model_type=T" for a type other than 1. Success empties the message and sets the per-mode
  // limits to 3 sqrt|eigenvalue|.
  FILE* Read(FILE* f) override;

  // The build paths and the mode selection; each returns the sum of |eigenvalues|.
  float BuildFromCovariance(float percentage);
  float BuildEY(float percentage);
  void SetPCAModel(const ZR_Matrix& vectors, const ZR_Vector& values, float percentage);

  int32_t m_version;
  int32_t m_nparams;
  uint32_t m_num_obs;
  int32_t m_obs_size;
  float m_explained;
  float m_limit;
  ZR_Matrix m_eigen_vectors;
  ZR_Vector m_eigen_values;
  ZR_Vector m_mean;
  ZR_Vector m_mode_limits;
  ZR_List<ZR_Vector>* m_observations;
  uint8_t m_observations_flag;  // carried; ownership is m_owns_observations
  ZR_Cov m_cov;
  uint8_t m_cov_filled;
  uint8_t m_built;
  ZR_String m_message;
  int32_t m_forced_modes;
  uint8_t m_verbose;
  bool m_owns_observations;

 private:
  float LimitParams(ZR_Vector& b, int32_t mode, float limit) const;
};

// The mean of the observations (a copy of the first, the others added in order, divided by the
// count as a float); empty for an empty list.
ZR_Vector MeanOfObservations(const ZR_List<ZR_Vector>& observations);

#endif  // FACE_SHAPE_ZR_PCA_H
