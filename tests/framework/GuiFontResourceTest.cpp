// A font added with AddFontResourceA is usable at once: Pango lays out text
// in its family without falling back, in windows made before it was added.
// The font is a TrueType font of the system's font packages with its names
// replaced, so no configured font answers to its family before the add.
#include <gtest/gtest.h>

#include <systemroot.h>
#include <wingdi.h>

#include <cstdint>
#include <filesystem>

#include "Fonts.h"
#include "Forms.h"
#include "HeadlessGuiTest.h"
#include "Label.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

// Installed by fonts-noto-core (run.sh).
const fs::path kSystemFont = "/usr/share/fonts/truetype/noto/NotoSans-Regular.ttf";
const char* const kFamily = "Qorv Added Sans";

std::uint32_t Read16(const std::string& data, std::size_t at) {
  return (static_cast<std::uint8_t>(data[at]) << 8) | static_cast<std::uint8_t>(data[at + 1]);
}

void Put16(std::string& data, std::uint32_t value) {
  data += static_cast<char>(value >> 8);
  data += static_cast<char>(value);
}

void Write32(std::string& data, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) data[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (24 - 8 * i));
}

// A name table (format 0) with the family, style, full and PostScript names
// in the Windows platform's Unicode encoding, US English.
std::string NameTable(const std::string& family) {
  std::string postscript;
  for (char c : family) {
    if (c != ' ') postscript += c;
  }
  const std::pair<std::uint32_t, std::string> names[] = {
      {1, family}, {2, "Regular"}, {4, family}, {6, postscript + "-Regular"}};
  std::string table;
  std::string strings;
  Put16(table, 0);
  Put16(table, static_cast<std::uint32_t>(std::size(names)));
  Put16(table, static_cast<std::uint32_t>(6 + 12 * std::size(names)));
  for (const auto& [id, text] : names) {
    std::string utf16;
    for (char c : text) Put16(utf16, static_cast<std::uint8_t>(c));
    for (std::uint32_t field :
         {3u, 1u, 0x409u, id, static_cast<std::uint32_t>(utf16.size()), static_cast<std::uint32_t>(strings.size())}) {
      Put16(table, field);
    }
    strings += utf16;
  }
  return table + strings;
}

// The font with its name table replaced by one naming `family`: the new
// table goes at the end and the table directory points at it.
std::string RenamedFont(const std::string& font, const std::string& family) {
  std::string renamed = font;
  std::uint32_t tables = Read16(font, 4);
  for (std::uint32_t i = 0; i < tables; ++i) {
    std::size_t record = 12 + 16 * i;
    if (font.compare(record, 4, "name") != 0) continue;
    renamed.resize((renamed.size() + 3) & ~std::size_t{3}, '\0');
    std::string table = NameTable(family);
    Write32(renamed, record + 8, static_cast<std::uint32_t>(renamed.size()));
    Write32(renamed, record + 12, static_cast<std::uint32_t>(table.size()));
    renamed += table;
    renamed.resize((renamed.size() + 3) & ~std::size_t{3}, '\0');
    return renamed;
  }
  ADD_FAILURE() << "the font has no name table";
  return font;
}

std::string ReadAll(const fs::path& path) {
  auto bytes = qorv::test::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// A form with one label in a family.
class TLabelForm {
 public:
  explicit TLabelForm(const std::string& family) : form_(nullptr) {
    form_.SetBounds(0, 0, 200, 40);
    auto* label = new TLabel(&form_);
    label->SetParent(&form_);
    label->Font().Name = family;
    label->Font().Height = -20;
    label->SetCaption("Ostrivel 123");
  }
  std::vector<std::uint8_t> Painted() {
    auto surface = form_.PaintToSurface();
    const std::uint8_t* data = surface->Data();
    return std::vector<std::uint8_t>(data, data + surface->Stride() * surface->Height());
  }

 private:
  TForm form_;
};

class GuiFontResource : public HeadlessGuiTest {};

}  // namespace

TEST_F(GuiFontResource, AddedFontIsUsedAtOnceWithoutFallback) {
  ASSERT_TRUE(fs::exists(kSystemFont)) << "fonts-noto-core is not installed";
  EXPECT_NE(FontFamiliesUsedFor(kFamily, "Ostrivel 123"), std::vector<std::string>{kFamily})
      << "no font answers to the family before it is added";
  TLabelForm window(kFamily);  // made before the font is added
  auto before = window.Painted();

  // Outside the Fonts folder, which the framework reads on its own.
  auto file = *qorv::platform::WindowsToLinuxPath("C:\\Medium\\Fonts\\QorvAdded.ttf");
  fs::create_directories(file.parent_path());
  qorv::test::WriteFileBytes(file, RenamedFont(ReadAll(kSystemFont), kFamily));
  EXPECT_EQ(AddFontResourceA("C:\\Medium\\Fonts\\QorvAdded.ttf"), 1);

  EXPECT_EQ(FontFamiliesUsedFor(kFamily, "Ostrivel 123"), std::vector<std::string>{kFamily});
  auto after = window.Painted();
  EXPECT_NE(after, before) << "the window made before draws its label in the added font";
}

TEST_F(GuiFontResource, FileThatIsNoFontAddsNothing) {
  auto file = *qorv::platform::WindowsToLinuxPath("C:\\Medium\\Fonts\\Broken.ttf");
  fs::create_directories(file.parent_path());
  qorv::test::WriteFileBytes(file, std::string("\0\1\0\0", 4) + std::string(200, 'x'));
  EXPECT_EQ(AddFontResourceA("C:\\Medium\\Fonts\\Broken.ttf"), 0);
  EXPECT_NE(FontFamiliesUsedFor("Broken", "abc"), std::vector<std::string>{"Broken"});
}
