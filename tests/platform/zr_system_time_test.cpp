// tests/platform/zr_system_time_test.cpp: the UTC clock agrees with the realtime clock and is split
// in UTC.
#include "platform/zr_system_time.h"

#include <gtest/gtest.h>

#include <time.h>

namespace {

// The same clock the platform reads (time() may use a coarser one that lags behind it).
time_t RealtimeSeconds() {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec;
}

TEST(ZrSystemTime, MatchesTheUtcCalendarOfTheSystemClock) {
  time_t before = RealtimeSeconds();
  zr_system_time t = ZR_GetSystemTimeUtc();
  time_t after = RealtimeSeconds();
  struct tm parts = {};
  parts.tm_year = t.year - 1900;
  parts.tm_mon = t.month - 1;
  parts.tm_mday = t.day;
  parts.tm_hour = t.hour;
  parts.tm_min = t.minute;
  parts.tm_sec = t.second;
  time_t back = timegm(&parts);  // UTC, so a local time zone would show as an offset
  EXPECT_GE(back, before);
  EXPECT_LE(back, after);
  EXPECT_GE(t.milliseconds, 0);
  EXPECT_LE(t.milliseconds, 999);
}

}  // namespace
