// The installer window's unit: the window TForm1 with its two tab pages,
// its start-up, the choices every action shares (system folder, target
// drive) and the progress bar rules, and the installation operations the
// actions share. Each operation runs on the window's thread, reports nothing
// to the user itself (the shell shows its own windows) and leaves failures
// to its flag.
#pragma once

#include <string>

#include "Forms.h"

// Copies the folder `source` with everything in it to `destination` through
// the shell, which shows its progress window, asks before replacing files and
// reports failures (a missing source included). True when the shell reports
// success; false on any failure or a cancel.
bool CopyFolder(const std::string& source, const std::string& destination);

// Starts `file` hidden with `parameters` (passed as given, a leading blank
// included) and handles the thread's messages until the program has ended or
// the application is terminating, blocked between looks. False only when the
// program cannot be started (the shell has shown why); there is no time limit.
bool RunAndWait(const std::string& file, const std::string& parameters);

// Places "ostrivel.lnk" on the desktop, starting `target` (a full Windows
// path) in the target's folder, replacing a shortcut of that name. Raises
// EOleSysError or EIntfCastError when the shell link object cannot be had;
// any later failure passes silently and leaves no shortcut.
void CreateDesktopShortcut(const std::string& target);

// Copies the font file `source` (relative to the current folder) into the
// Windows font folder unless a file of its name is there, writes the font
// resource file beside it for a ".ttf" (lower case only), adds the font so
// it is usable at once, and tells every top-level window. Never fails
// visibly.
void InstallFont(const std::string& source);

class TButton;
class TImage;
class TLabel;
class TLabeledEdit;
class TOpenDialog;
class TPNGButton;
class TPageControl;
class TProgressBar;
class TSpeedButton;
class TTabSheet;
class TADOCommand;
class TADOTable;

// Makes every component class the window's description names known to the
// form loader (the image button and the data-access components beside the
// framework's own). Calling again does nothing.
void RegisterInstallerClasses();

// The installer's one window: borderless, right-to-left, a single-user page
// and a network page. Every action starts from a button and runs to its end
// on the window's thread; while a registration is waited for, other buttons
// (an exit button included) still work.
class TForm1 : public TForm {
 public:
  explicit TForm1(TComponent* owner);

  std::string DescriptionName() const override { return "TFORM1"; }

  // Controls directly on the window.
  TProgressBar* ProgressBar1 = nullptr;
  TPageControl* PageControl1 = nullptr;

  // Single-user page.
  TTabSheet* TabSheet1 = nullptr;
  TImage* Image1 = nullptr;
  TLabel* Label1 = nullptr;
  TSpeedButton* SpeedButton1 = nullptr;
  TSpeedButton* SpeedButton2 = nullptr;
  TSpeedButton* SpeedButton4 = nullptr;
  TSpeedButton* SpeedButton5 = nullptr;
  TPNGButton* PNGButton14 = nullptr;
  TLabel* Label2 = nullptr;
  TSpeedButton* SpeedButton10 = nullptr;
  TSpeedButton* SpeedButton11 = nullptr;
  TImage* Image3 = nullptr;
  TButton* Button1 = nullptr;
  TButton* Button5 = nullptr;

  // Network page.
  TTabSheet* TabSheet2 = nullptr;
  TImage* Image2 = nullptr;
  TImage* Image4 = nullptr;
  TLabel* Label5 = nullptr;
  TSpeedButton* SpeedButton6 = nullptr;
  TSpeedButton* SpeedButton7 = nullptr;
  TSpeedButton* SpeedButton8 = nullptr;
  TLabel* Label6 = nullptr;
  TSpeedButton* SpeedButton3 = nullptr;
  TSpeedButton* SpeedButton9 = nullptr;
  TPNGButton* PNGButton1 = nullptr;
  TLabeledEdit* LabeledEdit2 = nullptr;
  TLabeledEdit* LabeledEdit1 = nullptr;

  // Non-visual components: commands and the table reach the local server,
  // each through its own connection string.
  TADOCommand* ADOCommand1 = nullptr;  // master
  TADOCommand* ADOCommand2 = nullptr;  // master
  TADOCommand* ADOCommand3 = nullptr;  // Tavro_Client
  TADOCommand* ADOCommand4 = nullptr;  // master
  TADOTable* TblPrimery = nullptr;     // Tavro_Client
  TOpenDialog* OpenDialog1 = nullptr;

  // Start-up and the window's own buttons.
  void FormShow(TObject* Sender);
  void SpeedButton5Click(TObject* Sender);  // exit, both pages
  void PNGButton14Click(TObject* Sender);   // remote connection, both pages

  // Application installation: single-user, network server, network client,
  // and the hidden prerequisites button.
  void SpeedButton1Click(TObject* Sender);
  void SpeedButton7Click(TObject* Sender);
  void SpeedButton3Click(TObject* Sender);
  void Button1Click(TObject* Sender);

  // Database engine setup: MSDE on the single-user page, the Personal
  // Edition on the network page.
  void SpeedButton2Click(TObject* Sender);
  void SpeedButton6Click(TObject* Sender);

  // Restore (both pages), the off-screen restore, settings reset and
  // settings transfer.
  void SpeedButton4Click(TObject* Sender);
  void Button5Click(TObject* Sender);
  void SpeedButton10Click(TObject* Sender);
  void SpeedButton11Click(TObject* Sender);

  // True exactly when the system reports "D:\" (or "E:\") as a fixed drive.
  bool IsDriveDFixed();
  bool IsDriveEFixed();

  // Shared choices, made afresh by each caller.
  // "C:\Windows\SysWOW64" when that folder exists, else "C:\Windows\System32"
  // (literals: the system is not asked where Windows lives).
  static std::string SystemFolder();
  // 'D' when D: is fixed, else 'E' when E: is fixed, else 'C' (untested).
  char TargetDrive();

  // Progress bar rules of the install actions: position 0, the action's
  // total as maximum, shown; one more after each counted step; hidden at the
  // end with the position kept.
  void StartProgress(int total);
  void StepProgress();
  void EndProgress();
};

// The window, once the program has made it.
extern TForm1* Form1;
