// The installer window: its making from the stored description, start-up
// (fonts, the bit-width notice), the exit and remote-connection buttons.
#include <cstdio>

#include <processthreadsapi.h>

#include "ADODB.h"
#include "Application.h"
#include "Button.h"
#include "FormLoader.h"
#include "Image.h"
#include "Label.h"
#include "LabeledEdit.h"
#include "OpenDialog.h"
#include "PageControl.h"
#include "ProgressBar.h"
#include "SpeedButton.h"
#include "pngextra.h"
#include "uNIiNSTALL.h"

TForm1* Form1 = nullptr;

namespace {

// The notice on both pages, in the ANSI code page (1256), around the bit
// width: "your Windows is NN-bit; if that is right, click the install
// button, otherwise call support". Two blanks follow the word for install.
constexpr const char kNoticeBeforeWidth[] = "\xE6\xED\xE4\xCF\xE6\xD2 \xD4\xE3\xC7 ";
constexpr const char kNoticeAfterWidth[] =
    " \xC8\xED\xCA \xE3\xED \xC8\xC7\xD4\xCF \xCF\xD1 \xD5\xE6\xD1\xCA \xDA\xCF\xE3 \xE3\xDB\xC7\xED\xD1\xCA "
    "\xD1\xE6\xED "
    "\xCF\x98\xE3\xE5 \xE4\xD5\xC8  \xE4\xD1\xE3 \xC7\xDD\xD2\xC7\xD1 \x98\xE1\xED\x98 \x98\xE4\xED\xCF \xE6 \xCF\xD1 "
    "\xDB\xED\xD1 \xC7\xED\xE4\xD5\xE6\xD1\xCA \xC8\xC7 \x81\xD4\xCA\xED\xC8\xC7\xE4\xED \xCA\xE3\xC7\xD3 "
    "\xC8\x90\xED\xD1\xED\xCF";

constexpr const char* kMediumFonts[] = {"Fonts\\BNazanin.ttf", "Fonts\\BTitrBd.ttf", "Fonts\\BYekan.ttf",
                                        "Fonts\\BMitra.ttf", "Fonts\\BMitraBd.ttf"};

}  // namespace

void RegisterInstallerClasses() {
  RegisterStandardClasses();
  RegisterPNGButtonClass();
  RegisterDataAccessClasses();
}

TForm1::TForm1(TComponent* owner) : TForm(owner) {
  RegisterInstallerClasses();

  RegisterField("ProgressBar1", ProgressBar1);
  RegisterField("PageControl1", PageControl1);
  RegisterField("TabSheet1", TabSheet1);
  RegisterField("Image1", Image1);
  RegisterField("Label1", Label1);
  RegisterField("SpeedButton1", SpeedButton1);
  RegisterField("SpeedButton2", SpeedButton2);
  RegisterField("SpeedButton4", SpeedButton4);
  RegisterField("SpeedButton5", SpeedButton5);
  RegisterField("PNGButton14", PNGButton14);
  RegisterField("Label2", Label2);
  RegisterField("SpeedButton10", SpeedButton10);
  RegisterField("SpeedButton11", SpeedButton11);
  RegisterField("Image3", Image3);
  RegisterField("Button1", Button1);
  RegisterField("Button5", Button5);
  RegisterField("TabSheet2", TabSheet2);
  RegisterField("Image2", Image2);
  RegisterField("Image4", Image4);
  RegisterField("Label5", Label5);
  RegisterField("SpeedButton6", SpeedButton6);
  RegisterField("SpeedButton7", SpeedButton7);
  RegisterField("SpeedButton8", SpeedButton8);
  RegisterField("Label6", Label6);
  RegisterField("SpeedButton3", SpeedButton3);
  RegisterField("SpeedButton9", SpeedButton9);
  RegisterField("PNGButton1", PNGButton1);
  RegisterField("LabeledEdit2", LabeledEdit2);
  RegisterField("LabeledEdit1", LabeledEdit1);
  RegisterField("ADOCommand1", ADOCommand1);
  RegisterField("ADOCommand2", ADOCommand2);
  RegisterField("ADOCommand3", ADOCommand3);
  RegisterField("ADOCommand4", ADOCommand4);
  RegisterField("TblPrimery", TblPrimery);
  RegisterField("OpenDialog1", OpenDialog1);

  RegisterHandler("FormShow", &TForm1::FormShow);
  RegisterHandler("SpeedButton5Click", &TForm1::SpeedButton5Click);
  RegisterHandler("PNGButton14Click", &TForm1::PNGButton14Click);
  RegisterHandler("SpeedButton1Click", &TForm1::SpeedButton1Click);
  RegisterHandler("SpeedButton7Click", &TForm1::SpeedButton7Click);
  RegisterHandler("SpeedButton3Click", &TForm1::SpeedButton3Click);
  RegisterHandler("Button1Click", &TForm1::Button1Click);
  RegisterHandler("SpeedButton2Click", &TForm1::SpeedButton2Click);
  RegisterHandler("SpeedButton6Click", &TForm1::SpeedButton6Click);
  RegisterHandler("SpeedButton4Click", &TForm1::SpeedButton4Click);
  RegisterHandler("Button5Click", &TForm1::Button5Click);
  RegisterHandler("SpeedButton10Click", &TForm1::SpeedButton10Click);
  RegisterHandler("SpeedButton11Click", &TForm1::SpeedButton11Click);
}

// Runs before the first paint. The bar is still hidden, so the five steps
// leave it at 5 of 100 unseen; the first install action starts it afresh.
void TForm1::FormShow(TObject*) {
  for (const char* font : kMediumFonts) {
    InstallFont(font);
    ProgressBar1->StepBy(1);
  }
  // The folder stands for a 64-bit Windows only where Windows is expected to
  // live; a Windows elsewhere gets the 32 notice.
  const char* width = SystemFolder() == "C:\\Windows\\SysWOW64" ? "64" : "32";
  std::string notice = std::string(kNoticeBeforeWidth) + width + kNoticeAfterWidth;
  Label1->SetCaption(notice);
  Label6->SetCaption(notice);
}

// Ends the program on the spot, also from inside a registration wait further
// down this thread: no closing events, nothing after the click runs.
void TForm1::SpeedButton5Click(TObject*) {
  Application->Terminate();
  std::fflush(nullptr);
  TerminateProcess(GetCurrentProcess(), 0);
}

// The connection tool of the medium, started and left alone.
void TForm1::PNGButton14Click(TObject*) { WinExec("Ostrivel\\connect\\Setup.exe", SW_SHOWNORMAL); }
