// The recorder state: one record per process, shared by every control instance.
//
// It lives in zero-initialised static storage, so the 50,000,000-byte audio
// buffer is set aside when the library loads and capture never allocates.
// Every buffer position is 1-based, as the protocol's positions are counted.
// No lock: every control of a process runs on the one apartment thread.
#pragma once

#include <array>
#include <cassert>
#include <string>

#include "wintypes.h"

namespace qorv::recorder {

constexpr int kAudioBufferSize = 50'000'000;
constexpr int kWaveHeaderSize = 44;
constexpr int kLineBufferRoom = 1000;
// A line keeps its first 299 bytes; LineLength stops at this value.
constexpr int kLineLengthLimit = 300;
constexpr int kFrameBufferSize = 1000;

// A fixed block of bytes addressed by positions 1 to N. A position outside
// that range is a bug of ours, never something received bytes can cause.
template <int N>
class TOneBasedBytes {
 public:
  BYTE& operator[](int position) {
    assert(position >= 1 && position <= N && "buffer position out of range");
    return bytes_[position - 1];
  }
  const BYTE& operator[](int position) const {
    assert(position >= 1 && position <= N && "buffer position out of range");
    return bytes_[position - 1];
  }
  // The byte at position 1, the start of a block written in one call.
  BYTE* Data() { return bytes_.data(); }
  const BYTE* Data() const { return bytes_.data(); }
  static constexpr int Size() { return N; }

 private:
  std::array<BYTE, N> bytes_;
};

// A 16-bit COM boolean, kept exactly as the host put it (-1 and 1 both true).
using TComBool = SHORT;

struct TRecorderState {
  TOneBasedBytes<kAudioBufferSize> AudioBuffer;
  TOneBasedBytes<kLineBufferRoom> LineBuffer;
  TOneBasedBytes<kFrameBufferSize> FrameBuffer;
  INT FrameLength;  // position of the last byte stored in FrameBuffer
  INT AudioIndex;   // position of the last byte stored in AudioBuffer
  INT LineLength;   // position at which the next line byte is stored
  signed char Line;
  TComBool Connect;
  TComBool Disconnect;
  TComBool StartRecord;
  TComBool StopRecord;
  TComBool SetProtocol1;
  TComBool SetProtocol2;
  TComBool SetProtocol3;
  TComBool SetStarONOFF;
  TComBool SetStatus;
  std::string Date;  // YYYY/MM/DD
  std::string Time;  // HH:MM:SS
  TComBool SetTime;
  TComBool ReadTime;
  signed char PortNumber;
  std::string SavePath;
  TComBool OpenPort;
  std::string CallerID;
  std::string QorEvent;
};

// The process-wide record.
TRecorderState& RecorderState();

// A COM boolean counts as true when its 16 bits are not all zero.
constexpr bool IsComTrue(TComBool value) { return value != 0; }

}  // namespace qorv::recorder
