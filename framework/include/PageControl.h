// Tab pages: a row of tabs (drawn as tabs or as buttons) above the active
// page. Pages are the TTabSheet children, in their order; only the active one
// is shown. Right-to-left page controls start their row at the right edge.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Controls.h"

class TTabSheet;

enum TTabStyle { tsTabs, tsButtons, tsFlatButtons };

class TPageControl : public TWinControl {
 public:
  explicit TPageControl(TComponent* owner);

  TTabStyle Style = tsTabs;
  // The name of the page a description makes active; resolved after loading.
  std::string PendingActivePage;
  TNotifyEvent OnChange;

  int PageCount() const;
  TTabSheet* Pages(int index) const;
  TTabSheet* ActivePage() const { return activePage_; }
  void SetActivePage(TTabSheet* page);
  int ActivePageIndex() const;
  void SetActivePageIndex(int index);
  // The tab area's rectangle of one page's tab, in this control's coordinates.
  TRect TabRect(int index);

  TRect AlignRect() const override;
  void PaintControl(TCanvas& canvas) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  // Pages are laid out when they join or when the control is resized.
  void PagesChanged();

 protected:
  void Resized() override;
  void Loaded() override;

 private:
  int TabHeight() const;
  TTabSheet* activePage_ = nullptr;
  // Measures tab captions; made on first use and kept.
  std::unique_ptr<TSurface> measure_;
};

class TTabSheet : public TWinControl {
 public:
  explicit TTabSheet(TComponent* owner);
  TPageControl* PageControl() const { return dynamic_cast<TPageControl*>(Parent()); }
  int PageIndex() const;
  bool TabVisible = true;
  void ParentChanged() override;
};
