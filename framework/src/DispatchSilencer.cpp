#include "DispatchSilencer.h"

#include <oleauto.h>
#include <synch.h>

namespace {

class TDispatchSilencer final : public IDispatch {
 public:
  TDispatchSilencer(IDispatch* sink, REFIID eventIid) : sink_(sink), eventIid_(eventIid) { sink_->AddRef(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch) && !IsEqualIID(riid, eventIid_)) {
      return E_NOINTERFACE;
    }
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override { return sink_->GetTypeInfoCount(pctinfo); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override {
    return sink_->GetTypeInfo(iTInfo, lcid, ppTInfo);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                          DISPID* rgDispId) override {
    return sink_->GetIDsOfNames(riid, rgszNames, cNames, lcid, rgDispId);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override {
    // The sink may disconnect itself inside the event, which frees this
    // wrapper's last holder; the sink must outlive its own call.
    IDispatch* sink = sink_;
    sink->AddRef();
    AddRef();
    sink->Invoke(dispIdMember, riid, lcid, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
    Release();
    sink->Release();
    return S_OK;
  }

 private:
  ~TDispatchSilencer() { sink_->Release(); }

  IDispatch* sink_;
  IID eventIid_;
  volatile LONG refs_ = 1;
};

}  // namespace

IDispatch* NewDispatchSilencer(IDispatch* sink, REFIID eventIid) { return new TDispatchSilencer(sink, eventIid); }

void FireSinkEvent(IDispatch* sink, DISPID dispid) {
  if (!sink) return;
  DISPPARAMS params{nullptr, nullptr, 0, 0};
  sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

void FireSinkKeyEvent(IDispatch* sink, DISPID dispid, char& key) {
  if (!sink) return;
  SHORT value = static_cast<SHORT>(static_cast<unsigned char>(key));
  VARIANTARG argument;
  VariantInit(&argument);
  argument.vt = VT_I2 | VT_BYREF;
  argument.piVal = &value;
  DISPPARAMS params{&argument, nullptr, 1, 0};
  sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  key = static_cast<char>(static_cast<unsigned short>(value) & 0xFF);
}
