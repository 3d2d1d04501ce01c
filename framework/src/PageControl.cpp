#include "PageControl.h"

#include <algorithm>

TPageControl::TPageControl(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 289, 193);
  TabStop = true;
}

int TPageControl::PageCount() const {
  int count = 0;
  for (int i = 0; i < ControlCount(); ++i) count += dynamic_cast<TTabSheet*>(Controls(i)) != nullptr;
  return count;
}

TTabSheet* TPageControl::Pages(int index) const {
  for (int i = 0; i < ControlCount(); ++i) {
    if (auto* page = dynamic_cast<TTabSheet*>(Controls(i)); page && index-- == 0) return page;
  }
  return nullptr;
}

int TPageControl::ActivePageIndex() const { return activePage_ ? activePage_->PageIndex() : -1; }

void TPageControl::SetActivePageIndex(int index) { SetActivePage(Pages(index)); }

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page && page->PageControl() != this) return;
  if (page == activePage_) return;
  activePage_ = page;
  PagesChanged();
  if (OnChange && !IsLoading()) OnChange(this);
}

int TPageControl::TabHeight() const {
  int text = Font().Height < 0 ? -Font().Height : Font().Height;
  return text + (Style == tsTabs ? 8 : 20);
}

TRect TPageControl::AlignRect() const {
  int top = TabHeight() + 4;
  return TRect{4, top, Width() - 4, Height() - 4};
}

void TPageControl::PagesChanged() {
  TRect area = AlignRect();
  for (int i = 0; i < PageCount(); ++i) {
    TTabSheet* page = Pages(i);
    page->SetBounds(area.Left, area.Top, std::max(0, area.Width()), std::max(0, area.Height()));
    page->SetVisible(page == activePage_);
  }
  Invalidate();
}

void TPageControl::Resized() {
  TWinControl::Resized();
  PagesChanged();
}

void TPageControl::Loaded() {
  TWinControl::Loaded();
  if (!PendingActivePage.empty() && Owner()) {
    if (auto* page = dynamic_cast<TTabSheet*>(Owner()->FindComponent(PendingActivePage))) activePage_ = page;
    PendingActivePage.clear();
  }
  if (!activePage_) activePage_ = Pages(0);
  PagesChanged();
}

TRect TPageControl::TabRect(int index) {
  if (!measure_) measure_ = std::make_unique<TSurface>(1, 1);
  TCanvas* canvas = &measure_->Canvas();
  canvas->Font.Assign(Font());
  bool rtl = UseRightToLeftAlignment();
  int x = 2;
  int height = TabHeight();
  for (int i = 0; i < PageCount(); ++i) {
    TTabSheet* page = Pages(i);
    if (!page->TabVisible) continue;
    int width = canvas->TextWidth(page->Caption()) + 16;
    TRect r = rtl ? TRect{Width() - x - width, 2, Width() - x, 2 + height} : TRect{x, 2, x + width, 2 + height};
    if (i == index) return r;
    x += width + (Style == tsTabs ? 0 : 3);
  }
  return TRect{};
}

void TPageControl::PaintControl(TCanvas& canvas) {
  canvas.Brush = TBrush{Color(), bsSolid};
  canvas.FillRect(ClientRect());
  TRect body{0, TabHeight() + 2, Width(), Height()};
  if (Style == tsTabs) {
    TRect frame = body;
    canvas.Frame3D(frame, clBtnHighlight, cl3DDkShadow, 1);
    canvas.Frame3D(frame, clBtnFace, clBtnShadow, 1);
  }
  for (int i = 0; i < PageCount(); ++i) {
    TTabSheet* page = Pages(i);
    if (!page->TabVisible) continue;
    TRect tab = TabRect(i);
    bool active = page == activePage_;
    TRect inner = tab;
    if (Style == tsTabs) {
      if (active) inner = {tab.Left - 2, tab.Top - 2, tab.Right + 2, tab.Bottom + 1};
      canvas.Brush = TBrush{clBtnFace, bsSolid};
      canvas.FillRect(inner);
      TRect edge = inner;
      canvas.Frame3D(edge, clBtnHighlight, clBtnShadow, 1);
    } else {
      // Buttons: the active page's button is shown pressed.
      inner = DrawButtonFace(canvas, tab, 1, active);
    }
    canvas.Font.Assign(Font());
    canvas.Brush.Style = bsClear;
    int offset = (Style != tsTabs && active) ? 1 : 0;
    canvas.DrawTextInRect({inner.Left + offset, inner.Top + offset, inner.Right + offset, inner.Bottom + offset},
                          page->Caption(), taCenter, tlCenter, false, UseRightToLeftReading());
  }
}

void TPageControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    for (int i = 0; i < PageCount(); ++i) {
      if (Pages(i)->TabVisible && TabRect(i).Contains({x, y})) {
        SetActivePage(Pages(i));
        break;
      }
    }
  }
  TWinControl::MouseDown(button, shift, x, y);
}

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner) { SetVisible(false); }

int TTabSheet::PageIndex() const {
  TPageControl* pc = PageControl();
  if (!pc) return -1;
  for (int i = 0; i < pc->PageCount(); ++i) {
    if (pc->Pages(i) == this) return i;
  }
  return -1;
}

void TTabSheet::ParentChanged() {
  TWinControl::ParentChanged();
  if (TPageControl* pc = PageControl()) {
    if (!pc->ActivePage()) pc->SetActivePage(this);
    pc->PagesChanged();
  }
}
