// InstallFont with real TrueType fonts (a system font renamed, so nothing
// answers to its family before): copied into the font folder, its resource
// file beside it, usable by Pango at once, every top-level window told; a
// font already in place, an upper-case extension and a missing source.
#include <gtest/gtest.h>

#include <systemroot.h>

#include <filesystem>

#include "Fonts.h"
#include "HeadlessGuiTest.h"
#include "RenamedFont.h"
#include "TestSupport.h"
#include "uNIiNSTALL.h"

namespace fs = std::filesystem;
using qorv::test::RenamedFont;

namespace {

fs::path Linux(const std::string& windows) { return *qorv::platform::WindowsToLinuxPath(windows); }

std::string ReadAll(const fs::path& path) {
  auto bytes = qorv::test::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// A top-level window that counts the font changes it is told of.
class TFontChangeCounter {
 public:
  TFontChangeCounter() {
    WNDCLASSA cls{};
    cls.lpfnWndProc = Procedure;
    cls.lpszClassName = "QorvFontChangeCounter";
    RegisterClassA(&cls);
    window_ = CreateWindowExA(0, "QorvFontChangeCounter", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    Count() = 0;
  }
  ~TFontChangeCounter() { DestroyWindow(window_); }
  static int& Count() {
    static int count = 0;
    return count;
  }

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_FONTCHANGE) ++Count();
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }
  HWND window_;
};

class InstallFontTest : public HeadlessGuiTest {
 protected:
  void SetUp() override {
    HeadlessGuiTest::SetUp();
    if (!fs::exists(qorv::test::kRenamableFont)) GTEST_SKIP() << "fonts-noto-core is not installed";
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
  }
  // The installation medium's font, at C:\Medium\Fonts\<name>, the medium
  // being the current folder.
  void PutOnMedium(const std::string& name, const std::string& family) {
    fs::path file = Linux("C:\\Medium\\Fonts") / name;
    fs::create_directories(file.parent_path());
    qorv::test::WriteFileBytes(file, RenamedFont(family));
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\Medium"));
  }
  static bool Usable(const std::string& family) {
    return FontFamiliesUsedFor(family, "Ostrivel") == std::vector<std::string>{family};
  }
  TFontChangeCounter counter_;
};

}  // namespace

TEST_F(InstallFontTest, FontIsCopiedAndUsableAtOnce) {
  const std::string family = "Qorv Install Once";
  PutOnMedium("QorvOnce.ttf", family);
  ASSERT_FALSE(Usable(family)) << "nothing answers to the family before";
  InstallFont("Fonts\\QorvOnce.ttf");
  EXPECT_EQ(ReadAll(Linux("C:\\Windows\\Fonts\\QorvOnce.ttf")), ReadAll(Linux("C:\\Medium\\Fonts\\QorvOnce.ttf")));
  EXPECT_TRUE(fs::exists(Linux("C:\\Windows\\Fonts\\QorvOnce.fot"))) << "the font resource file beside it";
  EXPECT_TRUE(Usable(family)) << "laid out in the family without fallback";
  EXPECT_EQ(TFontChangeCounter::Count(), 1);
}

// The second run finds the font in place: the copy does not replace it, no
// new resource file is made, but the font is added and the windows told again.
TEST_F(InstallFontTest, FontAlreadyInPlace) {
  const std::string family = "Qorv Install Again";
  PutOnMedium("QorvAgain.ttf", family);
  InstallFont("Fonts\\QorvAgain.ttf");
  fs::path resource = Linux("C:\\Windows\\Fonts\\QorvAgain.fot");
  ASSERT_TRUE(fs::exists(resource));
  std::string installed = ReadAll(Linux("C:\\Windows\\Fonts\\QorvAgain.ttf"));
  std::string resourceText = ReadAll(resource);
  fs::last_write_time(resource, fs::last_write_time(resource) - std::chrono::hours(1));
  auto resourceTime = fs::last_write_time(resource);

  PutOnMedium("QorvAgain.ttf", "Qorv Install Other");
  InstallFont("Fonts\\QorvAgain.ttf");
  EXPECT_EQ(ReadAll(Linux("C:\\Windows\\Fonts\\QorvAgain.ttf")), installed) << "never replaced";
  EXPECT_EQ(ReadAll(resource), resourceText);
  EXPECT_EQ(fs::last_write_time(resource), resourceTime);
  EXPECT_TRUE(Usable(family));
  EXPECT_FALSE(Usable("Qorv Install Other")) << "the medium's new file was not installed";
  EXPECT_EQ(TFontChangeCounter::Count(), 2);
}

// ".TTF" is not ".ttf": no resource file, the font is still added.
TEST_F(InstallFontTest, UpperCaseExtensionMakesNoResourceFile) {
  const std::string family = "Qorv Install Upper";
  PutOnMedium("QORVUP.TTF", family);
  InstallFont("Fonts\\QORVUP.TTF");
  std::vector<std::string> named;
  for (const auto& entry : fs::directory_iterator(Linux("C:\\Windows\\Fonts"))) {
    if (entry.path().stem() == "QORVUP") named.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(named, std::vector<std::string>{"QORVUP.TTF"}) << "the font alone, no resource file";
  EXPECT_TRUE(Usable(family));
  EXPECT_EQ(TFontChangeCounter::Count(), 1);
}

// A missing source: nothing copied, nothing made, no error; the windows are
// told all the same.
TEST_F(InstallFontTest, MissingSourcePassesSilently) {
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
  auto before = std::distance(fs::directory_iterator(Linux("C:\\Windows\\Fonts")), fs::directory_iterator());
  EXPECT_NO_THROW(InstallFont("Fonts\\BNazanin.ttf"));
  auto after = std::distance(fs::directory_iterator(Linux("C:\\Windows\\Fonts")), fs::directory_iterator());
  EXPECT_EQ(after, before);
  EXPECT_EQ(TFontChangeCounter::Count(), 1);
}
