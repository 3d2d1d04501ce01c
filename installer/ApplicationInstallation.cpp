// The three installations of the application (single user, network server,
// network client) and the hidden prerequisites button: the component files
// copied into the system folder and registered, the application's folders and
// files under the target root with the desktop shortcut, the databases
// attached, and on a server the login and the service installer.
#include <fileapi.h>
#include <processthreadsapi.h>

#include <string>
#include <vector>

#include "ADODB.h"
#include "AnsiStrings.h"
#include "Dialogs.h"
#include "LabeledEdit.h"
#include "WideText.h"
#include "uNIiNSTALL.h"

namespace {

// Copied in this order from "Component Package\" into the system folder.
constexpr const char* kComponents[] = {"Qor.ocx",      "QorvProj1.ocx", "Halvek.ocx", "Tindrel.ocx",  "Omberly.ocx",
                                       "MSCOMM32.ocx", "Pruneth.ocx",   "Wexil.ocx",  "COMCTL32.OCX", "ftd2xx.dll"};
// Registered in this order: Qor.ocx twice, ftd2xx.dll (not a control) never.
constexpr const char* kRegistrations[] = {"Qor.ocx",     "Qor.ocx",      "QorvProj1.ocx", "Halvek.ocx", "Tindrel.ocx",
                                          "Omberly.ocx", "MSCOMM32.ocx", "Pruneth.ocx",   "Wexil.ocx",  "COMCTL32.OCX"};

constexpr const char* kMediumFonts[] = {"Fonts\\BNazanin.ttf", "Fonts\\BTitrBd.ttf", "Fonts\\BYekan.ttf",
                                        "Fonts\\BMitra.ttf", "Fonts\\BMitraBd.ttf"};

// An application file: its place on the medium and under the target root,
// and whether the client installation takes it.
struct TApplicationFile {
  const char* Path;  // the same below "Ostrivel\" on the medium and the target root
  bool ForClient;
};
// Files 1 to 5, before the shortcut, and 6 to 9, after it.
constexpr TApplicationFile kFilesBeforeShortcut[] = {{"Data\\Tavro_Pics_Data.MDF", false},
                                                     {"Data\\Tavro_Pics_Log.LDF", false},
                                                     {"Data\\Ostrivel_Data.MDF", false},
                                                     {"Data\\Ostrivel_Log.LDF", false},
                                                     {"Ostrivel.exe", true}};
constexpr TApplicationFile kFilesAfterShortcut[] = {{"connect\\Ferrant Utility.exe", true},
                                                    {"connect\\Quellin.exe", true},
                                                    {"connect\\ServiceInstallerHalvor.exe", false},
                                                    {"connect\\Setup.exe", true}};

// Texts of the message boxes (UTF-8 here, shown in the ANSI code page).
constexpr const char kMainAttachFailed[] = "سرويس بانک اطلاعاتي در حال اجرا نيست و يا ديتابيس اصلي قبلا متصل شده است ";
constexpr const char kPicturesAttachFailed[] =
    "سرويس بانک اطلاعاتي در حال اجرا نيست و يا ديتابيس عکس ها قبلا متصل شده است ";
constexpr const char kInstallationDone[] = "نصب نرم افزار با موفقيت به پايان رسيد";
// Shown instead of the completion message when a file that had to be copied
// was not ("the installation is not complete; this file was not copied:").
constexpr const char kInstallationIncomplete[] = "نصب نرم افزار کامل نشد. اين فايل کپي نشد:";

enum class TInstallKind { SingleUser, Server, Client };

bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void Execute(TADOCommand* command, const std::string& statement) {
  command->SetCommandText(AnsiToWide(statement));
  command->Execute();
}

// A value between the double quotes of the login statement: a double quote
// inside it is doubled, as the server reads a quoted text, so a typed quote
// cannot end the value and run the rest as a statement of its own.
std::string InDoubleQuotes(const std::string& value) {
  std::string quoted = "\"";
  for (char c : value) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return quoted + '"';
}

std::string LoginStatement(const std::string& user, const std::string& password) {
  return "Exec SP_AddLogin " + InDoubleQuotes(user) + "," + InDoubleQuotes(password) + "," + InDoubleQuotes("master") +
         "," + InDoubleQuotes("English");
}

// One run of an installation: the steps it counts on the bar and the files
// it had to copy but could not.
class TInstallation {
 public:
  TInstallation(TForm1& form, TInstallKind kind) : form_(form), kind_(kind) {}

  void Components();
  void Fonts();
  void ApplicationFiles();
  void AttachDatabases();
  void ReportOutcome();
  char Drive() const { return drive_; }

 private:
  std::string Root() const { return std::string(1, drive_) + ":\\Ostrivel"; }
  void CopyApplicationFile(const TApplicationFile& file);
  void Attach(const std::string& database, const std::string& data, const std::string& log, const char* failure);

  TForm1& form_;
  TInstallKind kind_;
  char drive_ = 'C';
  std::vector<std::string> notCopied_;
};

// Every component is copied anew (an older one is replaced), then each
// registration waits for regsvr32, which reports in its own box.
void TInstallation::Components() {
  std::string system = TForm1::SystemFolder();
  for (const char* name : kComponents) {
    std::string destination = system + "\\" + name;
    if (!CopyFileA((std::string("Component Package\\") + name).c_str(), destination.c_str(), FALSE)) {
      notCopied_.push_back(destination);
    }
    form_.StepProgress();
  }
  for (const char* name : kRegistrations) {
    RunAndWait("regsvr32", " " + system + "\\" + name);
    form_.StepProgress();
  }
}

void TInstallation::Fonts() {
  for (const char* font : kMediumFonts) {
    InstallFont(font);
    form_.StepProgress();
  }
}

// An existing file is never replaced, so a second run keeps the databases
// and the executable the user already has.
void TInstallation::CopyApplicationFile(const TApplicationFile& file) {
  if (kind_ == TInstallKind::Client && !file.ForClient) return;
  std::string destination = Root() + "\\" + file.Path;
  if (!FileExists(destination) &&
      !CopyFileA((std::string("Ostrivel\\") + file.Path).c_str(), destination.c_str(), FALSE)) {
    notCopied_.push_back(destination);
  }
  form_.StepProgress();
}

void TInstallation::ApplicationFiles() {
  drive_ = form_.TargetDrive();
  for (const std::string& folder : {Root(), Root() + "\\Data", Root() + "\\connect"}) {
    if (!FolderExists(folder)) CreateDirectoryA(folder.c_str(), nullptr);
    form_.StepProgress();
  }
  for (const TApplicationFile& file : kFilesBeforeShortcut) CopyApplicationFile(file);
  CreateDesktopShortcut(Root() + "\\Ostrivel.exe");
  for (const TApplicationFile& file : kFilesAfterShortcut) CopyApplicationFile(file);
}

// Each attach fails on its own: the server not running or the database
// attached already by an earlier run are the usual causes.
void TInstallation::Attach(const std::string& database, const std::string& data, const std::string& log,
                           const char* failure) {
  std::string folder = Root() + "\\Data\\";
  try {
    Execute(form_.ADOCommand1, "EXEC sp_attach_db " + database + ", '" + folder + data + "', '" + folder + log + "'");
  } catch (const std::exception&) {
    ShowMessage(Utf8ToAnsi(failure));
  }
}

void TInstallation::AttachDatabases() {
  form_.StepProgress();
  Attach("Ostrivel", "Ostrivel_Data.MDF", "Ostrivel_Log.LDF", kMainAttachFailed);
  form_.StepProgress();
  Attach("Tavro_Pics", "Tavro_Pics_Data.MDF", "Tavro_Pics_Log.LDF", kPicturesAttachFailed);
}

void TInstallation::ReportOutcome() {
  if (notCopied_.empty()) {
    ShowMessage(Utf8ToAnsi(kInstallationDone));
    return;
  }
  ShowMessage(Utf8ToAnsi(kInstallationIncomplete) + "\n" + notCopied_.front());
}

}  // namespace

void TForm1::SpeedButton1Click(TObject*) {
  StartProgress(42);
  TInstallation installation(*this, TInstallKind::SingleUser);
  installation.Components();
  installation.ApplicationFiles();
  installation.AttachDatabases();
  StepProgress();
  EndProgress();
  installation.ReportOutcome();
}

// A rejected login ends the click in the application's error box: the
// service installer is then not started and the bar stays shown.
void TForm1::SpeedButton7Click(TObject*) {
  StartProgress(42);
  TInstallation installation(*this, TInstallKind::Server);
  installation.Components();
  installation.Fonts();
  installation.ApplicationFiles();
  installation.AttachDatabases();
  std::string user = LabeledEdit1->Text();
  std::string password = LabeledEdit2->Text();
  if (!user.empty() && !password.empty()) Execute(ADOCommand1, LoginStatement(user, password));
  std::string serviceInstaller =
      std::string(1, installation.Drive()) + ":\\Ostrivel\\connect\\ServiceInstallerHalvor.exe";
  WinExec(serviceInstaller.c_str(), SW_SHOWNORMAL);
  StepProgress();
  EndProgress();
  installation.ReportOutcome();
}

// The bar is hidden only after the user has closed the message.
void TForm1::SpeedButton3Click(TObject*) {
  StartProgress(35);
  TInstallation installation(*this, TInstallKind::Client);
  installation.Components();
  installation.Fonts();
  installation.ApplicationFiles();
  installation.ReportOutcome();
  EndProgress();
}

// Its button is never shown; kept for the handler table of the window.
void TForm1::Button1Click(TObject*) {
  std::string system = SystemFolder();
  WinExec((system + "\\MSCOMM32_Batch.Bat").c_str(), SW_SHOWNORMAL);
  WinExec((system + "\\MSCOMM32_Reg.Reg").c_str(), SW_SHOWNORMAL);
}
