// tests/platform/zr_free_memory_test.cpp: the trim hands memory freed inside the C library's pool
// back to the system (resident size from /proc/self/statm). Sanitizer builds bring their own
// allocator, which the trim does not reach, so the check is skipped there.
#include "platform/zr_free_memory.h"

#include "tests/support/zr_sanitized.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

int64_t ResidentBytes() {
  std::ifstream in("/proc/self/statm");
  int64_t size = 0, resident = -1;
  in >> size >> resident;
  return resident * int64_t(sysconf(_SC_PAGESIZE));
}

TEST(ZrFreeMemory, TrimHandsFreedPoolMemoryBack) {
#if !defined(__GLIBC__) || defined(ZR_MEMORY_SANITIZED)
  GTEST_SKIP() << "no glibc allocator to trim";
#else
  // 64 MiB in blocks small enough to come from the pool, then one more that stays, so the pool's
  // top cannot shrink when the others are freed.
  constexpr size_t kBlock = size_t{64} << 10;
  std::vector<char*> blocks;
  for (int i = 0; i < 1024; ++i) {
    blocks.push_back(static_cast<char*>(std::malloc(kBlock)));
    std::memset(blocks.back(), 1, kBlock);
  }
  char* keep = static_cast<char*>(std::malloc(kBlock));
  std::memset(keep, 1, kBlock);
  for (char* p : blocks) std::free(p);
  const int64_t before = ResidentBytes();
  ZR_TrimFreeMemory();
  EXPECT_GT(before - ResidentBytes(), int64_t{32} << 20);
  std::free(keep);
#endif
}

}  // namespace
