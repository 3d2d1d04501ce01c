// IDispatch through a type description: DispGetIDsOfNames, DispInvoke and
// the standard dispatch object of CreateStdDispatch.
#include <atomic>
#include <new>

#include "oaidl.h"

namespace {

// Answers IDispatch for an object (pvThis) through the type info of one of
// its dual or vtable interfaces, aggregated into the object's IUnknown: its
// own inner IUnknown (the one CreateStdDispatch hands out) counts its life,
// its IDispatch delegates identity and counting to the outer object.
class StdDispatch final : public IDispatch {
 public:
  StdDispatch(IUnknown* outer, void* object, ITypeInfo* info) : outer_(outer), object_(object), info_(info) {
    info_->AddRef();
    inner_.Owner = this;
  }

  IUnknown* Inner() { return &inner_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
    return outer_->QueryInterface(riid, ppvObject);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return outer_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return outer_->Release(); }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override {
    if (!pctinfo) return E_INVALIDARG;
    *pctinfo = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) override {
    if (!ppTInfo) return E_INVALIDARG;
    *ppTInfo = nullptr;
    if (iTInfo != 0) return DISP_E_BADINDEX;
    info_->AddRef();
    *ppTInfo = info_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID,
                                          DISPID* rgDispId) override {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    return DispGetIDsOfNames(info_, rgszNames, cNames, rgDispId);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    return DispInvoke(object_, info_, dispIdMember, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
  }

 private:
  struct InnerUnknown final : IUnknown {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
      if (!ppvObject) return E_POINTER;
      if (riid == IID_IUnknown) {
        *ppvObject = static_cast<IUnknown*>(this);
      } else if (riid == IID_IDispatch) {
        *ppvObject = static_cast<IDispatch*>(Owner);
      } else {
        *ppvObject = nullptr;
        return E_NOINTERFACE;
      }
      static_cast<IUnknown*>(*ppvObject)->AddRef();
      return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++Refs; }
    ULONG STDMETHODCALLTYPE Release() override {
      ULONG left = --Refs;
      if (left == 0) delete Owner;
      return left;
    }
    std::atomic<ULONG> Refs{1};
    StdDispatch* Owner = nullptr;
  };

  ~StdDispatch() { info_->Release(); }

  IUnknown* outer_;
  void* object_;
  ITypeInfo* info_;
  InnerUnknown inner_;
};

}  // namespace

HRESULT WINAPI DispGetIDsOfNames(ITypeInfo* ptinfo, LPOLESTR* rgszNames, UINT cNames, DISPID* rgdispid) {
  if (!ptinfo) return E_INVALIDARG;
  return ptinfo->GetIDsOfNames(rgszNames, cNames, rgdispid);
}

HRESULT WINAPI DispInvoke(void* _this, ITypeInfo* ptinfo, DISPID dispidMember, WORD wFlags, DISPPARAMS* pparams,
                          VARIANT* pvarResult, EXCEPINFO* pexcepinfo, UINT* puArgErr) {
  if (!ptinfo) return E_INVALIDARG;
  return ptinfo->Invoke(_this, dispidMember, wFlags, pparams, pvarResult, pexcepinfo, puArgErr);
}

HRESULT WINAPI CreateStdDispatch(IUnknown* punkOuter, void* pvThis, ITypeInfo* ptinfo, IUnknown** ppunkStdDisp) {
  if (!ppunkStdDisp) return E_INVALIDARG;
  *ppunkStdDisp = nullptr;
  if (!punkOuter || !pvThis || !ptinfo) return E_INVALIDARG;
  auto* object = new (std::nothrow) StdDispatch(punkOuter, pvThis, ptinfo);
  if (!object) return E_OUTOFMEMORY;
  *ppunkStdDisp = object->Inner();
  return S_OK;
}
