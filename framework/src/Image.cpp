#include "Image.h"

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 105, 105);
  picture_.OnChange = [this] {
    if (picture_.Graphic() && transparent_) picture_.Graphic()->SetTransparent(true);
    Invalidate();
  };
}

void TImage::SetStretch(bool value) {
  stretch_ = value;
  Invalidate();
}

void TImage::SetCenter(bool value) {
  center_ = value;
  Invalidate();
}

void TImage::SetTransparent(bool value) {
  transparent_ = value;
  if (picture_.Graphic()) picture_.Graphic()->SetTransparent(value);
  Invalidate();
}

void TImage::Paint() {
  TGraphic* graphic = picture_.Graphic();
  if (!graphic || graphic->Empty()) return;
  if (stretch_) {
    Canvas().StretchDraw(ClientRect(), *graphic);
    return;
  }
  int x = center_ ? (Width() - graphic->Width()) / 2 : 0;
  int y = center_ ? (Height() - graphic->Height()) / 2 : 0;
  Canvas().Draw(x, y, *graphic);
}
