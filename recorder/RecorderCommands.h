// The recorder's command frames: 0xFC, the command bytes, 0xFD, with no
// length, checksum or escaping. Each goes out in one WriteText call.
#pragma once

#include <string>

#include "wintypes.h"

namespace qorv::recorder {

constexpr BYTE kCommandStart = 0xFC;
constexpr BYTE kCommandEnd = 0xFD;

// The line number read as an unsigned byte, in decimal without leading zeros
// (1 -> "1", 12 -> "12", -1 -> "255").
std::string LineDigits(signed char line);

std::string ConnectFrame(signed char line);
std::string DisconnectFrame(signed char line);
std::string StartRecordFrame(signed char line);
// Always carries line digit 9, whatever line is selected.
std::string StopRecordFrame();

// Protocol selectors carried in the 'p' 'r' 't' frames as raw byte values.
enum class TProtocolSelector : BYTE {
  Protocol1 = 0x01,
  Protocol2 = 0x02,
  Protocol3 = 0x03,
  StarOn = 0x04,
  StarOff = 0x05,
};
std::string ProtocolFrame(TProtocolSelector selector);

std::string SetStatusFrame();
std::string ReadTimeFrame();

}  // namespace qorv::recorder
