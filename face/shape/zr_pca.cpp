// face/shape/zr_pca.cpp: ZR_PCA. Projections and reconstructions sum in float in index order; the
// covariance path analyses the d x d covariance (n - 1 divisor), the EY path the m x m matrix
// D^T D / m of the centred observations and maps its eigenvectors back through D.
#include "face/shape/zr_pca.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <iostream>

#include "core/zr_record_io.h"
#include "core/zr_sym_eigen.h"
#include "core/zr_zero_based.h"

namespace {

void Say(bool verbose, const char* text) {
  if (verbose) std::cerr << text << std::endl;
}

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

namespace {

// The path choice shared by the three builds.
float RunBuild(ZR_PCA& pca, float percentage) {
  if (int64_t(pca.m_obs_size) < int64_t(pca.m_num_obs)) {
    Say(pca.m_verbose, "Building PCA via Eigen analysis on Covariance matrix");
    return pca.BuildFromCovariance(percentage);
  }
  Say(pca.m_verbose, "Building PCA via EY algorithm");
  return pca.BuildEY(percentage);
}

}  // namespace

float ZR_PCA::BuildForVariance(float percentage) {
  if (m_verbose) std::cerr << "Building PCA for percentage variance " << percentage << "%\n";
  return RunBuild(*this, percentage);
}

float ZR_PCA::BuildWithMaxModes(int32_t maximum) {
  m_forced_modes = maximum;
  if (m_verbose)
    std::cerr << "Building PCA for percentage variance " << 95.0f << " and max modes " << maximum
              << "%\n";
  return BuildForVariance(95.0f);
}

float ZR_PCA::BuildWithMaxModesForVariance(int32_t maximum, float percentage) {
  if (maximum > 0) m_forced_modes = maximum;
  if (m_verbose)
    std::cerr << "Building PCA for percentage variance " << percentage << " and max modes "
              << maximum << "%\n";
  return RunBuild(*this, percentage);
}

float ZR_PCA::BuildFromCovariance(float percentage) {
  if (m_cov.m_count == 0) {
    const uint32_t n = m_observations == nullptr ? 0 : m_observations->m_count;
    for (uint32_t i = 0; i < n; ++i) {
      if (m_verbose) std::cerr << (i + 1) << "|" << n << ") adding obs to cov   \r" << std::flush;
      if (!m_cov.AddObservation((*m_observations)[i])) {
        m_cov.Clear();
        m_message = "ZR_PCA::BuildFromCovariance(), observation lengths differ";
        return 0.0f;
      }
    }
    m_cov_filled = 1;
  }
  Say(m_verbose, "Building covariance matrix");
  if (!m_cov.Build()) {
    // Fewer than two observations: the model stays as it was.
    m_cov.Clear();
    m_message = "ZR_PCA::BuildFromCovariance(), fewer than 2 observations";
    return 0.0f;
  }
  m_mean = m_cov.m_mean;
  m_num_obs = m_cov.m_count;
  m_obs_size = m_cov.m_dimension;
  ZR_SymEigen eigen;
  eigen.m_verbose = m_verbose != 0;
  Say(m_verbose, "Performing eigen analysis");
  eigen.Compute(m_cov.m_covariance);
  Say(m_verbose, "Ordering vectors by value");
  if (eigen.m_ok) eigen.SortByMagnitude();
  float total = 0.0f;
  for (uint32_t k = 0; k < eigen.m_values.m_count; ++k) total += std::fabs(eigen.m_values[k]);
  m_cov.Clear();
  SetPCAModel(eigen.m_vectors, eigen.m_values, percentage);
  return total;
}

ZR_Vector MeanOfObservations(const ZR_List<ZR_Vector>& observations) {
  ZR_Vector mean;
  if (observations.m_count == 0) return mean;
  mean = observations[0];
  for (uint32_t i = 1; i < observations.m_count; ++i) mean = mean + observations[i];
  return mean / static_cast<float>(observations.m_count);
}

float ZR_PCA::BuildEY(float percentage) {
  if (m_observations == nullptr || m_observations->m_count == 0) {
    m_message = "ZR_PCA::BuildEY(), no observations";
    return 0.0f;
  }
  const ZR_List<ZR_Vector>& obs = *m_observations;
  const uint32_t m = obs.m_count;
  const int32_t a = static_cast<int32_t>(obs[0].m_count);
  for (uint32_t i = 0; i < m; ++i) {
    if (obs[i].m_count != uint32_t(a) || a == 0) {
      m_message = "ZR_PCA::BuildEY(), observation lengths differ";
      return 0.0f;
    }
  }
  const ZR_Vector mean = MeanOfObservations(obs);
  Say(m_verbose, "Building matrix D");
  ZR_Matrix d(a, int32_t(m));
  for (uint32_t i = 0; i < m; ++i)
    for (int32_t r = 0; r < a; ++r) d[r][i] = obs[i][r] - mean[r];
  Say(m_verbose, "Building matrix T");
  ZR_Matrix t = d.Transpose() * d;
  const float fm = static_cast<float>(m);
  for (uint32_t i = 0; i < m; ++i)
    for (uint32_t j = 0; j < m; ++j) t[i][j] /= fm;
  Say(m_verbose, "Building eigen values");
  ZR_SymEigen eigen;
  eigen.m_verbose = m_verbose != 0;
  eigen.Compute(t);
  Say(m_verbose, "Ordering eigens by magnitude");
  if (eigen.m_ok) eigen.SortByMagnitude();
  float total = 0.0f;
  for (uint32_t k = 0; k < eigen.m_values.m_count; ++k) total += std::fabs(eigen.m_values[k]);
  Say(m_verbose, "Transforming eigen vectors");
  ZR_Matrix p = d * eigen.m_vectors;
  Say(m_verbose, "Normalizing pseudo vectors");
  for (int32_t c = 0; c < p.m_cols; ++c) {
    const float length = p.GetColumn(c).Norm();
    if (length == 0.0f) continue;
    for (int32_t r = 0; r < p.m_rows; ++r) p[r][c] /= length;
  }
  m_mean = mean;
  SetPCAModel(p, eigen.m_values, percentage);
  return total;
}

void ZR_PCA::SetPCAModel(const ZR_Matrix& vectors, const ZR_Vector& values, float percentage) {
  Say(m_verbose, "SetPCAModel()");
  float total = 0.0f;
  for (uint32_t k = 0; k < values.m_count; ++k) total += std::fabs(values[k]);
  uint32_t n = values.m_count;
  if (m_forced_modes > 0) {
    if (m_verbose) std::cerr << "Using " << m_forced_modes << " modes" << std::endl;
    if (uint32_t(m_forced_modes) < n) n = uint32_t(m_forced_modes);
  }
  m_explained = percentage / 100.0f;
  uint32_t modes = n;
  if (m_explained < 1.0f) {
    if (m_verbose)
      std::cerr << "Calculating num of modes for " << m_explained << "% variance" << std::endl;
    float running = 0.0f;
    for (uint32_t k = 0; k < n; ++k) {
      running += std::fabs(values[k]);
      if (running / total >= m_explained) {
        modes = k + 1;
        break;
      }
    }
  }
  if (m_verbose)
    std::cerr << "ZR_PCA(), num of params = " << modes << " num of evals = " << values.m_count
              << "\n";
  const int32_t rows = m_obs_size < 0 ? 0 : m_obs_size;
  m_nparams = static_cast<int32_t>(modes);
  m_eigen_vectors.Resize(rows, m_nparams);
  m_eigen_values.Resize(m_nparams);
  for (int32_t k = 0; k < m_nparams; ++k) {
    if (m_verbose)
      std::cerr << (k + 1) << "|" << m_nparams << ") Extracting eigen vectors   \r" << std::flush;
    m_eigen_values[k] = values[k];
    for (int32_t r = 0; r < rows; ++r) m_eigen_vectors[r][k] = vectors[r][k];
  }
  // The per-mode limits follow the modes, so mode 1 works on a model built in memory as well.
  m_mode_limits = GetStdDevs();
  for (uint32_t k = 0; k < m_mode_limits.m_count; ++k) m_mode_limits[k] *= 3.0f;
  m_built = 1;
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

FILE* ZR_PCA::Write(FILE* f) const {
  const int32_t type = 1;
  if (!ZR_WriteValue(f, m_version) || !ZR_WriteValue(f, type) || !ZR_WriteValue(f, m_nparams) ||
      !ZR_WriteValue(f, m_num_obs) || !ZR_WriteValue(f, m_obs_size) ||
      !ZR_WriteValue(f, m_forced_modes) || !ZR_WriteValue(f, m_explained) ||
      !ZR_WriteValue(f, m_limit) || !ZR_WriteValue(f, m_cov_filled) || !ZR_WriteValue(f, m_built))
    return nullptr;
  if (m_eigen_vectors.Write(f) == nullptr || m_eigen_values.Write(f) == nullptr ||
      m_mean.Write(f) == nullptr)
    return nullptr;
  return f;
}

FILE* ZR_PCA::Read(FILE* f) {
  Clear();
  m_message = "Error: ZR_PCA::Read() ";
  int32_t type;
  if (!ZR_ReadValue(f, m_version) || !ZR_ReadValue(f, type)) return nullptr;
  if (type != 1) {
    char text[64];
    std::snprintf(text, sizeof text, "Error: ZR_PCA::Read() model_type=%d", type);
    m_message = text;
    return nullptr;
  }
  if (!ZR_ReadValue(f, m_nparams) || !ZR_ReadValue(f, m_num_obs) || !ZR_ReadValue(f, m_obs_size) ||
      !ZR_ReadValue(f, m_forced_modes) || !ZR_ReadValue(f, m_explained) ||
      !ZR_ReadValue(f, m_limit) || !ZR_ReadValue(f, m_cov_filled) || !ZR_ReadValue(f, m_built))
    return nullptr;
  if (m_eigen_vectors.Read(f) == nullptr || m_eigen_values.ZR_Array<float>::Read(f) == nullptr ||
      m_mean.ZR_Array<float>::Read(f) == nullptr)
    return nullptr;
  // The projections index E, the eigenvalues and the mean by Nparams and ObsSize from 0, so the
  // shapes must agree with them (a model written by Write always does).
  const int64_t params = m_nparams < 0 ? 0 : m_nparams;
  const int64_t size = m_obs_size < 0 ? 0 : m_obs_size;
  const bool e_ok = params * size == 0
                        ? m_eigen_vectors.m_count == 0
                        : m_eigen_vectors.m_rows == size && m_eigen_vectors.m_cols == params &&
                              ZR_IsZeroBased(m_eigen_vectors);
  if (!e_ok || m_eigen_values.m_count != params || !ZR_IsZeroBased(m_eigen_values) ||
      m_mean.m_count != size || !ZR_IsZeroBased(m_mean))
    return nullptr;
  m_eigen_values.Resize(int32_t(params));  // an empty vector read at lo 5 becomes 0..-1
  m_mean.Resize(int32_t(size));
  m_message = "";
  m_mode_limits = GetStdDevs();
  for (uint32_t k = 0; k < m_mode_limits.m_count; ++k) m_mode_limits[k] *= 3.0f;
  return f;
}
