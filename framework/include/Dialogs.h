// Message boxes: the Windows-style box (flags MB_*, answers ID*), the
// framework's message dialog with typed icons and button sets (the warning
// box is MessageDlg(text, mtWarning, mbYes | mbNo, 0): title "Warning",
// buttons "&Yes" and "&No", Yes the default, Enter Yes, Escape No), and
// ShowMessage. All are modal forms; see SetModalResponder for how tests and
// display-less runs answer them.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "Controls.h"

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
using TMsgDlgButtons = unsigned;
constexpr TMsgDlgButtons mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8, mbAbort = 16, mbRetry = 32, mbIgnore = 64;

// Returns IDOK, IDCANCEL, IDYES ...; an empty caption shows "Error" as
// the original does.
int MessageBox(const std::string& text, const std::string& caption, UINT flags);
TModalResult MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext);
void ShowMessage(const std::string& text);

// A box with buttons of the caller's own, in order, the first the default;
// Escape and the close box answer as the mrCancel button, else mrNo, else
// mrOk, else the last button.
// For the system's own questions (the shell's replace question).
struct TBoxButton {
  std::string Caption;
  TModalResult Result;
};
TModalResult MessageBoxWithButtons(const std::string& text, const std::string& caption, TMsgDlgType type,
                                   const std::vector<TBoxButton>& buttons);
