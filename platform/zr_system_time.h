// platform/zr_system_time.h: the current calendar time in UTC, read once per call.
#ifndef PLATFORM_ZR_SYSTEM_TIME_H
#define PLATFORM_ZR_SYSTEM_TIME_H

#include <cstdint>

// A UTC calendar time: month 1-12, day 1-31, hour 0-23, minute 0-59, second 0-60 (a leap second
// may show as 60), milliseconds 0-999.
struct zr_system_time {
  int32_t year;
  int32_t month;
  int32_t day;
  int32_t hour;
  int32_t minute;
  int32_t second;
  int32_t milliseconds;
};

// Reads the system clock once and splits it in UTC. Never fails (all fields 0 only if the clock
// cannot be split, which needs a year beyond the range of int).
zr_system_time ZR_GetSystemTimeUtc();

#endif  // PLATFORM_ZR_SYSTEM_TIME_H
