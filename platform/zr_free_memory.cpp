// platform/zr_free_memory.cpp: the C library's large-block thresholds and the trim of its pools.
// The threshold is fixed high, never low: a low one would make every large buffer a fresh mapping,
// faulted in page by page for each image.
#include "platform/zr_free_memory.h"

#include <climits>
#include <cstdlib>  // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void ZR_FixLargeBlockThresholds(size_t bytes) {
#if defined(__GLIBC__)
  const size_t most = size_t(INT_MAX) / 2;
  const int mmap_bytes = int(bytes < most ? bytes : most);
  mallopt(M_MMAP_THRESHOLD, mmap_bytes);
  mallopt(M_TRIM_THRESHOLD, 2 * mmap_bytes);
#else
  (void)bytes;
#endif
}

void ZR_TrimFreeMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}
