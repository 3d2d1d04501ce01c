#include "RecorderDevice.h"

#include "AudioCapture.h"
#include "RecorderCommands.h"
#include "WaveFile.h"

namespace qorv::recorder {
namespace {

constexpr signed char kDefaultLine = 1;
constexpr signed char kDefaultPortNumber = 1;
constexpr const char* kDefaultSavePath = "c:\\fileQorv1.wav";

}  // namespace

void TRecorderDevice::ApplyCreationDefaults() {
  state_.LineLength = 1;
  state_.FrameLength = 1;
  state_.Line = kDefaultLine;
  state_.PortNumber = kDefaultPortNumber;
  port_.SetComNumber(static_cast<BYTE>(kDefaultPortNumber));
  state_.SavePath = kDefaultSavePath;
  state_.CallerID.clear();
  state_.QorEvent.clear();
}

template <typename FollowUp>
void TRecorderDevice::SendThenStore(TComBool value, TComBool& stored, const std::string& frame, FollowUp followUp) {
  if (IsComTrue(value)) {
    port_.WriteText(frame);
    followUp();
  }
  stored = value;
}

void TRecorderDevice::SendThenStore(TComBool value, TComBool& stored, const std::string& frame) {
  SendThenStore(value, stored, frame, [] {});
}

void TRecorderDevice::PutConnect(TComBool value) { SendThenStore(value, state_.Connect, ConnectFrame(state_.Line)); }

void TRecorderDevice::PutDisconnect(TComBool value) {
  SendThenStore(value, state_.Disconnect, DisconnectFrame(state_.Line));
}

void TRecorderDevice::PutStartRecord(TComBool value) {
  SendThenStore(value, state_.StartRecord, StartRecordFrame(state_.Line), [this] { RestartCapture(state_); });
}

void TRecorderDevice::PutStopRecord(TComBool value) {
  SendThenStore(value, state_.StopRecord, StopRecordFrame(), [this] { WriteWaveFile(state_); });
}

void TRecorderDevice::PutSetProtocol1(TComBool value) {
  SendThenStore(value, state_.SetProtocol1, ProtocolFrame(TProtocolSelector::Protocol1));
}

void TRecorderDevice::PutSetProtocol2(TComBool value) {
  SendThenStore(value, state_.SetProtocol2, ProtocolFrame(TProtocolSelector::Protocol2));
}

void TRecorderDevice::PutSetProtocol3(TComBool value) {
  SendThenStore(value, state_.SetProtocol3, ProtocolFrame(TProtocolSelector::Protocol3));
}

void TRecorderDevice::PutSetStarONOFF(TComBool value) {
  port_.WriteText(ProtocolFrame(IsComTrue(value) ? TProtocolSelector::StarOn : TProtocolSelector::StarOff));
  state_.SetStarONOFF = value;
}

void TRecorderDevice::PutSetStatus(TComBool value) { SendThenStore(value, state_.SetStatus, SetStatusFrame()); }

void TRecorderDevice::PutReadTime(TComBool value) { SendThenStore(value, state_.ReadTime, ReadTimeFrame()); }

TClockInputError TRecorderDevice::PutSetTime(TComBool value) {
  if (IsBlankText(state_.Time) || IsBlankText(state_.Date)) return TClockInputError::None;
  if (!IsComTrue(value)) {
    state_.SetTime = 0;
    return TClockInputError::None;
  }
  const TClockSetFrame frame = BuildClockSetFrame(state_.Date, state_.Time);
  if (frame.Error != TClockInputError::None) {
    state_.SetTime = 0;
    return frame.Error;
  }
  // Byte by byte: a failure part way leaves the bytes before it queued.
  for (const BYTE b : frame.Bytes) port_.WriteChar(b);
  state_.SetTime = value;
  return TClockInputError::None;
}

void TRecorderDevice::PutPortNumber(signed char value) {
  state_.PortNumber = value;
  port_.SetComNumber(static_cast<BYTE>(value));
}

void TRecorderDevice::PutOpenPort(TComBool value) {
  port_.SetOpen(IsComTrue(value));
  state_.OpenPort = value;
}

}  // namespace qorv::recorder
