// A progress bar from Min to Max; Smooth draws one continuous bar.
#pragma once

#include "Controls.h"

class TProgressBar : public TWinControl {
 public:
  explicit TProgressBar(TComponent* owner);

  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  void SetMin(int value);
  void SetMax(int value);
  // Kept within Min..Max.
  void SetPosition(int value);
  void StepBy(int delta);
  void StepIt() { StepBy(Step); }
  bool Smooth = false;
  int Step = 10;

  void PaintControl(TCanvas& canvas) override;

 private:
  // How much of a bar of that width the position fills.
  int FilledWidth(int width) const;
  int min_ = 0;
  int max_ = 100;
  int position_ = 0;
};
