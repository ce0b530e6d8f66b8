// platform/zr_free_memory.cpp: glibc's mmap threshold, fixed so that the allocator no longer
// raises it (up to 32 MiB) after a mapped block is freed, and the trim of its pools.
#include "platform/zr_free_memory.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <climits>

void ZR_ReturnLargeBlocksOnFree(size_t bytes) {
#if defined(__GLIBC__)
  mallopt(M_MMAP_THRESHOLD, bytes > size_t(INT_MAX) ? INT_MAX : int(bytes));
#else
  (void)bytes;
#endif
}

void ZR_TrimFreeMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}
