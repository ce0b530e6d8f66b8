// tests/image/zr_transform2d_test.cpp: the least-squares similarity: exact fits of known
// similarities, the least-squares residual property, and the refusals.
#include "image/zr_transform2d.h"

#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "core/zr_lud.h"

namespace {

ZR_Vector Set(const std::vector<float>& values) {
  ZR_Vector v;
  v.Resize(int32_t(values.size()));
  for (size_t i = 0; i < values.size(); ++i) v[int32_t(i)] = values[i];
  return v;
}

// The set mapped by (a, b, tx, ty): (a x - b y + tx, b x + a y + ty).
ZR_Vector Map(const ZR_Vector& source, float a, float b, float tx, float ty) {
  ZR_Vector out(source);
  for (int32_t k = 0; k + 1 < int32_t(source.m_count); k += 2) {
    out[k] = a * source[k] - b * source[k + 1] + tx;
    out[k + 1] = b * source[k] + a * source[k + 1] + ty;
  }
  return out;
}

const ZR_Vector kSquare = Set({0, 0, 1, 0, 1, 1, 0, 1});

TEST(ZrTransform2D, IdenticalSetsGiveTheIdentity) {
  ZR_Transform2D t(kSquare, kSquare);
  EXPECT_NEAR(1, t.m_parameters[0], 1e-6);
  EXPECT_NEAR(0, t.m_parameters[1], 1e-6);
  EXPECT_NEAR(0, t.m_translation.x, 1e-6);
  EXPECT_NEAR(0, t.m_translation.y, 1e-6);
  EXPECT_NEAR(1, t.m_scale, 1e-6);
  EXPECT_NEAR(1, t.m_rotation[0][0], 1e-6);
  EXPECT_NEAR(0, t.m_rotation[0][1], 1e-6);
  EXPECT_NEAR(0, t.m_rotation[1][0], 1e-6);
  EXPECT_NEAR(1, t.m_rotation[1][1], 1e-6);
}

TEST(ZrTransform2D, QuarterTurnDoubledGivesBTwoAndTheRotation) {
  ZR_Transform2D t(kSquare, Map(kSquare, 0, 2, 0, 0));
  EXPECT_NEAR(0, t.m_parameters[0], 1e-5);
  EXPECT_NEAR(2, t.m_parameters[1], 1e-5);
  EXPECT_NEAR(2, t.m_scale, 1e-5);
  EXPECT_NEAR(0, t.m_rotation[0][0], 1e-5);
  EXPECT_NEAR(-1, t.m_rotation[0][1], 1e-5);
  EXPECT_NEAR(1, t.m_rotation[1][0], 1e-5);
  EXPECT_NEAR(0, t.m_rotation[1][1], 1e-5);
  EXPECT_EQ(2, t.m_rotation.m_rows);
  EXPECT_EQ(4u, t.m_parameters.m_count);
}

// With noise the fit is the least-squares one: nudging any parameter raises the residual.
TEST(ZrTransform2D, NoisyFitMinimisesTheResidual) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> coordinate(0, 200), noise(-0.5f, 0.5f);
  std::vector<float> points;
  for (int i = 0; i < 68 * 2; ++i) points.push_back(coordinate(random));
  const ZR_Vector source = Set(points);
  ZR_Vector target = Map(source, 0.8f, -0.3f, 12, -40);
  for (int32_t k = 0; k < int32_t(target.m_count); ++k) target[k] += noise(random);
  ZR_Transform2D t(source, target);
  EXPECT_NEAR(0.8f, t.m_parameters[0], 1e-2);
  EXPECT_NEAR(-0.3f, t.m_parameters[1], 1e-2);
  auto residual = [&](const float p[4]) {
    double sum = 0;
    const ZR_Vector mapped = Map(source, p[0], p[1], p[2], p[3]);
    for (int32_t k = 0; k < int32_t(target.m_count); ++k)
      sum += double(mapped[k] - target[k]) * double(mapped[k] - target[k]);
    return sum;
  };
  const float fitted[4] = {t.m_parameters[0], t.m_parameters[1], t.m_parameters[2],
                           t.m_parameters[3]};
  const double best = residual(fitted);
  const float steps[4] = {1e-3f, 1e-3f, 0.05f, 0.05f};
  for (int i = 0; i < 4; ++i)
    for (float sign : {-1.0f, 1.0f}) {
      float nudged[4] = {fitted[0], fitted[1], fitted[2], fitted[3]};
      nudged[i] += sign * steps[i];
      EXPECT_GT(residual(nudged), best) << "parameter " << i << " sign " << sign;
    }
  // The mapping fields agree with the parameters.
  EXPECT_NEAR(t.m_scale * t.m_rotation[1][0], t.m_parameters[1], 1e-5);
  EXPECT_EQ(t.m_parameters[2], t.m_translation.x);
  EXPECT_EQ(t.m_parameters[3], t.m_translation.y);
}

TEST(ZrTransform2D, TooFewPointsOrUnequalSetsThrow) {
  const struct {
    const char* what;
    ZR_Vector source, target;
  } cases[] = {
      {"no point", ZR_Vector(), ZR_Vector()},
      {"one value", Set({3}), Set({4})},
      {"one point", Set({1, 2}), Set({3, 4})},
      {"one point at the origin", Set({0, 0}), Set({0, 0})},
      {"target shorter", kSquare, Set({0, 0, 1, 0})},
      {"target longer", Set({0, 0, 1, 0}), kSquare},
  };
  for (const auto& c : cases)
    EXPECT_THROW(ZR_Transform2D(c.source, c.target), LUDexception) << c.what;
}

TEST(ZrTransform2D, UnequalSetsNameTheirLengths) {
  try {
    ZR_Transform2D t(kSquare, Set({0, 0, 1, 0}));
    FAIL() << "no exception";
  } catch (const LUDexception& e) {
    EXPECT_STREQ("ZR_Transform2D::Compute() Error! source has 8 values, target 4\n",
                 e.m_message.m_text);
  }
}

}  // namespace
