// UTF-8 encoding and decoding shared by the code page converter and the
// registry's name folding.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace qorv::platform {

// Decodes one UTF-8 sequence at `i` and advances past it. A malformed one
// (overlong, surrogate, above U+10FFFF, cut short) answers nothing after
// skipping its maximal valid prefix.
std::optional<char32_t> DecodeUtf8(const unsigned char* s, std::size_t n, std::size_t& i);

// Appends the UTF-8 form of one code point.
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace qorv::platform
