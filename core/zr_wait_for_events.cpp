// core/zr_wait_for_events.cpp: time-out slicing and result classification for WaitForEvents.
#include "core/zr_wait_for_events.h"

namespace {

// The longest finite platform wait: one below the platform's no-limit value.
constexpr uint64_t kSliceMs = 0xFFFFFFFEull;

}  // namespace

uint32_t WaitForEventsVia(ZR_MultipleWait wait, const ZR_EventHandle* handles, uint32_t count,
                          bool wait_all, uint64_t timeout_ms, uint32_t& index) {
  uint32_t result;
  if (timeout_ms == ZR_WAIT_NO_LIMIT || timeout_ms <= 0xFFFFFFFFull) {
    result = wait(count, handles, wait_all, static_cast<uint32_t>(timeout_ms));
  } else {
    result = wait(count, handles, wait_all, static_cast<uint32_t>(timeout_ms % kSliceMs));
    for (uint64_t slices = timeout_ms / kSliceMs; slices > 0 && result == ZR_WAIT_TIMEOUT; --slices)
      result = wait(count, handles, wait_all, static_cast<uint32_t>(kSliceMs));
  }
  if (result < count) {
    index = result - ZR_WAIT_OBJECT_0;
    return 0;
  }
  if (result >= ZR_WAIT_ABANDONED_0 && result - ZR_WAIT_ABANDONED_0 < count) {
    index = result - ZR_WAIT_ABANDONED_0;
    return 0;
  }
  if (result == ZR_WAIT_FAILED) {
    // A failure must never read as "event 0 ended the wait".
    uint32_t error = ZR_GetLastError();
    return error == 0 ? ZR_WAIT_FAILED : error;
  }
  return result;
}

uint32_t WaitForEvents(const ZR_EventHandle* handles, uint32_t count, bool wait_all,
                       uint64_t timeout_ms, uint32_t& index) {
  return WaitForEventsVia(ZR_WaitForMultiple, handles, count, wait_all, timeout_ms, index);
}
