#include "sysinfo.h"

#include <sys/utsname.h>

#include <cstdio>
#include <cstring>

#include "winerror.h"

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
  if (info == nullptr || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  unsigned major = 0;
  unsigned minor = 0;
  unsigned build = 0;
  utsname name{};
  if (uname(&name) == 0) std::sscanf(name.release, "%u.%u.%u", &major, &minor, &build);
  info->dwMajorVersion = major;
  info->dwMinorVersion = minor;
  info->dwBuildNumber = build;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  return TRUE;
}
