#include "Bevel.h"

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 50, 50); }

void TBevel::Paint() {
  TCanvas& canvas = Canvas();
  TColor dark = Style == bsLowered ? clBtnShadow : clBtnHighlight;
  TColor light = Style == bsLowered ? clBtnHighlight : clBtnShadow;
  TRect r = ClientRect();
  auto line = [&](TColor color, TRect area) {
    canvas.Brush = TBrush{color, bsSolid};
    canvas.FillRect(area);
  };
  switch (Shape) {
    case bsBox: canvas.Frame3D(r, dark, light, 1); break;
    case bsFrame: {
      TRect outer{r.Left, r.Top, r.Right - 1, r.Bottom - 1};
      TRect inner{r.Left + 1, r.Top + 1, r.Right, r.Bottom};
      canvas.Brush = TBrush{light, bsSolid};
      canvas.FrameRect(inner);
      canvas.Brush = TBrush{dark, bsSolid};
      canvas.FrameRect(outer);
      break;
    }
    case bsTopLine:
      line(dark, {0, 0, Width(), 1});
      line(light, {0, 1, Width(), 2});
      break;
    case bsBottomLine:
      line(dark, {0, Height() - 2, Width(), Height() - 1});
      line(light, {0, Height() - 1, Width(), Height()});
      break;
    case bsLeftLine:
      line(dark, {0, 0, 1, Height()});
      line(light, {1, 0, 2, Height()});
      break;
    case bsRightLine:
      line(dark, {Width() - 2, 0, Width() - 1, Height()});
      line(light, {Width() - 1, 0, Width(), Height()});
      break;
    case bsSpacer: break;
  }
}
