// The shell link object: made by CoCreateInstance like any class, saving
// real shell link files that an independent reader (lnkinfo) reads, replacing
// an existing link whole, loading what it saved, and refusing damaged files.
#include <gtest/gtest.h>

#include <filesystem>

#include "ComTestSupport.h"
#include "LnkInfo.h"
#include "TestSupport.h"
#include "objbase.h"
#include "shlobj.h"
#include "systemroot.h"
#include "windows.h"

namespace fs = std::filesystem;
using qorv::test::ComPtr;

namespace {

fs::path Linux(const std::string& windows) { return *qorv::platform::WindowsToLinuxPath(windows); }

class ShellLink : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link_.PutVoid()), S_OK);
    ASSERT_EQ(link_->QueryInterface(IID_IPersistFile, file_.PutVoid()), S_OK);
  }
  void TearDown() override {
    file_.Reset();
    link_.Reset();
    CoUninitialize();
  }

  // A fresh link object, as a second caller would make it.
  static ComPtr<IShellLinkA> NewLink() {
    ComPtr<IShellLinkA> link;
    EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.PutVoid()), S_OK);
    return link;
  }
  static ComPtr<IPersistFile> PersistOf(IShellLinkA* link) {
    ComPtr<IPersistFile> file;
    EXPECT_EQ(link->QueryInterface(IID_IPersistFile, file.PutVoid()), S_OK);
    return file;
  }
  static std::string Get(HRESULT (IShellLinkA::*getter)(LPSTR, int), IShellLinkA* link) {
    char buffer[MAX_PATH] = "unset";
    EXPECT_TRUE(SUCCEEDED((link->*getter)(buffer, sizeof buffer)));
    return buffer;
  }

  ComPtr<IShellLinkA> link_;
  ComPtr<IPersistFile> file_;
};

}  // namespace

// The class is there without any registry entry; it answers its two
// interfaces and IPersist, refuses others and aggregation.
TEST_F(ShellLink, MadeByCoCreateInstanceWithItsInterfaces) {
  ComPtr<IUnknown> persist;
  EXPECT_EQ(link_->QueryInterface(IID_IPersist, persist.PutVoid()), S_OK);
  ComPtr<IUnknown> none;
  EXPECT_EQ(link_->QueryInterface(IID_IStream, none.PutVoid()), E_NOINTERFACE);
  EXPECT_FALSE(none);
  CLSID clsid{};
  EXPECT_EQ(file_->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_ShellLink);
  ComPtr<IUnknown> aggregated;
  EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, link_.Get(), CLSCTX_INPROC_SERVER, IID_IUnknown, aggregated.PutVoid()),
            CLASS_E_NOAGGREGATION);
  ComPtr<IUnknown> viaFile;
  EXPECT_EQ(file_->QueryInterface(IID_IShellLinkA, viaFile.PutVoid()), S_OK);
  EXPECT_EQ(viaFile.Get(), static_cast<IUnknown*>(link_.Get())) << "one object behind both interfaces";
}

// What an independent reader finds in the saved file: the target's local
// path and volume, the working folder and every string that was set.
TEST_F(ShellLink, SavedLinkReadsBackWithLnkinfo) {
  if (!qorv::test::LnkInfoInstalled()) GTEST_SKIP() << "lnkinfo (liblnk-utils) is not installed";
  fs::create_directories(Linux("C:\\Ostrivel"));
  qorv::test::WriteFileBytes(Linux("C:\\Ostrivel\\Ostrivel.exe"), std::string(1234, 'x'));
  ASSERT_EQ(link_->SetPath("C:\\Ostrivel\\Ostrivel.exe"), S_OK);
  ASSERT_EQ(link_->SetWorkingDirectory("C:\\Ostrivel\\"), S_OK);
  ASSERT_EQ(link_->SetDescription("Call recorder"), S_OK);
  ASSERT_EQ(link_->SetArguments("/minimized \"a b\""), S_OK);
  ASSERT_EQ(link_->SetIconLocation("C:\\Ostrivel\\Ostrivel.ico", 2), S_OK);
  ASSERT_EQ(file_->Save(u"C:\\Users\\Public\\Desktop\\ostrivel.lnk", FALSE), S_OK);

  auto fields = qorv::test::LnkInfoFields(Linux("C:\\Users\\Public\\Desktop\\ostrivel.lnk"));
  ASSERT_TRUE(fields) << "lnkinfo could not read the link";
  EXPECT_EQ((*fields)["Local path"], "C:\\Ostrivel\\Ostrivel.exe");
  EXPECT_EQ((*fields)["Working directory"], "C:\\Ostrivel\\");
  EXPECT_EQ((*fields)["Description"], "Call recorder");
  EXPECT_EQ((*fields)["Command line arguments"], "/minimized \"a b\"");
  EXPECT_EQ((*fields)["Icon location"], "C:\\Ostrivel\\Ostrivel.ico");
  EXPECT_EQ((*fields)["Icon index"], "2");
  EXPECT_EQ((*fields)["File size"], "1234 bytes");
  EXPECT_EQ((*fields)["Drive type"], "Fixed (3)");
  EXPECT_EQ((*fields)["File attribute flags"], "0x00000020") << "an ordinary file";
}

// A target on a drive that is not there (the installer's D:), with a Persian
// folder name: the link records the path as given, in both encodings.
TEST_F(ShellLink, TargetOnAnAbsentDriveWithPersianName) {
  if (!qorv::test::LnkInfoInstalled()) GTEST_SKIP() << "lnkinfo (liblnk-utils) is not installed";
  // "D:\اوستريول\Ostrivel.exe" in code page 1256 (its yeh is the Arabic one).
  std::string persian = "D:\\\xC7\xE6\xD3\xCA\xD1\xED\xE6\xE1\\Ostrivel.exe";
  ASSERT_EQ(link_->SetPath(persian.c_str()), S_OK);
  ASSERT_EQ(file_->Save(u"C:\\Users\\Public\\Desktop\\ostrivel.lnk", FALSE), S_OK);
  auto fields = qorv::test::LnkInfoFields(Linux("C:\\Users\\Public\\Desktop\\ostrivel.lnk"));
  ASSERT_TRUE(fields);
  EXPECT_EQ((*fields)["Local path"], "D:\\\u0627\u0648\u0633\u062a\u0631\u064a\u0648\u0644\\Ostrivel.exe");
  EXPECT_EQ((*fields)["File size"], "0 bytes") << "nothing known of a target that is not there";
  EXPECT_EQ(Get(&IShellLinkA::GetDescription, link_.Get()), "");
}

// Saving again over a link replaces it: one file, the second content, no
// temporary file left beside it.
TEST_F(ShellLink, SavingTwiceLeavesOneFile) {
  ASSERT_EQ(link_->SetPath("C:\\first.exe"), S_OK);
  ASSERT_EQ(file_->Save(u"C:\\Users\\Public\\Desktop\\ostrivel.lnk", FALSE), S_OK);
  ComPtr<IShellLinkA> second = NewLink();
  ASSERT_EQ(second->SetPath("C:\\second.exe"), S_OK);
  ASSERT_EQ(PersistOf(second.Get())->Save(u"C:\\Users\\Public\\Desktop\\ostrivel.lnk", FALSE), S_OK);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(Linux("C:\\Users\\Public\\Desktop"))) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"ostrivel.lnk"});
  ComPtr<IShellLinkA> reader = NewLink();
  ASSERT_EQ(PersistOf(reader.Get())->Load(u"C:\\Users\\Public\\Desktop\\ostrivel.lnk", STGM_READ), S_OK);
  EXPECT_EQ(Get(&IShellLinkA::GetWorkingDirectory, reader.Get()), "");
  char path[MAX_PATH];
  EXPECT_EQ(reader->GetPath(path, MAX_PATH, nullptr, 0), S_OK);
  EXPECT_STREQ(path, "C:\\second.exe");
}

// Load gives back every field Save wrote; the object remembers the file only
// when asked to, and is clean after remembering.
TEST_F(ShellLink, LoadReadsWhatSaveWrote) {
  ASSERT_EQ(link_->SetPath("C:\\Ostrivel\\Ostrivel.exe"), S_OK);
  ASSERT_EQ(link_->SetWorkingDirectory("C:\\Ostrivel\\"), S_OK);
  ASSERT_EQ(link_->SetDescription("Call recorder"), S_OK);
  ASSERT_EQ(link_->SetArguments("-x"), S_OK);
  ASSERT_EQ(link_->SetIconLocation("C:\\icons.dll", -3), S_OK);
  ASSERT_EQ(link_->SetRelativePath(".\\Ostrivel\\Ostrivel.exe", 0), S_OK);
  ASSERT_EQ(link_->SetShowCmd(SW_SHOWMINNOACTIVE), S_OK);
  ASSERT_EQ(link_->SetHotkey(0x0241), S_OK);
  EXPECT_EQ(file_->IsDirty(), S_OK);
  LPOLESTR current = nullptr;
  EXPECT_EQ(file_->GetCurFile(&current), S_FALSE) << "no file yet";
  CoTaskMemFree(current);
  ASSERT_EQ(file_->Save(u"C:\\a.lnk", FALSE), S_OK);
  EXPECT_EQ(file_->IsDirty(), S_OK) << "a copy saved without remembering";
  ASSERT_EQ(file_->Save(u"C:\\b.lnk", TRUE), S_OK);
  EXPECT_EQ(file_->IsDirty(), S_FALSE);
  ASSERT_EQ(file_->GetCurFile(&current), S_OK);
  EXPECT_EQ(std::u16string(current), u"C:\\b.lnk");
  CoTaskMemFree(current);

  ComPtr<IShellLinkA> reader = NewLink();
  ASSERT_EQ(PersistOf(reader.Get())->Load(u"C:\\a.lnk", STGM_READ), S_OK);
  char path[MAX_PATH];
  EXPECT_EQ(reader->GetPath(path, MAX_PATH, nullptr, 0), S_OK);
  EXPECT_STREQ(path, "C:\\Ostrivel\\Ostrivel.exe");
  EXPECT_EQ(Get(&IShellLinkA::GetWorkingDirectory, reader.Get()), "C:\\Ostrivel\\");
  EXPECT_EQ(Get(&IShellLinkA::GetDescription, reader.Get()), "Call recorder");
  EXPECT_EQ(Get(&IShellLinkA::GetArguments, reader.Get()), "-x");
  int icon = 0;
  char iconPath[MAX_PATH];
  EXPECT_EQ(reader->GetIconLocation(iconPath, MAX_PATH, &icon), S_OK);
  EXPECT_STREQ(iconPath, "C:\\icons.dll");
  EXPECT_EQ(icon, -3);
  int show = 0;
  WORD hotkey = 0;
  EXPECT_EQ(reader->GetShowCmd(&show), S_OK);
  EXPECT_EQ(reader->GetHotkey(&hotkey), S_OK);
  EXPECT_EQ(show, SW_SHOWMINNOACTIVE);
  EXPECT_EQ(hotkey, 0x0241);
  // Saved again without a name: to the file it remembered.
  ASSERT_EQ(reader->SetArguments("-y"), S_OK);
  ASSERT_EQ(PersistOf(reader.Get())->Save(nullptr, FALSE), S_OK);
  ComPtr<IShellLinkA> again = NewLink();
  ASSERT_EQ(PersistOf(again.Get())->Load(u"C:\\a.lnk", STGM_READ), S_OK);
  EXPECT_EQ(Get(&IShellLinkA::GetArguments, again.Get()), "-y");
}

// Setting the path: a relative one is taken from the current folder; only
// drive paths can be recorded; a caller's buffer gets as much as fits.
TEST_F(ShellLink, PathRules) {
  char path[8] = "unset";
  EXPECT_EQ(link_->GetPath(path, sizeof path, nullptr, 0), S_FALSE) << "no path yet";
  EXPECT_STREQ(path, "");
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\Windows"));
  EXPECT_EQ(link_->SetPath("System32\\regsvr32.exe"), S_OK);
  char full[MAX_PATH];
  EXPECT_EQ(link_->GetPath(full, MAX_PATH, nullptr, 0), S_OK);
  EXPECT_STREQ(full, "C:\\Windows\\System32\\regsvr32.exe");
  EXPECT_EQ(link_->GetPath(path, sizeof path, nullptr, 0), S_OK);
  EXPECT_STREQ(path, "C:\\Wind") << "cut to the buffer";
  EXPECT_EQ(link_->SetPath(nullptr), E_INVALIDARG);
  EXPECT_EQ(link_->SetPath("\\\\server\\share\\a.exe"), E_INVALIDARG);
  EXPECT_EQ(link_->SetPath("C:\\a|b.exe"), E_INVALIDARG);
  EXPECT_EQ(link_->GetPath(full, MAX_PATH, nullptr, 0), S_OK);
  EXPECT_STREQ(full, "C:\\Windows\\System32\\regsvr32.exe") << "a refused path changes nothing";
  EXPECT_EQ(link_->GetPath(nullptr, MAX_PATH, nullptr, 0), E_INVALIDARG);
  EXPECT_EQ(link_->SetDescription(std::string(70000, 'd').c_str()), E_INVALIDARG) << "too long for a link file";
}

// Saving where no file can be: the error a file creation gives, and an
// existing file in the way is kept whole.
TEST_F(ShellLink, SaveFailuresLeaveNothingBehind) {
  ASSERT_EQ(link_->SetPath("C:\\a.exe"), S_OK);
  EXPECT_EQ(file_->Save(u"C:\\Missing\\ostrivel.lnk", FALSE), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(file_->Save(u"D:\\ostrivel.lnk", FALSE), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) << "absent drive";
  EXPECT_EQ(file_->Save(nullptr, FALSE), E_INVALIDARG) << "no current file";
  fs::create_directories(Linux("C:\\Users\\Public\\Desktop\\taken.lnk"));
  EXPECT_FALSE(SUCCEEDED(file_->Save(u"C:\\Users\\Public\\Desktop\\taken.lnk", FALSE)));
  EXPECT_TRUE(fs::is_directory(Linux("C:\\Users\\Public\\Desktop\\taken.lnk")));
  int entries = 0;
  for (const auto& entry : fs::directory_iterator(Linux("C:\\Users\\Public\\Desktop"))) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 1) << "no temporary file left";
}

// Every cut of a saved link, and the link with any one byte damaged, is
// either refused with E_FAIL (the object keeping what it had) or read; never
// read beyond its end. Sanitizer builds check the reads.
TEST_F(ShellLink, DamagedLinksAreRefused) {
  ASSERT_EQ(link_->SetPath("C:\\Ostrivel\\Ostrivel.exe"), S_OK);
  ASSERT_EQ(link_->SetWorkingDirectory("C:\\Ostrivel\\"), S_OK);
  ASSERT_EQ(link_->SetDescription("d"), S_OK);
  ASSERT_EQ(file_->Save(u"C:\\good.lnk", FALSE), S_OK);
  auto good = qorv::test::ReadFileBytes(Linux("C:\\good.lnk"));
  ComPtr<IShellLinkA> reader = NewLink();
  ASSERT_EQ(reader->SetArguments("kept"), S_OK);
  ComPtr<IPersistFile> readerFile = PersistOf(reader.Get());
  fs::path bad = Linux("C:\\bad.lnk");
  for (std::size_t cut = 0; cut < good.size(); ++cut) {
    qorv::test::WriteFileBytes(bad, std::string(good.begin(), good.begin() + static_cast<long>(cut)));
    ASSERT_EQ(readerFile->Load(u"C:\\bad.lnk", STGM_READ), E_FAIL) << "cut at " << cut;
  }
  EXPECT_EQ(Get(&IShellLinkA::GetArguments, reader.Get()), "kept");
  for (std::size_t at = 0; at < good.size(); ++at) {
    for (unsigned char value : {0x00, 0xFF}) {
      std::string damaged(good.begin(), good.end());
      damaged[at] = static_cast<char>(value);
      qorv::test::WriteFileBytes(bad, damaged);
      HRESULT hr = readerFile->Load(u"C:\\bad.lnk", STGM_READ);
      EXPECT_TRUE(hr == S_OK || hr == E_FAIL) << "byte " << at;
    }
  }
  EXPECT_EQ(readerFile->Load(u"C:\\none.lnk", STGM_READ), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}
