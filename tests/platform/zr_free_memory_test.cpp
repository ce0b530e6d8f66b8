// tests/platform/zr_free_memory_test.cpp: the fixed large-block thresholds let a freed picture-sized
// block be reused without faults while larger ones still go back when freed, and the trim hands
// memory freed inside the C library's pool, and at the top of a thread's own pool, back to the
// system (resident size from /proc/self/statm, faults from getrusage). Sanitizer builds bring their own allocator, which
// these settings do not reach, so the checks are skipped there.
#include "platform/zr_free_memory.h"

#include "tests/support/zr_sanitized.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

namespace {

// The checks below run on glibc's own allocator only.
#if defined(__GLIBC__) && !defined(ZR_MEMORY_SANITIZED)
#define ZR_GLIBC_ALLOCATOR 1
#endif

#if defined(ZR_GLIBC_ALLOCATOR)
int64_t ResidentBytes() {
  std::ifstream in("/proc/self/statm");
  int64_t size = 0, resident = -1;
  in >> size >> resident;
  return resident * int64_t(sysconf(_SC_PAGESIZE));
}

int64_t MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// malloc and memset of bytes, kept though nothing reads them (a compiler may drop an unread
// block's allocation altogether).
char* FilledBlock(size_t bytes) {
  char* p = static_cast<char*>(std::malloc(bytes));
  std::memset(p, 1, bytes);
  asm volatile("" : : "r"(p) : "memory");
  return p;
}

// Allocates bytes, writes every page and frees them; the minor faults that took.
int64_t FaultsToFill(size_t bytes) {
  const int64_t before = MinorFaults();
  char* p = FilledBlock(bytes);
  const int64_t faults = MinorFaults() - before;
  std::free(p);
  return faults;
}
#endif  // ZR_GLIBC_ALLOCATOR

TEST(ZrFreeMemory, FixedThresholdsReuseBlocksBelowAndReturnThoseAbove) {
#if !defined(ZR_GLIBC_ALLOCATOR)
  GTEST_SKIP() << "no glibc allocator to set";
#else
  ZR_FixLargeBlockThresholds(size_t{32} << 20);
  // A photo's picture, twice: the second finds the first's pages (left to itself, glibc maps the
  // second afresh, 2,000 faults for these 8 MiB).
  constexpr size_t kPicture = size_t{8} << 20;
  FaultsToFill(kPicture);
  EXPECT_LT(FaultsToFill(kPicture), 100);
  // A block from the threshold up is mapped apart and unmapped when freed.
  constexpr size_t kLarge = size_t{48} << 20;
  char* p = FilledBlock(kLarge);
  const int64_t held = ResidentBytes();
  std::free(p);
  EXPECT_GT(held - ResidentBytes(), int64_t{40} << 20);
#endif
}

TEST(ZrFreeMemory, TrimHandsFreedPoolMemoryBack) {
#if !defined(ZR_GLIBC_ALLOCATOR)
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

// A thread's own pool keeps what was freed at its top while it is below the fixed trim threshold
// (64 MiB here); malloc_trim alone leaves it, the trim on that thread hands it back. 24 MiB stay
// within the thread pool's first 64 MiB heap, which glibc would unmap whole once empty.
TEST(ZrFreeMemory, TrimHandsBackTheTopOfTheCallingThreadsPool) {
#if !defined(ZR_GLIBC_ALLOCATOR)
  GTEST_SKIP() << "no glibc allocator to trim";
#else
  ZR_FixLargeBlockThresholds(size_t{32} << 20);
  int64_t held = 0, trimmed = 0;
  std::thread worker([&] {
    std::vector<char*> blocks;
    blocks.reserve(24);  // nothing of the vector's between the blocks
    for (int i = 0; i < 24; ++i) blocks.push_back(FilledBlock(size_t{1} << 20));
    for (auto p = blocks.rbegin(); p != blocks.rend(); ++p) std::free(*p);  // all into the top
    held = ResidentBytes();
    ZR_TrimFreeMemory();
    trimmed = ResidentBytes();
  });
  worker.join();
  EXPECT_GT(held - trimmed, int64_t{16} << 20);
#endif
}

}  // namespace
