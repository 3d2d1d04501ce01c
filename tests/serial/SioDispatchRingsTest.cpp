#include <gtest/gtest.h>

#include "SioDispatchTestDevice.h"
#include "SioErrors.h"

namespace {

std::string Bytes(size_t n, int seed = 0) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + seed) & 0xFF);
  return s;
}

std::string TakeAll(TTestDispatcher& d) {
  std::string out;
  BYTE b;
  while (d.TakeInput(b) == 0) out += static_cast<char>(b);
  return out;
}

}  // namespace

TEST(SioDispatchInputRing, RingDistanceCoversEqualFullAndWrappedIndexes) {
  EXPECT_EQ(TSioBaseDispatcher::RingDistance(5, 5, true), 8192u);
  EXPECT_EQ(TSioBaseDispatcher::RingDistance(5, 5, false), 0u);
  EXPECT_EQ(TSioBaseDispatcher::RingDistance(10, 3, false), 7u);
  EXPECT_EQ(TSioBaseDispatcher::RingDistance(3, 10, false), 8185u);
}

TEST(SioDispatchInputRing, TakeFromEmptyRingFailsAndConsumesNothing) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  BYTE b = 0x55;
  EXPECT_EQ(d.TakeInput(b), ecBufferIsEmpty);
  EXPECT_EQ(b, 0x55);
  EXPECT_FALSE(d.HasInput());
  EXPECT_EQ(d.InputCount(), 0u);
}

TEST(SioDispatchInputRing, PeekNeedsThatManyBytesAndConsumesNone) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  d.ReceiveIntoRing("xy");
  BYTE b = 0;
  EXPECT_EQ(d.PeekInput(b, 3), ecBufferIsEmpty);
  d.ReceiveIntoRing("z");
  EXPECT_EQ(d.PeekInput(b, 3), 0);
  EXPECT_EQ(b, 'z');
  EXPECT_EQ(d.PeekInput(b, 0), ecBadArgument) << "position 0 lies before the oldest byte";
  EXPECT_EQ(d.InputCount(), 3u);
  EXPECT_EQ(TakeAll(d), "xyz");
}

TEST(SioDispatchInputRing, FullRingHoldsEverythingAndOneTakeClearsFull) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  std::string data = Bytes(8192 + 10);
  d.ReceiveIntoRing(data);
  EXPECT_TRUE(d.InputFull);
  EXPECT_TRUE(d.HasInput());
  EXPECT_EQ(d.InputCount(), 8192u);
  EXPECT_EQ(d.PendingCount(), 10u) << "the driver keeps what does not fit";
  size_t reads = d.ReadSizes.size();
  EXPECT_TRUE(d.FillInputRing()) << "a full ring reports bytes without reading";
  EXPECT_EQ(d.ReadSizes.size(), reads);

  BYTE b;
  ASSERT_EQ(d.TakeInput(b), 0);
  EXPECT_EQ(b, static_cast<BYTE>(data[0]));
  EXPECT_FALSE(d.InputFull);
  EXPECT_EQ(d.InputCount(), 8191u);
  d.ReceiveIntoRing("");
  EXPECT_EQ(d.InputCount(), 8192u);
  EXPECT_EQ(TakeAll(d), data.substr(1, 8192));
}

TEST(SioDispatchInputRing, FillAndTakeAcrossEveryWrapPoint) {
  struct Case {
    DWORD start;
    size_t count;
    std::vector<DWORD> reads;  // sizes asked of the device
    bool full;
  };
  const Case cases[] = {
      {0, 5, {8192}, false},          {8191, 1, {1}, false},       {8191, 2, {1, 1}, false},
      {8000, 300, {192, 108}, false}, {8000, 192, {192}, false},   {100, 8192, {8092, 100}, true},
      {8191, 8192, {1, 8191}, true},  {4096, 4096, {4096}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "start " << c.start << " count " << c.count);
    TTestDispatcher d;
    ASSERT_EQ(d.Open(), 0);
    d.PositionInputRing(c.start);
    std::string data = Bytes(c.count, static_cast<int>(c.start));
    d.Receive(data);
    EXPECT_TRUE(d.FillInputRing());
    EXPECT_EQ(d.ReadSizes, c.reads);
    EXPECT_EQ(d.InputFull, c.full);
    EXPECT_EQ(d.InHead, (c.start + c.count) % 8192);
    EXPECT_EQ(d.InputCount(), c.count);
    EXPECT_EQ(TakeAll(d), data);
    EXPECT_EQ(d.InTail, d.InHead);
  }
}

TEST(SioDispatchInputRing, EmptyDriverQueueReportsNoBytes) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  EXPECT_FALSE(d.FillInputRing());
  EXPECT_TRUE(d.ReadSizes.empty());
}

TEST(SioDispatchInputRing, DiscardEmptiesRingDriverAndPartialMatches) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  ASSERT_GT(d.AddDataTrigger("ab", 2, false), 0);
  d.ReceiveIntoRing("xxa");
  d.CheckDataMatch();
  ASSERT_NE(d.DataTriggerList[0].MatchState[0], 0u);
  d.Receive("more");
  EXPECT_EQ(d.DiscardInput(), 0);
  EXPECT_EQ(d.InputCount(), 0u);
  EXPECT_EQ(d.PendingCount(), 0u);
  EXPECT_EQ(d.DataTriggerList[0].MatchState[0], 0u);
}

TEST(SioDispatchInputRing, ReadsAfterCloseFindNoRing) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  d.ReceiveIntoRing("abc");
  d.CloseDevice();
  EXPECT_FALSE(d.HasInput()) << "a closed port has nothing waiting";
  EXPECT_EQ(d.InputCount(), 0u);
  BYTE b;
  EXPECT_EQ(d.TakeInput(b), ecBufferIsEmpty);
  EXPECT_FALSE(d.FillInputRing());
}

TEST(SioDispatchOutputRing, BlockOfExactlyFreeSpaceFillsRingAndOneMoreIsRefused) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(64), 0);
  ASSERT_EQ(d.WriteBlock(Bytes(10).data(), 10), 0);
  d.Send(10);
  std::string block = Bytes(64, 3);
  EXPECT_EQ(d.WriteBlock(block.data(), 64), 0) << "wraps at the end of the ring";
  EXPECT_TRUE(d.OutputFull);
  EXPECT_EQ(d.OutputCount(), 64u);
  EXPECT_EQ(d.OutputSpace(), 0u);
  EXPECT_EQ(d.WriteByte('x'), ecOutputBufferTooSmall);
  EXPECT_EQ(d.Sent, Bytes(10) + block) << "nothing of the refused byte was queued";
}

TEST(SioDispatchOutputRing, BlockOneOverFreeSpaceQueuesNothing) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(64), 0);
  ASSERT_EQ(d.WriteBlock("abcd", 4), 0);
  std::string block = Bytes(61);
  EXPECT_EQ(d.WriteBlock(block.data(), 61), ecOutputBufferTooSmall);
  EXPECT_EQ(d.Sent, "abcd");
  EXPECT_FALSE(d.OutputFull);
  EXPECT_EQ(d.WriteBlock(block.data(), 60), 0);
  EXPECT_TRUE(d.OutputFull);
}

TEST(SioDispatchOutputRing, EmptyBlockDoesNothing) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(64), 0);
  ASSERT_EQ(d.StartTraceBuffer(10), 0);
  d.StartLogBuffer(1000);
  d.ErrorFlags = LineErrorParity;
  d.DeviceErrors = LineErrorFraming;
  EXPECT_EQ(d.WriteBlock("x", 0), 0);
  EXPECT_EQ(d.TraceNext, 0u);
  EXPECT_EQ(d.LogFree, d.LogCapacity);
  EXPECT_EQ(d.ErrorFlags, LineErrorParity) << "no status refresh for an empty block";
  EXPECT_FALSE(d.OutputWritten);
}

TEST(SioDispatchOutputRing, StatusRefreshReplacesErrorFlags) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(64), 0);
  d.ErrorFlags = LineErrorBreak;
  d.DeviceErrors = LineErrorParity;
  ASSERT_EQ(d.WriteByte('a'), 0);
  EXPECT_EQ(d.ErrorFlags, LineErrorParity);
  EXPECT_TRUE(d.OutputWritten);
}

TEST(SioDispatchOutputRing, FailedQueueReportsPutBlockFailAndLeavesRingNotFull) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(16), 0);
  d.QueueOutputResult = 0;
  std::string block = Bytes(16);
  EXPECT_EQ(d.WriteBlock(block.data(), 16), ecPutBlockFail);
  EXPECT_FALSE(d.OutputFull) << "an empty ring marked full would send stale bytes";
  EXPECT_EQ(d.OutputCount(), 0u);
  EXPECT_TRUE(d.OutputWritten);
}

TEST(SioDispatchOutputRing, Rs485WithoutBaseAddressIsRefusedOnPortIoPlatforms) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(16), 0);
  d.NtPlatform = false;
  d.Rs485Active = true;
  d.Escapes.clear();
  EXPECT_EQ(d.WriteByte('a'), ecBaseAddressNotSet);
  EXPECT_TRUE(d.Sent.empty());
  d.UartBase = 0x3F8;
  EXPECT_EQ(d.WriteByte('a'), 0);
  EXPECT_EQ(d.Escapes, std::vector<DWORD>{SETRTS}) << "RTS is raised before the byte is queued";
  d.NtPlatform = true;
  d.UartBase = 0;
  EXPECT_EQ(d.WriteByte('b'), 0) << "the driver toggles RTS itself on NT";
}

TEST(SioDispatchOutputRing, WritesAfterCloseAreRefused) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(16), 0);
  d.CloseDevice();
  EXPECT_EQ(d.WriteByte('a'), ecOutputBufferTooSmall);
  EXPECT_TRUE(d.Sent.empty());
}
