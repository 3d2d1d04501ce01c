// The clock-set frame: the recorder's clock from the `Date` (YYYY/MM/DD) and
// `Time` (HH:MM:SS) texts, eleven bytes sent one by one.
#pragma once

#include <array>
#include <string>

#include "wintypes.h"

namespace qorv::recorder {

constexpr int kClockSetFrameSize = 11;

// Which text could not be read. Not a failure of the put: the caller shows
// the matching message (only when the control is visible) and stores false.
enum class TClockInputError { None, Date, Time };

struct TClockSetFrame {
  TClockInputError Error = TClockInputError::None;
  std::array<BYTE, kClockSetFrameSize> Bytes{};  // meaningful when Error is None
};

// True when nothing but blanks and control characters (bytes up to 0x20) is left.
bool IsBlankText(const std::string& text);

// (v div 10) * 16 + (v mod 10), division truncating toward zero, low 8 bits.
// No range check: a minute of 75 gives 0x75, a day of 123 gives 0xC3.
BYTE Bcd(int value);

// Reads the date first (a date error hides any time error), then the time.
// Every field must be plain decimal digits (no sign, no blank). The
// separators (date characters 5 and 8, time characters 3 and 6) are not
// looked at, and no field is checked against its range.
TClockSetFrame BuildClockSetFrame(const std::string& date, const std::string& time);

// The message for an input error, in the system ANSI code page; empty for None.
std::string ClockInputErrorText(TClockInputError error);

}  // namespace qorv::recorder
