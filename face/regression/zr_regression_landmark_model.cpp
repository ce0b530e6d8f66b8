// face/regression/zr_regression_landmark_model.cpp: reading the regression landmark model section.
#include "face/regression/zr_regression_landmark_model.h"

#include "core/zr_record_io.h"
#include "core/zr_string.h"
#include "face/regression/zr_read_regressor.h"

ZR_RegressionLandmarkModel::ZR_RegressionLandmarkModel()
    : m_param1(48),
      m_param2(128),
      m_param3(0),
      m_param4(1),
      m_float_param(1.0f),
      m_param5(0),
      m_flag1(0),
      m_flag2(1),
      m_param6(0),
      m_param7(0),
      m_param8(0),
      m_regressor(nullptr),
      m_trailing(0) {}

ZR_RegressionLandmarkModel::~ZR_RegressionLandmarkModel() {
  ReleaseRegressor();
}

void ZR_RegressionLandmarkModel::ReleaseRegressor() {
  if (m_regressor == nullptr) return;
  m_regressor->Clear();
  delete m_regressor;
  m_regressor = nullptr;
}

FILE* ZR_RegressionLandmarkModel::Read(FILE* f) {
  int32_t version;
  if (!ZR_ReadValue(f, version) || !ZR_ReadValue(f, m_param5) || !ZR_ReadValue(f, m_param1) ||
      !ZR_ReadValue(f, m_param4) || !ZR_ReadValue(f, m_float_param) || !ZR_ReadValue(f, m_param2) ||
      !ZR_ReadValue(f, m_flag2) || !ZR_ReadValue(f, m_param3) || !ZR_ReadValue(f, m_param6) ||
      !ZR_ReadValue(f, m_param7) || !ZR_ReadValue(f, m_param8))
    return nullptr;
  if (!zr_element_record<ZR_Vector>::ReadOne(f, m_vector) || m_anno_b.Read(f) == nullptr ||
      m_anno_a.Read(f) == nullptr || m_sampler.Read(f) == nullptr)
    return nullptr;
  ReleaseRegressor();
  ZR_String error;
  m_regressor = ReadRegressor(f, error);
  return m_regressor != nullptr ? f : nullptr;
}
