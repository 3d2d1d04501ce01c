// The control model: bounds, visibility, enabled state, colour, font, cursor,
// reading order, alignment and the mouse and key events. Controls other than
// forms have no window of their own: their form paints them, in description
// order, and hit-tests its input for them.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Canvas.h"
#include "Classes.h"
#include "Graphics.h"

class TWinControl;
class TCustomForm;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };
enum TMouseButton { mbLeft, mbRight, mbMiddle };

using TShiftState = unsigned;
constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64;

using TNotifyEvent = std::function<void(TObject* sender)>;
using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
using TKeyPressEvent = std::function<void(TObject* sender, char& key)>;
using TKeyEvent = std::function<void(TObject* sender, unsigned short& key, TShiftState shift)>;

// Modal results of buttons and modal forms.
using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7;

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  TWinControl* Parent() const { return parent_; }
  void SetParent(TWinControl* parent);
  // The form the control lies on (itself for a form); nullptr when none.
  TCustomForm* ParentForm() const;

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  TRect ClientRect() const { return TRect{0, 0, width_, height_}; }
  int ClientWidth() const { return width_; }
  int ClientHeight() const { return height_; }
  // Position of a client point of this control on its form's client area.
  TPoint ClientToForm(TPoint p) const;

  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, and every parent up to the form visible too.
  bool Showing() const;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);

  TColor Color() const { return color_; }
  void SetColor(TColor value);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool value);
  TFont& Font() { return font_; }
  const TFont& Font() const { return font_; }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool value);
  TBiDiMode BiDiMode() const { return bidiMode_; }
  void SetBiDiMode(TBiDiMode value);
  bool ParentBiDiMode() const { return parentBiDiMode_; }
  void SetParentBiDiMode(bool value);
  bool UseRightToLeftReading() const { return bidiMode_ != bdLeftToRight; }
  bool UseRightToLeftAlignment() const { return bidiMode_ == bdRightToLeft; }
  TAlign Align() const { return align_; }
  void SetAlign(TAlign value);

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);
  const std::string& Text() const { return caption_; }
  void SetText(const std::string& value) { SetCaption(value); }

  TCursor Cursor = crDefault;
  std::string Hint;
  bool ShowHint = false;
  bool ParentShowHint = true;

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

  // Asks the form to paint this control's area at the next paint.
  void Invalidate();
  // Paints this control's area now.
  void Repaint();

  // Windowed controls (buttons, edits, containers) lie above the windowless
  // ones of the same parent, whatever the description order.
  virtual bool IsWindowed() const { return false; }
  // Whether the control takes keyboard focus when clicked or tabbed to.
  virtual bool CanFocus() const { return false; }
  bool Focused() const;
  void SetFocus();

  // Called by the form, the canvas's origin at the control's top-left and
  // clipped to it.
  virtual void PaintControl(TCanvas& canvas);

  // Input, called by the form with client coordinates of this control. The
  // base operations fire the matching events.
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void Click();
  virtual void DblClick();
  virtual void MouseEnter();
  virtual void MouseLeave();
  virtual void KeyDown(unsigned short& key, TShiftState shift);
  virtual void KeyPress(char& key);
  virtual void FocusChanged(bool /*focused*/) { Invalidate(); }
  // A drop-down part painted above everything else on the form (see
  // TCustomForm::OpenPopup); local coordinates of the popup rectangle.
  virtual void PaintPopup(TCanvas& /*canvas*/, const TRect& /*area*/) {}
  virtual void PopupClick(TPoint /*p*/) {}
  virtual void PopupClosed() {}

  // False once the control has been destroyed: lets callers that ran a
  // handler (which may free the control) know whether it is still there.
  std::shared_ptr<const bool> AliveToken() const { return alive_; }

  // Copies the parent's font, colour and reading order where this control
  // takes them from its parent.
  virtual void ParentChanged();

 protected:
  virtual void EnabledChanged() { Invalidate(); }
  virtual void VisibleChanged();
  virtual void FontChanged() { Invalidate(); }
  virtual void TextChanged() { Invalidate(); }
  virtual void Resized() {}
  // The colour a control fills its background with by default.
  virtual TColor DefaultColor() const { return clBtnFace; }

 private:
  friend class TWinControl;
  void SetBoundsNoAlign(int left, int top, int width, int height);
  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  TColor color_ = clBtnFace;
  bool parentColor_ = false;
  TFont font_;
  bool parentFont_ = true;
  TBiDiMode bidiMode_ = bdLeftToRight;
  bool parentBiDiMode_ = true;
  TAlign align_ = alNone;
  std::string caption_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// A control that contains other controls and lays out the aligned ones.
class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const { return controls_.at(static_cast<std::size_t>(index)); }
  bool IsWindowed() const override { return true; }

  // Lays out the aligned children: alTop, alBottom, alLeft, alRight, then
  // alClient in what is left; hidden children take no room.
  void AlignControls();
  void DisableAlign() { ++alignDisabled_; }
  void EnableAlign();
  bool AlignDisabled() const { return alignDisabled_ > 0; }
  // The area the aligned children share, in this control's coordinates.
  virtual TRect AlignRect() const { return ClientRect(); }
  int TabOrder = -1;
  bool TabStop = false;

  // The deepest visible child at the point (client coordinates), or nullptr.
  TControl* ControlAtPos(TPoint p, bool allowDisabled) const;

  void SetBounds(int left, int top, int width, int height) override;
  void ParentChanged() override;

 protected:
  void PaintControl(TCanvas& canvas) override;
  void FontChanged() override;

 private:
  friend class TControl;
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  std::vector<TControl*> controls_;
  int alignDisabled_ = 0;
};

// A windowless control that paints itself on a canvas (custom controls
// derive from it and override Paint).
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;

  // The canvas: the form's while painting, otherwise one for measuring text.
  TCanvas& Canvas();

  void PaintControl(TCanvas& canvas) override;

 protected:
  virtual void Paint() {}

 private:
  TCanvas* paintCanvas_ = nullptr;
  std::unique_ptr<TSurface> measure_;
};

// Paints a container's children in their order: windowless ones first, then
// windowed ones, each clipped to its bounds.
void PaintChildren(TWinControl& container, TCanvas& canvas);
