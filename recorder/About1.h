// The control's about box: its name, product lines, a link to the product
// page and a picture, built from its stored description each time it is
// shown. It keeps nothing between showings and touches no recorder state.
#pragma once

#include <string>

#include "Button.h"
#include "Forms.h"
#include "Image.h"
#include "Label.h"

class TQorvXAbout : public TForm {
 public:
  explicit TQorvXAbout(TComponent* owner);
  std::string DescriptionName() const override { return "TQORVXABOUT"; }

  TLabel* NameLbl = nullptr;
  TLabel* CopyrightLbl = nullptr;
  TLabel* Label1 = nullptr;
  TLabel* Label2 = nullptr;
  TLabel* Label3 = nullptr;
  TButton* OkBtn = nullptr;
  TImage* Image1 = nullptr;

  // Handlers bound by name from the description.
  void OkBtnClick(TObject* sender);
  void Label2Click(TObject* sender);
  void Label2MouseMove(TObject* sender, TShiftState shift, int x, int y);
  void Label2MouseLeave(TObject* sender);
};

// Shows a fresh about box modally and frees it when the loop ends, also when
// showing it fails (the failure then goes on to the caller).
void ShowAboutBox();
