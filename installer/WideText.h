// Statements go to the data-access components as UTF-16 text; the installer
// builds some of them from 8-bit text in the system's ANSI code page.
#pragma once

#include <codepage.h>

#include <string>

inline std::u16string AnsiToWide(const std::string& ansi) {
  int size = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
  if (size <= 0) return {};
  std::u16string wide(static_cast<std::size_t>(size), u'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(), size);
  wide.resize(static_cast<std::size_t>(size) - 1);
  return wide;
}
