// face/shape/zr_pca.cpp: ZR_PCA's use of a built model (projections, limits, distances), its
// observation list and description. Projections and reconstructions sum in float in index order;
// the builds are in zr_pca_build.cpp, the record in zr_pca_record.cpp.
#include "face/shape/zr_pca.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <iostream>

namespace {

// The distance sum b[k]^2 / |eigenvalue k| over the modes; FLT_MAX at the first |eigenvalue|
// that is not above 0 (NaN included).
float Distance(const ZR_Vector& b, const ZR_Vector& eigen_values, int32_t nparams) {
  float d = 0.0f;
  for (int32_t k = 0; k < nparams; ++k) {
    const float e = std::fabs(eigen_values[k]);
    if (!(e > 0.0f)) return FLT_MAX;
    d += b[k] * b[k] / e;
  }
  return d;
}

}  // namespace

ZR_PCA::ZR_PCA()
    : m_version(1),
      m_nparams(-1),
      m_num_obs(0),
      m_obs_size(-1),
      m_explained(0.95f),
      m_limit(1.7014117e38f),
      m_observations(nullptr),
      m_observations_flag(1),
      m_cov_filled(0),
      m_built(0),
      m_message(""),
      m_forced_modes(-1),
      m_verbose(0),
      m_owns_observations(false) {}

ZR_PCA::~ZR_PCA() {
  DeleteObservations();
}

void ZR_PCA::ParamsToObs(const ZR_Vector& b, ZR_Vector& x) const {
  const int32_t rows = m_obs_size < 0 ? 0 : m_obs_size;
  x.Resize(rows);
  for (int32_t r = 0; r < rows; ++r) {
    float sum = 0.0f;
    for (int32_t k = 0; k < m_nparams; ++k) sum += m_eigen_vectors[r][k] * b[k];
    x[r] = sum + m_mean[r];
  }
}

void ZR_PCA::ObsToParams(ZR_Vector& b, const ZR_Vector& x) const {
  const int32_t params = m_nparams < 0 ? 0 : m_nparams;
  const ZR_Vector d = x - m_mean;
  b.Resize(params);
  for (int32_t k = 0; k < params; ++k) {
    float sum = 0.0f;
    for (int32_t r = 0; r < m_obs_size; ++r) sum += m_eigen_vectors[r][k] * d[r];
    b[k] = sum;
  }
}

float ZR_PCA::LimitParams(ZR_Vector& b, int32_t mode, float limit) const {
  const float d = Distance(b, m_eigen_values, m_nparams);
  if (mode == 0) {
    if (d > limit) {
      const float s = static_cast<float>(std::sqrt(double(limit) / double(d)));
      for (uint32_t k = 0; k < b.m_count; ++k) b[k] *= s;
    }
  } else if (mode == 1) {
    // A model built in memory has its per-mode limits too (SetPCAModel sets them).
    const uint32_t n = b.m_count < m_mode_limits.m_count ? b.m_count : m_mode_limits.m_count;
    for (uint32_t k = 0; k < n; ++k)
      if (std::fabs(b[k]) > m_mode_limits[k]) b[k] = std::copysign(m_mode_limits[k], b[k]);
  }
  return d;
}

float ZR_PCA::ObsToLimitedParams(ZR_Vector& b, const ZR_Vector& x, int32_t mode) const {
  return ObsToLimitedParams(b, x, mode, m_limit);
}

float ZR_PCA::ObsToLimitedParams(ZR_Vector& b, const ZR_Vector& x, int32_t mode,
                                 float limit) const {
  ObsToParams(b, x);
  return LimitParams(b, mode, limit);
}

ZR_Vector ZR_PCA::GetMean() const {
  return m_mean;
}

ZR_Vector ZR_PCA::GetCumulativeExplained() const {
  const uint32_t n = m_eigen_values.m_count;
  float total = 0.0f;
  for (uint32_t k = 0; k < n; ++k) total += std::fabs(m_eigen_values[k]);
  ZR_Vector out;
  out.Resize(int32_t(n));
  float running = 0.0f;
  for (uint32_t k = 0; k < n; ++k) {
    running += std::fabs(m_eigen_values[k]);
    out[k] = running * 100.0f / total;
  }
  return out;
}

ZR_Vector ZR_PCA::GetEigenValues() const {
  return m_eigen_values;
}

ZR_Vector ZR_PCA::GetStdDevs() const {
  ZR_Vector out;
  out.Resize(int32_t(m_eigen_values.m_count));
  for (uint32_t k = 0; k < out.m_count; ++k)
    out[k] = static_cast<float>(std::sqrt(double(std::fabs(m_eigen_values[k]))));
  return out;
}

float ZR_PCA::ParamsDistance(const ZR_Vector& b) const {
  return Distance(b, m_eigen_values, m_nparams);
}

float ZR_PCA::ObsDistance(const ZR_Vector& x) const {
  ZR_Vector b;
  return ObsToLimitedParams(b, x, -1);
}

void ZR_PCA::SetLimit(float limit) {
  m_limit = limit;
}
float ZR_PCA::GetLimit() const {
  return m_limit;
}
uint32_t ZR_PCA::GetNumOfObs() const {
  return m_num_obs;
}
int32_t ZR_PCA::GetNparams() const {
  return m_nparams;
}
int32_t ZR_PCA::GetObsSize() const {
  return m_obs_size;
}

bool ZR_PCA::AddObservation(const ZR_Vector& x) {
  if (m_observations == nullptr) {
    m_observations = new ZR_List<ZR_Vector>(256);
    m_owns_observations = true;
  }
  if (m_num_obs == 0) {
    m_obs_size = static_cast<int32_t>(x.m_count);
  } else if (int64_t(x.m_count) != int64_t(m_obs_size)) {
    m_message = "ZR_PCA:AddObservation(), observation size incompatable!";
    return false;
  }
  m_observations->Add(x);
  ++m_num_obs;
  return true;
}

bool ZR_PCA::SetObservations(ZR_List<ZR_Vector>* observations) {
  if (observations == nullptr) {
    m_message = "ZR_PCA::SetObservations(), pointer==NULL";
    return false;
  }
  if (m_observations != nullptr) {
    m_message = "ZR_PCA::SetObservations(), member pointer already set";
    return false;
  }
  if (observations->m_count == 0) {
    m_message = "ZR_PCA::SetObservations(), observation list is empty";
    return false;
  }
  m_observations = observations;
  m_owns_observations = false;
  m_obs_size = static_cast<int32_t>((*observations)[0].m_count);
  m_num_obs = observations->m_count;
  return true;
}

ZR_List<ZR_Vector>* ZR_PCA::GetObservations() const {
  return m_observations;
}

uint8_t ZR_PCA::IsBuilt() const {
  return m_built;
}

void ZR_PCA::DeleteObservations() {
  if (m_owns_observations) delete m_observations;
  m_observations = nullptr;
  m_owns_observations = false;
}

void ZR_PCA::Clear() {
  m_cov.Clear();
  m_nparams = -1;
  m_obs_size = -1;
  m_built = 0;
  m_eigen_vectors.Resize(0, 0);
  m_eigen_values.Resize(0);
  m_mean.Resize(0);
  m_cov_filled = 0;
  m_num_obs = 0;
  m_message = "";
  m_forced_modes = -1;
  DeleteObservations();
}

ZR_Matrix* ZR_PCA::GetEigenVectors() {
  return &m_eigen_vectors;
}
const ZR_Matrix* ZR_PCA::GetEigenVectors() const {
  return &m_eigen_vectors;
}
int32_t ZR_PCA::GetModelType() const {
  return 1;
}
ZR_String ZR_PCA::GetMessage() const {
  return m_message;
}

void ZR_PCA::Print(std::ostream& out) const {
  out << "ZR_PCA: ObsSize= " << m_obs_size << " Nparams= " << m_nparams
      << " explained percentage= " << m_explained << " NumOfObs= " << m_num_obs
      << " forced modes=" << m_forced_modes << "\n";
  out << "Cumulative explained variance: " << GetCumulativeExplained();
}

void ZR_PCA::Describe(ZR_String& text) const {
  char line[96];
  std::snprintf(line, sizeof line, "ZR_PCA: ObsSize= %d, Nparams= %d\n", m_obs_size, m_nparams);
  text += line;
  text += "Explained percentage= ";
  text.AppendFloat(m_explained, 3);
  std::snprintf(line, sizeof line, ", NumOfObs= %d, forced modes=%d\n", int(m_num_obs),
                m_forced_modes);
  text += line;
}
