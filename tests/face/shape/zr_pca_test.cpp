// tests/face/shape/zr_pca_test.cpp: ZR_Cov and ZR_PCA: the worked limiting and mode-count examples,
// both build paths on data of known covariance, the record round trip and the records Read
// refuses, the observation-list rules, and projections from several threads.
#include "face/shape/zr_pca.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "face/shape/zr_cov.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

ZR_Vector Vec(std::initializer_list<float> values) {
  ZR_Vector v;
  v.Resize(int32_t(values.size()));
  int32_t i = 0;
  for (float x : values) v[i++] = x;
  return v;
}

// A 2-mode model over 2-value observations: E = I, eigenvalues (4, 1), mean 0.
void TwoModeModel(ZR_PCA& pca) {
  pca.m_obs_size = 2;
  ZR_Matrix identity(2, 2);
  identity[0][0] = identity[1][1] = 1;
  identity[0][1] = identity[1][0] = 0;
  pca.SetPCAModel(identity, Vec({4, 1}), 100.0f);
  pca.m_mean = Vec({0, 0});
}

// Observations x = Q diag(3, 2, 1) z + (1, 2, 3), Q a fixed rotation: covariance Q diag(9,4,1) Q^T.
void AddGaussian(ZR_PCA& pca, int n) {
  std::mt19937 rng(7);
  std::normal_distribution<float> z(0.0f, 1.0f);
  const float c = std::cos(0.5f), s = std::sin(0.5f);
  for (int i = 0; i < n; ++i) {
    const float a = 3 * z(rng), b = 2 * z(rng), d = z(rng);
    ASSERT_TRUE(pca.AddObservation(Vec({c * a - s * b + 1, s * a + c * b + 2, d + 3})));
  }
}

TEST(ZrPCA, ConstructedModelReportsItsDefaults) {
  ZR_PCA pca;
  EXPECT_EQ(-1, pca.GetNparams());
  EXPECT_EQ(-1, pca.GetObsSize());
  EXPECT_EQ(0u, pca.GetNumOfObs());
  EXPECT_EQ(1.7014117e38f, pca.GetLimit());
  EXPECT_EQ(0, pca.IsBuilt());
  EXPECT_EQ(1, pca.GetModelType());
  std::ostringstream out;
  pca.Print(out);
  EXPECT_EQ(
      "ZR_PCA: ObsSize= -1 Nparams= -1 explained percentage= 0.95 NumOfObs= 0 forced "
      "modes=-1\nCumulative explained variance:  ZR_Array( 0 -1 )\n",
      out.str());
  ZR_String text;
  pca.Describe(text);
  EXPECT_STREQ(
      "ZR_PCA: ObsSize= -1, Nparams= -1\nExplained percentage= 0.950, NumOfObs= 0, forced "
      "modes=-1\n",
      text.m_text);
}

TEST(ZrPCA, LimitingFollowsTheWorkedExamples) {
  ZR_PCA pca;
  TwoModeModel(pca);
  const struct {
    int32_t mode;
    float limit;
    ZR_Vector x;
    float b0, b1;
  } cases[] = {
      {0, 2.0f, Vec({4, 2}), 2, 1},    // D = 16/4 + 4/1 = 8 scaled by sqrt(2/8)
      {0, 8.0f, Vec({4, 2}), 4, 2},    // D = limit: unchanged
      {0, 50.0f, Vec({4, 2}), 4, 2},   // within the limit
      {1, 0.0f, Vec({-7, 2}), -6, 2},  // per-mode limits 3 sqrt(4) = 6, 3 sqrt(1) = 3
      {-1, 0.0f, Vec({-7, 2}), -7, 2}, {2, 0.0f, Vec({-7, 2}), -7, 2},
  };
  for (const auto& c : cases) {
    ZR_Vector b;
    const float d = pca.ObsToLimitedParams(b, c.x, c.mode, c.limit);
    EXPECT_FLOAT_EQ(c.x[0] * c.x[0] / 4 + c.x[1] * c.x[1], d) << c.mode << " " << c.limit;
    EXPECT_FLOAT_EQ(c.b0, b[0]) << c.mode << " " << c.limit;
    EXPECT_FLOAT_EQ(c.b1, b[1]) << c.mode << " " << c.limit;
  }
  // The per-call form never touches the stored limit; the stored form uses it.
  EXPECT_EQ(1.7014117e38f, pca.GetLimit());
  pca.SetLimit(2.0f);
  ZR_Vector b;
  pca.ObsToLimitedParams(b, Vec({4, 2}), 0);
  EXPECT_FLOAT_EQ(2.0f, b[0]);
  // A zero eigenvalue makes every distance FLT_MAX.
  pca.m_eigen_values[1] = 0.0f;
  EXPECT_EQ(FLT_MAX, pca.ParamsDistance(Vec({0, 0})));
  EXPECT_EQ(FLT_MAX, pca.ObsDistance(Vec({1, 1})));
}

TEST(ZrPCA, ModeCountFollowsFractionAndForcedModes) {
  const struct {
    float percentage;
    int32_t forced;
    int32_t modes;
  } cases[] = {{90, -1, 2}, {100, -1, 3}, {59, -1, 1}, {60, -1, 1}, {90, 1, 1}, {100, 2, 2}};
  for (const auto& c : cases) {
    ZR_PCA pca;
    pca.m_obs_size = 3;
    pca.m_forced_modes = c.forced;
    ZR_Matrix v(3, 3);
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) v[i][j] = i == j ? 1.0f : 0.0f;
    pca.SetPCAModel(v, Vec({6, 3, 1}), c.percentage);
    EXPECT_EQ(c.modes, pca.GetNparams()) << c.percentage << " " << c.forced;
    EXPECT_EQ(uint32_t(c.modes), pca.m_mode_limits.m_count);
    EXPECT_EQ(1, pca.IsBuilt());
  }
}

TEST(ZrPCA, BothPathsRecoverAKnownCovariance) {
  const int m = 2000;
  ZR_PCA cov;  // 3 < 2000 observations: the covariance path
  AddGaussian(cov, m);
  cov.BuildForVariance(100.0f);
  ASSERT_EQ(3, cov.GetNparams());
  const float expected[] = {9, 4, 1};
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(expected[k], cov.m_eigen_values[k], 0.1 * expected[k]);
  const ZR_Matrix& e = *cov.GetEigenVectors();
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b)
      EXPECT_NEAR(a == b ? 1.0f : 0.0f, e.GetColumn(a).Dot(e.GetColumn(b)), 1e-4) << a << b;
  EXPECT_NEAR(2.0f, cov.GetMean()[1], 0.2);

  // The EY path divides by m, the covariance path by m - 1: on the same three observations
  // their eigenvalues differ by (m - 1) / m.
  ZR_PCA ey_small;  // 3 observations of 3 values: EY path by the rule
  AddGaussian(ey_small, 3);
  ey_small.BuildForVariance(100.0f);
  ZR_PCA cov_small;
  AddGaussian(cov_small, 3);
  cov_small.BuildFromCovariance(100.0f);
  ASSERT_EQ(3, cov_small.GetNparams());
  ASSERT_LE(2, ey_small.GetNparams());
  for (int k = 0; k < 2; ++k)
    EXPECT_NEAR(ey_small.m_eigen_values[k], cov_small.m_eigen_values[k] * 2.0f / 3.0f,
                1e-3 * cov_small.m_eigen_values[0])
        << k;
  // Reconstruction of a training observation from all modes gives it back.
  ZR_Vector b, x;
  const ZR_Vector& first = (*cov.GetObservations())[0];
  cov.ObsToParams(b, first);
  cov.ParamsToObs(b, x);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(first[i], x[i], 1e-3);
}

TEST(ZrPCA, BuildsWithTooFewObservationsFailWithoutStopping) {
  ZR_PCA none;
  EXPECT_EQ(0.0f, none.BuildForVariance(95.0f));
  EXPECT_EQ(0, none.IsBuilt());
  EXPECT_NE(nullptr, std::strstr(none.GetMessage().m_text, "fewer than 2"));
  ZR_PCA one;
  one.AddObservation(Vec({1, 2}));
  one.m_obs_size = -1;  // keep the covariance path for a single observation
  EXPECT_EQ(0.0f, one.BuildWithMaxModes(3));
  EXPECT_EQ(0, one.IsBuilt());
  ZR_Cov cov;
  EXPECT_FALSE(cov.Build());
  EXPECT_FALSE(cov.AddObservation(ZR_Vector()));
  EXPECT_TRUE(cov.AddObservation(Vec({1, 2})));
  EXPECT_FALSE(cov.AddObservation(Vec({1, 2, 3})));
  EXPECT_EQ(1u, cov.m_count);
}

TEST(ZrPCA, RecordRoundTripsAndSetsTheModeLimits) {
  ZR_PCA pca;
  AddGaussian(pca, 50);
  pca.BuildWithMaxModesForVariance(2, 99.0f);
  ASSERT_EQ(2, pca.GetNparams());
  bool ok = false;
  const Bytes bytes = ZR_WrittenBytes([&](FILE* f) { return pca.Write(f); }, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(122u + 4u * (3 * 2 + 2 + 3), bytes.size());
  ZR_PCA read;
  ZR_MemoryFile f(bytes);
  ASSERT_EQ(f.get(), read.Read(f.get()));
  EXPECT_STREQ("", read.GetMessage().m_text);
  EXPECT_EQ(bytes, ZR_WrittenBytes([&](FILE* w) { return read.Write(w); }));
  for (int k = 0; k < 2; ++k)
    EXPECT_FLOAT_EQ(3.0f * std::sqrt(read.m_eigen_values[k]), read.m_mode_limits[k]);
  EXPECT_EQ(50u, read.GetNumOfObs());
  EXPECT_EQ(nullptr, read.GetObservations());
}

TEST(ZrPCA, ReadRefusesTypesCutsAndShapesThatDisagree) {
  ZR_PCA pca;
  AddGaussian(pca, 20);
  pca.BuildWithMaxModesForVariance(2, 99.0f);
  const Bytes good = ZR_WrittenBytes([&](FILE* f) { return pca.Write(f); });
  const auto with = [&](size_t offset, int32_t value) {
    Bytes b = good;
    std::memcpy(&b[offset], &value, 4);
    return b;
  };
  const struct {
    const char* what;
    Bytes record;
    const char* message;
  } cases[] = {
      {"type 2", with(4, 2), "Error: ZR_PCA::Read() model_type=2"},
      {"cut after the fraction", Bytes(good.begin(), good.begin() + 28), "Error: ZR_PCA::Read() "},
      {"cut inside E", Bytes(good.begin(), good.begin() + 80), "Error: ZR_PCA::Read() "},
      {"Nparams 3 for 2 modes", with(8, 3), "Error: ZR_PCA::Read() "},
      {"ObsSize 2 for 3 rows", with(16, 2), "Error: ZR_PCA::Read() "},
      {"E rows from 1", with(34, 1), "Error: ZR_PCA::Read() "},
  };
  for (const auto& c : cases) {
    ZR_PCA read;
    ZR_MemoryFile f(c.record);
    EXPECT_EQ(nullptr, read.Read(f.get())) << c.what;
    EXPECT_STREQ(c.message, read.GetMessage().m_text) << c.what;
  }
  for (size_t n = 0; n < good.size(); ++n) {
    ZR_PCA read;
    ZR_MemoryFile f(Bytes(good.begin(), good.begin() + n));
    EXPECT_EQ(nullptr, read.Read(f.get())) << "cut at " << n;
  }
}

TEST(ZrPCA, ObservationListsHaveOneOwner) {
  ZR_PCA pca;
  ASSERT_TRUE(pca.AddObservation(Vec({1, 2, 3, 4})));
  EXPECT_FALSE(pca.AddObservation(Vec({1, 2, 3})));
  EXPECT_STREQ("ZR_PCA:AddObservation(), observation size incompatable!", pca.GetMessage().m_text);
  EXPECT_EQ(1u, pca.GetNumOfObs());
  ZR_List<ZR_Vector> mine;
  EXPECT_FALSE(pca.SetObservations(&mine));
  EXPECT_STREQ("ZR_PCA::SetObservations(), member pointer already set", pca.GetMessage().m_text);
  pca.Clear();  // frees the model's own list
  EXPECT_EQ(nullptr, pca.GetObservations());
  EXPECT_FALSE(pca.SetObservations(nullptr));
  EXPECT_STREQ("ZR_PCA::SetObservations(), pointer==NULL", pca.GetMessage().m_text);
  EXPECT_FALSE(pca.SetObservations(&mine));
  EXPECT_STREQ("ZR_PCA::SetObservations(), observation list is empty", pca.GetMessage().m_text);
  mine.Add(Vec({1, 2}));
  mine.Add(Vec({2, 1}));
  mine.Add(Vec({3, 5}));
  {
    ZR_PCA borrower;
    ASSERT_TRUE(borrower.SetObservations(&mine));
    EXPECT_EQ(3u, borrower.GetNumOfObs());
    EXPECT_GT(borrower.BuildForVariance(100.0f), 0.0f);
    borrower.DeleteObservations();  // detaches; the list stays the caller's
  }
  {
    ZR_PCA borrower;
    ASSERT_TRUE(borrower.SetObservations(&mine));
  }  // the destructor does not free it either (ASan would report a double free)
  EXPECT_EQ(3u, mine.m_count);
  EXPECT_EQ(5.0f, mine[2][1]);
}

TEST(ZrPCAThreads, PerCallLimitsOnASharedModelMatchOneThread) {
  ZR_PCA pca;
  AddGaussian(pca, 200);
  pca.BuildForVariance(100.0f);
  const float limits[] = {0.5f, 1.0f, 2.0f, 4.0f, 8.0f, 16.0f};
  std::vector<ZR_Vector> inputs;
  for (int i = 0; i < 60; ++i) inputs.push_back(Vec({float(i) - 20, 2.0f * float(i % 7), 3}));
  std::vector<std::vector<float>> expected(6);
  for (int t = 0; t < 6; ++t)
    for (const ZR_Vector& x : inputs) {
      ZR_Vector b;
      expected[size_t(t)].push_back(pca.ObsToLimitedParams(b, x, 0, limits[t]));
      for (uint32_t k = 0; k < b.m_count; ++k) expected[size_t(t)].push_back(b[int32_t(k)]);
    }
  std::vector<std::vector<float>> got(6);
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t)
    threads.emplace_back([&, t] {
      for (int r = 0; r < 20; ++r) {
        std::vector<float> out;
        for (const ZR_Vector& x : inputs) {
          ZR_Vector b;
          out.push_back(pca.ObsToLimitedParams(b, x, 0, limits[t]));
          for (uint32_t k = 0; k < b.m_count; ++k) out.push_back(b[int32_t(k)]);
        }
        got[size_t(t)] = out;
      }
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(expected, got);
  EXPECT_EQ(1.7014117e38f, pca.GetLimit());
}

}  // namespace
