// core/zr_out_of_memory.cpp: message and abort for a failed allocation.
#include "core/zr_out_of_memory.h"

#include <cstdio>
#include <cstdlib>

void ZR_OutOfMemory(const char* message) {
  std::perror(message);
  std::abort();
}
