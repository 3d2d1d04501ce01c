#include <ctime>

#include "timing.h"

namespace {

std::uint64_t MonotonicNanoseconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1'000'000'000u + static_cast<std::uint64_t>(ts.tv_nsec);
}

}  // namespace

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency) {
  lpFrequency->QuadPart = 1'000'000'000;
  return TRUE;
}

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount) {
  lpPerformanceCount->QuadPart = static_cast<LONGLONG>(MonotonicNanoseconds());
  return TRUE;
}

ULONGLONG WINAPI GetTickCount64() { return MonotonicNanoseconds() / 1'000'000u; }
DWORD WINAPI GetTickCount() { return static_cast<DWORD>(GetTickCount64()); }
DWORD WINAPI timeGetTime() { return static_cast<DWORD>(GetTickCount64()); }

void WINAPI GetLocalTime(LPSYSTEMTIME st) {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  localtime_r(&ts.tv_sec, &local);
  st->wYear = static_cast<WORD>(local.tm_year + 1900);
  st->wMonth = static_cast<WORD>(local.tm_mon + 1);
  st->wDayOfWeek = static_cast<WORD>(local.tm_wday);
  st->wDay = static_cast<WORD>(local.tm_mday);
  st->wHour = static_cast<WORD>(local.tm_hour);
  st->wMinute = static_cast<WORD>(local.tm_min);
  st->wSecond = static_cast<WORD>(local.tm_sec);
  st->wMilliseconds = static_cast<WORD>(ts.tv_nsec / 1'000'000);
}
