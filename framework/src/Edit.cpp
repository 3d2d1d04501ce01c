#include "Edit.h"

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 121, 21);
  SetColor(clWindow);
  TabStop = true;
}

void TEdit::TextChanged() {
  Invalidate();
  if (OnChange) OnChange(this);
}

void TEdit::KeyPress(char& key) {
  TWinControl::KeyPress(key);
  if (ReadOnly || key == 0) return;
  std::string text = Text();
  if (key == '\b') {
    if (text.empty()) return;
    text.pop_back();
  } else if (static_cast<unsigned char>(key) < 0x20) {
    return;
  } else {
    if (MaxLength > 0 && static_cast<int>(text.size()) >= MaxLength) return;
    text += key;
  }
  SetText(text);
}

void TEdit::PaintControl(TCanvas& canvas) {
  TRect r = ClientRect();
  canvas.Frame3D(r, clBtnShadow, clBtnHighlight, 1);
  canvas.Frame3D(r, cl3DDkShadow, cl3DLight, 1);
  canvas.Brush = TBrush{Enabled() ? Color() : clBtnFace, bsSolid};
  canvas.FillRect(r);
  std::string shown = PasswordChar ? std::string(Text().size(), PasswordChar) : Text();
  canvas.Font.Assign(Font());
  if (!Enabled()) canvas.Font.Color = clGrayText;
  canvas.Brush.Style = bsClear;
  TRect textRect{r.Left + 2, r.Top, r.Right - 2, r.Bottom};
  bool rtl = UseRightToLeftReading();
  canvas.DrawTextInRect(textRect, shown, taLeftJustify, tlCenter, false, rtl);
  if (Focused()) {
    // The caret after the last character typed.
    int width = shown.empty() ? 0 : canvas.TextWidth(shown);
    int x = rtl ? textRect.Right - width - 1 : textRect.Left + width;
    canvas.Brush = TBrush{clWindowText, bsSolid};
    canvas.FillRect({x, r.Top + 2, x + 1, r.Bottom - 2});
  }
}
