// The sample forms whose look is kept as golden pictures: built the same way
// for the headless comparison and for the one on the X display.
#pragma once

#include "Button.h"
#include "Forms.h"
#include "Label.h"

namespace qorv::test {

struct TSampleControls {
  TLabel* Label = nullptr;
  TButton* Button = nullptr;
};

// A right-to-left form with a Persian label, a push button, a "B Titr" speed
// button, a bevel and a progress bar (golden controls.png).
TSampleControls BuildControls(TForm& form);
// The installer's notice: two lines of Persian in a 411 x 44 label, white
// "Tahoma" -13 on a dark ground (golden two-line-label.png).
TLabel* BuildTwoLineLabel(TForm& form);

}  // namespace qorv::test
