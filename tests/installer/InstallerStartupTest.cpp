// Showing the installer window: the five fonts of the medium installed with
// one bar step each while the bar is hidden, and the notice of the Windows
// bit width on both pages.
#include <gtest/gtest.h>

#include <wingdi.h>

#include <filesystem>
#include <string>

#include "AnsiStrings.h"
#include "InstallerWindowFixture.h"
#include "Label.h"
#include "ProgressBar.h"

using namespace qorv::test;
namespace fs = std::filesystem;

namespace {

constexpr const char* kFontNames[] = {"BNazanin", "BTitrBd", "BYekan", "BMitra", "BMitraBd"};

// A Persian font of the system's font packages (fonts-farsiweb).
const fs::path kPersianFont = "/usr/share/fonts/truetype/farsiweb/nazli.ttf";

void PutFontsOnMedium() {
  auto bytes = ReadFileBytes(kPersianFont);
  for (const char* name : kFontNames) {
    fs::path path = *qorv::platform::WindowsToLinuxPath(std::string("C:\\medium\\Fonts\\") + name + ".ttf");
    fs::create_directories(path.parent_path());
    WriteFileBytes(path, std::string(bytes.begin(), bytes.end()));
  }
}

std::string Notice(const char* width) {
  return "ويندوز شما " + std::string(width) +
         " بيت مي باشد در صورت عدم مغايرت روي دکمه نصب  نرم افزار کليک کنيد و در غير اينصورت با پشتيباني تماس "
         "بگيريد";
}

std::size_t AddedCount() { return qorv::platform::AddedFontFiles().Files.size(); }

}  // namespace

// Each font lands in the Windows font folder with its resource file and is
// added to the font table; the hidden bar counts the five of them.
TEST_F(InstallerWindowTest, ShowInstallsTheMediumFontsOneStepEach) {
  if (!fs::exists(kPersianFont)) GTEST_SKIP() << "fonts-farsiweb is not installed";
  PutFontsOnMedium();
  std::size_t before = AddedCount();
  TForm1& window = Window();
  for (const char* name : kFontNames) {
    EXPECT_TRUE(fs::exists(Linux(std::string("C:\\Windows\\Fonts\\") + name + ".ttf"))) << name;
    EXPECT_TRUE(fs::exists(Linux(std::string("C:\\Windows\\Fonts\\") + name + ".fot"))) << name;
  }
  EXPECT_EQ(AddedCount() - before, 5u);
  EXPECT_FALSE(window.ProgressBar1->Visible());
  EXPECT_EQ(window.ProgressBar1->Position(), 5);
  EXPECT_EQ(window.ProgressBar1->Max(), 100);
  EXPECT_EQ(boxes_, 0);
}

// A medium without its fonts: nothing copied, nothing said, the bar at 5
// all the same.
TEST_F(InstallerWindowTest, ShowPassesSilentlyOverMissingFonts) {
  TForm1& window = Window();
  EXPECT_FALSE(fs::exists(Linux("C:\\Windows\\Fonts\\BNazanin.ttf")));
  EXPECT_EQ(window.ProgressBar1->Position(), 5);
  EXPECT_EQ(boxes_, 0);
}

// A second run finds its fonts in place: a newer font on the medium does
// not replace what the first run installed, and the bar counts the five
// fonts all the same.
TEST_F(InstallerWindowTest, SecondRunKeepsTheInstalledFonts) {
  if (!fs::exists(kPersianFont)) GTEST_SKIP() << "fonts-farsiweb is not installed";
  PutFontsOnMedium();
  Window();
  delete form_;
  form_ = nullptr;
  fs::path installed = Linux("C:\\Windows\\Fonts\\BYekan.ttf");
  auto first = ReadFileBytes(installed);
  PutOnMedium("Fonts\\BYekan.ttf", "a newer font");
  TForm1& again = Window();
  EXPECT_EQ(ReadFileBytes(installed), first);
  EXPECT_EQ(again.ProgressBar1->Position(), 5);
  EXPECT_EQ(boxes_, 0);
}

// The notice says 64 exactly when C:\Windows\SysWOW64 is a folder, and the
// same on both pages.
TEST_F(InstallerWindowTest, NoticeNamesTheBitWidthOnBothPages) {
  struct Case {
    const char* Name;
    void (*Prepare)();
    const char* Width;
  } cases[] = {
      {"no SysWOW64", [] {}, "32"},
      {"SysWOW64 folder", [] { fs::create_directories(Linux("C:\\Windows\\SysWOW64")); }, "64"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    c.Prepare();
    TForm1& window = Window();
    EXPECT_EQ(AnsiToUtf8(window.Label1->Caption()), Notice(c.Width));
    EXPECT_EQ(window.Label6->Caption(), window.Label1->Caption());
    delete form_;
    form_ = nullptr;
  }
}
