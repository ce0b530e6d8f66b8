// tests/face/regression/regression_model_section_test.cpp: the fixture's regression landmark model
// section. It reads through ZR_RegressionLandmarkModel to its end, and its PDBT, made from dlib's
// level-0 trees, predicts dlib's own level-0 shape on dlib's own feature pixel values, within the
// 8-bit quantisation of the leaves.
#include "tools/quillbeck_models/regression_model_section.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <dlib/array2d.h>
#include <dlib/image_processing/shape_predictor.h>

#include "face/regression/zr_regression_landmark_model.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"

namespace {

constexpr int kTrees = 20;

struct zr_dlib_model {
  dlib::matrix<float, 0, 1> shape;
  std::vector<std::vector<dlib::impl::regression_tree>> forests;
  std::vector<std::vector<unsigned long>> anchors;
  std::vector<std::vector<dlib::vector<float, 2>>> deltas;
};

class RegressionModelSectionFixture : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (std::string(ZR_DLIB_PREDICTOR_DAT).empty()) return;
    std::ifstream in(ZR_DLIB_PREDICTOR_DAT, std::ios::binary);
    int version = 0;
    s_dlib = new zr_dlib_model;
    dlib::deserialize(version, in);
    dlib::deserialize(s_dlib->shape, in);
    dlib::deserialize(s_dlib->forests, in);
    dlib::deserialize(s_dlib->anchors, in);
    dlib::deserialize(s_dlib->deltas, in);
    std::string error;
    s_section =
        new std::vector<uint8_t>(RegressionModelSection(ZR_DLIB_PREDICTOR_DAT, kTrees, error));
    if (s_section->empty()) ADD_FAILURE() << error;
  }
  static void TearDownTestSuite() {
    delete s_dlib;
    delete s_section;
    s_dlib = nullptr;
    s_section = nullptr;
  }
  void SetUp() override {
    if (s_dlib == nullptr) GTEST_SKIP() << "libdlib-data's shape predictor is not installed";
  }

  // dlib's shape after the first kTrees trees of level 0, and the bound the 8-bit leaves allow:
  // the sum over the trees of the range of the leaf each reaches / 255.
  static std::vector<float> DlibLevelZero(const std::vector<float>& pixels, float& bound) {
    dlib::matrix<float, 0, 1> shape = s_dlib->shape;
    bound = 0;
    for (int k = 0; k < kTrees; ++k) {
      unsigned long leaf;
      const auto& out = s_dlib->forests[0][size_t(k)](pixels, leaf);
      shape += out;
      bound += (dlib::max(out) - dlib::min(out)) / 255.0f;
    }
    return std::vector<float>(shape.begin(), shape.end());
  }

  static zr_dlib_model* s_dlib;
  static std::vector<uint8_t>* s_section;
};

zr_dlib_model* RegressionModelSectionFixture::s_dlib = nullptr;
std::vector<uint8_t>* RegressionModelSectionFixture::s_section = nullptr;

TEST_F(RegressionModelSectionFixture, ReadsInFullAndHoldsTheConvertedTrees) {
  ASSERT_FALSE(s_section->empty());
  EXPECT_LT(s_section->size(), 100000u) << "about 60 KB for 20 trees";
  ZR_MemoryFile f(*s_section);
  ZR_RegressionLandmarkModel m;
  ASSERT_EQ(f.get(), m.Read(f.get()));
  EXPECT_EQ(0, f.Left());
  EXPECT_EQ(48, m.m_param1);
  EXPECT_EQ(1, m.m_flag2);
  EXPECT_EQ(136u, m.m_vector.m_count);
  EXPECT_EQ(1, m.m_anno_b.GetLayoutCode()) << "the 50-point reduced layout";
  EXPECT_EQ(7u, m.m_anno_a.m_count);
  ASSERT_NE(nullptr, m.m_regressor);
  ASSERT_EQ(2, m.m_regressor->m_type);
  const auto& pdbt = static_cast<const ZR_PDBT&>(*m.m_regressor);
  EXPECT_EQ(uint32_t(kTrees), pdbt.m_trees.m_count);
  EXPECT_EQ(int32_t(pdbt.m_pairs.m_count), pdbt.m_n_features);
  EXPECT_GT(pdbt.m_pairs.m_count, 100u);
  EXPECT_EQ(136u, pdbt.m_initial_output.m_count);
  // Written again by the system's writer, the regressor gives the same bytes.
  const std::vector<uint8_t> tail(
      s_section->end() - long(ZR_WrittenBytes([&](FILE* s) { return pdbt.Write(s); }).size()),
      s_section->end());
  EXPECT_EQ(tail, ZR_WrittenBytes([&](FILE* s) { return pdbt.Write(s); }));
}

TEST_F(RegressionModelSectionFixture, PredictMatchesDlibLevelZeroOnItsFeaturePixels) {
  ZR_MemoryFile f(*s_section);
  ZR_RegressionLandmarkModel m;
  ASSERT_EQ(f.get(), m.Read(f.get()));

  // dlib's own feature pixels of level 0 on two textured images, then random pixel values.
  std::vector<std::vector<float>> inputs;
  std::mt19937 rng(15);
  for (int image = 0; image < 2; ++image) {
    dlib::array2d<unsigned char> img(240, 320);
    for (long r = 0; r < img.nr(); ++r)
      for (long c = 0; c < img.nc(); ++c)
        img[r][c] =
            image == 0 ? (unsigned char)((r * 7 + c * 3) % 256) : (unsigned char)(rng() % 256);
    std::vector<float> pixels;
    dlib::impl::extract_feature_pixel_values(img, dlib::rectangle(60, 40, 260, 220), s_dlib->shape,
                                             s_dlib->shape, s_dlib->anchors[0], s_dlib->deltas[0],
                                             pixels);
    inputs.push_back(pixels);
  }
  std::uniform_real_distribution<float> value(0.0f, 255.0f);
  for (int i = 0; i < 8; ++i) {
    std::vector<float> pixels(s_dlib->anchors[0].size());
    for (float& p : pixels) p = std::floor(value(rng));
    inputs.push_back(pixels);
  }

  float worst = 0, worst_bound = 0;
  for (size_t n = 0; n < inputs.size(); ++n) {
    float bound;
    const std::vector<float> expected = DlibLevelZero(inputs[n], bound);
    ZR_Vector x;
    x.Resize(int32_t(inputs[n].size()));
    std::copy(inputs[n].begin(), inputs[n].end(), x.m_data);
    const ZR_Vector got = m.m_regressor->Predict(x);
    ASSERT_EQ(expected.size(), got.m_count);
    for (size_t i = 0; i < expected.size(); ++i) {
      const float d = std::fabs(expected[i] - got.m_data[i]);
      EXPECT_LE(d, bound + 1e-5f) << "input " << n << " element " << i;
      worst = std::max(worst, d);
    }
    worst_bound = std::max(worst_bound, bound);
  }
  EXPECT_LT(worst_bound, 3e-3f);
  RecordProperty("worst_difference", std::to_string(worst));
  RecordProperty("worst_bound", std::to_string(worst_bound));
  std::printf("level-0 difference at most %g, quantisation bound at most %g\n", worst, worst_bound);
}

}  // namespace
