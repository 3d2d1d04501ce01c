#include "RegText.h"

#include <cstdio>
#include <cstring>

#include "codepage.h"
#include "winreg.h"

namespace qorv::qorvreg {

namespace {

std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string HexBytes(const std::string& data) {
  std::string hex;
  char byte[4];
  for (std::size_t i = 0; i < data.size(); ++i) {
    std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(data[i]));
    if (i) hex += ',';
    hex += byte;
  }
  return hex;
}

std::string ValueText(DWORD type, const std::string& data) {
  if (type == REG_SZ) return Quoted(AnsiToUtf8Text(data.substr(0, data.find('\0'))));
  if (type == REG_DWORD && data.size() == 4) {
    DWORD value = 0;
    std::memcpy(&value, data.data(), 4);
    char text[16];
    std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(value));
    return text;
  }
  if (type == REG_BINARY) return "hex:" + HexBytes(data);
  char prefix[24];
  std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(type));
  return prefix + HexBytes(data);
}

}  // namespace

std::string AnsiToUtf8Text(const std::string& ansi) {
  if (ansi.empty()) return ansi;
  int wide = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  if (wide <= 0) return ansi;
  std::u16string text(static_cast<std::size_t>(wide), u'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), text.data(), wide);
  int narrow = WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
  if (narrow <= 0) return ansi;
  std::string utf8(static_cast<std::size_t>(narrow), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, utf8.data(), narrow, nullptr, nullptr);
  return utf8;
}

std::string ValueLine(const std::string& ansiName, DWORD type, const std::string& data) {
  std::string name = ansiName.empty() ? "@" : Quoted(AnsiToUtf8Text(ansiName));
  return name + "=" + ValueText(type, data);
}

std::string KeyLine(const std::string& ansiPath) { return "[" + AnsiToUtf8Text(ansiPath) + "]"; }

}  // namespace qorv::qorvreg
