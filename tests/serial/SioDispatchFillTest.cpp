// The fill reads the driver without holding the input lock; what other
// threads do to the ring meanwhile is done here from inside the device read,
// at the one moment it can now happen.
#include <gtest/gtest.h>

#include <functional>

#include "SioDispatchTestDevice.h"
#include "SioErrors.h"

namespace {

std::string Bytes(size_t n, int seed = 0) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 13 + seed) & 0xFF);
  return s;
}

std::string TakeAll(TSioBaseDispatcher& d) {
  std::string out;
  BYTE b;
  while (d.TakeInput(b) == 0) out += static_cast<char>(b);
  return out;
}

// Runs `during` once, right after the first device read of a fill returned.
class TInterruptedFill : public TTestDispatcher {
 public:
  std::function<void()> During;
  int ReadDevice(void* buffer, DWORD count) override {
    int got = TTestDispatcher::ReadDevice(buffer, count);
    if (During) std::exchange(During, nullptr)();
    return got;
  }
};

}  // namespace

TEST(SioDispatchFill, DiscardDuringTheReadDropsWhatThatReadTook) {
  TInterruptedFill d;
  ASSERT_EQ(d.Open(), 0);
  d.ReceiveIntoRing("old");
  d.Receive("read while the discard came");
  d.During = [&] { EXPECT_EQ(d.DiscardInput(), 0); };
  d.FillInputRing();
  EXPECT_FALSE(d.HasInput()) << "the bytes read before the discard are gone with it";
  EXPECT_EQ(d.InputCount(), 0u);
  d.ReceiveIntoRing("after");
  EXPECT_EQ(TakeAll(d), "after") << "the ring goes on from where the discard left it";
}

TEST(SioDispatchFill, ReaderTakingDuringAFillThatUsesAllTheRoomLeavesTheRingNotFull) {
  TInterruptedFill d;
  ASSERT_EQ(d.Open(), 0);
  std::string first = Bytes(100, 1);
  d.ReceiveIntoRing(first);
  std::string rest = Bytes(8192 - 100, 2);
  d.Receive(rest);
  BYTE taken = 0;
  d.During = [&] { ASSERT_EQ(d.TakeInput(taken), 0); };
  d.FillInputRing();
  EXPECT_EQ(taken, static_cast<BYTE>(first[0]));
  EXPECT_FALSE(d.InputFull) << "the reader made one byte of room while the fill ran";
  EXPECT_EQ(d.InputCount(), 8191u);
  d.ReceiveIntoRing("z");
  EXPECT_EQ(d.InputCount(), 8192u) << "that room is used by the next fill";
  EXPECT_EQ(TakeAll(d), first.substr(1) + rest + "z");
}

TEST(SioDispatchFill, FillThatUsesAllTheRoomMarksTheRingFullAndHasInputSaysSo) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  d.PositionInputRing(5000);
  std::string data = Bytes(8192, 3);
  d.Receive(data + "x");
  d.FillInputRing();
  EXPECT_TRUE(d.InputFull);
  EXPECT_EQ(d.InHead, d.InTail);
  EXPECT_TRUE(d.HasInput()) << "head back at the tail with the full flag is a full ring";
  EXPECT_EQ(d.PendingCount(), 1u);
  EXPECT_EQ(TakeAll(d), data);
  EXPECT_FALSE(d.HasInput());
}

TEST(SioDispatchFill, SkippedFillLeavesTheBytesInTheDriverForTheNext) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  d.Receive("held");
  std::atomic<bool> busy = true;
  EXPECT_FALSE(d.FillInputRingUnless(busy));
  EXPECT_EQ(d.PendingCount(), 4u) << "nothing is read while the other worker's pass runs";
  EXPECT_FALSE(d.DriverDrained) << "the next pass is told to look";
  busy = false;
  EXPECT_TRUE(d.FillInputRingUnless(busy));
  EXPECT_TRUE(d.DriverDrained);
  EXPECT_EQ(TakeAll(d), "held");
}

TEST(SioDispatchFill, DriverCountsAsNotDrainedAfterOpenAndAfterAFullRing) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  EXPECT_FALSE(d.DriverDrained) << "bytes may have come before anyone listened for their event";
  EXPECT_FALSE(d.FillInputRing());
  EXPECT_TRUE(d.DriverDrained);
  d.Receive(Bytes(8192 + 1));
  d.FillInputRing();
  EXPECT_FALSE(d.DriverDrained) << "a ring that filled may have left bytes behind";
  EXPECT_EQ(d.PendingCount(), 1u);
}
