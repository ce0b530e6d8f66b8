// tests/platform/zr_event_test.cpp: event semantics (reset modes, lowest position, atomic wait for
// all, time-outs) and the error contract. Cross-thread cases are ordered by the events themselves
// or by joins; no sleep decides an outcome.
#include "platform/zr_event.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

// Bounds a wait that a fault could leave hanging; it never decides a result.
constexpr uint32_t kGenerousMs = 60000;

// Closes its events at the end of a test, whatever the test did.
struct Events {
  std::vector<ZR_EventHandle> handles;
  ZR_EventHandle Add(bool manual, bool signalled) {
    handles.push_back(ZR_CreateEvent(manual, signalled));
    return handles.back();
  }
  ~Events() {
    for (ZR_EventHandle h : handles) ZR_CloseEvent(h);
  }
};

TEST(ZrEvent, AutoResetSignalIsConsumedByOneWait) {
  Events ev;
  ZR_EventHandle e = ev.Add(false, false);
  ASSERT_NE(nullptr, e);
  EXPECT_EQ(ZR_WAIT_TIMEOUT, ZR_WaitForSingle(e, 0));
  EXPECT_TRUE(ZR_SetEvent(e));
  EXPECT_TRUE(ZR_SetEvent(e));  // set twice before anyone waits: still one signal
  EXPECT_EQ(ZR_WAIT_OBJECT_0, ZR_WaitForSingle(e, 0));
  EXPECT_EQ(ZR_WAIT_TIMEOUT, ZR_WaitForSingle(e, 0));
}

TEST(ZrEvent, ManualResetStaysSignalledUntilReset) {
  Events ev;
  ZR_EventHandle e = ev.Add(true, true);
  EXPECT_EQ(ZR_WAIT_OBJECT_0, ZR_WaitForSingle(e, 0));
  EXPECT_EQ(ZR_WAIT_OBJECT_0, ZR_WaitForSingle(e, ZR_INFINITE));
  EXPECT_TRUE(ZR_ResetEvent(e));
  EXPECT_EQ(ZR_WAIT_TIMEOUT, ZR_WaitForSingle(e, 0));
  ZR_EventHandle auto_on = ev.Add(false, true);
  EXPECT_EQ(ZR_WAIT_OBJECT_0, ZR_WaitForSingle(auto_on, 0));
  EXPECT_EQ(ZR_WAIT_TIMEOUT, ZR_WaitForSingle(auto_on, 0));
}

TEST(ZrEvent, WaitForOneReturnsLowestSignalledPosition) {
  Events ev;
  ZR_EventHandle h[3] = {ev.Add(false, false), ev.Add(false, true), ev.Add(true, true)};
  EXPECT_EQ(ZR_WAIT_OBJECT_0 + 1, ZR_WaitForMultiple(3, h, false, 0));
  // Position 1 was consumed; the manual event at 2 is reported and stays signalled.
  EXPECT_EQ(ZR_WAIT_OBJECT_0 + 2, ZR_WaitForMultiple(3, h, false, 0));
  EXPECT_EQ(ZR_WAIT_OBJECT_0 + 2, ZR_WaitForMultiple(3, h, false, 0));
  ZR_SetEvent(h[0]);
  EXPECT_EQ(ZR_WAIT_OBJECT_0, ZR_WaitForMultiple(3, h, false, 0));
}

TEST(ZrEvent, WaitForAllConsumesNothingUntilAllAreSignalled) {
  Events ev;
  ZR_EventHandle h[3] = {ev.Add(false, true), ev.Add(false, false), ev.Add(true, true)};
  EXPECT_EQ(ZR_WAIT_TIMEOUT, ZR_WaitForMultiple(3, h, true, 0));
  EXPECT_EQ(ZR_WAIT_OBJECT_0, ZR_WaitForSingle(h[0], 0));  // still there after the failed wait
  ZR_SetEvent(h[0]);
  ZR_SetEvent(h[1]);
  EXPECT_EQ(ZR_WAIT_OBJECT_0, ZR_WaitForMultiple(3, h, true, 0));
  EXPECT_EQ(ZR_WAIT_TIMEOUT, ZR_WaitForSingle(h[0], 0));
  EXPECT_EQ(ZR_WAIT_TIMEOUT, ZR_WaitForSingle(h[1], 0));
  EXPECT_EQ(ZR_WAIT_OBJECT_0, ZR_WaitForSingle(h[2], 0));  // manual: kept
}

TEST(ZrEvent, BlockedWaitForAllLeavesPartialSignalsToOthers) {
  Events ev;
  ZR_EventHandle h[2] = {ev.Add(false, false), ev.Add(false, false)};
  ZR_EventHandle started = ev.Add(true, false);
  uint32_t result = 0;
  std::thread waiter([&] {
    ZR_SetEvent(started);
    result = ZR_WaitForMultiple(2, h, true, ZR_INFINITE);
  });
  ASSERT_EQ(ZR_WAIT_OBJECT_0, ZR_WaitForSingle(started, ZR_INFINITE));
  // The waiter may or may not be asleep yet; either way it cannot take h[0] alone.
  ZR_SetEvent(h[0]);
  EXPECT_EQ(ZR_WAIT_OBJECT_0, ZR_WaitForSingle(h[0], 0));
  ZR_SetEvent(h[0]);
  ZR_SetEvent(h[1]);
  waiter.join();
  EXPECT_EQ(ZR_WAIT_OBJECT_0, result);
  EXPECT_EQ(ZR_WAIT_TIMEOUT, ZR_WaitForMultiple(2, h, false, 0));
}

TEST(ZrEvent, SetFromAnotherThreadWakesAnUnlimitedWait) {
  Events ev;
  ZR_EventHandle ping = ev.Add(false, false), pong = ev.Add(false, false);
  int data = 0;  // written before each set, read after each wait: the events order it
  std::thread other([&] {
    for (int i = 0; i < 100; ++i) {
      if (ZR_WaitForSingle(ping, kGenerousMs) != ZR_WAIT_OBJECT_0) break;
      data += 1;
      ZR_SetEvent(pong);
    }
  });
  for (int i = 0; i < 100; ++i) {
    data += 1;
    ZR_SetEvent(ping);
    if (ZR_WaitForSingle(pong, kGenerousMs) != ZR_WAIT_OBJECT_0) break;
  }
  other.join();
  EXPECT_EQ(200, data);
}

TEST(ZrEvent, LimitedWaitTimesOutNoEarlierThanAsked) {
  Events ev;
  ZR_EventHandle e = ev.Add(false, false);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ZR_WAIT_TIMEOUT, ZR_WaitForSingle(e, 30));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

TEST(ZrEvent, FailuresReturnWaitFailedWithNonZeroLastError) {
  Events ev;
  ZR_EventHandle a = ev.Add(false, true);
  ZR_EventHandle closed = ZR_CreateEvent(false, true);
  ASSERT_TRUE(ZR_CloseEvent(closed));
  std::vector<ZR_EventHandle> many(ZR_MAXIMUM_WAIT_OBJECTS + 1, a);
  ZR_EventHandle with_null[2] = {a, nullptr};
  ZR_EventHandle twice[2] = {a, a};
  const struct {
    const char* what;
    uint32_t count;
    const ZR_EventHandle* handles;
    bool all;
    uint32_t error;
  } cases[] = {
      {"count 0", 0, &a, false, ZR_ERROR_INVALID_PARAMETER},
      {"count 65", 65, many.data(), false, ZR_ERROR_INVALID_PARAMETER},
      {"null array", 1, nullptr, false, ZR_ERROR_INVALID_PARAMETER},
      {"null handle", 2, with_null, false, ZR_ERROR_INVALID_HANDLE},
      {"closed handle", 1, &closed, false, ZR_ERROR_INVALID_HANDLE},
      {"duplicate in wait-all", 2, twice, true, ZR_ERROR_INVALID_PARAMETER},
  };
  for (const auto& c : cases) {
    ZR_SetLastError(0);
    EXPECT_EQ(ZR_WAIT_FAILED, ZR_WaitForMultiple(c.count, c.handles, c.all, 0)) << c.what;
    EXPECT_EQ(c.error, ZR_GetLastError()) << c.what;
  }
  EXPECT_EQ(ZR_WAIT_OBJECT_0, ZR_WaitForSingle(a, 0));  // no failed wait consumed it

  // 64 handles are accepted, and a duplicate is fine when waiting for any.
  std::vector<ZR_EventHandle> limit(ZR_MAXIMUM_WAIT_OBJECTS, ev.Add(true, true));
  EXPECT_EQ(ZR_WAIT_OBJECT_0, ZR_WaitForMultiple(ZR_MAXIMUM_WAIT_OBJECTS, limit.data(), false, 0));

  for (ZR_EventHandle bad : {static_cast<ZR_EventHandle>(nullptr), closed}) {
    ZR_SetLastError(0);
    EXPECT_FALSE(ZR_SetEvent(bad));
    EXPECT_EQ(ZR_ERROR_INVALID_HANDLE, ZR_GetLastError());
    ZR_SetLastError(0);
    EXPECT_FALSE(ZR_ResetEvent(bad));
    EXPECT_EQ(ZR_ERROR_INVALID_HANDLE, ZR_GetLastError());
    ZR_SetLastError(0);
    EXPECT_FALSE(ZR_CloseEvent(bad));
    EXPECT_EQ(ZR_ERROR_INVALID_HANDLE, ZR_GetLastError());
  }
}

TEST(ZrEvent, ClosingAnEventFailsItsWaiters) {
  ZR_EventHandle e = ZR_CreateEvent(false, false);
  ZR_EventHandle started = ZR_CreateEvent(true, false);
  uint32_t result = 0, error = 0;
  std::thread waiter([&] {
    ZR_SetEvent(started);
    result = ZR_WaitForSingle(e, ZR_INFINITE);
    error = ZR_GetLastError();
  });
  ZR_WaitForSingle(started, ZR_INFINITE);
  ZR_CloseEvent(e);  // before or during the wait: both must end it with a failure
  waiter.join();
  EXPECT_EQ(ZR_WAIT_FAILED, result);
  EXPECT_EQ(ZR_ERROR_INVALID_HANDLE, error);
  ZR_CloseEvent(started);
}

TEST(ZrEvent, LastErrorBelongsToTheThread) {
  ZR_SetLastError(0);
  EXPECT_FALSE(ZR_SetEvent(nullptr));
  uint32_t seen_there = 1;
  std::thread([&] { seen_there = ZR_GetLastError(); }).join();
  EXPECT_EQ(0u, seen_there);
  EXPECT_EQ(ZR_ERROR_INVALID_HANDLE, ZR_GetLastError());
}

}  // namespace
