// tests/core/zr_system_probe_test.cpp: counting topology records from synthetic sources, the mask
// bit count, and the live figures against the affinity count.
#include "core/zr_system_probe.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<zr_processor_record> g_records;
uint32_t g_error = 0;
uint32_t Synthetic(std::vector<zr_processor_record>& records) {
  records = g_error == 0 ? g_records : std::vector<zr_processor_record>();
  return g_error;
}

struct Counts {
  int32_t numa = -1, packages = -1, cores = -1, logical = -1, l1 = -1, l2 = -1, l3 = -1;
  ZR_String message{"stale"};
  bool ok = false;
};
Counts Query(std::vector<zr_processor_record> records, uint32_t error) {
  g_records = std::move(records);
  g_error = error;
  Counts c;
  c.ok = QueryProcessorTopologyFrom(Synthetic, c.numa, c.packages, c.cores, c.logical, c.l1, c.l2,
                                    c.l3, c.message);
  return c;
}

TEST(CountMaskBits, CountsEveryBit) {
  const struct {
    uint64_t mask;
    uint32_t bits;
  } cases[] = {{0, 0}, {1, 1}, {0x5, 2}, {~uint64_t{0}, 64}, {uint64_t{1} << 63, 1}};
  for (const auto& c : cases) EXPECT_EQ(c.bits, CountMaskBits(c.mask)) << c.mask;
}

TEST(QueryProcessorTopology, CountsEachRecordKind) {
  Counts c = Query({{ZR_RELATION_PROCESSOR_CORE, 0x3, 0},
                    {ZR_RELATION_PROCESSOR_CORE, 0xC, 0},
                    {ZR_RELATION_CACHE, 0, 1},
                    {ZR_RELATION_CACHE, 0, 1},
                    {ZR_RELATION_CACHE, 0, 2},
                    {ZR_RELATION_CACHE, 0, 3},
                    {ZR_RELATION_CACHE, 0, 4},  // no such level: ignored
                    {ZR_RELATION_PROCESSOR_PACKAGE, 0, 0},
                    {ZR_RELATION_NUMA_NODE, 0, 0},
                    {4, 0, 0},
                    {7, 0, 0}},
                   0);
  EXPECT_TRUE(c.ok);
  EXPECT_EQ(2, c.cores);
  EXPECT_EQ(4, c.logical);
  EXPECT_EQ(2, c.l1);
  EXPECT_EQ(1, c.l2);
  EXPECT_EQ(1, c.l3);
  EXPECT_EQ(1, c.packages);
  EXPECT_EQ(1, c.numa);
  EXPECT_STREQ(
      "Error: Unsupported LOGICAL_PROCESSOR_RELATIONSHIP value.\n"
      "Error: Unsupported LOGICAL_PROCESSOR_RELATIONSHIP value.\n",
      c.message.m_text);
}

TEST(QueryProcessorTopology, SourceFailuresGiveTheirTextAndZeroCounts) {
  const struct {
    uint32_t error;
    const char* text;
  } cases[] = {{87, "Error 87\n"}, {ZR_ERROR_NOT_ENOUGH_MEMORY, "Error: Allocation failure\n"}};
  for (const auto& f : cases) {
    Counts c = Query({{ZR_RELATION_PROCESSOR_CORE, 0x3, 0}}, f.error);
    EXPECT_FALSE(c.ok);
    EXPECT_STREQ(f.text, c.message.m_text);
    for (int32_t n : {c.numa, c.packages, c.cores, c.logical, c.l1, c.l2, c.l3}) EXPECT_EQ(0, n);
  }
}

TEST(QuerySystemResources, LogicalProcessorsAreTheAllowedOnes) {
  int32_t cores = -1, logical = -1;
  uint64_t memory = 0;
  QuerySystemResources(cores, logical, memory);
  EXPECT_EQ(static_cast<int32_t>(ZR_GetLogicalProcessorCount()), logical);
  EXPECT_GE(cores, 1);
  EXPECT_LE(cores, logical);
  EXPECT_GT(memory, 0u);
}

}  // namespace
