// platform/zr_last_error.cpp: one last error number per thread, as the Windows calls keep it.
#include "platform/zr_last_error.h"

namespace {
thread_local uint32_t t_last_error = 0;
}

uint32_t ZR_GetLastError() {
  return t_last_error;
}

void ZR_SetLastError(uint32_t error) {
  t_last_error = error;
}
