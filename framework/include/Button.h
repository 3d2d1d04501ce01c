// Push buttons: Default answers Enter, Cancel answers Escape, and a click sets
// the form's modal result to ModalResult.
#pragma once

#include "Controls.h"

class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* owner);

  bool Default = false;
  bool Cancel = false;
  TModalResult ModalResult = mrNone;

  bool CanFocus() const override { return true; }
  bool Pressed() const { return pressed_; }
  void Click() override;

  void PaintControl(TCanvas& canvas) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void KeyPress(char& key) override;

 private:
  bool pressed_ = false;
  bool tracking_ = false;
};

// The caption as shown: "&Yes" marks Y as the hot key and shows "Yes"; "&&"
// shows one ampersand.
std::string StripHotkey(const std::string& caption);
// The hot key character of a caption, or '\0'.
char HotkeyOf(const std::string& caption);

// A button that may show a glyph; the forms here use it without one.
class TBitBtn : public TButton {
 public:
  using TButton::TButton;
};
