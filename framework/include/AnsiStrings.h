// Texts in the framework are 8-bit strings in the system's ANSI code page
// (1256 for Persian), as the forms and the installer keep them; drawing and
// the stored form descriptions use UTF-8. These convert between the two.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Characters the ANSI code page lacks become '?'.
std::string Utf8ToAnsi(std::string_view utf8);
std::string AnsiToUtf8(std::string_view ansi);

// Between the ANSI code page and the UTF-16 text of COM strings; a null or
// empty wide text gives empty text.
std::u16string AnsiToWide(std::string_view ansi);
std::string WideToAnsi(std::u16string_view wide);
std::string WideToAnsi(const char16_t* wide);

// Appends one Unicode code point (not a surrogate) as UTF-8.
void AppendUtf8(std::string& out, std::uint32_t codePoint);
