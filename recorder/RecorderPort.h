// What the control needs of its serial port component `MP`. The component
// raises its serial errors as exceptions; callers here let them pass, so a
// failing call ends the operation at the point it failed.
#pragma once

#include <string>

#include "wintypes.h"

namespace qorv::recorder {

class IRecorderPort {
 public:
  virtual ~IRecorderPort() = default;

  // The component's `Open` value.
  virtual bool IsOpen() = 0;
  // Opens (true) or closes the device; a failed open raises and leaves it closed.
  virtual void SetOpen(bool value) = 0;
  // Selects the port number; an open port is reopened on it, raising on failure.
  virtual void SetComNumber(WORD value) = 0;

  virtual bool InputReady() = 0;
  virtual BYTE ReadChar() = 0;
  virtual void WriteChar(BYTE value) = 0;
  // Queues every byte of the text or none of them.
  virtual void WriteText(const std::string& text) = 0;
};

}  // namespace qorv::recorder
