#include "SpeedButton.h"

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 23, 22);
  glyph_.OnChange = [this] {
    if (glyph_.Graphic()) glyph_.Graphic()->SetTransparent(true);
    Invalidate();
  };
}

void TSpeedButton::SetFlat(bool value) {
  flat_ = value;
  Invalidate();
}

void TSpeedButton::SetLayout(TButtonLayout value) {
  layout_ = value;
  Invalidate();
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft && Enabled()) {
    pressed_ = tracking_ = true;
    Repaint();
  }
  TGraphicControl::MouseDown(button, shift, x, y);
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y) {
  if (tracking_) {
    bool inside = ClientRect().Contains({x, y});
    if (inside != pressed_) {
      pressed_ = inside;
      Repaint();
    }
  }
  TGraphicControl::MouseMove(shift, x, y);
}

void TSpeedButton::Click() {
  if (pressed_) {
    pressed_ = tracking_ = false;
    Repaint();
  }
  TGraphicControl::Click();
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft && tracking_) {
    tracking_ = false;
    pressed_ = false;
    Repaint();
  }
  TGraphicControl::MouseUp(button, shift, x, y);
}

void TSpeedButton::MouseEnter() {
  if (Enabled()) {
    hovered_ = true;
    if (flat_) Repaint();
  }
  TGraphicControl::MouseEnter();
}

void TSpeedButton::MouseLeave() {
  if (hovered_) {
    hovered_ = false;
    if (flat_) Repaint();
  }
  TGraphicControl::MouseLeave();
}

void TSpeedButton::Paint() {
  TCanvas& canvas = Canvas();
  TRect r = ClientRect();
  if (!flat_) {
    r = DrawButtonFace(canvas, r, 1, pressed_);
  } else if (pressed_) {
    canvas.Frame3D(r, clBtnShadow, clBtnHighlight, 1);
  } else if (hovered_ && Enabled()) {
    canvas.Frame3D(r, clBtnHighlight, clBtnShadow, 1);
  }
  int offset = pressed_ ? 1 : 0;
  TGraphic* glyph = glyph_.Graphic();
  int gw = glyph ? glyph->Width() / std::max(1, NumGlyphs) : 0;
  int gh = glyph ? glyph->Height() : 0;
  canvas.Font.Assign(Font());
  if (!Enabled()) canvas.Font.Color = clGrayText;
  TSize text = Caption().empty() ? TSize{} : canvas.TextExtent(Caption());
  int spacing = (gw > 0 && text.cx > 0) ? Spacing : 0;
  int gx, gy, tx, ty;
  if (layout_ == blGlyphTop || layout_ == blGlyphBottom) {
    int total = gh + spacing + text.cy;
    int top = (Height() - total) / 2;
    gx = (Width() - gw) / 2;
    tx = (Width() - text.cx) / 2;
    gy = layout_ == blGlyphTop ? top : top + text.cy + spacing;
    ty = layout_ == blGlyphTop ? top + gh + spacing : top;
  } else {
    int total = gw + spacing + text.cx;
    int left = (Width() - total) / 2;
    gy = (Height() - gh) / 2;
    ty = (Height() - text.cy) / 2;
    gx = layout_ == blGlyphLeft ? left : left + text.cx + spacing;
    tx = layout_ == blGlyphLeft ? left + gw + spacing : left;
  }
  if (glyph && gw > 0) {
    canvas.Save(Bounds(gx + offset, gy + offset, gw, gh));
    canvas.Draw(0, 0, *glyph);
    canvas.Restore();
  }
  if (text.cx > 0) {
    canvas.Brush.Style = bsClear;
    canvas.TextRect(r, tx + offset, ty + offset, Caption());
  }
}
