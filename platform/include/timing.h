// Clocks: the performance counter (nanoseconds of the monotonic clock, so its
// frequency is 1,000,000,000), the multimedia timer and the tick count (both
// milliseconds of the monotonic clock, wrapping at 2^32).
#pragma once

#include "wintypes.h"

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency);
BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount);
DWORD WINAPI timeGetTime();
DWORD WINAPI GetTickCount();
ULONGLONG WINAPI GetTickCount64();

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};
using LPSYSTEMTIME = SYSTEMTIME*;
void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime);
