#include "pngextra.h"

#include <mutex>

#include "FormLoader.h"

namespace {

// Top-left corners of the picture and the caption inside the button.
struct TPlacement {
  int ImageX, ImageY, TextX, TextY;
};

// Both are centred, then laid out along the layout's axis. The halvings
// truncate toward zero, so a picture wider than the button starts at
// -(excess / 2) rounded toward zero. The pressed offset moves everything
// down, and right as well only in the above and below layouts: the left and
// right layouts recompute the horizontal positions without it.
TPlacement Place(TPNGButtonLayout layout, int width, int height, int imageWidth, int imageHeight, int textWidth,
                 int textHeight, int offset) {
  TPlacement p{(width - imageWidth) / 2 + offset, (height - imageHeight) / 2, (width - textWidth) / 2 + offset,
               (height - textHeight) / 2};
  switch (layout) {
    case pbsImageAbove:
      p.ImageY = (height - imageHeight - textHeight) / 2;
      p.TextY = p.ImageY + imageHeight;
      break;
    case pbsImageBellow:
      p.TextY = (height - imageHeight - textHeight) / 2;
      p.ImageY = p.TextY + textHeight;
      break;
    case pbsImageLeft:
      p.ImageX = (width - imageWidth - textWidth) / 2;
      p.TextX = p.ImageX + imageWidth + 5;
      break;
    case pbsImageRight:
      p.TextX = (width - imageWidth - textWidth) / 2;
      p.ImageX = p.TextX + textWidth + 5;
      break;
  }
  p.ImageY += offset;
  p.TextY += offset;
  return p;
}

}  // namespace

void MakeDisabledImage(const TPNGObject& source, TPNGObject& destination) {
  destination.Assign(source);
  destination.CreateAlpha();
  // A palette picture has no alpha channel to dim: its new transparency
  // table only makes it fully opaque.
  if (destination.ColorType() == COLOR_PALETTE) return;
  for (int y = 0; y < source.Height(); ++y) {
    std::uint8_t* alpha = destination.AlphaScanline(y);
    for (int x = 0; x < source.Width(); ++x) alpha[x] = static_cast<std::uint8_t>(alpha[x] / 3);
  }
  destination.AlphaChanged();
}

TPNGButton::TPNGButton(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 23, 23); }

TPNGButton::~TPNGButton() = default;

void TPNGButton::SetButtonLayout(TPNGButtonLayout value) {
  buttonLayout_ = value;
  Repaint();
}

void TPNGButton::SetButtonStyle(TPNGButtonStyle value) {
  buttonStyle_ = value;
  Repaint();
}

void TPNGButton::SetCaption(const std::string& value) {
  caption_ = value;
  Repaint();
}

void TPNGButton::SetImageNormal(const TPNGObject& value) {
  imageNormal_.Assign(value);
  MakeDisabledImage(imageNormal_, imageDisabled_);
  Repaint();
}

void TPNGButton::SetImageDown(const TPNGObject& value) {
  imageDown_.Assign(value);
  Repaint();
}

void TPNGButton::SetImageOver(const TPNGObject& value) {
  imageOver_.Assign(value);
  Repaint();
}

void TPNGButton::SetButtonState(TPNGButtonState value) {
  state_ = value;
  Repaint();
}

// ---- input ---------------------------------------------------------------------

void TPNGButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (state_ == pbsStateUp && button == mbLeft) SetButtonState(pbsStateDown);
  TGraphicControl::MouseDown(button, shift, x, y);
}

// The form clicks before it releases, so the button shows itself up again
// before its click handler runs.
void TPNGButton::Click() {
  if (state_ == pbsStateDown) SetButtonState(pbsStateUp);
  TGraphicControl::Click();
}

// Any button released while the mouse is held by this control, inside it or
// not.
void TPNGButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (state_ == pbsStateDown) SetButtonState(pbsStateUp);
  TGraphicControl::MouseUp(button, shift, x, y);
}

// Hovering starts here as well as on entering, for a mouse that was already
// over the button when it was shown or released elsewhere; not while held,
// so a held button that the mouse left keeps its released look until the
// mouse comes back in.
void TPNGButton::MouseMove(TShiftState shift, int x, int y) {
  bool inside = x >= 0 && x < ClientWidth() && y >= 0 && y < ClientHeight();
  if (inside && !hover_ && state_ != pbsStateDown) {
    hover_ = true;
    Repaint();
  }
  TGraphicControl::MouseMove(shift, x, y);
}

void TPNGButton::MouseEnter() {
  if (!Enabled()) return;
  auto alive = AliveToken();
  if (OnMouseEnter) OnMouseEnter(this);
  if (!*alive) return;
  hover_ = true;
  Repaint();
}

void TPNGButton::MouseLeave() {
  if (!Enabled()) return;
  auto alive = AliveToken();
  if (OnMouseExit) OnMouseExit(this);
  if (!*alive) return;
  hover_ = false;
  Repaint();
}

// The disabled picture is rebuilt first: when that fails (no normal
// picture), the error reaches whoever disabled the button and the state
// stays as it was.
void TPNGButton::EnabledChanged() {
  if (!Enabled()) MakeDisabledImage(imageNormal_, imageDisabled_);
  SetButtonState(Enabled() ? pbsStateUp : pbsStateDisabled);
}

// ---- painting ------------------------------------------------------------------

const TPNGObject& TPNGButton::ChosenPicture(bool pressed) const {
  if (pressed && !imageDown_.Empty()) return imageDown_;
  if (hover_ && !imageOver_.Empty() && Enabled()) return imageOver_;
  if (state_ == pbsStateDisabled && !imageDisabled_.Empty()) return imageDisabled_;
  return imageNormal_;
}

void TPNGButton::DrawFrame(TCanvas& canvas, TRect& r, bool pressed) const {
  switch (buttonStyle_) {
    case pbsFlat:
      if (state_ == pbsStateDisabled) return;
      if (pressed) {
        canvas.Frame3D(r, clBtnShadow, clBtnHighlight, 1);
      } else if (hover_ || state_ == pbsStateDown) {
        canvas.Frame3D(r, clBtnHighlight, clBtnShadow, 1);
      }
      return;
    case pbsDefault:
      // The face is drawn over r; the caption is still clipped to all of r.
      DrawButtonFace(canvas, r, 1, pressed);
      return;
    case pbsNoFrame: return;
  }
}

void TPNGButton::Paint() {
  TCanvas& canvas = Canvas();
  canvas.Font.Assign(Font());
  bool pressed = state_ == pbsStateDown && hover_;
  const TPNGObject& picture = ChosenPicture(pressed);
  int imageWidth = picture.Empty() ? 0 : picture.Width();
  int imageHeight = picture.Empty() ? 0 : picture.Height();
  int textWidth = 0, textHeight = 0;
  if (!caption_.empty()) {
    TSize extent = canvas.TextExtent(caption_);
    textWidth = extent.cx;
    textHeight = extent.cy;
    imageHeight += 4;  // the gap between picture and caption in the above and below layouts
  }
  TPlacement at =
      Place(buttonLayout_, Width(), Height(), imageWidth, imageHeight, textWidth, textHeight, pressed ? 2 : 0);
  TRect r = ClientRect();
  DrawFrame(canvas, r, pressed);
  canvas.Brush.Style = bsClear;
  if (!picture.Empty()) canvas.Draw(at.ImageX, at.ImageY, picture);
  if (state_ == pbsStateDisabled) canvas.Font.Color = clGrayText;
  if (!caption_.empty()) canvas.TextRect(r, at.TextX, at.TextY, caption_);
}

// ---- form descriptions ---------------------------------------------------------

namespace {

// The stored picture is the PNG file itself, loaded into the button's own
// object: no setter runs, so no disabled picture is built and nothing paints.
void PictureData(TComponentClass& cls, const char* name, TPNGObject& (TPNGButton::*picture)()) {
  cls.Property<TPNGButton>(name, [picture](TPNGButton& button, const TLoadContext& ctx) {
    const auto& bytes = ctx.Binary();
    try {
      (button.*picture)().LoadFromBytes(bytes.data(), bytes.size());
    } catch (const EInvalidGraphic& e) {
      ctx.Fail(e.Message());
    }
  });
}

}  // namespace

void RegisterPNGButtonClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    // The framework's classes first: the button inherits the control's
    // stored properties (bounds, font, visibility, hints, mouse events).
    FindComponentClass("TControl");
    TComponentClass& c = RegisterComponentClass("TPNGButton", "TControl",
                                                [](TComponent* owner) -> TComponent* { return new TPNGButton(owner); });
    c.Property<TPNGButton>("ButtonLayout", [](TPNGButton& b, const TLoadContext& ctx) {
      b.SetButtonLayout(static_cast<TPNGButtonLayout>(
          ctx.Enum({"pbsImageAbove", "pbsImageBellow", "pbsImageLeft", "pbsImageRight"})));
    });
    c.Property<TPNGButton>("ButtonStyle", [](TPNGButton& b, const TLoadContext& ctx) {
      b.SetButtonStyle(static_cast<TPNGButtonStyle>(ctx.Enum({"pbsDefault", "pbsFlat", "pbsNoFrame"})));
    });
    c.Property<TPNGButton>("Caption", [](TPNGButton& b, const TLoadContext& ctx) { b.SetCaption(ctx.Text()); });
    PictureData(c, "ImageNormal.Data", &TPNGButton::ImageNormal);
    PictureData(c, "ImageDown.Data", &TPNGButton::ImageDown);
    PictureData(c, "ImageOver.Data", &TPNGButton::ImageOver);
    // Disabling builds the disabled picture, which fails without a normal
    // one: reported as a fault of the description's line.
    c.Property<TPNGButton>("Enabled", [](TPNGButton& b, const TLoadContext& ctx) {
      bool enabled = ctx.Boolean();
      try {
        b.SetEnabled(enabled);
      } catch (const EInvalidGraphic& e) {
        ctx.Fail(e.Message());
      }
    });
    c.Property<TPNGButton>("OnMouseExit",
                           [](TPNGButton& b, const TLoadContext& ctx) { b.OnMouseExit = ctx.Handler<TNotifyEvent>(); });
  });
}
