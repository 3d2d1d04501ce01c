// Capture of received audio samples into the process-wide AudioBuffer.
#pragma once

#include "RecorderState.h"

namespace qorv::recorder {

// Stores samples after the last stored position, whether or not a recording
// was started. Once position 50,000,000 is reached every further sample
// overwrites it, so a full buffer keeps its length and never grows.
void CaptureSamples(TRecorderState& state, const BYTE* samples, int count);

// Drops what came before: the next sample goes to position 45, just after
// the room kept for the WAV header.
void RestartCapture(TRecorderState& state);

// Samples of the current recording: AudioIndex - 44, or 0 below that.
int RecordedSampleCount(const TRecorderState& state);

}  // namespace qorv::recorder
