// core/zr_thread.cpp: construction, body and teardown of ZR_Thread. Unlike a detached thread, a
// joined one can no longer touch the events or the object once the destructor goes on, so the
// events are closed only after the join.
#include "core/zr_thread.h"

#include "core/zr_wait_for_events.h"

#include <exception>
#include <iostream>
#include <new>
#include <system_error>

namespace {

constexpr uint64_t kIdleSliceMs = 50;

std::thread* StartStdThread(ZR_Thread* self) {
  try {
    return new std::thread([self] { (*self)(); });
  } catch (const std::system_error&) {  // the OS refused a thread
    return nullptr;
  }
}

}  // namespace

ZR_Thread::ZR_Thread() {
  Construct(Hooks{ZR_CreateEvent, StartStdThread}, std::cout);
}

ZR_Thread::ZR_Thread(std::ostream& console) {
  Construct(Hooks{ZR_CreateEvent, StartStdThread}, console);
}

ZR_Thread::ZR_Thread(const Hooks& hooks) {
  Construct(hooks, std::cout);
}

ZR_Thread::ZR_Thread(const Hooks& hooks, std::ostream& console) {
  Construct(hooks, console);
}

void ZR_Thread::Construct(const Hooks& hooks, std::ostream& console) {
  m_console = &console;
  runEvent = stopEvent = finEvent = hasStoppedEvent = lockedEvent = nullptr;
  m_thread = nullptr;
  m_verbose = false;
  const struct {
    ZR_EventHandle* event;
    bool manual, signalled;
    const char* failure;
  } events[] = {
      {&lockedEvent, true, true, "Create Locked Event failed\n"},
      {&runEvent, false, false, "Create Run Event failed\n"},
      {&stopEvent, true, false, "Create Stop Event failed\n"},
      {&finEvent, false, false, "Create Fin Event failed\n"},
      {&hasStoppedEvent, false, false, "Create Has Stopped Event failed\n"},
  };
  bool failed = false;
  for (const auto& e : events) {
    *e.event = hooks.create_event(e.manual, e.signalled);
    if (*e.event == nullptr) {
      m_error_text += e.failure;
      failed = true;
    }
  }
  // Started whatever happened above: a missing stop or run event makes the body leave at once.
  m_thread = hooks.start_thread(this);
  if (m_thread == nullptr) {
    m_error_text += "ZR_Thread::Constuctor() Failed to create thread.\n";
    failed = true;
  }
  if (failed) *m_console << m_error_text.m_text << std::endl;
}

ZR_Thread::~ZR_Thread() {
  if (m_verbose) *m_console << m_name.m_text << " ZR_Thread destructor 1" << std::endl;
  StopThread();
  for (ZR_EventHandle* e : {&runEvent, &stopEvent, &finEvent, &hasStoppedEvent, &lockedEvent}) {
    if (*e != nullptr) ZR_CloseEvent(*e);
    *e = nullptr;
  }
  if (m_verbose) *m_console << m_name.m_text << " ZR_Thread destructor finished" << std::endl;
}

void ZR_Thread::StopThread() {
  if (m_thread == nullptr) return;
  if (stopEvent != nullptr) ZR_SetEvent(stopEvent);
  m_thread->join();
  if (m_verbose) *m_console << m_name.m_text << " Joining thead" << std::endl;
  delete m_thread;
  m_thread = nullptr;
}

void ZR_Thread::operator()() {
  const ZR_EventHandle handles[2] = {stopEvent, runEvent};
  for (;;) {
    uint32_t index = 0xFFFFFFFFu;
    const uint32_t result = WaitForEvents(handles, 2, false, kIdleSliceMs, index);
    if (result == ZR_WAIT_TIMEOUT) continue;
    if (result != 0 || index != 1) break;  // stop, or a failed wait
    try {
      DoWork();
    } catch (const std::exception& e) {  // nothing may leave a worker thread
      std::cerr << "ZR_Thread::operator() DoWork failed: " << e.what() << std::endl;
    } catch (...) {
      std::cerr << "ZR_Thread::operator() DoWork failed" << std::endl;
    }
    ZR_SetEvent(finEvent);
    ZR_SetEvent(lockedEvent);
  }
  ZR_SetEvent(lockedEvent);
  ZR_SetEvent(hasStoppedEvent);
}
