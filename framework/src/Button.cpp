#include "Button.h"

#include "Forms.h"

TButton::TButton(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 75, 25);
  TabStop = true;
}

std::string StripHotkey(const std::string& caption) {
  std::string out;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    out += caption[i];
  }
  return out;
}

char HotkeyOf(const std::string& caption) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] != '&') return caption[i + 1];
    ++i;
  }
  return '\0';
}

void TButton::Click() {
  if (pressed_) {
    pressed_ = tracking_ = false;
    Repaint();
  }
  // The modal result goes to the form first, as the original did, so a
  // handler that closes the form differently still wins.
  if (TCustomForm* form = ParentForm(); form && ModalResult != mrNone) form->SetModalResult(ModalResult);
  TControl::Click();
}

void TButton::PaintControl(TCanvas& canvas) {
  TRect r = ClientRect();
  if (Focused() || Default) {
    canvas.Brush = TBrush{clBlack, bsSolid};
    canvas.FrameRect(r);
    r = {r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
  }
  TRect inner = DrawButtonFace(canvas, r, 1, pressed_);
  canvas.Font.Assign(Font());
  if (!Enabled()) canvas.Font.Color = clGrayText;
  canvas.Brush.Style = bsClear;
  int offset = pressed_ ? 1 : 0;
  TRect textRect{inner.Left + offset, inner.Top + offset, inner.Right + offset, inner.Bottom + offset};
  canvas.DrawTextInRect(textRect, StripHotkey(Caption()), taCenter, tlCenter, false, UseRightToLeftReading());
}

void TButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    pressed_ = tracking_ = true;
    Repaint();
  }
  TControl::MouseDown(button, shift, x, y);
}

void TButton::MouseMove(TShiftState shift, int x, int y) {
  if (tracking_) {
    bool inside = ClientRect().Contains({x, y});
    if (inside != pressed_) {
      pressed_ = inside;
      Repaint();
    }
  }
  TControl::MouseMove(shift, x, y);
}

void TButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft && tracking_) {
    tracking_ = false;
    if (pressed_) {
      pressed_ = false;
      Repaint();
    }
  }
  TControl::MouseUp(button, shift, x, y);
}

void TButton::KeyPress(char& key) {
  if (key == ' ') {
    key = 0;
    Click();
  }
}
