// core/zr_lock.h: ZR_Lock, an event holder kept by the gallery; nothing takes or releases it.
#ifndef CORE_ZR_LOCK_H
#define CORE_ZR_LOCK_H

#include <cstdint>

#include "core/zr_string.h"
#include "platform/zr_event.h"

// ZR_Lock: one manual-reset event, created signalled; empty state: a null event after a failed
//   creation, reported through perror. Owns: the event, closed by the destructor.
//   Threads: construct and destroy on one thread.
class ZR_Lock {
 public:
  ZR_Lock();
  ZR_Lock(const ZR_Lock&) = delete;
  ZR_Lock& operator=(const ZR_Lock&) = delete;
  ~ZR_Lock();

  ZR_EventHandle m_event;
  ZR_String m_text;
  int32_t m_value;
};

#endif  // CORE_ZR_LOCK_H
