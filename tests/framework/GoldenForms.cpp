#include "GoldenForms.h"

#include "AnsiStrings.h"
#include "Bevel.h"
#include "ProgressBar.h"
#include "SpeedButton.h"

namespace qorv::test {

TSampleControls BuildControls(TForm& form) {
  form.SetBounds(0, 0, 240, 120);
  form.SetBiDiMode(bdRightToLeft);
  form.Font().SetName("Tahoma");
  form.Font().SetHeight(-11);
  auto* label = new TLabel(&form);
  label->SetParent(&form);
  label->SetAutoSize(false);
  label->SetBounds(8, 8, 224, 20);
  label->Font().SetName("Tahoma");
  label->Font().SetHeight(-13);
  label->SetCaption(Utf8ToAnsi("\u0646\u0635\u0628 \u0646\u0631\u0645 \u0627\u0641\u0632\u0627\u0631 Velmora"));
  auto* button = new TButton(&form);
  button->SetParent(&form);
  button->SetBounds(8, 36, 100, 27);
  button->SetCaption(Utf8ToAnsi("\u0627\u062a\u0635\u0627\u0644"));
  auto* speed = new TSpeedButton(&form);
  speed->SetParent(&form);
  speed->SetBounds(120, 36, 112, 27);
  speed->Font().SetName("B Titr");
  speed->Font().SetHeight(-12);
  speed->Font().SetStyle(fsBold);
  speed->SetCaption(Utf8ToAnsi("\u062e\u0631\u0648\u062c"));
  auto* bevel = new TBevel(&form);
  bevel->SetParent(&form);
  bevel->SetBounds(8, 70, 224, 20);
  auto* bar = new TProgressBar(&form);
  bar->SetParent(&form);
  bar->SetBounds(8, 96, 224, 17);
  bar->Smooth = true;
  bar->SetPosition(40);
  return {label, button};
}

TLabel* BuildTwoLineLabel(TForm& form) {
  form.SetBounds(0, 0, 427, 60);
  form.SetBiDiMode(bdRightToLeft);
  form.SetColor(static_cast<TColor>(0x503010));
  form.Font().SetName("Tahoma");
  form.Font().SetHeight(-11);
  auto* label = new TLabel(&form);
  label->SetParent(&form);
  label->SetAutoSize(false);
  label->SetWordWrap(true);
  label->SetBounds(8, 8, 411, 44);
  label->SetTransparent(true);
  label->Font().SetName("Tahoma");
  label->Font().SetHeight(-13);
  label->Font().SetColor(clWhite);
  label->SetCaption(
      Utf8ToAnsi("\u0648\u064a\u0646\u062f\u0648\u0632 \u0634\u0645\u0627 64 \u0628\u064a\u062a \u0645\u064a "
                 "\u0628\u0627\u0634\u062f \u062f\u0631 \u0635\u0648\u0631\u062a \u0639\u062f\u0645 "
                 "\u0645\u063a\u0627\u064a\u0631\u062a "
                 "\u0631\u0648\u064a \u062f\u06a9\u0645\u0647 \u0646\u0635\u0628  \u0646\u0631\u0645 "
                 "\u0627\u0641\u0632\u0627\u0631 "
                 "\u06a9\u0644\u064a\u06a9 \u06a9\u0646\u064a\u062f \u0648 \u062f\u0631 \u063a\u064a\u0631 "
                 "\u0627\u064a\u0646\u0635\u0648\u0631\u062a "
                 "\u0628\u0627 \u067e\u0634\u062a\u064a\u0628\u0627\u0646\u064a \u062a\u0645\u0627\u0633 "
                 "\u0628\u06af\u064a\u0631\u064a\u062f"));
  return label;
}

}  // namespace qorv::test
