#include "TtyDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "CommState.h"
#include "winerror.h"

namespace qorv::platform {

namespace {

constexpr int kLinePollMs = 100;
constexpr DWORD kLineEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING | EV_BREAK | EV_ERR;

std::shared_ptr<TtyDevice> Fail(DWORD error) {
  SetLastError(error);
  return nullptr;
}

DWORD OpenError(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV: return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EBUSY: return ERROR_ACCESS_DENIED;
    default: return ErrorFromErrno(error);
  }
}

DWORD DeltaEvents(const tty::Counters& before, const tty::Counters& after, DWORD* ceFlags) {
  DWORD events = 0;
  if (after.Cts != before.Cts) events |= EV_CTS;
  if (after.Dsr != before.Dsr) events |= EV_DSR;
  if (after.Dcd != before.Dcd) events |= EV_RLSD;
  if (after.Ring != before.Ring) events |= EV_RING;
  DWORD flags = 0;
  if (after.BufferOverrun != before.BufferOverrun) flags |= CE_RXOVER;
  if (after.Overrun != before.Overrun) flags |= CE_OVERRUN;
  if (after.Parity != before.Parity) flags |= CE_RXPARITY;
  if (after.Frame != before.Frame) flags |= CE_FRAME;
  if (after.Break != before.Break) flags |= CE_BREAK;
  *ceFlags = flags;
  return events;
}

// Takes the lock file of a character device, under its resolved name so
// that every name of one device meets at one lock. Other paths are left to
// the open, which refuses them.
DWORD LockDevice(const std::string& path, TtyLockFile* lockFile) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return OpenError(errno);
  std::string device = resolved;
  std::free(resolved);
  struct stat status {};
  if (::stat(device.c_str(), &status) != 0 || !S_ISCHR(status.st_mode)) return ERROR_SUCCESS;
  return TtyLockFile::Take(device, lockFile);
}

}  // namespace

std::shared_ptr<TtyDevice> TtyDevice::Open(const std::string& path) {
  // POSIX opens ports shared and Windows exclusively. The lock file keeps off
  // programs that take it too, before the port is touched; flock keeps out
  // every other open file (also in this process, even as root); TIOCEXCL
  // keeps out later opens by programs that take neither, except root's.
  TtyLockFile lockFile;
  if (DWORD error = LockDevice(path, &lockFile)) return Fail(error);
  FileDescriptor device(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!device.Valid()) return Fail(OpenError(errno));
  if (::flock(device.Get(), LOCK_EX | LOCK_NB) != 0)
    return Fail(errno == EWOULDBLOCK ? ERROR_ACCESS_DENIED : ErrorFromErrno(errno));
  if (tty::MakeRaw(device.Get()) != 0) return Fail(ERROR_FILE_NOT_FOUND);
  (void)tty::SetExclusive(device.Get(), true);
  (void)tty::FlushInput(device.Get());
  FileDescriptor wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
  if (!wake.Valid()) return Fail(ErrorFromErrno(errno));

  std::shared_ptr<TtyDevice> port;
  try {
    port.reset(new TtyDevice(std::move(device), std::move(wake), std::move(lockFile)));
    port->thread_ = std::thread([raw = port.get()] { raw->Run(); });
  } catch (const std::exception&) {
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  return port;
}

TtyDevice::TtyDevice(FileDescriptor device, FileDescriptor wake, TtyLockFile lockFile)
    : device_(std::move(device)), wake_(std::move(wake)), lockFile_(std::move(lockFile)) {
  int fd = device_.Get();
  hasModemLines_ = tty::ReadModemLines(fd, &modemLines_) == 0;
  hasCounters_ = tty::ReadCounters(fd, &counters_) == 0;
  shadow_.DCBlength = sizeof(DCB);
  shadow_.fBinary = 1;
  shadow_.fDtrControl = DTR_CONTROL_ENABLE;
  shadow_.fRtsControl = RTS_CONTROL_ENABLE;
  shadow_.fTXContinueOnXoff = 1;
  (void)tty::ReadState(fd, &shadow_);
  struct stat status {};
  // Unix98 pty slaves have majors 136-143; legacy BSD pty slaves major 3.
  if (::fstat(fd, &status) == 0 && S_ISCHR(status.st_mode)) {
    unsigned type = major(status.st_rdev);
    pty_ = (type >= 136 && type <= 143) || type == 3;
  }
}

TtyDevice::~TtyDevice() { Shutdown(); }

void TtyDevice::Shutdown() {
  {
    std::lock_guard guard(lock_);
    stopping_ = true;
    WakeLocked();
  }
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
  if (device_.Valid()) (void)tty::SetExclusive(device_.Get(), false);
  // Closing the descriptor releases the flock; the lock file goes after it.
  device_.Reset();
  lockFile_.Release();
}

void TtyDevice::WakeLocked() {
  std::uint64_t one = 1;
  // A full counter already means "look again"; nothing is lost if this fails.
  (void)!::write(wake_.Get(), &one, sizeof one);
}

short TtyDevice::DeviceEventsLocked() const {
  if (!UsableLocked()) return 0;
  short events = 0;
  if (InputRoomLocked() > 0) events |= POLLIN;
  if (!writes_.empty()) events |= POLLOUT;
  return events;
}

bool TtyDevice::NeedsLinePollingLocked() const {
  return UsableLocked() && (mask_ & kLineEvents) && (hasModemLines_ || hasCounters_);
}

void TtyDevice::Run() {
  std::unique_lock lock(lock_);
  while (!stopping_) {
    pollfd fds[2] = {{wake_.Get(), POLLIN, 0}, {device_.Get(), 0, 0}};
    // Once the device is gone it is left out: its hang-up would be reported
    // on every poll and the thread would spin.
    bool watchDevice = UsableLocked();
    fds[1].events = DeviceEventsLocked();
    int timeout = NeedsLinePollingLocked() ? kLinePollMs : -1;
    lock.unlock();
    int ready = ::poll(fds, watchDevice ? 2 : 1, timeout);
    lock.lock();
    if (ready < 0 && errno != EINTR) {
      MarkGoneLocked();
      continue;
    }
    if (fds[0].revents & POLLIN) {
      std::uint64_t count;
      (void)!::read(wake_.Get(), &count, sizeof count);
    }
    if (stopping_ || !UsableLocked()) continue;
    short revents = watchDevice ? fds[1].revents : 0;
    if (revents & (POLLIN | POLLHUP | POLLERR)) ReceiveLocked();
    if (UsableLocked() && (revents & POLLOUT)) ProgressWritesLocked();
    if (UsableLocked() && (revents & (POLLHUP | POLLERR | POLLNVAL))) MarkGoneLocked();
    if (NeedsLinePollingLocked()) PollLinesLocked();
  }
}

void TtyDevice::ReceiveLocked() {
  std::uint8_t buffer[4096];
  while (InputRoomLocked() > 0) {
    std::size_t want = std::min(sizeof buffer, InputRoomLocked());
    ssize_t n = ::read(device_.Get(), buffer, want);
    if (n > 0) {
      AppendInputLocked(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) break;
    // 0 is the end of a hung-up line; EIO and the rest mean the device is gone.
    MarkGoneLocked();
    return;
  }
  if (hasCounters_) RefreshLineErrorsLocked();
}

void TtyDevice::RefreshLineErrorsLocked() {
  if (!hasCounters_ || !device_.Valid()) return;
  tty::Counters now;
  if (tty::ReadCounters(device_.Get(), &now) != 0) return;
  DWORD ceFlags = 0;
  DWORD events = DeltaEvents(counters_, now, &ceFlags);
  counters_ = now;
  AddErrorsLocked(ceFlags);
  PostEventsLocked(events);
}

void TtyDevice::PollLinesLocked() {
  if (hasCounters_) {
    RefreshLineErrorsLocked();
    if (hasModemLines_) (void)tty::ReadModemLines(device_.Get(), &modemLines_);
    return;
  }
  DWORD now = 0;
  if (tty::ReadModemLines(device_.Get(), &now) != 0) return;
  DWORD events = ModemChangeEvents(modemLines_, now);
  modemLines_ = now;
  PostEventsLocked(events);
}

DWORD TtyDevice::ErrorOf(int error) {
  if (error == EIO || error == ENXIO || error == ENODEV) {
    MarkGoneLocked();
    return ERROR_DEVICE_REMOVED;
  }
  return ErrorFromErrno(error);
}

DWORD TtyDevice::SendLocked(const std::uint8_t* bytes, std::size_t count, std::size_t* sent) {
  *sent = 0;
  while (*sent < count) {
    ssize_t n = ::write(device_.Get(), bytes + *sent, count - *sent);
    if (n > 0) {
      *sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return ERROR_SUCCESS;
    return ErrorOf(n < 0 ? errno : EIO);
  }
  return ERROR_SUCCESS;
}

DWORD TtyDevice::ReadLineStateLocked(DCB* dcb) {
  *dcb = shadow_;
  if (int error = tty::ReadState(device_.Get(), dcb)) return ErrorOf(error);
  // CSTOPB means 1.5 or 2 stop bits; what was set says which.
  if (dcb->StopBits != ONESTOPBIT && shadow_.StopBits != ONESTOPBIT) dcb->StopBits = shadow_.StopBits;
  // A pty has no wire and always reports 8 data bits without parity.
  if (pty_) {
    dcb->ByteSize = shadow_.ByteSize;
    dcb->Parity = shadow_.Parity;
  }
  return ERROR_SUCCESS;
}

DWORD TtyDevice::WriteLineStateLocked(const DCB& dcb) {
  // Linux has no DSR output flow and no DTR handshake; accepting them would
  // report a flow control that never happens.
  if (dcb.fOutxDsrFlow || dcb.fDtrControl == DTR_CONTROL_HANDSHAKE) return ERROR_NOT_SUPPORTED;
  int fd = device_.Get();
  DCB before = shadow_;
  if (int error = tty::ReadState(fd, &before)) return ErrorOf(error);
  if (int error = tty::WriteState(fd, dcb)) return ErrorOf(error);
  // A driver that cannot do the framing keeps its own silently; Windows
  // drivers refuse such settings, so they are undone and refused here too.
  DCB taken = dcb;
  if (!pty_ && tty::ReadState(fd, &taken) == 0 && (taken.ByteSize != dcb.ByteSize || taken.Parity != dcb.Parity)) {
    (void)tty::WriteState(fd, before);
    return ERROR_INVALID_PARAMETER;
  }
  shadow_ = dcb;
  // A device without modem lines (a pty) has nothing to drive; that is no
  // failure of the settings themselves.
  if (hasModemLines_) {
    if (dcb.fDtrControl != DTR_CONTROL_HANDSHAKE) (void)tty::DriveLine(fd, true, dcb.fDtrControl == DTR_CONTROL_ENABLE);
    if (dcb.fRtsControl == RTS_CONTROL_ENABLE || dcb.fRtsControl == RTS_CONTROL_DISABLE)
      (void)tty::DriveLine(fd, false, dcb.fRtsControl == RTS_CONTROL_ENABLE);
  }
  return ERROR_SUCCESS;
}

DWORD TtyDevice::EscapeLocked(DWORD function) {
  int fd = device_.Get();
  int error = 0;
  switch (function) {
    case SETXOFF: error = tty::SetOutputFlow(fd, false); break;
    case SETXON: error = tty::SetOutputFlow(fd, true); break;
    case SETRTS: error = tty::DriveLine(fd, false, true); break;
    case CLRRTS: error = tty::DriveLine(fd, false, false); break;
    case SETDTR: error = tty::DriveLine(fd, true, true); break;
    case CLRDTR: error = tty::DriveLine(fd, true, false); break;
    case SETBREAK: error = tty::SetBreak(fd, true); break;
    case CLRBREAK: error = tty::SetBreak(fd, false); break;
    case GETBASEIRQ: return ERROR_NOT_SUPPORTED;
    default: return ERROR_INVALID_PARAMETER;
  }
  return error ? ErrorOf(error) : ERROR_SUCCESS;
}

DWORD TtyDevice::ModemStatusLocked(DWORD* status) {
  if (int error = tty::ReadModemLines(device_.Get(), status)) return ErrorOf(error);
  return ERROR_SUCCESS;
}

DWORD TtyDevice::PurgeLineLocked(DWORD flags) {
  int fd = device_.Get();
  if (flags & PURGE_RXCLEAR) {
    if (int error = tty::FlushInput(fd)) return ErrorOf(error);
  }
  if (flags & (PURGE_TXCLEAR | PURGE_TXABORT)) {
    if (int error = tty::FlushOutput(fd)) return ErrorOf(error);
  }
  return ERROR_SUCCESS;
}

DWORD TtyDevice::LineInputCountLocked() {
  DWORD count = 0;
  return tty::InputCount(device_.Get(), &count) == 0 ? count : 0;
}

std::size_t TtyDevice::ReadLineLocked(std::uint8_t* buffer, std::size_t count) {
  std::size_t taken = 0;
  while (taken < count) {
    ssize_t n = ::read(device_.Get(), buffer + taken, count - taken);
    if (n > 0) {
      taken += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    // Nothing more now, or the line's end: the I/O thread finds the latter
    // on its next look and marks the device gone.
    break;
  }
  if (taken > 0 && hasCounters_) RefreshLineErrorsLocked();
  return taken;
}

DWORD TtyDevice::LineOutputCountLocked() {
  DWORD count = 0;
  return tty::OutputCount(device_.Get(), &count) == 0 ? count : 0;
}

}  // namespace qorv::platform
