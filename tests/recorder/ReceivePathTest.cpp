#include <gtest/gtest.h>

#include "FakeRecorderPort.h"
#include "ReceivePath.h"
#include "RecorderStateHelpers.h"
#include "TextLine.h"

namespace {

using qorv::recorder::TRecorderState;
using qorv::test::Bytes;
using qorv::test::TFakeRecorderPort;
using qorv::test::TFakeSerialError;

class ReceivePathTest : public testing::Test {
 protected:
  ReceivePathTest() {
    // As a control's creation leaves the parsers.
    state->LineLength = 1;
    state->FrameLength = 1;
  }
  void Feed(const std::string& bytes) {
    for (const char c : bytes) qorv::recorder::ReceiveByte(*state, static_cast<BYTE>(c));
  }
  // The samples captured since the last StartRecord.
  std::string Recorded() const {
    const int count = state->AudioIndex - qorv::recorder::kWaveHeaderSize;
    return std::string(reinterpret_cast<const char*>(&state->AudioBuffer[qorv::recorder::kWaveHeaderSize + 1]),
                       static_cast<size_t>(count));
  }
  void StartRecording() { state->AudioIndex = qorv::recorder::kWaveHeaderSize; }

  std::unique_ptr<TRecorderState> state = qorv::test::NewRecorderState();
};

using ReceivePathClockReply = ReceivePathTest;
using ReceivePathTextLines = ReceivePathTest;
using ReceivePathCallerId = ReceivePathTest;
using ReceivePathAudio = ReceivePathTest;
using ReceivePathTick = ReceivePathTest;

// Plain numbers, not BCD; two digits at least for all but the year.
TEST_F(ReceivePathClockReply, SetsDateAndTime) {
  const struct {
    std::string frame;
    const char* date;
    const char* time;
  } rows[] = {
      {Bytes({0xFD, 'D', 'T', 3, 12, 31, 't', 23, 59, 59, '.', 0xFE}), "2009/12/31", "23:59:59"},
      {Bytes({0xFD, 'D', 'T', 18, 5, 7, 't', 9, 5, 3, '.', 0xFE}), "2024/05/07", "09:05:03"},
      {Bytes({0xFD, 'D', 'T', 0, 0, 0, 't', 0, 0, 0, '.', 0xFE}), "2006/00/00", "00:00:00"},
      {Bytes({0xFD, 'D', 'T', 255, 123, 200, 't', 99, 100, 255, '.', 0xFE}), "2261/123/200", "99:100:255"},
  };
  for (const auto& row : rows) {
    Feed(row.frame);
    EXPECT_EQ(state->Date, row.date);
    EXPECT_EQ(state->Time, row.time);
  }
}

// Any other byte at one of the four test positions, or a frame too short to
// reach position 10, leaves the clock texts alone.
TEST_F(ReceivePathClockReply, IgnoresOtherFrames) {
  state->Date = "before";
  state->Time = "before";
  const std::string frames[] = {
      Bytes({0xFD, 'd', 'T', 3, 12, 31, 't', 23, 59, 59, '.', 0xFE}),
      Bytes({0xFD, 'D', 'X', 3, 12, 31, 't', 23, 59, 59, '.', 0xFE}),
      Bytes({0xFD, 'D', 'T', 3, 12, 31, 'T', 23, 59, 59, '.', 0xFE}),
      Bytes({0xFD, 'D', 'T', 3, 12, 31, 't', 23, 59, 59, ',', 0xFE}),
      Bytes({0xFD, 'D', 'T', 3, 12, 0xFE}),
  };
  for (const auto& frame : frames) Feed(frame);
  EXPECT_EQ(state->Date, "before");
  EXPECT_EQ(state->Time, "before");
}

// 0xFE with no 0xFD before it reads whatever the buffer holds, and the test
// positions are read whatever the frame's length: a short frame after a
// clock reply still passes on the reply's old bytes.
TEST_F(ReceivePathClockReply, EndWithoutStartRereadsTheBuffer) {
  Feed(Bytes({0xFD, 'D', 'T', 3, 12, 31, 't', 23, 59, 59, '.', 0xFE}));
  state->Date.clear();
  Feed(Bytes({0xFE}));
  EXPECT_EQ(state->Date, "2009/12/31");
  Feed(Bytes({0xFD, 'D', 'T', 4, 0xFE}));
  EXPECT_EQ(state->Date, "2010/12/31");
}

// The frame keeps 1000 bytes; every further byte overwrites position 1000.
TEST_F(ReceivePathClockReply, LongFrameOverwritesItsLastPosition) {
  std::string frame = Bytes({0xFD});
  for (int i = 1; i <= 1500; ++i) frame += static_cast<char>(i % 200 + 20);
  Feed(frame);
  EXPECT_EQ(state->FrameLength, 1000);
  EXPECT_EQ(state->FrameBuffer[999], 999 % 200 + 20);
  EXPECT_EQ(state->FrameBuffer[1000], 1500 % 200 + 20);
  Feed(Bytes({0xFD}));
  EXPECT_EQ(state->FrameLength, 0);
}

// Numbers 10 and 13 in a reply are LF and CR to the line parser.
TEST_F(ReceivePathClockReply, ReplyBytesAlsoReachTheLineParser) {
  Feed("\rAB");
  Feed(Bytes({0xFD, 'D', 'T', 4, 10, 10, 't', 10, 0, 0, '.', 0xFE}));
  EXPECT_EQ(state->Date, "2010/10/10");
  EXPECT_EQ(state->QorEvent, "ABDTt") << "filtered bytes seen since the CR, up to the last LF";

  Feed(Bytes({0xFD, 'D', 'T', 4, 13, 1, 't', 0, 0, 0, '.', 0xFE}));
  EXPECT_EQ(state->LineLength, 1 + 7) << "the CR restarted the line: 01 't' 00 00 00 '.' FE stay";
}

TEST_F(ReceivePathTextLines, FilterKeepsTheListedBytesOnly) {
  std::string line = "\r";
  for (int b = 0; b < 256; ++b) {
    if (b != '\r' && b != '\n') line += static_cast<char>(b);
  }
  Feed(line + "\n");
  EXPECT_EQ(state->QorEvent, " #*,./0123456789:;=ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
}

// A line is what came after the last CR; without a CR bytes join the old line.
TEST_F(ReceivePathTextLines, LinesNeedACarriageReturnFirst) {
  Feed("\rRING\n");
  EXPECT_EQ(state->QorEvent, "RING");
  Feed("MORE\n");
  EXPECT_EQ(state->QorEvent, "RINGMORE");
  Feed("\n");
  EXPECT_EQ(state->QorEvent, "RINGMORE") << "a second LF hands the same line again";
  Feed("TEXT\r\n");
  EXPECT_EQ(state->QorEvent, "") << "text, CR, LF arrives as an empty line";
}

// A line keeps its first 299 bytes.
TEST_F(ReceivePathTextLines, LongLineKeepsFirst299Bytes) {
  std::string text;
  for (int i = 0; i < 400; ++i) text += static_cast<char>('a' + i % 26);
  Feed("\r" + text + "\n");
  EXPECT_EQ(state->QorEvent, text.substr(0, 299));
  EXPECT_EQ(state->LineLength, 300);
  Feed("\rx\n");
  EXPECT_EQ(state->QorEvent, "x");
}

// Before any control's creation defaults the line has no position; bytes
// are dropped rather than stored outside the buffer.
TEST_F(ReceivePathTextLines, BytesBeforeCreationDefaultsAreDropped) {
  state->LineLength = 0;
  state->FrameLength = 0;
  Feed("AB\n");
  EXPECT_EQ(state->LineLength, 0);
  EXPECT_EQ(state->QorEvent, "");
  EXPECT_EQ(state->FrameBuffer[2], 'B');
}

TEST_F(ReceivePathCallerId, ReadsLineDigitAndNumber) {
  const struct {
    const char* line;
    const char* callerId;
  } rows[] = {
      {"L1:CallerID:912", "L1912"},
      {"L2:CallerID:345 RING", "L2345"},
      {"L9:CallerID:", "L9"},
      {"L1:CallerID: 555", "L1"},
      {"L3:CallerID:+9-12", "L3912"},
      {"L4:Caller\x01ID:77", "L477"},
      {"\x80L5:CallerID:(021)88", "L502188"},
  };
  for (const auto& row : rows) {
    state->CallerID = "old";
    Feed(std::string("\r") + row.line + "\n");
    EXPECT_EQ(state->CallerID, row.callerId) << row.line;
  }
}

// Only 'L' and a digit 1 to 9, then exactly ":CallerID:", make a caller line.
TEST_F(ReceivePathCallerId, OtherLinesLeaveCallerIdAlone) {
  state->CallerID = "L1912";
  for (const char* line : {"L0:CallerID:123", "Lx:CallerID:123", "l1:CallerID:123", "L1:CallerId:123", "L1:CallerID",
                           " L1:CallerID:123", "L12:CallerID:123", ""}) {
    Feed(std::string("\r") + line + "\n");
    EXPECT_EQ(state->QorEvent, qorv::recorder::FilterTextLine(line)) << line;
    EXPECT_EQ(state->CallerID, "L1912") << line;
  }
}

TEST_F(ReceivePathAudio, SamplesFromPositionThreeReachTheCapture) {
  StartRecording();
  Feed(Bytes({0x0D, 0xC8, 0x99, 1, 2, 3, 0x80, 0xFF, 0x0A}));
  EXPECT_EQ(Recorded(), Bytes({1, 2, 3, 0x80, 0xFF}));
  state->QorEvent = "kept";
  Feed(Bytes({0x0D, 0xC8, 0x0A, 0x0D, 0xC8, 0x99, 0x0A}));
  EXPECT_EQ(Recorded(), Bytes({1, 2, 3, 0x80, 0xFF})) << "lines of fewer than three bytes hand nothing";
  EXPECT_EQ(state->QorEvent, "kept") << "an audio line changes nothing else";
}

// An empty line is an audio line while 0xC8 is left at position 1.
TEST_F(ReceivePathAudio, EmptyLineAfterAudioChangesNothing) {
  state->CallerID = "L1912";
  state->QorEvent = "kept";
  Feed(Bytes({0x0D, 0xC8, 0, 5, 0x0A, 0x0D, 0x0A}));
  EXPECT_EQ(state->QorEvent, "kept");
  EXPECT_EQ(state->CallerID, "L1912");
}

// Sample bytes are line and frame bytes like any other.
TEST_F(ReceivePathAudio, ControlBytesInsideSamplesActOnTheParsers) {
  StartRecording();
  Feed(Bytes({0x0D, 0xC8, 0, 1, 0x0A, 2, 0x0A}));
  EXPECT_EQ(Recorded(), Bytes({1, 1, 2})) << "an LF ends the line; the next LF hands it again, extended";

  StartRecording();
  Feed(Bytes({0x0D, 0xC8, 0, 1, 0x0D, 'A', 'B', 0x0A}));
  EXPECT_EQ(Recorded(), "");
  EXPECT_EQ(state->QorEvent, "AB") << "a CR inside samples starts a text line";

  StartRecording();
  state->Date = "before";
  Feed(Bytes({0x0D, 0xC8, 0, 0xFD, 'D', 'T', 1, 1, 1, 't', 1, 1, 1, '.', 0xFE, 0x0A}));
  EXPECT_EQ(Recorded(), Bytes({0xFD, 'D', 'T', 1, 1, 1, 't', 1, 1, 1, '.', 0xFE}));
  EXPECT_EQ(state->Date, "2007/01/01") << "the samples happened to form a clock reply";
}

// At the end of the buffer each further sample replaces the last one.
TEST_F(ReceivePathAudio, FullBufferOverwritesItsLastPosition) {
  state->AudioIndex = qorv::recorder::kAudioBufferSize - 1;
  Feed(Bytes({0x0D, 0xC8, 0, 7, 8, 9, 0x0A}));
  EXPECT_EQ(state->AudioIndex, qorv::recorder::kAudioBufferSize);
  EXPECT_EQ(state->AudioBuffer[qorv::recorder::kAudioBufferSize - 1], 0);
  EXPECT_EQ(state->AudioBuffer[qorv::recorder::kAudioBufferSize], 9);
}

// Capture runs whether or not a recording was started; from load it starts at 1.
TEST_F(ReceivePathAudio, CaptureFromLoadStartsAtPositionOne) {
  Feed(Bytes({0x0D, 0xC8, 0, 0x11, 0x22, 0x0A}));
  EXPECT_EQ(state->AudioIndex, 2);
  EXPECT_EQ(state->AudioBuffer[1], 0x11);
  EXPECT_EQ(state->AudioBuffer[2], 0x22);
}

TEST_F(ReceivePathTick, ClosedPortReadsNothing) {
  TFakeRecorderPort port;
  port.Open = false;
  port.Receive("\rRING\n");
  qorv::recorder::DrainPort(*state, port);
  EXPECT_EQ(port.Input.size(), 6u);
  EXPECT_EQ(state->QorEvent, "");
}

// A tick drains everything waiting, with no limit per tick.
TEST_F(ReceivePathTick, DrainsAllWaitingBytes) {
  TFakeRecorderPort port;
  std::string lines;
  for (int i = 0; i < 2000; ++i) lines += "\rL1:CallerID:" + std::to_string(i) + "\n";
  port.Receive(lines);
  qorv::recorder::DrainPort(*state, port);
  EXPECT_TRUE(port.Input.empty());
  EXPECT_EQ(state->CallerID, "L11999");
}

// A read error ends the tick; the bytes before it stay handled and the next
// tick goes on from where it stopped.
TEST_F(ReceivePathTick, ReadErrorEndsTickKeepingEarlierBytes) {
  TFakeRecorderPort port;
  port.Receive("\rAB\nCD\n");
  port.FailReadAt = 5;
  EXPECT_THROW(qorv::recorder::DrainPort(*state, port), TFakeSerialError);
  EXPECT_EQ(state->QorEvent, "AB");
  EXPECT_EQ(port.Input.size(), 3u);
  qorv::recorder::DrainPort(*state, port);
  EXPECT_EQ(state->QorEvent, "ABCD");
}

}  // namespace
