// tests/core/zr_wait_for_events_test.cpp: time-out slicing and result classification, over a
// recording stand-in for the platform wait, plus one pass over the real events.
#include "core/zr_wait_for_events.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The stand-in wait: records each time-out and replays scripted results.
struct Script {
  std::vector<uint32_t> results;
  std::vector<uint32_t> timeouts;
  uint32_t last_error = 0;
};
Script g_script;

uint32_t ScriptedWait(uint32_t, const ZR_EventHandle*, bool, uint32_t timeout_ms) {
  g_script.timeouts.push_back(timeout_ms);
  uint32_t r = g_script.results.empty() ? ZR_WAIT_TIMEOUT : g_script.results.front();
  if (!g_script.results.empty()) g_script.results.erase(g_script.results.begin());
  if (r == ZR_WAIT_FAILED) ZR_SetLastError(g_script.last_error);
  return r;
}

uint32_t Scripted(std::vector<uint32_t> results, uint64_t timeout, uint32_t& index,
                  uint32_t count = 2, uint32_t last_error = 0) {
  g_script = Script{std::move(results), {}, last_error};
  ZR_EventHandle handles[2] = {nullptr, nullptr};
  return WaitForEventsVia(ScriptedWait, handles, count, false, timeout, index);
}

TEST(WaitForEvents, SplitsTimeOutsBeyondThirtyTwoBits) {
  const uint64_t slice = 0xFFFFFFFEull;
  const struct {
    uint64_t timeout;
    std::vector<uint32_t> waits;  // with every wait timing out
  } cases[] = {
      {0, {0}},
      {50, {50}},
      {0xFFFFFFFFull, {0xFFFFFFFFu}},  // the platform's own no-limit value
      {ZR_WAIT_NO_LIMIT, {0xFFFFFFFFu}},
      {1ull << 32, {2, 0xFFFFFFFEu}},
      {3 * slice + 5, {5, 0xFFFFFFFEu, 0xFFFFFFFEu, 0xFFFFFFFEu}},
  };
  for (const auto& c : cases) {
    uint32_t index = 77;
    EXPECT_EQ(ZR_WAIT_TIMEOUT, Scripted({}, c.timeout, index)) << c.timeout;
    EXPECT_EQ(c.waits, g_script.timeouts) << c.timeout;
    EXPECT_EQ(77u, index) << c.timeout;
  }
  // The slices stop at the first wait that does not time out, and its result counts.
  uint32_t index = 77;
  EXPECT_EQ(0u, Scripted({ZR_WAIT_TIMEOUT, 1}, 3 * slice + 5, index));
  EXPECT_EQ(2u, g_script.timeouts.size());
  EXPECT_EQ(1u, index);
}

TEST(WaitForEvents, ClassifiesPlatformResults) {
  const struct {
    uint32_t raw, last_error, result, index;
  } cases[] = {
      {0, 0, 0, 0},                             // event 0
      {1, 0, 0, 1},                             // event 1
      {128, 0, 0, 0},                           // abandoned 0
      {129, 0, 0, 1},                           // abandoned 1 of 2
      {130, 0, 130, 77},                        // beyond the abandoned range: unchanged
      {2, 0, 2, 77},                            // beyond the count: unchanged
      {ZR_WAIT_TIMEOUT, 0, 258, 77},            // time-out
      {ZR_WAIT_FAILED, 6, 6, 77},               // failure: the last error
      {ZR_WAIT_FAILED, 0, ZR_WAIT_FAILED, 77},  // never 0 for a failure
  };
  for (const auto& c : cases) {
    uint32_t index = 77;
    EXPECT_EQ(c.result, Scripted({c.raw}, 0, index, 2, c.last_error)) << c.raw;
    EXPECT_EQ(c.index, index) << c.raw;
  }
}

TEST(WaitForEvents, WaitsOnRealEvents) {
  ZR_EventHandle h[2] = {ZR_CreateEvent(false, false), ZR_CreateEvent(false, true)};
  uint32_t index = 77;
  EXPECT_EQ(0u, WaitForEvents(h, 2, false, 0, index));
  EXPECT_EQ(1u, index);
  EXPECT_EQ(ZR_WAIT_TIMEOUT, WaitForEvents(h, 2, false, 0, index));
  ZR_EventHandle missing[1] = {nullptr};
  EXPECT_EQ(ZR_ERROR_INVALID_HANDLE, WaitForEvents(missing, 1, false, 0, index));
  ZR_CloseEvent(h[0]);
  ZR_CloseEvent(h[1]);
}

}  // namespace
