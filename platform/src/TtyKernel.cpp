// Only kernel headers here: <asm/termbits.h> and <termios.h> declare the same
// names differently and cannot be included together.
#include "TtyKernel.h"

#include <asm/termbits.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace qorv::platform::tty {

namespace {

int Check(int result) { return result < 0 ? errno : 0; }

int Get(int fd, termios2* t) { return Check(ioctl(fd, TCGETS2, t)); }
int Set(int fd, const termios2& t) { return Check(ioctl(fd, TCSETS2, &t)); }

struct StandardRate {
  tcflag_t Code;
  DWORD Rate;
};
constexpr StandardRate kRates[] = {
    {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},         {B150, 150},
    {B200, 200},         {B300, 300},         {B600, 600},         {B1200, 1200},       {B1800, 1800},
    {B2400, 2400},       {B4800, 4800},       {B9600, 9600},       {B19200, 19200},     {B38400, 38400},
    {B57600, 57600},     {B115200, 115200},   {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
    {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000}, {B1500000, 1500000},
    {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000}, {B3500000, 3500000}, {B4000000, 4000000},
};

DWORD RateOf(const termios2& t) {
  tcflag_t code = t.c_cflag & CBAUD;
  if (code == BOTHER) return t.c_ospeed;
  for (const auto& rate : kRates)
    if (rate.Code == code) return rate.Rate;
  return t.c_ospeed;
}

BYTE DataBitsOf(const termios2& t) {
  switch (t.c_cflag & CSIZE) {
    case CS5: return 5;
    case CS6: return 6;
    case CS7: return 7;
    default: return 8;
  }
}

tcflag_t SizeFlag(BYTE dataBits) {
  switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
  }
}

BYTE ParityOf(const termios2& t) {
  if (!(t.c_cflag & PARENB)) return NOPARITY;
  bool odd = t.c_cflag & PARODD;
  if (t.c_cflag & CMSPAR) return odd ? MARKPARITY : SPACEPARITY;
  return odd ? ODDPARITY : EVENPARITY;
}

tcflag_t ParityFlags(BYTE parity) {
  switch (parity) {
    case ODDPARITY: return PARENB | PARODD;
    case EVENPARITY: return PARENB;
    case MARKPARITY: return PARENB | CMSPAR | PARODD;
    case SPACEPARITY: return PARENB | CMSPAR;
    default: return 0;
  }
}

}  // namespace

int MakeRaw(int fd) {
  termios2 t{};
  if (int error = Get(fd, &t)) return error;
  t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | IMAXBEL | IUCLC);
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN | ECHOE | ECHOK | ECHOCTL | ECHOKE);
  t.c_cflag &= ~(CSIZE | PARENB);
  t.c_cflag |= CS8 | CREAD | CLOCAL;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  return Set(fd, t);
}

int ReadState(int fd, DCB* dcb) {
  termios2 t{};
  if (int error = Get(fd, &t)) return error;
  dcb->BaudRate = RateOf(t);
  dcb->ByteSize = DataBitsOf(t);
  dcb->Parity = ParityOf(t);
  if (!(t.c_cflag & CSTOPB))
    dcb->StopBits = ONESTOPBIT;
  else
    dcb->StopBits = dcb->ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
  dcb->fBinary = 1;
  dcb->fParity = (t.c_iflag & INPCK) ? 1 : 0;
  dcb->fOutX = (t.c_iflag & IXON) ? 1 : 0;
  dcb->fInX = (t.c_iflag & IXOFF) ? 1 : 0;
  dcb->fOutxCtsFlow = (t.c_cflag & CRTSCTS) ? 1 : 0;
  dcb->XonChar = static_cast<char>(t.c_cc[VSTART]);
  dcb->XoffChar = static_cast<char>(t.c_cc[VSTOP]);
  return 0;
}

int WriteState(int fd, const DCB& dcb) {
  termios2 t{};
  if (int error = Get(fd, &t)) return error;
  t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT) | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  // Input speed bits left at 0 make the input rate follow the output rate.
  t.c_cflag |= BOTHER | CREAD | CLOCAL | SizeFlag(dcb.ByteSize) | ParityFlags(dcb.Parity);
  t.c_ospeed = t.c_ispeed = dcb.BaudRate;
  if (dcb.StopBits != ONESTOPBIT) t.c_cflag |= CSTOPB;
  // Linux ties RTS handshake and CTS output flow together in one flag.
  if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) t.c_cflag |= CRTSCTS;
  t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
  if (dcb.fOutX) t.c_iflag |= IXON;
  if (dcb.fInX) t.c_iflag |= IXOFF;
  if (dcb.fParity) t.c_iflag |= INPCK;
  t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
  return Set(fd, t);
}

int FlushInput(int fd) { return Check(ioctl(fd, TCFLSH, TCIFLUSH)); }
int FlushOutput(int fd) { return Check(ioctl(fd, TCFLSH, TCOFLUSH)); }
int SetOutputFlow(int fd, bool on) { return Check(ioctl(fd, TCXONC, on ? TCOON : TCOOFF)); }
int SetBreak(int fd, bool on) { return Check(ioctl(fd, on ? TIOCSBRK : TIOCCBRK)); }

int ReadModemLines(int fd, DWORD* modemStatus) {
  int bits = 0;
  if (int error = Check(ioctl(fd, TIOCMGET, &bits))) return error;
  DWORD status = 0;
  if (bits & TIOCM_CTS) status |= MS_CTS_ON;
  if (bits & TIOCM_DSR) status |= MS_DSR_ON;
  if (bits & TIOCM_RI) status |= MS_RING_ON;
  if (bits & TIOCM_CD) status |= MS_RLSD_ON;
  *modemStatus = status;
  return 0;
}

int DriveLine(int fd, bool dtr, bool on) {
  int bit = dtr ? TIOCM_DTR : TIOCM_RTS;
  return Check(ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bit));
}

int SetExclusive(int fd, bool on) { return Check(ioctl(fd, on ? TIOCEXCL : TIOCNXCL)); }

int InputCount(int fd, DWORD* count) {
  int n = 0;
  if (int error = Check(ioctl(fd, FIONREAD, &n))) return error;
  *count = n > 0 ? static_cast<DWORD>(n) : 0;
  return 0;
}

int OutputCount(int fd, DWORD* count) {
  int n = 0;
  if (int error = Check(ioctl(fd, TIOCOUTQ, &n))) return error;
  *count = n > 0 ? static_cast<DWORD>(n) : 0;
  return 0;
}

int ReadCounters(int fd, Counters* counters) {
  serial_icounter_struct raw{};
  if (int error = Check(ioctl(fd, TIOCGICOUNT, &raw))) return error;
  counters->Cts = raw.cts;
  counters->Dsr = raw.dsr;
  counters->Ring = raw.rng;
  counters->Dcd = raw.dcd;
  counters->Frame = raw.frame;
  counters->Overrun = raw.overrun;
  counters->Parity = raw.parity;
  counters->Break = raw.brk;
  counters->BufferOverrun = raw.buf_overrun;
  return 0;
}

}  // namespace qorv::platform::tty
