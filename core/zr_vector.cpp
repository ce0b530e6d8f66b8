// core/zr_vector.cpp: ZR_Vector arithmetic and its element record. Every sum starts from 0 and adds
// one single-precision term at a time in index order, so results match across compilers.
#include "core/zr_vector.h"

#include "core/zr_zero_based.h"

#include <cassert>
#include <cmath>
#include <cstring>

ZR_Vector::ZR_Vector(const ZR_Vector2D& p) : ZR_Vector(p.x, p.y) {}

ZR_Vector::ZR_Vector(float a, float b) {
  Resize(0, 1);
  m_data[0] = a;
  m_data[1] = b;
}

ZR_Vector::ZR_Vector(const ZR_Vector& other) : ZR_Array<float>() {
  *this = other;
}

ZR_Vector& ZR_Vector::operator=(const ZR_Vector& other) {
  if (this == &other) return *this;
  Resize(0, static_cast<int32_t>(other.m_count) - 1);
  if (m_count != 0) std::memcpy(m_data, other.Block(), m_count * sizeof(float));
  return *this;
}

ZR_Vector ZR_Vector::operator-(const ZR_Vector& b) const {
  assert(b.m_count >= m_count);
  ZR_Vector r = *this;
  for (uint32_t i = 0; i < m_count; ++i) r.m_data[i] -= b.m_data[i];
  return r;
}

ZR_Vector ZR_Vector::operator+(const ZR_Vector& b) const {
  assert(b.m_count >= m_count);
  ZR_Vector r = *this;
  for (uint32_t i = 0; i < m_count; ++i) r.m_data[i] += b.m_data[i];
  return r;
}

ZR_Vector operator*(const float& s, const ZR_Vector& v) {
  ZR_Vector r = v;
  for (uint32_t i = 0; i < r.m_count; ++i) r.m_data[i] *= s;
  return r;
}

ZR_Vector ZR_Vector::operator/(const float& s) const {
  ZR_Vector r = *this;
  for (uint32_t i = 0; i < m_count; ++i) r.m_data[i] /= s;
  return r;
}

float ZR_Vector::Dot(const ZR_Vector& other) const {
  assert(other.m_count >= m_count);
  float sum = 0.0f;
  for (uint32_t i = 0; i < m_count; ++i) sum += m_data[i] * other.m_data[i];
  return sum;
}

float ZR_Vector::Distance(const ZR_Vector& other) const {
  assert(other.m_count >= m_count);
  float sum = 0.0f;
  for (uint32_t i = 0; i < m_count; ++i) {
    const float d = m_data[i] - other.m_data[i];
    sum += d * d;
  }
  return static_cast<float>(std::sqrt(static_cast<double>(sum)));
}

float ZR_Vector::Norm() const {
  float sum = 0.0f;
  for (uint32_t i = 0; i < m_count; ++i) sum += m_data[i] * m_data[i];
  return static_cast<float>(std::sqrt(static_cast<double>(sum)));
}

float ZR_Vector::L1Norm() const {
  float sum = 0.0f;
  for (uint32_t i = 0; i < m_count; ++i) sum += std::fabs(m_data[i]);
  return sum;
}

void ZR_Vector::MultiplyElementwise(const ZR_Vector& other) {
  const uint32_t n = other.m_count < m_count ? other.m_count : m_count;
  for (uint32_t i = 0; i < n; ++i) m_data[i] = other.m_data[i] * m_data[i];
}

ZR_Vector Abs(const ZR_Vector& v) {
  ZR_Vector r = v;
  for (uint32_t i = 0; i < r.m_count; ++i) r.m_data[i] = std::fabs(r.m_data[i]);
  return r;
}

std::ostream& operator<<(std::ostream& out, const ZR_Vector& v) {
  out << " ZR_Array( " << v.m_lo << " " << v.m_hi << " )";
  for (uint32_t k = 0; k < v.m_count; ++k) out << " " << v.Block()[k];
  return out << "\n";
}

bool zr_element_record<ZR_Vector>::ReadOne(FILE* f, ZR_Vector& v) {
  if (v.ZR_Array<float>::Read(f) == nullptr) return false;
  if (!ZR_IsZeroBased(v)) return false;
  if (v.m_count == 0) v.Resize(0, -1);
  return true;
}

bool zr_element_record<ZR_Vector>::Read(FILE* f, ZR_Vector* e, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i)
    if (!ReadOne(f, e[i])) return false;
  return true;
}

bool zr_element_record<ZR_Vector>::Write(FILE* f, const ZR_Vector* e, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i)
    if (e[i].ZR_Array<float>::Write(f) == nullptr) return false;
  return true;
}
