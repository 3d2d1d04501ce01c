// A one-line text field. Typed characters are appended up to MaxLength (0:
// no limit); Backspace removes the last one. Right-to-left fields show their
// text from the right edge.
#pragma once

#include "Controls.h"

class TEdit : public TWinControl {
 public:
  explicit TEdit(TComponent* owner);

  int MaxLength = 0;
  char PasswordChar = '\0';
  bool ReadOnly = false;
  TNotifyEvent OnChange;

  bool CanFocus() const override { return true; }
  void PaintControl(TCanvas& canvas) override;
  void KeyPress(char& key) override;

 protected:
  void TextChanged() override;
};
