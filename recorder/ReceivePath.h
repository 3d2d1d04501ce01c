// The receive path: every byte from the recorder goes, in arrival order, to
// the frame parser (clock replies) and then to the line parser (text,
// caller-ID and audio lines). The parsers keep their state in the shared
// recorder state; nothing resets them but the control's creation defaults,
// so a line or frame cut by a close continues after the next open.
#pragma once

#include "RecorderPort.h"
#include "RecorderState.h"

namespace qorv::recorder {

constexpr BYTE kFrameStart = 0xFD;
constexpr BYTE kFrameEnd = 0xFE;
constexpr BYTE kAudioLineMark = 0xC8;

// The timer tick: while the port is open, takes every waiting byte. A serial
// error from the port ends the tick and passes on; the bytes taken before it
// stay handled.
void DrainPort(TRecorderState& state, IRecorderPort& port);

// Both parser steps for one byte.
void ReceiveByte(TRecorderState& state, BYTE b);

// 0xFD restarts the frame, 0xFE hands it to HandleFrame, any other byte is
// kept; past 1000 bytes each further byte overwrites position 1000.
void FrameParserStep(TRecorderState& state, BYTE b);
// CR restarts the line, LF hands it to HandleLine (a second LF hands the same
// line again), any other byte is kept while the line has fewer than 299.
void LineParserStep(TRecorderState& state, BYTE b);

// A clock reply ('D' 'T' y m d 't' h m s '.') sets Date and Time; any other
// frame is ignored. The test reads its four positions whatever the length.
void HandleFrame(TRecorderState& state);
// An audio line (0xC8 at position 1) hands its bytes from position 3 on to
// the capture; any other line sets QorEvent, and CallerID when it is a
// caller-ID line.
void HandleLine(TRecorderState& state);

}  // namespace qorv::recorder
