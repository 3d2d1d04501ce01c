// The base of a form that lives inside a host rather than as a top-level
// window: until a host sites it, it is parented to a hidden window of the
// creating thread (so its timers and messages run on that thread). Hosting
// contracts (OLE) are added by the control built on it.
#pragma once

#include <unknwn.h>

#include "Forms.h"

class TActiveFormControl;

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

  // ---- Link to the COM control object ----

  // The control object that owns this form; null for a form made on its own.
  // A linked control sees every window message of the form before the form.
  TActiveFormControl* Control() const { return control_; }
  void LinkControl(TActiveFormControl* control) { control_ = control; }
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  // The form's own handling of a message, where the control passes it on.
  LRESULT FormWndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return TCustomForm::WndProc(message, wParam, lParam);
  }
  // One of the form's own COM interfaces, without a reference added; null
  // when the form has none of that IID. The control object asks here first.
  virtual void* FormInterface(REFIID) { return nullptr; }
  // Stores a new event sink (null when disconnected); a form that fires
  // events overrides it to keep the sink and then calls this. The first sink
  // change that brings a sink runs the creation event again, so a handler
  // bound to it by HookEvents tells that first sink; later changes do not.
  virtual void SetEventSink(IUnknown* sink);
  // Runs OnDestroy and unbinds it, so the event goes out at most once.
  void FireDestroyOnce();

 private:
  TActiveFormControl* control_ = nullptr;
  bool sinkChanged_ = false;
  HWND parking_ = nullptr;
  HWND site_ = nullptr;
};
