// face/shape/zr_pca_record.cpp: ZR_PCA's packed record. The record comes from model files, so
// Read checks the shapes of E, the eigenvalues and the mean against Nparams and ObsSize before any
// projection may index them.
#include "face/shape/zr_pca.h"

#include <cstdio>

#include "core/zr_record_io.h"
#include "core/zr_zero_based.h"

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
