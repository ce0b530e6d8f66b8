// platform/zr_free_memory.h: making freed large blocks go back to the system. The C library keeps
// freed memory in per-thread pools and raises its threshold for mapping blocks apart as large
// blocks come and go, so after one large picture per worker the process would keep the sum of
// all workers' peaks although each picture's memory was freed.
#ifndef PLATFORM_ZR_FREE_MEMORY_H
#define PLATFORM_ZR_FREE_MEMORY_H

#include <cstddef>

// From now on every block of at least bytes is mapped on its own and unmapped when freed, and the
// threshold stays there (glibc's mallopt M_MMAP_THRESHOLD); nothing where the C library offers
// no such setting. Call before the threads that allocate start, or while they are idle.
void ZR_ReturnLargeBlocksOnFree(size_t bytes);

// Hands the free memory at the top and inside every pool of the C library back to the system
// (glibc's malloc_trim): smaller blocks that a large picture's search left in the pools of the
// threads that ran it. Nothing where the C library offers no such call. Safe from any thread.
void ZR_TrimFreeMemory();

#endif  // PLATFORM_ZR_FREE_MEMORY_H
