// The Linux tty calls behind the tty device, kept in their own file because
// the kernel's termios2 declarations (needed for arbitrary baud rates) clash
// with the C library's <termios.h>. Every function returns 0 or an errno value.
#pragma once

#include <cstdint>

#include "commapi.h"

namespace qorv::platform::tty {

// Raw mode: no echo, no line editing, no signals, no translation of CR or LF,
// no software flow control, receiver on, modem control lines ignored for
// opening. A new pty starts in cooked mode, so this runs on every open.
int MakeRaw(int fd);
// Fills the DCB fields a tty carries: baud rate, data bits, parity, stop bits
// (CSTOPB reads as 1.5 with 5 data bits, else 2), parity checking, XON/XOFF
// in and out with their characters, and CTS output flow.
int ReadState(int fd, DCB* dcb);
// Sets those fields; any baud rate goes through BOTHER.
int WriteState(int fd, const DCB& dcb);

int FlushInput(int fd);
int FlushOutput(int fd);
// Suspends (false) or resumes (true) output, as an XOFF or XON received would.
int SetOutputFlow(int fd, bool on);
int SetBreak(int fd, bool on);
// MS_* bits of the modem lines; ENOTTY where the device has none (ptys).
int ReadModemLines(int fd, DWORD* modemStatus);
// Raises or lowers DTR or RTS.
int DriveLine(int fd, bool dtr, bool on);
int SetExclusive(int fd, bool on);
int InputCount(int fd, DWORD* count);
int OutputCount(int fd, DWORD* count);

// The driver's running counts of line events; ENOTTY where it keeps none.
struct Counters {
  std::uint32_t Cts = 0, Dsr = 0, Ring = 0, Dcd = 0;
  std::uint32_t Frame = 0, Overrun = 0, Parity = 0, Break = 0, BufferOverrun = 0;
};
int ReadCounters(int fd, Counters* counters);

}  // namespace qorv::platform::tty
