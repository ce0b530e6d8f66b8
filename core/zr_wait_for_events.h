// core/zr_wait_for_events.h: a wait for one or all of several events with a 64-bit time-out,
// split into platform waits that fit its 32-bit limit, and the result turned into "which event".
#ifndef CORE_ZR_WAIT_FOR_EVENTS_H
#define CORE_ZR_WAIT_FOR_EVENTS_H

#include <cstdint>

#include "platform/zr_event.h"

// All 64 bits set: wait without limit.
constexpr uint64_t ZR_WAIT_NO_LIMIT = ~uint64_t{0};

// The platform wait that WaitForEvents calls; ZR_WaitForMultiple unless a test gives another.
typedef uint32_t (*ZR_MultipleWait)(uint32_t count, const ZR_EventHandle* handles, bool wait_all,
                                    uint32_t timeout_ms);

// Waits for any (wait_all false) or all of handles[0..count-1]. A time-out below 2^32 ms, or
// ZR_WAIT_NO_LIMIT, is one platform wait (2^32 - 1 being the platform's own no-limit value); a
// longer one waits (timeout mod (2^32 - 2)) ms, then up to timeout / (2^32 - 2) slices of
// 2^32 - 2 ms while the waits time out. Returns 0 with the event's position in index when an event
// (or an abandoned handle) ended the wait; ZR_WAIT_TIMEOUT with index untouched when the time ran
// out; on a failed wait the platform's last error, never 0 (ZR_WAIT_FAILED when that error is 0),
// index untouched; any other code of the wait unchanged.
uint32_t WaitForEvents(const ZR_EventHandle* handles, uint32_t count, bool wait_all,
                       uint64_t timeout_ms, uint32_t& index);

// WaitForEvents over the given platform wait.
uint32_t WaitForEventsVia(ZR_MultipleWait wait, const ZR_EventHandle* handles, uint32_t count,
                          bool wait_all, uint64_t timeout_ms, uint32_t& index);

#endif  // CORE_ZR_WAIT_FOR_EVENTS_H
