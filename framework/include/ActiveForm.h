// The base of a form that lives inside a host rather than as a top-level
// window: until a host sites it, it is parented to a hidden window of the
// creating thread (so its timers and messages run on that thread). Hosting
// contracts (OLE) are added by the control built on it.
#pragma once

#include "Forms.h"

enum TActiveFormBorderStyle { afbNone, afbSingle, afbSunken, afbRaised };

class TActiveForm : public TCustomForm {
 public:
  explicit TActiveForm(TComponent* owner);
  ~TActiveForm() override;

  const char* PropertyClassName() const override { return "TActiveForm"; }
  TActiveFormBorderStyle AxBorderStyle = afbNone;

  // The hidden window the form is parented to until it is sited.
  HWND ParkingWindow() const { return parking_; }
  // Places the form in a host's window (nullptr parks it again).
  void SiteIn(HWND host);
  HWND Site() const { return site_; }

  HWND ParentWindowHandle() const override { return site_ ? site_ : parking_; }

  // Hooks the hosting layer overrides.
  virtual void AddPropertyPages() {}
  virtual void HookEvents() {}

 private:
  HWND parking_ = nullptr;
  HWND site_ = nullptr;
};
