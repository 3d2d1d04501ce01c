// Font resources with real fonts: a TrueType font from the system's font
// packages copied into the root's Fonts folder, files that are no fonts, and
// the font resource file that names a font.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "systemroot.h"
#include "windows.h"
#include "wingdi.h"

namespace fs = std::filesystem;
using qorv::test::ReadFileBytes;

namespace {

// Installed by fonts-noto-core (run.sh).
const fs::path kSystemFont = "/usr/share/fonts/truetype/noto/NotoSans-Regular.ttf";

fs::path Linux(const std::string& windows) { return *qorv::platform::WindowsToLinuxPath(windows); }

// The file with its folders.
void WriteFileBytes(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  qorv::test::WriteFileBytes(path, bytes);
}

// The font under a name of the test's own in the root's Fonts folder.
std::string InstallTestFont(const std::string& name) {
  std::string windows = "C:\\Windows\\Fonts\\" + name;
  fs::copy_file(kSystemFont, Linux(windows), fs::copy_options::overwrite_existing);
  return windows;
}

bool IsAdded(const fs::path& file) {
  for (const auto& added : qorv::platform::AddedFontFiles().Files) {
    if (fs::equivalent(added, file)) return true;
  }
  return false;
}

std::string Text(const fs::path& path) {
  auto bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

TEST(FontResource, AddsATrueTypeFontOnceAndRefusesOtherFiles) {
  ASSERT_TRUE(fs::exists(kSystemFont)) << "fonts-noto-core is not installed";
  std::string font = InstallTestFont("FontResourceA.ttf");
  auto before = qorv::platform::AddedFontGeneration();
  EXPECT_EQ(AddFontResourceA(font.c_str()), 1);
  EXPECT_TRUE(IsAdded(Linux(font)));
  auto after = qorv::platform::AddedFontGeneration();
  EXPECT_NE(after, before);
  EXPECT_EQ(AddFontResourceA(font.c_str()), 1) << "the same number again";
  EXPECT_EQ(qorv::platform::AddedFontGeneration(), after) << "nothing new to pick up";

  WriteFileBytes(Linux("C:\\Windows\\Fonts\\Fake.ttf"), "not a font at all, just text");
  EXPECT_EQ(AddFontResourceA("C:\\Windows\\Fonts\\Fake.ttf"), 0);
  EXPECT_EQ(AddFontResourceA("C:\\Windows\\Fonts\\Missing.ttf"), 0);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(AddFontResourceA(nullptr), 0);
  EXPECT_FALSE(IsAdded(Linux("C:\\Windows\\Fonts\\Fake.ttf")));
  EXPECT_EQ(qorv::platform::AddedFontGeneration(), after);
}

// The resource file is made once, beside the font; it is never replaced, and
// adding it adds the font it names.
TEST(FontResource, ScalableFontResourceIsWrittenOnceAndAddsItsFont) {
  ASSERT_TRUE(fs::exists(kSystemFont));
  std::string font = InstallTestFont("FontResourceB.ttf");
  const char* resource = "C:\\Windows\\Fonts\\FontResourceB.fot";
  ASSERT_TRUE(CreateScalableFontResourceA(0, resource, font.c_str(), nullptr));
  std::string written = Text(Linux(resource));
  EXPECT_NE(written.find("FontFile=C:\\Windows\\Fonts\\FontResourceB.ttf\n"), std::string::npos) << written;
  EXPECT_NE(written.find("Family=Noto Sans\n"), std::string::npos) << written;

  EXPECT_FALSE(CreateScalableFontResourceA(1, resource, font.c_str(), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_EQ(Text(Linux(resource)), written) << "an existing resource stays as it was";

  EXPECT_EQ(AddFontResourceA(resource), 1);
  EXPECT_TRUE(IsAdded(Linux(font)));
}

TEST(FontResource, ScalableFontResourceNeedsATrueTypeFont) {
  WriteFileBytes(Linux("C:\\Windows\\Fonts\\Fake.ttf"), "not a font");
  EXPECT_FALSE(CreateScalableFontResourceA(0, "C:\\Windows\\Fonts\\Fake.fot", "C:\\Windows\\Fonts\\Fake.ttf", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
  EXPECT_FALSE(CreateScalableFontResourceA(0, "C:\\Windows\\Fonts\\None.fot", "C:\\Windows\\Fonts\\None.ttf", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(CreateScalableFontResourceA(0, nullptr, "C:\\Windows\\Fonts\\Fake.ttf", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(fs::exists(Linux("C:\\Windows\\Fonts\\Fake.fot")));
  EXPECT_FALSE(fs::exists(Linux("C:\\Windows\\Fonts\\None.fot")));
}

// With a current path the resource names the font file alone, and the font
// is found beside the resource.
TEST(FontResource, ResourceWithACurrentPathNamesTheFileAlone) {
  ASSERT_TRUE(fs::exists(kSystemFont));
  fs::create_directories(Linux("C:\\Medium\\Fonts"));
  fs::copy_file(kSystemFont, Linux("C:\\Medium\\Fonts\\Local.ttf"));
  ASSERT_TRUE(CreateScalableFontResourceA(0, "C:\\Medium\\Fonts\\Local.fot", "Local.ttf", "C:\\Medium\\Fonts"));
  EXPECT_NE(Text(Linux("C:\\Medium\\Fonts\\Local.fot")).find("FontFile=Local.ttf\n"), std::string::npos);
  EXPECT_EQ(AddFontResourceA("C:\\Medium\\Fonts\\Local.fot"), 1);
  EXPECT_TRUE(IsAdded(Linux("C:\\Medium\\Fonts\\Local.ttf")));
}
