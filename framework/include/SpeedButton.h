// A windowless button with an optional glyph (its bottom-left colour left
// out) and caption; flat buttons show a raised frame only while hovered.
#pragma once

#include "Controls.h"
#include "Picture.h"

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

class TSpeedButton : public TGraphicControl {
 public:
  explicit TSpeedButton(TComponent* owner);

  TPicture& Glyph() { return glyph_; }
  bool Flat() const { return flat_; }
  void SetFlat(bool value);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout value);
  int Margin = -1;
  int Spacing = 4;
  int NumGlyphs = 1;
  bool Transparent = true;
  bool Hovered() const { return hovered_; }
  bool Pressed() const { return pressed_; }

  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseEnter() override;
  void MouseLeave() override;
  void Click() override;

 protected:
  void Paint() override;

 private:
  TPicture glyph_;
  bool flat_ = false;
  TButtonLayout layout_ = blGlyphLeft;
  bool hovered_ = false;
  bool pressed_ = false;
  bool tracking_ = false;
};
