#include <gtest/gtest.h>

#include "RecorderState.h"

namespace {

using qorv::recorder::RecorderState;

// The process-wide record is one object, zero from load: no creation
// defaults yet, positions 0, strings empty, the whole audio buffer zero.
// (No other test of this program touches it.)
TEST(RecorderStateLoad, IsOneZeroedRecordPerProcess) {
  auto& state = RecorderState();
  EXPECT_EQ(&state, &RecorderState());
  EXPECT_EQ(state.LineLength, 0);
  EXPECT_EQ(state.FrameLength, 0);
  EXPECT_EQ(state.AudioIndex, 0);
  EXPECT_EQ(state.Line, 0);
  EXPECT_EQ(state.PortNumber, 0);
  EXPECT_EQ(state.OpenPort, 0);
  EXPECT_TRUE(state.SavePath.empty());
  EXPECT_TRUE(state.CallerID.empty());
  EXPECT_EQ(state.AudioBuffer[1], 0);
  EXPECT_EQ(state.AudioBuffer[qorv::recorder::kAudioBufferSize], 0);
  EXPECT_EQ(state.AudioBuffer.Size(), 50'000'000);
}

}  // namespace
