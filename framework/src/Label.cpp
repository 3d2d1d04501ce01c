#include "Label.h"

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 65, 17);
  SetParentColor(true);
}

void TLabel::SetAlignment(TAlignment value) {
  alignment_ = value;
  Invalidate();
}

void TLabel::SetLayout(TTextLayout value) {
  layout_ = value;
  Invalidate();
}

void TLabel::SetWordWrap(bool value) {
  wordWrap_ = value;
  AdjustBounds();
  Invalidate();
}

void TLabel::SetTransparent(bool value) {
  transparent_ = value;
  Invalidate();
}

void TLabel::SetAutoSize(bool value) {
  autoSize_ = value;
  AdjustBounds();
}

void TLabel::TextChanged() {
  AdjustBounds();
  Invalidate();
}

void TLabel::FontChanged() {
  AdjustBounds();
  Invalidate();
}

void TLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TLabel::AdjustBounds() {
  // During loading the stored size stands until every property is known.
  if (!autoSize_ || IsLoading() || wordWrap_) return;
  TSize size = Canvas().TextExtent(Caption().empty() ? std::string(" ") : Caption());
  int left = Left();
  // A right-aligned label grows to the left, keeping its right edge.
  if ((alignment_ == taRightJustify) != UseRightToLeftAlignment()) {
    left = SaturatingSub(SaturatingAdd(Left(), Width()), size.cx);
  }
  SetBounds(left, Top(), size.cx, size.cy);
}

void TLabel::Paint() {
  TCanvas& canvas = Canvas();
  if (!transparent_) {
    canvas.Brush = TBrush{Color(), bsSolid};
    canvas.FillRect(ClientRect());
  }
  canvas.Brush.Style = bsClear;
  canvas.Font.Assign(Font());
  if (!Enabled()) canvas.Font.Color = clGrayText;
  canvas.DrawTextInRect(ClientRect(), Caption(), alignment_, layout_, wordWrap_, UseRightToLeftReading());
}
