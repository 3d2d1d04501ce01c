// The three installations end to end on a copy of the sample medium against
// the SQL Server stand-in: the files, registrations and shortcut they leave,
// the statements the server receives byte for byte, the boxes the user sees
// and where the progress bar stands meanwhile.
#ifdef QORV_INSTALLER_ACTIONS

#include <gtest/gtest.h>

#include <objbase.h>
#include <winreg.h>

#include <sys/resource.h>

#include <csignal>

#include "Button.h"
#include "InstallerActionsFixture.h"
#include "LabeledEdit.h"
#include "LnkInfo.h"
#include "SpeedButton.h"

namespace {

using namespace qorv::test;

// The texts the window shows (UTF-8).
const std::string kMainAttachFailed = "سرويس بانک اطلاعاتي در حال اجرا نيست و يا ديتابيس اصلي قبلا متصل شده است ";
const std::string kPicturesAttachFailed = "سرويس بانک اطلاعاتي در حال اجرا نيست و يا ديتابيس عکس ها قبلا متصل شده است ";
const std::string kDone = "نصب نرم افزار با موفقيت به پايان رسيد";
const std::string kIncomplete = "نصب نرم افزار کامل نشد. اين فايل کپي نشد:";
const std::string kResetDone = "تنظيمات ديتابيس با موفقيت تغيير يافت";

const char* const kComponents[] = {"Qor.ocx",      "QorvProj1.ocx", "Halvek.ocx", "Tindrel.ocx",  "Omberly.ocx",
                                   "MSCOMM32.ocx", "Pruneth.ocx",   "Wexil.ocx",  "COMCTL32.OCX", "ftd2xx.dll"};
const char* const kDatabaseFiles[] = {"Data\\Tavro_Pics_Data.MDF", "Data\\Tavro_Pics_Log.LDF",
                                      "Data\\Ostrivel_Data.MDF", "Data\\Ostrivel_Log.LDF"};
const char* const kClientFiles[] = {"Ostrivel.exe", "connect\\Ferrant Utility.exe", "connect\\Quellin.exe",
                                    "connect\\Setup.exe"};

std::string Attaches(char drive, const std::string& database, const std::string& data, const std::string& log) {
  std::string folder = std::string(1, drive) + ":\\Ostrivel\\Data\\";
  return "EXEC sp_attach_db " + database + ", '" + folder + data + "', '" + folder + log + "'";
}

std::vector<std::string> AttachStatements(char drive) {
  return {Attaches(drive, "Ostrivel", "Ostrivel_Data.MDF", "Ostrivel_Log.LDF"),
          Attaches(drive, "Tavro_Pics", "Tavro_Pics_Data.MDF", "Tavro_Pics_Log.LDF")};
}

std::string Text(const fs::path& path) {
  auto bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

bool SameBytes(const fs::path& a, const fs::path& b) { return ReadFileBytes(a) == ReadFileBytes(b); }

class ApplicationInstallation : public InstallerActions {
 protected:
  // The lines the service installer of the target root wrote when started.
  std::string ServiceInstallerStarts(char drive) {
    fs::path mark = Linux(std::string(1, drive) + ":\\Ostrivel\\connect\\ServiceInstallerHalvor.exe");
    mark += ".started";
    return fs::exists(mark) ? Text(mark) : std::string();
  }
};

// A first single-user installation on D:: the ten components in the system
// folder, the application's tree, the shortcut, both attaches and nothing
// else sent, the completion message with the bar hidden at 35 of 42. A
// click on another button inside the first registration wait runs there,
// with the bar reset (not 5 + 10) and shown.
TEST_F(ApplicationInstallation, SingleUserFirstRun) {
  TForm1& window = Window();
  ASSERT_EQ(window.ProgressBar1->Position(), 5)
      << "after the five fonts of the start; boxes shown: " << ::testing::PrintToString(BoxTexts());
  std::size_t start = BatchCount();
  TPoint install = window.SpeedButton1->ClientToForm({20, 10});
  TPoint reset = window.SpeedButton10->ClientToForm({20, 10});
  PostClick(window, install.X, install.Y);
  PostClick(window, reset.X, reset.Y);
  Application->ProcessMessages();

  ASSERT_EQ(boxes_.size(), 2u) << ::testing::PrintToString(BoxTexts());
  EXPECT_EQ(boxes_[0].Text, kResetDone) << "the other button ran inside the first registration wait";
  EXPECT_EQ(boxes_[0].Position, 10) << "ten copies counted after the reset to 0";
  EXPECT_TRUE(boxes_[0].BarVisible);
  EXPECT_EQ(boxes_[1].Text, kDone);
  EXPECT_FALSE(boxes_[1].BarVisible) << "hidden before the completion message";
  EXPECT_EQ(window.ProgressBar1->Position(), 35);
  EXPECT_EQ(window.ProgressBar1->Max(), 42);
  EXPECT_FALSE(window.ProgressBar1->Visible());

  for (const char* name : kComponents) {
    EXPECT_TRUE(SameBytes(Linux(std::string("C:\\Windows\\System32\\") + name), Medium() / "Component Package" / name))
        << name;
  }
  EXPECT_FALSE(fs::exists(Linux("C:\\Windows\\SysWOW64")));
  for (const char* file : kDatabaseFiles) {
    EXPECT_TRUE(SameBytes(Linux(std::string("D:\\Ostrivel\\") + file), Linux(std::string("M:\\Ostrivel\\") + file)))
        << file;
  }
  for (const char* file : kClientFiles) {
    EXPECT_TRUE(SameBytes(Linux(std::string("D:\\Ostrivel\\") + file), Linux(std::string("M:\\Ostrivel\\") + file)))
        << file;
  }
  EXPECT_TRUE(fs::exists(Linux("D:\\Ostrivel\\connect\\ServiceInstallerHalvor.exe")));
  EXPECT_EQ(ServiceInstallerStarts('D'), "") << "only the server installation starts it";
  EXPECT_EQ(BatchesSince(start), AttachStatements('D'));

  fs::path shortcut = Linux("C:\\Users\\Public\\Desktop\\ostrivel.lnk");
  ASSERT_TRUE(fs::exists(shortcut));
  if (LnkInfoInstalled()) {
    auto fields = LnkInfoFields(shortcut);
    ASSERT_TRUE(fields);
    EXPECT_EQ((*fields)["Local path"], "D:\\Ostrivel\\Ostrivel.exe");
    EXPECT_EQ((*fields)["Working directory"], "D:\\Ostrivel\\");
  }
}

#ifdef QORV_MEDIUM_HAS_CONTROL
// The control library of the medium is registered by regsvr32 and can be
// created by its ProgID once the installation has ended.
TEST_F(ApplicationInstallation, RegistersTheControlCreatableByProgId) {
  Click(Window().SpeedButton1);
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"QorvProj1.QorvX", &clsid), S_OK);
  IUnknown* control = nullptr;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&control)),
            S_OK);
  control->Release();
}
#endif

// A second run keeps the files the user has (an older executable stays),
// tries both attaches again and shows both failures before the completion.
TEST_F(ApplicationInstallation, SecondRunKeepsFilesAndReportsBothAttaches) {
  Click(Window().SpeedButton1);
  WriteFileBytes(Linux("D:\\Ostrivel\\Ostrivel.exe"), "older build");
  boxes_.clear();
  std::size_t start = BatchCount();
  Click(Window().SpeedButton1);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kMainAttachFailed, kPicturesAttachFailed, kDone}));
  EXPECT_EQ(Text(Linux("D:\\Ostrivel\\Ostrivel.exe")), "older build");
  EXPECT_EQ(BatchesSince(start), AttachStatements('D'));
  EXPECT_EQ(Window().ProgressBar1->Position(), 35);
}

// The drive is D: only when fixed, else E: when fixed, else C: untested;
// every destination and both statements follow it.
TEST_F(ApplicationInstallation, TargetDriveChoice) {
  using qorv::platform::DriveKind;
  struct Case {
    DriveKind D, E;
    char Expected;
  } cases[] = {{DriveKind::Cdrom, DriveKind::Fixed, 'E'}, {DriveKind::Absent, DriveKind::Cdrom, 'C'}};
  for (const Case& c : cases) {
    ASSERT_TRUE(qorv::platform::ConfigureDrive('D', c.D == DriveKind::Absent ? fs::path() : ServerDrive('D'), c.D));
    ASSERT_TRUE(qorv::platform::ConfigureDrive('E', ServerDrive('E'), c.E));
    std::size_t start = BatchCount();
    Click(Window().SpeedButton1);
    std::string root = std::string(1, c.Expected) + ":\\Ostrivel\\";
    EXPECT_TRUE(fs::exists(Linux(root + "Data\\Ostrivel_Data.MDF"))) << root;
    EXPECT_TRUE(fs::exists(Linux(root + "connect\\Setup.exe"))) << root;
    EXPECT_EQ(BatchesSince(start), AttachStatements(c.Expected)) << root;
  }
}

// The server installation: the login from the two edits (a quote typed in
// either is doubled, so it stays inside its value), then the service
// installer of the target root; the bar ends at 40 of 42.
TEST_F(ApplicationInstallation, ServerWithLogin) {
  struct Case {
    std::string User, Password;
    std::vector<std::string> Login;  // the statement, when one is sent
  } cases[] = {
      {"ali", "p@ss", {"Exec SP_AddLogin \"ali\",\"p@ss\",\"master\",\"English\""}},
      {"", "secret", {}},
      {"reza", "", {}},
      {"x\",\"y", "a\"b", {"Exec SP_AddLogin \"x\"\",\"\"y\",\"a\"\"b\",\"master\",\"English\""}},
  };
  int starts = 0;
  for (const Case& c : cases) {
    TForm1& window = Window();
    window.LabeledEdit1->SetText(c.User);
    window.LabeledEdit2->SetText(c.Password);
    boxes_.clear();
    std::size_t start = BatchCount();
    Click(window.SpeedButton7);
    std::vector<std::string> sent = BatchesSince(start);
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(sent.begin() + 2, sent.end()), c.Login) << c.User;
    EXPECT_EQ(boxes_.back().Text, kDone) << c.User;
    EXPECT_EQ(window.ProgressBar1->Position(), 40);
    EXPECT_FALSE(window.ProgressBar1->Visible());
    ++starts;
    EXPECT_TRUE(WaitUntil([&] {
      std::string lines = ServiceInstallerStarts('D');
      return std::count(lines.begin(), lines.end(), '\n') == starts;
    })) << "the service installer is started with or without a login";
  }
  // Fonts come from the medium also on a server.
  EXPECT_TRUE(fs::exists(Linux("C:\\Windows\\Fonts\\BTitrBd.ttf")));
}

// A login the server refuses ends the click in the standard error box: no
// service installer, no completion message, the bar still shown at 39.
TEST_F(ApplicationInstallation, RefusedLoginEndsTheServerInstallation) {
  TForm1& window = Window();
  window.LabeledEdit1->SetText("ali");
  window.LabeledEdit2->SetText("one");
  Click(window.SpeedButton7);
  ASSERT_TRUE(WaitUntil([&] { return !ServiceInstallerStarts('D').empty(); }));
  boxes_.clear();
  Click(window.SpeedButton7);
  ASSERT_EQ(boxes_.size(), 3u) << ::testing::PrintToString(BoxTexts());
  EXPECT_EQ(boxes_[0].Text, kMainAttachFailed);
  EXPECT_EQ(boxes_[1].Text, kPicturesAttachFailed);
  EXPECT_NE(boxes_[2].Text.find("already exists"), std::string::npos) << boxes_[2].Text;
  EXPECT_TRUE(window.ProgressBar1->Visible());
  EXPECT_EQ(window.ProgressBar1->Position(), 39);
  std::string lines = ServiceInstallerStarts('D');
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 1) << "not started by the refused run";
}

// The client installation: no databases, no service installer, the Data
// folder all the same; the completion message comes while the bar still
// shows 32 of 35, and the bar goes once it is closed.
TEST_F(ApplicationInstallation, Client) {
  std::size_t start = BatchCount();
  Click(Window().SpeedButton3);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].Text, kDone);
  EXPECT_TRUE(boxes_[0].BarVisible);
  EXPECT_EQ(boxes_[0].Position, 32);
  EXPECT_EQ(Window().ProgressBar1->Max(), 35);
  EXPECT_FALSE(Window().ProgressBar1->Visible());
  for (const char* file : kClientFiles) EXPECT_TRUE(fs::exists(Linux(std::string("D:\\Ostrivel\\") + file))) << file;
  for (const char* file : kDatabaseFiles) EXPECT_FALSE(fs::exists(Linux(std::string("D:\\Ostrivel\\") + file))) << file;
  EXPECT_FALSE(fs::exists(Linux("D:\\Ostrivel\\connect\\ServiceInstallerHalvor.exe")));
  EXPECT_TRUE(fs::is_directory(Linux("D:\\Ostrivel\\Data")));
  EXPECT_TRUE(BatchesSince(start).empty());
}

// On a 64-bit Windows the components go to SysWOW64 and are registered
// from there; System32 gets none of them.
TEST_F(ApplicationInstallation, SixtyFourBitWindowsUsesSysWow64) {
  fs::create_directories(Linux("C:\\Windows\\SysWOW64"));
  Click(Window().SpeedButton3);
  for (const char* name : kComponents) {
    EXPECT_TRUE(fs::exists(Linux(std::string("C:\\Windows\\SysWOW64\\") + name))) << name;
    EXPECT_FALSE(fs::exists(Linux(std::string("C:\\Windows\\System32\\") + name))) << name;
  }
#ifdef QORV_MEDIUM_HAS_CONTROL
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(u"QorvProj1.QorvX", &clsid), S_OK) << "registered from SysWOW64";
#endif
}

// The hidden button starts the two prerequisite files of the system folder
// and waits for neither.
TEST_F(ApplicationInstallation, HiddenPrerequisitesButton) {
  for (const char* name : {"MSCOMM32_Batch.Bat", "MSCOMM32_Reg.Reg"}) {
    fs::path path = Linux(std::string("C:\\Windows\\System32\\") + name);
    WriteFileBytes(path, "#!/bin/sh\necho started >> \"$0.started\"\n");
    fs::permissions(path, fs::perms(0755));
  }
  TForm1& window = Window();
  EXPECT_FALSE(window.Button1->Visible());
  window.Button1Click(window.Button1);
  for (const char* name : {"MSCOMM32_Batch.Bat", "MSCOMM32_Reg.Reg"}) {
    fs::path mark = Linux(std::string("C:\\Windows\\System32\\") + name);
    mark += ".started";
    EXPECT_TRUE(WaitUntil([&] { return fs::exists(mark); })) << name;
  }
}

// A file the installation had to copy and could not is named instead of
// the completion message; the copies that could be made are made. A medium
// without the application's folder fails both attaches as well.
TEST_F(ApplicationInstallation, FilesThatCannotBeCopiedAreReported) {
  // Not a file that can be read: a folder where the executable should be.
  fs::remove(Medium() / "Ostrivel" / "Ostrivel.exe");
  fs::create_directory(Medium() / "Ostrivel" / "Ostrivel.exe");
  Click(Window().SpeedButton3);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].Text, kIncomplete + "\nD:\\Ostrivel\\Ostrivel.exe");
  EXPECT_FALSE(fs::exists(Linux("D:\\Ostrivel\\Ostrivel.exe")));
  EXPECT_TRUE(fs::exists(Linux("D:\\Ostrivel\\connect\\Setup.exe")));

  fs::remove_all(Medium() / "Ostrivel");
  boxes_.clear();
  Click(Window().SpeedButton1);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kMainAttachFailed, kPicturesAttachFailed,
                                                  kIncomplete + "\nD:\\Ostrivel\\Data\\Tavro_Pics_Data.MDF"}));
}

// A target disk that cannot take a database file: no part of it is left to
// pass for the file, the smaller files are copied, and the installation says
// it is incomplete instead of done.
TEST_F(ApplicationInstallation, FullTargetDiskLeavesNoPartialFile) {
  constexpr rlim_t kRoom = 512 * 1024;
  fs::path big = Medium() / "Ostrivel" / "Data" / "Ostrivel_Data.MDF";
  std::string padded = Text(big);
  padded.resize(2 * kRoom, '\0');
  WriteFileBytes(big, padded);
  TForm1& window = Window();
  // Written files stop growing at the limit (with EFBIG, not a signal) for
  // this process and the programs it starts during the click.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = kRoom;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  Click(window.SpeedButton1);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  ASSERT_FALSE(boxes_.empty());
  EXPECT_EQ(boxes_.back().Text.rfind(kIncomplete, 0), 0u) << boxes_.back().Text;
  EXPECT_NE(boxes_.back().Text, kDone);
  EXPECT_FALSE(fs::exists(Linux("D:\\Ostrivel\\Data\\Ostrivel_Data.MDF")));
  EXPECT_TRUE(fs::exists(Linux("D:\\Ostrivel\\Data\\Ostrivel_Log.LDF")));
  EXPECT_TRUE(fs::exists(Linux("D:\\Ostrivel\\Ostrivel.exe")));
  for (const auto& entry : fs::directory_iterator(Linux("D:\\Ostrivel\\Data"))) {
    EXPECT_LT(fs::file_size(entry.path()), kRoom) << "a partial copy left behind: " << entry.path();
  }
}

// The exit button inside a registration wait ends the process at once with
// status 0: nothing of the installation after the first registration runs.
TEST_F(ApplicationInstallation, ExitDuringRegistrationEndsWithStatusZero) {
  TForm1& window = Window();
  EXPECT_EXIT(
      {
        TPoint install = window.SpeedButton1->ClientToForm({20, 10});
        TPoint exit = window.SpeedButton5->ClientToForm({20, 20});
        PostClick(window, install.X, install.Y);
        PostClick(window, exit.X, exit.Y);
        Application->ProcessMessages();
        std::_Exit(3);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_FALSE(fs::exists(Linux("D:\\Ostrivel"))) << "the application list was never reached";
}

}  // namespace

#endif
