// platform/zr_last_error.h: the thread-local last error number that failed calls of the platform
// layer leave behind, and the error numbers they use (the Windows values).
#ifndef PLATFORM_ZR_LAST_ERROR_H
#define PLATFORM_ZR_LAST_ERROR_H

#include <cstdint>

constexpr uint32_t ZR_ERROR_INVALID_HANDLE = 6;
constexpr uint32_t ZR_ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr uint32_t ZR_ERROR_INVALID_PARAMETER = 87;

// The calling thread's last error number: 0 until a call of this layer fails on that thread.
uint32_t ZR_GetLastError();
void ZR_SetLastError(uint32_t error);

#endif  // PLATFORM_ZR_LAST_ERROR_H
