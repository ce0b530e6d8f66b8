// core/zr_lock.cpp: ZR_Lock's event.
#include "core/zr_lock.h"

#include <cstdio>

ZR_Lock::ZR_Lock() : m_event(nullptr), m_value(0) {
  m_event = ZR_CreateEvent(true, true);
  if (m_event == nullptr) perror("ZR_Lock() Create Locked Event failed\n");
}

ZR_Lock::~ZR_Lock() {
  if (m_event != nullptr) ZR_CloseEvent(m_event);
}
