// A sunken or raised frame or line, drawn in the 3-D shadow and highlight colours.
#pragma once

#include "Controls.h"

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };

class TBevel : public TGraphicControl {
 public:
  explicit TBevel(TComponent* owner);
  TBevelShape Shape = bsBox;
  TBevelStyle Style = bsLowered;

 protected:
  void Paint() override;
};
