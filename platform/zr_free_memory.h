// platform/zr_free_memory.h: handing the C library's free memory back to the system. The C library
// keeps freed memory in per-thread pools, so after one large picture per worker the process would
// keep the sum of all workers' peaks although each picture's memory was freed.
#ifndef PLATFORM_ZR_FREE_MEMORY_H
#define PLATFORM_ZR_FREE_MEMORY_H

// Hands the free memory at the top and inside every pool of the C library back to the system
// (glibc's malloc_trim): smaller blocks that a large picture's search left in the pools of the
// threads that ran it. Nothing where the C library offers no such call. Safe from any thread.
void ZR_TrimFreeMemory();

#endif  // PLATFORM_ZR_FREE_MEMORY_H
