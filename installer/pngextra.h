// The image button: a windowless button that paints a PNG picture and a
// caption, choosing the picture by its state (normal, hover, pressed,
// disabled), in one of four picture-and-caption layouts and three frame
// styles.
#pragma once

#include <cstdint>
#include <string>

#include "Controls.h"
#include "PngImage.h"

// Where the caption goes relative to the picture.
enum TPNGButtonLayout : std::uint8_t { pbsImageAbove, pbsImageBellow, pbsImageLeft, pbsImageRight };
enum TPNGButtonStyle : std::uint8_t { pbsDefault, pbsFlat, pbsNoFrame };
// The press state; hovering is tracked beside it.
enum TPNGButtonState : std::uint8_t { pbsStateUp, pbsStateDown, pbsStateDisabled };

// Makes destination the disabled look of source: a copy with an alpha
// channel (a palette picture gets a transparency table of 255 for every index
// its bit depth allows instead, and stays fully opaque), every alpha value
// then divided by 3. Raises EInvalidGraphic when source is empty: a picture
// without a header has no colour type to give an alpha channel to.
void MakeDisabledImage(const TPNGObject& source, TPNGObject& destination);

class TPNGButton : public TGraphicControl {
 public:
  explicit TPNGButton(TComponent* owner);
  ~TPNGButton() override;

  TPNGButtonLayout ButtonLayout() const { return buttonLayout_; }
  void SetButtonLayout(TPNGButtonLayout value);
  TPNGButtonStyle ButtonStyle() const { return buttonStyle_; }
  void SetButtonStyle(TPNGButtonStyle value);
  // The button's own caption; the control's inherited one is not drawn.
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);

  // The pictures, owned by the button. Changing one in place (as loading a
  // form description does) neither repaints nor rebuilds the disabled
  // picture; the setters copy the picture given and repaint.
  TPNGObject& ImageNormal() { return imageNormal_; }
  TPNGObject& ImageDown() { return imageDown_; }
  TPNGObject& ImageOver() { return imageOver_; }
  const TPNGObject& ImageDisabled() const { return imageDisabled_; }
  // Also rebuilds the disabled picture; raises EInvalidGraphic, without
  // repainting, for an empty picture (which is copied all the same).
  void SetImageNormal(const TPNGObject& value);
  void SetImageDown(const TPNGObject& value);
  void SetImageOver(const TPNGObject& value);

  TPNGButtonState ButtonState() const { return state_; }
  // True while the mouse is taken to be over the button.
  bool MouseOver() const { return hover_; }

  // The control's OnMouseEnter fires on entering; this one on leaving. Both
  // only while the button is enabled.
  TNotifyEvent OnMouseExit;

  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void Click() override;
  void MouseEnter() override;
  void MouseLeave() override;

 protected:
  void Paint() override;
  void EnabledChanged() override;

 private:
  void SetButtonState(TPNGButtonState value);
  const TPNGObject& ChosenPicture(bool pressed) const;
  void DrawFrame(TCanvas& canvas, TRect& r, bool pressed) const;

  TPNGButtonStyle buttonStyle_ = pbsDefault;
  bool hover_ = false;
  std::string caption_;
  TPNGButtonLayout buttonLayout_ = pbsImageAbove;
  TPNGButtonState state_ = pbsStateUp;
  TPNGObject imageDown_;
  TPNGObject imageNormal_;
  TPNGObject imageDisabled_;
  TPNGObject imageOver_;
};

// Makes TPNGButton known to the form loader, with its stored properties
// (ButtonLayout, ButtonStyle, Caption, ImageNormal.Data, ImageDown.Data,
// ImageOver.Data, OnMouseExit beside the control's). Call before loading a
// form that names the class; calling again does nothing.
void RegisterPNGButtonClass();
