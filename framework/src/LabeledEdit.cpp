#include "LabeledEdit.h"

TLabeledEdit::TLabeledEdit(TComponent* owner) : TEdit(owner) {
  // The label belongs to the edit, not to the form: it has no name of its
  // own in the description and goes with the edit.
  label_ = new TLabel(this);
  label_->SetName("SubLabel");
  label_->SetAutoSize(true);
}

TLabeledEdit::~TLabeledEdit() = default;

void TLabeledEdit::SetLabelPosition(TLabelPosition value) {
  position_ = value;
  PlaceLabel();
}

void TLabeledEdit::SetLabelSpacing(int value) {
  spacing_ = value;
  PlaceLabel();
}

void TLabeledEdit::SetBounds(int left, int top, int width, int height) {
  TEdit::SetBounds(left, top, width, height);
  PlaceLabel();
}

void TLabeledEdit::ParentChanged() {
  TEdit::ParentChanged();
  if (label_ && label_->Parent() != Parent()) label_->SetParent(Parent());
  PlaceLabel();
}

void TLabeledEdit::VisibleChanged() {
  TEdit::VisibleChanged();
  if (label_) label_->SetVisible(Visible());
}

void TLabeledEdit::PlaceLabel() {
  if (!label_) return;
  int lw = label_->Width(), lh = label_->Height();
  switch (position_) {
    case lpAbove: label_->SetBounds(Left(), Top() - lh - spacing_, lw, lh); break;
    case lpBelow: label_->SetBounds(Left(), Top() + Height() + spacing_, lw, lh); break;
    case lpLeft: label_->SetBounds(Left() - lw - spacing_, Top() + (Height() - lh) / 2, lw, lh); break;
    case lpRight: label_->SetBounds(Left() + Width() + spacing_, Top() + (Height() - lh) / 2, lw, lh); break;
  }
}
