// The serial layer's entry from CreateFileA for device names "\\.\COMn".
#pragma once

#include "wintypes.h"

namespace qorv::platform {
// Opens the serial device that the system root's devices.ini maps port n to.
// Returns a handle, or INVALID_HANDLE_VALUE with the last error set.
HANDLE OpenCommDevice(LPCSTR name, DWORD desiredAccess, DWORD shareMode, DWORD creationDisposition,
                      DWORD flagsAndAttributes);
}  // namespace qorv::platform
