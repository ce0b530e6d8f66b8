// tests/core/zr_thread_test.cpp: the worker life cycle (job, finished and locked events, stop
// priority, teardown with failed events or no thread) and the verbose texts. Ordering comes from
// the events and from a start gate; waits carry a generous limit only so a fault cannot hang.
#include "core/zr_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

constexpr uint32_t kGenerousMs = 60000;

// Worker whose job counts itself; the derived destructor stops the thread first.
class CountingWorker : public ZR_Thread {
 public:
  CountingWorker() = default;
  explicit CountingWorker(const Hooks& hooks) : ZR_Thread(hooks) {}
  CountingWorker(const Hooks& hooks, std::ostream& console) : ZR_Thread(hooks, console) {}
  ~CountingWorker() override { StopThread(); }
  void DoWork() override {
    ++jobs;
    if (throw_in_job) throw std::runtime_error("job failed");
  }
  std::atomic<int> jobs{0};
  bool throw_in_job = false;
};

// A start gate: the thread waits for it before entering the body, so tests can set events first.
ZR_EventHandle g_gate = nullptr;
std::thread* GatedStart(ZR_Thread* self) {
  return new std::thread([self] {
    ZR_WaitForSingle(g_gate, kGenerousMs);
    (*self)();
  });
}
std::thread* NoThread(ZR_Thread*) {
  return nullptr;
}

// Fails the creation of event number g_fail_at (0 = locked ... 4 = has stopped).
int g_created = 0, g_fail_at = -1;
ZR_EventHandle FailingCreate(bool manual, bool signalled) {
  return g_created++ == g_fail_at ? nullptr : ZR_CreateEvent(manual, signalled);
}
std::thread* StdStart(ZR_Thread* self) {
  return new std::thread([self] { (*self)(); });
}

TEST(ZrThread, RunsOneJobPerRunSignalAndReportsIt) {
  CountingWorker w;
  ASSERT_NE(nullptr, w.m_thread);
  EXPECT_STREQ("", w.m_error_text.m_text);
  EXPECT_EQ(ZR_WAIT_OBJECT_0, ZR_WaitForSingle(w.lockedEvent, 0));  // idle: locked is signalled
  for (int job = 1; job <= 3; ++job) {
    ZR_ResetEvent(w.lockedEvent);
    ZR_SetEvent(w.runEvent);
    ASSERT_EQ(ZR_WAIT_OBJECT_0, ZR_WaitForSingle(w.finEvent, kGenerousMs));
    EXPECT_EQ(job, w.jobs.load());
    EXPECT_EQ(ZR_WAIT_OBJECT_0, ZR_WaitForSingle(w.lockedEvent, kGenerousMs));
  }
  ZR_EventHandle has_stopped = w.hasStoppedEvent;
  w.StopThread();
  EXPECT_EQ(nullptr, w.m_thread);
  EXPECT_EQ(ZR_WAIT_OBJECT_0, ZR_WaitForSingle(has_stopped, 0));
  w.StopThread();  // idempotent
}

TEST(ZrThread, JobThatThrowsStillReportsFinished) {
  CountingWorker w;
  w.throw_in_job = true;
  ZR_SetEvent(w.runEvent);
  EXPECT_EQ(ZR_WAIT_OBJECT_0, ZR_WaitForSingle(w.finEvent, kGenerousMs));
  EXPECT_EQ(1, w.jobs.load());
}

TEST(ZrThread, DestroyedRightAfterConstructionStopsCleanly) {
  for (int i = 0; i < 20; ++i) {
    CountingWorker w;
  }
}

TEST(ZrThread, StopWinsOverRunSignalledTogether) {
  g_gate = ZR_CreateEvent(true, false);
  {
    CountingWorker w(ZR_Thread::Hooks{ZR_CreateEvent, GatedStart});
    ZR_SetEvent(w.runEvent);
    ZR_SetEvent(w.stopEvent);
    ZR_SetEvent(g_gate);
    w.StopThread();
    EXPECT_EQ(0, w.jobs.load());
  }
  ZR_CloseEvent(g_gate);
}

TEST(ZrThread, ThreadThatCannotStartIsReportedAndNeverBlocks) {
  testing::internal::CaptureStdout();
  {
    CountingWorker w(ZR_Thread::Hooks{ZR_CreateEvent, NoThread});
    EXPECT_EQ(nullptr, w.m_thread);
    EXPECT_STREQ("ZR_Thread::Constuctor() Failed to create thread.\n", w.m_error_text.m_text);
  }
  EXPECT_EQ("ZR_Thread::Constuctor() Failed to create thread.\n\n",
            testing::internal::GetCapturedStdout());
}

TEST(ZrThread, FailuresAndVerboseTextsGoToTheGivenConsole) {
  std::ostringstream console;
  testing::internal::CaptureStdout();
  {
    CountingWorker w(ZR_Thread::Hooks{ZR_CreateEvent, NoThread}, console);
    w.m_verbose = true;
    w.m_name = "W1";
  }
  EXPECT_EQ("", testing::internal::GetCapturedStdout());
  EXPECT_EQ(
      "ZR_Thread::Constuctor() Failed to create thread.\n\n"
      "W1 ZR_Thread destructor 1\nW1 ZR_Thread destructor finished\n",
      console.str());
}

TEST(ZrThread, MissingEventsAreReportedAndTheBodyLeaves) {
  const struct {
    int fail_at;
    const char* text;
  } cases[] = {{0, "Create Locked Event failed\n"},
               {1, "Create Run Event failed\n"},
               {2, "Create Stop Event failed\n"},
               {3, "Create Fin Event failed\n"},
               {4, "Create Has Stopped Event failed\n"}};
  for (const auto& c : cases) {
    g_created = 0;
    g_fail_at = c.fail_at;
    testing::internal::CaptureStdout();
    {
      CountingWorker w(ZR_Thread::Hooks{FailingCreate, StdStart});
      EXPECT_STREQ(c.text, w.m_error_text.m_text) << c.fail_at;
      EXPECT_NE(nullptr, w.m_thread);
      // A worker without a stop or run event leaves at its first wait; with both it stops on
      // request. Either way the teardown below must return.
    }
    EXPECT_EQ(std::string(c.text) + "\n", testing::internal::GetCapturedStdout());
  }
}

// A worker left to the base destructor to stop; safe only because it is idle.
class IdleWorker : public ZR_Thread {
 public:
  void DoWork() override {}
};

TEST(ZrThread, VerboseTeardownTexts) {
  testing::internal::CaptureStdout();
  {
    IdleWorker w;
    w.m_verbose = true;
    w.m_name = "W3";
  }
  EXPECT_EQ("W3 ZR_Thread destructor 1\nW3 Joining thead\nW3 ZR_Thread destructor finished\n",
            testing::internal::GetCapturedStdout());
}

}  // namespace
