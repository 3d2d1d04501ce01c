// Line settings, DTR and RTS, flow control, modem lines and line errors.
#include <array>

#include "SioDispatch.h"
#include "SioDispatchLock.h"
#include "SioErrors.h"

namespace {

constexpr int KeepParity = 5;
constexpr int KeepDataBits = 9;
constexpr int KeepStopBits = 3;
constexpr DWORD DrainPolls = 5000;
constexpr DWORD DrainPollMs = 2;
constexpr DWORD CharacterTimesToWait = 18;

constexpr char XonDefault = 17;
constexpr char XoffDefault = 19;

struct TWantedLine {
  DWORD Baud;
  BYTE Parity;
  BYTE DataBits;
  BYTE StopCode;
};

// Works out the four values to write; the "keep" values take the current one.
TWantedLine WantedLine(const DCB& current, DWORD baud, int parity, int dataBits, int stopBits) {
  if (stopBits != KeepStopBits) stopBits = stopBits < 1 ? 1 : (stopBits > 2 ? 2 : stopBits);
  TWantedLine wanted{};
  wanted.Baud = baud == 0 ? current.BaudRate : baud;
  wanted.Parity = parity == KeepParity ? current.Parity : static_cast<BYTE>(parity);
  wanted.DataBits = dataBits == KeepDataBits ? current.ByteSize : static_cast<BYTE>(dataBits);
  if (stopBits == 1) {
    wanted.StopCode = ONESTOPBIT;
  } else if (stopBits == 2) {
    wanted.StopCode = TWOSTOPBITS;
  } else {
    wanted.StopCode = current.StopBits;
  }
  // Five data bits take one and a half stop bits in place of two (and one).
  bool fiveGiven = dataBits == 5;
  bool fiveKept = dataBits == KeepDataBits && current.ByteSize == 5 && stopBits != KeepStopBits;
  if (fiveGiven || fiveKept) wanted.StopCode = ONE5STOPBITS;
  return wanted;
}

}  // namespace

int TSioBaseDispatcher::ChangeLineSettings(DWORD baud, int parity, int dataBits, int stopBits) {
  TWantedLine wanted;
  {
    TSioLock lock(StateLock);
    ReadLineState(LineState);
    wanted = WantedLine(LineState, baud, parity, dataBits, stopBits);
    if (wanted.Baud == LineState.BaudRate && wanted.Parity == LineState.Parity &&
        wanted.DataBits == LineState.ByteSize && wanted.StopCode == LineState.StopBits) {
      return 0;
    }
  }
  WaitOutputDrained();
  TSioLock lock(StateLock);
  ReadLineState(LineState);
  LineState.BaudRate = wanted.Baud;
  LineState.Parity = wanted.Parity;
  LineState.ByteSize = wanted.DataBits;
  LineState.StopBits = wanted.StopCode;
  return ApplyLineState(LineState);
}

void TSioBaseDispatcher::WaitOutputDrained() {
  for (DWORD i = 0; i < DrainPolls && OutputCount() > 0; ++i) Sleep(DrainPollMs);
  DCB line{};
  {
    TSioLock lock(StateLock);
    ReadLineState(line);
  }
  DWORD bits = line.ByteSize + 2u + (line.Parity != NOPARITY ? 1u : 0u) + (line.StopBits != ONESTOPBIT ? 1u : 0u);
  DWORD rate = TranslateBaud(AppliedBaud);
  if (rate == 0) rate = 1;
  // In units of 100 ns: eighteen character times, doubled when under 1 ms.
  DWORD ticks = (10000000u / rate) * bits * CharacterTimesToWait;
  if (ticks < 10000) ticks *= 2;
  Sleep((ticks + 9999) / 10000);
}

DWORD TSioBaseDispatcher::TranslateBaud(DWORD value) {
  static constexpr std::array<DWORD, 24> rates = {110, 300, 600, 1200,  2400, 4800, 9600, 14400,  19200, 0, 0, 38400,
                                                  0,   0,   0,   56000, 0,    0,    0,    128000, 0,     0, 0, 256000};
  if (value == 0xFEFF) return 115200;
  if (value >= 0xFF10 && value <= 0xFF27 && rates[value - 0xFF10] != 0) return rates[value - 0xFF10];
  return value;
}

int TSioBaseDispatcher::ApplyLineState(DCB& record) {
  if (!DtrHandshake) record.fDtrControl = DtrOn ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
  if (!RtsHandshake) record.fRtsControl = RtsOn ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
  int result = WriteLineState(record);
  AppliedBaud = record.BaudRate;
  DriveDtr(DtrOn);
  if (!Rs485Active) DriveRts(RtsOn);
  return result;
}

void TSioBaseDispatcher::QueryLineSettings(DWORD& baud, WORD& parity, BYTE& dataBits, BYTE& stopBits) {
  TSioLock lock(StateLock);
  ReadLineState(LineState);
  baud = TranslateBaud(LineState.BaudRate);
  parity = LineState.Parity;
  dataBits = LineState.ByteSize;
  stopBits = LineState.StopBits == ONESTOPBIT ? 1 : 2;
}

int TSioBaseDispatcher::DriveLine(bool level, bool handshake, bool& stored, DWORD raiseCode, DWORD lowerCode) {
  if (handshake) return 1;
  int result = EscapeFunction(level ? raiseCode : lowerCode);
  stored = level;
  return result < 0 ? ecBadArgument : result;
}

int TSioBaseDispatcher::DriveDtr(bool level) { return DriveLine(level, DtrHandshake, DtrOn, SETDTR, CLRDTR); }

int TSioBaseDispatcher::DriveRts(bool level) { return DriveLine(level, RtsHandshake, RtsOn, SETRTS, CLRRTS); }

int TSioBaseDispatcher::ConfigureHardwareFlow(DWORD full, DWORD resume, DWORD options) {
  if (resume > full || full > InQueueSize) return ecBadArgument;
  TSioLock lock(StateLock);
  ReadLineState(LineState);
  LineState.fOutxCtsFlow = 0;
  LineState.fOutxDsrFlow = 0;
  LineState.fDtrControl = DTR_CONTROL_DISABLE;
  LineState.fRtsControl = RTS_CONTROL_DISABLE;
  DtrHandshake = false;
  RtsHandshake = false;
  if (options & 1) {
    LineState.fDtrControl = DTR_CONTROL_HANDSHAKE;
    DtrHandshake = true;
  } else if (DtrOn) {
    LineState.fDtrControl = DTR_CONTROL_ENABLE;
  }
  if (options & 2) {
    LineState.fRtsControl = RTS_CONTROL_HANDSHAKE;
    RtsHandshake = true;
  } else if (RtsOn) {
    LineState.fRtsControl = RTS_CONTROL_ENABLE;
  }
  if (Rs485Active && NtPlatform) {
    LineState.fRtsControl = RTS_CONTROL_TOGGLE;
    RtsHandshake = true;
  }
  LineState.XoffLim = static_cast<WORD>(InQueueSize - full);
  LineState.XonLim = static_cast<WORD>(resume);
  if (options & 4) LineState.fOutxDsrFlow = 1;
  if (options & 8) LineState.fOutxCtsFlow = 1;
  return ApplyLineState(LineState);
}

int TSioBaseDispatcher::ConfigureXonXoffFlow(DWORD full, DWORD resume, DWORD options) {
  if (resume > full || full > InQueueSize) return ecBadArgument;
  TSioLock lock(StateLock);
  ReadLineState(LineState);
  if (options & 2) {
    LineState.fInX = 1;
    LineState.XoffLim = static_cast<WORD>(InQueueSize - full);
    LineState.XonLim = static_cast<WORD>(resume);
    LineState.XonChar = XonDefault;
    LineState.XoffChar = XoffDefault;
  }
  if (options & 1) {
    LineState.fOutX = 1;
    LineState.XonChar = XonDefault;
    LineState.XoffChar = XoffDefault;
  }
  return ApplyLineState(LineState);
}

int TSioBaseDispatcher::DisableXonXoffFlow() {
  TSioLock lock(StateLock);
  ReadLineState(LineState);
  LineState.fInX = 0;
  LineState.fOutX = 0;
  return ApplyLineState(LineState);
}

int TSioBaseDispatcher::ChangeFlowChars(char xonChar, char xoffChar) {
  TSioLock lock(StateLock);
  ReadLineState(LineState);
  LineState.XonChar = xonChar;
  LineState.XoffChar = xoffChar;
  return ApplyLineState(LineState);
}

int TSioBaseDispatcher::QueryFlowOptions(DWORD& hardware, DWORD& xonXoff, char& xonChar, char& xoffChar) {
  TSioLock lock(StateLock);
  int result = ReadLineState(LineState);
  hardware = 0;
  if (LineState.fDtrControl == DTR_CONTROL_HANDSHAKE) hardware |= 1;
  if (LineState.fRtsControl == RTS_CONTROL_HANDSHAKE) hardware |= 2;
  if (LineState.fOutxDsrFlow) hardware |= 4;
  if (LineState.fOutxCtsFlow) hardware |= 8;
  xonXoff = (LineState.fOutX ? 1u : 0u) | (LineState.fInX ? 2u : 0u);
  xonChar = LineState.XonChar;
  xoffChar = LineState.XoffChar;
  return result;
}

BYTE TSioBaseDispatcher::ReadModemLines(BYTE mask) {
  TSioLock lock(StateLock);
  DWORD status = ReadModemStatus();
  ModemLines = (status & 0xF0) | (ModemLines & 0x0F);
  if (RingSeen.exchange(false)) ModemLines |= ModemRingEnded;
  BYTE seen = static_cast<BYTE>(ModemLines);
  ModemLines &= mask;
  return seen;
}

void TSioBaseDispatcher::PollModemLines() {
  TSioLock lock(StateLock);
  BYTE old = static_cast<BYTE>(ModemLines);
  ReadModemLines(0xFF);
  ModemLines |= ((old ^ ModemLines) & 0xF0) >> 4;
}

void TSioBaseDispatcher::PollDeviceErrors() {
  TSioLock lock(OutputLock);
  DWORD flags = RefreshStatus(DeviceStatus);
  ErrorFlags |= flags & 0x1F;
}

int TSioBaseDispatcher::TakeLineError() {
  TSioLock lock(StateLock);
  static constexpr std::array<std::pair<DWORD, int>, 5> order = {
      {{LineErrorRxOver, 1}, {LineErrorOverrun, 2}, {LineErrorParity, 3}, {LineErrorFraming, 4}, {LineErrorBreak, 9}}};
  DWORD flags = ErrorFlags;
  for (const auto& [bit, code] : order) {
    if (flags & bit) {
      // The break bit stays for TakeBreakFlag.
      ErrorFlags &= ~(LineErrorRxOver | LineErrorOverrun | LineErrorParity | LineErrorFraming);
      return code;
    }
  }
  return 0;
}

bool TSioBaseDispatcher::TakeBreakFlag() {
  TSioLock lock(StateLock);
  return (ErrorFlags.fetch_and(~LineErrorBreak) & LineErrorBreak) != 0;
}
