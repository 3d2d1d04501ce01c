#include "ReceivePath.h"

#include <string>

#include "AudioCapture.h"
#include "TextLine.h"

namespace qorv::recorder {
namespace {

constexpr BYTE kCarriageReturn = 0x0D;
constexpr BYTE kLineFeed = 0x0A;
constexpr int kClockBaseYear = 2006;
constexpr int kFirstSamplePosition = 3;

// Two(v): decimal, with a "0" in front below 10 (3 -> "03", 123 -> "123").
std::string Two(BYTE v) { return (v < 10 ? "0" : "") + std::to_string(v); }

bool IsClockReply(const TRecorderState& state) {
  const auto& f = state.FrameBuffer;
  return f[1] == 'D' && f[2] == 'T' && f[6] == 't' && f[10] == '.';
}

// The current line: positions 1 to LineLength - 1.
std::string CurrentLine(const TRecorderState& state) {
  const int length = state.LineLength - 1;
  if (length <= 0) return {};
  return std::string(reinterpret_cast<const char*>(state.LineBuffer.Data()), static_cast<size_t>(length));
}

}  // namespace

void DrainPort(TRecorderState& state, IRecorderPort& port) {
  if (!port.IsOpen()) return;
  while (port.InputReady()) ReceiveByte(state, port.ReadChar());
}

void ReceiveByte(TRecorderState& state, BYTE b) {
  FrameParserStep(state, b);
  LineParserStep(state, b);
}

void FrameParserStep(TRecorderState& state, BYTE b) {
  switch (b) {
    case kFrameStart: state.FrameLength = 0; return;
    case kFrameEnd: HandleFrame(state); return;
    default:
      if (state.FrameLength < kFrameBufferSize) ++state.FrameLength;
      state.FrameBuffer[state.FrameLength] = b;
      return;
  }
}

void LineParserStep(TRecorderState& state, BYTE b) {
  switch (b) {
    case kCarriageReturn: state.LineLength = 1; return;
    case kLineFeed: HandleLine(state); return;
    default:
      // LineLength is 0 only before the first control's creation defaults,
      // when no port can be open; a byte then has no position to go to.
      if (state.LineLength < 1 || state.LineLength >= kLineLengthLimit) return;
      state.LineBuffer[state.LineLength] = b;
      ++state.LineLength;
      return;
  }
}

void HandleFrame(TRecorderState& state) {
  if (!IsClockReply(state)) return;
  const auto& f = state.FrameBuffer;
  state.Date = std::to_string(f[3] + kClockBaseYear) + "/" + Two(f[4]) + "/" + Two(f[5]);
  state.Time = Two(f[7]) + ":" + Two(f[8]) + ":" + Two(f[9]);
}

void HandleLine(TRecorderState& state) {
  // Position 1 holds whatever was stored there last, even for an empty line.
  if (state.LineBuffer[1] == kAudioLineMark) {
    const int count = state.LineLength - kFirstSamplePosition;
    if (count > 0) CaptureSamples(state, &state.LineBuffer[kFirstSamplePosition], count);
    return;
  }
  const std::string filtered = FilterTextLine(CurrentLine(state));
  state.QorEvent = filtered;
  if (auto callerId = CallerIdFromLine(filtered)) state.CallerID = std::move(*callerId);
}

}  // namespace qorv::recorder
