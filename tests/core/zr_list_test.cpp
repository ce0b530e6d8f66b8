// tests/core/zr_list_test.cpp: ZR_List<T> growth, copies, grow steps, lookup and list records.
#include "core/zr_list.h"

#include <functional>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "tools/quillbeck_models/records/zr_memory_file.h"
#include "tools/quillbeck_models/records/zr_record_bytes.h"

namespace {

using Bytes = std::vector<uint8_t>;

ZR_List<int> Counting(uint32_t n, uint32_t grow_step = 4) {
  ZR_List<int> list(grow_step);
  for (uint32_t i = 0; i < n; ++i) list.Add(int(i));
  return list;
}

TEST(ZrList, GrowingByBlocksMovesNoElement) {
  ZR_List<int> list;
  for (int i = 0; i < 4; ++i) list.Add(i);
  const int* first[4];
  for (int i = 0; i < 4; ++i) first[i] = &list[i];
  list.Add(4);
  EXPECT_EQ(5u, list.m_count);
  EXPECT_EQ(2u, list.m_blocks);
  EXPECT_EQ(8u, list.m_capacity);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(first[i], &list[i]) << i;
}

TEST(ZrList, AddOfItsOwnElementSurvivesTheGrow) {
  ZR_List<ZR_String> list;
  list.Add("first");
  for (int i = 1; i < 4; ++i) list.Add("x");
  list.Add(list[0]);  // this Add makes the second block
  EXPECT_TRUE(list[4] == "first");
}

TEST(ZrList, AssignmentMakesOneBlockOfExactlyCount) {
  ZR_List<int> five = Counting(5);
  ZR_List<int> copy;
  copy.Add(9);
  copy = five;
  EXPECT_EQ(5u, copy.m_grow_step);
  EXPECT_EQ(5u, copy.m_capacity);
  EXPECT_EQ(1u, copy.m_blocks);
  EXPECT_EQ(4, copy[4]);

  ZR_List<int> empty(10);
  copy = empty;
  EXPECT_EQ(0u, copy.m_count);
  EXPECT_EQ(10u, copy.m_grow_step);
  EXPECT_EQ(0u, copy.m_blocks);

  ZR_List<int> constructed(five);
  EXPECT_EQ(4, constructed[4]);
  EXPECT_NE(&five[0], &constructed[0]);
}

TEST(ZrList, ClearAndRemoveLastOnEmptyListsChangeNothing) {
  ZR_List<int> never_grown(0);
  never_grown.Clear();
  EXPECT_EQ(0u, never_grown.m_grow_step);
  never_grown.RemoveLast();
  EXPECT_EQ(0u, never_grown.m_count);
  never_grown.Add(1);  // a grow step of 0 still makes room
  EXPECT_EQ(1, never_grown[0]);

  ZR_List<int> list = Counting(3);
  list.RemoveLast();
  EXPECT_EQ(2u, list.m_count);
  list.Clear();
  EXPECT_EQ(0u, list.m_count);
  EXPECT_EQ(0u, list.m_capacity);
  EXPECT_EQ(nullptr, list.m_items);
}

TEST(ZrList, SetGrowStepRebuildsAListWithElements) {
  ZR_List<int> empty;
  empty.SetGrowStep(0);
  EXPECT_EQ(4u, empty.m_grow_step);
  empty.SetGrowStep(7);
  EXPECT_EQ(7u, empty.m_grow_step);
  EXPECT_EQ(0u, empty.m_blocks);

  for (bool same_step : {false, true}) {
    ZR_List<int> list = Counting(5);
    const uint32_t step = same_step ? list.m_grow_step : 7;
    const int* before = &list[0];
    list.SetGrowStep(step);
    EXPECT_EQ(step, list.m_grow_step);
    EXPECT_NE(before, &list[0]) << "rebuilt even for the same step " << step;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(i, list[i]) << step;
  }
}

TEST(ZrList, FindStopsAtTheLineFeedOfEachElement) {
  ZR_List<ZR_String> list;
  list.Add("x");
  list.Add("abc\nxyz");
  list.Add("abc");
  EXPECT_EQ(1, list.Find("abc"));
  EXPECT_EQ(0, list.Find("x"));
  EXPECT_EQ(-1, list.Find("ab"));
  EXPECT_EQ(-1, ZR_List<ZR_String>().Find("abc"));
}

// Seeded random operations against a std::vector model.
TEST(ZrList, MatchesAVectorModelUnderRandomOperations) {
  std::mt19937 rng(12345);
  ZR_List<int> list(3);
  std::vector<int> model;
  for (int step = 0; step < 2000; ++step) {
    const unsigned op = rng() % 10;
    if (op < 6) {
      const int v = int(rng() % 1000);
      list.Add(v);
      model.push_back(v);
    } else if (op == 6) {
      list.RemoveLast();
      if (!model.empty()) model.pop_back();
    } else if (op == 7) {
      list.SetGrowStep(1 + rng() % 6);
    } else if (op == 8) {
      ZR_List<int> copy;
      copy = list;
      list = copy;
    } else if (rng() % 8 == 0) {
      list.Clear();
      model.clear();
    }
    ASSERT_EQ(model.size(), list.m_count) << step;
    ASSERT_LE(list.m_count, list.m_capacity);
    for (size_t i = 0; i < model.size(); ++i) ASSERT_EQ(model[i], list[uint32_t(i)]) << step;
  }
}

// clang-format off
const Bytes kPointListRecord = {2, 0, 0, 0,  0x00, 0x00, 0x80, 0x3f,  0x00, 0x00, 0x00, 0xc0,
                                0x00, 0x00, 0x00, 0x3f,  0x00, 0x00, 0x40, 0x40};
const Bytes kIntListRecord = {3, 0, 0, 0,  0xff, 0xff, 0xff, 0xff,  0, 0, 0, 0,  4, 3, 2, 1};
const Bytes kTriangleListRecord = {1, 0, 0, 0,  1, 0, 0, 0,  2, 0, 0, 0,  3, 0, 0, 0};
// clang-format on

TEST(ZrListRecord, ReadsGoldenRecordsIntoOneBlock) {
  {
    ZR_MemoryFile f(kPointListRecord);
    ZR_List<ZR_Vector2D> list;
    ASSERT_EQ(f.get(), list.Read(f.get()));
    ASSERT_EQ(2u, list.m_count);
    EXPECT_EQ(2u, list.m_capacity);
    EXPECT_EQ(2u, list.m_grow_step);
    EXPECT_EQ(1.0f, list[0].x);
    EXPECT_EQ(-2.0f, list[0].y);
    EXPECT_EQ(3.0f, list[1].y);
  }
  {
    ZR_MemoryFile f(kIntListRecord);
    ZR_List<int> list = Counting(9);
    ASSERT_EQ(f.get(), list.Read(f.get()));
    ASSERT_EQ(3u, list.m_count);
    EXPECT_EQ(3u, list.m_capacity);
    EXPECT_EQ(-1, list[0]);
    EXPECT_EQ(0x01020304, list[2]);
  }
  {
    ZR_MemoryFile f(kTriangleListRecord);
    ZR_List<ZR_TRIANGLE> list;
    ASSERT_EQ(f.get(), list.Read(f.get()));
    ASSERT_EQ(1u, list.m_count);
    EXPECT_EQ(1, list[0].v0);
    EXPECT_EQ(3, list[0].v2);
  }
  {
    ZR_MemoryFile f(Bytes{0, 0, 0, 0});
    ZR_List<ZR_Vector2D> list(6);
    ASSERT_EQ(f.get(), list.Read(f.get()));
    EXPECT_EQ(0u, list.m_count);
    EXPECT_EQ(6u, list.m_grow_step);
  }
}

TEST(ZrListRecord, ShortElementsEmptyPointListsButKeepIntsReadSoFar) {
  {
    ZR_MemoryFile f(ZR_RecordBytes().I32(3).F32(1).F32(2).F32(3).F32(4));
    ZR_List<ZR_Vector2D> list;
    EXPECT_EQ(nullptr, list.Read(f.get()));
    EXPECT_EQ(0u, list.m_count);
  }
  {
    // A stream of unknown size lets the count through, so the element reads run short.
    FILE* pipe =
        popen("printf '\\003\\000\\000\\000\\001\\000\\000\\000\\002\\000\\000\\000'", "r");
    ASSERT_NE(nullptr, pipe);
    ZR_List<int> list;
    EXPECT_EQ(nullptr, list.Read(pipe));
    pclose(pipe);
    ASSERT_EQ(2u, list.m_count);
    EXPECT_EQ(1, list[0]);
    EXPECT_EQ(2, list[1]);
  }
}

TEST(ZrListRecord, RefusesNegativeAndOversizedCounts) {
  const struct {
    const char* what;
    Bytes record;
  } cases[] = {
      {"negative", ZR_RecordBytes().I32(-1).F32(1).F32(2)},
      {"most negative", ZR_RecordBytes().I32(INT32_MIN)},
      {"past the bytes left", ZR_RecordBytes().I32(1000000).F32(1).F32(2)},
      {"largest", ZR_RecordBytes().I32(INT32_MAX).Record(Bytes(64, 0))},
  };
  for (const auto& c : cases) {
    {
      ZR_MemoryFile f(c.record);
      ZR_List<ZR_Vector2D> list;
      EXPECT_EQ(nullptr, list.Read(f.get())) << c.what;
      EXPECT_EQ(0u, list.m_capacity) << c.what;
    }
    {
      ZR_MemoryFile f(c.record);
      ZR_List<int> list;
      EXPECT_EQ(nullptr, list.Read(f.get())) << c.what;
      EXPECT_EQ(0u, list.m_capacity) << c.what;
    }
  }
}

TEST(ZrListRecord, EveryCutShortRecordIsRefused) {
  const struct {
    const char* name;
    const Bytes& record;
    std::function<FILE*(FILE*)> read;
  } cases[] = {
      {"Vector2D", kPointListRecord, [](FILE* f) { return ZR_List<ZR_Vector2D>().Read(f); }},
      {"int", kIntListRecord, [](FILE* f) { return ZR_List<int>().Read(f); }},
      {"TRIANGLE", kTriangleListRecord, [](FILE* f) { return ZR_List<ZR_TRIANGLE>().Read(f); }},
  };
  for (const auto& c : cases)
    for (size_t n = 0; n < c.record.size(); ++n) {
      ZR_MemoryFile f(Bytes(c.record.begin(), c.record.begin() + n));
      EXPECT_EQ(nullptr, c.read(f.get())) << c.name << " cut at " << n;
    }
}

// A list of the given pairs.
ZR_List<zr_coord> Pairs(std::initializer_list<zr_coord> pairs) {
  ZR_List<zr_coord> list;
  for (const zr_coord& c : pairs) list.Add(c);
  return list;
}

TEST(ZrListRecord, CoordListsAndNestedListsWriteAndReadBack) {
  const Bytes pair_record = ZR_RecordBytes().I32(2).I32(1).I32(-2).I32(3).I32(4);
  EXPECT_EQ(pair_record, ZR_WrittenBytes([](FILE* f) {
              return Pairs({{1, -2}, {3, 4}}).Write(f);
            }));

  ZR_List<ZR_List<zr_coord>> nested;
  nested.Add(Pairs({{7, 8}}));
  nested.Add(Pairs({}));
  nested.Add(Pairs({{-1, 0}, {5, 6}}));
  const Bytes nested_record =
      ZR_RecordBytes().I32(3).I32(1).I32(7).I32(8).I32(0).I32(2).I32(-1).I32(0).I32(5).I32(6);
  EXPECT_EQ(nested_record, ZR_WrittenBytes([&](FILE* f) { return nested.Write(f); }));

  ZR_MemoryFile f(nested_record);
  ZR_List<ZR_List<zr_coord>> read;
  ASSERT_EQ(f.get(), read.Read(f.get()));
  ASSERT_EQ(3u, read.m_count);
  EXPECT_EQ(3u, read.m_grow_step);
  ASSERT_EQ(2u, read[2].m_count);
  EXPECT_EQ(-1, read[2][0].x);
  EXPECT_EQ(6, read[2][1].y);
  EXPECT_EQ(0u, read[1].m_count);
  EXPECT_EQ(nested_record, ZR_WrittenBytes([&](FILE* f) { return read.Write(f); }));
  EXPECT_EQ(Bytes({0, 0, 0, 0}), ZR_WrittenBytes([](FILE* f) { return ZR_List<int>().Write(f); }));

  for (size_t n = 0; n < nested_record.size(); ++n) {
    ZR_MemoryFile cut(Bytes(nested_record.begin(), nested_record.begin() + n));
    ZR_List<ZR_List<zr_coord>> list;
    EXPECT_EQ(nullptr, list.Read(cut.get())) << "cut at " << n;
    EXPECT_EQ(0u, list.m_count) << "cut at " << n;
  }
  ZR_MemoryFile negative_inner(ZR_RecordBytes().I32(1).I32(-1).I32(0).I32(0));
  EXPECT_EQ(nullptr, read.Read(negative_inner.get()));
}

TEST(ZrListRecord, WritersFailWhenAnyElementWriteComesUpShort) {
  ZR_List<ZR_List<zr_coord>> nested;
  nested.Add(Pairs({{7, 8}, {9, 10}}));
  nested.Add(Pairs({{1, 2}}));
  const ZR_List<int> ints = Counting(3);
  const size_t nested_size = ZR_WrittenBytes([&](FILE* f) { return nested.Write(f); }).size();
  ASSERT_TRUE(ZR_WritesWithin(nested_size, [&](FILE* f) { return nested.Write(f); }));
  ASSERT_TRUE(ZR_WritesWithin(16, [&](FILE* f) { return ints.Write(f); }));
  for (size_t n = 0; n < nested_size; ++n)
    EXPECT_FALSE(ZR_WritesWithin(n, [&](FILE* f) { return nested.Write(f); })) << n;
  for (size_t n = 0; n < 16; ++n)
    EXPECT_FALSE(ZR_WritesWithin(n, [&](FILE* f) { return ints.Write(f); })) << n;
}

}  // namespace
