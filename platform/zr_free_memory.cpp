// platform/zr_free_memory.cpp: the C library's large-block thresholds and the trim of its pools.
// The threshold is fixed high, never low: a low one would make every large buffer a fresh mapping,
// faulted in page by page for each image. glibc's malloc_trim shrinks the top of the main pool
// only, so the calling thread's own pool is trimmed through a free under a lowered threshold.
#include "platform/zr_free_memory.h"

#include <atomic>
#include <climits>
#include <cstdlib>  // defines __GLIBC__ where the C library is glibc
#include <mutex>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// The block freed to trim the calling thread's pool: at least glibc's 64 KiB, below which a free
// tries no trim, and below the mapping threshold, so that it comes from the pool.
constexpr size_t kTrimBlockBytes = size_t{256} << 10;

// The trim threshold fixed by ZR_FixLargeBlockThresholds, 0 while glibc adjusts its own or the
// mapping threshold is too low for the trim block.
std::atomic<int> g_fixed_trim_bytes{0};
// One thread at a time lowers and restores the threshold.
std::mutex g_trim_mutex;

}  // namespace

void ZR_FixLargeBlockThresholds(size_t bytes) {
#if defined(__GLIBC__)
  const size_t most = size_t(INT_MAX) / 2;
  const int mmap_bytes = int(bytes < most ? bytes : most);
  mallopt(M_MMAP_THRESHOLD, mmap_bytes);
  mallopt(M_TRIM_THRESHOLD, 2 * mmap_bytes);
  g_fixed_trim_bytes = size_t(mmap_bytes) > kTrimBlockBytes ? 2 * mmap_bytes : 0;
#else
  (void)bytes;
#endif
}

void ZR_TrimFreeMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
  // A thread's own pool keeps the free memory at its top until a free leaves that top above the
  // trim threshold, which is fixed high: up to twice the mapping threshold per thread, kept
  // resident. glibc tries to trim the pool after every free of a block of 64 KiB or more, so one
  // such free with the threshold at 0 trims this thread's pool; the threshold then goes back.
  // A glibc left to adjust its own thresholds is left so: setting one would stop that.
  const int fixed = g_fixed_trim_bytes;
  if (fixed <= 0) return;
  std::lock_guard<std::mutex> lock(g_trim_mutex);
  mallopt(M_TRIM_THRESHOLD, 0);
  void* block = std::malloc(kTrimBlockBytes);
  asm volatile("" : : "r"(block) : "memory");  // the pair must not be optimised away
  std::free(block);
  mallopt(M_TRIM_THRESHOLD, fixed);
#endif
}
