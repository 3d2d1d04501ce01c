// Until the serial layer exists no device can be opened.
#include "CommDevice.h"
#include "winerror.h"

namespace qorv::platform {
HANDLE OpenCommDevice(LPCSTR, DWORD, DWORD, DWORD, DWORD) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  return INVALID_HANDLE_VALUE;
}
}  // namespace qorv::platform
