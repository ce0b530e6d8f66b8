// tests/image/jpeg/idct_test.cpp: the inverse DCT against its own full pass, its scalar form and
// a double-precision model; the H2V2 chroma split against the matrix it stands for.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "image/jpeg/idct.h"

namespace {

using jpgd::kZigzagToNatural;

// Orthonormal 8-point and 4-point DCT-II basis values.
double Basis(int n_points, int k, int n) {
  double scale = std::sqrt((k == 0 ? 1.0 : 2.0) / n_points);
  return scale * std::cos((2 * n + 1) * k * M_PI / (2.0 * n_points));
}

// 2-D inverse of the orthonormal 8×8 DCT (what JPEG coefficients are), with the level shift.
void ReferenceIdct(const int16_t* coefs, double out[64]) {
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      double s = 0;
      for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) s += coefs[v * 8 + u] * Basis(8, v, y) * Basis(8, u, x);
      out[y * 8 + x] = s + 128;
    }
}

// A block whose first n zig-zag values are random (in the range of real dequantised values).
void RandomBlock(std::mt19937* rng, int n, int32_t range, int16_t* coefs) {
  std::uniform_int_distribution<int32_t> dist(-range, range);
  std::memset(coefs, 0, 64 * sizeof(int16_t));
  for (int k = 0; k < n; ++k) coefs[kZigzagToNatural[k]] = static_cast<int16_t>(dist(*rng));
}

TEST(JpegIdct, DcOnlyBlocksFillWithLevelShiftedClampedValue) {
  const struct {
    int16_t dc;
    uint8_t sample;
  } cases[] = {{0, 128}, {-1029, 0}, {-1024, 0}, {1020, 255}, {8, 129}, {-9, 127}};
  for (const auto& c : cases) {
    int16_t coefs[64] = {};
    coefs[0] = c.dc;
    uint8_t out[64];
    jpgd::IdctBlock(coefs, 1, out);
    for (uint8_t s : out) ASSERT_EQ(c.sample, s) << "DC " << c.dc;
  }
}

TEST(JpegIdct, EverySpecialisationEqualsTheFullPassBitForBit) {
  std::mt19937 rng(7);
  for (int n = 1; n <= 64; ++n) {
    for (int trial = 0; trial < 40; ++trial) {
      int16_t coefs[64];
      RandomBlock(&rng, n, trial % 2 ? 300 : 2000, coefs);
      uint8_t special[64], full[64];
      jpgd::IdctBlock(coefs, n, special);
      jpgd::IdctBlock(coefs, 64, full);
      ASSERT_EQ(0, std::memcmp(special, full, 64)) << "count " << n << " trial " << trial;
    }
  }
}

TEST(JpegIdct, SimdAndScalarPassesGiveIdenticalSamples) {
  // Small and large values, and values whose row pass leaves 16 bits (the scalar fallback).
  std::mt19937 rng(3);
  for (int n = 1; n <= 64; ++n) {
    for (int32_t range : {60, 1500, 8000, 32767}) {
      int16_t coefs[64];
      RandomBlock(&rng, n, range, coefs);
      uint8_t fast[64], scalar[64];
      jpgd::IdctBlock(coefs, n, fast);
      jpgd::IdctBlockScalar(coefs, n, scalar);
      ASSERT_EQ(0, std::memcmp(fast, scalar, 64)) << "count " << n << " range " << range;
    }
  }
}

TEST(JpegIdct, FullPassIsWithinOneOfDoublePrecision) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 500; ++trial) {
    int16_t coefs[64];
    RandomBlock(&rng, 1 + trial % 64, 120, coefs);
    uint8_t out[64];
    double ref[64];
    jpgd::IdctBlock(coefs, 64, out);
    ReferenceIdct(coefs, ref);
    for (int i = 0; i < 64; ++i) {
      double r = std::fmin(255, std::fmax(0, ref[i]));
      ASSERT_LE(std::fabs(out[i] - r), 1.0) << "trial " << trial << " sample " << i;
    }
  }
}

TEST(JpegIdct, ExtremeCoefficientsStayDefined) {
  // Corrupt files can carry any 16-bit value; sums must not overflow (UBSan watches this).
  int16_t coefs[64];
  for (int i = 0; i < 64; ++i) coefs[i] = (i % 3) ? INT16_MIN : INT16_MAX;
  uint8_t out[64];
  jpgd::IdctBlock(coefs, 64, out);
  int16_t quadrants[4][64];
  jpgd::SplitChromaBlock(coefs, 64, quadrants);
  uint8_t up[256];
  jpgd::UpsampleChromaBlock(coefs, 64, up);
  SUCCEED();
}

// The matrix that maps the 8 coefficients of a line to the 4 of each half, times √2; A holds
// what both halves share, B what they differ by.
void HalfMatrix(double a[4][8], double b[4][8]) {
  for (int j = 0; j < 4; ++j)
    for (int k = 0; k < 8; ++k) {
      double first = 0, second = 0;
      for (int n = 0; n < 4; ++n) {
        first += Basis(8, k, n) * Basis(4, j, n);
        second += Basis(8, k, n + 4) * Basis(4, j, n);
      }
      a[j][k] = (first + second) / 2 * std::sqrt(2.0);
      b[j][k] = (first - second) / 2 * std::sqrt(2.0);
    }
}

TEST(JpegUpsample, SplitConstantsAreTheRoundedHalfMatrix) {
  double a[4][8], b[4][8];
  HalfMatrix(a, b);
  // A 1024 impulse at x_k of row 0 puts 1024 × matrix entry, rounded, into the quadrants:
  // top-left row 0 = A + B across, top-right row 0 = A - B across.
  for (int k : {1, 3, 5, 7}) {
    int16_t coefs[64] = {};
    coefs[k] = 1024;
    int16_t q[4][64];
    jpgd::SplitChromaBlock(coefs, 64, q);
    for (int j = 0; j < 4; ++j) {
      int32_t got_a = (q[0][j] + q[1][j]) / 2, got_b = (q[0][j] - q[1][j]) / 2;
      EXPECT_EQ(static_cast<int32_t>(std::trunc(a[j][k] * 1024 + 0.5)), got_a) << k << "," << j;
      EXPECT_EQ(static_cast<int32_t>(std::trunc(b[j][k] * 1024 + 0.5)), got_b) << k << "," << j;
    }
  }
}

TEST(JpegUpsample, DcOnlyChromaGivesFourBlocksOfThatDc) {
  int16_t coefs[64] = {};
  coefs[0] = -77;
  int16_t q[4][64];
  jpgd::SplitChromaBlock(coefs, 1, q);
  for (int b = 0; b < 4; ++b)
    for (int i = 0; i < 64; ++i) ASSERT_EQ(i == 0 ? -77 : 0, q[b][i]) << b << "," << i;
}

// Float model of the upsampling: 8-point inverse transform of each line, split into halves,
// 4-point transform × √2 of each half, padded to 8 coefficients and inverse transformed again.
void ReferenceUpsample(const int16_t* coefs, double out[16][16]) {
  // Separable: first down the columns (vertical), then across the rows.
  double sample[8][8];
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      double s = 0;
      for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) s += coefs[v * 8 + u] * Basis(8, v, y) * Basis(8, u, x);
      sample[y][x] = s;
    }
  // Each 8-sample half-line, as 4 coefficients × √2, becomes 8 samples through the 8-point
  // inverse: in 1-D, upsample(half)[m] = Σ_j c_j √2 Basis(8, j, m).
  auto up1d = [](const double* half, int stride, double* dst, int dst_stride) {
    double c[4];
    for (int j = 0; j < 4; ++j) {
      c[j] = 0;
      for (int n = 0; n < 4; ++n) c[j] += half[n * stride] * Basis(4, j, n);
      c[j] *= std::sqrt(2.0);
    }
    for (int m = 0; m < 8; ++m) {
      double s = 0;
      for (int j = 0; j < 4; ++j) s += c[j] * Basis(8, j, m);
      dst[m * dst_stride] = s;
    }
  };
  double tall[16][8];
  for (int x = 0; x < 8; ++x)
    for (int half = 0; half < 2; ++half) up1d(&sample[half * 4][x], 8, &tall[half * 8][x], 8);
  for (int y = 0; y < 16; ++y)
    for (int half = 0; half < 2; ++half) up1d(&tall[y][half * 4], 1, &out[y][half * 8], 1);
}

TEST(JpegUpsample, RandomChromaIsWithinTwoOfTheFloatModel) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 300; ++trial) {
    const int n = 1 + trial % 64;
    int16_t coefs[64];
    RandomBlock(&rng, n, 80, coefs);
    uint8_t out[256];
    jpgd::UpsampleChromaBlock(coefs, n, out);
    uint8_t full[256];
    jpgd::UpsampleChromaBlock(coefs, 64, full);
    ASSERT_EQ(0, std::memcmp(out, full, 256)) << "count " << n;
    double ref[16][16];
    ReferenceUpsample(coefs, ref);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        const int quadrant = (y / 8) * 2 + x / 8;
        const int got = out[quadrant * 64 + (y % 8) * 8 + x % 8];
        const double want = std::fmin(255, std::fmax(0, ref[y][x] + 128));
        ASSERT_LE(std::fabs(got - want), 2.0) << "trial " << trial << " at " << x << "," << y;
      }
  }
}

}  // namespace
