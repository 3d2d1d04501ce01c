// A timer that fires OnTimer on the thread that made it, through WM_TIMER of
// a hidden window of that thread, so handlers run inside whatever message
// loop the thread is in (a modal box included).
#pragma once

#include <windows.h>

#include "Controls.h"

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  TNotifyEvent OnTimer;

  // Runs OnTimer; the hidden window calls it for each WM_TIMER.
  void Timer();

 protected:
  void Loaded() override;

 private:
  void UpdateTimer();
  HWND window_ = nullptr;
  unsigned interval_ = 1000;
  bool enabled_ = true;
};
