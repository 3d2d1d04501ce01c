// The form's window messages reach the control object before the form: the
// control answers what a host expects of an active object (focus arriving by
// a click or a tab makes it UI active) and passes every message on, so the
// form's own handling (activation, clicks, keys, painting and the events
// they fire) goes on as before.
#include "ActiveFormControl.h"
#include "ActiveFormControlOleState.h"

LRESULT TActiveFormControl::FormMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!form_) return 0;
  // The site may let go of the control while it is told; the message must
  // still reach a whole form.
  AddRef();
  try {
    if (message == WM_SETFOCUS && ole_ && ole_->InPlaceActive && !ole_->UiActive) ActivateUi();
    const LRESULT result = form_->FormWndProc(message, wParam, lParam);
    Release();
    return result;
  } catch (...) {
    Release();
    throw;
  }
}
