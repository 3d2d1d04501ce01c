// A picture on a form: drawn at its size or stretched over the control, with
// its own transparency (alpha, palette table, or a key colour for bitmaps
// when Transparent is set).
#pragma once

#include "Controls.h"
#include "Picture.h"

class TImage : public TGraphicControl {
 public:
  explicit TImage(TComponent* owner);

  TPicture& Picture() { return picture_; }
  bool Stretch() const { return stretch_; }
  void SetStretch(bool value);
  bool Center() const { return center_; }
  void SetCenter(bool value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);

 protected:
  void Paint() override;

 private:
  TPicture picture_;
  bool stretch_ = false;
  bool center_ = false;
  bool transparent_ = false;
};
