// platform/zr_free_memory.h: the C library's handling of large blocks, and handing its free
// memory back to the system. The C library keeps freed memory in per-thread pools, so after one
// large picture per worker the process would keep the sum of all workers' peaks although each
// picture's memory was freed.
#ifndef PLATFORM_ZR_FREE_MEMORY_H
#define PLATFORM_ZR_FREE_MEMORY_H

#include <cstddef>

// Fixes the C library's threshold for mapping a block apart at bytes, and its threshold for handing
// back the free memory at a pool's top at twice that (glibc's M_MMAP_THRESHOLD and
// M_TRIM_THRESHOLD). Left to adjust itself, glibc sets the first to the size of the last mapped
// block freed, so the next block of just that size (the next photo's picture, grey copy or
// smoothing buffer) is mapped afresh and faulted in page by page, for every image. Blocks from
// bytes up stay mapped apart and go back to the system when freed. Nothing where the C library
// offers no such setting. Process-wide and permanent: call once at a program's start-up, before
// any thread that allocates starts.
void ZR_FixLargeBlockThresholds(size_t bytes);

// Hands the free memory inside every pool of the C library, and at the top of the main pool and
// of the calling thread's own pool, back to the system (glibc's malloc_trim, and for the thread's
// pool a free under a lowered trim threshold when ZR_FixLargeBlockThresholds fixed it): smaller
// blocks that a large picture's search left in the pools of the threads that ran it. The tops of
// other threads' pools stay. Nothing where the C library offers no such call. Safe from any
// thread.
void ZR_TrimFreeMemory();

#endif  // PLATFORM_ZR_FREE_MEMORY_H
