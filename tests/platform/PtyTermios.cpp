// Only kernel headers here: <asm/termbits.h> and <termios.h> declare the same
// names differently and cannot be included together.
#include "PtyTermios.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace qorv::test {

namespace {

unsigned DataBitsOf(const termios2& t) {
  switch (t.c_cflag & CSIZE) {
    case CS5: return 5;
    case CS6: return 6;
    case CS7: return 7;
    default: return 8;
  }
}

bool IsRaw(const termios2& t) {
  constexpr tcflag_t kCookedInput = IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXANY | IMAXBEL;
  constexpr tcflag_t kCookedLocal = ECHO | ECHONL | ICANON | ISIG | IEXTEN;
  return !(t.c_iflag & kCookedInput) && !(t.c_oflag & OPOST) && !(t.c_lflag & kCookedLocal) && (t.c_cflag & CREAD) &&
         (t.c_cflag & CLOCAL) && t.c_cc[VMIN] == 1 && t.c_cc[VTIME] == 0;
}

}  // namespace

std::optional<PtyLineSettings> ReadPtyLineSettings(int masterFd) {
  termios2 t{};
  if (ioctl(masterFd, TCGETS2, &t) != 0) return std::nullopt;
  PtyLineSettings settings;
  settings.InputRate = t.c_ispeed;
  settings.OutputRate = t.c_ospeed;
  settings.DataBits = DataBitsOf(t);
  settings.ParityGenerated = t.c_cflag & PARENB;
  settings.TwoStopBits = t.c_cflag & CSTOPB;
  settings.ParityChecked = t.c_iflag & INPCK;
  settings.XonXoffOutput = t.c_iflag & IXON;
  settings.XonXoffInput = t.c_iflag & IXOFF;
  settings.CtsFlow = t.c_cflag & CRTSCTS;
  settings.XonChar = t.c_cc[VSTART];
  settings.XoffChar = t.c_cc[VSTOP];
  settings.Raw = IsRaw(t);
  return settings;
}

}  // namespace qorv::test
