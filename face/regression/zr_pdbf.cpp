// face/regression/zr_pdbf.cpp: the PDBF record, its description and prediction.
#include "face/regression/zr_pdbf.h"

#include "core/zr_record_io.h"
#include "face/regression/internal/zr_regressor_parts.h"

ZR_PDBF::ZR_PDBF()
    : ZR_VectorRegressor(ZR_REGRESSOR_PDBF),
      m_n_features(0),
      m_sample_size(0),
      m_n_outputs(0),
      m_n_ferns(0),
      m_shrinkage(0.0f),
      m_single_coords(1) {}

ZR_String ZR_PDBF::TypeName() const {
  return ZR_String("PDBF");
}

ZR_String ZR_PDBF::Describe() const {
  ZR_String s("ZR_PDBF\n");
  ZR_DescribeLine(s, "m_n_features", m_n_features);
  ZR_DescribeLine(s, "m_sample_size", m_sample_size);
  ZR_DescribeLine(s, "m_n_ferns", m_n_ferns);
  ZR_DescribeLine(s, "m_shrinkage", m_shrinkage);
  ZR_DescribeLine(s, "m_single_coords", int32_t(m_single_coords));
  ZR_DescribeLine(s, "m_n_outputs", m_n_outputs);
  return s;
}

ZR_Vector ZR_PDBF::Predict(ZR_Vector& x) const {
  ZR_Vector y = m_initial_output;
  ZR_Vector features;
  if (m_single_coords != 0) features = ZR_PairFeatures(x, m_pairs, m_n_features);
  static const ZR_List<zr_coord> kNoPairs;
  for (uint32_t k = 0; k < m_ferns.m_count; ++k) {
    if (m_single_coords == 0)
      features =
          ZR_PairFeatures(x, k < m_fern_pairs.m_count ? m_fern_pairs[k] : kNoPairs, m_n_features);
    ZR_AddScaled(y, m_shrinkage, m_ferns[k].Predict(features));
  }
  return y;
}

FILE* ZR_PDBF::Write(FILE* f) const {
  const int32_t version = 1;
  if (!ZR_WriteValue(f, version) || !ZR_WriteValue(f, m_n_features) ||
      !ZR_WriteValue(f, m_sample_size) || !ZR_WriteValue(f, m_n_outputs) ||
      !ZR_WriteValue(f, m_n_ferns) || !ZR_WriteValue(f, m_shrinkage) ||
      !ZR_WriteValue(f, m_single_coords) || m_initial_output.Write(f) == nullptr ||
      m_ferns.Write(f) == nullptr || m_pairs.Write(f) == nullptr ||
      m_fern_pairs.Write(f) == nullptr)
    return nullptr;
  return f;
}

FILE* ZR_PDBF::Read(FILE* f) {
  int32_t version;
  if (!ZR_ReadValue(f, version) || !ZR_ReadValue(f, m_n_features) ||
      !ZR_ReadValue(f, m_sample_size) || !ZR_ReadValue(f, m_n_outputs) ||
      !ZR_ReadValue(f, m_n_ferns) || !ZR_ReadValue(f, m_shrinkage) ||
      !ZR_ReadValue(f, m_single_coords) ||
      !zr_element_record<ZR_Vector>::ReadOne(f, m_initial_output) ||
      ZR_ReadFernList(f, m_ferns) == nullptr || m_pairs.Read(f) == nullptr ||
      m_fern_pairs.Read(f) == nullptr)
    return nullptr;
  return f;
}

void ZR_PDBF::Clear() {
  m_ferns.Clear();
  m_fern_pairs.Clear();
  m_pairs.Clear();
}
