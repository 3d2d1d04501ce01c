#include <gtest/gtest.h>

#include <filesystem>

#include "SioDispatchTestDevice.h"
#include "SioErrors.h"
#include "TestSupport.h"
#include "systemroot.h"

namespace {

bool FileExists(const std::string& windowsPath) {
  auto path = qorv::platform::WindowsToLinuxPath(windowsPath);
  return path && std::filesystem::exists(*path);
}

class SioDispatchTrace : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(d.Open(), 0); }

  // Sends A B CR LF, then receives a blank and 0x7F.
  void SendAndReceive() {
    ASSERT_EQ(d.WriteBlock("AB\r\n", 4), 0);
    d.ReceiveIntoRing(" \x7F");
    BYTE b;
    ASSERT_EQ(d.TakeInput(b), 0);
    ASSERT_EQ(d.TakeInput(b), 0);
  }
  TTestDispatcher d;
};

}  // namespace

TEST_F(SioDispatchTrace, FileMatchesHandWrittenRenderings) {
  struct Case {
    bool inHex;
    bool allHex;
    const char* expected;
  };
  const Case cases[] = {
      {true, false, "trace_hex.trc"}, {false, false, "trace_decimal.trc"}, {false, true, "trace_allhex.trc"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    ASSERT_EQ(d.StartTraceBuffer(100), 0);
    SendAndReceive();
    EXPECT_EQ(d.WriteTraceFile("C:\\serial.trc", false, c.inHex, c.allHex), 0);
    EXPECT_EQ(FileText("C:\\serial.trc"), Expected(c.expected));
    EXPECT_EQ(d.TraceBuffer, nullptr) << "writing the file ends the trace";
    EXPECT_FALSE(d.TraceActive);
  }
}

TEST_F(SioDispatchTrace, WrappedBufferWritesTheNewestEntriesOldestFirst) {
  ASSERT_EQ(d.StartTraceBuffer(3), 0);
  d.AddTraceEntry('T', '1');
  d.AddTraceEntry('T', '2');
  d.AddTraceEntry('R', '3');
  d.AddTraceEntry('R', '4');
  d.AddTraceEntry('T', '5');
  EXPECT_EQ(d.WriteTraceFile("C:\\wrapped.trc", false, true, false), 0);
  EXPECT_EQ(FileText("C:\\wrapped.trc"), Expected("trace_wrapped.trc"));
}

TEST_F(SioDispatchTrace, LinesBreakBeforeAnItemPassingColumn78) {
  ASSERT_EQ(d.StartTraceBuffer(100), 0);
  for (BYTE b = 1; b <= 20; ++b) d.AddTraceEntry('T', b);
  d.AddTraceEntry('X', 'q');
  EXPECT_EQ(d.WriteTraceFile("C:\\width.trc", false, true, false), 0);
  EXPECT_EQ(FileText("C:\\width.trc"), Expected("trace_width.trc"));
}

TEST_F(SioDispatchTrace, DataLineHoldsExactly78Columns) {
  std::string hexItems;
  for (int i = 0; i < 19; ++i) hexItems += "[01]";
  struct Case {
    std::string bytes;
    std::string rendered;
  };
  const Case cases[] = {
      {std::string(78, 'a'), std::string(78, 'a')},
      {std::string(78, 'a') + "b", std::string(78, 'a') + "\r\nb"},
      {std::string(19, '\x01') + "ab", hexItems + "ab"},
      {std::string(19, '\x01') + "abc", hexItems + "ab\r\nc"},
      {std::string(19, '\x01') + "a\x02", hexItems + "a\r\n[02]"},
      {std::string(156, 'a'), std::string(78, 'a') + "\r\n" + std::string(78, 'a')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rendered);
    ASSERT_EQ(d.StartTraceBuffer(200), 0);
    for (char b : c.bytes) d.AddTraceEntry('T', static_cast<BYTE>(b));
    ASSERT_EQ(d.WriteTraceFile("C:\\width.trc", false, true, false), 0);
    EXPECT_EQ(FileText("C:\\width.trc"), "Transmit: \r\n" + c.rendered);
  }
}

TEST_F(SioDispatchTrace, AppendContinuesOnTheLastLineAndCreatesAMissingFile) {
  ASSERT_EQ(d.StartTraceBuffer(10), 0);
  ASSERT_EQ(d.WriteBlock("AB", 2), 0);
  EXPECT_EQ(d.WriteTraceFile("C:\\append.trc", true, true, false), 0) << "append to a missing file creates it";
  ASSERT_EQ(d.StartTraceBuffer(10), 0);
  d.AddTraceEntry('R', 'C');
  EXPECT_EQ(d.WriteTraceFile("C:\\append.trc", true, true, false), 0);
  EXPECT_EQ(FileText("C:\\append.trc"), Expected("trace_appended.trc"));

  ASSERT_EQ(d.StartTraceBuffer(10), 0);
  d.AddTraceEntry('R', 'C');
  EXPECT_EQ(d.WriteTraceFile("C:\\append.trc", false, true, false), 0);
  EXPECT_EQ(FileText("C:\\append.trc"), "Receive: \r\nC") << "without append the file starts over";
}

TEST_F(SioDispatchTrace, EmptyTraceWritesNoFileAndEndsTheTrace) {
  ASSERT_EQ(d.StartTraceBuffer(10), 0);
  EXPECT_EQ(d.WriteTraceFile("C:\\empty.trc", false, true, false), 0);
  EXPECT_FALSE(FileExists("C:\\empty.trc"));
  EXPECT_EQ(d.TraceBuffer, nullptr);
  EXPECT_EQ(d.WriteTraceFile("C:\\empty.trc", false, true, false), 0) << "no buffer at all";
}

TEST_F(SioDispatchTrace, CapacityLimitAndRestart) {
  EXPECT_EQ(d.StartTraceBuffer(MaxTraceCapacity + 1), ecBadArgument);
  EXPECT_EQ(d.TraceBuffer, nullptr);
  EXPECT_FALSE(d.TraceActive);

  ASSERT_EQ(d.StartTraceBuffer(0), 0);
  EXPECT_TRUE(d.TraceActive);
  d.AddTraceEntry('T', 'x');
  EXPECT_EQ(d.TraceNext, 0u) << "a capacity of 0 records nothing";

  d.FreeTraceBuffer();
  ASSERT_EQ(d.StartTraceBuffer(4), 0);
  d.AddTraceEntry('T', 'x');
  EXPECT_EQ(d.StartTraceBuffer(MaxTraceCapacity + 1), 0) << "an existing buffer is only emptied";
  EXPECT_EQ(d.TraceCapacity, 4u);
  EXPECT_EQ(d.TraceNext, 0u);
}

TEST_F(SioDispatchTrace, PauseResumeAndClear) {
  ASSERT_EQ(d.StartTraceBuffer(10), 0);
  ASSERT_EQ(d.WriteByte('a'), 0);
  d.DisableTraceEntries();
  ASSERT_EQ(d.WriteByte('b'), 0);
  d.EnableTraceEntries();
  ASSERT_EQ(d.WriteByte('c'), 0);
  EXPECT_EQ(d.TraceNext, 2u);
  EXPECT_EQ(d.ResetTraceBuffer(), 0);
  EXPECT_EQ(d.TraceNext, 0u);
  d.FreeTraceBuffer();
  d.EnableTraceEntries();
  EXPECT_FALSE(d.TraceActive) << "resuming needs a buffer";
}

TEST_F(SioDispatchTrace, UnopenableFileReportsTheErrorAndEndsTheTrace) {
  ASSERT_EQ(d.StartTraceBuffer(10), 0);
  d.AddTraceEntry('T', 'x');
  EXPECT_EQ(d.WriteTraceFile("C:\\no such folder\\x.trc", false, true, false), -static_cast<int>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(d.TraceBuffer, nullptr);
  EXPECT_FALSE(d.TraceActive);
}
