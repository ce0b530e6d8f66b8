// face/shape/zr_cov.cpp: ZR_Cov. The covariance matrix holds the sum of x x^T until Build, which
// turns it into (sum / n - mean mean^T) n / (n - 1); every sum runs in float in observation order.
#include "face/shape/zr_cov.h"

#include <cstdio>

ZR_Cov::ZR_Cov() : m_count(0), m_dimension(0), m_built(0) {}

ZR_Cov::~ZR_Cov() {}

bool ZR_Cov::AddObservation(const ZR_Vector& x) {
  m_built = 0;
  if (x.m_count == 0) {
    perror("ZR_Cov::AddObservation() Error! : Zero length observation vector\n");
    return false;
  }
  const int32_t d = static_cast<int32_t>(x.m_count);
  if (m_count == 0) {
    m_dimension = d;
    m_covariance.Resize(d, d);
    for (int32_t i = 0; i < d; ++i)
      for (int32_t j = 0; j < d; ++j) m_covariance[i][j] = 0.0f;
    m_sum.Resize(d);
    for (int32_t i = 0; i < d; ++i) m_sum[i] = 0.0f;
  } else if (d != m_dimension) {
    perror("ZR_Cov::AddObservation() Error! : Incorrect observation vector length\n");
    return false;
  }
  for (int32_t i = 0; i < d; ++i) m_sum[i] += x[i];
  ++m_count;
  for (int32_t i = 0; i < d; ++i)
    for (int32_t j = 0; j < d; ++j) m_covariance[i][j] += x[j] * x[i];
  return true;
}

bool ZR_Cov::Build() {
  if (m_count < 2) {
    perror("ZR_Cov::Build() Error! : less than 2 observations loaded!\n");
    return false;
  }
  const int32_t d = m_dimension;
  const float n = static_cast<float>(m_count);
  m_mean.Resize(d);
  for (int32_t i = 0; i < d; ++i) m_mean[i] = m_sum[i] / n;
  const float f = n / static_cast<float>(m_count - 1);
  for (int32_t i = 0; i < d; ++i) {
    for (int32_t j = 0; j < d; ++j) {
      float c = m_covariance[i][j] / n;
      c -= m_mean[j] * m_mean[i];
      m_covariance[i][j] = c * f;
    }
  }
  m_built = 1;
  return true;
}

void ZR_Cov::Clear() {
  m_covariance.Resize(0, 0);
  m_mean.Resize(0);
  m_sum.Resize(0);
  m_count = 0;
  m_built = 0;
}
