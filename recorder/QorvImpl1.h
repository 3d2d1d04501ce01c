// The control form: the recorder logic behind the device members of IQorvX,
// the 10 ms timer that drains the port, and the port component MP, all built
// from the stored form description.
//
// Every member is shaped as its COM vtable function will be: it returns an
// HRESULT, takes booleans as VARIANT_BOOL and strings as BSTR (converted
// through the ANSI code page), and lets no exception out. A failure returns
// E_UNEXPECTED and leaves its message in this thread's error information.
//
// Threads: apartment-threaded. The control, its timer and every member run
// on the thread that created it; the shared recorder state has no lock.
#pragma once

#include <memory>
#include <string>

#include "ActiveForm.h"
#include "Image.h"
#include "Label.h"
#include "RecorderDevice.h"
#include "SioPort.h"
#include "SioRecorderPort.h"
#include "Timer.h"
#include "oleauto.h"

namespace qorv::recorder {

// What a failed member left for its caller, as the COM error information
// will carry it. Kept per thread, replaced by each failure.
struct TQorvXErrorInfo {
  HRESULT Result = S_OK;
  std::string Source;       // "QorvProj1.QorvX"
  std::string Description;  // the failure's message
  DWORD HelpContext = 0;
};
// The error information of the last failed member on this thread.
const TQorvXErrorInfo& LastQorvXError();

}  // namespace qorv::recorder

class TQorvX : public TActiveForm {
 public:
  explicit TQorvX(TComponent* owner);
  ~TQorvX() override;
  std::string DescriptionName() const override { return "TQORVX"; }

  TLabel* Label1 = nullptr;
  TTimer* Timer1 = nullptr;
  TImage* Image1 = nullptr;
  TSioComPort* MP = nullptr;

  // Handlers bound by name from the description.
  void Timer1Timer(TObject* sender);
  void ActiveFormCreate(TObject* sender);
  void ActiveFormActivate(TObject* sender);

  // ---- Device members of IQorvX ----
  HRESULT STDMETHODCALLTYPE get_Connect(VARIANT_BOOL* Value);
  HRESULT STDMETHODCALLTYPE put_Connect(VARIANT_BOOL Value);
  HRESULT STDMETHODCALLTYPE get_Disconnect(VARIANT_BOOL* Value);
  HRESULT STDMETHODCALLTYPE put_Disconnect(VARIANT_BOOL Value);
  HRESULT STDMETHODCALLTYPE get_Line(signed char* Value);
  HRESULT STDMETHODCALLTYPE put_Line(signed char Value);
  HRESULT STDMETHODCALLTYPE get_StartRecord(VARIANT_BOOL* Value);
  HRESULT STDMETHODCALLTYPE put_StartRecord(VARIANT_BOOL Value);
  HRESULT STDMETHODCALLTYPE get_StopRecord(VARIANT_BOOL* Value);
  HRESULT STDMETHODCALLTYPE put_StopRecord(VARIANT_BOOL Value);
  HRESULT STDMETHODCALLTYPE get_SetProtocol1(VARIANT_BOOL* Value);
  HRESULT STDMETHODCALLTYPE put_SetProtocol1(VARIANT_BOOL Value);
  HRESULT STDMETHODCALLTYPE get_SetProtocol2(VARIANT_BOOL* Value);
  HRESULT STDMETHODCALLTYPE put_SetProtocol2(VARIANT_BOOL Value);
  HRESULT STDMETHODCALLTYPE get_SetProtocol3(VARIANT_BOOL* Value);
  HRESULT STDMETHODCALLTYPE put_SetProtocol3(VARIANT_BOOL Value);
  HRESULT STDMETHODCALLTYPE get_SetStarONOFF(VARIANT_BOOL* Value);
  HRESULT STDMETHODCALLTYPE put_SetStarONOFF(VARIANT_BOOL Value);
  HRESULT STDMETHODCALLTYPE get_SetStatus(VARIANT_BOOL* Value);
  HRESULT STDMETHODCALLTYPE put_SetStatus(VARIANT_BOOL Value);
  HRESULT STDMETHODCALLTYPE get_Date(BSTR* Value);
  HRESULT STDMETHODCALLTYPE put_Date(BSTR Value);
  HRESULT STDMETHODCALLTYPE get_Time(BSTR* Value);
  HRESULT STDMETHODCALLTYPE put_Time(BSTR Value);
  HRESULT STDMETHODCALLTYPE get_SetTime(VARIANT_BOOL* Value);
  // An unreadable Date or Time is no failure: its message is shown when the
  // control is visible, false is stored and the put succeeds.
  HRESULT STDMETHODCALLTYPE put_SetTime(VARIANT_BOOL Value);
  HRESULT STDMETHODCALLTYPE get_ReadTime(VARIANT_BOOL* Value);
  HRESULT STDMETHODCALLTYPE put_ReadTime(VARIANT_BOOL Value);
  HRESULT STDMETHODCALLTYPE get_PortNumber(signed char* Value);
  HRESULT STDMETHODCALLTYPE put_PortNumber(signed char Value);
  HRESULT STDMETHODCALLTYPE get_SavePath(BSTR* Value);
  HRESULT STDMETHODCALLTYPE put_SavePath(BSTR Value);
  HRESULT STDMETHODCALLTYPE get_OpenPort(VARIANT_BOOL* Value);
  HRESULT STDMETHODCALLTYPE put_OpenPort(VARIANT_BOOL Value);
  HRESULT STDMETHODCALLTYPE get_CallerID(BSTR* Value);
  HRESULT STDMETHODCALLTYPE put_CallerID(BSTR Value);
  HRESULT STDMETHODCALLTYPE get_QorEvent(BSTR* Value);
  HRESULT STDMETHODCALLTYPE put_QorEvent(BSTR Value);

 protected:
  void Loaded() override;

 private:
  qorv::recorder::TRecorderDevice& Device();

  std::unique_ptr<qorv::recorder::TSioRecorderPort> port_;
  std::unique_ptr<qorv::recorder::TRecorderDevice> device_;
};

// Makes the port component's class known to the form loader with the
// properties a stored description may set; harmless when called again.
void RegisterSioComPortClass();
