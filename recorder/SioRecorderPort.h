// The control's port component `MP` as the recorder logic sees it.
#pragma once

#include "RecorderPort.h"
#include "SioPort.h"

namespace qorv::recorder {

// Passes every call to the component; its serial errors pass out unchanged.
class TSioRecorderPort : public IRecorderPort {
 public:
  explicit TSioRecorderPort(TSioComPort& port) : port_(port) {}

  bool IsOpen() override { return port_.Open(); }
  void SetOpen(bool value) override { port_.SetOpen(value); }
  void SetComNumber(WORD value) override { port_.SetComNumber(value); }
  bool InputReady() override { return port_.InputReady(); }
  BYTE ReadChar() override { return static_cast<BYTE>(port_.ReadChar()); }
  void WriteChar(BYTE value) override { port_.WriteChar(static_cast<char>(value)); }
  void WriteText(const std::string& text) override { port_.WriteText(text); }

 private:
  TSioComPort& port_;
};

}  // namespace qorv::recorder
