// platform/zr_system_time.cpp: CLOCK_REALTIME split with gmtime_r (thread-safe, no time zone).
#include "platform/zr_system_time.h"

#include <time.h>

zr_system_time ZR_GetSystemTimeUtc() {
  zr_system_time result = {0, 0, 0, 0, 0, 0, 0};
  struct timespec now;
  if (clock_gettime(CLOCK_REALTIME, &now) != 0) return result;
  struct tm parts;
  if (gmtime_r(&now.tv_sec, &parts) == nullptr) return result;
  result.year = parts.tm_year + 1900;
  result.month = parts.tm_mon + 1;
  result.day = parts.tm_mday;
  result.hour = parts.tm_hour;
  result.minute = parts.tm_min;
  result.second = parts.tm_sec;
  result.milliseconds = static_cast<int32_t>(now.tv_nsec / 1000000);
  return result;
}
