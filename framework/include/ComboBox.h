// A combo box; the forms here use the drop-down list style (a choice from
// the list, no typing). The list drops over the form when clicked; Up and
// Down change the choice.
#pragma once

#include <string>
#include <vector>

#include "Controls.h"

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TComboBox : public TWinControl {
 public:
  explicit TComboBox(TComponent* owner);

  TComboBoxStyle Style = csDropDown;
  int ItemHeight = 13;
  int DropDownCount = 8;
  std::vector<std::string> Items;
  TNotifyEvent OnChange;

  int ItemIndex() const { return itemIndex_; }
  // -1 clears the choice; other values outside the list are refused.
  void SetItemIndex(int index);
  // The text of the chosen entry (empty with no choice).
  std::string Text() const;
  bool DroppedDown() const { return dropped_; }
  void SetDroppedDown(bool value);

  bool CanFocus() const override { return true; }
  void PaintControl(TCanvas& canvas) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void KeyDown(unsigned short& key, TShiftState shift) override;
  void PaintPopup(TCanvas& canvas, const TRect& area) override;
  void PopupClick(TPoint p) override;
  void PopupClosed() override;

 private:
  void Choose(int index);
  int itemIndex_ = -1;
  bool dropped_ = false;
};
