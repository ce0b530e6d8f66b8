// platform/zr_free_memory.cpp: the trim of the C library's pools. The allocator's settings (its
// mmap threshold among them) are left as they are: a low fixed threshold would make every large
// buffer a fresh mapping, faulted in page by page for each image.
#include "platform/zr_free_memory.h"

#include <cstdlib>  // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void ZR_TrimFreeMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}
