// tests/face/regression/zr_tree_test.cpp: regression trees and ferns: prediction, the full and
// compact records (golden layout, round trips, quantisation, cut and hostile records), copies.
#include "face/regression/zr_tree.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "face/regression/zr_fern.h"
#include "tests/face/regression/regressor_fixtures.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"
#include "tools/quillbeck_models/records/zr_record_bytes.h"

namespace {

using namespace zr_regressor_fixtures;

using Bytes = std::vector<uint8_t>;

// The tree header both forms share, with the given parameters, flag and empty vectors.
ZR_RecordBytes& TreeHeader(ZR_RecordBytes& r) {
  r.I32(1).I32(0).I32(0).I32(0).I32(0).I32(0).I32(0).I32(0).U8(0);
  return r.ArrayHeader(0, 0, -1).ArrayHeader(0, 0, -1);
}

Bytes FullBytes(const ZR_Tree& t) {
  return ZR_WrittenBytes([&](FILE* f) { return t.Write(f); });
}
Bytes CompactBytes(const ZR_Tree& t) {
  return ZR_WrittenBytes([&](FILE* f) { return t.WriteCompact(f); });
}

ZR_Tree OneLeafTree(std::initializer_list<float> out, int32_t value = 0) {
  ZR_Tree t;
  t.m_root.m_leaf = 1;
  t.m_root.m_value = value;
  t.m_root.m_leaf_value = new ZR_Vector(Vec(out));
  return t;
}

TEST(ZrTree, PredictGoesLeftOnlyWhenTheThresholdIsGreater) {
  const ZR_Tree t = SmallTree();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float f0, f1;
    std::vector<float> out;
  } cases[] = {
      {0.25f, 0, {1, 2}}, {0.5f, 0, {5, 6}},  // equal goes right
      {nan, -2, {3, 4}},  {0.75f, -1, {5, 6}}, {0.75f, nan, {5, 6}}, {-1e30f, 5, {1, 2}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.out, Values(t.Predict(Vec({c.f0, c.f1})))) << c.f0 << ", " << c.f1;
  // A feature index outside the input counts as a failed test and goes right.
  EXPECT_EQ((std::vector<float>{5, 6}), Values(t.Predict(Vec({0.75f}))));
  EXPECT_EQ((std::vector<float>{5, 6}), Values(t.Predict(ZR_Vector())));
}

TEST(ZrTree, DenormaliseScalesThenOffsetsOverTheShorterLength) {
  ZR_Tree t = OneLeafTree({1, 2, 3});
  t.m_denormalise = 1;
  t.m_scale = Vec({10, 100});
  t.m_offset = Vec({0.5f, 0.5f, 0.5f, 9});
  EXPECT_EQ((std::vector<float>{10.5f, 200.5f, 3.5f}), Values(t.Predict(ZR_Vector())));
}

TEST(ZrTree, FullRecordHasTheGoldenLayoutAndRoundTrips) {
  ZR_Tree t = SmallTree();
  t.m_denormalise = 1;
  t.m_offset = Vec({0.25f});
  ZR_RecordBytes r;
  r.I32(1).I32(10).I32(11).I32(12).I32(13).I32(14).I32(15).I32(-7).U8(1);
  r.ArrayHeader(1, 0, 0).F32(0.25f).ArrayHeader(0, 0, -1);
  r.U8(0).I32(300).F32(0.5f).I32(0);
  r.U8(1).I32(1).ArrayHeader(2, 0, 1).F32(1).F32(2);
  r.U8(0).I32(2).F32(-1).I32(1);
  r.U8(1).I32(3).ArrayHeader(2, 0, 1).F32(3).F32(4);
  r.U8(1).I32(4).ArrayHeader(2, 0, 1).F32(5).F32(6);
  const Bytes golden = r;
  ASSERT_EQ(golden, FullBytes(t));

  ZR_MemoryFile f(golden);
  ZR_Tree read;
  ASSERT_EQ(f.get(), read.Read(f.get()));
  EXPECT_EQ(0, f.Left());
  EXPECT_EQ(golden, FullBytes(read));
  EXPECT_EQ(15, read.m_params[5]);
  EXPECT_EQ((std::vector<float>{3.25f, 4}), Values(read.Predict(Vec({2, -3}))));
}

TEST(ZrTree, CompactLeavesQuantiseToEightBits) {
  const struct {
    std::vector<float> leaf;
    float min, range;
    Bytes bytes;
  } cases[] = {
      {{2.5f, 2.5f, 2.5f}, 2.5f, 0.0f, {0, 0, 0}},
      {{0, 1, 2}, 0.0f, 2.0f, {0, 127, 255}},
      {{-1, 3}, -1.0f, 4.0f, {0, 255}},
  };
  for (const auto& c : cases) {
    ZR_Tree t;
    t.m_root.m_leaf = 1;
    t.m_root.m_leaf_value = new ZR_Vector;
    t.m_root.m_leaf_value->Resize(int32_t(c.leaf.size()));
    for (size_t i = 0; i < c.leaf.size(); ++i) (*t.m_root.m_leaf_value)[int32_t(i)] = c.leaf[i];
    ZR_RecordBytes r;
    TreeHeader(r).U8(1).U8(0).F32(c.min).F32(c.range).ArrayHeader(c.bytes.size(), 0,
                                                                  int64_t(c.bytes.size()) - 1);
    for (uint8_t b : c.bytes) r.U8(b);
    const Bytes golden = r;
    ASSERT_EQ(golden, CompactBytes(t)) << c.leaf[0];

    ZR_MemoryFile f(golden);
    ZR_Tree read;
    ASSERT_EQ(f.get(), read.ReadCompact(f.get()));
    const std::vector<float> back = Values(read.Predict(ZR_Vector()));
    ASSERT_EQ(c.leaf.size(), back.size());
    for (size_t i = 0; i < back.size(); ++i)
      EXPECT_NEAR(c.leaf[i], back[i], c.range / 255.0f + 1e-6f) << c.leaf[0] << " at " << i;
    EXPECT_EQ(golden, CompactBytes(read));
  }
}

TEST(ZrTree, CompactFormKeepsStructureAndLowEightBitsOfNodeValues) {
  const ZR_Tree t = SmallTree();
  ZR_MemoryFile f(CompactBytes(t));
  ZR_Tree compact;
  ASSERT_EQ(f.get(), compact.ReadCompact(f.get()));
  EXPECT_EQ(0, f.Left());
  EXPECT_EQ(44, compact.m_root.m_value) << "300 keeps its low 8 bits";
  EXPECT_EQ(0.5f, compact.m_root.m_threshold);
  EXPECT_EQ(1, compact.m_root.m_right->m_feature);
  EXPECT_EQ(-1.0f, compact.m_root.m_right->m_threshold);
  EXPECT_EQ(4, compact.m_root.m_right->m_right->m_value);
  EXPECT_EQ(-7, compact.m_extra);
  for (const auto& x : {Vec({0, 0}), Vec({1, -2}), Vec({1, 0})}) {
    const std::vector<float> a = Values(t.Predict(x)), b = Values(compact.Predict(x));
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], b[i], 1.0f / 255.0f);
  }
  // A value of -1 is written as its low byte and read back without sign.
  ZR_Tree negative = OneLeafTree({1}, -1);
  ZR_MemoryFile g(CompactBytes(negative));
  ASSERT_EQ(g.get(), negative.ReadCompact(g.get()));
  EXPECT_EQ(255, negative.m_root.m_value);
}

TEST(ZrTree, CompactRecordReadBackWritesTheSameBytes) {
  // Decoding and quantising anew would move the range of such leaves by rounding.
  ZR_Tree t = OneLeafTree({0.1f, 0.37f, 2.9f, -1.3f, 1e-3f, 0.123456f});
  const Bytes first = CompactBytes(t);
  ZR_MemoryFile f(first);
  ZR_Tree read;
  ASSERT_EQ(f.get(), read.ReadCompact(f.get()));
  const ZR_Tree copy(read);
  EXPECT_EQ(first, CompactBytes(read));
  EXPECT_EQ(first, CompactBytes(copy));
  // A leaf changed after reading is quantised from its new values.
  read.m_root.m_leaf_value->m_data[0] = 5.0f;
  ZR_Tree fresh = OneLeafTree({5.0f});
  *fresh.m_root.m_leaf_value = *read.m_root.m_leaf_value;
  EXPECT_EQ(CompactBytes(fresh), CompactBytes(read));
}

TEST(ZrTree, EveryCutRecordFailsCleanly) {
  const ZR_Tree t = SmallTree();
  for (const Bytes& record : {FullBytes(t), CompactBytes(t)}) {
    const bool full = record == FullBytes(t);
    for (size_t n = 0; n < record.size(); ++n) {
      ZR_MemoryFile f(Bytes(record.begin(), record.begin() + n));
      ZR_Tree read;
      EXPECT_EQ(nullptr, full ? read.Read(f.get()) : read.ReadCompact(f.get()))
          << (full ? "full" : "compact") << " cut at " << n;
      read.Predict(Vec({0, 0}));  // a partial tree still walks safely
    }
    for (size_t n = 0; n < record.size(); ++n)
      EXPECT_FALSE(
          ZR_WritesWithin(n, [&](FILE* f) { return full ? t.Write(f) : t.WriteCompact(f); }))
          << "write limited to " << n;
  }
}

TEST(ZrTree, RefusesDeepChainsAndRangesThatDoNotStartAtZero) {
  // A chain of splits down the left side, ending in leaves: depth levels of splits.
  const auto chain = [](int depth) {
    ZR_RecordBytes r;
    TreeHeader(r);
    for (int i = 0; i < depth; ++i) r.U8(0).I32(i).F32(0).I32(0);
    for (int i = 0; i <= depth; ++i) r.U8(1).I32(0).ArrayHeader(0, 0, -1);
    return Bytes(r);
  };
  {
    ZR_MemoryFile f(chain(ZR_Tree::kMaxDepth));
    ZR_Tree t;
    EXPECT_EQ(f.get(), t.Read(f.get())) << "splits at levels 0..63 read";
  }
  for (int depth : {ZR_Tree::kMaxDepth + 1, 200000}) {
    ZR_MemoryFile f(chain(depth));
    ZR_Tree t;
    EXPECT_EQ(nullptr, t.Read(f.get())) << depth;
  }
  {
    ZR_RecordBytes r;
    TreeHeader(r).U8(1).I32(0).ArrayHeader(1, 3, 3).F32(1);
    ZR_MemoryFile f(r);
    EXPECT_EQ(nullptr, ZR_Tree().Read(f.get())) << "leaf vector from 3";
  }
  {
    ZR_RecordBytes r;
    TreeHeader(r).U8(1).U8(0).F32(0).F32(1).ArrayHeader(2, 1, 2).U8(1).U8(2);
    ZR_MemoryFile f(r);
    EXPECT_EQ(nullptr, ZR_Tree().ReadCompact(f.get())) << "compact bytes from 1";
  }
  {
    ZR_RecordBytes r;
    r.I32(1).I32(0).I32(0).I32(0).I32(0).I32(0).I32(0).I32(0).U8(1);
    r.ArrayHeader(1, -1, -1).F32(2).ArrayHeader(0, 0, -1).U8(1).I32(0).ArrayHeader(0, 0, -1);
    ZR_MemoryFile f(r);
    EXPECT_EQ(nullptr, ZR_Tree().Read(f.get())) << "offset from -1";
  }
  {
    ZR_RecordBytes r;
    TreeHeader(r).U8(1).I32(0).ArrayHeader(0, 0, 0x7fffffff);
    ZR_MemoryFile f(r);
    EXPECT_EQ(nullptr, ZR_Tree().Read(f.get())) << "leaf larger than the stream";
  }
}

TEST(ZrTree, CopiesAreDeepAndIndependent) {
  ZR_Tree original = SmallTree();
  {
    ZR_Tree copy(original);
    copy.m_root.m_left->m_leaf_value->m_data[0] = 99;
    ZR_List<ZR_Tree> list;
    list.Add(copy);
    list.Add(original);
    EXPECT_EQ((std::vector<float>{99, 2}), Values(list[0].Predict(Vec({0, 0}))));
  }
  EXPECT_EQ((std::vector<float>{1, 2}), Values(original.Predict(Vec({0, 0}))));
  original = original;
  EXPECT_EQ(FullBytes(SmallTree()), FullBytes(original));
  original.Clear();
  EXPECT_EQ(0, original.m_params[0]);
  EXPECT_EQ(nullptr, original.m_root.m_left);
  EXPECT_TRUE(Values(original.Predict(Vec({0, 0}))).empty());
}

TEST(ZrFern, PredictSetsOneBitPerPassedTest) {
  const ZR_Fern fern = SmallFern();
  const struct {
    std::vector<float> f;
    float leaf;
  } cases[] = {
      {{0, 5, 0}, 5}, {{5, 5, 5}, 0}, {{0, 0, 0}, 7}, {{1, 1, 1}, 0}, {{0, 0}, 3}, {{}, 0},
  };
  for (const auto& c : cases) {
    ZR_Vector f;
    f.Resize(int32_t(c.f.size()));
    for (size_t i = 0; i < c.f.size(); ++i) f[int32_t(i)] = c.f[i];
    EXPECT_EQ((std::vector<float>{c.leaf, -c.leaf}), Values(fern.Predict(f))) << c.leaf;
  }
  ZR_Fern short_table = SmallFern();
  short_table.m_leaves.Resize(4);
  EXPECT_TRUE(Values(short_table.Predict(Vec({0, 0, 0}))).empty()) << "leaf 7 of 4";
}

TEST(ZrFern, RecordRoundTripsAndRefusesCutsAndShiftedTables) {
  const ZR_Fern fern = SmallFern();
  const Bytes bytes = ZR_WrittenBytes([&](FILE* f) { return fern.Write(f); });
  ZR_RecordBytes head;
  head.I32(3).I32(-4).ArrayHeader(3, 0, 2).F32(1).F32(1).F32(1).ArrayHeader(8, 0, 7);
  const Bytes head_bytes = head;
  ASSERT_EQ(head_bytes.size() + 8 * (24 + 8), bytes.size());
  EXPECT_EQ(head_bytes, Bytes(bytes.begin(), bytes.begin() + head_bytes.size()));
  ZR_MemoryFile f(bytes);
  ZR_Fern read;
  ASSERT_EQ(f.get(), read.Read(f.get()));
  EXPECT_EQ(bytes, ZR_WrittenBytes([&](FILE* s) { return read.Write(s); }));
  for (size_t n = 0; n < bytes.size(); ++n) {
    ZR_MemoryFile cut(Bytes(bytes.begin(), bytes.begin() + n));
    EXPECT_EQ(nullptr, ZR_Fern().Read(cut.get())) << "cut at " << n;
    EXPECT_FALSE(ZR_WritesWithin(n, [&](FILE* s) { return fern.Write(s); })) << n;
  }
  ZR_RecordBytes shifted;
  shifted.I32(0).I32(0).ArrayHeader(0, 0, -1).ArrayHeader(1, 2, 2).ArrayHeader(0, 0, -1);
  ZR_MemoryFile s(shifted);
  EXPECT_EQ(nullptr, ZR_Fern().Read(s.get())) << "leaf table from 2";
}

}  // namespace
