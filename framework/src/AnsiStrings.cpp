#include "AnsiStrings.h"

#include <codepage.h>

namespace {

bool IsAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

std::u16string ToWide(UINT codePage, std::string_view text) {
  int needed = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (needed <= 0) return std::u16string(text.size(), u'?');
  std::u16string wide(static_cast<std::size_t>(needed), u'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), needed);
  return wide;
}

std::string FromWide(UINT codePage, std::u16string_view wide) {
  int needed =
      WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string(wide.size(), '?');
  std::string out(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), out.data(), needed, nullptr, nullptr);
  return out;
}

}  // namespace

std::string Utf8ToAnsi(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  return FromWide(CP_ACP, ToWide(CP_UTF8, utf8));
}

std::string AnsiToUtf8(std::string_view ansi) {
  if (IsAscii(ansi)) return std::string(ansi);
  return FromWide(CP_UTF8, ToWide(CP_ACP, ansi));
}

std::u16string AnsiToWide(std::string_view ansi) {
  if (ansi.empty()) return {};
  return ToWide(CP_ACP, ansi);
}

std::string WideToAnsi(std::u16string_view wide) {
  if (wide.empty()) return {};
  return FromWide(CP_ACP, wide);
}

std::string WideToAnsi(const char16_t* wide) { return wide ? WideToAnsi(std::u16string_view(wide)) : std::string(); }

void AppendUtf8(std::string& out, std::uint32_t codePoint) {
  std::u16string wide;
  if (codePoint >= 0x10000) {
    codePoint -= 0x10000;
    wide += static_cast<char16_t>(0xD800 + (codePoint >> 10));
    wide += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
  } else {
    wide += static_cast<char16_t>(codePoint);
  }
  out += FromWide(CP_UTF8, wide);
}
