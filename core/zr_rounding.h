// core/zr_rounding.h: rounding half away from zero, the rule the resampler, the crops and the
// landmark refinement's pose bins share. Takes finite input only: callers guard NaN first.
#ifndef CORE_ZR_ROUNDING_H
#define CORE_ZR_ROUNDING_H

#include <cstdint>

// v rounded half away from zero; v must be finite and within +-2^31 (callers check).
inline int64_t ZR_RoundHalfAway(float v) {
  const double d = v;
  const int64_t k = int64_t(d);  // toward zero, exact for floats in range
  const double frac = d - double(k);
  if (frac >= 0.5) return k + 1;
  if (frac <= -0.5) return k - 1;
  return k;
}

#endif  // CORE_ZR_ROUNDING_H
