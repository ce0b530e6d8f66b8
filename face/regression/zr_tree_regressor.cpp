// face/regression/zr_tree_regressor.cpp: the single-tree regressor's record, Describe and Predict.
#include "face/regression/zr_tree_regressor.h"

#include "core/zr_record_io.h"
#include "face/regression/internal/zr_regressor_parts.h"

ZR_TreeRegressor::ZR_TreeRegressor()
    : ZR_VectorRegressor(ZR_REGRESSOR_TREE),
      m_n_outputs(0),
      m_max_depth(0),
      m_min_samples_split(2),
      m_proportion(1.1f),
      m_split_type(0) {}

ZR_String ZR_TreeRegressor::TypeName() const {
  return ZR_String("Tree");
}

ZR_String ZR_TreeRegressor::Describe() const {
  ZR_String s("ZR_TreeRegressor\n");
  ZR_DescribeLine(s, "m_max_depth", m_max_depth);
  ZR_DescribeLine(s, "m_min_samples_split", m_min_samples_split);
  ZR_DescribeLine(s, "m_proportion", m_proportion);
  ZR_DescribeLine(s, "m_split_type", m_split_type);
  ZR_DescribeLine(s, "m_n_outputs", m_n_outputs);
  return s;
}

ZR_Vector ZR_TreeRegressor::Predict(ZR_Vector& x) const {
  return m_tree.Predict(x);
}

FILE* ZR_TreeRegressor::Write(FILE* f) const {
  const int32_t version = 1;
  if (!ZR_WriteValue(f, version) || !ZR_WriteValue(f, m_n_outputs) ||
      !ZR_WriteValue(f, m_max_depth) || !ZR_WriteValue(f, m_min_samples_split) ||
      !ZR_WriteValue(f, m_proportion) || !ZR_WriteValue(f, m_split_type) ||
      m_tree.Write(f) == nullptr)
    return nullptr;
  return f;
}

FILE* ZR_TreeRegressor::Read(FILE* f) {
  int32_t version;
  if (!ZR_ReadValue(f, version) || !ZR_ReadValue(f, m_n_outputs) || !ZR_ReadValue(f, m_max_depth) ||
      !ZR_ReadValue(f, m_min_samples_split) || !ZR_ReadValue(f, m_proportion) ||
      !ZR_ReadValue(f, m_split_type) || m_tree.Read(f) == nullptr)
    return nullptr;
  return f;
}

void ZR_TreeRegressor::Clear() {
  m_n_outputs = 0;
  m_max_depth = 0;
  m_min_samples_split = 1;
  m_split_type = 0;
  m_tree.Clear();
}
