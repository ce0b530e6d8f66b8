// face/shape/zr_pca_build.cpp: the builds of ZR_PCA from its observations. The covariance path
// analyses the d x d covariance (n - 1 divisor), the EY path the m x m matrix D^T D / m of the
// centred observations and maps its eigenvectors back through D; both sum in float in index order.
#include "face/shape/zr_pca.h"

#include <cmath>
#include <iostream>

#include "core/zr_sym_eigen.h"

namespace {

void Say(bool verbose, const char* text) {
  if (verbose) std::cerr << text << std::endl;
}

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
