// Opening "\\.\COMn": the port number goes through the system root's
// devices.ini to a tty path or to a substitute device ("substitute:name").
#include "CommDevice.h"

#include <cctype>
#include <cstdlib>
#include <string>

#include "SubstitutePort.h"
#include "SubstituteRegistry.h"
#include "TtyDevice.h"
#include "fileapi.h"
#include "systemroot.h"
#include "winerror.h"

namespace qorv::platform {

namespace {

constexpr char kSubstitutePrefix[] = "substitute:";

HANDLE Fail(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

// The n of "\\.\COMn" (letters in any case, 1 to 255), or 0.
int PortNumberOf(const std::string& name) {
  const std::string prefix = "\\\\.\\COM";
  if (name.size() <= prefix.size() || name.size() > prefix.size() + 3) return 0;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != prefix[i]) return 0;
  int number = 0;
  for (std::size_t i = prefix.size(); i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
    number = number * 10 + (name[i] - '0');
  }
  return number >= 1 && number <= 255 ? number : 0;
}

std::shared_ptr<CommPort> OpenSubstitute(const std::string& name) {
  auto port = FindSubstitutePort(name);
  if (!port) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  if (DWORD error = port->Attach()) {
    SetLastError(error);
    return nullptr;
  }
  return port;
}

}  // namespace

HANDLE OpenCommDevice(LPCSTR name, DWORD, DWORD, DWORD creationDisposition, DWORD) {
  if (name == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  // Ports exist or do not; they are never created.
  if (creationDisposition != OPEN_EXISTING) return Fail(ERROR_INVALID_PARAMETER);
  int number = PortNumberOf(name);
  if (number == 0) return Fail(ERROR_FILE_NOT_FOUND);
  auto target = ReadDeviceMapping(number);
  if (!target || target->empty()) return Fail(ERROR_FILE_NOT_FOUND);

  std::shared_ptr<CommPort> port;
  if (target->rfind(kSubstitutePrefix, 0) == 0)
    port = OpenSubstitute(target->substr(sizeof kSubstitutePrefix - 1));
  else
    port = TtyDevice::Open(*target);
  if (!port) return INVALID_HANDLE_VALUE;

  HANDLE handle = InsertHandle(port);
  if (handle == nullptr) {
    DWORD error = GetLastError();
    port->OnHandleClosed();
    return Fail(error);
  }
  return handle;
}

}  // namespace qorv::platform
