// What every serial device handle shares: the driver's input queue, the event
// mask with its remembered events and the one pending event wait, the queue of
// writes that could not finish at once, accumulated line errors, time-outs, and
// the end of all pending work when the handle closes or the device goes away.
// Device kinds (tty, substitute) supply the line itself.
//
// Locking: lock_ guards every field here and in the device kinds. Completing an
// OVERLAPPED (which takes the kernel objects' wait lock to set its event) is
// done with lock_ held; nothing takes lock_ while holding the wait lock, so the
// order lock_ -> wait lock is the only one.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "KernelObject.h"
#include "commapi.h"
#include "substitutedevice.h"

namespace qorv::platform {

class CommPort : public IoObject {
 public:
  CommPort();

  BOOL Read(void* buffer, DWORD count, DWORD* done, OVERLAPPED* overlapped) override;
  BOOL Write(const void* buffer, DWORD count, DWORD* done, OVERLAPPED* overlapped) override;
  BOOL CancelIo() override;
  void OnHandleClosed() override;

  BOOL SetupQueues(DWORD inQueue, DWORD outQueue);
  BOOL GetState(DCB* dcb);
  BOOL SetState(const DCB& dcb);
  BOOL GetTimeouts(COMMTIMEOUTS* timeouts);
  BOOL SetTimeouts(const COMMTIMEOUTS& timeouts);
  BOOL SetMask(DWORD mask);
  BOOL GetMask(DWORD* mask);
  BOOL WaitEvent(DWORD* eventMask, OVERLAPPED* overlapped);
  BOOL ClearError(DWORD* errors, COMSTAT* status);
  BOOL Escape(DWORD function);
  BOOL ModemStatus(DWORD* status);
  BOOL Purge(DWORD flags);

 protected:
  struct PendingWrite {
    std::vector<std::uint8_t> Data;
    std::size_t Sent = 0;
    OVERLAPPED* Overlapped = nullptr;
  };

  // ---- supplied by the device kind; called with lock_ held ----
  // The error to fail this call with (a fault injected by a test), or 0.
  virtual DWORD InjectedFaultLocked(SubstituteOp) { return 0; }
  // Sends what the line takes now; *sent gets the count. 0, or the error.
  virtual DWORD SendLocked(const std::uint8_t* bytes, std::size_t count, std::size_t* sent) = 0;
  virtual DWORD ReadLineStateLocked(DCB* dcb) = 0;
  virtual DWORD WriteLineStateLocked(const DCB& dcb) = 0;
  virtual DWORD EscapeLocked(DWORD function) = 0;
  virtual DWORD ModemStatusLocked(DWORD* status) = 0;
  // Drops what the line itself still holds (flags as PurgeComm's).
  virtual DWORD PurgeLineLocked(DWORD flags) = 0;
  virtual bool AcceptsRingTrailingEdgeLocked() const { return false; }
  // Bytes received that the line holds beyond the input queue, and bytes
  // handed to the line but not yet sent.
  virtual DWORD LineInputCountLocked() { return 0; }
  // Takes up to count received bytes the line still holds (they follow the
  // input queue's); how many. A read that emptied the queue goes on here, so
  // it returns every byte ClearCommError counted.
  virtual std::size_t ReadLineLocked(std::uint8_t*, std::size_t) { return 0; }
  virtual DWORD LineOutputCountLocked() { return 0; }
  // Lets a device fold in line errors it learns of by asking (counters).
  virtual void RefreshLineErrorsLocked() {}
  // Told when something the device thread watches has changed: a write was
  // queued, room appeared in the input queue, the mask changed.
  virtual void WakeLocked() {}
  virtual void RecordLocked(const std::string&) {}
  // Ends the device's own work after the handle closed; called without lock_.
  virtual void Shutdown() {}

  // ---- for the device kinds; with lock_ held ----
  void PostEventsLocked(DWORD events);
  void AddErrorsLocked(DWORD ceFlags);
  // Appends received bytes up to the room left; returns how many were taken.
  std::size_t AppendInputLocked(const std::uint8_t* bytes, std::size_t count);
  std::size_t InputRoomLocked() const;
  // Sends queued writes in order until the line takes no more.
  void ProgressWritesLocked();
  void CompleteFrontWriteLocked(DWORD error);
  void CompleteWriteLocked(const PendingWrite& write, DWORD error);
  void AbortWritesLocked(DWORD error);
  void MarkGoneLocked();
  // Back to the state of a freshly opened device (queue size kept).
  void ResetForOpenLocked();
  bool UsableLocked() const { return !gone_ && !closed_; }

  mutable std::mutex lock_;
  std::deque<PendingWrite> writes_;
  DWORD mask_ = 0;
  bool gone_ = false;
  bool closed_ = false;

 private:
  struct PendingWait {
    OVERLAPPED* Overlapped = nullptr;
    DWORD* EventMask = nullptr;
  };

  DWORD CheckCallLocked(SubstituteOp op);
  BOOL WriteLocked(const void* buffer, DWORD count, DWORD* done, OVERLAPPED* overlapped);
  BOOL WaitEventLocked(DWORD* eventMask, OVERLAPPED* overlapped);
  void EndWaitLocked(DWORD error);
  // Runs a call whose completion is waited for here because it has no
  // OVERLAPPED of its own; `start` returns what the overlapped call would.
  template <class Start>
  BOOL RunSynchronously(std::unique_lock<std::mutex>& lock, DWORD* done, Start start);

  std::deque<std::uint8_t> input_;
  std::size_t inputCapacity_ = 4096;
  DWORD history_ = 0;
  PendingWait wait_;
  DWORD errors_ = 0;
  COMMTIMEOUTS timeouts_{};
};

// Blocks until an overlapped operation is no longer pending (Overlapped.cpp).
void WaitForCompletion(const OVERLAPPED* overlapped);

}  // namespace qorv::platform
