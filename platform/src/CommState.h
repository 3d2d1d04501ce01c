// Checks and descriptions of device control blocks shared by the device kinds.
#pragma once

#include <string>

#include "commapi.h"

namespace qorv::platform {

// 0 when every field a device acts on holds a value it can act on, else
// ERROR_INVALID_PARAMETER: a baud rate of 0 (on a tty it would hang the line
// up), data bits outside 5-8, parity above SPACEPARITY, stop bits above
// TWOSTOPBITS, or an XON character equal to the XOFF character while either
// XON/XOFF direction is on.
DWORD ValidateDcb(const DCB& dcb);

// One line naming the settings a device acts on, for the substitute device's
// record: "DCB 115200 8 N 1 dtr=1 rts=1 cts=0 dsr=0 outx=0 inx=0 xon=17
// xoff=19 xonlim=2048 xofflim=512". Stop bits read 1, 1.5 or 2.
std::string DescribeDcb(const DCB& dcb);

// The events a change of modem-line levels (MS_* bits) raises: each changed
// line its event, RI going on EV_RING and going off EV_RINGTE.
DWORD ModemChangeEvents(DWORD before, DWORD after);

}  // namespace qorv::platform
