// The line settings a pty really holds, read on its master side: the kernel
// answers a settings query on a master with the slave's settings, so a test
// sees what a port on the slave set, whatever the port itself reports. Kept
// in its own file because the kernel's termios2 declarations (needed for
// arbitrary rates) clash with <termios.h>.
#pragma once

#include <optional>

namespace qorv::test {

struct PtyLineSettings {
  unsigned InputRate = 0;
  unsigned OutputRate = 0;
  // A pty always keeps 8 data bits without parity, whatever is set.
  unsigned DataBits = 0;
  bool ParityGenerated = false;
  bool TwoStopBits = false;
  bool ParityChecked = false;
  bool XonXoffOutput = false;
  bool XonXoffInput = false;
  bool CtsFlow = false;
  unsigned char XonChar = 0;
  unsigned char XoffChar = 0;
  // No line editing, echo, signal characters, CR/LF translation, output
  // processing or stripping; receiver on and modem lines ignored.
  bool Raw = false;
};

std::optional<PtyLineSettings> ReadPtyLineSettings(int masterFd);

}  // namespace qorv::test
