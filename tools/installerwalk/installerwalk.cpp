// The installer's window walked through headless, as a person would click it,
// for the main job: the single-user installation, the settings transfer of an
// earlier client database and a restore. Prints what each step did (the
// boxes shown, the progress bar, the files left under the target root) and
// saves screenshots of both pages and of the bar during the installation.
//
//   installerwalk BACKUP OUTPUT
//
// Started in the installation medium's folder, as the installer is, so its
// current folder is the medium. BACKUP is the Windows path of a backup file
// to restore, OUTPUT a Linux folder for the screenshots. The system root
// (with a drive holding the medium) and the SQL Server it names are set up
// by the caller.
#include <fileapi.h>
#include <objbase.h>
#include <systemroot.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "ADODB.h"
#include "AnsiStrings.h"
#include "Application.h"
#include "FormInput.h"
#include "Label.h"
#include "PageControl.h"
#include "ProgressBar.h"
#include "SpeedButton.h"
#include "Timer.h"
#include "uNIiNSTALL.h"

namespace fs = std::filesystem;

namespace {

struct TWalk {
  std::string Backup;
  fs::path Output;
  std::vector<std::string> PendingTyping;  // answers for the file dialog
};

TWalk walk;

// Every box is printed and answered with its default button; the file
// dialog gets the backup's name typed.
void AnswerBox(TCustomForm& box) {
  std::string text;
  if (auto* label = dynamic_cast<TLabel*>(box.FindComponent("Message"))) text = AnsiToUtf8(label->Caption());
  if (box.Caption() == "Open" && !walk.PendingTyping.empty()) {
    std::string name = walk.PendingTyping.front();
    walk.PendingTyping.erase(walk.PendingTyping.begin());
    std::printf("    [file dialog] typed %s\n", AnsiToUtf8(name).c_str());
    for (char c : name) PostChar(box, c);
    PostKey(box, VK_RETURN);
    return;
  }
  std::printf("    [box \"%s\"] %s\n", AnsiToUtf8(box.Caption()).c_str(), text.c_str());
  PostKey(box, VK_RETURN);
}

void Screenshot(TForm1& form, const std::string& name) {
  fs::path path = walk.Output / name;
  if (form.SaveScreenshot(path.string())) {
    std::printf("    screenshot: %s\n", path.c_str());
  } else {
    std::printf("    screenshot %s could not be saved\n", path.c_str());
  }
}

void Click(TForm1& form, TControl* control, const char* what) {
  std::printf("\n== %s\n", what);
  for (TWinControl* parent = control->Parent(); parent; parent = parent->Parent()) {
    if (auto* sheet = dynamic_cast<TTabSheet*>(parent)) form.PageControl1->SetActivePage(sheet);
  }
  TPoint middle = control->ClientToForm({control->Width() / 2, control->Height() / 2});
  PostClick(form, middle.X, middle.Y);
  Application->ProcessMessages();
  std::printf("    progress bar: %d of %d, %s\n", form.ProgressBar1->Position(), form.ProgressBar1->Max(),
              form.ProgressBar1->Visible() ? "shown" : "hidden");
}

void ListFiles(const std::string& windowsFolder) {
  auto folder = qorv::platform::WindowsToLinuxPath(windowsFolder);
  std::error_code error;
  if (!folder || !fs::is_directory(*folder, error)) {
    std::printf("    %s: missing\n", windowsFolder.c_str());
    return;
  }
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(*folder, error)) {
    // The system's own tools there are links; the installer's files are not.
    if (entry.is_regular_file() && !entry.is_symlink()) {
      names.push_back(entry.path().lexically_relative(*folder).string());
    }
  }
  std::sort(names.begin(), names.end());
  std::printf("    %s holds %zu files:\n", windowsFolder.c_str(), names.size());
  for (const std::string& name : names) std::printf("      %s\n", name.c_str());
}

// The earlier installation whose settings are carried over: its client
// database beside the installed ones, attached as that installation left it.
void PrepareEarlierInstallation() {
  std::printf("\n== an earlier installation's client database (Tavro_Client) is attached\n");
  CopyFileA("Samples\\Tavro_Client_Data.MDF", "D:\\Ostrivel\\Data\\Tavro_Client_Data.MDF", FALSE);
  CopyFileA("Samples\\Tavro_Client_Log.LDF", "D:\\Ostrivel\\Data\\Tavro_Client_Log.LDF", FALSE);
  TADOCommand command(nullptr);
  command.SetConnectionString(
      "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
      "Initial Catalog=master");
  std::string statement =
      "EXEC sp_attach_db Tavro_Client, 'D:\\Ostrivel\\Data\\Tavro_Client_Data.MDF', "
      "'D:\\Ostrivel\\Data\\Tavro_Client_Log.LDF'";
  command.SetCommandText(std::u16string(statement.begin(), statement.end()));
  try {
    command.Execute();
  } catch (const std::exception& error) {
    std::printf("    could not attach it: %s\n", error.what());
  }
}

// Saves the window once while the bar is shown: during the first
// registration the installation waits for.
class TBarWatcher {
 public:
  explicit TBarWatcher(TForm1& form) : form_(form), timer_(new TTimer(&form)) {
    timer_->SetInterval(1);
    timer_->OnTimer = [this](TObject*) { Look(); };
    timer_->SetEnabled(true);
  }

 private:
  void Look() {
    if (!form_.ProgressBar1->Visible()) return;
    timer_->SetEnabled(false);
    std::printf("    progress bar during the installation: %d of %d\n", form_.ProgressBar1->Position(),
                form_.ProgressBar1->Max());
    Screenshot(form_, "installer-progress.png");
  }
  TForm1& form_;
  TTimer* timer_;
};

int Walk() {
  std::printf("== started on the medium in %s\n", qorv::platform::CurrentWindowsDirectory().c_str());
  Application->Initialize();
  SetModalResponder(AnswerBox);
  std::printf("== the window is shown (the medium's fonts are installed)\n");
  Application->CreateForm(Form1);
  TForm1& form = *Form1;
  form.Show();
  Application->ProcessMessages();
  std::printf("    notice: %s\n", AnsiToUtf8(form.Label1->Caption()).c_str());
  form.PageControl1->SetActivePage(form.TabSheet1);
  Screenshot(form, "installer-single-user.png");
  form.PageControl1->SetActivePage(form.TabSheet2);
  Screenshot(form, "installer-network.png");

  {
    TBarWatcher watcher(form);
    Click(form, form.SpeedButton1, "single-user installation");
  }
  ListFiles("D:\\Ostrivel");
  ListFiles(TForm1::SystemFolder());
  ListFiles("C:\\Users\\Public\\Desktop");

  PrepareEarlierInstallation();
  Click(form, form.SpeedButton11, "settings transfer");

  walk.PendingTyping.push_back(walk.Backup);
  Click(form, form.SpeedButton4, "restore of the main database");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: installerwalk BACKUP OUTPUT (started in the medium's folder)\n");
    return 2;
  }
  // Line by line, so the registration tool's own lines fall in place.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  walk.Backup = argv[1];
  walk.Output = argv[2];
  std::error_code error;
  fs::create_directories(walk.Output, error);
  CoInitialize(nullptr);
  int status = 1;
  try {
    status = Walk();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "installerwalk: %s\n", error.what());
  }
  std::fflush(stdout);
  // Ends as the window's exit button ends the installer: at once, without
  // closing the window.
  std::_Exit(status);
}
