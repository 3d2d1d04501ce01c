#include "CommPort.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <utility>

#include "CommState.h"
#include "winerror.h"

namespace qorv::platform {

namespace {

constexpr DWORD kKnownPurgeFlags = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
constexpr std::size_t kMaxQueueSize = 64u << 20;

void SetCount(DWORD* done, DWORD count) {
  if (done) *done = count;
}

}  // namespace

CommPort::CommPort() = default;

DWORD CommPort::CheckCallLocked(SubstituteOp op) {
  if (DWORD fault = InjectedFaultLocked(op)) return fault;
  if (!UsableLocked()) return ERROR_DEVICE_REMOVED;
  return ERROR_SUCCESS;
}

template <class Start>
BOOL CommPort::RunSynchronously(std::unique_lock<std::mutex>& lock, DWORD* done, Start start) {
  OVERLAPPED local{};
  if (start(&local)) {
    SetCount(done, static_cast<DWORD>(std::atomic_ref<ULONG_PTR>(local.InternalHigh).load()));
    return TRUE;
  }
  if (GetLastError() != ERROR_IO_PENDING) return FALSE;
  lock.unlock();
  WaitForCompletion(&local);
  auto status = static_cast<DWORD>(OverlappedStatus(&local));
  SetCount(done, static_cast<DWORD>(std::atomic_ref<ULONG_PTR>(local.InternalHigh).load()));
  return status == ERROR_SUCCESS ? TRUE : FailWith(status);
}

BOOL CommPort::Read(void* buffer, DWORD count, DWORD* done, OVERLAPPED* overlapped) {
  std::lock_guard guard(lock_);
  if (DWORD fault = InjectedFaultLocked(SubstituteOp::Read)) return FailWith(fault);
  // A device that went away still hands over what it had received.
  if (closed_ || (gone_ && input_.empty())) return FailWith(ERROR_DEVICE_REMOVED);
  if (buffer == nullptr && count > 0) return FailWith(ERROR_INVALID_PARAMETER);
  bool wasFull = InputRoomLocked() == 0;
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  auto n = std::min<std::size_t>(count, input_.size());
  std::copy_n(input_.begin(), n, bytes);
  input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(n));
  if (wasFull && n > 0) WakeLocked();
  if (n < count && input_.empty() && UsableLocked()) n += ReadLineLocked(bytes + n, count - n);
  SetCount(done, static_cast<DWORD>(n));
  CompleteOverlapped(overlapped, ERROR_SUCCESS, static_cast<DWORD>(n));
  return TRUE;
}

BOOL CommPort::Write(const void* buffer, DWORD count, DWORD* done, OVERLAPPED* overlapped) {
  std::unique_lock lock(lock_);
  if (overlapped == nullptr) {
    return RunSynchronously(lock, done, [&](OVERLAPPED* local) { return WriteLocked(buffer, count, done, local); });
  }
  return WriteLocked(buffer, count, done, overlapped);
}

BOOL CommPort::WriteLocked(const void* buffer, DWORD count, DWORD* done, OVERLAPPED* overlapped) {
  SetCount(done, 0);
  if (DWORD error = CheckCallLocked(SubstituteOp::Write)) return FailWith(error);
  if (buffer == nullptr && count > 0) return FailWith(ERROR_INVALID_PARAMETER);
  auto bytes = static_cast<const std::uint8_t*>(buffer);
  std::size_t sent = 0;
  if (writes_.empty() && count > 0) {
    if (DWORD error = SendLocked(bytes, count, &sent)) return FailWith(error);
  }
  if (sent == count) {
    SetCount(done, count);
    CompleteOverlapped(overlapped, ERROR_SUCCESS, count);
    if (count > 0) PostEventsLocked(EV_TXEMPTY);
    return TRUE;
  }
  StartOverlapped(overlapped);
  writes_.push_back(PendingWrite{std::vector<std::uint8_t>(bytes, bytes + count), sent, overlapped});
  WakeLocked();
  return FailWith(ERROR_IO_PENDING);
}

BOOL CommPort::CancelIo() {
  std::lock_guard guard(lock_);
  EndWaitLocked(ERROR_OPERATION_ABORTED);
  AbortWritesLocked(ERROR_OPERATION_ABORTED);
  return TRUE;
}

void CommPort::OnHandleClosed() {
  {
    std::lock_guard guard(lock_);
    closed_ = true;
    EndWaitLocked(ERROR_OPERATION_ABORTED);
    AbortWritesLocked(ERROR_OPERATION_ABORTED);
    input_.clear();
  }
  Shutdown();
}

BOOL CommPort::SetupQueues(DWORD inQueue, DWORD outQueue) {
  std::lock_guard guard(lock_);
  if (DWORD error = CheckCallLocked(SubstituteOp::SetupQueues)) return FailWith(error);
  if (inQueue == 0 || inQueue > kMaxQueueSize || outQueue > kMaxQueueSize) return FailWith(ERROR_INVALID_PARAMETER);
  // Bytes already received stay; a smaller queue only takes no more until read.
  bool hadNoRoom = InputRoomLocked() == 0;
  inputCapacity_ = inQueue;
  if (hadNoRoom && InputRoomLocked() > 0) WakeLocked();
  char entry[48];
  std::snprintf(entry, sizeof entry, "SETUP %u %u", inQueue, outQueue);
  RecordLocked(entry);
  return TRUE;
}

BOOL CommPort::GetState(DCB* dcb) {
  std::lock_guard guard(lock_);
  if (DWORD error = CheckCallLocked(SubstituteOp::GetState)) return FailWith(error);
  if (dcb == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
  DCB state{};
  if (DWORD error = ReadLineStateLocked(&state)) return FailWith(error);
  state.DCBlength = sizeof(DCB);
  *dcb = state;
  return TRUE;
}

BOOL CommPort::SetState(const DCB& dcb) {
  std::lock_guard guard(lock_);
  if (DWORD error = CheckCallLocked(SubstituteOp::SetState)) return FailWith(error);
  if (DWORD error = ValidateDcb(dcb)) return FailWith(error);
  if (DWORD error = WriteLineStateLocked(dcb)) return FailWith(error);
  RecordLocked(DescribeDcb(dcb));
  return TRUE;
}

BOOL CommPort::GetTimeouts(COMMTIMEOUTS* timeouts) {
  std::lock_guard guard(lock_);
  if (!UsableLocked()) return FailWith(ERROR_DEVICE_REMOVED);
  if (timeouts == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
  *timeouts = timeouts_;
  return TRUE;
}

BOOL CommPort::SetTimeouts(const COMMTIMEOUTS& timeouts) {
  std::lock_guard guard(lock_);
  if (DWORD error = CheckCallLocked(SubstituteOp::SetTimeouts)) return FailWith(error);
  timeouts_ = timeouts;
  char entry[96];
  std::snprintf(entry, sizeof entry, "TIMEOUTS %u %u %u %u %u", timeouts.ReadIntervalTimeout,
                timeouts.ReadTotalTimeoutMultiplier, timeouts.ReadTotalTimeoutConstant,
                timeouts.WriteTotalTimeoutMultiplier, timeouts.WriteTotalTimeoutConstant);
  RecordLocked(entry);
  return TRUE;
}

BOOL CommPort::SetMask(DWORD mask) {
  std::lock_guard guard(lock_);
  if (DWORD error = CheckCallLocked(SubstituteOp::SetMask)) return FailWith(error);
  mask_ = mask;
  history_ = 0;
  EndWaitLocked(ERROR_OPERATION_ABORTED);
  WakeLocked();
  char entry[32];
  std::snprintf(entry, sizeof entry, "MASK 0x%X", mask);
  RecordLocked(entry);
  return TRUE;
}

BOOL CommPort::GetMask(DWORD* mask) {
  std::lock_guard guard(lock_);
  if (!UsableLocked()) return FailWith(ERROR_DEVICE_REMOVED);
  if (mask == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
  *mask = mask_;
  return TRUE;
}

BOOL CommPort::WaitEvent(DWORD* eventMask, OVERLAPPED* overlapped) {
  std::unique_lock lock(lock_);
  if (overlapped == nullptr) {
    return RunSynchronously(lock, nullptr, [&](OVERLAPPED* local) { return WaitEventLocked(eventMask, local); });
  }
  return WaitEventLocked(eventMask, overlapped);
}

BOOL CommPort::WaitEventLocked(DWORD* eventMask, OVERLAPPED* overlapped) {
  if (DWORD error = CheckCallLocked(SubstituteOp::WaitEvent)) return FailWith(error);
  if (eventMask == nullptr || mask_ == 0 || wait_.Overlapped != nullptr) return FailWith(ERROR_INVALID_PARAMETER);
  if ((mask_ & EV_RINGTE) && !AcceptsRingTrailingEdgeLocked()) return FailWith(ERROR_INVALID_PARAMETER);
  if (DWORD seen = history_ & mask_) {
    history_ = 0;
    *eventMask = seen;
    CompleteOverlapped(overlapped, ERROR_SUCCESS, 0);
    return TRUE;
  }
  StartOverlapped(overlapped);
  wait_ = PendingWait{overlapped, eventMask};
  return FailWith(ERROR_IO_PENDING);
}

BOOL CommPort::ClearError(DWORD* errors, COMSTAT* status) {
  std::lock_guard guard(lock_);
  if (DWORD error = CheckCallLocked(SubstituteOp::ClearError)) return FailWith(error);
  RefreshLineErrorsLocked();
  if (errors) *errors = errors_;
  errors_ = 0;
  if (status) {
    *status = COMSTAT{};
    status->cbInQue = static_cast<DWORD>(input_.size()) + LineInputCountLocked();
    std::size_t queued = 0;
    for (const auto& write : writes_) queued += write.Data.size() - write.Sent;
    status->cbOutQue = static_cast<DWORD>(queued) + LineOutputCountLocked();
  }
  return TRUE;
}

BOOL CommPort::Escape(DWORD function) {
  std::lock_guard guard(lock_);
  if (DWORD error = CheckCallLocked(SubstituteOp::Escape)) return FailWith(error);
  if (DWORD error = EscapeLocked(function)) return FailWith(error);
  return TRUE;
}

BOOL CommPort::ModemStatus(DWORD* status) {
  std::lock_guard guard(lock_);
  if (status == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
  *status = 0;
  if (DWORD error = CheckCallLocked(SubstituteOp::ModemStatus)) return FailWith(error);
  if (DWORD error = ModemStatusLocked(status)) return FailWith(error);
  return TRUE;
}

BOOL CommPort::Purge(DWORD flags) {
  std::lock_guard guard(lock_);
  if (DWORD error = CheckCallLocked(SubstituteOp::Purge)) return FailWith(error);
  if (flags & ~kKnownPurgeFlags) return FailWith(ERROR_INVALID_PARAMETER);
  if (flags & (PURGE_TXABORT | PURGE_TXCLEAR)) AbortWritesLocked(ERROR_OPERATION_ABORTED);
  if (flags & PURGE_RXCLEAR) {
    bool hadNoRoom = InputRoomLocked() == 0;
    input_.clear();
    if (hadNoRoom) WakeLocked();
  }
  if (DWORD error = PurgeLineLocked(flags)) return FailWith(error);
  char entry[32];
  std::snprintf(entry, sizeof entry, "PURGE 0x%02X", flags);
  RecordLocked(entry);
  return TRUE;
}

void CommPort::PostEventsLocked(DWORD events) {
  history_ |= events & mask_;
  if (wait_.Overlapped == nullptr || history_ == 0) return;
  *wait_.EventMask = history_;
  history_ = 0;
  auto* overlapped = std::exchange(wait_.Overlapped, nullptr);
  CompleteOverlapped(overlapped, ERROR_SUCCESS, 0);
}

void CommPort::EndWaitLocked(DWORD error) {
  if (wait_.Overlapped == nullptr) return;
  *wait_.EventMask = 0;
  auto* overlapped = std::exchange(wait_.Overlapped, nullptr);
  CompleteOverlapped(overlapped, error, 0);
}

void CommPort::AddErrorsLocked(DWORD ceFlags) {
  if (ceFlags == 0) return;
  errors_ |= ceFlags;
  DWORD events = 0;
  if (ceFlags & CE_BREAK) events |= EV_BREAK;
  if (ceFlags & ~CE_BREAK) events |= EV_ERR;
  PostEventsLocked(events);
}

std::size_t CommPort::InputRoomLocked() const {
  return input_.size() >= inputCapacity_ ? 0 : inputCapacity_ - input_.size();
}

std::size_t CommPort::AppendInputLocked(const std::uint8_t* bytes, std::size_t count) {
  auto n = std::min(count, InputRoomLocked());
  input_.insert(input_.end(), bytes, bytes + n);
  if (n > 0) PostEventsLocked(EV_RXCHAR);
  return n;
}

void CommPort::ProgressWritesLocked() {
  while (!writes_.empty() && UsableLocked()) {
    // The write is off the queue while the line has it: a send that finds the
    // device gone ends every queued write, and must not end this one under us.
    PendingWrite write = std::move(writes_.front());
    writes_.pop_front();
    std::size_t sent = 0;
    DWORD error = SendLocked(write.Data.data() + write.Sent, write.Data.size() - write.Sent, &sent);
    write.Sent += sent;
    if (error == ERROR_SUCCESS && write.Sent < write.Data.size()) {
      writes_.push_front(std::move(write));
      return;
    }
    CompleteWriteLocked(write, error);
  }
}

void CommPort::CompleteFrontWriteLocked(DWORD error) {
  auto write = std::move(writes_.front());
  writes_.pop_front();
  CompleteWriteLocked(write, error);
}

void CommPort::CompleteWriteLocked(const PendingWrite& write, DWORD error) {
  CompleteOverlapped(write.Overlapped, error, static_cast<DWORD>(write.Sent));
  if (error == ERROR_SUCCESS && writes_.empty()) PostEventsLocked(EV_TXEMPTY);
}

void CommPort::AbortWritesLocked(DWORD error) {
  while (!writes_.empty()) {
    auto write = std::move(writes_.front());
    writes_.pop_front();
    CompleteOverlapped(write.Overlapped, error, static_cast<DWORD>(write.Sent));
  }
}

void CommPort::ResetForOpenLocked() {
  input_.clear();
  history_ = 0;
  errors_ = 0;
  mask_ = 0;
  timeouts_ = COMMTIMEOUTS{};
  closed_ = false;
}

void CommPort::MarkGoneLocked() {
  if (gone_) return;
  gone_ = true;
  EndWaitLocked(ERROR_DEVICE_REMOVED);
  AbortWritesLocked(ERROR_DEVICE_REMOVED);
  WakeLocked();
}

}  // namespace qorv::platform
