// tests/face/regression/zr_regression_landmark_model_test.cpp: the regression landmark model
// section: a complete section reads and stops exactly at what follows, failures return null
// silently and keep the fields read before them, and a second read replaces the regressor.
#include "face/regression/zr_regression_landmark_model.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "face/regression/zr_pdbt.h"
#include "tests/face/regression/regressor_fixtures.h"
#include "tools/quillbeck_models/records/annotation_record.h"
#include "tools/quillbeck_models/records/sampler_record.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"
#include "tools/quillbeck_models/records/zr_record_bytes.h"

namespace {

using namespace zr_regressor_fixtures;

using Bytes = std::vector<uint8_t>;

Bytes AnnoModel(const char* name, std::vector<float> xy) {
  ZR_RecordBytes r;
  return AnnoModelRecord(r, {{name, false, {0}, xy}});
}

// The section with parameters 5, 1, 4 = 15, 11, 14, the float 0.5, parameter 2 = 12, flag 2 = 0,
// parameters 3, 6, 7, 8 = 13, 16, 17, 18, vector (1, 2), models B ("NOSE") and A ("FACE"), an
// empty sampler, then the tag and a PDBT record; the predictor's bytes would follow.
struct zr_section {
  Bytes head, anno_b, anno_a, sampler, regressor;

  explicit zr_section(int32_t tag = 2) {
    ZR_RecordBytes h;
    h.I32(1).I32(15).I32(11).I32(14).F32(0.5f).I32(12).U8(0).I32(13).I32(16).I32(17).I32(18);
    h.ArrayHeader(2, 0, 1).F32(1).F32(2);
    head = h;
    anno_b = AnnoModel("NOSE", {0.5f, 0.5f});
    anno_a = AnnoModel("FACE", {0.1f, 0.2f, 0.3f, 0.4f});
    sampler = EmptySamplerRecord();
    ZR_PDBT pdbt;
    pdbt.m_n_features = 1;
    pdbt.m_shrinkage = 1;
    pdbt.m_pairs.Add(zr_coord{0, 1});
    pdbt.m_trees.Add(SmallTree());
    pdbt.m_initial_output = Vec({0, 0});
    regressor =
        ZR_RecordBytes().I32(tag).Record(ZR_WrittenBytes([&](FILE* f) { return pdbt.Write(f); }));
  }
  Bytes All() const {
    return ZR_RecordBytes().Record(head).Record(anno_b).Record(anno_a).Record(sampler).Record(
        regressor);
  }
};

TEST(ZrRegressionLandmarkModel, ConstructorSetsTheDefaults) {
  const ZR_RegressionLandmarkModel m;
  EXPECT_EQ(48, m.m_param1);
  EXPECT_EQ(128, m.m_param2);
  EXPECT_EQ(1, m.m_param4);
  EXPECT_EQ(1.0f, m.m_float_param);
  EXPECT_EQ(0, m.m_flag1);
  EXPECT_EQ(1, m.m_flag2);
  EXPECT_EQ(0, m.m_param6 + m.m_param7 + m.m_param8 + m.m_trailing);
  EXPECT_EQ(nullptr, m.m_regressor);
  EXPECT_EQ(4u, m.m_vectors_a.m_grow_step);
  EXPECT_EQ(122u, EmptySamplerRecord().size());
}

TEST(ZrRegressionLandmarkModel, ReadsACompleteSectionAndStopsAtTheNextRecord) {
  const Bytes bytes = ZR_RecordBytes().Record(zr_section().All()).Text("NEXT");
  ZR_MemoryFile f(bytes);
  ZR_RegressionLandmarkModel m;
  ASSERT_EQ(f.get(), m.Read(f.get()));
  EXPECT_EQ(4, f.Left()) << "the stream stands at the next record";
  EXPECT_EQ(15, m.m_param5);
  EXPECT_EQ(11, m.m_param1);
  EXPECT_EQ(14, m.m_param4);
  EXPECT_EQ(0.5f, m.m_float_param);
  EXPECT_EQ(12, m.m_param2);
  EXPECT_EQ(0, m.m_flag2);
  EXPECT_EQ(0, m.m_flag1) << "not stored";
  EXPECT_EQ(13, m.m_param3);
  EXPECT_EQ(18, m.m_param8);
  EXPECT_EQ((std::vector<float>{1, 2}), Values(m.m_vector));
  EXPECT_EQ(0, m.m_anno_b.FindAnnotation("NOSE")) << "B comes first in the record";
  EXPECT_EQ(0, m.m_anno_a.FindAnnotation("FACE"));
  EXPECT_EQ(5, m.m_sampler.m_format);
  ASSERT_NE(nullptr, m.m_regressor);
  EXPECT_EQ(2, m.m_regressor->m_type);
  ZR_Vector x = Vec({0, 1});
  EXPECT_EQ((std::vector<float>{1, 2}), Values(m.m_regressor->Predict(x)));

  // A second read replaces the regressor (the first is released, not leaked).
  ZR_MemoryFile again(bytes);
  ASSERT_EQ(again.get(), m.Read(again.get()));
  EXPECT_NE(nullptr, m.m_regressor);
  m.ReleaseRegressor();
  EXPECT_EQ(nullptr, m.m_regressor);
  m.ReleaseRegressor();
}

TEST(ZrRegressionLandmarkModel, FailuresReturnNullSilentlyAndKeepWhatWasRead) {
  {
    ZR_MemoryFile f(zr_section(9).All());
    ZR_RegressionLandmarkModel m;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(nullptr, m.Read(f.get())) << "tag 9";
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    EXPECT_EQ(nullptr, m.m_regressor);
  }
  {
    const zr_section s;
    const Bytes cut = ZR_RecordBytes().Record(s.head).Record(s.anno_b).Record(
        Bytes(s.anno_a.begin(), s.anno_a.begin() + 20));
    ZR_MemoryFile f(cut);
    ZR_RegressionLandmarkModel m;
    EXPECT_EQ(nullptr, m.Read(f.get())) << "cut inside A";
    EXPECT_EQ(11, m.m_param1);
    EXPECT_EQ(13, m.m_param3);
    EXPECT_EQ(18, m.m_param8);
    EXPECT_EQ(0.5f, m.m_float_param);
    EXPECT_EQ(0, m.m_flag2);
    EXPECT_EQ((std::vector<float>{1, 2}), Values(m.m_vector));
    EXPECT_EQ(0, m.m_anno_b.FindAnnotation("NOSE"));
  }
  const Bytes all = zr_section().All();
  for (size_t n = 0; n < all.size(); ++n) {
    ZR_MemoryFile f(Bytes(all.begin(), all.begin() + n));
    ZR_RegressionLandmarkModel m;
    EXPECT_EQ(nullptr, m.Read(f.get())) << "cut at " << n;
  }
  ZR_RecordBytes shifted;
  shifted.Record(Bytes(all.begin(), all.begin() + 41)).ArrayHeader(1, 4, 4).F32(1);
  ZR_MemoryFile f(shifted);
  EXPECT_EQ(nullptr, ZR_RegressionLandmarkModel().Read(f.get())) << "vector from 4";
}

}  // namespace
