#include "About1.h"

#include <memory>

#include "processthreadsapi.h"
#include "winuser.h"

namespace {

// The link's colours in the description's 0x00BBGGRR encoding.
constexpr TColor kLinkHoverColor = 0xFF0000;
constexpr TColor kLinkColor = 0x000000;

}  // namespace

TQorvXAbout::TQorvXAbout(TComponent* owner) : TForm(owner) {
  RegisterField("NameLbl", NameLbl);
  RegisterField("CopyrightLbl", CopyrightLbl);
  RegisterField("Label1", Label1);
  RegisterField("Label2", Label2);
  RegisterField("Label3", Label3);
  RegisterField("OkBtn", OkBtn);
  RegisterField("Image1", Image1);
  RegisterHandler("OkBtnClick", &TQorvXAbout::OkBtnClick);
  RegisterHandler("Label2Click", &TQorvXAbout::Label2Click);
  RegisterHandler("Label2MouseMove", &TQorvXAbout::Label2MouseMove);
  RegisterHandler("Label2MouseLeave", &TQorvXAbout::Label2MouseLeave);
}

// The button's own modal result (mrOk) is overridden: closing a modal form
// ends its loop with mrCancel. Nobody looks at the result.
void TQorvXAbout::OkBtnClick(TObject*) { Close(); }

// "Explorer" is the platform's way to the desktop's opener, so the address
// opens in the user's browser. When it cannot start, nothing is shown: the
// dialog stays as it was.
void TQorvXAbout::Label2Click(TObject*) {
  const std::string command = "Explorer http://" + Label2->Caption();
  WinExec(command.c_str(), SW_SHOWNORMAL);
}

void TQorvXAbout::Label2MouseMove(TObject*, TShiftState, int, int) { Label2->Font().SetColor(kLinkHoverColor); }

void TQorvXAbout::Label2MouseLeave(TObject*) { Label2->Font().SetColor(kLinkColor); }

void ShowAboutBox() {
  // NewForm frees the form itself when filling it fails.
  std::unique_ptr<TQorvXAbout> box(NewForm<TQorvXAbout>(nullptr));
  box->ShowModal();
}
