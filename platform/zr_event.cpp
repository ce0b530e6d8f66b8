// platform/zr_event.cpp: the event table. Every event is a {manual, signalled} pair in one map
// guarded by one mutex; every change notifies one shared condition variable and each waiter
// re-checks its own events. Taking the mutex in both Set and Wait is what orders the data a thread
// writes before setting an event before the reads of the thread whose wait it ends.
#include "platform/zr_event.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>
#include <unordered_map>

namespace {

struct EventState {
  bool manual;
  bool signalled;
};

struct EventTable {
  std::mutex mutex;
  std::condition_variable changed;
  std::unordered_map<uintptr_t, EventState> events;
  uintptr_t next_id = 1;  // 64-bit and only ever incremented: no handle value comes back
};

// Never destroyed, so that an event closed from a static destructor still finds its table.
EventTable& Table() {
  static EventTable* table = new EventTable;
  return *table;
}

uintptr_t IdOf(ZR_EventHandle event) {
  return reinterpret_cast<uintptr_t>(event);
}

// The state of a live event, or null (the table's mutex must be held).
EventState* Find(EventTable& table, ZR_EventHandle event) {
  if (event == nullptr) return nullptr;
  auto it = table.events.find(IdOf(event));
  return it == table.events.end() ? nullptr : &it->second;
}

uint32_t Fail(uint32_t error) {
  ZR_SetLastError(error);
  return ZR_WAIT_FAILED;
}

bool HasDuplicate(uint32_t count, const ZR_EventHandle* handles) {
  for (uint32_t i = 0; i < count; ++i)
    for (uint32_t j = i + 1; j < count; ++j)
      if (handles[i] == handles[j]) return true;
  return false;
}

// Ends the wait when it can: consumes the automatic signals and returns the result, or returns
// ZR_WAIT_TIMEOUT when the condition does not hold yet (the mutex must be held).
uint32_t TryToEnd(EventState* const* states, uint32_t count, bool wait_all) {
  if (wait_all) {
    for (uint32_t i = 0; i < count; ++i)
      if (!states[i]->signalled) return ZR_WAIT_TIMEOUT;
    for (uint32_t i = 0; i < count; ++i)
      if (!states[i]->manual) states[i]->signalled = false;
    return ZR_WAIT_OBJECT_0;
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (states[i]->signalled) {
      if (!states[i]->manual) states[i]->signalled = false;
      return ZR_WAIT_OBJECT_0 + i;
    }
  }
  return ZR_WAIT_TIMEOUT;
}

}  // namespace

ZR_EventHandle ZR_CreateEvent(bool manual_reset, bool initially_signalled) {
  EventTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  try {
    uintptr_t id = table.next_id++;
    table.events.emplace(id, EventState{manual_reset, initially_signalled});
    return reinterpret_cast<ZR_EventHandle>(id);
  } catch (const std::bad_alloc&) {
    ZR_SetLastError(ZR_ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

namespace {

// Sets or clears an event; false with last error 6 when it is not live.
bool Change(ZR_EventHandle event, bool signalled) {
  EventTable& table = Table();
  {
    std::lock_guard<std::mutex> lock(table.mutex);
    EventState* state = Find(table, event);
    if (state == nullptr) {
      ZR_SetLastError(ZR_ERROR_INVALID_HANDLE);
      return false;
    }
    state->signalled = signalled;
  }
  if (signalled) table.changed.notify_all();
  return true;
}

}  // namespace

bool ZR_SetEvent(ZR_EventHandle event) {
  return Change(event, true);
}

bool ZR_ResetEvent(ZR_EventHandle event) {
  return Change(event, false);
}

bool ZR_CloseEvent(ZR_EventHandle event) {
  EventTable& table = Table();
  {
    std::lock_guard<std::mutex> lock(table.mutex);
    if (event == nullptr || table.events.erase(IdOf(event)) == 0) {
      ZR_SetLastError(ZR_ERROR_INVALID_HANDLE);
      return false;
    }
  }
  table.changed.notify_all();  // waiters on it must fail now rather than sleep on
  return true;
}

uint32_t ZR_WaitForMultiple(uint32_t count, const ZR_EventHandle* handles, bool wait_all,
                            uint32_t timeout_ms) {
  if (count == 0 || count > ZR_MAXIMUM_WAIT_OBJECTS || handles == nullptr)
    return Fail(ZR_ERROR_INVALID_PARAMETER);
  if (wait_all && HasDuplicate(count, handles)) return Fail(ZR_ERROR_INVALID_PARAMETER);

  using Clock = std::chrono::steady_clock;
  const bool limited = timeout_ms != ZR_INFINITE;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);

  EventTable& table = Table();
  std::unique_lock<std::mutex> lock(table.mutex);
  EventState* states[ZR_MAXIMUM_WAIT_OBJECTS];
  for (;;) {
    // Looked up again after every wake-up: the map may have rehashed or an event been closed.
    for (uint32_t i = 0; i < count; ++i) {
      states[i] = Find(table, handles[i]);
      if (states[i] == nullptr) return Fail(ZR_ERROR_INVALID_HANDLE);
    }
    uint32_t result = TryToEnd(states, count, wait_all);
    if (result != ZR_WAIT_TIMEOUT) return result;
    if (!limited) {
      table.changed.wait(lock);
    } else if (timeout_ms == 0 || Clock::now() >= deadline) {
      return ZR_WAIT_TIMEOUT;
    } else {
      table.changed.wait_until(lock, deadline);
    }
  }
}

uint32_t ZR_WaitForSingle(ZR_EventHandle event, uint32_t timeout_ms) {
  return ZR_WaitForMultiple(1, &event, false, timeout_ms);
}
