// The version of the system, as GetVersionExA reports it.
#pragma once

#include "wintypes.h"

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
};
using LPOSVERSIONINFOA = OSVERSIONINFOA*;

// This platform reports itself as an NT system (threads, overlapped I/O, no
// direct port access) whose version numbers are those of the running kernel;
// the service-pack text is empty. Fails with ERROR_INSUFFICIENT_BUFFER when
// dwOSVersionInfoSize is smaller than the structure.
BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation);
