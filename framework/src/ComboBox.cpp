#include "ComboBox.h"

#include <algorithm>

#include "Forms.h"

TComboBox::TComboBox(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 145, 21);
  SetColor(clWindow);
  TabStop = true;
}

void TComboBox::SetItemIndex(int index) {
  if (index < -1 || index >= static_cast<int>(Items.size())) return;
  itemIndex_ = index;
  Invalidate();
}

std::string TComboBox::Text() const {
  if (itemIndex_ < 0 || itemIndex_ >= static_cast<int>(Items.size())) return {};
  return Items[static_cast<std::size_t>(itemIndex_)];
}

void TComboBox::Choose(int index) {
  if (index == itemIndex_ || index < 0 || index >= static_cast<int>(Items.size())) return;
  itemIndex_ = index;
  Invalidate();
  if (OnChange) OnChange(this);
}

void TComboBox::SetDroppedDown(bool value) {
  TCustomForm* form = ParentForm();
  if (value == dropped_ || !form) return;
  if (!value) {
    form->ClosePopup();
    return;
  }
  dropped_ = true;
  int rows = std::clamp(static_cast<int>(Items.size()), 1, DropDownCount);
  TPoint origin = ClientToForm({0, Height()});
  form->OpenPopup(this, Bounds(origin.X, origin.Y, Width(), rows * (ItemHeight + 2) + 2));
}

void TComboBox::PopupClosed() {
  dropped_ = false;
  Invalidate();
}

void TComboBox::PaintControl(TCanvas& canvas) {
  TRect r = ClientRect();
  canvas.Frame3D(r, clBtnShadow, clBtnHighlight, 1);
  canvas.Frame3D(r, cl3DDkShadow, cl3DLight, 1);
  int arrowWidth = std::min(16, r.Width());
  // Right-to-left boxes keep their button on the left, as mirrored windows do.
  bool mirrored = UseRightToLeftAlignment();
  TRect arrow = mirrored ? TRect{r.Left, r.Top, r.Left + arrowWidth, r.Bottom}
                         : TRect{r.Right - arrowWidth, r.Top, r.Right, r.Bottom};
  TRect text = mirrored ? TRect{arrow.Right, r.Top, r.Right, r.Bottom} : TRect{r.Left, r.Top, arrow.Left, r.Bottom};
  canvas.Brush = TBrush{Focused() ? clHighlight : Color(), bsSolid};
  canvas.FillRect(text);
  canvas.Font.Assign(Font());
  if (Focused()) canvas.Font.Color = clHighlightText;
  if (!Enabled()) canvas.Font.Color = clGrayText;
  canvas.Brush.Style = bsClear;
  canvas.DrawTextInRect({text.Left + 2, text.Top, text.Right - 2, text.Bottom}, Text(), taLeftJustify, tlCenter, false,
                        UseRightToLeftReading());
  DrawButtonFace(canvas, arrow, 1, dropped_);
  // A small triangle pointing down.
  canvas.Brush = TBrush{Enabled() ? clBtnText : clGrayText, bsSolid};
  int cx = arrow.Left + arrow.Width() / 2, cy = arrow.Top + arrow.Height() / 2 - 1;
  for (int i = 0; i < 4; ++i) canvas.FillRect({cx - 3 + i, cy + i, cx + 4 - i, cy + i + 1});
}

void TComboBox::PaintPopup(TCanvas& canvas, const TRect& area) {
  canvas.Brush = TBrush{clWindow, bsSolid};
  canvas.FillRect(area);
  canvas.Brush = TBrush{clBlack, bsSolid};
  canvas.FrameRect(area);
  canvas.Font.Assign(Font());
  int rowHeight = ItemHeight + 2;
  for (std::size_t i = 0; i < Items.size() && static_cast<int>(i) < DropDownCount; ++i) {
    TRect row{1, 1 + static_cast<int>(i) * rowHeight, area.Right - 1, 1 + static_cast<int>(i + 1) * rowHeight};
    bool chosen = static_cast<int>(i) == itemIndex_;
    canvas.Brush = TBrush{chosen ? clHighlight : clWindow, bsSolid};
    canvas.FillRect(row);
    canvas.Font.Color = chosen ? clHighlightText : Font().Color;
    canvas.Brush.Style = bsClear;
    canvas.DrawTextInRect({row.Left + 2, row.Top, row.Right - 2, row.Bottom}, Items[i], taLeftJustify, tlCenter, false,
                          UseRightToLeftReading());
  }
}

void TComboBox::PopupClick(TPoint p) {
  int index = (p.Y - 1) / (ItemHeight + 2);
  auto alive = AliveToken();
  SetDroppedDown(false);
  if (*alive) Choose(index);
}

void TComboBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft && Enabled()) SetDroppedDown(!dropped_);
  TWinControl::MouseDown(button, shift, x, y);
}

void TComboBox::KeyDown(unsigned short& key, TShiftState shift) {
  if (key == VK_DOWN) Choose(itemIndex_ + 1);
  if (key == VK_UP && itemIndex_ > 0) Choose(itemIndex_ - 1);
  TWinControl::KeyDown(key, shift);
}
