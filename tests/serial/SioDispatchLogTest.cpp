#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "SioDispatchTestDevice.h"
#include "SioErrors.h"
#include "TestSupport.h"
#include "systemroot.h"

namespace {

// The report after its three build-dependent first lines.
std::string FromDeviceLine(const std::string& text) {
  size_t at = text.find("Device: ");
  return at == std::string::npos ? text : text.substr(at);
}

// Stores an entry with a chosen time, as AddLogEntry would at that moment.
void PutEntry(TSioBaseDispatcher& d, BYTE event, BYTE subEvent, DWORD time, DWORD data, const std::string& bytes) {
  TLogEntryHeader header{};
  header.Event = event;
  header.SubEvent = subEvent;
  header.Time = time;
  header.Data = data;
  header.Count = static_cast<DWORD>(bytes.size());
  ASSERT_TRUE(d.PutLogBytes(&header, sizeof header));
  if (!bytes.empty()) {
    ASSERT_TRUE(d.PutLogBytes(bytes.data(), header.Count));
  }
}

struct TTaken {
  TLogEntryHeader Header;
  std::string Data;
};

std::vector<TTaken> TakeAll(TSioBaseDispatcher& d) {
  std::vector<TTaken> entries;
  TLogEntryHeader header;
  std::vector<BYTE> scratch;
  DWORD count = 0;
  while (!d.TakeLogEntry(header, scratch, count)) {
    entries.push_back({header, std::string(scratch.begin(), scratch.begin() + count)});
  }
  return entries;
}

class SioDispatchLog : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(d.Open(), 0); }
  TTestDispatcher d;
};

}  // namespace

TEST_F(SioDispatchLog, FullRingDropsOnlyAsManyOldEntriesAsTheNewOneNeeds) {
  d.StartLogBuffer(100);
  PutEntry(d, 1, 1, 1, 0, "");
  PutEntry(d, 1, 1, 2, 0, "");
  PutEntry(d, 1, 2, 3, 24, std::string(24, 'a'));
  ASSERT_EQ(d.LogFree, 28u);
  PutEntry(d, 1, 2, 4, 24, std::string(24, 'b'));
  EXPECT_EQ(d.LogFree, 4u);
  auto entries = TakeAll(d);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].Header.Time, 2u);
  EXPECT_EQ(entries[1].Data, std::string(24, 'a'));
  EXPECT_EQ(entries[2].Data, std::string(24, 'b'));
  EXPECT_EQ(d.LogFree, d.LogCapacity);
}

TEST_F(SioDispatchLog, EntriesWrappingAtEveryOffsetReadBackIdentical) {
  for (DWORD capacity = 40; capacity < 80; ++capacity) {
    SCOPED_TRACE(capacity);
    d.FreeLogBuffer();
    d.StartLogBuffer(capacity);
    for (DWORD n = 0; n < 12; ++n) {
      std::string data(n % 7, static_cast<char>('a' + n));
      PutEntry(d, 2, static_cast<BYTE>(n), n * 1000 + 7, n, data);
      auto entries = TakeAll(d);
      ASSERT_EQ(entries.size(), 1u);
      EXPECT_EQ(entries[0].Header.Event, 2);
      EXPECT_EQ(entries[0].Header.SubEvent, n);
      EXPECT_EQ(entries[0].Header.Time, n * 1000 + 7);
      EXPECT_EQ(entries[0].Header.Data, n);
      EXPECT_EQ(entries[0].Data, data);
    }
  }
}

TEST_F(SioDispatchLog, PieceAsLongAsTheRingIsRefused) {
  d.StartLogBuffer(40);
  PutEntry(d, 1, 1, 1, 0, "x");
  std::string big(40, 'z');
  EXPECT_FALSE(d.PutLogBytes(big.data(), 40));
  EXPECT_EQ(d.LogFree, 40u - 17u) << "a refused piece drops nothing";
  EXPECT_TRUE(d.PutLogBytes(big.data(), 39)) << "one byte shorter fits, dropping the older entry";
}

TEST_F(SioDispatchLog, EntryFillingTheRingExactlyIsKeptAndOneByteMoreIsRefused) {
  const std::string data(84, 'd');
  // A 16-byte header and 84 data bytes in a 100-byte ring, at the start of
  // the ring and wrapping across its end; the older entries give way.
  for (DWORD before : {0u, 1u, 37u}) {
    SCOPED_TRACE(before);
    d.FreeLogBuffer();
    d.StartLogBuffer(100);
    if (before != 0) PutEntry(d, 1, 2, 1, 0, std::string(before, 'o'));
    PutEntry(d, 2, 5, 2, 0, "");
    d.AddLogEntry(1, 1, 84, data.data(), 84);
    EXPECT_EQ(d.LogFree, 0u);
    auto entries = TakeAll(d);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Header.Event, 1);
    EXPECT_EQ(entries[0].Header.Data, 84u);
    EXPECT_EQ(entries[0].Data, data);
  }

  d.ResetLogBuffer();
  PutEntry(d, 2, 5, 3, 0, "");
  std::string tooLong(85, 'z');
  d.AddLogEntry(1, 1, 85, tooLong.data(), 85);
  auto entries = TakeAll(d);
  ASSERT_EQ(entries.size(), 1u) << "16 + 85 bytes do not fit: nothing is stored and nothing dropped";
  EXPECT_EQ(entries[0].Header.Time, 3u);
}

TEST_F(SioDispatchLog, HeaderOnlyEntryNeedsARingLongerThanItsHeader) {
  d.StartLogBuffer(16);
  d.AddLogEntry(2, 5, 1, nullptr, 0);
  EXPECT_EQ(d.LogFree, 16u) << "a header as long as the ring is a piece as long as the ring";
  d.FreeLogBuffer();
  d.StartLogBuffer(17);
  d.AddLogEntry(2, 5, 1, nullptr, 0);
  EXPECT_EQ(d.LogFree, 1u);
  d.ResetLogBuffer();
  d.AddLogEntry(1, 1, 1, "q", 1);
  auto entries = TakeAll(d);
  ASSERT_EQ(entries.size(), 1u) << "16 + 1 bytes fill a 17-byte ring";
  EXPECT_EQ(entries[0].Data, "q");
}

TEST_F(SioDispatchLog, ReadLargerThanTheQueueSizesFitsTheScratch) {
  d.StartLogBuffer(20000);
  d.ReceiveIntoRing(std::string(8192, 'r'));
  auto entries = TakeAll(d);
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries[0].Header.Count, 8192u) << "one device read of a whole ring";
  EXPECT_EQ(entries[0].Data, std::string(8192, 'r'));
}

TEST_F(SioDispatchLog, EntryTimesCountFromTheOpen) {
  d.StartLogBuffer(1000);
  d.OpenTime = MillisecondClock() - 1234;
  d.SetLengthTrigger(12);
  auto entries = TakeAll(d);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].Header.Event, 9);
  EXPECT_EQ(entries[0].Header.SubEvent, 16);
  EXPECT_EQ(entries[0].Header.Data, 12u);
  EXPECT_GE(entries[0].Header.Time, 1234u);
  EXPECT_LT(entries[0].Header.Time, 1234u + 60000u);
}

TEST_F(SioDispatchLog, DispatcherOperationsAddTheirEntries) {
  d.StartLogBuffer(100000);
  HWND window = reinterpret_cast<HWND>(0x77);
  d.RegisterWindowHandler(window);
  ASSERT_EQ(d.WriteBlock("hi", 2), 0);
  d.ReceiveIntoRing("abc");
  d.DeregisterWindowHandler(window);
  auto entries = TakeAll(d);
  std::vector<std::tuple<int, int, DWORD, std::string>> seen;
  for (const TTaken& e : entries) seen.emplace_back(e.Header.Event, e.Header.SubEvent, e.Header.Data, e.Data);
  std::vector<std::tuple<int, int, DWORD, std::string>> expected = {
      {7, 17, 0x77, ""}, {1, 2, 2, "hi"}, {1, 1, 3, "abc"}, {8, 17, 0x77, ""}};
  EXPECT_EQ(seen, expected);
}

TEST_F(SioDispatchLog, ReportMatchesHandWrittenFiles) {
  struct Case {
    const char* device;
    bool inHex;
    bool allHex;
    const char* expected;
  };
  const Case cases[] = {{"COM2", false, true, "log_allhex.log"}, {"COM2", false, false, "log_decimal.log"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    d.DeviceName = c.device;
    d.StartLogBuffer(1000);
    PutEntry(d, 1, 1, 10, 3, "A \xFF");
    if (!c.allHex) PutEntry(d, 1, 1, 12, 8, std::string(8, '\xFF'));
    PutEntry(d, 19, 0, 11, 2, "hi");
    EXPECT_EQ(d.WriteLogFile("C:\\serial.log", false, c.inHex, c.allHex), 0);
    EXPECT_EQ(FromDeviceLine(FileText("C:\\serial.log")), Expected(c.expected));
    EXPECT_EQ(d.LogBuffer, nullptr);
  }
}

TEST_F(SioDispatchLog, ReportInHexWithEveryKindOfLine) {
  d.DeviceName = "COM7";
  d.StartLogBuffer(1000);
  PutEntry(d, 2, 5, 1234, 12, "");
  std::string twenty;
  for (int b = 1; b <= 20; ++b) twenty += static_cast<char>(b);
  PutEntry(d, 1, 1, 5, 20, twenty);
  PutEntry(d, 1, 2, 12345678, 4, "AB\r\n");
  PutEntry(d, 7, 17, 60000, 0x1234, "");
  PutEntry(d, 1, 4, 7, 0x11, "1");
  PutEntry(d, 5, 15, 8, 0, "\x03");
  PutEntry(d, 0, 0, 0, 0xFFFFFFFF, "");
  PutEntry(d, 10, 0, 9, 1, "");
  EXPECT_EQ(d.WriteLogFile("C:\\serial.log", false, true, false), 0);
  std::string text = FileText("C:\\serial.log");
  EXPECT_EQ(text.rfind("SIO v1.00\r\nCompiler : ", 0), 0u);
  EXPECT_NE(text.find("\r\nOperating System : Windows NT "), std::string::npos);
  EXPECT_EQ(FromDeviceLine(text), Expected("log_hex.log"));
}

TEST_F(SioDispatchLog, DataLinesBreakOnlyWhenAnItemWouldPassColumn78) {
  // The 44-character prefix leaves 33 columns: a line may end in column 77
  // (the column count then stands at 78); an item that would pass it starts
  // the next line under the first data item.
  const std::string indent(44, ' ');
  const std::string hexItems = "[01][01][01][01][01][01][01][01]";
  const std::string hexBytes(8, '\x01');
  struct Case {
    std::string data;
    std::string rendered;
  };
  const Case cases[] = {
      {std::string(33, 'a'), std::string(33, 'a')},
      {std::string(34, 'a'), std::string(33, 'a') + "\r\n" + indent + "a"},
      {hexBytes + "a", hexItems + "a"},
      {hexBytes + "ab", hexItems + "a\r\n" + indent + "b"},
      {hexBytes + "a\x02", hexItems + "a\r\n" + indent + "[02]"},
      {std::string(66, 'c'), std::string(33, 'c') + "\r\n" + indent + std::string(33, 'c')},
  };
  const std::string rule = ErrorText(15502) + "\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rendered);
    d.StartLogBuffer(1000);
    auto count = static_cast<DWORD>(c.data.size());
    PutEntry(d, 1, 1, 1, count, c.data);
    ASSERT_EQ(d.WriteLogFile("C:\\width.log", false, true, false), 0);
    std::string text = FileText("C:\\width.log");
    size_t at = text.find(rule);
    ASSERT_NE(at, std::string::npos);
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "0000.001  Dispatch  ReadCom       %08X  ", static_cast<unsigned>(count));
    EXPECT_EQ(text.substr(at + rule.size()), prefix + c.rendered + "\r\n");
  }
}

TEST_F(SioDispatchLog, AppendAddsASecondReport) {
  d.DeviceName = "COM1";
  d.StartLogBuffer(1000);
  PutEntry(d, 2, 5, 1, 1, "");
  ASSERT_EQ(d.WriteLogFile("C:\\two.log", true, true, false), 0);
  std::string first = FileText("C:\\two.log");
  d.StartLogBuffer(1000);
  PutEntry(d, 2, 5, 1, 1, "");
  ASSERT_EQ(d.WriteLogFile("C:\\two.log", true, true, false), 0);
  EXPECT_EQ(FileText("C:\\two.log"), first + first);
}

TEST_F(SioDispatchLog, EmptyLogWritesNoFile) {
  d.StartLogBuffer(1000);
  EXPECT_EQ(d.WriteLogFile("C:\\empty.log", false, true, false), 0);
  EXPECT_EQ(FileText("C:\\empty.log"), "<no file>");
  EXPECT_EQ(d.LogBuffer, nullptr);
  EXPECT_FALSE(d.LogActive);
}

TEST_F(SioDispatchLog, UnopenableFileKeepsTheEntries) {
  d.StartLogBuffer(1000);
  PutEntry(d, 2, 5, 1, 1, "");
  EXPECT_EQ(d.WriteLogFile("C:\\no such folder\\x.log", false, true, false), -static_cast<int>(ERROR_PATH_NOT_FOUND));
  EXPECT_NE(d.LogBuffer, nullptr);
  EXPECT_FALSE(d.LogActive);
  EXPECT_EQ(TakeAll(d).size(), 1u);
}

TEST_F(SioDispatchLog, PauseResumeAndRestartKeepTheRing) {
  d.StartLogBuffer(1000);
  d.DisableLogEntries();
  d.SetLengthTrigger(3);
  EXPECT_EQ(d.LogFree, 1000u);
  d.EnableLogEntries();
  d.SetLengthTrigger(4);
  d.StartLogBuffer(50);
  EXPECT_EQ(d.LogCapacity, 1000u) << "a second start only empties the ring";
  EXPECT_EQ(d.LogFree, 1000u);
}
