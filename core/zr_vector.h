// core/zr_vector.h: ZR_Vector, a float array indexed from 0 with vector arithmetic. Sums run in
// single precision in increasing index order; square roots are taken in double on the float sum.
// Operand sizes are not checked (debug builds assert): the left operand's count rules.
#ifndef CORE_ZR_VECTOR_H
#define CORE_ZR_VECTOR_H

#include <ostream>

#include "core/zr_array.h"
#include "core/zr_point.h"

// ZR_Vector: a ZR_Array<float> with lo 0 and hi count - 1, and no field of its own.
//   Owns: its block (as ZR_Array). Threads: as ZR_Array. Failure: as ZR_Array.
class ZR_Vector : public ZR_Array<float> {
 public:
  ZR_Vector() {}
  ZR_Vector(const ZR_Vector2D& p);
  ZR_Vector(float a, float b);
  ZR_Vector(const ZR_Vector& other);
  ~ZR_Vector() override {}

  // Takes the other's count with indices from 0 (keeping the block when the count is the same).
  ZR_Vector& operator=(const ZR_Vector& other);

  ZR_Vector operator-(const ZR_Vector& b) const;
  ZR_Vector operator+(const ZR_Vector& b) const;
  ZR_Vector operator/(const float& s) const;

  // Sum of this[i] * other[i].
  float Dot(const ZR_Vector& other) const;
  // Square root of the sum of (this[i] - other[i])^2.
  float Distance(const ZR_Vector& other) const;
  // Square root of the sum of squares.
  float Norm() const;
  // Sum of absolute values.
  float L1Norm() const;
  // this[i] := other[i] * this[i] below the smaller count; the rest is left as it was.
  void MultiplyElementwise(const ZR_Vector& other);
};

ZR_Vector operator*(const float& s, const ZR_Vector& v);
// Each element with its sign bit cleared.
ZR_Vector Abs(const ZR_Vector& v);
// " ZR_Array( lo hi )", then " value" per element, then "\n".
std::ostream& operator<<(std::ostream& out, const ZR_Vector& v);

// Every element other than value itself (which may be an element) becomes a copy of value.
template <>
inline void ZR_Array<ZR_Vector>::Fill(const ZR_Vector& value) {
  ZR_Vector* block = Block();
  for (uint32_t k = 0; k < m_count; ++k)
    if (&block[k] != &value) block[k] = value;
}

#endif  // CORE_ZR_VECTOR_H
