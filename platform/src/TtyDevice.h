// A serial port on a Linux tty (a real port, a USB adapter or a pty).
//
// One I/O thread per open device blocks in poll() on the device and an eventfd
// that the calling threads write to when the thread must look again (a write
// was queued, room appeared in the input queue, the mask changed, the handle
// closed). It moves received bytes into the input queue, sends queued writes as
// the line takes them, and, where the device has modem lines or line-event
// counters and the mask asks for their events, reads them every 100 ms:
// TIOCMIWAIT would report changes at once, but a thread blocked in it cannot be
// woken when the handle closes without a process-wide signal handler.
//
// A device that goes away (poll reports a hang-up or an error, a read returns
// 0 or EIO, a write EIO) ends pending work with ERROR_DEVICE_REMOVED; the thread
// then watches only its eventfd, because a hang-up stays reported for good.
#pragma once

#include <string>
#include <thread>

#include "CommPort.h"
#include "FileDescriptor.h"
#include "TtyKernel.h"
#include "TtyLockFile.h"

namespace qorv::platform {

class TtyDevice : public CommPort {
 public:
  // Opens the device at `path` exclusively, in raw mode with stale input
  // dropped, holding its lock file (TtyLockFile.h) until closed. Null with the
  // last error set on failure (ERROR_FILE_NOT_FOUND for a missing device or
  // one that is not a tty, ERROR_ACCESS_DENIED when another handle or process
  // holds it); nothing is then left open or locked.
  static std::shared_ptr<TtyDevice> Open(const std::string& path);
  ~TtyDevice() override;

 protected:
  DWORD SendLocked(const std::uint8_t* bytes, std::size_t count, std::size_t* sent) override;
  DWORD ReadLineStateLocked(DCB* dcb) override;
  DWORD WriteLineStateLocked(const DCB& dcb) override;
  DWORD EscapeLocked(DWORD function) override;
  DWORD ModemStatusLocked(DWORD* status) override;
  DWORD PurgeLineLocked(DWORD flags) override;
  DWORD LineInputCountLocked() override;
  std::size_t ReadLineLocked(std::uint8_t* buffer, std::size_t count) override;
  DWORD LineOutputCountLocked() override;
  void RefreshLineErrorsLocked() override;
  void WakeLocked() override;
  void Shutdown() override;

 private:
  TtyDevice(FileDescriptor device, FileDescriptor wake, TtyLockFile lockFile);
  void Run();
  // With lock_ held.
  short DeviceEventsLocked() const;
  bool NeedsLinePollingLocked() const;
  void ReceiveLocked();
  void PollLinesLocked();
  DWORD ErrorOf(int error);

  FileDescriptor device_;
  FileDescriptor wake_;
  TtyLockFile lockFile_;
  std::thread thread_;
  bool stopping_ = false;
  // What the device answered when asked once at open.
  bool hasModemLines_ = false;
  bool hasCounters_ = false;
  bool pty_ = false;
  tty::Counters counters_;
  DWORD modemLines_ = 0;
  // Settings a tty does not keep (flow limits, DTR and RTS control modes,
  // the characters it has no use for) are kept here and read back.
  DCB shadow_{};
};

}  // namespace qorv::platform
