// Serial communications: the device control block, time-outs, status and the
// calls on a handle from CreateFileA("\\.\COMn"). Port n is the device that
// the system root's devices.ini maps it to (a tty, a pty or a substitute
// device for tests).
//
// All calls return FALSE with the last error set on failure. On a device that
// has gone away (unplugged, pty master closed) every call but CloseHandle fails
// with ERROR_DEVICE_REMOVED; bytes already received can still be read.
// Devices without modem lines (ptys) refuse the modem-line calls with
// ERROR_NOT_SUPPORTED, as a driver without that feature does.
//
// ReadFile, WriteFile and WaitCommEvent take an OVERLAPPED (the port is opened
// with FILE_FLAG_OVERLAPPED); without one they block until the operation ends.
// A write the line cannot take at once is pending and completes, in order
// with later writes, when the line has taken every byte; GetOverlappedResult
// then reports the count.
#pragma once

#include "wintypes.h"

// Device control block, 28 bytes, with the bit fields in the order and
// positions Windows gives them (the flags word: fBinary is bit 0, fRtsControl
// bits 12-13).
struct DCB {
  DWORD DCBlength;
  DWORD BaudRate;
  DWORD fBinary : 1;
  DWORD fParity : 1;
  DWORD fOutxCtsFlow : 1;
  DWORD fOutxDsrFlow : 1;
  DWORD fDtrControl : 2;
  DWORD fDsrSensitivity : 1;
  DWORD fTXContinueOnXoff : 1;
  DWORD fOutX : 1;
  DWORD fInX : 1;
  DWORD fErrorChar : 1;
  DWORD fNull : 1;
  DWORD fRtsControl : 2;
  DWORD fAbortOnError : 1;
  DWORD fDummy2 : 17;
  WORD wReserved;
  WORD XonLim;
  WORD XoffLim;
  BYTE ByteSize;
  BYTE Parity;
  BYTE StopBits;
  char XonChar;
  char XoffChar;
  char ErrorChar;
  char EofChar;
  char EvtChar;
  WORD wReserved1;
};
using LPDCB = DCB*;
static_assert(sizeof(DCB) == 28, "DCB must keep the Windows layout");

constexpr DWORD DTR_CONTROL_DISABLE = 0;
constexpr DWORD DTR_CONTROL_ENABLE = 1;
constexpr DWORD DTR_CONTROL_HANDSHAKE = 2;
constexpr DWORD RTS_CONTROL_DISABLE = 0;
constexpr DWORD RTS_CONTROL_ENABLE = 1;
constexpr DWORD RTS_CONTROL_HANDSHAKE = 2;
constexpr DWORD RTS_CONTROL_TOGGLE = 3;

constexpr BYTE NOPARITY = 0;
constexpr BYTE ODDPARITY = 1;
constexpr BYTE EVENPARITY = 2;
constexpr BYTE MARKPARITY = 3;
constexpr BYTE SPACEPARITY = 4;
constexpr BYTE ONESTOPBIT = 0;
constexpr BYTE ONE5STOPBITS = 1;
constexpr BYTE TWOSTOPBITS = 2;

constexpr DWORD CBR_110 = 110;
constexpr DWORD CBR_300 = 300;
constexpr DWORD CBR_600 = 600;
constexpr DWORD CBR_1200 = 1200;
constexpr DWORD CBR_2400 = 2400;
constexpr DWORD CBR_4800 = 4800;
constexpr DWORD CBR_9600 = 9600;
constexpr DWORD CBR_14400 = 14400;
constexpr DWORD CBR_19200 = 19200;
constexpr DWORD CBR_38400 = 38400;
constexpr DWORD CBR_56000 = 56000;
constexpr DWORD CBR_57600 = 57600;
constexpr DWORD CBR_115200 = 115200;
constexpr DWORD CBR_128000 = 128000;
constexpr DWORD CBR_256000 = 256000;

struct COMMTIMEOUTS {
  DWORD ReadIntervalTimeout;
  DWORD ReadTotalTimeoutMultiplier;
  DWORD ReadTotalTimeoutConstant;
  DWORD WriteTotalTimeoutMultiplier;
  DWORD WriteTotalTimeoutConstant;
};
using LPCOMMTIMEOUTS = COMMTIMEOUTS*;

struct COMSTAT {
  DWORD fCtsHold : 1;
  DWORD fDsrHold : 1;
  DWORD fRlsdHold : 1;
  DWORD fXoffHold : 1;
  DWORD fXoffSent : 1;
  DWORD fEof : 1;
  DWORD fTxim : 1;
  DWORD fReserved : 25;
  DWORD cbInQue;
  DWORD cbOutQue;
};
using LPCOMSTAT = COMSTAT*;

// Events of SetCommMask / WaitCommEvent.
constexpr DWORD EV_RXCHAR = 0x0001;
constexpr DWORD EV_RXFLAG = 0x0002;
constexpr DWORD EV_TXEMPTY = 0x0004;  // the last queued write was handed to the line
constexpr DWORD EV_CTS = 0x0008;
constexpr DWORD EV_DSR = 0x0010;
constexpr DWORD EV_RLSD = 0x0020;
constexpr DWORD EV_BREAK = 0x0040;
constexpr DWORD EV_ERR = 0x0080;
constexpr DWORD EV_RING = 0x0100;
constexpr DWORD EV_PERR = 0x0200;
constexpr DWORD EV_RX80FULL = 0x0400;
constexpr DWORD EV_EVENT1 = 0x0800;
constexpr DWORD EV_EVENT2 = 0x1000;
// Trailing edge of a ring. Older drivers report it; the drivers here refuse a
// wait whose mask holds it (WaitCommEvent fails with ERROR_INVALID_PARAMETER),
// as NT drivers do, unless a substitute device is told to accept it.
constexpr DWORD EV_RINGTE = 0x2000;

// Error flags of ClearCommError.
constexpr DWORD CE_RXOVER = 0x0001;
constexpr DWORD CE_OVERRUN = 0x0002;
constexpr DWORD CE_RXPARITY = 0x0004;
constexpr DWORD CE_FRAME = 0x0008;
constexpr DWORD CE_BREAK = 0x0010;
constexpr DWORD CE_TXFULL = 0x0100;

// Modem status of GetCommModemStatus.
constexpr DWORD MS_CTS_ON = 0x0010;
constexpr DWORD MS_DSR_ON = 0x0020;
constexpr DWORD MS_RING_ON = 0x0040;
constexpr DWORD MS_RLSD_ON = 0x0080;

// Function codes of EscapeCommFunction.
constexpr DWORD SETXOFF = 1;
constexpr DWORD SETXON = 2;
constexpr DWORD SETRTS = 3;
constexpr DWORD CLRRTS = 4;
constexpr DWORD SETDTR = 5;
constexpr DWORD CLRDTR = 6;
constexpr DWORD RESETDEV = 7;
constexpr DWORD SETBREAK = 8;
constexpr DWORD CLRBREAK = 9;
// Asks for the UART's I/O base address, which only drivers of old platforms
// with direct port access give. Here there is none: the call returns 0 (no
// base address) with ERROR_NOT_SUPPORTED.
constexpr DWORD GETBASEIRQ = 10;

// Flags of PurgeComm.
constexpr DWORD PURGE_TXABORT = 0x0001;
constexpr DWORD PURGE_RXABORT = 0x0002;
constexpr DWORD PURGE_TXCLEAR = 0x0004;
constexpr DWORD PURGE_RXCLEAR = 0x0008;

// Driver queue sizes. The input queue holds what the device received until
// ReadFile takes it (4096 bytes until changed); when it is full the device
// stops taking bytes, so the sender is held back and nothing is lost.
BOOL WINAPI SetupComm(HANDLE hFile, DWORD dwInQueue, DWORD dwOutQueue);

// Line settings. The baud rate may be any rate the device accepts (rates
// outside the standard list go through the kernel's arbitrary-rate interface);
// 0, data bits outside 5-8, parity above 4 and stop bits above 2 fail with
// ERROR_INVALID_PARAMETER and change nothing. A tty cannot do DSR output flow
// or DTR handshake: those fail with ERROR_NOT_SUPPORTED.
BOOL WINAPI GetCommState(HANDLE hFile, LPDCB lpDCB);
BOOL WINAPI SetCommState(HANDLE hFile, LPDCB lpDCB);

// Time-outs are stored and reported. Reads never wait for bytes, whatever the
// time-outs: they return at once with what the input queue holds, which is
// what a read interval of MAXDWORD with zero totals gives.
BOOL WINAPI GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts);
BOOL WINAPI SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts);

// Event waits. Events that happen while no wait is pending are remembered and
// end the next wait at once; SetCommMask forgets them and ends a pending wait,
// which then completes with ERROR_OPERATION_ABORTED and the mask 0 (so does
// CloseHandle). Only one wait may be pending per handle (a second fails with
// ERROR_INVALID_PARAMETER). With an OVERLAPPED the call returns FALSE with
// ERROR_IO_PENDING while nothing has happened; *lpEvtMask is written when the
// wait completes, so it must stay valid until then.
BOOL WINAPI SetCommMask(HANDLE hFile, DWORD dwEvtMask);
BOOL WINAPI GetCommMask(HANDLE hFile, LPDWORD lpEvtMask);
BOOL WINAPI WaitCommEvent(HANDLE hFile, LPDWORD lpEvtMask, LPOVERLAPPED lpOverlapped);

// Returns and clears the accumulated CE_* flags; lpStat (optional) gets the
// bytes waiting in the input queue and the bytes not yet sent.
BOOL WINAPI ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat);
BOOL WINAPI EscapeCommFunction(HANDLE hFile, DWORD dwFunc);
BOOL WINAPI GetCommModemStatus(HANDLE hFile, LPDWORD lpModemStat);
// PURGE_TXABORT or PURGE_TXCLEAR ends pending writes (ERROR_OPERATION_ABORTED,
// with the count already sent) and drops unsent output; PURGE_RXCLEAR drops
// received bytes.
BOOL WINAPI PurgeComm(HANDLE hFile, DWORD dwFlags);
