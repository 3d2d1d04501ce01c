// The two "install database" buttons: each puts its engine's setup folder
// from the medium under the target root (asking before it replaces one that
// is there) and starts the setup from there without waiting for it.
#include <fileapi.h>
#include <processthreadsapi.h>

#include <string>

#include "AnsiStrings.h"
#include "Dialogs.h"
#include "uNIiNSTALL.h"

namespace {

// "Database files were found on the system; shall they be replaced?"
constexpr const char kReplaceQuestion[] = "فايل هاي بانک اطلاعاتي در سيستم يافت شد آيا فايل ها جايگزين شوند؟";

struct TEngine {
  const char* Folder;  // the same name on the medium and under the target root
  const char* Setup;   // the setup program, within that folder
};

constexpr TEngine kMsde{"MSDE SP4", "Setup.exe"};
constexpr TEngine kPersonalEdition{"Personal Edition", "x86\\setup\\setupsql.exe"};

bool FolderExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The folder that is asked about is the one a Yes copies and the one whose
// setup starts; the shell reports its own copy failures, and a setup that
// cannot start is simply not started.
void SetUpEngine(TForm1& form, const TEngine& engine) {
  std::string folder = std::string(1, form.TargetDrive()) + ":\\Ostrivel\\" + engine.Folder;
  if (!FolderExists(folder) || MessageDlg(Utf8ToAnsi(kReplaceQuestion), mtWarning, mbYes | mbNo, 0) == mrYes) {
    CopyFolder(engine.Folder, folder);
  }
  WinExec((folder + "\\" + engine.Setup).c_str(), SW_SHOWNORMAL);
}

}  // namespace

void TForm1::SpeedButton2Click(TObject*) { SetUpEngine(*this, kMsde); }

void TForm1::SpeedButton6Click(TObject*) { SetUpEngine(*this, kPersonalEdition); }
