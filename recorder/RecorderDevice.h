// The device members of the control that act: puts that send a command frame,
// the clock-set put, the port puts, and the creation defaults.
//
// A sending put sends first, then does its follow-up step, and stores the
// value only when all of that went through: a serial error raised by the port
// passes out of the put and leaves the stored value as it was. Gets and the
// plain stores (Line, Date, Time, SavePath) read and write the state directly.
#pragma once

#include "ClockSetFrame.h"
#include "RecorderPort.h"
#include "RecorderState.h"

namespace qorv::recorder {

class TRecorderDevice {
 public:
  TRecorderDevice(TRecorderState& state, IRecorderPort& port) : state_(state), port_(port) {}

  // The defaults of every control's creation, in their order. The state is
  // shared, so they apply to every control of the process.
  void ApplyCreationDefaults();

  void PutConnect(TComBool value);
  void PutDisconnect(TComBool value);
  // After its frame: the recording restarts (AudioIndex 44).
  void PutStartRecord(TComBool value);
  // After its frame: the WAV file is written.
  void PutStopRecord(TComBool value);
  void PutSetProtocol1(TComBool value);
  void PutSetProtocol2(TComBool value);
  void PutSetProtocol3(TComBool value);
  // Sends on every put: the star-on frame for true, the star-off frame for false.
  void PutSetStarONOFF(TComBool value);
  void PutSetStatus(TComBool value);
  void PutReadTime(TComBool value);

  // Returns the input error whose message the control shows when visible.
  // With a blank Date or Time nothing happens at all, also for false.
  [[nodiscard]] TClockInputError PutSetTime(TComBool value);

  // Stored before the port is moved, so a failed reopen keeps the new number.
  void PutPortNumber(signed char value);
  // Stored only when the open or close went through.
  void PutOpenPort(TComBool value);

 private:
  template <typename FollowUp>
  void SendThenStore(TComBool value, TComBool& stored, const std::string& frame, FollowUp followUp);
  void SendThenStore(TComBool value, TComBool& stored, const std::string& frame);

  TRecorderState& state_;
  IRecorderPort& port_;
};

}  // namespace qorv::recorder
