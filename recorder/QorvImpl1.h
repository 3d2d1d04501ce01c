// The control form: the recorder logic behind the device members of IQorvX,
// the 10 ms timer that drains the port, and the port component MP, all built
// from the stored form description.
//
// Every member is shaped as its COM vtable function will be: it returns an
// HRESULT, takes booleans as VARIANT_BOOL and strings as BSTR (converted
// through the ANSI code page), and lets no exception out. A failure returns
// E_UNEXPECTED (or a COM error's own result) and leaves its message in this
// thread's COM error information (GetErrorInfo), as IQorvX callers read it.
//
// Threads: apartment-threaded. The control, its timer and every member run
// on the thread that created it; the shared recorder state has no lock.
#pragma once

#include <memory>
#include <string>

#include "ActiveForm.h"
#include "Image.h"
#include "Label.h"
#include "OleFontLink.h"
#include "QorvProj1_TLB.h"
#include "RecorderDevice.h"
#include "SioPort.h"
#include "SioRecorderPort.h"
#include "Timer.h"
#include "oleauto.h"

class TQorvX : public TActiveForm, public QorvProj1_TLB::IQorvX {
 public:
  explicit TQorvX(TComponent* owner);
  ~TQorvX() override;
  std::string DescriptionName() const override { return "TQORVX"; }

  // ---- IUnknown and IDispatch of IQorvX: the control object's ----
  // Linked to a control object, these pass to it (one identity, one
  // reference count). A form made on its own answers for itself and is freed
  // by its owner, not by Release.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                          DISPID* rgDispId) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

  // ---- Active-form hooks ----
  void* FormInterface(REFIID iid) override;
  void AddPropertyPages() override {}
  // Keeps the sink as IQorvXEvents (releasing the previous one), then lets
  // the base run the creation event for the first sink.
  void SetEventSink(IUnknown* sink) override;
  // Binds the eight form events to the IQorvXEvents firers.
  void HookEvents() override;

  // The about box, modally (QorvXCom.cpp).
  HRESULT STDMETHODCALLTYPE AboutBox() override;

  TLabel* Label1 = nullptr;
  TTimer* Timer1 = nullptr;
  TImage* Image1 = nullptr;
  TSioComPort* MP = nullptr;

  // Handlers bound by name from the description.
  void Timer1Timer(TObject* sender);
  void ActiveFormCreate(TObject* sender);
  void ActiveFormActivate(TObject* sender);

  // ---- Stock properties of IQorvX: the form's own (QorvStockProps.cpp) ----
  // Booleans answer VARIANT_TRUE or VARIANT_FALSE and take any non-zero low
  // 16 bits as true; Color passes its 32 bits unchanged (system colours
  // included); enums out of their range are refused with E_INVALIDARG.
  HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_AutoScroll(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_AutoScroll(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_AutoSize(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_AutoSize(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_AxBorderStyle(QorvProj1_TLB::TxActiveFormBorderStyle* Value) override;
  HRESULT STDMETHODCALLTYPE put_AxBorderStyle(QorvProj1_TLB::TxActiveFormBorderStyle Value) override;
  HRESULT STDMETHODCALLTYPE get_Caption(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_Caption(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_Color(OLE_COLOR* Value) override;
  HRESULT STDMETHODCALLTYPE put_Color(OLE_COLOR Value) override;
  // The font object linked to the form's font; a put (by value or by
  // reference) makes the form's font follow the given object.
  HRESULT STDMETHODCALLTYPE get_Font(IFontDisp** Value) override;
  HRESULT STDMETHODCALLTYPE put_Font(IFontDisp* Value) override;
  HRESULT STDMETHODCALLTYPE _set_Font(IFontDisp** Value) override;
  HRESULT STDMETHODCALLTYPE get_KeyPreview(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_KeyPreview(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_PixelsPerInch(LONG* Value) override;
  HRESULT STDMETHODCALLTYPE put_PixelsPerInch(LONG Value) override;
  HRESULT STDMETHODCALLTYPE get_PrintScale(QorvProj1_TLB::TxPrintScale* Value) override;
  HRESULT STDMETHODCALLTYPE put_PrintScale(QorvProj1_TLB::TxPrintScale Value) override;
  HRESULT STDMETHODCALLTYPE get_Scaled(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_Scaled(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_Active(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE get_DropTarget(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_DropTarget(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_HelpFile(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_HelpFile(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_DoubleBuffered(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_DoubleBuffered(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_AlignDisabled(VARIANT_BOOL* Value) override;
  // The framework docks nothing, so this is always 0.
  HRESULT STDMETHODCALLTYPE get_VisibleDockClientCount(LONG* Value) override;
  HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_Cursor(SHORT* Value) override;
  HRESULT STDMETHODCALLTYPE put_Cursor(SHORT Value) override;
  HRESULT STDMETHODCALLTYPE get_HelpType(QorvProj1_TLB::TxHelpType* Value) override;
  HRESULT STDMETHODCALLTYPE put_HelpType(QorvProj1_TLB::TxHelpType Value) override;
  HRESULT STDMETHODCALLTYPE get_HelpKeyword(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_HelpKeyword(BSTR Value) override;

  // ---- Device members of IQorvX ----
  HRESULT STDMETHODCALLTYPE get_Connect(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_Connect(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_Disconnect(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_Disconnect(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_Line(signed char* Value) override;
  HRESULT STDMETHODCALLTYPE put_Line(signed char Value) override;
  HRESULT STDMETHODCALLTYPE get_StartRecord(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_StartRecord(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_StopRecord(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_StopRecord(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_SetProtocol1(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_SetProtocol1(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_SetProtocol2(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_SetProtocol2(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_SetProtocol3(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_SetProtocol3(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_SetStarONOFF(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_SetStarONOFF(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_SetStatus(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_SetStatus(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_Date(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_Date(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_Time(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_Time(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_SetTime(VARIANT_BOOL* Value) override;
  // An unreadable Date or Time is no failure: its message is shown when the
  // control is visible, false is stored and the put succeeds.
  HRESULT STDMETHODCALLTYPE put_SetTime(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_ReadTime(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_ReadTime(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_PortNumber(signed char* Value) override;
  HRESULT STDMETHODCALLTYPE put_PortNumber(signed char Value) override;
  HRESULT STDMETHODCALLTYPE get_SavePath(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_SavePath(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_OpenPort(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_OpenPort(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_CallerID(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_CallerID(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_QorEvent(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_QorEvent(BSTR Value) override;

 protected:
  void Loaded() override;

 private:
  qorv::recorder::TRecorderDevice& Device();
  // The IQorvXEvents firers; nothing goes out while the host holds events frozen.
  void FireEvent(DISPID dispid);
  bool EventsHeld();
  void FireKeyPress(char& key);
  void UnhookEvents();

  QorvProj1_TLB::IQorvXEvents* EventSink = nullptr;

  std::unique_ptr<qorv::recorder::TSioRecorderPort> port_;
  std::unique_ptr<qorv::recorder::TRecorderDevice> device_;
  // The Font property's link to its font object, made on first use.
  std::unique_ptr<TOleFontLink> fontLink_;
};

// Makes the port component's class known to the form loader with the
// properties a stored description may set; harmless when called again.
void RegisterSioComPortClass();
