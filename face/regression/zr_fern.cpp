// face/regression/zr_fern.cpp: the fern record and its prediction. The leaf index is built in
// 32-bit unsigned arithmetic (a fern of more than 32 tests wraps its bit positions) and checked
// against the table.
#include "face/regression/zr_fern.h"

#include "core/zr_record_io.h"
#include "core/zr_zero_based.h"

ZR_Fern::ZR_Fern() : m_value_a(0), m_value_b(0) {}

FILE* ZR_Fern::Read(FILE* f) {
  if (!ZR_ReadValue(f, m_value_a) || !ZR_ReadValue(f, m_value_b) ||
      !zr_element_record<ZR_Vector>::ReadOne(f, m_thresholds) || m_leaves.Read(f) == nullptr ||
      !ZR_IsZeroBased(m_leaves))
    return nullptr;
  return f;
}

FILE* ZR_Fern::Write(FILE* f) const {
  if (!ZR_WriteValue(f, m_value_a) || !ZR_WriteValue(f, m_value_b) ||
      m_thresholds.Write(f) == nullptr || m_leaves.Write(f) == nullptr)
    return nullptr;
  return f;
}

ZR_Vector ZR_Fern::Predict(const ZR_Vector& f) const {
  uint32_t index = 0;
  for (uint32_t i = 0; i < m_thresholds.m_count && i < f.m_count; ++i)
    if (m_thresholds.m_data[i] > f.m_data[i]) index += 1u << (i % 32);
  ZR_Vector out;
  if (index < m_leaves.m_count) out = m_leaves.Block()[index];
  return out;
}
