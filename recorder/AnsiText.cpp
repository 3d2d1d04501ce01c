#include "AnsiText.h"

#include "codepage.h"

namespace qorv::recorder {

std::string AnsiFromUtf8(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int utf8Length = static_cast<int>(utf8.size());
  const int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), utf8Length, nullptr, 0);
  if (wideLength <= 0) return {};
  std::u16string wide(static_cast<size_t>(wideLength), u'\0');
  if (MultiByteToWideChar(CP_UTF8, 0, utf8.data(), utf8Length, wide.data(), wideLength) != wideLength) return {};

  const int ansiLength = WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  if (ansiLength <= 0) return {};
  std::string ansi(static_cast<size_t>(ansiLength), '\0');
  if (WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, ansi.data(), ansiLength, nullptr, nullptr) !=
      ansiLength) {
    return {};
  }
  return ansi;
}

}  // namespace qorv::recorder
