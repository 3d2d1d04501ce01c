// An edit field with a label of its own beside it (LabelPosition); the label
// lies on the edit's parent and follows the edit when it moves.
#pragma once

#include "Edit.h"
#include "Label.h"

enum TLabelPosition { lpAbove, lpBelow, lpLeft, lpRight };

class TLabeledEdit : public TEdit {
 public:
  explicit TLabeledEdit(TComponent* owner);
  ~TLabeledEdit() override;

  TLabel& EditLabel() { return *label_; }
  TLabelPosition LabelPosition() const { return position_; }
  void SetLabelPosition(TLabelPosition value);
  int LabelSpacing() const { return spacing_; }
  void SetLabelSpacing(int value);
  void SetBounds(int left, int top, int width, int height) override;
  void ParentChanged() override;

 protected:
  void VisibleChanged() override;

 private:
  void PlaceLabel();
  TLabel* label_;
  TLabelPosition position_ = lpAbove;
  int spacing_ = 3;
};
