// core/zr_thread.h: ZR_Thread, the base of the worker threads: a thread started by the
// constructor that sleeps until its owner signals runEvent, runs one DoWork, reports through
// finEvent and leaves on stopEvent. Teardown always joins the thread before closing the events.
#ifndef CORE_ZR_THREAD_H
#define CORE_ZR_THREAD_H

#include <ostream>
#include <thread>

#include "core/zr_string.h"
#include "platform/zr_event.h"

// ZR_Thread: a worker thread driven by five events; empty state: no thread and null events.
//   Events (created in this order): lockedEvent manual/signalled (signalled while idle),
//   runEvent auto/off (one job per signal; two signals before a wake-up give one job), stopEvent
//   manual/off (signalled once to leave), finEvent auto/off (signalled after each job),
//   hasStoppedEvent auto/off (the body's very last act).
//   Invariant: m_thread is null or a joinable thread running operator(); StopThread() or the
//   destructor joins it before any event is closed.
//   Owns: the thread and the five events.
//   Threads: the owner writes a job's inputs, resets lockedEvent and signals runEvent; the worker
//   writes only its outputs before finEvent; the events are the only synchronisation. A derived
//   class must call StopThread() first in its destructor, so that no job runs while it is torn
//   down; the owner hands work only after the derived constructor has returned.
//   Console: construction failures and the verbose texts go to the stream given at construction
//   (standard output by default), which must outlive the object.
//   Failure: a failed event or thread creation is appended to m_error_text and printed once on
//   the console at the end of construction; the object still destructs cleanly, and a worker
//   whose thread did not start, or whose stop or run event is missing, never blocks its owner's
//   teardown (the body leaves at its first wait when an event is missing).
class ZR_Thread {
 public:
  ZR_Thread();
  explicit ZR_Thread(std::ostream& console);
  ZR_Thread(const ZR_Thread&) = delete;
  ZR_Thread& operator=(const ZR_Thread&) = delete;

  // One job of work, run on the worker thread.
  virtual void DoWork() = 0;
  virtual ~ZR_Thread();

  // The thread body: waits on stop (position 0, which wins) and run (position 1) in 50 ms slices;
  // on run calls DoWork, then signals finEvent and lockedEvent; leaves on stop or a failed wait,
  // then signals lockedEvent and hasStoppedEvent.
  void operator()();

  // Signals stopEvent and joins the thread (after the job that is running, if any). Idempotent;
  // does nothing when there is no thread. Must not be called from the worker thread itself.
  void StopThread();

  ZR_EventHandle runEvent;
  ZR_EventHandle stopEvent;
  ZR_EventHandle finEvent;
  ZR_EventHandle hasStoppedEvent;
  ZR_EventHandle lockedEvent;
  std::thread* m_thread;  // null when no thread could be started, and after StopThread()
  ZR_String m_name;       // printed in the verbose texts
  bool m_verbose;
  ZR_String m_error_text;   // construction failures
  std::ostream* m_console;  // where the failures and verbose texts go; never null

  // How the constructor makes its events and its thread; tests replace them to fail on purpose.
  struct Hooks {
    ZR_EventHandle (*create_event)(bool manual_reset, bool initially_signalled);
    std::thread* (*start_thread)(ZR_Thread* self);  // null when the thread cannot be started
  };

 protected:
  explicit ZR_Thread(const Hooks& hooks);
  ZR_Thread(const Hooks& hooks, std::ostream& console);

 private:
  void Construct(const Hooks& hooks, std::ostream& console);
};

#endif  // CORE_ZR_THREAD_H
