#include "Controls.h"

#include <algorithm>

#include "Forms.h"

TControl::TControl(TComponent* owner) : TComponent(owner) {
  font_.OnChange = [this] {
    parentFont_ = false;
    FontChanged();
  };
}

TControl::~TControl() {
  *alive_ = false;
  if (TCustomForm* form = ParentForm(); form && form != this) form->ControlDestroying(this);
  if (parent_) parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent_) {
    Invalidate();
    parent_->RemoveControl(this);
  }
  parent_ = parent;
  if (parent_) {
    parent_->InsertControl(this);
    ParentChanged();
    if (align_ != alNone) parent_->AlignControls();
    Invalidate();
  }
}

TCustomForm* TControl::ParentForm() const {
  const TControl* c = this;
  while (c->parent_) c = c->parent_;
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

TPoint TControl::ClientToForm(TPoint p) const {
  for (const TControl* c = this; c->parent_; c = c->parent_) {
    p.X = SaturatingAdd(p.X, c->left_);
    p.Y = SaturatingAdd(p.Y, c->top_);
  }
  return p;
}

void TControl::SetBoundsNoAlign(int left, int top, int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  Invalidate();
  bool resized = width != width_ || height != height_;
  left_ = left, top_ = top, width_ = width, height_ = height;
  Invalidate();
  if (resized) Resized();
}

void TControl::SetBounds(int left, int top, int width, int height) {
  SetBoundsNoAlign(left, top, width, height);
  if (parent_ && align_ != alNone) parent_->AlignControls();
}

bool TControl::Showing() const {
  for (const TControl* c = this; c; c = c->parent_) {
    if (!c->visible_) return false;
  }
  return true;
}

void TControl::SetVisible(bool value) {
  if (value == visible_) return;
  if (!value) Invalidate();
  visible_ = value;
  VisibleChanged();
}

void TControl::VisibleChanged() {
  if (parent_ && align_ != alNone) parent_->AlignControls();
  Invalidate();
}

void TControl::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  EnabledChanged();
}

void TControl::SetColor(TColor value) {
  parentColor_ = false;
  if (value == color_) return;
  color_ = value;
  Invalidate();
}

void TControl::SetParentColor(bool value) {
  parentColor_ = value;
  if (value) ParentChanged();
}

void TControl::SetParentFont(bool value) {
  parentFont_ = value;
  if (value) ParentChanged();
}

void TControl::SetBiDiMode(TBiDiMode value) {
  parentBiDiMode_ = false;
  if (value == bidiMode_) return;
  bidiMode_ = value;
  Invalidate();
}

void TControl::SetParentBiDiMode(bool value) {
  parentBiDiMode_ = value;
  if (value) ParentChanged();
}

void TControl::SetAlign(TAlign value) {
  if (value == align_) return;
  align_ = value;
  if (parent_) parent_->AlignControls();
}

void TControl::SetCaption(const std::string& value) {
  if (value == caption_) return;
  caption_ = value;
  TextChanged();
}

void TControl::ParentChanged() {
  if (!parent_) return;
  if (parentFont_ && !font_.SameAs(parent_->Font())) {
    auto onChange = std::move(font_.OnChange);
    font_.Assign(parent_->Font());
    font_.OnChange = std::move(onChange);
    FontChanged();
  }
  if (parentColor_) color_ = parent_->Color();
  if (parentBiDiMode_) bidiMode_ = parent_->BiDiMode();
  Invalidate();
}

void TControl::Invalidate() {
  TCustomForm* form = ParentForm();
  if (!form || !Showing()) return;
  TPoint origin = ClientToForm({0, 0});
  form->InvalidateArea(Bounds(origin.X, origin.Y, width_, height_));
}

void TControl::Repaint() {
  TCustomForm* form = ParentForm();
  if (!form || !Showing()) return;
  TPoint origin = ClientToForm({0, 0});
  form->PaintArea(Bounds(origin.X, origin.Y, width_, height_));
}

bool TControl::Focused() const {
  TCustomForm* form = ParentForm();
  return form && form->ActiveControl() == this;
}

void TControl::SetFocus() {
  if (TCustomForm* form = ParentForm()) form->SetActiveControl(this);
}

void TControl::PaintControl(TCanvas&) {}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TControl::MouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}

void TControl::MouseLeave() {
  if (OnMouseLeave) OnMouseLeave(this);
}

void TControl::KeyDown(unsigned short&, TShiftState) {}

void TControl::KeyPress(char&) {}

// ---- TWinControl -------------------------------------------------------------

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  // Children owned elsewhere (by the form) must not keep a dangling parent.
  for (TControl* c : controls_) c->parent_ = nullptr;
  controls_.clear();
}

void TWinControl::InsertControl(TControl* control) { controls_.push_back(control); }

void TWinControl::RemoveControl(TControl* control) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
}

void TWinControl::EnableAlign() {
  if (alignDisabled_ > 0 && --alignDisabled_ == 0) AlignControls();
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  bool resized = width != Width() || height != Height();
  TControl::SetBounds(left, top, width, height);
  if (resized) AlignControls();
}

void TWinControl::ParentChanged() {
  TControl::ParentChanged();
  for (TControl* c : controls_) c->ParentChanged();
}

void TWinControl::FontChanged() {
  TControl::FontChanged();
  for (TControl* c : controls_) c->ParentChanged();
}

void TWinControl::AlignControls() {
  if (alignDisabled_ > 0) return;
  TRect rest = AlignRect();
  auto place = [](TControl* c, int l, int t, int w, int h) {
    c->SetBoundsNoAlign(l, t, w, h);
    if (auto* wc = dynamic_cast<TWinControl*>(c)) wc->AlignControls();
  };
  auto ofKind = [this](TAlign kind) {
    std::vector<TControl*> list;
    for (TControl* c : controls_) {
      if (c->Visible() && c->Align() == kind) list.push_back(c);
    }
    return list;
  };
  auto tops = ofKind(alTop);
  std::stable_sort(tops.begin(), tops.end(), [](TControl* a, TControl* b) { return a->Top() < b->Top(); });
  for (TControl* c : tops) {
    place(c, rest.Left, rest.Top, rest.Width(), c->Height());
    rest.Top += c->Height();
  }
  auto bottoms = ofKind(alBottom);
  std::stable_sort(bottoms.begin(), bottoms.end(), [](TControl* a, TControl* b) { return a->Top() > b->Top(); });
  for (TControl* c : bottoms) {
    place(c, rest.Left, rest.Bottom - c->Height(), rest.Width(), c->Height());
    rest.Bottom -= c->Height();
  }
  auto lefts = ofKind(alLeft);
  std::stable_sort(lefts.begin(), lefts.end(), [](TControl* a, TControl* b) { return a->Left() < b->Left(); });
  for (TControl* c : lefts) {
    place(c, rest.Left, rest.Top, c->Width(), std::max(0, rest.Height()));
    rest.Left += c->Width();
  }
  auto rights = ofKind(alRight);
  std::stable_sort(rights.begin(), rights.end(), [](TControl* a, TControl* b) { return a->Left() > b->Left(); });
  for (TControl* c : rights) {
    place(c, rest.Right - c->Width(), rest.Top, c->Width(), std::max(0, rest.Height()));
    rest.Right -= c->Width();
  }
  for (TControl* c : ofKind(alClient)) {
    place(c, rest.Left, rest.Top, std::max(0, rest.Width()), std::max(0, rest.Height()));
  }
  Invalidate();
}

TControl* TWinControl::ControlAtPos(TPoint p, bool allowDisabled) const {
  // The reverse of the paint order: windowed children first, the later ones
  // above the earlier.
  for (int pass = 0; pass < 2; ++pass) {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
      TControl* c = *it;
      if (c->IsWindowed() != (pass == 0)) continue;
      if (!c->Visible() || (!allowDisabled && !c->Enabled())) continue;
      if (!c->BoundsRect().Contains(p)) continue;
      if (auto* wc = dynamic_cast<TWinControl*>(c)) {
        if (TControl* inner = wc->ControlAtPos({p.X - c->Left(), p.Y - c->Top()}, allowDisabled)) return inner;
      }
      return c;
    }
  }
  return nullptr;
}

void TWinControl::PaintControl(TCanvas& canvas) {
  canvas.Brush = TBrush{Color(), bsSolid};
  canvas.FillRect(ClientRect());
}

void PaintChildren(TWinControl& container, TCanvas& canvas) {
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < container.ControlCount(); ++i) {
      TControl* c = container.Controls(i);
      if (c->IsWindowed() != (pass == 1) || !c->Visible() || c->Width() <= 0 || c->Height() <= 0) continue;
      canvas.Save(c->BoundsRect());
      c->PaintControl(canvas);
      if (auto* wc = dynamic_cast<TWinControl*>(c)) PaintChildren(*wc, canvas);
      canvas.Restore();
    }
  }
}

// ---- TGraphicControl ---------------------------------------------------------

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) {}

TGraphicControl::~TGraphicControl() = default;

TCanvas& TGraphicControl::Canvas() {
  if (paintCanvas_) return *paintCanvas_;
  if (!measure_) measure_ = std::make_unique<TSurface>(1, 1);
  measure_->Canvas().Font.Assign(Font());
  return measure_->Canvas();
}

void TGraphicControl::PaintControl(TCanvas& canvas) {
  paintCanvas_ = &canvas;
  canvas.Font.Assign(Font());
  try {
    Paint();
  } catch (...) {
    paintCanvas_ = nullptr;
    throw;
  }
  paintCanvas_ = nullptr;
}
