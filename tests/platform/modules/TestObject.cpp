#include "TestObject.h"

#include <string>

#include "../ComTestSupport.h"

namespace qorv::test {

std::atomic<long> TestObject::Live{0};

namespace {

BSTR Copy(const std::string& text) {
  std::u16string wide = Wide(text);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string DescribeValue(const VARIANT& value) {
  switch (value.vt) {
    case VT_EMPTY: return "EMPTY";
    case VT_I2: return "I2:" + std::to_string(value.iVal);
    case VT_I4: return "I4:" + std::to_string(value.lVal);
    case VT_BOOL: return "BOOL:" + std::to_string(value.boolVal);
    case VT_BSTR: return "BSTR:" + Narrow(value.bstrVal);
    case VT_ERROR: return value.scode == DISP_E_PARAMNOTFOUND ? "missing" : "ERROR";
    case VT_DISPATCH: return "DISPATCH";
    default: return "VT" + std::to_string(value.vt);
  }
}

}  // namespace

TestObject::TestObject(ITypeInfo* info) : info_(info) {
  info_->AddRef();
  ++Live;
}

TestObject::~TestObject() {
  SysFreeString(caption_);
  if (peer_) peer_->Release();
  if (font_) font_->Release();
  info_->Release();
  --Live;
}

HRESULT STDMETHODCALLTYPE TestObject::QueryInterface(REFIID riid, void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_ITestObject) {
    *ppvObject = static_cast<ITestObject*>(this);
  } else if (riid == IID_ISupportErrorInfo) {
    *ppvObject = static_cast<ISupportErrorInfo*>(this);
  } else {
    *ppvObject = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE TestObject::AddRef() { return ++refs_; }

ULONG STDMETHODCALLTYPE TestObject::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT STDMETHODCALLTYPE TestObject::GetTypeInfoCount(UINT* pctinfo) {
  if (!pctinfo) return E_INVALIDARG;
  *pctinfo = 1;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) {
  if (!ppTInfo) return E_INVALIDARG;
  *ppTInfo = nullptr;
  if (iTInfo != 0) return DISP_E_BADINDEX;
  info_->AddRef();
  *ppTInfo = info_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) {
  return DispGetIDsOfNames(info_, rgszNames, cNames, rgDispId);
}

HRESULT STDMETHODCALLTYPE TestObject::Invoke(DISPID dispIdMember, REFIID, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                             VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  return DispInvoke(static_cast<ITestObject*>(this), info_, dispIdMember, wFlags, pDispParams, pVarResult, pExcepInfo,
                    puArgErr);
}

HRESULT STDMETHODCALLTYPE TestObject::InterfaceSupportsErrorInfo(REFIID riid) {
  return riid == IID_ITestObject ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE TestObject::get_Visible(VARIANT_BOOL* Value) {
  if (!Value) return E_POINTER;
  *Value = visible_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::put_Visible(VARIANT_BOOL Value) {
  visible_ = Value ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::get_Caption(BSTR* Value) {
  if (!Value) return E_POINTER;
  *Value = caption_ ? SysAllocStringLen(caption_, SysStringLen(caption_)) : nullptr;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::put_Caption(BSTR Value) {
  SysFreeString(caption_);
  caption_ = Value ? SysAllocStringLen(Value, SysStringLen(Value)) : nullptr;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::get_Small(CHAR* Value) {
  if (!Value) return E_POINTER;
  *Value = small_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::put_Small(CHAR Value) {
  small_ = Value;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::get_Octet(BYTE* Value) {
  if (!Value) return E_POINTER;
  *Value = octet_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::put_Octet(BYTE Value) {
  octet_ = Value;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::get_Short(SHORT* Value) {
  if (!Value) return E_POINTER;
  *Value = short_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::put_Short(SHORT Value) {
  short_ = Value;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::get_Word(USHORT* Value) {
  if (!Value) return E_POINTER;
  *Value = word_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::put_Word(USHORT Value) {
  word_ = Value;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::get_Long(LONG* Value) {
  if (!Value) return E_POINTER;
  *Value = long_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::put_Long(LONG Value) {
  long_ = Value;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::get_Color(DWORD* Value) {
  if (!Value) return E_POINTER;
  *Value = color_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::put_Color(DWORD Value) {
  color_ = Value;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::get_Shade(TxShade* Value) {
  if (!Value) return E_POINTER;
  *Value = shade_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::put_Shade(TxShade Value) {
  shade_ = Value;
  return S_OK;
}

void TestObject::Hold(IDispatch*& slot, IDispatch* value) {
  if (value) value->AddRef();
  if (slot) slot->Release();
  slot = value;
}

HRESULT STDMETHODCALLTYPE TestObject::get_Peer(IDispatch** Value) {
  if (!Value) return E_POINTER;
  *Value = peer_;
  if (peer_) peer_->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::put_Peer(IDispatch* Value) {
  Hold(peer_, Value);
  peerPutKind_ = 1;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::putref_Peer(IDispatch** Value) {
  if (!Value) return E_POINTER;
  Hold(peer_, *Value);
  peerPutKind_ = 2;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::get_Font(IDispatch** Value) {
  if (!Value) return E_POINTER;
  *Value = font_;
  if (font_) font_->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::put_Font(IDispatch* Value) {
  Hold(font_, Value);
  fontPutKind_ = 1;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::putref_Font(IDispatch** Value) {
  if (!Value) return E_POINTER;
  Hold(font_, *Value);
  fontPutKind_ = 2;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::Add(LONG a, LONG b, LONG* sum) {
  if (!sum) return E_POINTER;
  *sum = a + b;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::Swap(LONG* number, BSTR* text) {
  if (!number || !text) return E_POINTER;
  *number *= 2;
  std::string changed = Narrow(*text) + "!";
  SysFreeString(*text);
  *text = Copy(changed);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::Fail(BSTR message) {
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create))) return E_OUTOFMEMORY;
  std::u16string source = Wide(kTestProgId);
  create->SetGUID(IID_ITestObject);
  create->SetSource(source.data());
  create->SetDescription(message);
  create->SetHelpContext(99);
  IErrorInfo* info = nullptr;
  create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
  SetErrorInfo(0, info);
  info->Release();
  create->Release();
  return kTestFailure;
}

HRESULT STDMETHODCALLTYPE TestObject::Describe(VARIANT any, BSTR* text) {
  if (!text) return E_POINTER;
  *text = Copy(DescribeValue(any));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::Mixed(CHAR a, BYTE b, SHORT c, USHORT d, LONG e, VARIANT_BOOL f, BSTR g,
                                            BSTR* text) {
  if (!text) return E_POINTER;
  std::string all = std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "," + std::to_string(d) +
                    "," + std::to_string(e) + "," + std::to_string(f) + "," + Narrow(g);
  *text = Copy(all);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestObject::AboutBox() {
  ++aboutBoxCalls_;
  return S_OK;
}

}  // namespace qorv::test
