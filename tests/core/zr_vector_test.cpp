// tests/core/zr_vector_test.cpp: ZR_Vector arithmetic, text and filling arrays of vectors.
#include "core/zr_vector.h"

#include <cmath>
#include <initializer_list>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "core/zr_array.h"

namespace {

std::vector<float> Values(const ZR_Vector& v) {
  return std::vector<float>(v.Block(), v.Block() + v.m_count);
}

ZR_Vector Make(std::initializer_list<float> values) {
  ZR_Vector v;
  v.Resize(static_cast<int32_t>(values.size()));
  int i = 0;
  for (float x : values) v[i++] = x;
  return v;
}

TEST(ZrVector, ResultsOfTheOperations) {
  const ZR_Vector v(3.0f, 4.0f), zero(0.0f, 0.0f);
  EXPECT_EQ(5.0f, v.Norm());
  EXPECT_EQ(7.0f, v.L1Norm());
  EXPECT_EQ(25.0f, v.Dot(v));
  EXPECT_EQ(5.0f, v.Distance(zero));
  EXPECT_EQ(std::vector<float>({1.5f, -2.0f}), Values(ZR_Vector(ZR_Vector2D(1.5f, -2.0f))));
  EXPECT_EQ(std::vector<float>({2.0f, 2.0f}), Values(v - ZR_Vector(1.0f, 2.0f)));
  EXPECT_EQ(std::vector<float>({4.0f, 6.0f}), Values(v + ZR_Vector(1.0f, 2.0f)));
  EXPECT_EQ(std::vector<float>({6.0f, 8.0f}), Values(2.0f * v));
  EXPECT_EQ(std::vector<float>({1.5f, 2.0f}), Values(v / 2.0f));
  EXPECT_EQ(std::vector<float>({3.0f, 0.0f, 2.5f}), Values(Abs(Make({-3.0f, -0.0f, 2.5f}))));
  EXPECT_FALSE(std::signbit(Abs(Make({-0.0f}))[0]));

  ZR_Vector w = Make({1, 2, 3});
  w.MultiplyElementwise(ZR_Vector(2.0f, 2.0f));
  EXPECT_EQ(std::vector<float>({2, 4, 3}), Values(w));
}

// Sums are taken in index order in float: 1e8 + 1 + 1 ... stays 1e8 in float, whatever a wider
// or reordered sum would give.
TEST(ZrVector, SumsRunInIndexOrderInSinglePrecision) {
  const ZR_Vector v = Make({1e8f, 1, 1, 1, 1, -1e8f});
  EXPECT_EQ(0.0f, v.Dot(Make({1, 1, 1, 1, 1, 1})));
  EXPECT_EQ(2e8f, v.L1Norm());
}

TEST(ZrVector, CopiesAreIndexedFromZero) {
  ZR_Vector v = Make({1, 2});
  ZR_Vector w;
  w.Resize(4, 5);
  const float* block = w.Block();
  w = v;
  EXPECT_EQ(0, w.m_lo);
  EXPECT_EQ(block, w.Block());
  EXPECT_EQ(2.0f, w[1]);
}

TEST(ZrVector, FillCopiesTheVectorIntoEveryOtherElement) {
  ZR_Array<ZR_Vector> a;
  a.Resize(1, 3);
  a[2] = ZR_Vector(1.0f, 2.0f);
  a.Fill(a[2]);
  for (int i = 1; i <= 3; ++i) {
    ASSERT_EQ(2u, a[i].m_count) << i;
    EXPECT_EQ(2.0f, a[i][1]) << i;
  }
}

TEST(ZrVector, StreamOutput) {
  std::ostringstream out;
  out << ZR_Vector(1.0f, 2.5f) << ZR_Vector();
  EXPECT_EQ(" ZR_Array( 0 1 ) 1 2.5\n ZR_Array( 0 -1 )\n", out.str());
}

}  // namespace
