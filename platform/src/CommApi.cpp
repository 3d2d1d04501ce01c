// The serial communication calls: each finds the port behind the handle and
// hands over; a handle that is no serial port fails with ERROR_INVALID_HANDLE.
#include "commapi.h"
#include "CommPort.h"
#include "winerror.h"

using qorv::platform::CommPort;
using qorv::platform::FailWith;
using qorv::platform::LookupHandleAs;

namespace {

template <class Call>
BOOL OnPort(HANDLE handle, Call call) {
  auto port = LookupHandleAs<CommPort>(handle);
  if (!port) return FailWith(ERROR_INVALID_HANDLE);
  try {
    return call(*port);
  } catch (const std::bad_alloc&) {
    return FailWith(ERROR_NOT_ENOUGH_MEMORY);
  } catch (...) {
    return FailWith(ERROR_GEN_FAILURE);
  }
}

}  // namespace

BOOL WINAPI SetupComm(HANDLE hFile, DWORD dwInQueue, DWORD dwOutQueue) {
  return OnPort(hFile, [&](CommPort& port) { return port.SetupQueues(dwInQueue, dwOutQueue); });
}

BOOL WINAPI GetCommState(HANDLE hFile, LPDCB lpDCB) {
  return OnPort(hFile, [&](CommPort& port) { return port.GetState(lpDCB); });
}

BOOL WINAPI SetCommState(HANDLE hFile, LPDCB lpDCB) {
  if (lpDCB == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
  return OnPort(hFile, [&](CommPort& port) { return port.SetState(*lpDCB); });
}

BOOL WINAPI GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
  return OnPort(hFile, [&](CommPort& port) { return port.GetTimeouts(lpCommTimeouts); });
}

BOOL WINAPI SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
  if (lpCommTimeouts == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
  return OnPort(hFile, [&](CommPort& port) { return port.SetTimeouts(*lpCommTimeouts); });
}

BOOL WINAPI SetCommMask(HANDLE hFile, DWORD dwEvtMask) {
  return OnPort(hFile, [&](CommPort& port) { return port.SetMask(dwEvtMask); });
}

BOOL WINAPI GetCommMask(HANDLE hFile, LPDWORD lpEvtMask) {
  return OnPort(hFile, [&](CommPort& port) { return port.GetMask(lpEvtMask); });
}

BOOL WINAPI WaitCommEvent(HANDLE hFile, LPDWORD lpEvtMask, LPOVERLAPPED lpOverlapped) {
  return OnPort(hFile, [&](CommPort& port) { return port.WaitEvent(lpEvtMask, lpOverlapped); });
}

BOOL WINAPI ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat) {
  return OnPort(hFile, [&](CommPort& port) { return port.ClearError(lpErrors, lpStat); });
}

BOOL WINAPI EscapeCommFunction(HANDLE hFile, DWORD dwFunc) {
  return OnPort(hFile, [&](CommPort& port) { return port.Escape(dwFunc); });
}

BOOL WINAPI GetCommModemStatus(HANDLE hFile, LPDWORD lpModemStat) {
  return OnPort(hFile, [&](CommPort& port) { return port.ModemStatus(lpModemStat); });
}

BOOL WINAPI PurgeComm(HANDLE hFile, DWORD dwFlags) {
  return OnPort(hFile, [&](CommPort& port) { return port.Purge(dwFlags); });
}
