#include <gtest/gtest.h>

#include "AudioCapture.h"
#include "FakeRecorderPort.h"
#include "RecorderDevice.h"
#include "RecorderStateHelpers.h"

namespace {

using qorv::recorder::TClockInputError;
using qorv::recorder::TComBool;
using qorv::recorder::TRecorderDevice;
using qorv::recorder::TRecorderState;
using qorv::test::Bytes;
using qorv::test::TFakeRecorderPort;
using qorv::test::TFakeSerialError;

using PutMember = void (TRecorderDevice::*)(TComBool);
using StoredField = TComBool TRecorderState::*;

struct TCommandMember {
  const char* Name;
  PutMember Put;
  StoredField Stored;
};

// Every boolean member whose true put sends one frame and whose false put
// only stores.
const TCommandMember kCommandMembers[] = {
    {"Connect", &TRecorderDevice::PutConnect, &TRecorderState::Connect},
    {"Disconnect", &TRecorderDevice::PutDisconnect, &TRecorderState::Disconnect},
    {"StartRecord", &TRecorderDevice::PutStartRecord, &TRecorderState::StartRecord},
    {"SetProtocol1", &TRecorderDevice::PutSetProtocol1, &TRecorderState::SetProtocol1},
    {"SetProtocol2", &TRecorderDevice::PutSetProtocol2, &TRecorderState::SetProtocol2},
    {"SetProtocol3", &TRecorderDevice::PutSetProtocol3, &TRecorderState::SetProtocol3},
    {"SetStatus", &TRecorderDevice::PutSetStatus, &TRecorderState::SetStatus},
    {"ReadTime", &TRecorderDevice::PutReadTime, &TRecorderState::ReadTime},
};

class RecorderDeviceTest : public testing::Test {
 protected:
  std::unique_ptr<TRecorderState> state = qorv::test::NewRecorderState();
  TFakeRecorderPort port;
  TRecorderDevice device{*state, port};
};

using RecorderDeviceFrames = RecorderDeviceTest;
using RecorderDevicePuts = RecorderDeviceTest;
using RecorderDeviceSetTime = RecorderDeviceTest;
using RecorderDevicePorts = RecorderDeviceTest;
using RecorderDeviceCreation = RecorderDeviceTest;

// {Line} is the line read as an unsigned byte, in decimal without leading zeros.
TEST_F(RecorderDeviceFrames, LineCommandsCarryLineAsUnsignedDecimal) {
  struct Row {
    signed char line;
    PutMember put;
    std::string expected;
  } rows[] = {
      {1, &TRecorderDevice::PutConnect, Bytes({0xFC, 'R', '1', 'O', 'F', 0xFD})},
      {12, &TRecorderDevice::PutConnect, Bytes({0xFC, 'R', '1', '2', 'O', 'F', 0xFD})},
      {-1, &TRecorderDevice::PutConnect, Bytes({0xFC, 'R', '2', '5', '5', 'O', 'F', 0xFD})},
      {0, &TRecorderDevice::PutDisconnect, Bytes({0xFC, 'R', '0', 'O', 'N', 0xFD})},
      {127, &TRecorderDevice::PutDisconnect, Bytes({0xFC, 'R', '1', '2', '7', 'O', 'N', 0xFD})},
      {-128, &TRecorderDevice::PutStartRecord, Bytes({0xFC, 'L', '1', '2', '8', 'C', 'O', 0xFD})},
      {9, &TRecorderDevice::PutStartRecord, Bytes({0xFC, 'L', '9', 'C', 'O', 0xFD})},
      {10, &TRecorderDevice::PutStartRecord, Bytes({0xFC, 'L', '1', '0', 'C', 'O', 0xFD})},
  };
  for (const auto& row : rows) {
    port.WriteCalls.clear();
    state->Line = row.line;
    (device.*row.put)(-1);
    ASSERT_EQ(port.WriteCalls.size(), 1u) << "line " << int(row.line);
    EXPECT_EQ(port.WriteCalls[0], row.expected) << "line " << int(row.line);
  }
}

// The frames that carry no line, each in one WriteText call.
TEST_F(RecorderDeviceFrames, FixedFramesGoOutWhole) {
  struct Row {
    PutMember put;
    TComBool value;
    std::string expected;
  } rows[] = {
      {&TRecorderDevice::PutSetProtocol1, 1, Bytes({0xFC, 'p', 'r', 't', 0x01, 'l', 0xFD})},
      {&TRecorderDevice::PutSetProtocol2, 1, Bytes({0xFC, 'p', 'r', 't', 0x02, 'l', 0xFD})},
      {&TRecorderDevice::PutSetProtocol3, 1, Bytes({0xFC, 'p', 'r', 't', 0x03, 'l', 0xFD})},
      {&TRecorderDevice::PutSetStarONOFF, 1, Bytes({0xFC, 'p', 'r', 't', 0x04, 'l', 0xFD})},
      {&TRecorderDevice::PutSetStarONOFF, 0, Bytes({0xFC, 'p', 'r', 't', 0x05, 'l', 0xFD})},
      {&TRecorderDevice::PutSetStatus, 1, Bytes({0xFC, 'R', 'q', 'S', 'T', 0xFD})},
      {&TRecorderDevice::PutReadTime, 1, Bytes({0xFC, 'R', 'b', 0xFD})},
  };
  for (const auto& row : rows) {
    port.WriteCalls.clear();
    (device.*row.put)(row.value);
    ASSERT_EQ(port.WriteCalls.size(), 1u);
    EXPECT_EQ(port.WriteCalls[0], row.expected);
  }
}

// The stop frame names line 9 whatever line is selected.
TEST_F(RecorderDeviceFrames, StopRecordAlwaysCarriesLineNine) {
  state->SavePath = "c:\\stop.wav";
  for (const int line : {3, -1, 12}) {
    port.WriteCalls.clear();
    state->Line = line;
    device.PutStopRecord(1);
    ASSERT_EQ(port.WriteCalls.size(), 1u);
    EXPECT_EQ(port.WriteCalls[0], Bytes({0xFC, 'L', '9', 'C', 'O', 0xFD}));
  }
}

// A true put stores the 16-bit value exactly as put; a false put stores 0 and
// sends nothing.
TEST_F(RecorderDevicePuts, StoresValueAsPutAndSendsOnlyForTrue) {
  for (const auto& member : kCommandMembers) {
    for (const TComBool value : {TComBool{-1}, TComBool{1}, TComBool{2}}) {
      port.Sent.clear();
      (device.*member.Put)(value);
      EXPECT_FALSE(port.Sent.empty()) << member.Name;
      EXPECT_EQ((*state).*member.Stored, value) << member.Name;
    }
    port.Sent.clear();
    (device.*member.Put)(0);
    EXPECT_TRUE(port.Sent.empty()) << member.Name << " sent on false";
    EXPECT_EQ((*state).*member.Stored, 0) << member.Name;
  }
}

// The star setting sends on every put, its off frame for false.
TEST_F(RecorderDevicePuts, StarSettingSendsForFalseToo) {
  device.PutSetStarONOFF(0);
  EXPECT_EQ(port.Sent, Bytes({0xFC, 'p', 'r', 't', 0x05, 'l', 0xFD}));
  EXPECT_EQ(state->SetStarONOFF, 0);
  state->SetStarONOFF = 7;
  port.Open = false;
  EXPECT_THROW(device.PutSetStarONOFF(0), TFakeSerialError);
  EXPECT_EQ(state->SetStarONOFF, 7) << "a failed off put must not store";
}

// A put ended by a serial error (closed port, no room for the frame) keeps
// the previous stored value and has sent nothing.
TEST_F(RecorderDevicePuts, FailedSendKeepsPreviousValue) {
  for (const bool closed : {true, false}) {
    for (const auto& member : kCommandMembers) {
      port.Open = true;
      port.FailWriteAt = 0;
      (device.*member.Put)(1);
      port.Sent.clear();
      if (closed) {
        port.Open = false;
      } else {
        port.FailWriteAt = port.WriteCount() + 1;
      }
      EXPECT_THROW((device.*member.Put)(-1), TFakeSerialError) << member.Name;
      EXPECT_EQ((*state).*member.Stored, 1) << member.Name;
      EXPECT_TRUE(port.Sent.empty()) << member.Name;
    }
  }
}

// The recording restarts only when the start frame went out.
TEST_F(RecorderDevicePuts, StartRecordRestartsCaptureOnlyAfterSending) {
  state->AudioIndex = 5000;
  port.Open = false;
  EXPECT_THROW(device.PutStartRecord(1), TFakeSerialError);
  EXPECT_EQ(state->AudioIndex, 5000);
  device.PutStartRecord(0);
  EXPECT_EQ(state->AudioIndex, 5000) << "a false put only stores";
  port.Open = true;
  device.PutStartRecord(1);
  EXPECT_EQ(state->AudioIndex, qorv::recorder::kWaveHeaderSize);
}

TEST_F(RecorderDeviceSetTime, SendsElevenSingleBytesThenStores) {
  state->Date = "2009/03/15";
  state->Time = "13:45:30";
  EXPECT_EQ(device.PutSetTime(-1), TClockInputError::None);
  EXPECT_EQ(port.Sent, Bytes({0xFC, 0x52, 0x61, 0x30, 0x45, 0x13, 0xD5, 0x03, 0x54, 0x01, 0xFD}));
  EXPECT_EQ(port.WriteCalls.size(), 11u);
  EXPECT_EQ(state->SetTime, -1);
}

// A blank date or time makes the put do nothing at all, for false too.
TEST_F(RecorderDeviceSetTime, BlankTextLeavesEverythingAlone) {
  const std::pair<std::string, std::string> rows[] = {
      {"", "13:45:30"}, {"2009/03/15", ""}, {" \t\x01 ", "13:45:30"}, {"2009/03/15", std::string(3, '\0')}};
  for (const auto& [date, time] : rows) {
    for (const TComBool value : {TComBool{0}, TComBool{1}}) {
      state->Date = date;
      state->Time = time;
      state->SetTime = 5;
      EXPECT_EQ(device.PutSetTime(value), TClockInputError::None);
      EXPECT_EQ(state->SetTime, 5);
      EXPECT_TRUE(port.Sent.empty());
    }
  }
}

TEST_F(RecorderDeviceSetTime, FalseWithBothTextsStoresZero) {
  state->Date = "garbage";
  state->Time = "garbage";
  state->SetTime = 1;
  EXPECT_EQ(device.PutSetTime(0), TClockInputError::None) << "false never reads the texts";
  EXPECT_EQ(state->SetTime, 0);
  EXPECT_TRUE(port.Sent.empty());
}

// An input error is no failure: it names the message, stores 0, sends nothing.
TEST_F(RecorderDeviceSetTime, InputErrorStoresZeroAndSendsNothing) {
  const struct {
    const char* date;
    const char* time;
    TClockInputError expected;
  } rows[] = {
      {"2009/0x/15", "13:45:30", TClockInputError::Date},
      {"2009/03/15", "13:4:30", TClockInputError::Time},
      {"2009/03/1", "xx", TClockInputError::Date},
      // A sign is malformed input like any other.
      {"2009/03/15", "00:00:-3", TClockInputError::Time},
      {"2009/03/15", "+1:00:00", TClockInputError::Time},
      {"2009/-3/15", "13:45:30", TClockInputError::Date},
  };
  for (const auto& row : rows) {
    state->Date = row.date;
    state->Time = row.time;
    state->SetTime = -1;
    EXPECT_EQ(device.PutSetTime(-1), row.expected) << row.date << " " << row.time;
    EXPECT_EQ(state->SetTime, 0);
    EXPECT_EQ(state->Date, row.date);
    EXPECT_EQ(state->Time, row.time);
    EXPECT_TRUE(port.Sent.empty());
    EXPECT_TRUE(port.WriteCalls.empty());
  }
}

// A failure part way leaves the bytes queued before it and the old value.
TEST_F(RecorderDeviceSetTime, FailurePartWayKeepsQueuedBytesAndOldValue) {
  state->Date = "2024/05/20";
  state->Time = "09:05:07";
  state->SetTime = 1;
  port.FailWriteAt = 5;
  EXPECT_THROW((void)device.PutSetTime(-1), TFakeSerialError);
  EXPECT_EQ(port.Sent, Bytes({0xFC, 0x52, 0x61, 0x07}));
  EXPECT_EQ(state->SetTime, 1);

  port.Sent.clear();
  port.FailWriteAt = 0;
  port.Open = false;
  EXPECT_THROW((void)device.PutSetTime(-1), TFakeSerialError);
  EXPECT_TRUE(port.Sent.empty()) << "a closed port fails on the first byte";
  EXPECT_EQ(state->SetTime, 1);
}

// The number is stored first, so a failed reopen still leaves the new one;
// the port gets it read as unsigned.
TEST_F(RecorderDevicePorts, PortNumberIsStoredBeforeTheReopen) {
  device.PutPortNumber(-1);
  EXPECT_EQ(port.ComNumbers.back(), 255);
  EXPECT_EQ(state->PortNumber, -1);
  port.FailComNumber = true;
  EXPECT_THROW(device.PutPortNumber(7), TFakeSerialError);
  EXPECT_EQ(state->PortNumber, 7);
  EXPECT_EQ(port.ComNumbers.back(), 7);
}

// OpenPort stores only what opened or closed the port without failure.
TEST_F(RecorderDevicePorts, OpenPortStoresOnlyAfterSuccess) {
  port.Open = false;
  device.PutOpenPort(2);
  EXPECT_TRUE(port.Open);
  EXPECT_EQ(state->OpenPort, 2);
  device.PutOpenPort(0);
  EXPECT_FALSE(port.Open);
  EXPECT_EQ(state->OpenPort, 0);
  port.FailOpen = true;
  EXPECT_THROW(device.PutOpenPort(-1), TFakeSerialError);
  EXPECT_FALSE(port.Open);
  EXPECT_EQ(state->OpenPort, 0);
}

// Creation resets the shared fields for every control; stored member values,
// the clock texts, the recording and the buffers keep their contents.
TEST_F(RecorderDeviceCreation, DefaultsResetOnlyTheirFields) {
  state->LineLength = 77;
  state->FrameLength = 500;
  state->Line = 9;
  state->PortNumber = 4;
  state->SavePath = "d:\\x.wav";
  state->CallerID = "L1912";
  state->QorEvent = "RING";
  state->Connect = -1;
  state->Date = "2009/03/15";
  state->AudioIndex = 1234;
  state->LineBuffer[1] = 0xC8;

  device.ApplyCreationDefaults();
  EXPECT_EQ(state->LineLength, 1);
  EXPECT_EQ(state->FrameLength, 1);
  EXPECT_EQ(state->Line, 1);
  EXPECT_EQ(state->PortNumber, 1);
  EXPECT_EQ(port.ComNumbers, std::vector<WORD>{1});
  EXPECT_EQ(state->SavePath, "c:\\fileQorv1.wav");
  EXPECT_EQ(state->CallerID, "");
  EXPECT_EQ(state->QorEvent, "");
  EXPECT_EQ(state->Connect, -1);
  EXPECT_EQ(state->Date, "2009/03/15");
  EXPECT_EQ(state->AudioIndex, 1234);
  EXPECT_EQ(state->LineBuffer[1], 0xC8);
}

}  // namespace
