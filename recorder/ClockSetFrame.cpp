#include "ClockSetFrame.h"

#include <optional>

#include "AnsiText.h"
#include "RecorderCommands.h"

namespace qorv::recorder {
namespace {

constexpr size_t kDateLength = 10;
constexpr size_t kTimeLength = 8;
constexpr int kClockBaseYear = 2006;

// The field at 1-based position `first`, `count` characters long, as a decimal
// integer: digits and nothing else. No sign: a negative field would become a
// byte from 0xF7 up, and frames have no escaping, so a 0xFC or 0xFD among them
// would cut the frame short on the recorder's side. With digits alone the low
// nibble of every field byte is a decimal digit, so no field byte can be
// either marker. No blanks either: such a field is taken as mistyped.
std::optional<int> DecimalField(const std::string& text, size_t first, size_t count) {
  const std::string field = text.substr(first - 1, count);
  if (field.empty()) return std::nullopt;
  int value = 0;
  for (const char c : field) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

struct TClockFields {
  int Year, Month, Day, Hour, Minute, Second;
};

TClockInputError ReadFields(const std::string& date, const std::string& time, TClockFields& fields) {
  if (date.size() < kDateLength) return TClockInputError::Date;
  const auto year = DecimalField(date, 1, 4);
  const auto day = DecimalField(date, 9, 2);
  const auto month = DecimalField(date, 6, 2);
  if (!year || !day || !month) return TClockInputError::Date;

  if (time.size() < kTimeLength) return TClockInputError::Time;
  const auto second = DecimalField(time, 7, 2);
  const auto minute = DecimalField(time, 4, 2);
  const auto hour = DecimalField(time, 1, 2);
  if (!second || !minute || !hour) return TClockInputError::Time;

  fields = {*year, *month, *day, *hour, *minute, *second};
  return TClockInputError::None;
}

// The year travels only as (year - 2006) modulo 4 in the top two bits, above
// the day in BCD; the sum is cut to 8 bits as the recorder expects.
BYTE DateByte(int year, int day) { return static_cast<BYTE>((year - kClockBaseYear) * 64 + Bcd(day)); }

}  // namespace

bool IsBlankText(const std::string& text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) > 0x20) return false;
  }
  return true;
}

BYTE Bcd(int value) { return static_cast<BYTE>((value / 10) * 16 + value % 10); }

TClockSetFrame BuildClockSetFrame(const std::string& date, const std::string& time) {
  TClockSetFrame frame;
  TClockFields f{};
  frame.Error = ReadFields(date, time, f);
  if (frame.Error != TClockInputError::None) return frame;
  frame.Bytes = {kCommandStart,           'R',          'a', Bcd(f.Second), Bcd(f.Minute), Bcd(f.Hour),
                 DateByte(f.Year, f.Day), Bcd(f.Month), 'T', 0x01,          kCommandEnd};
  return frame;
}

std::string ClockInputErrorText(TClockInputError error) {
  switch (error) {
    case TClockInputError::None: return {};
    case TClockInputError::Date: return AnsiFromUtf8("اشکال در تاريخ وارد شده");
    case TClockInputError::Time: return AnsiFromUtf8("اشکال در ساعت وارد شده");
  }
  return {};
}

}  // namespace qorv::recorder
