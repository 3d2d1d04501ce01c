#include "Dialogs.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "Application.h"
#include "Button.h"
#include "Forms.h"
#include "Label.h"

namespace {

enum TIconKind { ikNone, ikError, ikWarning, ikInformation, ikQuestion };

// The box's icon, drawn rather than loaded: a red disc with a cross, a
// yellow triangle with "!", a blue disc with "i" or with "?".
class TMessageIcon : public TGraphicControl {
 public:
  TMessageIcon(TComponent* owner, TIconKind kind) : TGraphicControl(owner), kind_(kind) { SetBounds(0, 0, 32, 32); }

 protected:
  void Paint() override {
    TCanvas& c = Canvas();
    cairo_t* cr = c.Handle();
    (void)cr;
    c.Font.Assign(Font());
    c.Font.Name = "MS Sans Serif";
    c.Font.Height = -20;
    c.Font.Style = fsBold;
    c.Font.Color = clWhite;
    c.Brush.Style = bsSolid;
    std::string mark;
    switch (kind_) {
      case ikError:
        c.Brush.Color = clRed;
        mark = "X";
        break;
      case ikWarning:
        c.Brush.Color = clYellow;
        c.Font.Color = clBlack;
        mark = "!";
        break;
      case ikInformation:
        c.Brush.Color = clBlue;
        mark = "i";
        break;
      case ikQuestion:
        c.Brush.Color = clBlue;
        mark = "?";
        break;
      case ikNone: return;
    }
    if (kind_ == ikWarning) {
      for (int row = 0; row < 28; ++row) c.FillRect({16 - row / 2 - 1, 2 + row, 16 + row / 2 + 1, 3 + row});
    } else {
      for (int row = 0; row < 30; ++row) {
        int dy = row - 15;
        int half = 0;
        while ((half + 1) * (half + 1) + dy * dy <= 15 * 15) ++half;
        c.FillRect({16 - half, 1 + row, 16 + half, 2 + row});
      }
    }
    c.Brush.Style = bsClear;
    c.DrawTextInRect({0, 4, 32, 32}, mark, taCenter, tlCenter, false, false);
  }

 private:
  TIconKind kind_;
};

struct TButtonSpec {
  const char* Caption;
  TModalResult Result;
};

class TMessageForm : public TForm {
 public:
  TMessageForm(const std::string& text, const std::string& caption, TIconKind icon,
               const std::vector<TButtonSpec>& buttons, int defaultIndex, int cancelIndex, bool rightToLeft)
      : TForm(nullptr) {
    SetName("MessageForm");
    BorderStyle = bsDialog;
    BorderIcons = biSystemMenu;
    Position = poScreenCenter;
    KeyPreview = true;
    SetCaption(caption);
    if (rightToLeft) SetBiDiMode(bdRightToLeft);
    OnKeyPress = [this](TObject*, char& key) { PressHotkey(key); };

    const int margin = 12;
    int iconSpace = icon == ikNone ? 0 : 32 + margin;
    auto* label = new TLabel(this);
    label->SetName("Message");
    label->SetParent(this);
    label->SetCaption(text);
    int textWidth = std::min(label->Width(), 420);
    if (label->Width() > 420) {
      label->SetAutoSize(false);
      label->SetWordWrap(true);
      int lines = (label->Width() + 419) / 420 + 1;
      label->SetBounds(0, 0, 420, lines * label->Height());
    }
    const int buttonWidth = 75, buttonHeight = 25, gap = 8;
    int buttonsWidth = static_cast<int>(buttons.size()) * (buttonWidth + gap) - gap;
    int clientWidth = std::max(margin * 2 + iconSpace + textWidth, margin * 2 + buttonsWidth);
    int textHeight = std::max(label->Height(), icon == ikNone ? 0 : 32);
    int clientHeight = margin + textHeight + margin + buttonHeight + margin;
    SetBounds(0, 0, clientWidth, clientHeight);
    int textLeft = rightToLeft ? margin : margin + iconSpace;
    label->SetBounds(textLeft, margin, std::min(label->Width(), clientWidth - iconSpace - 2 * margin), label->Height());
    if (icon != ikNone) {
      auto* image = new TMessageIcon(this, icon);
      image->SetName("Image");
      image->SetParent(this);
      image->SetBounds(rightToLeft ? clientWidth - margin - 32 : margin, margin, 32, 32);
    }
    int x = (clientWidth - buttonsWidth) / 2;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
      auto* b = new TButton(this);
      b->SetParent(this);
      b->SetCaption(buttons[i].Caption);
      b->ModalResult = buttons[i].Result;
      b->Default = static_cast<int>(i) == defaultIndex;
      b->Cancel = static_cast<int>(i) == cancelIndex;
      b->TabOrder = static_cast<int>(i);
      int position = rightToLeft ? static_cast<int>(buttons.size() - 1 - i) : static_cast<int>(i);
      b->SetBounds(x + position * (buttonWidth + gap), margin + textHeight + margin, buttonWidth, buttonHeight);
      if (b->Default) SetActiveControl(b);
      buttons_.push_back(b);
    }
  }

 private:
  void PressHotkey(char& key) {
    for (TButton* b : buttons_) {
      char hot = HotkeyOf(b->Caption());
      if (hot && std::toupper(static_cast<unsigned char>(hot)) == std::toupper(static_cast<unsigned char>(key))) {
        key = 0;
        b->Click();
        return;
      }
    }
  }
  std::vector<TButton*> buttons_;
};

TModalResult RunBox(const std::string& text, const std::string& caption, TIconKind icon,
                    const std::vector<TButtonSpec>& buttons, int defaultIndex, int cancelIndex, bool rightToLeft) {
  std::unique_ptr<TMessageForm> form(
      new TMessageForm(text, caption, icon, buttons, defaultIndex, cancelIndex, rightToLeft));
  return form->ShowModal();
}

// The button that Escape and the close box answer with: Cancel, else No,
// else OK, as the original dialogs chose.
int CancelIndex(const std::vector<TButtonSpec>& buttons) {
  for (TModalResult wanted : {mrCancel, mrNo, mrOk}) {
    for (std::size_t i = 0; i < buttons.size(); ++i) {
      if (buttons[i].Result == wanted) return static_cast<int>(i);
    }
  }
  return -1;
}

}  // namespace

int MessageBox(const std::string& text, const std::string& caption, UINT flags) {
  std::vector<TButtonSpec> buttons;
  switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL: buttons = {{"OK", mrOk}, {"Cancel", mrCancel}}; break;
    case MB_ABORTRETRYIGNORE: buttons = {{"&Abort", mrAbort}, {"&Retry", mrRetry}, {"&Ignore", mrIgnore}}; break;
    case MB_YESNOCANCEL: buttons = {{"&Yes", mrYes}, {"&No", mrNo}, {"Cancel", mrCancel}}; break;
    case MB_YESNO: buttons = {{"&Yes", mrYes}, {"&No", mrNo}}; break;
    case MB_RETRYCANCEL: buttons = {{"&Retry", mrRetry}, {"Cancel", mrCancel}}; break;
    default: buttons = {{"OK", mrOk}}; break;
  }
  TIconKind icon = ikNone;
  switch (flags & MB_ICONMASK) {
    case MB_ICONHAND: icon = ikError; break;
    case MB_ICONQUESTION: icon = ikQuestion; break;
    case MB_ICONEXCLAMATION: icon = ikWarning; break;
    case MB_ICONASTERISK: icon = ikInformation; break;
    default: break;
  }
  int defaultIndex = static_cast<int>((flags & MB_DEFMASK) >> 8);
  if (defaultIndex >= static_cast<int>(buttons.size())) defaultIndex = 0;
  std::string title = caption.empty() ? std::string("Error") : caption;
  TModalResult result =
      RunBox(text, title, icon, buttons, defaultIndex, CancelIndex(buttons), (flags & (MB_RTLREADING | MB_RIGHT)) != 0);
  // Without a Cancel button the close box gives the cancel button's answer.
  if (result == mrCancel) {
    int cancel = CancelIndex(buttons);
    if (cancel >= 0) result = buttons[static_cast<std::size_t>(cancel)].Result;
  }
  return result;
}

TModalResult MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons set, int) {
  static const TButtonSpec all[] = {{"&Yes", mrYes},      {"&No", mrNo},       {"OK", mrOk},
                                    {"Cancel", mrCancel}, {"&Abort", mrAbort}, {"&Retry", mrRetry},
                                    {"&Ignore", mrIgnore}};
  std::vector<TButtonSpec> buttons;
  for (unsigned bit = 0; bit < std::size(all); ++bit) {
    if (set & (1u << bit)) buttons.push_back(all[bit]);
  }
  if (buttons.empty()) buttons.push_back({"OK", mrOk});
  static const char* titles[] = {"Warning", "Error", "Information", "Confirm", ""};
  static const TIconKind icons[] = {ikWarning, ikError, ikInformation, ikQuestion, ikNone};
  std::string title = type == mtCustom ? Application->Title : titles[type];
  TModalResult result = RunBox(text, title, icons[type], buttons, 0, CancelIndex(buttons), false);
  if (result == mrCancel) {
    int cancel = CancelIndex(buttons);
    if (cancel >= 0) result = buttons[static_cast<std::size_t>(cancel)].Result;
  }
  return result;
}

TModalResult MessageBoxWithButtons(const std::string& text, const std::string& caption, TMsgDlgType type,
                                   const std::vector<TBoxButton>& buttons) {
  static const TIconKind icons[] = {ikWarning, ikError, ikInformation, ikQuestion, ikNone};
  std::vector<TButtonSpec> specs;
  for (const TBoxButton& b : buttons) specs.push_back({b.Caption.c_str(), b.Result});
  if (specs.empty()) specs.push_back({"OK", mrOk});
  int cancel = CancelIndex(specs);
  if (cancel < 0) cancel = static_cast<int>(specs.size()) - 1;
  TModalResult result = RunBox(text, caption, icons[type], specs, 0, cancel, false);
  // The close box answers mrCancel whatever the buttons are.
  if (result == mrCancel && specs[static_cast<std::size_t>(cancel)].Result != mrCancel) {
    result = specs[static_cast<std::size_t>(cancel)].Result;
  }
  return result;
}

void ShowMessage(const std::string& text) { RunBox(text, Application->Title, ikNone, {{"OK", mrOk}}, 0, 0, false); }
