// face/regression/zr_gbt.cpp: the GBT record, its description and prediction.
#include "face/regression/zr_gbt.h"

#include <cmath>

#include "core/zr_record_io.h"
#include "face/regression/internal/zr_regressor_parts.h"

ZR_GBT::ZR_GBT()
    : ZR_VectorRegressor(ZR_REGRESSOR_GBT),
      m_num_trees(0),
      m_n_samples(0),
      m_n_build_samples(0),
      m_n_features(0),
      m_n_outputs(0),
      m_max_depth(0),
      m_min_samples_split(2),
      m_shrinkage(0.05f),
      m_proportion(1.0f),
      m_split_type(0),
      m_normalise(0) {}

ZR_String ZR_GBT::TypeName() const {
  return ZR_String("GBT");
}

ZR_String ZR_GBT::Describe() const {
  ZR_String s("ZR_GBT\n");
  ZR_DescribeLine(s, "m_max_depth", m_max_depth);
  ZR_DescribeLine(s, "m_min_samples_split", m_min_samples_split);
  ZR_DescribeLine(s, "m_shrinkage", m_shrinkage);
  ZR_DescribeLine(s, "m_proportion", m_proportion);
  ZR_DescribeLine(s, "m_split_type", m_split_type);
  ZR_DescribeLine(s, "m_n_features", m_n_features);
  ZR_DescribeLine(s, "m_n_samples", m_n_samples);
  ZR_DescribeLine(s, "m_n_build_samples", m_n_build_samples);
  ZR_DescribeLine(s, "m_num_trees", m_num_trees);
  ZR_DescribeLine(s, "m_n_outputs", m_n_outputs);
  return s;
}

ZR_Vector ZR_GBT::Predict(ZR_Vector& x) const {
  ZR_Vector features = x;
  if (m_normalise != 0 && features.m_count != 0) {
    float sum = 0.0f, d = 0.0f;
    for (uint32_t k = 0; k < x.m_count; ++k) sum += x.m_data[k];
    const float mean = sum / static_cast<float>(x.m_count);
    const uint32_t nd = x.m_count < m_normalisation.m_count ? x.m_count : m_normalisation.m_count;
    for (uint32_t k = 0; k < nd; ++k) d += x.m_data[k] * m_normalisation.m_data[k];
    const float scale = std::fabs(d);
    for (uint32_t k = 0; k < features.m_count; ++k) {
      features.m_data[k] -= mean;
      if (scale > 0.0f) features.m_data[k] /= scale;
    }
  }
  ZR_Vector y = m_initial_output;
  for (uint32_t t = 0; t < m_trees.m_count; ++t)
    ZR_AddScaled(y, m_shrinkage, m_trees[t].Predict(features));
  return y;
}

FILE* ZR_GBT::Write(FILE* f) const {
  const int32_t version = 1;
  if (!ZR_WriteValue(f, version) || !ZR_WriteValue(f, m_num_trees) ||
      !ZR_WriteValue(f, m_n_samples) || !ZR_WriteValue(f, m_n_build_samples) ||
      !ZR_WriteValue(f, m_n_features) || !ZR_WriteValue(f, m_n_outputs) ||
      !ZR_WriteValue(f, m_max_depth) || !ZR_WriteValue(f, m_min_samples_split) ||
      !ZR_WriteValue(f, m_shrinkage) || !ZR_WriteValue(f, m_proportion) ||
      !ZR_WriteValue(f, m_split_type) || !ZR_WriteValue(f, m_normalise) ||
      m_normalisation.Write(f) == nullptr || m_initial_output.Write(f) == nullptr ||
      m_trees.Write(f) == nullptr)
    return nullptr;
  return f;
}

FILE* ZR_GBT::Read(FILE* f) {
  int32_t version;
  if (!ZR_ReadValue(f, version) || !ZR_ReadValue(f, m_num_trees) || !ZR_ReadValue(f, m_n_samples) ||
      !ZR_ReadValue(f, m_n_build_samples) || !ZR_ReadValue(f, m_n_features) ||
      !ZR_ReadValue(f, m_n_outputs) || !ZR_ReadValue(f, m_max_depth) ||
      !ZR_ReadValue(f, m_min_samples_split) || !ZR_ReadValue(f, m_shrinkage) ||
      !ZR_ReadValue(f, m_proportion) || !ZR_ReadValue(f, m_split_type) ||
      !ZR_ReadValue(f, m_normalise) || !zr_element_record<ZR_Vector>::ReadOne(f, m_normalisation) ||
      !zr_element_record<ZR_Vector>::ReadOne(f, m_initial_output) ||
      ZR_ReadTreeList(f, m_trees) == nullptr)
    return nullptr;
  return f;
}

void ZR_GBT::Clear() {
  m_num_trees = m_n_samples = m_n_build_samples = m_n_features = m_n_outputs = m_max_depth = 0;
  m_min_samples_split = 1;
  m_shrinkage = 0.1f;
  m_split_type = 0;
  m_trees.Clear();
}
