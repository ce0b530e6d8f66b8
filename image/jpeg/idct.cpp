// image/jpeg/idct.cpp: inverse DCT and H2V2 chroma upsampling. Each pass drops only the terms of
// inputs that the coefficient count proves zero, so every specialisation gives exactly the full
// transform's result. Sums run in 64 bits: corrupt coefficients cannot overflow them.
#include "image/jpeg/idct.h"

#include <cstring>

#include "image/jpeg/colour.h"
#include "image/jpeg/internal/idct_sse2.h"

namespace jpgd {

namespace {

// For each count n: the rows that may hold non-zero values (R(n)), and per row the columns
// (c(n, r)); both follow from the zig-zag indices below n.
struct extent_tables {
  uint8_t m_rows[65];
  uint8_t m_cols[65][8];
};

constexpr extent_tables MakeExtentTables() {
  extent_tables t{};
  for (int n = 0; n <= 64; ++n) {
    for (int k = 0; k < n; ++k) {
      int pos = kZigzagToNatural[k];
      int row = pos / 8, col = pos % 8;
      if (row + 1 > t.m_rows[n]) t.m_rows[n] = static_cast<uint8_t>(row + 1);
      if (col + 1 > t.m_cols[n][row]) t.m_cols[n][row] = static_cast<uint8_t>(col + 1);
    }
  }
  return t;
}

constexpr extent_tables kExtent = MakeExtentTables();

// One 1-D pass over 8 inputs in[0], in[stride], ...; inputs at index N and above are zero.
template <int N, typename T>
inline void Idct1D(const T* in, int stride, int64_t out[8]) {
  auto x = [&](int i) -> int64_t { return i < N ? static_cast<int64_t>(in[i * stride]) : 0; };
  // Even part.
  int64_t z2 = x(2), z3 = x(6);
  int64_t z1 = (z2 + z3) * 4433;
  int64_t tmp2 = z1 + z3 * -15137;
  int64_t tmp3 = z1 + z2 * 6270;
  int64_t tmp0 = (x(0) + x(4)) * 8192;
  int64_t tmp1 = (x(0) - x(4)) * 8192;
  int64_t tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3;
  int64_t tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
  // Odd part.
  int64_t o0 = x(7), o1 = x(5), o2 = x(3), o3 = x(1);
  z1 = o0 + o3;
  z2 = o1 + o2;
  z3 = o0 + o2;
  int64_t z4 = o1 + o3;
  int64_t z5 = (z3 + z4) * 9633;
  o0 *= 2446;
  o1 *= 16819;
  o2 *= 25172;
  o3 *= 12299;
  z1 *= -7373;
  z2 *= -20995;
  z3 = z3 * -16069 + z5;
  z4 = z4 * -3196 + z5;
  o0 += z1 + z3;
  o1 += z2 + z4;
  o2 += z2 + z3;
  o3 += z1 + z4;
  out[0] = tmp10 + o3;
  out[7] = tmp10 - o3;
  out[1] = tmp11 + o2;
  out[6] = tmp11 - o2;
  out[2] = tmp12 + o1;
  out[5] = tmp12 - o1;
  out[3] = tmp13 + o0;
  out[4] = tmp13 - o0;
}

// Row pass: the first C coefficients of one row to 8 values with two extra fraction bits.
template <int C>
inline void RowPass(const int16_t* in, int32_t* ws) {
  if (C == 1) {
    int32_t v = in[0] * 4;
    for (int i = 0; i < 8; ++i) ws[i] = v;
    return;
  }
  int64_t o[8];
  Idct1D<C>(in, 1, o);
  for (int i = 0; i < 8; ++i) ws[i] = static_cast<int32_t>((o[i] + 1024) >> 11);
}

// Column pass over the first R workspace rows; adds the level shift of 128.
template <int R>
inline void ColumnPass(const int32_t* ws, uint8_t* out) {
  for (int col = 0; col < 8; ++col) {
    if (R == 1) {
      uint8_t v = ClampSample((ws[col] + 4112) >> 5);
      for (int i = 0; i < 8; ++i) out[i * 8 + col] = v;
      continue;
    }
    int64_t o[8];
    Idct1D<R>(ws + col, 8, o);
    for (int i = 0; i < 8; ++i) {
      int64_t v = (o[i] + (int64_t{1} << 17) + (int64_t{128} << 18)) >> 18;
      out[i * 8 + col] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
    }
  }
}

void RowPassN(int cols, const int16_t* in, int32_t* ws) {
  switch (cols) {
    case 1: return RowPass<1>(in, ws);
    case 2: return RowPass<2>(in, ws);
    case 3: return RowPass<3>(in, ws);
    case 4: return RowPass<4>(in, ws);
    case 5: return RowPass<5>(in, ws);
    case 6: return RowPass<6>(in, ws);
    case 7: return RowPass<7>(in, ws);
    default: return RowPass<8>(in, ws);
  }
}

void ColumnPassN(int rows, const int32_t* ws, uint8_t* out) {
  switch (rows) {
    case 1: return ColumnPass<1>(ws, out);
    case 2: return ColumnPass<2>(ws, out);
    case 3: return ColumnPass<3>(ws, out);
    case 4: return ColumnPass<4>(ws, out);
    case 5: return ColumnPass<5>(ws, out);
    case 6: return ColumnPass<6>(ws, out);
    case 7: return ColumnPass<7>(ws, out);
    default: return ColumnPass<8>(ws, out);
  }
}

inline void FillDc(int32_t dc, uint8_t* out) {
  std::memset(out, ClampSample(((dc + 4) >> 3) + 128), 64);
}

// The upsampling operators on x1, x3, x5, x7 (the odd coefficients of a line), descaled by 10
// bits; pass-through entries are copied as they stand.
inline int32_t Descale10(int32_t sum) { return (sum + 512) >> 10; }

// A(x) = (x0, a1, x4, a3) and B(x) = (b0, x2, b2, x6) of eight values in[0], in[stride], ...;
// inputs at index N and above are zero.
template <int N>
inline void SplitLine(const int32_t* in, int stride, int32_t a[4], int32_t b[4]) {
  auto x = [&](int i) -> int32_t { return i < N ? in[i * stride] : 0; };
  const int32_t x1 = x(1), x3 = x(3), x5 = x(5), x7 = x(7);
  a[0] = x(0);
  a[1] = Descale10(426 * x1 + 810 * x3 - 360 * x5 + 284 * x7);
  a[2] = x(4);
  a[3] = Descale10(23 * x1 - 99 * x3 + 502 * x5 + 887 * x7);
  b[0] = Descale10(928 * x1 - 325 * x3 + 218 * x5 - 184 * x7);
  b[1] = x(2);
  b[2] = Descale10(-75 * x1 + 526 * x3 + 787 * x5 - 383 * x7);
  b[3] = x(6);
}

// The split for blocks whose rows beyond Rows and columns beyond Cols are zero.
template <int Rows, int Cols>
void Split(const int16_t* coefs, int rows, int16_t quadrants[4][64]) {
  // Row operator across each row that may be non-zero (rows beyond stay 0).
  int32_t across_a[8][4] = {}, across_b[8][4] = {};
  for (int r = 0; r < rows; ++r) {
    int32_t line[8];
    for (int i = 0; i < 8; ++i) line[i] = coefs[r * 8 + i];
    SplitLine<Cols>(line, 1, across_a[r], across_b[r]);
  }
  // Column operator down: P = A down of A across, Q = B down of A across, R and S likewise of
  // B across.
  for (int j = 0; j < 4; ++j) {
    int32_t p[4], q[4], r[4], s[4];
    SplitLine<Rows>(&across_a[0][j], 4, p, q);
    SplitLine<Rows>(&across_b[0][j], 4, r, s);
    for (int i = 0; i < 4; ++i) {
      int32_t pq_sum = p[i] + q[i], pq_diff = p[i] - q[i];
      int32_t rs_sum = r[i] + s[i], rs_diff = r[i] - s[i];
      quadrants[0][i * 8 + j] = static_cast<int16_t>(pq_sum + rs_sum);
      quadrants[1][i * 8 + j] = static_cast<int16_t>(pq_sum - rs_sum);
      quadrants[2][i * 8 + j] = static_cast<int16_t>(pq_diff + rs_diff);
      quadrants[3][i * 8 + j] = static_cast<int16_t>(pq_diff - rs_diff);
    }
  }
}

}  // namespace

void IdctBlockScalar(const int16_t* coefs, int32_t count, uint8_t* out) {
  if (count <= 1) return FillDc(coefs[0], out);
  if (count > 64) count = 64;
  const int rows = kExtent.m_rows[count];
  int32_t ws[64];
  for (int r = 0; r < rows; ++r) RowPassN(kExtent.m_cols[count][r], coefs + r * 8, ws + r * 8);
  ColumnPassN(rows, ws, out);
}

void IdctBlock(const int16_t* coefs, int32_t count, uint8_t* out) {
  if (count <= 1) return FillDc(coefs[0], out);
  if (count > 64) count = 64;
#if defined(JPGD_HAVE_SSE2)
  // Row 0 holds the most columns of any zig-zag prefix.
  if (IdctBlockSse2(coefs, kExtent.m_rows[count], kExtent.m_cols[count][0], out)) return;
#endif
  IdctBlockScalar(coefs, count, out);
}

void SplitChromaBlock(const int16_t* coefs, int32_t count, int16_t quadrants[4][64]) {
  for (int q = 0; q < 4; ++q) std::memset(quadrants[q], 0, sizeof(quadrants[q]));
  if (count < 1) count = 1;
  if (count > 64) count = 64;
  const int rows = kExtent.m_rows[count];
  const bool narrow = kExtent.m_cols[count][0] <= 4;
  if (rows <= 4)
    narrow ? Split<4, 4>(coefs, rows, quadrants) : Split<4, 8>(coefs, rows, quadrants);
  else
    narrow ? Split<8, 4>(coefs, rows, quadrants) : Split<8, 8>(coefs, rows, quadrants);
}

void UpsampleChromaBlock(const int16_t* coefs, int32_t count, uint8_t* out) {
  if (count <= 1) {
    // A DC-only block splits into four DC-only quadrants of the same value.
    FillDc(coefs[0], out);
    std::memcpy(out + 64, out, 64);
    std::memcpy(out + 128, out, 128);
    return;
  }
  int16_t quadrants[4][64];
  SplitChromaBlock(coefs, count, quadrants);
  for (int q = 0; q < 4; ++q) {
#if defined(JPGD_HAVE_SSE2)
    if (IdctBlockSse2(quadrants[q], 4, 4, out + q * 64)) continue;
#endif
    int32_t ws[64];
    for (int r = 0; r < 4; ++r) RowPass<4>(quadrants[q] + r * 8, ws + r * 8);
    ColumnPass<4>(ws, out + q * 64);
  }
}

}  // namespace jpgd
