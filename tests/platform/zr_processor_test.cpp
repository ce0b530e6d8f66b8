// tests/platform/zr_processor_test.cpp: the affinity-based processor count and the sysfs topology
// reader over a synthetic tree.
#include "platform/zr_processor.h"

#include "tests/support/zr_temp_folder.h"

#include <gtest/gtest.h>

#include <sched.h>

#include <algorithm>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(ZrProcessor, CountFollowsTheThreadsAffinity) {
  std::vector<int> allowed = ZR_GetAllowedProcessors();
  ASSERT_FALSE(allowed.empty());
  EXPECT_TRUE(std::is_sorted(allowed.begin(), allowed.end()));
  EXPECT_EQ(allowed.size(), ZR_GetLogicalProcessorCount());

  // Narrowed to its first processor (or two), a thread sees exactly those: what taskset does.
  const size_t keep = std::min<size_t>(2, allowed.size());
  std::vector<int> seen;
  std::thread([&] {
    cpu_set_t set;
    CPU_ZERO(&set);
    for (size_t i = 0; i < keep; ++i) CPU_SET(allowed[i], &set);
    if (sched_setaffinity(0, sizeof(set), &set) == 0) seen = ZR_GetAllowedProcessors();
  }).join();
  if (seen.empty()) GTEST_SKIP() << "sched_setaffinity refused here";
  EXPECT_EQ(std::vector<int>(allowed.begin(), allowed.begin() + keep), seen);
}

TEST(ZrProcessor, MemoryIsReported) {
  EXPECT_GT(ZR_GetTotalPhysicalMemory(), 0u);
}

class SysfsTree : public ::testing::Test {
 protected:
  void Write(const std::string& relative, const std::string& text) {
    root_.Write(relative, text + "\n");
  }
  // A processor with its topology and an L1 data, L1 instruction and L2 cache of its core, and
  // an L3 cache shared by its package.
  void AddCpu(int cpu, int package, int core, const std::string& core_cpus,
              const std::string& package_cpus) {
    std::string dir = "cpu/cpu" + std::to_string(cpu) + "/";
    Write(dir + "topology/physical_package_id", std::to_string(package));
    Write(dir + "topology/core_id", std::to_string(core));
    const struct {
      const char* index;
      int level;
      const char* type;
      std::string shared;
    } caches[] = {{"index0", 1, "Data", core_cpus},
                  {"index1", 1, "Instruction", core_cpus},
                  {"index2", 2, "Unified", core_cpus},
                  {"index3", 3, "Unified", package_cpus}};
    for (const auto& c : caches) {
      std::string cache = dir + "cache/" + c.index + "/";
      Write(cache + "level", std::to_string(c.level));
      Write(cache + "type", c.type);
      Write(cache + "shared_cpu_list", c.shared);
    }
  }
  std::map<uint32_t, int> CountKinds(const std::vector<int>& cpus, int* logical,
                                     std::map<int, int>* levels) {
    std::vector<zr_processor_record> records;
    EXPECT_EQ(0u, ZR_ReadProcessorRecords(root_.Path(), cpus, records));
    std::map<uint32_t, int> kinds;
    *logical = 0;
    for (const auto& r : records) {
      ++kinds[r.relationship];
      if (r.relationship == ZR_RELATION_PROCESSOR_CORE)
        *logical += __builtin_popcountll(r.processor_mask);
      if (r.relationship == ZR_RELATION_CACHE) ++(*levels)[r.cache_level];
    }
    return kinds;
  }
  ZR_TempFolder root_;
};

TEST_F(SysfsTree, CountsCoresPackagesCachesAndNodesOfTheGivenProcessors) {
  // Two packages of two cores with two threads each; siblings are n and n + 4, as on many servers.
  for (int cpu = 0; cpu < 8; ++cpu) {
    int package = (cpu % 4) / 2, core = cpu % 2;
    std::string core_cpus = std::to_string(cpu % 4) + "," + std::to_string(cpu % 4 + 4);
    AddCpu(cpu, package, core, core_cpus, package == 0 ? "0-1,4-5" : "2-3,6-7");
  }
  Write("node/node0/cpulist", "0-7");
  Write("node/possible", "0");  // not a node folder

  int logical = 0;
  std::map<int, int> levels;
  auto kinds = CountKinds({0, 1, 2, 3, 4, 5, 6, 7}, &logical, &levels);
  EXPECT_EQ(4, kinds[ZR_RELATION_PROCESSOR_CORE]);
  EXPECT_EQ(8, logical);
  EXPECT_EQ(2, kinds[ZR_RELATION_PROCESSOR_PACKAGE]);
  EXPECT_EQ(1, kinds[ZR_RELATION_NUMA_NODE]);
  EXPECT_EQ(8, levels[1]);  // data + instruction per core
  EXPECT_EQ(4, levels[2]);
  EXPECT_EQ(2, levels[3]);

  // Only processors 0 and 4 allowed: one core with two threads in one package.
  levels.clear();
  kinds = CountKinds({0, 4}, &logical, &levels);
  EXPECT_EQ(1, kinds[ZR_RELATION_PROCESSOR_CORE]);
  EXPECT_EQ(2, logical);
  EXPECT_EQ(1, kinds[ZR_RELATION_PROCESSOR_PACKAGE]);
}

TEST_F(SysfsTree, ProcessorsWithoutTopologyFilesCountAsOwnCores) {
  int logical = 0;
  std::map<int, int> levels;
  auto kinds = CountKinds({0, 1, 2}, &logical, &levels);
  EXPECT_EQ(3, kinds[ZR_RELATION_PROCESSOR_CORE]);
  EXPECT_EQ(3, logical);
  EXPECT_EQ(3, kinds[ZR_RELATION_PROCESSOR_PACKAGE]);
  EXPECT_EQ(1, kinds[ZR_RELATION_NUMA_NODE]);
  EXPECT_EQ(0, kinds[ZR_RELATION_CACHE]);
}

TEST(ZrProcessor, LiveRecordsCountTheAllowedProcessors) {
  std::vector<zr_processor_record> records;
  ASSERT_EQ(0u, ZR_GetProcessorRecords(records));
  int logical = 0;
  for (const auto& r : records)
    if (r.relationship == ZR_RELATION_PROCESSOR_CORE)
      logical += __builtin_popcountll(r.processor_mask);
  EXPECT_EQ(static_cast<int>(ZR_GetLogicalProcessorCount()), logical);
}

}  // namespace
