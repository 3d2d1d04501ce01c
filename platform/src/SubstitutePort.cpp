#include "SubstitutePort.h"

#include "CommState.h"
#include "winerror.h"

namespace qorv::platform {

SubstitutePort::SubstitutePort() {
  // What a freshly installed port reports before anyone configures it.
  dcb_.DCBlength = sizeof(DCB);
  dcb_.BaudRate = CBR_9600;
  dcb_.fBinary = 1;
  dcb_.fDtrControl = DTR_CONTROL_ENABLE;
  dcb_.fRtsControl = RTS_CONTROL_ENABLE;
  dcb_.fTXContinueOnXoff = 1;
  dcb_.XonLim = 2048;
  dcb_.XoffLim = 512;
  dcb_.ByteSize = 8;
  dcb_.XonChar = 0x11;
  dcb_.XoffChar = 0x13;
  closed_ = true;
}

DWORD SubstitutePort::Attach() {
  std::lock_guard guard(lock_);
  if (DWORD fault = plan_.Count(SubstituteOp::Open)) return fault;
  if (gone_) return ERROR_FILE_NOT_FOUND;
  if (open_) return ERROR_ACCESS_DENIED;
  ResetForOpenLocked();
  open_ = true;
  return ERROR_SUCCESS;
}

void SubstitutePort::Shutdown() {
  std::lock_guard guard(lock_);
  open_ = false;
  changed_.notify_all();
}

void SubstitutePort::QueueInput(const std::uint8_t* bytes, std::size_t count) {
  std::lock_guard guard(lock_);
  // Nobody listens on a closed or vanished line.
  if (!UsableLocked()) return;
  if (AppendInputLocked(bytes, count) < count) AddErrorsLocked(CE_RXOVER);
}

void SubstitutePort::RaiseLineErrors(DWORD ceFlags) {
  std::lock_guard guard(lock_);
  if (UsableLocked()) AddErrorsLocked(ceFlags);
}

void SubstitutePort::SetModemLines(DWORD modemStatus) {
  std::lock_guard guard(lock_);
  DWORD events = ModemChangeEvents(modem_, modemStatus);
  modem_ = modemStatus;
  if (UsableLocked()) PostEventsLocked(events);
}

void SubstitutePort::Unplug() {
  std::lock_guard guard(lock_);
  MarkGoneLocked();
}

void SubstitutePort::SetAcceptRingTrailingEdge(bool accept) {
  std::lock_guard guard(lock_);
  acceptRingTrailingEdge_ = accept;
}

void SubstitutePort::SetWriteMode(SubstituteWriteMode mode, DWORD failError) {
  std::lock_guard guard(lock_);
  writeMode_ = mode;
  failError_ = failError;
}

DWORD SubstitutePort::SendLocked(const std::uint8_t* bytes, std::size_t count, std::size_t* sent) {
  *sent = 0;
  switch (writeMode_) {
    case SubstituteWriteMode::Complete:
      written_.insert(written_.end(), bytes, bytes + count);
      *sent = count;
      changed_.notify_all();
      return ERROR_SUCCESS;
    case SubstituteWriteMode::Pending: return ERROR_SUCCESS;
    case SubstituteWriteMode::Fail: return failError_;
    case SubstituteWriteMode::Vanish: MarkGoneLocked(); return ERROR_DEVICE_REMOVED;
  }
  return ERROR_SUCCESS;
}

bool SubstitutePort::CompleteNextWrite(DWORD count) {
  std::lock_guard guard(lock_);
  if (writes_.empty()) return false;
  auto& front = writes_.front();
  std::size_t n = std::min<std::size_t>(count, front.Data.size() - front.Sent);
  auto begin = front.Data.begin() + static_cast<std::ptrdiff_t>(front.Sent);
  written_.insert(written_.end(), begin, begin + static_cast<std::ptrdiff_t>(n));
  front.Sent += n;
  CompleteFrontWriteLocked(ERROR_SUCCESS);
  changed_.notify_all();
  return true;
}

bool SubstitutePort::FailNextWrite(DWORD error) {
  std::lock_guard guard(lock_);
  if (writes_.empty()) return false;
  CompleteFrontWriteLocked(error);
  changed_.notify_all();
  return true;
}

void SubstitutePort::RetryPendingWrites() {
  std::lock_guard guard(lock_);
  ProgressWritesLocked();
  changed_.notify_all();
}

std::size_t SubstitutePort::PendingWrites() const {
  std::lock_guard guard(lock_);
  return writes_.size();
}

std::vector<std::uint8_t> SubstitutePort::Written() const {
  std::lock_guard guard(lock_);
  return written_;
}

bool SubstitutePort::WaitForWritten(std::size_t count, std::chrono::milliseconds bound) {
  std::unique_lock lock(lock_);
  return changed_.wait_for(lock, bound, [&] { return written_.size() >= count; });
}

bool SubstitutePort::WaitForPendingWrites(std::size_t count, std::chrono::milliseconds bound) {
  std::unique_lock lock(lock_);
  return changed_.wait_for(lock, bound, [&] { return writes_.size() >= count; });
}

std::vector<std::string> SubstitutePort::LineLog() const {
  std::lock_guard guard(lock_);
  return log_;
}

DCB SubstitutePort::State() const {
  std::lock_guard guard(lock_);
  return dcb_;
}

bool SubstitutePort::DtrOn() const {
  std::lock_guard guard(lock_);
  return dtr_;
}

bool SubstitutePort::RtsOn() const {
  std::lock_guard guard(lock_);
  return rts_;
}

bool SubstitutePort::BreakOn() const {
  std::lock_guard guard(lock_);
  return break_;
}

bool SubstitutePort::IsOpen() const {
  std::lock_guard guard(lock_);
  return open_;
}

DWORD SubstitutePort::Calls(SubstituteOp op) const {
  std::lock_guard guard(lock_);
  return plan_.Calls(op);
}

void SubstitutePort::FailCall(SubstituteOp op, DWORD nth, DWORD error, bool persistent) {
  std::lock_guard guard(lock_);
  plan_.Arm(op, nth, error, persistent);
}

void SubstitutePort::ClearFaults() {
  std::lock_guard guard(lock_);
  plan_.Clear();
}

DWORD SubstitutePort::InjectedFaults() const {
  std::lock_guard guard(lock_);
  return plan_.Injected();
}

DWORD SubstitutePort::ReadLineStateLocked(DCB* dcb) {
  *dcb = dcb_;
  return ERROR_SUCCESS;
}

DWORD SubstitutePort::WriteLineStateLocked(const DCB& dcb) {
  dcb_ = dcb;
  // The driver drives the lines the modes name; handshake modes start raised.
  dtr_ = dcb.fDtrControl != DTR_CONTROL_DISABLE;
  rts_ = dcb.fRtsControl == RTS_CONTROL_ENABLE || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE;
  return ERROR_SUCCESS;
}

DWORD SubstitutePort::EscapeLocked(DWORD function) {
  static const char* const kNames[] = {nullptr,  "SETXOFF", "SETXON",   "SETRTS",   "CLRRTS",
                                       "SETDTR", "CLRDTR",  "RESETDEV", "SETBREAK", "CLRBREAK"};
  switch (function) {
    case SETRTS: rts_ = true; break;
    case CLRRTS: rts_ = false; break;
    case SETDTR: dtr_ = true; break;
    case CLRDTR: dtr_ = false; break;
    case SETBREAK: break_ = true; break;
    case CLRBREAK: break_ = false; break;
    case SETXON:
    case SETXOFF: break;
    case GETBASEIRQ: return ERROR_NOT_SUPPORTED;
    default: return ERROR_INVALID_PARAMETER;
  }
  RecordLocked(kNames[function]);
  return ERROR_SUCCESS;
}

DWORD SubstitutePort::ModemStatusLocked(DWORD* status) {
  *status = modem_;
  return ERROR_SUCCESS;
}

}  // namespace qorv::platform
