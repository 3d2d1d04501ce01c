#include "ProgressBar.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

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

void TProgressBar::StepBy(int delta) { SetPosition(SaturateToInt(static_cast<std::int64_t>(position_) + delta)); }

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
  int filled = FilledWidth(r.Width());
  canvas.Brush = TBrush{clHighlight, bsSolid};
  bool rtl = UseRightToLeftAlignment();
  if (Smooth) {
    canvas.FillRect(rtl ? TRect{r.Right - filled, r.Top, r.Right, r.Bottom}
                        : TRect{r.Left, r.Top, r.Left + filled, r.Bottom});
    return;
  }
  // Blocks with gaps, as the classic bar draws them; only the blocks inside
  // the clip are drawn, so a bar far wider than its form costs no more than
  // the part that shows.
  std::int64_t pitch = std::max(2, r.Height() * 2 / 3) + 2;
  int block = static_cast<int>(pitch - 2);
  double clipLeft, clipTop, clipRight, clipBottom;
  cairo_clip_extents(canvas.Handle(), &clipLeft, &clipTop, &clipRight, &clipBottom);
  // Offsets from the bar's starting edge that the clip leaves visible.
  double nearest = rtl ? r.Right - clipRight : clipLeft - r.Left;
  double farthest = rtl ? r.Right - clipLeft : clipRight - r.Left;
  std::int64_t first = std::max<std::int64_t>(0, static_cast<std::int64_t>(std::floor(nearest / pitch)));
  auto end = static_cast<std::int64_t>(std::min<double>(filled, std::ceil(farthest)));
  for (std::int64_t x = first * pitch; x < end; x += pitch) {
    int at = static_cast<int>(x);
    int w = static_cast<int>(std::min<std::int64_t>(block, filled - x));
    canvas.FillRect(rtl ? TRect{r.Right - at - w, r.Top + 1, r.Right - at, r.Bottom - 1}
                        : TRect{r.Left + at, r.Top + 1, r.Left + at + w, r.Bottom - 1});
  }
}

int TProgressBar::FilledWidth(int width) const {
  // Min and Max may span the whole int range, so the differences need 64
  // bits; their product with a width below 2^31 still fits.
  std::int64_t done = static_cast<std::int64_t>(position_) - min_;
  std::int64_t range = static_cast<std::int64_t>(max_) - min_;
  return static_cast<int>(width * done / range);
}
