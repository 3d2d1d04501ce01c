#include <gtest/gtest.h>

#include <memory>

#include "SioDispatchTestDevice.h"
#include "SioErrors.h"

namespace {

DCB LineOf(DWORD baud, BYTE dataBits, BYTE parity, BYTE stopCode) {
  DCB line{};
  line.BaudRate = baud;
  line.ByteSize = dataBits;
  line.Parity = parity;
  line.StopBits = stopCode;
  return line;
}

bool Contains(const std::vector<DWORD>& v, DWORD x) { return std::find(v.begin(), v.end(), x) != v.end(); }

}  // namespace

TEST(SioDispatchLifecycle, HandlesReuseLowestEmptyEntryAndTrailingEntriesGo) {
  size_t base = PortList.size();
  ASSERT_EQ(base, 0u) << "no dispatcher outlives its test";
  auto first = std::make_unique<TTestDispatcher>();
  auto second = std::make_unique<TTestDispatcher>();
  EXPECT_EQ(first->DispatcherHandle, 0);
  EXPECT_EQ(second->DispatcherHandle, 1);
  first.reset();
  EXPECT_EQ(second->DispatcherHandle, 1);
  EXPECT_EQ(PortList.size(), 2u);
  EXPECT_EQ(PortList[0], nullptr);
  auto third = std::make_unique<TTestDispatcher>();
  EXPECT_EQ(third->DispatcherHandle, 0);
  second.reset();
  EXPECT_EQ(PortList.size(), 1u) << "the empty last entry is removed";
  third.reset();
  EXPECT_TRUE(PortList.empty());
}

TEST(SioDispatchLifecycle, FailedOpenLeavesNothingBehind) {
  struct Case {
    const char* name;
    DWORD openError;
    DWORD queueError;
    int lineResult;
    int expected;
  };
  const Case cases[] = {
      {"no device", ERROR_FILE_NOT_FOUND, 0, 0, -2},
      {"port held elsewhere", ERROR_ACCESS_DENIED, 0, 0, -5},
      {"queue sizes refused", 0, ERROR_INVALID_PARAMETER, 0, -87},
      {"line settings refused", 0, 0, -31, -31},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TTestDispatcher d;
    d.OpenError = c.openError;
    d.QueueSizesError = c.queueError;
    d.WriteLineResult = c.lineResult;
    EXPECT_EQ(d.Open(), c.expected);
    EXPECT_EQ(d.DeviceHandle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(d.InputRing, nullptr);
    EXPECT_EQ(d.OutputRing, nullptr);
    EXPECT_FALSE(d.WorkersRunning);
    EXPECT_EQ(d.EventReady, nullptr);
    EXPECT_EQ(d.FlushRequest, nullptr);
  }
}

TEST(SioDispatchLifecycle, OpenDrivesLinesUnlessInHandshake) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(64, 1000, OpenFlagDtrHandshake | OpenFlagRtsOn), 0);
  EXPECT_TRUE(d.DtrHandshake);
  EXPECT_FALSE(d.RtsHandshake);
  EXPECT_TRUE(d.RtsOn);
  EXPECT_FALSE(Contains(d.Escapes, SETDTR));
  EXPECT_FALSE(Contains(d.Escapes, CLRDTR));
  EXPECT_TRUE(Contains(d.Escapes, SETRTS));
  EXPECT_EQ(d.Line.fRtsControl, RTS_CONTROL_ENABLE);
  EXPECT_EQ(d.Line.BaudRate, 115200u);
  EXPECT_TRUE(d.WorkersRunning);
  EXPECT_NE(d.EventReady, nullptr);
}

TEST(SioDispatchLineSettings, KeepValuesAndStopBitCodes) {
  struct Case {
    const char* name;
    DCB before;
    DWORD baud;
    int parity, dataBits, stopBits;
    DCB after;
    bool written;
  };
  const DCB line8N1 = LineOf(115200, 8, NOPARITY, ONESTOPBIT);
  const Case cases[] = {
      {"all kept", line8N1, 0, 5, 9, 3, line8N1, false},
      {"same values given", line8N1, 115200, 0, 8, 1, line8N1, false},
      {"five data bits and two stop bits", line8N1, 0, 5, 5, 2, LineOf(115200, 5, NOPARITY, ONE5STOPBITS), true},
      {"five data bits, stop bits kept", line8N1, 0, 5, 5, 3, LineOf(115200, 5, NOPARITY, ONE5STOPBITS), true},
      {"stop bits 0 count as one", LineOf(115200, 8, NOPARITY, TWOSTOPBITS), 0, 5, 9, 0, line8N1, true},
      {"stop bits 7 count as two", line8N1, 0, 5, 9, 7, LineOf(115200, 8, NOPARITY, TWOSTOPBITS), true},
      {"kept five bits, one stop bit given", LineOf(115200, 5, NOPARITY, TWOSTOPBITS), 0, 5, 9, 1,
       LineOf(115200, 5, NOPARITY, ONE5STOPBITS), true},
      {"kept five bits, stop kept", LineOf(115200, 5, NOPARITY, TWOSTOPBITS), 0, 5, 9, 3,
       LineOf(115200, 5, NOPARITY, TWOSTOPBITS), false},
      {"baud and parity", line8N1, 19200, EVENPARITY, 7, 1, LineOf(19200, 7, EVENPARITY, ONESTOPBIT), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TTestDispatcher d;
    ASSERT_EQ(d.Open(), 0);
    d.Line = c.before;
    int writes = d.LineWrites;
    EXPECT_EQ(d.ChangeLineSettings(c.baud, c.parity, c.dataBits, c.stopBits), 0);
    EXPECT_EQ(d.LineWrites - writes, c.written ? 1 : 0);
    EXPECT_EQ(d.Line.BaudRate, c.after.BaudRate);
    EXPECT_EQ(d.Line.ByteSize, c.after.ByteSize);
    EXPECT_EQ(d.Line.Parity, c.after.Parity);
    EXPECT_EQ(d.Line.StopBits, c.after.StopBits);
  }
}

TEST(SioDispatchLineSettings, FailedWriteIsReported) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  d.WriteLineResult = -31;
  EXPECT_EQ(d.ChangeLineSettings(9600, 5, 9, 3), -31);
  EXPECT_EQ(d.Line.BaudRate, 115200u);
}

TEST(SioDispatchLineSettings, TranslateBaudMapsOnlyKnownCodes) {
  const std::pair<DWORD, DWORD> cases[] = {{0xFEFF, 115200}, {0xFF10, 110},    {0xFF16, 9600},
                                           {0xFF1B, 38400},  {0xFF19, 0xFF19}, {0xFF27, 256000},
                                           {0xFF0F, 0xFF0F}, {0xFF28, 0xFF28}, {9600, 9600}};
  for (auto [in, out] : cases) EXPECT_EQ(TSioBaseDispatcher::TranslateBaud(in), out) << std::hex << in;
}

TEST(SioDispatchLineSettings, QueryReadsOneAndAHalfAsTwo) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  d.Line = LineOf(0xFF18, 5, ODDPARITY, ONE5STOPBITS);
  DWORD baud;
  WORD parity;
  BYTE dataBits, stopBits;
  d.QueryLineSettings(baud, parity, dataBits, stopBits);
  EXPECT_EQ(baud, 19200u);
  EXPECT_EQ(parity, ODDPARITY);
  EXPECT_EQ(dataBits, 5);
  EXPECT_EQ(stopBits, 2);
}

TEST(SioDispatchModemControl, DriveLinesHonourHandshakeAndReportEscapeFailure) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(64, 1000, OpenFlagDtrOn), 0);
  d.DtrHandshake = true;
  d.Escapes.clear();
  EXPECT_EQ(d.DriveDtr(false), 1);
  EXPECT_TRUE(d.DtrOn);
  EXPECT_TRUE(d.Escapes.empty());

  d.DtrHandshake = false;
  d.EscapeResult = -1;
  EXPECT_EQ(d.DriveDtr(false), ecBadArgument);
  EXPECT_FALSE(d.DtrOn);
  d.EscapeResult = 0;
  EXPECT_EQ(d.DriveRts(true), 0);
  EXPECT_EQ(d.Escapes, (std::vector<DWORD>{CLRDTR, SETRTS}));
}

TEST(SioDispatchFlowControl, LimitsAreCheckedBeforeTheDeviceIsTouched) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(64, 1000), 0);
  int writes = d.LineWrites;
  EXPECT_EQ(d.ConfigureXonXoffFlow(1001, 10, 2), ecBadArgument);
  EXPECT_EQ(d.ConfigureXonXoffFlow(100, 101, 2), ecBadArgument);
  EXPECT_EQ(d.ConfigureHardwareFlow(1001, 10, 1), ecBadArgument);
  EXPECT_EQ(d.LineWrites, writes);
  EXPECT_EQ(d.ConfigureXonXoffFlow(1000, 1000, 2), 0) << "resume equal to full and full equal to the queue";
  EXPECT_EQ(d.LineWrites, writes + 1);
}

TEST(SioDispatchFlowControl, XonXoffSetsDirectionsWithoutClearingOtherFlow) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(64, 1000), 0);
  d.Line.fOutxCtsFlow = 1;
  ASSERT_EQ(d.ConfigureXonXoffFlow(900, 100, 2), 0);
  EXPECT_EQ(d.Line.fInX, 1u);
  EXPECT_EQ(d.Line.fOutX, 0u);
  EXPECT_EQ(d.Line.XoffLim, 100);
  EXPECT_EQ(d.Line.XonLim, 100);
  EXPECT_EQ(d.Line.XonChar, 17);
  EXPECT_EQ(d.Line.XoffChar, 19);
  EXPECT_EQ(d.Line.fOutxCtsFlow, 1u);
  ASSERT_EQ(d.ConfigureXonXoffFlow(900, 100, 1), 0);
  EXPECT_EQ(d.Line.fOutX, 1u);
  EXPECT_EQ(d.Line.fInX, 1u);
  ASSERT_EQ(d.DisableXonXoffFlow(), 0);
  EXPECT_EQ(d.Line.fOutX, 0u);
  EXPECT_EQ(d.Line.fInX, 0u);
}

TEST(SioDispatchFlowControl, HardwareFlowReplacesEarlierChoices) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(64, 1000, OpenFlagRtsOn), 0);
  ASSERT_EQ(d.ConfigureHardwareFlow(800, 200, 1 | 8), 0);
  EXPECT_EQ(d.Line.fDtrControl, DTR_CONTROL_HANDSHAKE);
  EXPECT_EQ(d.Line.fRtsControl, RTS_CONTROL_ENABLE);
  EXPECT_EQ(d.Line.fOutxCtsFlow, 1u);
  EXPECT_EQ(d.Line.fOutxDsrFlow, 0u);
  EXPECT_EQ(d.Line.XoffLim, 200);
  EXPECT_EQ(d.Line.XonLim, 200);
  EXPECT_TRUE(d.DtrHandshake);
  DWORD hardware, xonXoff;
  char xon, xoff;
  EXPECT_EQ(d.QueryFlowOptions(hardware, xonXoff, xon, xoff), 0);
  EXPECT_EQ(hardware, 1u | 8u);

  ASSERT_EQ(d.ConfigureHardwareFlow(800, 200, 2 | 4), 0);
  EXPECT_EQ(d.Line.fDtrControl, DTR_CONTROL_DISABLE) << "DTR is off, no longer in handshake";
  EXPECT_EQ(d.Line.fRtsControl, RTS_CONTROL_HANDSHAKE);
  EXPECT_EQ(d.Line.fOutxCtsFlow, 0u);
  EXPECT_EQ(d.Line.fOutxDsrFlow, 1u);
  EXPECT_FALSE(d.DtrHandshake);
  EXPECT_TRUE(d.RtsHandshake);

  d.Rs485Active = true;
  ASSERT_EQ(d.ConfigureHardwareFlow(800, 200, 0), 0);
  EXPECT_EQ(d.Line.fRtsControl, RTS_CONTROL_TOGGLE) << "the driver toggles RTS around each send";
}

TEST(SioDispatchLineStatus, BreakAloneReportsNineUntilTaken) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  d.DeviceErrors = CE_BREAK;
  d.PollDeviceErrors();
  EXPECT_EQ(d.TakeLineError(), 9);
  EXPECT_EQ(d.TakeLineError(), 9);
  EXPECT_TRUE(d.TakeBreakFlag());
  EXPECT_FALSE(d.TakeBreakFlag());
  EXPECT_EQ(d.TakeLineError(), 0);
}

TEST(SioDispatchLineStatus, FirstErrorWinsAndAllFourClear) {
  const std::pair<DWORD, int> cases[] = {{CE_RXOVER | CE_FRAME, 1},
                                         {CE_OVERRUN | CE_RXPARITY, 2},
                                         {CE_RXPARITY, 3},
                                         {CE_FRAME, 4},
                                         {CE_FRAME | CE_BREAK, 4}};
  for (auto [flags, code] : cases) {
    TTestDispatcher d;
    ASSERT_EQ(d.Open(), 0);
    d.DeviceErrors = flags | 0x100;  // bits above the five are not accumulated
    d.PollDeviceErrors();
    EXPECT_EQ(d.ErrorFlags, flags);
    EXPECT_EQ(d.TakeLineError(), code);
    EXPECT_EQ(d.ErrorFlags, flags & CE_BREAK);
  }
}

TEST(SioDispatchLineStatus, ModemLinesKeepChangeBitsUntilMaskedRead) {
  TTestDispatcher d;
  d.ModemStatus = MS_CTS_ON | MS_RING_ON;
  ASSERT_EQ(d.Open(), 0);
  EXPECT_EQ(d.ModemLines, ModemCts | ModemRing) << "open loads the lines without change bits";

  d.ModemStatus = MS_DSR_ON;
  d.RingSeen = true;
  d.PollModemLines();
  EXPECT_EQ(d.ModemLines, ModemDsr | ModemCtsChanged | ModemDsrChanged | ModemRingEnded);
  d.ModemStatus = MS_DSR_ON | MS_RLSD_ON;
  d.PollModemLines();
  EXPECT_EQ(d.ModemLines, ModemDsr | ModemDcd | ModemCtsChanged | ModemDsrChanged | ModemRingEnded | ModemDcdChanged);
  EXPECT_EQ(d.ReadModemLines(0xF0), ModemDsr | ModemDcd | 0x0F);
  EXPECT_EQ(d.ModemLines, ModemDsr | ModemDcd);
  EXPECT_FALSE(d.RingSeen);
}

TEST(SioDispatchPriority, BoostReachesRunningWorkersOnly) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  auto* com = reinterpret_cast<TSioDispatcherThread*>(0x10);
  auto* out = reinterpret_cast<TSioDispatcherThread*>(0x30);
  d.ComWorker = com;
  d.OutWorker = out;
  d.SetPriorityBoost(0);
  EXPECT_TRUE(d.Priorities.empty()) << "an unchanged boost does nothing";
  d.Rs485Active = true;
  d.SetPriorityBoost(2);
  EXPECT_EQ(d.Priorities, (std::vector<std::pair<TSioDispatcherThread*, int>>{{com, 5}, {out, 6}}));
  d.ComWorker = nullptr;
  d.OutWorker = nullptr;
}
