#include "ProgressBar.h"

#include <algorithm>

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 150, 16); }

void TProgressBar::SetMin(int value) {
  min_ = value;
  if (max_ < min_) max_ = min_;
  SetPosition(position_);
  Invalidate();
}

void TProgressBar::SetMax(int value) {
  max_ = value;
  if (min_ > max_) min_ = max_;
  SetPosition(position_);
  Invalidate();
}

void TProgressBar::SetPosition(int value) {
  value = std::clamp(value, min_, max_);
  if (value == position_) return;
  position_ = value;
  Invalidate();
}

void TProgressBar::PaintControl(TCanvas& canvas) {
  TRect r = ClientRect();
  canvas.Frame3D(r, clBtnShadow, clBtnHighlight, 1);
  canvas.Brush = TBrush{clBtnFace, bsSolid};
  canvas.FillRect(r);
  if (max_ <= min_ || r.IsEmpty()) return;
  int filled = static_cast<int>(static_cast<long long>(r.Width()) * (position_ - min_) / (max_ - min_));
  canvas.Brush = TBrush{clHighlight, bsSolid};
  bool rtl = UseRightToLeftAlignment();
  if (Smooth) {
    canvas.FillRect(rtl ? TRect{r.Right - filled, r.Top, r.Right, r.Bottom}
                        : TRect{r.Left, r.Top, r.Left + filled, r.Bottom});
    return;
  }
  // Blocks with gaps, as the classic bar draws them.
  int block = std::max(2, r.Height() * 2 / 3);
  for (int x = 0; x + block <= filled + block - 1 && x < filled; x += block + 2) {
    int w = std::min(block, filled - x);
    canvas.FillRect(rtl ? TRect{r.Right - x - w, r.Top + 1, r.Right - x, r.Bottom - 1}
                        : TRect{r.Left + x, r.Top + 1, r.Left + x + w, r.Bottom - 1});
  }
}
