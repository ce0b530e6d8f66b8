// platform/zr_event.h: synchronisation events with the semantics of Windows events (manual or
// automatic reset, wait for one or several, lowest position wins, wait-for-all atomic), over one
// process-wide mutex and condition variable. Results and error numbers are the Windows values.
#ifndef PLATFORM_ZR_EVENT_H
#define PLATFORM_ZR_EVENT_H

#include <cstdint>

#include "platform/zr_last_error.h"

// Opaque event handle; null is never a valid event. A closed handle stays invalid for good (handles
// are never reused), so using one after ZR_CloseEvent fails with ZR_ERROR_INVALID_HANDLE.
typedef struct zr_event_tag* ZR_EventHandle;

// Wait results.
constexpr uint32_t ZR_WAIT_OBJECT_0 = 0;       // + position of the event that ended the wait
constexpr uint32_t ZR_WAIT_ABANDONED_0 = 128;  // + position; never produced by events
constexpr uint32_t ZR_WAIT_TIMEOUT = 258;
constexpr uint32_t ZR_WAIT_FAILED = 0xFFFFFFFFu;  // the reason is in ZR_GetLastError()

constexpr uint32_t ZR_INFINITE = 0xFFFFFFFFu;     // time-out meaning "no limit"
constexpr uint32_t ZR_MAXIMUM_WAIT_OBJECTS = 64;  // most handles one wait accepts

// Creates an event: manual reset (stays signalled until reset) or automatic reset (a successful
// wait consumes the signal), signalled or not. Returns null with last error 8 when out of memory.
ZR_EventHandle ZR_CreateEvent(bool manual_reset, bool initially_signalled);

// Signal, clear or close an event. Each returns false with last error 6 for a null, closed or
// unknown handle. Closing wakes threads waiting on the event; their wait then fails with error 6.
bool ZR_SetEvent(ZR_EventHandle event);
bool ZR_ResetEvent(ZR_EventHandle event);
bool ZR_CloseEvent(ZR_EventHandle event);

// Waits until one event (wait_all false) or every event (wait_all true) of handles[0..count-1] is
// signalled, or until timeout_ms has passed (ZR_INFINITE: no limit; 0: test and return at once).
// Returns ZR_WAIT_OBJECT_0 + the lowest signalled position (wait for one) or ZR_WAIT_OBJECT_0
// (wait for all), consuming the signal of every automatic event that ended the wait, all at once
// in the wait-for-all case; ZR_WAIT_TIMEOUT when the time ran out, nothing consumed; ZR_WAIT_FAILED
// with last error 87 for a count of 0 or above 64, a null array or a handle given twice to a
// wait for all, and with last error 6 for a null or closed handle.
uint32_t ZR_WaitForMultiple(uint32_t count, const ZR_EventHandle* handles, bool wait_all,
                            uint32_t timeout_ms);

// ZR_WaitForMultiple over one event.
uint32_t ZR_WaitForSingle(ZR_EventHandle event, uint32_t timeout_ms);

#endif  // PLATFORM_ZR_EVENT_H
