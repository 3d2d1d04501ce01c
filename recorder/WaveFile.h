// The recording file: mono 8-bit PCM at 8000 samples per second, its 44-byte
// header built in place in front of the samples so the file goes out in one
// write without copying.
#pragma once

#include "RecorderState.h"

namespace qorv::recorder {

// Writes the header for `sampleCount` samples into AudioBuffer positions 1 to 44.
void BuildWaveHeader(TRecorderState& state, int sampleCount);

// Writes header and samples to SavePath, replacing any file of that name.
// Silent: nothing is reported and the samples stay in the buffer. A file that
// could not be written whole (failed or short write, failed close) is
// removed, so a file at SavePath is always a complete recording.
void WriteWaveFile(TRecorderState& state);

}  // namespace qorv::recorder
