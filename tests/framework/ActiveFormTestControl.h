// The pieces the active-form control tests drive: a form class with a dual
// interface of its own (described by data/ActiveFormTest.idl), an event sink
// that records what reaches it, a property change sink, and the factory
// information that creates the control from the compiled type library.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ActiveFormControl.h"
#include "DispatchSilencer.h"
#include "Forms.h"
#include "oleauto.h"

// {4C650874-B6C6-4194-BA31-38A89922B8C8}
inline constexpr IID IID_ITestForm{0x4C650874, 0xB6C6, 0x4194, {0xBA, 0x31, 0x38, 0xA8, 0x99, 0x22, 0xB8, 0xC8}};
// {E84B6255-C545-43DD-8D15-5DB05301BC81}
inline constexpr IID DIID_ITestFormEvents{0xE84B6255, 0xC545, 0x43DD, {0x8D, 0x15, 0x5D, 0xB0, 0x53, 0x01, 0xBC, 0x81}};
// {B3E87E21-9BF7-4BCA-A7DB-2835E3149C6C}
inline constexpr CLSID CLSID_TestForm{0xB3E87E21, 0x9BF7, 0x4BCA, {0xA7, 0xDB, 0x28, 0x35, 0xE3, 0x14, 0x9C, 0x6C}};

inline constexpr DISPID kOnClick = 2;
inline constexpr DISPID kOnCreate = 3;
inline constexpr DISPID kOnDestroy = 6;
inline constexpr DISPID kOnKeyPress = 11;

struct ITestForm : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Count(LONG Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Peer(IDispatch** Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Peer(IDispatch* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_Peer(IDispatch** Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_Target(IDispatch* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Fail(BSTR message) = 0;
  virtual HRESULT STDMETHODCALLTYPE FailWith(LONG result) = 0;

 protected:
  ~ITestForm() = default;
};

// A form as the control expects one: its IUnknown and IDispatch pass to the
// control object, it keeps the event sink it is given and fires four events.
class TTestForm : public TActiveForm, public ITestForm {
 public:
  explicit TTestForm(TComponent* owner) : TActiveForm(owner) {
    // What a stored description would bind: runs once, at creation.
    OnCreate = [this](TObject*) { ++Creations; };
  }
  ~TTestForm() override {
    OnClick = nullptr;
    OnCreate = nullptr;
    OnDestroy = nullptr;
    OnKeyPress = nullptr;
    if (sink_) sink_->Release();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return Control()->QueryInterface(riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return Control()->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return Control()->Release(); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override { return Control()->GetTypeInfoCount(pctinfo); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID lcid, ITypeInfo** pp) override {
    return Control()->GetTypeInfo(i, lcid, pp);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
    return Control()->GetIDsOfNames(riid, names, count, lcid, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excep, UINT* argErr) override {
    return Control()->Invoke(id, riid, lcid, flags, params, result, excep, argErr);
  }

  HRESULT STDMETHODCALLTYPE get_Count(LONG* Value) override {
    if (!Value) return E_POINTER;
    *Value = Count;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Count(LONG Value) override {
    Count = Value;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Peer(IDispatch** Value) override {
    if (!Value) return E_POINTER;
    *Value = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Peer(IDispatch*) override {
    Calls.push_back("put_Peer");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE putref_Peer(IDispatch**) override {
    Calls.push_back("putref_Peer");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE putref_Target(IDispatch*) override {
    Calls.push_back("putref_Target");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Fail(BSTR message) override {
    std::string text;
    for (UINT i = 0; i < SysStringLen(message); ++i) text += static_cast<char>(message[i]);
    return Control()->MemberFailure(text, 7);
  }
  HRESULT STDMETHODCALLTYPE FailWith(LONG result) override {
    return Control()->MemberFailure("failed with a result", 0, static_cast<HRESULT>(result));
  }

  void* FormInterface(REFIID iid) override {
    if (IsEqualIID(iid, IID_ITestForm) || IsEqualIID(iid, IID_IDispatch)) return static_cast<ITestForm*>(this);
    return nullptr;
  }
  void SetEventSink(IUnknown* sink) override {
    if (sink && RefuseSinks) throw Exception("The form cannot take a sink now");
    IDispatch* next = nullptr;
    if (sink) sink->QueryInterface(DIID_ITestFormEvents, reinterpret_cast<void**>(&next));
    if (IDispatch* previous = std::exchange(sink_, next)) previous->Release();
    ++SinkChanges;
    TActiveForm::SetEventSink(sink);
  }
  void HookEvents() override {
    OnClick = [this](TObject*) { Fire(kOnClick); };
    OnCreate = [this](TObject*) { Fire(kOnCreate); };
    OnDestroy = [this](TObject*) { Fire(kOnDestroy); };
    OnKeyPress = [this](TObject*, char& key) {
      if (IDispatch* sink = sink_) {
        sink->AddRef();
        FireSinkKeyEvent(sink, kOnKeyPress, key);
        sink->Release();
      }
    };
  }

  bool HasSink() const { return sink_ != nullptr; }

  int Creations = 0;
  int SinkChanges = 0;
  bool RefuseSinks = false;
  LONG Count = 0;
  std::vector<std::string> Calls;

 private:
  void Fire(DISPID id) {
    if (IDispatch* sink = sink_) {
      sink->AddRef();
      FireSinkEvent(sink, id);
      sink->Release();
    }
  }

  IDispatch* sink_ = nullptr;
};

// Counts its references; answers IUnknown and IDispatch and, unless told
// not to, the event interface. Records every event's dispid.
class TRecordingSink final : public IDispatch {
 public:
  explicit TRecordingSink(bool answersEvents = true) : answersEvents_(answersEvents) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        (answersEvents_ && IsEqualIID(riid, DIID_ITestFormEvents))) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs_); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return DISP_E_BADINDEX; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    Events.push_back(id);
    Flags.push_back(flags);
    if (id == kOnKeyPress && params && params->cArgs == 1 && params->rgvarg[0].vt == (VT_I2 | VT_BYREF)) {
      KeysSeen.push_back(*params->rgvarg[0].piVal);
      if (ReplaceKey) *params->rgvarg[0].piVal = *ReplaceKey;
    }
    if (OnEvent) OnEvent(id);
    return FailWith;
  }

  long References() const { return refs_; }

  std::vector<DISPID> Events;
  std::vector<WORD> Flags;
  std::vector<SHORT> KeysSeen;
  const SHORT* ReplaceKey = nullptr;
  HRESULT FailWith = S_OK;
  std::function<void(DISPID)> OnEvent;

 private:
  bool answersEvents_;
  long refs_ = 1;  // the test's own
};

// Counts OnChanged calls per dispid.
class TPropertySink final : public IPropertyNotifySink {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IPropertyNotifySink)) return E_NOINTERFACE;
    *ppv = static_cast<IPropertyNotifySink*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs_); }
  HRESULT STDMETHODCALLTYPE OnChanged(DISPID id) override {
    Changed.push_back(id);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }

  long References() const { return refs_; }
  std::vector<DISPID> Changed;

 private:
  long refs_ = 1;
};
