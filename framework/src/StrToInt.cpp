#include "StrToInt.h"

#include <string>

#include "Exceptions.h"
#include "Format.h"

namespace {

int DigitValue(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9')
    v = c - '0';
  else if (c >= 'A' && c <= 'F')
    v = c - 'A' + 10;
  else if (c >= 'a' && c <= 'f')
    v = c - 'a' + 10;
  return v < base ? v : -1;
}

[[noreturn]] void RaiseNotInteger(std::string_view text) {
  throw EConvertError(Format("'%s' is not a valid integer value", {text}));
}

}  // namespace

std::int32_t StrToInt(std::string_view text) {
  std::size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  int base = 10;
  if (pos < text.size() && text[pos] == '$') {
    base = 16;
    ++pos;
  }
  if (pos == text.size()) RaiseNotInteger(text);

  // Hexadecimal texts name a 32-bit pattern ("$FFFFFFFF" is -1); decimal ones
  // must fit the signed range.
  const std::uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  std::uint64_t value = 0;
  for (; pos < text.size(); ++pos) {
    int digit = DigitValue(text[pos], base);
    if (digit < 0) RaiseNotInteger(text);
    value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    if (value > limit) RaiseNotInteger(text);
  }
  auto pattern = static_cast<std::uint32_t>(value);
  if (negative) pattern = 0u - pattern;
  return static_cast<std::int32_t>(pattern);
}
