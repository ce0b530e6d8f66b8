// tests/face/regression/zr_regressors_test.cpp: the five regressors through ReadRegressor: records
// written by the own writers read back to identical bytes with the same description and
// predictions; the PDBT and LS versions; the factory's messages; cut, oversized, failed writes.
#include "face/regression/zr_read_regressor.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "face/regression/zr_gbt.h"
#include "face/regression/zr_ls.h"
#include "face/regression/zr_pdbf.h"
#include "face/regression/zr_pdbt.h"
#include "face/regression/zr_tree_regressor.h"
#include "tests/face/regression/regressor_fixtures.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"
#include "tools/quillbeck_models/records/zr_record_bytes.h"

namespace {

using namespace zr_regressor_fixtures;

using Bytes = std::vector<uint8_t>;

// Releases a regressor as its owners do: Clear, then delete through the base.
struct zr_release {
  void operator()(ZR_VectorRegressor* r) const {
    r->Clear();
    delete r;
  }
};
using Owned = std::unique_ptr<ZR_VectorRegressor, zr_release>;

Bytes Written(const ZR_VectorRegressor& r) {
  return ZR_WrittenBytes([&](FILE* f) { return r.Write(f); });
}

// The tag, then the record.
Bytes Tagged(int32_t tag, const Bytes& record) {
  return ZR_RecordBytes().I32(tag).Record(record);
}

Owned Read(const Bytes& bytes, ZR_String& error, long* left = nullptr) {
  ZR_MemoryFile f(bytes);
  Owned r(ReadRegressor(f.get(), error));
  if (left != nullptr) *left = f.Left();
  return r;
}

std::unique_ptr<ZR_GBT> Gbt(uint8_t normalise) {
  auto r = std::make_unique<ZR_GBT>();
  r->m_num_trees = 2;
  r->m_n_samples = 100;
  r->m_n_build_samples = 90;
  r->m_n_features = 2;
  r->m_n_outputs = 2;
  r->m_max_depth = 2;
  r->m_shrinkage = 0.5f;
  r->m_proportion = 0.75f;
  r->m_split_type = 1;
  r->m_trees.Add(SmallTree());
  r->m_trees.Add(SmallTree());
  r->m_initial_output = Vec({10, 20});
  r->m_normalise = normalise;
  r->m_normalisation = Vec({1, 0});
  return r;
}

std::unique_ptr<ZR_PDBF> Pdbf(uint8_t single) {
  auto r = std::make_unique<ZR_PDBF>();
  r->m_n_features = 3;
  r->m_sample_size = 3;
  r->m_n_outputs = 2;
  r->m_n_ferns = 1;
  r->m_shrinkage = 1.0f;
  r->m_single_coords = single;
  r->m_ferns.Add(SmallFern());
  r->m_pairs = Pairs({{0, 1}, {2, 1}, {1, 0}});
  r->m_fern_pairs.Add(Pairs({{2, 1}, {1, 0}, {0, 1}}));
  r->m_initial_output = Vec({0, 0});
  return r;
}

std::unique_ptr<ZR_PDBT> Pdbt(uint8_t single) {
  auto r = std::make_unique<ZR_PDBT>();
  r->m_n_features = 2;
  r->m_sample_size = 3;
  r->m_n_outputs = 2;
  r->m_n_trees = 1;
  r->m_shrinkage = 2.0f;
  r->m_single_coords = single;
  r->m_max_depth = 2;
  r->m_min_samples_split = 3;
  r->m_split_type = 1;
  r->m_trees.Add(SmallTree());
  r->m_pairs = Pairs({{0, 1}, {1, 2}});
  r->m_tree_pairs.Add(Pairs({{2, 0}, {0, 0}}));
  r->m_initial_output = Vec({0, 0});
  return r;
}

std::unique_ptr<ZR_TreeRegressor> TreeRegressor() {
  auto r = std::make_unique<ZR_TreeRegressor>();
  r->m_n_outputs = 2;
  r->m_max_depth = 2;
  r->m_tree = SmallTree();
  return r;
}

std::unique_ptr<ZR_LS> Ls(int32_t type, uint8_t normalise) {
  auto r = std::make_unique<ZR_LS>();
  r->m_type = type;
  r->m_normalise = normalise;
  r->m_n_features = 2;
  r->m_sample_size = 4;
  r->m_n_outputs = 2;
  r->m_pairs = Pairs({{0, 1}, {1, 0}});
  r->m_R.Resize(2, 2);
  r->m_R[0][0] = 1;
  r->m_R[0][1] = 2;
  r->m_R[1][0] = 3;
  r->m_R[1][1] = 4;
  r->m_offset = Vec({0.5f, -0.5f});
  return r;
}

const float kInvSqrt2 = float(1 / std::sqrt(2.0));

TEST(ZrRegressor, EveryTypeRoundTripsThroughReadRegressor) {
  const struct {
    const char* what;
    std::shared_ptr<ZR_VectorRegressor> r;
    int32_t tag;
    const char* name;
    std::vector<float> x;
    std::vector<float> y;
  } cases[] = {
      {"GBT", Gbt(0), 0, "GBT", {0.25f, 0}, {11, 22}},
      {"GBT raw", Gbt(0), 0, "GBT", {2, 4}, {15, 26}},
      {"GBT normalised", Gbt(1), 0, "GBT", {2, 4}, {11, 22}},
      {"PDBF", Pdbf(1), 1, "PDBF", {0, 1, 0.5f}, {3, -3}},
      {"PDBF per fern", Pdbf(0), 1, "PDBF", {0, 1, 0.5f}, {5, -5}},
      {"PDBT", Pdbt(1), 2, "PDBT", {1, 0.25f, 5}, {6, 8}},
      {"PDBT per tree", Pdbt(0), 2, "PDBT", {1, 0.25f, 5}, {10, 12}},
      {"Tree", TreeRegressor(), 3, "Tree", {0.6f, -2}, {3, 4}},
      {"LS differences", Ls(0, 0), 4, "LS", {3, 1}, {-1.5f, -2.5f}},
      {"LS samples", Ls(1, 1), 4, "LS", {1, 3}, {kInvSqrt2 + 0.5f, kInvSqrt2 - 0.5f}},
      {"LS samples raw", Ls(1, 0), 4, "LS", {1, 1}, {3.5f, 6.5f}},
      {"LS SURF", Ls(2, 0), 4, "LS", {1, 1}, {3.5f, 6.5f}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.tag, c.r->m_type) << c.what;
    EXPECT_TRUE(c.r->TypeName() == c.name) << c.what;
    const Bytes record = Written(*c.r);
    ZR_String error("untouched");
    long left = -1;
    Owned read = Read(Tagged(c.tag, record), error, &left);
    ASSERT_NE(nullptr, read) << c.what << ": " << error.m_text;
    EXPECT_EQ(0, left) << c.what;
    EXPECT_TRUE(error == "untouched") << c.what;
    EXPECT_EQ(c.tag, read->m_type) << c.what;
    EXPECT_STREQ(c.r->Describe().m_text, read->Describe().m_text) << c.what;
    EXPECT_EQ(record, Written(*read)) << c.what;
    ZR_Vector x, x_copy;
    x.Resize(int32_t(c.x.size()));
    for (size_t i = 0; i < c.x.size(); ++i) x[int32_t(i)] = c.x[i];
    x_copy = x;
    const std::vector<float> expected = Values(c.r->Predict(x_copy));
    const std::vector<float> got = Values(read->Predict(x));
    ASSERT_EQ(c.y.size(), got.size()) << c.what;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_NEAR(c.y[i], got[i], 1e-6f) << c.what << " output " << i;
      EXPECT_EQ(expected[i], got[i]) << c.what << " output " << i;
    }
  }
}

TEST(ZrRegressor, DescribeListsTheParametersInTheirOrder) {
  EXPECT_STREQ(
      "ZR_GBT\nm_max_depth = 0\nm_min_samples_split = 2\nm_shrinkage = 0.050\n"
      "m_proportion = 1.000\nm_split_type = 0\nm_n_features = 0\nm_n_samples = 0\n"
      "m_n_build_samples = 0\nm_num_trees = 0\nm_n_outputs = 0\n",
      ZR_GBT().Describe().m_text);
  EXPECT_STREQ(
      "ZR_PDBF\nm_n_features = 3\nm_sample_size = 3\nm_n_ferns = 1\nm_shrinkage = 1.000\n"
      "m_single_coords = 1\nm_n_outputs = 2\n",
      Pdbf(1)->Describe().m_text);
  EXPECT_STREQ(
      "ZR_PDBT\nm_max_depth = 2\nm_min_samples_split = 3\nm_shrinkage = 2.000\n"
      "m_split_type = 1\nm_n_features = 2\nm_sample_size = 3\nm_n_trees = 1\n"
      "m_single_coords = 0\nm_n_outputs = 2\n",
      Pdbt(0)->Describe().m_text);
  EXPECT_STREQ(
      "ZR_TreeRegressor\nm_max_depth = 0\nm_min_samples_split = 2\nm_proportion = 1.100\n"
      "m_split_type = 0\nm_n_outputs = 0\n",
      ZR_TreeRegressor().Describe().m_text);
  EXPECT_STREQ(
      "ZR_LS\nm_type = 1 0 pxdif, 1 samp, 2 SURF\nm_n_features = 2\nm_sample_size = 4\n"
      "m_n_outputs = 2\nR(rows,cols) = (2,2)\n",
      Ls(1, 0)->Describe().m_text);
}

TEST(ZrRegressor, ClearResetsTheListedParameters) {
  auto gbt = Gbt(0);
  gbt->Clear();
  EXPECT_EQ(0u, gbt->m_trees.m_count);
  EXPECT_EQ(0, gbt->m_num_trees);
  EXPECT_EQ(1, gbt->m_min_samples_split);
  EXPECT_EQ(0.1f, gbt->m_shrinkage);
  EXPECT_EQ(0.75f, gbt->m_proportion) << "kept";
  auto pdbt = Pdbt(0);
  pdbt->Clear();
  EXPECT_EQ(1, pdbt->m_single_coords);
  EXPECT_EQ(0, pdbt->m_sample_size);
  EXPECT_EQ(0u, pdbt->m_tree_pairs.m_count + pdbt->m_pairs.m_count + pdbt->m_trees.m_count);
  auto ls = Ls(0, 0);
  ls->Clear();
  EXPECT_EQ(1, ls->m_R.m_rows);
  EXPECT_EQ(1, ls->m_R.m_cols);
  EXPECT_EQ(0u, ls->m_pairs.m_count);
  auto tree = TreeRegressor();
  tree->Clear();
  EXPECT_EQ(nullptr, tree->m_tree.m_root.m_left);
  EXPECT_EQ(1, tree->m_min_samples_split);
}

TEST(ZrPdbt, VersionOneRecordIsRewrittenAsVersionTwo) {
  const ZR_Tree tree = SmallTree();
  ZR_RecordBytes v1;
  v1.I32(1).I32(2).I32(3).I32(2).I32(1).F32(2.0f).U8(1).I32(2).I32(3).I32(1);
  v1.ArrayHeader(2, 0, 1).F32(0).F32(0);
  v1.I32(1).Record(ZR_WrittenBytes([&](FILE* f) { return tree.Write(f); }));
  v1.I32(2).I32(0).I32(1).I32(-3).I32(2);
  v1.I32(1).I32(1).I32(5).I32(6);
  ZR_String error;
  Owned read = Read(Tagged(2, v1), error);
  ASSERT_NE(nullptr, read) << error.m_text;
  const auto& pdbt = static_cast<const ZR_PDBT&>(*read);
  EXPECT_EQ(-3, pdbt.m_pairs[1].x);
  EXPECT_EQ(300, pdbt.m_trees[0].m_root.m_value) << "full trees keep the whole value";

  ZR_RecordBytes v2;
  v2.I32(2).I32(2).I32(3).I32(2).I32(1).F32(2.0f).U8(1).I32(2).I32(3).I32(1);
  v2.ArrayHeader(2, 0, 1).F32(0).F32(0);
  v2.I32(1).Record(ZR_WrittenBytes([&](FILE* f) { return tree.WriteCompact(f); }));
  v2.I32(2).I16(0).I16(1).I16(-3).I16(2);
  v2.I32(1).I32(1).I16(5).I16(6);
  const Bytes rewritten = Written(*read);
  ASSERT_EQ(Bytes(v2), rewritten);

  Owned again = Read(Tagged(2, rewritten), error);
  ASSERT_NE(nullptr, again) << error.m_text;
  const auto& back = static_cast<const ZR_PDBT&>(*again);
  EXPECT_EQ(-3, back.m_pairs[1].x);
  EXPECT_EQ(2, back.m_pairs[1].y);
  EXPECT_EQ(6, back.m_tree_pairs[0][0].y);
  EXPECT_EQ(44, back.m_trees[0].m_root.m_value);
  EXPECT_EQ(0.5f, back.m_trees[0].m_root.m_threshold);
  EXPECT_EQ(1, back.m_trees[0].m_root.m_right->m_feature);
  EXPECT_EQ(rewritten, Written(*again));
  // Pair (-3, 2) indexes outside x, so its feature is 0 and goes right.
  ZR_Vector x = Vec({1, 0.25f, 5});
  EXPECT_EQ((std::vector<float>{10, 12}), Values(again->Predict(x)));
}

TEST(ZrPdbt, WriterRefusesPairValuesThatInt16CannotHold) {
  for (const zr_coord& pair :
       {zr_coord{40000, 0}, zr_coord{0, -32769}, zr_coord{INT32_MIN, INT32_MAX}}) {
    auto r = Pdbt(1);
    r->m_pairs.Add(pair);
    EXPECT_FALSE(ZR_WritesWithin(1 << 20, [&](FILE* f) { return r->Write(f); }))
        << pair.x << ", " << pair.y;
    auto per_tree = Pdbt(0);
    per_tree->m_tree_pairs[0].Add(pair);
    EXPECT_FALSE(ZR_WritesWithin(1 << 20, [&](FILE* f) { return per_tree->Write(f); }));
  }
  auto edge = Pdbt(1);
  edge->m_pairs.Add(zr_coord{-32768, 32767});
  ZR_String error;
  Owned read = Read(Tagged(2, Written(*edge)), error);
  ASSERT_NE(nullptr, read);
  EXPECT_EQ(-32768, static_cast<ZR_PDBT&>(*read).m_pairs[2].x);
  EXPECT_EQ(32767, static_cast<ZR_PDBT&>(*read).m_pairs[2].y);
}

TEST(ZrLs, VersionOneRecordLeavesTypeAndFlagAsTheyWere) {
  ZR_RecordBytes v1;
  v1.I32(1).I32(2).I32(4).I32(2).I32(1).I32(0).I32(1);
  v1.I32(0).I32(0).I32(0).I32(1).ArrayHeader(2, 0, 1).F32(1).F32(2).ArrayHeader(1, 0, 0).F32(3);
  ZR_String error;
  Owned read = Read(Tagged(4, v1), error);
  ASSERT_NE(nullptr, read) << error.m_text;
  const auto& ls = static_cast<const ZR_LS&>(*read);
  EXPECT_EQ(0, ls.m_type);
  EXPECT_EQ(0, ls.m_normalise);
  EXPECT_EQ(2, ls.m_n_features);
  EXPECT_EQ(2, ls.m_R.m_cols);
  ZR_Vector x = Vec({5, 2});
  // One pair for two features: f = (5 - 2, 0); R f + offset = 1 * 3 + 2 * 0 + 3.
  EXPECT_EQ((std::vector<float>{6}), Values(read->Predict(x)));

  ZR_LS kept;
  kept.m_type = 2;
  kept.m_normalise = 1;
  ZR_MemoryFile f(v1);
  ASSERT_EQ(f.get(), kept.Read(f.get()));
  EXPECT_EQ(2, kept.m_type);
  EXPECT_EQ(1, kept.m_normalise);
}

TEST(ZrReadRegressor, ReportsEachFailureWithItsMessage) {
  const Bytes gbt = Written(*Gbt(0));
  const struct {
    const char* what;
    Bytes bytes;
    const char* message;
  } cases[] = {
      {"empty stream", {}, "ReadRegressor() Error! failed to read regressor type\n"},
      {"short tag", {2, 0}, "ReadRegressor() Error! failed to read regressor type\n"},
      {"tag 5", Tagged(5, gbt), "ReadRegressor() Error! unknown regressor type\n"},
      {"tag -1", Tagged(-1, gbt), "ReadRegressor() Error! unknown regressor type\n"},
      {"GBT cut inside its trees", Tagged(0, Bytes(gbt.begin(), gbt.end() - 10)),
       "ReadRegressor() Error! failed to read regressor of type 0\n"},
      {"PDBT record under the LS tag", Tagged(4, Written(*Pdbt(1))),
       "ReadRegressor() Error! failed to read regressor of type 4\n"},
  };
  for (const auto& c : cases) {
    ZR_String error("old text");
    EXPECT_EQ(nullptr, Read(c.bytes, error)) << c.what;
    EXPECT_STREQ(c.message, error.m_text) << c.what;
  }
}

TEST(ZrReadRegressor, EveryCutRecordAndEveryShortWriteFails) {
  const std::shared_ptr<ZR_VectorRegressor> all[] = {Gbt(1), Pdbf(0), Pdbt(0), TreeRegressor(),
                                                     Ls(1, 1)};
  for (const auto& r : all) {
    const Bytes tagged = Tagged(r->m_type, Written(*r));
    for (size_t n = 0; n < tagged.size(); ++n) {
      ZR_String error;
      EXPECT_EQ(nullptr, Read(Bytes(tagged.begin(), tagged.begin() + n), error))
          << r->TypeName().m_text << " cut at " << n;
      EXPECT_STREQ(n < 4
                       ? "ReadRegressor() Error! failed to read regressor type\n"
                       : (std::string("ReadRegressor() Error! failed to read regressor of type ") +
                          std::to_string(r->m_type) + "\n")
                             .c_str(),
                   error.m_text);
    }
    for (size_t n = 0; n + 4 < tagged.size(); ++n)
      EXPECT_FALSE(ZR_WritesWithin(n, [&](FILE* f) { return r->Write(f); }))
          << r->TypeName().m_text << " write limited to " << n;
  }
}

TEST(ZrReadRegressor, RefusesNegativeAndOversizedCounts) {
  // PDBT version 2 up to its sections: all counts come after the 61-byte head.
  const auto pdbt_head = [] {
    ZR_RecordBytes r;
    r.I32(2).I32(2).I32(3).I32(2).I32(1).F32(1).U8(1).I32(0).I32(0).I32(0);
    return r.ArrayHeader(0, 0, -1);
  };
  const struct {
    const char* what;
    int32_t tag;
    Bytes bytes;
  } cases[] = {
      {"PDBT negative tree count", 2, pdbt_head().I32(-1)},
      {"PDBT tree count past the bytes", 2, pdbt_head().I32(0x7fffffff).Record(Bytes(200, 0))},
      {"PDBT negative pair count", 2, pdbt_head().I32(0).I32(-2)},
      {"PDBT pair count past the bytes", 2, pdbt_head().I32(0).I32(1000).I16(1).I16(2)},
      {"PDBT negative list count", 2, pdbt_head().I32(0).I32(0).I32(INT32_MIN)},
      {"PDBT list count past the bytes", 2, pdbt_head().I32(0).I32(0).I32(100).I32(0)},
      {"PDBT inner count past the bytes", 2, pdbt_head().I32(0).I32(0).I32(1).I32(100000)},
      {"PDBT inner count negative", 2, pdbt_head().I32(0).I32(0).I32(1).I32(-5)},
      {"GBT tree count past the bytes", 0,
       ZR_RecordBytes()
           .I32(1)
           .I32(0)
           .I32(0)
           .I32(0)
           .I32(0)
           .I32(0)
           .I32(0)
           .I32(0)
           .F32(0)
           .F32(0)
           .I32(0)
           .U8(0)
           .ArrayHeader(0, 0, -1)
           .ArrayHeader(0, 0, -1)
           .I32(1 << 30)},
      {"LS matrix larger than the stream", 4,
       ZR_RecordBytes()
           .I32(2)
           .I32(0)
           .U8(0)
           .I32(0)
           .I32(0)
           .I32(0)
           .I32(0)
           .I32(0)
           .I32(9999)
           .I32(0)
           .I32(9999)
           .ArrayHeader(0, 0, 10000LL * 10000LL - 1)},
      {"GBT initial output from 1", 0,
       ZR_RecordBytes()
           .I32(1)
           .I32(0)
           .I32(0)
           .I32(0)
           .I32(0)
           .I32(0)
           .I32(0)
           .I32(0)
           .F32(0)
           .F32(0)
           .I32(0)
           .U8(0)
           .ArrayHeader(0, 0, -1)
           .ArrayHeader(1, 1, 1)
           .F32(1)
           .I32(0)},
  };
  for (const auto& c : cases) {
    ZR_String error;
    EXPECT_EQ(nullptr, Read(Tagged(c.tag, c.bytes), error)) << c.what;
  }
  // The same heads with empty sections read.
  ZR_String error;
  EXPECT_NE(nullptr, Read(Tagged(2, pdbt_head().I32(0).I32(0).I32(0)), error)) << error.m_text;
}

}  // namespace
