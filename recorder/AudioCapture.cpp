#include "AudioCapture.h"

namespace qorv::recorder {

void CaptureSamples(TRecorderState& state, const BYTE* samples, int count) {
  for (int i = 0; i < count; ++i) {
    if (state.AudioIndex < kAudioBufferSize) ++state.AudioIndex;
    state.AudioBuffer[state.AudioIndex] = samples[i];
  }
}

void RestartCapture(TRecorderState& state) { state.AudioIndex = kWaveHeaderSize; }

int RecordedSampleCount(const TRecorderState& state) {
  return state.AudioIndex < kWaveHeaderSize ? 0 : state.AudioIndex - kWaveHeaderSize;
}

}  // namespace qorv::recorder
