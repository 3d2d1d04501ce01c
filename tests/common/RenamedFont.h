// TrueType fonts under names no installed font answers to: a font of the
// system's font packages with its name table replaced, so a test can tell
// whether a font it added is the one text is laid out in.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "TestSupport.h"

namespace qorv::test {

// Installed by fonts-noto-core (run.sh).
inline const std::filesystem::path kRenamableFont = "/usr/share/fonts/truetype/noto/NotoSans-Regular.ttf";

namespace renamed_font_detail {

inline std::uint32_t Get16(const std::string& data, std::size_t at) {
  return (static_cast<std::uint8_t>(data[at]) << 8) | static_cast<std::uint8_t>(data[at + 1]);
}
inline void Add16(std::string& data, std::uint32_t value) {
  data += static_cast<char>(value >> 8);
  data += static_cast<char>(value);
}
inline void Set32(std::string& data, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) data[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (24 - 8 * i));
}

// Format 0: family, subfamily, full and PostScript names, Windows platform,
// Unicode BMP, US English.
inline std::string NameTable(const std::string& family) {
  std::string postscript;
  for (char c : family) {
    if (c != ' ') postscript += c;
  }
  const std::pair<std::uint32_t, std::string> names[] = {
      {1, family}, {2, "Regular"}, {4, family}, {6, postscript + "-Regular"}};
  std::string records, strings;
  Add16(records, 0);
  Add16(records, static_cast<std::uint32_t>(std::size(names)));
  Add16(records, static_cast<std::uint32_t>(6 + 12 * std::size(names)));
  for (const auto& [id, text] : names) {
    std::string utf16;
    for (char c : text) Add16(utf16, static_cast<std::uint8_t>(c));
    for (std::uint32_t field :
         {3u, 1u, 0x409u, id, static_cast<std::uint32_t>(utf16.size()), static_cast<std::uint32_t>(strings.size())}) {
      Add16(records, field);
    }
    strings += utf16;
  }
  return records + strings;
}

}  // namespace renamed_font_detail

// The bytes of kRenamableFont named `family` (ASCII): the new name table goes
// at the end and the directory points at it. Empty when the font is missing.
inline std::string RenamedFont(const std::string& family) {
  using namespace renamed_font_detail;
  if (!std::filesystem::exists(kRenamableFont)) return {};
  auto bytes = ReadFileBytes(kRenamableFont);
  std::string font(bytes.begin(), bytes.end());
  std::uint32_t tables = Get16(font, 4);
  for (std::uint32_t i = 0; i < tables; ++i) {
    std::size_t record = 12 + 16 * i;
    if (font.compare(record, 4, "name") != 0) continue;
    font.resize((font.size() + 3) & ~std::size_t{3}, '\0');
    std::string table = NameTable(family);
    Set32(font, record + 8, static_cast<std::uint32_t>(font.size()));
    Set32(font, record + 12, static_cast<std::uint32_t>(table.size()));
    font += table;
    font.resize((font.size() + 3) & ~std::size_t{3}, '\0');
    return font;
  }
  return {};
}

}  // namespace qorv::test
