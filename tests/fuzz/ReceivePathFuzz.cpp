// Arbitrary byte streams through the receive path, as the timer tick takes
// them from the port. The first bytes of an input choose where the parsers
// and the capture stand when the stream starts (fresh from load, after the
// creation defaults, near their caps), so every cap is reached quickly.
// Built with AddressSanitizer and with the buffers' position checks on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ReceivePath.h"
#include "RecorderState.h"

namespace {

using namespace qorv::recorder;

class TFuzzPort : public IRecorderPort {
 public:
  TFuzzPort(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool IsOpen() override { return true; }
  void SetOpen(bool) override {}
  void SetComNumber(WORD) override {}
  bool InputReady() override { return next_ < size_; }
  BYTE ReadChar() override { return data_[next_++]; }
  void WriteChar(BYTE) override {}
  void WriteText(const std::string&) override {}

 private:
  const uint8_t* data_;
  size_t size_;
  size_t next_ = 0;
};

int StartingPosition(uint8_t choice, int cap) {
  switch (choice % 4) {
    case 0: return 0;  // as loaded, before any control's creation defaults
    case 1: return 1;
    case 2: return cap - choice % 8;
    default: return choice % (cap + 1);
  }
}

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  TRecorderState& state = RecorderState();
  state.LineLength = StartingPosition(data[0], kLineLengthLimit);
  state.FrameLength = StartingPosition(data[1], kFrameBufferSize);
  const int audioStart = data[2] % 3 == 0 ? 0 : data[2] % 3 == 1 ? kWaveHeaderSize : kAudioBufferSize - data[2] % 300;
  state.AudioIndex = audioStart;
  state.Date.clear();
  state.Time.clear();
  state.CallerID.clear();
  state.QorEvent.clear();

  TFuzzPort port(data + 3, size - 3);
  DrainPort(state, port);

  Require(state.LineLength >= 0 && state.LineLength <= kLineLengthLimit);
  Require(state.FrameLength >= 0 && state.FrameLength <= kFrameBufferSize);
  Require(state.AudioIndex >= audioStart && state.AudioIndex <= kAudioBufferSize);
  Require(state.QorEvent.size() < kLineLengthLimit);
  Require(state.CallerID.empty() || (state.CallerID[0] == 'L' && state.CallerID.size() < kLineLengthLimit));
  return 0;
}
