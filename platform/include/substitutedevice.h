// A serial device in memory, for tests that need exact driver behaviour:
// received bytes, line errors, breaks and modem-line changes are scripted,
// writes can complete at once, stay pending until released, or fail, and every
// call can be counted and failed on purpose.
//
// A test creates a device under a name and maps a port to it in devices.ini
// ("COM9=substitute:name"); CreateFileA("\\.\COM9") then opens it. The device
// outlives its handles and can be opened again after a close; it is opened
// exclusively like any port (a second open fails with ERROR_ACCESS_DENIED).
//
// Thread safety: every member may be called from any thread at any time, also
// while another thread is inside a comm call on the open handle.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "commapi.h"
#include "winerror.h"

namespace qorv::platform {

// The operations that are counted and can be made to fail.
enum class SubstituteOp {
  Open,
  Read,
  Write,
  WaitEvent,    // WaitCommEvent
  SetMask,      // SetCommMask
  GetState,     // GetCommState
  SetState,     // SetCommState
  Escape,       // EscapeCommFunction
  SetupQueues,  // SetupComm
  SetTimeouts,  // SetCommTimeouts
  ClearError,   // ClearCommError
  ModemStatus,  // GetCommModemStatus
  Purge,        // PurgeComm
  Count
};

// How the device answers a WriteFile.
enum class SubstituteWriteMode {
  Complete,  // every byte is taken at once
  Pending,   // the write stays pending until CompleteNextWrite or FailNextWrite
  Fail,      // the write fails with the error given to SetWriteMode
  Vanish,    // the device goes away while it is handed the write (as Unplug)
};

class SubstitutePort;

class SubstituteDevice {
 public:
  // Creates a device and registers it under `name` (replacing an earlier
  // device of that name for later opens).
  static std::shared_ptr<SubstituteDevice> Create(const std::string& name);
  // Unregisters the name; handles that are open keep working.
  ~SubstituteDevice();

  // ---- what the device receives and sees on its lines ----
  // Queues received bytes (EV_RXCHAR). Bytes beyond the input queue size are
  // dropped and raise CE_RXOVER with EV_ERR, as a driver whose queue overflows;
  // bytes sent while no handle is open are dropped (nobody listens), and an
  // open starts with an empty queue.
  void QueueInput(const std::vector<std::uint8_t>& bytes);
  void QueueInput(const std::string& bytes);
  // Adds CE_* flags; CE_BREAK raises EV_BREAK, any other flag EV_ERR.
  void RaiseLineErrors(DWORD ceFlags);
  // Sets the modem-line levels (MS_CTS_ON ... MS_RLSD_ON); each changed line
  // raises its event; RI going off raises EV_RINGTE.
  void SetModemLines(DWORD modemStatus);
  // Makes the device go away: pending operations end with ERROR_DEVICE_REMOVED
  // and later calls fail with it.
  void Unplug();
  // Whether a wait whose mask holds EV_RINGTE is accepted (default: refused
  // with ERROR_INVALID_PARAMETER, as NT drivers do).
  void SetAcceptRingTrailingEdge(bool accept);

  // ---- writes ----
  void SetWriteMode(SubstituteWriteMode mode, DWORD failError = ERROR_GEN_FAILURE);
  // Completes the oldest pending write with `count` of its bytes taken (all of
  // them when count exceeds its size). False when no write is pending.
  bool CompleteNextWrite(DWORD count = MAXDWORD);
  // Completes the oldest pending write with an error, nothing taken.
  bool FailNextWrite(DWORD error);
  // Hands the pending writes to the device again, oldest first, as a driver
  // does when its line drains; each is taken, left pending or failed as the
  // write mode now says.
  void RetryPendingWrites();
  std::size_t PendingWrites() const;
  // Every byte the device has taken, in order.
  std::vector<std::uint8_t> Written() const;
  // Blocks until the device has taken at least `count` bytes in all, or holds
  // at least `count` pending writes; false when the bound passes first.
  bool WaitForWritten(std::size_t count, std::chrono::milliseconds bound);
  bool WaitForPendingWrites(std::size_t count, std::chrono::milliseconds bound);

  // ---- what was done to the device ----
  // One entry per call that changes line state or configuration, in order:
  // "SETUP 20000 4096", "DCB 115200 8 N 1 dtr=1 rts=1 cts=0 dsr=0 outx=0 inx=0
  // xon=17 xoff=19 xonlim=2048 xofflim=512", "SETDTR", "CLRRTS", "SETBREAK",
  // "CLRBREAK", "SETXON", "SETXOFF", "PURGE 0x0A", "MASK 0x1F9",
  // "TIMEOUTS 4294967295 0 0 0 0".
  std::vector<std::string> LineLog() const;
  DCB State() const;
  bool DtrOn() const;
  bool RtsOn() const;
  bool BreakOn() const;
  bool IsOpen() const;

  // ---- counting and fault injection ----
  // Calls of an operation since the device was created (failed ones too).
  DWORD Calls(SubstituteOp op) const;
  // Fails the nth call of `op` from now (1 = the next one; 0 disarms) with
  // `error`, and, when persistent, every call after it as well. Replaces an
  // earlier fault of that operation. A failed call changes nothing.
  void FailCall(SubstituteOp op, DWORD nth, DWORD error, bool persistent = false);
  void ClearFaults();
  // Faults injected so far.
  DWORD InjectedFaults() const;

  // For the platform: the port that handles opened on this device use.
  std::shared_ptr<SubstitutePort> Port() const { return port_; }

 private:
  explicit SubstituteDevice(std::string name);
  std::string name_;
  std::shared_ptr<SubstitutePort> port_;
};

}  // namespace qorv::platform
