#include "CommState.h"

#include <cstdio>

#include "winerror.h"

namespace qorv::platform {

DWORD ValidateDcb(const DCB& dcb) {
  if (dcb.BaudRate == 0) return ERROR_INVALID_PARAMETER;
  if (dcb.ByteSize < 5 || dcb.ByteSize > 8) return ERROR_INVALID_PARAMETER;
  if (dcb.Parity > SPACEPARITY || dcb.StopBits > TWOSTOPBITS) return ERROR_INVALID_PARAMETER;
  bool xonXoff = dcb.fOutX || dcb.fInX;
  if (xonXoff && dcb.XonChar == dcb.XoffChar) return ERROR_INVALID_PARAMETER;
  return ERROR_SUCCESS;
}

std::string DescribeDcb(const DCB& dcb) {
  static const char kParity[] = "NOEMS";
  static const char* const kStop[] = {"1", "1.5", "2"};
  char text[160];
  std::snprintf(text, sizeof text,
                "DCB %u %u %c %s dtr=%u rts=%u cts=%u dsr=%u outx=%u inx=%u xon=%u xoff=%u xonlim=%u xofflim=%u",
                dcb.BaudRate, dcb.ByteSize, dcb.Parity <= SPACEPARITY ? kParity[dcb.Parity] : '?',
                dcb.StopBits <= TWOSTOPBITS ? kStop[dcb.StopBits] : "?", static_cast<unsigned>(dcb.fDtrControl),
                static_cast<unsigned>(dcb.fRtsControl), static_cast<unsigned>(dcb.fOutxCtsFlow),
                static_cast<unsigned>(dcb.fOutxDsrFlow), static_cast<unsigned>(dcb.fOutX),
                static_cast<unsigned>(dcb.fInX), static_cast<unsigned char>(dcb.XonChar),
                static_cast<unsigned char>(dcb.XoffChar), dcb.XonLim, dcb.XoffLim);
  return text;
}

DWORD ModemChangeEvents(DWORD before, DWORD after) {
  DWORD changed = before ^ after;
  DWORD events = 0;
  if (changed & MS_CTS_ON) events |= EV_CTS;
  if (changed & MS_DSR_ON) events |= EV_DSR;
  if (changed & MS_RLSD_ON) events |= EV_RLSD;
  if (changed & MS_RING_ON) events |= (after & MS_RING_ON) ? EV_RING : EV_RINGTE;
  return events;
}

}  // namespace qorv::platform
