// image/zr_bilinear.cpp: IntegrateGaussian. The rounds follow the trapezoid refinement of
// Simpson's rule: round n adds 2^(n-2) midpoints; the estimate is (4 s - s_prev) / 3.
#include "image/zr_bilinear.h"

#include <cmath>

namespace {

inline float Gaussian(float x, float sigma) {
  return float(std::exp(double(-(x * x / (sigma * 2 * sigma)))));
}

}  // namespace

float IntegrateGaussian(float sigma, float a, float b) {
  constexpr int kMaxRounds = 20;
  float s = 0;
  float s_prev = -1e30f;
  float estimate_prev = -1e30f;
  float estimate = 0;
  for (int n = 1; n <= kMaxRounds; ++n) {
    if (n == 1) {
      s = 0.5f * (b - a) * (Gaussian(a, sigma) + Gaussian(b, sigma));
    } else {
      const int32_t k = int32_t(1) << (n - 2);
      const float d = (b - a) / float(k);
      float x = a + 0.5f * d;
      float sum = 0;
      for (int32_t j = 0; j < k; ++j, x += d) sum += Gaussian(x, sigma);
      s = 0.5f * (s + (b - a) * sum / float(k));
    }
    estimate = (4 * s - s_prev) / 3;
    if (std::fabs(estimate - estimate_prev) < 1e-6f * std::fabs(estimate_prev)) return estimate;
    if (estimate == 0 && estimate_prev == 0 && n > 6) return estimate;
    estimate_prev = estimate;
    s_prev = s;
  }
  return estimate;
}
