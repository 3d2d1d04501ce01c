// Text to integer conversion with the framework's rules.
#pragma once

#include <cstdint>
#include <string_view>

// Converts a whole text to a signed 32-bit integer: an optional sign, then
// decimal digits or "$" followed by hexadecimal digits. Nothing else may
// surround the number (no blanks). Raises EConvertError with
// "'<text>' is not a valid integer value" for anything else, including a value
// outside the 32-bit range.
std::int32_t StrToInt(std::string_view text);
