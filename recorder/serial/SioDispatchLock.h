// Scoped ownership of one of the dispatcher's critical sections.
#pragma once

#include "synch.h"

class TSioLock {
 public:
  explicit TSioLock(CRITICAL_SECTION& section) : section_(section) { EnterCriticalSection(&section_); }
  ~TSioLock() { LeaveCriticalSection(&section_); }
  TSioLock(const TSioLock&) = delete;
  TSioLock& operator=(const TSioLock&) = delete;

 private:
  CRITICAL_SECTION& section_;
};
