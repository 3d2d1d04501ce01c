// The recorder logic over the real port component, on the substitute device
// and on a pty, with the control's port settings.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>

#include "FakeRecorderPort.h"
#include "ReceivePath.h"
#include "RecorderDevice.h"
#include "RecorderStateHelpers.h"
#include "SioRecorderPort.h"
#include "TestSupport.h"
#include "substitutedevice.h"
#include "systemroot.h"

namespace {

using qorv::platform::SubstituteDevice;
using qorv::recorder::TRecorderDevice;
using qorv::recorder::TRecorderState;
using qorv::recorder::TSioRecorderPort;
using qorv::test::WaitUntil;

constexpr auto kBound = std::chrono::seconds(10);

std::string Text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

class SioRecorderPortTest : public testing::Test {
 protected:
  SioRecorderPortTest() {
    mp.SetBaud(115200);
    mp.SetInSize(20000);
    mp.SetAutoOpen(false);
    mp.SetDTR(false);
    mp.SetRTS(false);
    mp.SetTraceHex(false);
    mp.SetUseEventWord(false);
    mp.SetTapiMode(tmNone);
    device.ApplyCreationDefaults();
  }
  ~SioRecorderPortTest() override {
    if (mp.Open()) mp.SetOpen(false);
  }
  // Runs timer ticks until the condition holds; received bytes have no
  // event of their own on this side of the component.
  bool TickUntil(const std::function<bool()>& condition) {
    return WaitUntil([&] {
      qorv::recorder::DrainPort(*state, port);
      return condition();
    });
  }

  std::unique_ptr<TRecorderState> state = qorv::test::NewRecorderState();
  TSioComPort mp{nullptr};
  TSioRecorderPort port{mp};
  TRecorderDevice device{*state, port};
};

class SioRecorderPortSubstitute : public SioRecorderPortTest {
 protected:
  SioRecorderPortSubstitute() { qorv::platform::WriteDeviceMapping(1, "substitute:recorder"); }
  std::shared_ptr<SubstituteDevice> recorder = SubstituteDevice::Create("recorder");
};

// Commands reach the device as their exact frames, the clock-set frame too.
TEST_F(SioRecorderPortSubstitute, PutsArriveAsExactFrames) {
  device.PutOpenPort(-1);
  ASSERT_TRUE(mp.Open());
  state->Line = 12;
  device.PutConnect(-1);
  device.PutSetStarONOFF(0);
  state->Date = "2009/03/15";
  state->Time = "13:45:30";
  EXPECT_EQ(device.PutSetTime(-1), qorv::recorder::TClockInputError::None);
  const std::string expected =
      qorv::test::Bytes({0xFC, 'R',  '1',  '2',  'O',  'F',  0xFD, 0xFC, 'p',  'r',  't',  0x05, 'l',
                         0xFD, 0xFC, 0x52, 0x61, 0x30, 0x45, 0x13, 0xD5, 0x03, 0x54, 0x01, 0xFD});
  ASSERT_TRUE(recorder->WaitForWritten(expected.size(), kBound));
  EXPECT_EQ(Text(recorder->Written()), expected);
}

// With the port closed a sending put raises the component's serial error and
// keeps its stored value; a failed open keeps OpenPort's.
TEST_F(SioRecorderPortSubstitute, ClosedPortFailsPutsAndKeepsValues) {
  state->Connect = 1;
  EXPECT_THROW(device.PutConnect(-1), ESioException);
  EXPECT_EQ(state->Connect, 1);
  EXPECT_TRUE(recorder->Written().empty());

  state->OpenPort = 0;
  device.PutPortNumber(5);  // unmapped
  EXPECT_ANY_THROW(device.PutOpenPort(-1));
  EXPECT_FALSE(mp.Open());
  EXPECT_EQ(state->OpenPort, 0);
}

// Moving an open port to a number with no device fails the put, but the
// number is kept.
TEST_F(SioRecorderPortSubstitute, FailedReopenKeepsNewPortNumber) {
  device.PutOpenPort(1);
  ASSERT_TRUE(mp.Open());
  EXPECT_ANY_THROW(device.PutPortNumber(6));
  EXPECT_EQ(state->PortNumber, 6);
}

// Received text, caller-ID, clock and audio lines reach the state through
// timer ticks; a streamed tone becomes exactly the recorded samples.
TEST_F(SioRecorderPortSubstitute, ReceivedLinesReachTheState) {
  device.PutOpenPort(-1);
  device.PutStartRecord(-1);
  std::string tone;
  std::string stream = "\rL2:CallerID:345 RING\n";
  stream += qorv::test::Bytes({0xFD, 'D', 'T', 3, 12, 31, 't', 23, 59, 59, '.', 0xFE});
  for (int line = 0; line < 40; ++line) {
    std::string samples;
    for (int i = 0; i < 200; ++i) samples += static_cast<char>(0x80 + ((line * 200 + i) % 20 < 10 ? 0x30 : -0x30));
    tone += samples;
    stream += "\r\xC8\x01" + samples + "\n";
  }
  recorder->QueueInput(stream);
  ASSERT_TRUE(TickUntil([&] { return state->AudioIndex == 44 + 8000; }));
  EXPECT_EQ(state->CallerID, "L2345");
  EXPECT_EQ(state->QorEvent, "L2:CallerID:345 RING");
  EXPECT_EQ(state->Date, "2009/12/31");
  EXPECT_EQ(state->Time, "23:59:59");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&state->AudioBuffer[45]), 8000), tone);
}

// Over a real tty: the pty master plays the recorder.
using SioRecorderPortPty = SioRecorderPortTest;

TEST_F(SioRecorderPortPty, CarriesFramesAndCallerId) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  ASSERT_TRUE(qorv::platform::WriteDeviceMapping(3, ptsname(master)));
  device.PutPortNumber(3);
  device.PutOpenPort(-1);
  ASSERT_TRUE(mp.Open());

  device.PutReadTime(-1);
  std::string sent;
  pollfd ready{master, POLLIN, 0};
  while (sent.size() < 4 && poll(&ready, 1, 10000) > 0) {
    char buffer[16];
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) break;
    sent.append(buffer, static_cast<size_t>(n));
  }
  EXPECT_EQ(sent, qorv::test::Bytes({0xFC, 'R', 'b', 0xFD}));

  const std::string reply = "\rL1:CallerID:912\n";
  ASSERT_EQ(write(master, reply.data(), reply.size()), static_cast<ssize_t>(reply.size()));
  EXPECT_TRUE(TickUntil([&] { return state->CallerID == "L1912"; }));
  mp.SetOpen(false);
  close(master);
}

}  // namespace
