// core/zr_matrix.cpp: matrix products. The loops run row by row over contiguous memory, but each
// result element still receives its terms one at a time in increasing inner index, starting from
// 0, which is the order the results are defined in.
#include "core/zr_matrix.h"

#include <cassert>

ZR_Matrix ZR_Matrix::Transpose() const {
  ZR_Matrix t(m_cols, m_rows);
  for (int32_t i = 0; i < m_rows; ++i)
    for (int32_t j = 0; j < m_cols; ++j)
      t.m_data[int64_t(j) * m_rows + i] = m_data[int64_t(i) * m_cols + j];
  return t;
}

ZR_Matrix ZR_Matrix::operator*(const ZR_Matrix& b) const {
  assert(b.m_rows == m_cols);
  ZR_Matrix r(m_rows, b.m_cols);
  for (int32_t i = 0; i < m_rows; ++i) {
    float* out = r.m_data + int64_t(i) * b.m_cols;
    for (int32_t j = 0; j < b.m_cols; ++j) out[j] = 0.0f;
    for (int32_t k = 0; k < m_cols; ++k) {
      const float a = m_data[int64_t(i) * m_cols + k];
      const float* row = b.m_data + int64_t(k) * b.m_cols;
      for (int32_t j = 0; j < b.m_cols; ++j) out[j] += row[j] * a;
    }
  }
  return r;
}

ZR_Vector ZR_Matrix::operator*(const ZR_Vector& v) const {
  assert(v.m_count >= uint32_t(m_cols));
  ZR_Vector r;
  r.Resize(0, m_rows - 1);
  for (int32_t i = 0; i < m_rows; ++i) {
    const float* row = m_data + int64_t(i) * m_cols;
    float sum = 0.0f;
    for (int32_t j = 0; j < m_cols; ++j) sum += v.m_data[j] * row[j];
    r.m_data[i] = sum;
  }
  return r;
}

ZR_Vector operator*(const ZR_Vector& v, const ZR_Matrix& m) {
  assert(v.m_count >= uint32_t(m.m_rows));
  ZR_Vector r;
  r.Resize(0, m.m_cols - 1);
  for (int32_t i = 0; i < m.m_cols; ++i) r.m_data[i] = 0.0f;
  for (int32_t j = 0; j < m.m_rows; ++j) {
    const float* row = m.m_data + int64_t(j) * m.m_cols;
    for (int32_t i = 0; i < m.m_cols; ++i) r.m_data[i] += row[i] * v.m_data[j];
  }
  return r;
}

ZR_Vector ZR_Matrix::GetColumn(int32_t c) const {
  ZR_Vector r;
  r.Resize(0, m_rows - 1);
  for (int32_t i = 0; i < m_rows; ++i) r.m_data[i] = m_data[int64_t(i) * m_cols + c];
  return r;
}
