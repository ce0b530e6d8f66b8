// face/regression/zr_ls.cpp: the LS record in both versions, its description and prediction. R may
// come with any stored bounds, so the product walks R's own ranges and checks every length.
#include "face/regression/zr_ls.h"

#include <cmath>

#include "core/zr_record_io.h"
#include "face/regression/internal/zr_regressor_parts.h"

ZR_LS::ZR_LS()
    : ZR_VectorRegressor(ZR_REGRESSOR_LS),
      m_n_features(63),
      m_sample_size(0),
      m_n_outputs(0),
      m_type(0),
      m_normalise(0) {}

ZR_String ZR_LS::TypeName() const {
  return ZR_String("LS");
}

ZR_String ZR_LS::Describe() const {
  ZR_String s("ZR_LS\n");
  s += "m_type = ";
  s += ZR_String(static_cast<int>(m_type));
  s += " 0 pxdif, 1 samp, 2 SURF\n";
  ZR_DescribeLine(s, "m_n_features", m_n_features);
  ZR_DescribeLine(s, "m_sample_size", m_sample_size);
  ZR_DescribeLine(s, "m_n_outputs", m_n_outputs);
  s += "R(rows,cols) = (";
  s += ZR_String(static_cast<int>(m_R.m_rows));
  s += ",";
  s += ZR_String(static_cast<int>(m_R.m_cols));
  s += ")\n";
  return s;
}

namespace {

// R f + offset, R row by row from its block whatever its stored bounds; elements of f past its
// end count as 0.
ZR_Vector Apply(const ZR_Matrix& r, const ZR_Vector& f, const ZR_Vector& offset) {
  ZR_Vector out;
  if (r.m_count == 0) return out;
  out.Resize(r.m_rows);
  const uint32_t n = uint32_t(r.m_cols) < f.m_count ? uint32_t(r.m_cols) : f.m_count;
  for (int32_t i = 0; i < r.m_rows; ++i) {
    const float* row = r.Block() + int64_t(i) * r.m_cols;
    float sum = 0.0f;
    for (uint32_t j = 0; j < n; ++j) sum += f.m_data[j] * row[j];
    out.m_data[i] = sum;
  }
  const uint32_t no = out.m_count < offset.m_count ? out.m_count : offset.m_count;
  for (uint32_t k = 0; k < no; ++k) out.m_data[k] += offset.m_data[k];
  return out;
}

}  // namespace

ZR_Vector ZR_LS::Predict(ZR_Vector& x) const {
  switch (m_type) {
    case 0:
      return Apply(m_R, ZR_PairFeatures(x, m_pairs, m_n_features), m_offset);
    case 1:
      if (m_normalise != 0 && x.m_count != 0) {
        float sum = 0.0f;
        for (uint32_t k = 0; k < x.m_count; ++k) sum += x.m_data[k];
        const float mean = sum / static_cast<float>(x.m_count);
        for (uint32_t k = 0; k < x.m_count; ++k) x.m_data[k] -= mean;
        const float norm = x.Norm();
        if (norm != 0.0f)
          for (uint32_t k = 0; k < x.m_count; ++k) x.m_data[k] /= norm;
      }
      return Apply(m_R, x, m_offset);
    case 2:
      return Apply(m_R, x, m_offset);
    default: {
      ZR_Vector out;
      if (m_n_outputs > 0) out.Resize(m_n_outputs);
      return out;
    }
  }
}

FILE* ZR_LS::Write(FILE* f) const {
  const int32_t version = 2;
  if (!ZR_WriteValue(f, version) || !ZR_WriteValue(f, m_type) || !ZR_WriteValue(f, m_normalise) ||
      !ZR_WriteValue(f, m_n_features) || !ZR_WriteValue(f, m_sample_size) ||
      !ZR_WriteValue(f, m_n_outputs) || m_pairs.Write(f) == nullptr || m_R.Write(f) == nullptr ||
      m_offset.Write(f) == nullptr)
    return nullptr;
  return f;
}

FILE* ZR_LS::Read(FILE* f) {
  int32_t version;
  if (!ZR_ReadValue(f, version)) return nullptr;
  if (version >= 2 && (!ZR_ReadValue(f, m_type) || !ZR_ReadValue(f, m_normalise))) return nullptr;
  if (!ZR_ReadValue(f, m_n_features) || !ZR_ReadValue(f, m_sample_size) ||
      !ZR_ReadValue(f, m_n_outputs) || m_pairs.Read(f) == nullptr || m_R.Read(f) == nullptr ||
      !zr_element_record<ZR_Vector>::ReadOne(f, m_offset))
    return nullptr;
  return f;
}

void ZR_LS::Clear() {
  m_sample_size = 0;
  m_pairs.Clear();
  m_R.Resize(1, 1);
}
