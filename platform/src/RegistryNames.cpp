#include "RegistryNames.h"

#include <cstring>

#include "PathMap.h"
#include "Utf8.h"
#include "winerror.h"

namespace qorv::platform::registry {

namespace {

constexpr std::size_t kMaxKeyNameChars = 255;
constexpr std::size_t kMaxValueNameChars = 16383;

// Decodes one code point of the code page converter's UTF-8 output at
// text[i] and advances i.
char32_t DecodeAt(const std::string& text, std::size_t& i) {
  return DecodeUtf8(reinterpret_cast<const unsigned char*>(text.data()), text.size(), i).value_or(0xFFFD);
}

// In Latin Extended-A the two cases of a letter are neighbours; which of the
// pair is the capital flips at U+0138 and again at U+0178.
char32_t UpperLatinExtendedA(char32_t c) {
  bool capitalEven = (c < 0x138) || (c > 0x148 && c < 0x178);
  if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
  bool isEven = (c % 2) == 0;
  return capitalEven ? (isEven ? c : c - 1) : (isEven ? c - 1 : c);
}

char32_t Upper(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 0x20;
  if (c < 0xE0) return c;
  if (c <= 0xFE) return c == 0xF7 ? c : c - 0x20;  // Latin-1 letters; U+00F7 is the division sign
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) return c == 0x17F || c == 0x178 ? c : UpperLatinExtendedA(c);
  if (c >= 0x3B1 && c <= 0x3C9) return c == 0x3C2 ? 0x3A3 : c - 0x20;  // Greek, final sigma too
  if (c == 0x3AC) return 0x386;
  if (c >= 0x3AD && c <= 0x3AF) return c - 0x25;
  if (c == 0x3CC) return 0x38C;
  if (c == 0x3CD || c == 0x3CE) return c - 0x3F;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;  // Cyrillic
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  return c;
}

// Length in UTF-16 code units, the unit of Windows's name limits.
std::size_t WideLength(const std::string& utf8) {
  std::size_t length = 0;
  for (std::size_t i = 0; i < utf8.size();) length += DecodeAt(utf8, i) >= 0x10000 ? 2 : 1;
  return length;
}

RegName NameFromAnsi(const std::string& ansi) {
  RegName name;
  name.Name = AnsiToUtf8(ansi);
  name.Fold = FoldName(name.Name);
  return name;
}

}  // namespace

std::string FoldName(const std::string& utf8) {
  std::string folded;
  folded.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) AppendUtf8(folded, Upper(DecodeAt(utf8, i)));
  return folded;
}

LONG SplitKeyPath(LPCSTR path, std::vector<RegName>& names) {
  names.clear();
  if (!path || !*path) return ERROR_SUCCESS;
  if (*path == '\\') return ERROR_BAD_PATHNAME;
  std::string text(path);
  if (text.back() == '\\') text.pop_back();
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\\', start);
    if (end == std::string::npos) end = text.size();
    if (end == start) return ERROR_BAD_PATHNAME;
    RegName name = NameFromAnsi(text.substr(start, end - start));
    if (WideLength(name.Name) > kMaxKeyNameChars) return ERROR_INVALID_PARAMETER;
    names.push_back(std::move(name));
    start = end + 1;
  }
  return ERROR_SUCCESS;
}

LONG MakeValueName(LPCSTR name, RegName& out) {
  out = NameFromAnsi(name ? name : "");
  return WideLength(out.Name) > kMaxValueNameChars ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
}

std::string NameToAnsi(const std::string& utf8) { return Utf8ToAnsi(utf8); }

}  // namespace qorv::platform::registry
