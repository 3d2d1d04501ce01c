#include "QorvImpl1.h"

#include <mutex>
#include <new>

#include "Application.h"
#include "ComObj.h"
#include "Dialogs.h"
#include "FormLoader.h"
#include "QorvMemberBoundary.h"
#include "ReceivePath.h"
#include "RecorderState.h"
#include "codepage.h"
#include "winerror.h"

namespace qorv::recorder {
namespace {

constexpr const char* kErrorSource = "QorvProj1.QorvX";

VARIANT_BOOL ComBool(TComBool stored) { return stored; }

}  // namespace

HRESULT RecordFailure(const std::string& message, HRESULT comError) {
  return SetMemberErrorInfo(IID_IQorvX, kErrorSource, message, 0, comError);
}

// 8-bit text in the ANSI code page to a new COM string; empty text gives null.
BSTR BStrFromAnsi(const std::string& text) {
  if (text.empty()) return nullptr;
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) throw Exception("The text cannot be converted");
  BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(length));
  if (!result) throw std::bad_alloc();
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result, length);
  return result;
}

// A COM string to 8-bit text in the ANSI code page; null gives empty text.
std::string AnsiFromBStr(BSTR value) {
  const UINT length = SysStringLen(value);
  if (length == 0) return {};
  const int size = WideCharToMultiByte(CP_ACP, 0, value, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (size <= 0) throw Exception("The text cannot be converted");
  std::string text(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, value, static_cast<int>(length), text.data(), size, nullptr, nullptr);
  return text;
}

HRESULT GetString(BSTR* out, const std::string& stored) {
  if (!out) return E_POINTER;
  // Set first, so a failed conversion leaves the caller a null string.
  *out = nullptr;
  return Guarded([&] { *out = BStrFromAnsi(stored); });
}

HRESULT PutString(BSTR value, std::string& stored) {
  return Guarded([&] { stored = AnsiFromBStr(value); });
}

}  // namespace qorv::recorder

using qorv::recorder::ComBool;
using qorv::recorder::GetString;
using qorv::recorder::Guarded;
using qorv::recorder::GuardedGet;
using qorv::recorder::PutString;
using qorv::recorder::RecorderState;

void RegisterSioComPortClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    // The framework's classes first: the port component derives from TComponent.
    FindComponentClass("TComponent");
    TComponentClass& c = RegisterComponentClass(
        "TSioComPort", "TComponent", [](TComponent* owner) -> TComponent* { return new TSioComPort(owner); });
    using TSetter = std::function<void(TSioComPort&, const TLoadContext&)>;
    auto add = [&c](const char* name, TSetter setter) { c.Property<TSioComPort>(name, std::move(setter)); };
    add("ComNumber",
        [](TSioComPort& p, const TLoadContext& x) { p.SetComNumber(static_cast<WORD>(x.Integer(0, 65535))); });
    add("Baud", [](TSioComPort& p, const TLoadContext& x) { p.SetBaud(x.Int()); });
    add("Parity", [](TSioComPort& p, const TLoadContext& x) {
      p.SetParity(static_cast<TParity>(x.Enum({"pNone", "pOdd", "pEven", "pMark", "pSpace"})));
    });
    add("DataBits", [](TSioComPort& p, const TLoadContext& x) { p.SetDataBits(static_cast<WORD>(x.Integer(5, 8))); });
    add("StopBits", [](TSioComPort& p, const TLoadContext& x) { p.SetStopBits(static_cast<WORD>(x.Integer(1, 2))); });
    add("InSize", [](TSioComPort& p, const TLoadContext& x) { p.SetInSize(static_cast<WORD>(x.Integer(0, 65535))); });
    add("OutSize", [](TSioComPort& p, const TLoadContext& x) { p.SetOutSize(static_cast<WORD>(x.Integer(0, 65535))); });
    add("AutoOpen", [](TSioComPort& p, const TLoadContext& x) { p.SetAutoOpen(x.Boolean()); });
    add("PromptForPort", [](TSioComPort& p, const TLoadContext& x) { p.SetPromptForPort(x.Boolean()); });
    add("DTR", [](TSioComPort& p, const TLoadContext& x) { p.SetDTR(x.Boolean()); });
    add("RTS", [](TSioComPort& p, const TLoadContext& x) { p.SetRTS(x.Boolean()); });
    add("TraceName", [](TSioComPort& p, const TLoadContext& x) { p.SetTraceName(x.Text()); });
    add("TraceHex", [](TSioComPort& p, const TLoadContext& x) { p.SetTraceHex(x.Boolean()); });
    add("LogName", [](TSioComPort& p, const TLoadContext& x) { p.SetLogName(x.Text()); });
    add("LogHex", [](TSioComPort& p, const TLoadContext& x) { p.SetLogHex(x.Boolean()); });
    add("UseEventWord", [](TSioComPort& p, const TLoadContext& x) { p.SetUseEventWord(x.Boolean()); });
    add("TapiMode", [](TSioComPort& p, const TLoadContext& x) {
      p.SetTapiMode(static_cast<TTapiMode>(x.Enum({"tmNone", "tmAuto", "tmOn", "tmOff"})));
    });
  });
}

TQorvX::TQorvX(TComponent* owner) : TActiveForm(owner) {
  RegisterSioComPortClass();
  RegisterField("Label1", Label1);
  RegisterField("Timer1", Timer1);
  RegisterField("Image1", Image1);
  RegisterField("MP", MP);
  RegisterHandler("Timer1Timer", &TQorvX::Timer1Timer);
  RegisterHandler("ActiveFormCreate", &TQorvX::ActiveFormCreate);
  RegisterHandler("ActiveFormActivate", &TQorvX::ActiveFormActivate);
}

TQorvX::~TQorvX() {
  // Closing the port waits for its workers while handling this thread's
  // messages, so a timer tick could run into a control whose members are
  // gone: unbind the handlers and close the port while everything is whole.
  if (Timer1) {
    Timer1->OnTimer = nullptr;
    Timer1->SetEnabled(false);
  }
  OnCreate = nullptr;
  OnActivate = nullptr;
  // The firers reach members that are about to go: the base's own ending
  // (window destruction, deactivation) must find nothing bound to them.
  UnhookEvents();
  if (EventSink) {
    EventSink->Release();
    EventSink = nullptr;
  }
  if (MP && MP->Open()) {
    try {
      MP->SetOpen(false);
    } catch (const std::exception&) {
      // A failed close leaves nothing for a control being freed to do.
    }
  }
}

void TQorvX::Loaded() {
  TActiveForm::Loaded();
  if (!MP) throw Exception("The control form has no port component");
  port_ = std::make_unique<qorv::recorder::TSioRecorderPort>(*MP);
  device_ = std::make_unique<qorv::recorder::TRecorderDevice>(RecorderState(), *port_);
}

qorv::recorder::TRecorderDevice& TQorvX::Device() {
  if (!device_) throw Exception("The control form is not loaded");
  return *device_;
}

void TQorvX::Timer1Timer(TObject*) {
  if (!port_) return;
  try {
    qorv::recorder::DrainPort(RecorderState(), *port_);
  } catch (const std::exception& e) {
    // A timer callback must not unwind into the message loop.
    Application->HandleException(e);
  }
}

void TQorvX::ActiveFormCreate(TObject*) { Device().ApplyCreationDefaults(); }

void TQorvX::ActiveFormActivate(TObject*) {}

// ---- Command puts: send, follow up, then store ----

HRESULT TQorvX::get_Connect(VARIANT_BOOL* Value) {
  return GuardedGet(Value, [](VARIANT_BOOL& v) { v = ComBool(RecorderState().Connect); });
}
HRESULT TQorvX::put_Connect(VARIANT_BOOL Value) {
  return Guarded([&] { Device().PutConnect(Value); });
}
HRESULT TQorvX::get_Disconnect(VARIANT_BOOL* Value) {
  return GuardedGet(Value, [](VARIANT_BOOL& v) { v = ComBool(RecorderState().Disconnect); });
}
HRESULT TQorvX::put_Disconnect(VARIANT_BOOL Value) {
  return Guarded([&] { Device().PutDisconnect(Value); });
}
HRESULT TQorvX::get_StartRecord(VARIANT_BOOL* Value) {
  return GuardedGet(Value, [](VARIANT_BOOL& v) { v = ComBool(RecorderState().StartRecord); });
}
HRESULT TQorvX::put_StartRecord(VARIANT_BOOL Value) {
  return Guarded([&] { Device().PutStartRecord(Value); });
}
HRESULT TQorvX::get_StopRecord(VARIANT_BOOL* Value) {
  return GuardedGet(Value, [](VARIANT_BOOL& v) { v = ComBool(RecorderState().StopRecord); });
}
HRESULT TQorvX::put_StopRecord(VARIANT_BOOL Value) {
  return Guarded([&] { Device().PutStopRecord(Value); });
}
HRESULT TQorvX::get_SetProtocol1(VARIANT_BOOL* Value) {
  return GuardedGet(Value, [](VARIANT_BOOL& v) { v = ComBool(RecorderState().SetProtocol1); });
}
HRESULT TQorvX::put_SetProtocol1(VARIANT_BOOL Value) {
  return Guarded([&] { Device().PutSetProtocol1(Value); });
}
HRESULT TQorvX::get_SetProtocol2(VARIANT_BOOL* Value) {
  return GuardedGet(Value, [](VARIANT_BOOL& v) { v = ComBool(RecorderState().SetProtocol2); });
}
HRESULT TQorvX::put_SetProtocol2(VARIANT_BOOL Value) {
  return Guarded([&] { Device().PutSetProtocol2(Value); });
}
HRESULT TQorvX::get_SetProtocol3(VARIANT_BOOL* Value) {
  return GuardedGet(Value, [](VARIANT_BOOL& v) { v = ComBool(RecorderState().SetProtocol3); });
}
HRESULT TQorvX::put_SetProtocol3(VARIANT_BOOL Value) {
  return Guarded([&] { Device().PutSetProtocol3(Value); });
}
HRESULT TQorvX::get_SetStarONOFF(VARIANT_BOOL* Value) {
  return GuardedGet(Value, [](VARIANT_BOOL& v) { v = ComBool(RecorderState().SetStarONOFF); });
}
HRESULT TQorvX::put_SetStarONOFF(VARIANT_BOOL Value) {
  return Guarded([&] { Device().PutSetStarONOFF(Value); });
}
HRESULT TQorvX::get_SetStatus(VARIANT_BOOL* Value) {
  return GuardedGet(Value, [](VARIANT_BOOL& v) { v = ComBool(RecorderState().SetStatus); });
}
HRESULT TQorvX::put_SetStatus(VARIANT_BOOL Value) {
  return Guarded([&] { Device().PutSetStatus(Value); });
}
HRESULT TQorvX::get_ReadTime(VARIANT_BOOL* Value) {
  return GuardedGet(Value, [](VARIANT_BOOL& v) { v = ComBool(RecorderState().ReadTime); });
}
HRESULT TQorvX::put_ReadTime(VARIANT_BOOL Value) {
  return Guarded([&] { Device().PutReadTime(Value); });
}

HRESULT TQorvX::get_SetTime(VARIANT_BOOL* Value) {
  return GuardedGet(Value, [](VARIANT_BOOL& v) { v = ComBool(RecorderState().SetTime); });
}
HRESULT TQorvX::put_SetTime(VARIANT_BOOL Value) {
  return Guarded([&] {
    const qorv::recorder::TClockInputError error = Device().PutSetTime(Value);
    if (error == qorv::recorder::TClockInputError::None || !Visible()) return;
    // Persian text, read right to left.
    MessageBox(qorv::recorder::ClockInputErrorText(error), "QorvX", MB_OK | MB_RTLREADING | MB_RIGHT);
  });
}

// ---- Port members ----

HRESULT TQorvX::get_PortNumber(signed char* Value) {
  return GuardedGet(Value, [](signed char& v) { v = RecorderState().PortNumber; });
}
HRESULT TQorvX::put_PortNumber(signed char Value) {
  return Guarded([&] { Device().PutPortNumber(Value); });
}
HRESULT TQorvX::get_OpenPort(VARIANT_BOOL* Value) {
  return GuardedGet(Value, [](VARIANT_BOOL& v) { v = ComBool(RecorderState().OpenPort); });
}
HRESULT TQorvX::put_OpenPort(VARIANT_BOOL Value) {
  return Guarded([&] { Device().PutOpenPort(Value); });
}

// ---- Plain stores ----

HRESULT TQorvX::get_Line(signed char* Value) {
  return GuardedGet(Value, [](signed char& v) { v = RecorderState().Line; });
}
HRESULT TQorvX::put_Line(signed char Value) {
  return Guarded([&] { RecorderState().Line = Value; });
}
HRESULT TQorvX::get_Date(BSTR* Value) { return GetString(Value, RecorderState().Date); }
HRESULT TQorvX::put_Date(BSTR Value) { return PutString(Value, RecorderState().Date); }
HRESULT TQorvX::get_Time(BSTR* Value) { return GetString(Value, RecorderState().Time); }
HRESULT TQorvX::put_Time(BSTR Value) { return PutString(Value, RecorderState().Time); }
HRESULT TQorvX::get_SavePath(BSTR* Value) { return GetString(Value, RecorderState().SavePath); }
HRESULT TQorvX::put_SavePath(BSTR Value) { return PutString(Value, RecorderState().SavePath); }

// ---- Filled by the receive path; puts are ignored ----

HRESULT TQorvX::get_CallerID(BSTR* Value) { return GetString(Value, RecorderState().CallerID); }
HRESULT TQorvX::put_CallerID(BSTR) { return S_OK; }
HRESULT TQorvX::get_QorEvent(BSTR* Value) { return GetString(Value, RecorderState().QorEvent); }
HRESULT TQorvX::put_QorEvent(BSTR) { return S_OK; }
