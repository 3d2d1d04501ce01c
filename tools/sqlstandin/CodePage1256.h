#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sqlstandin {

// Between UTF-8 (the stand-in's own text) and code page 1256 (the eight-bit
// text of varchar and text values on the wire).
std::string cp1256ToUtf8(const uint8_t* data, size_t size);
std::string utf8ToCp1256(const std::string& text);

}  // namespace sqlstandin
