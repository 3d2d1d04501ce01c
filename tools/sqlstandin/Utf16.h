#pragma once

#include <cstdint>
#include <string>

namespace sqlstandin {

// TDS carries text as UTF-16LE; the stand-in works in UTF-8 internally.
// Unpaired surrogates become U+FFFD rather than failing a whole batch.
std::string utf16leToUtf8(const uint8_t* data, size_t units);
std::u16string utf8ToUtf16(const std::string& text);

}  // namespace sqlstandin
