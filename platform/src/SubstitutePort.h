// The in-memory device behind SubstituteDevice (substitutedevice.h): the
// handle object of an open substitute port, and the test's controls.
#pragma once

#include <chrono>
#include <condition_variable>
#include <string>
#include <vector>

#include "CommPort.h"
#include "FaultPlan.h"

namespace qorv::platform {

class SubstitutePort : public CommPort {
 public:
  SubstitutePort();

  // For OpenCommDevice: takes the device for a new handle. 0, or
  // ERROR_ACCESS_DENIED while another handle holds it, ERROR_FILE_NOT_FOUND
  // once unplugged, or an injected fault.
  DWORD Attach();

  void QueueInput(const std::uint8_t* bytes, std::size_t count);
  void RaiseLineErrors(DWORD ceFlags);
  void SetModemLines(DWORD modemStatus);
  void Unplug();
  void SetAcceptRingTrailingEdge(bool accept);
  void SetWriteMode(SubstituteWriteMode mode, DWORD failError);
  bool CompleteNextWrite(DWORD count);
  bool FailNextWrite(DWORD error);
  void RetryPendingWrites();
  std::size_t PendingWrites() const;
  std::vector<std::uint8_t> Written() const;
  bool WaitForWritten(std::size_t count, std::chrono::milliseconds bound);
  bool WaitForPendingWrites(std::size_t count, std::chrono::milliseconds bound);
  std::vector<std::string> LineLog() const;
  DCB State() const;
  bool DtrOn() const;
  bool RtsOn() const;
  bool BreakOn() const;
  bool IsOpen() const;
  DWORD Calls(SubstituteOp op) const;
  void FailCall(SubstituteOp op, DWORD nth, DWORD error, bool persistent);
  void ClearFaults();
  DWORD InjectedFaults() const;

 protected:
  DWORD InjectedFaultLocked(SubstituteOp op) override { return plan_.Count(op); }
  DWORD SendLocked(const std::uint8_t* bytes, std::size_t count, std::size_t* sent) override;
  DWORD ReadLineStateLocked(DCB* dcb) override;
  DWORD WriteLineStateLocked(const DCB& dcb) override;
  DWORD EscapeLocked(DWORD function) override;
  DWORD ModemStatusLocked(DWORD* status) override;
  DWORD PurgeLineLocked(DWORD) override { return 0; }
  bool AcceptsRingTrailingEdgeLocked() const override { return acceptRingTrailingEdge_; }
  void WakeLocked() override { changed_.notify_all(); }
  void RecordLocked(const std::string& entry) override { log_.push_back(entry); }
  void Shutdown() override;

 private:
  bool open_ = false;
  bool acceptRingTrailingEdge_ = false;
  SubstituteWriteMode writeMode_ = SubstituteWriteMode::Complete;
  DWORD failError_ = 0;
  std::vector<std::uint8_t> written_;
  std::vector<std::string> log_;
  DCB dcb_{};
  DWORD modem_ = 0;
  bool dtr_ = false;
  bool rts_ = false;
  bool break_ = false;
  FaultPlan plan_;
  std::condition_variable changed_;
};

}  // namespace qorv::platform
