#include "DispatchByName.h"

#include <cstdio>

#include "codepage.h"
#include "oleauto.h"

namespace qorv::tools {
namespace {

std::string ResultText(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

// Owns an EXCEPINFO's strings for the length of one call.
struct TExcepInfo {
  EXCEPINFO Info{};
  ~TExcepInfo() {
    SysFreeString(Info.bstrSource);
    SysFreeString(Info.bstrDescription);
    SysFreeString(Info.bstrHelpFile);
  }
};

}  // namespace

BSTR NewBStr(const std::string& utf8) {
  if (utf8.empty()) return nullptr;
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (length <= 0) throw EDispatchError("text that is not UTF-8: " + utf8, E_INVALIDARG);
  BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(length));
  if (!text) throw EDispatchError("out of memory", E_OUTOFMEMORY);
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text, length);
  return text;
}

std::string Utf8Of(BSTR text) {
  const UINT length = SysStringLen(text);
  if (length == 0) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8.data(), size, nullptr, nullptr);
  return utf8;
}

TDispatchByName::TDispatchByName(IDispatch* object) : object_(object) {
  if (!object_) throw EDispatchError("no object", E_POINTER);
  object_->AddRef();
}

TDispatchByName::~TDispatchByName() { object_->Release(); }

DISPID TDispatchByName::Id(const std::string& name) {
  auto found = ids_.find(name);
  if (found != ids_.end()) return found->second;
  BSTR wide = NewBStr(name);
  LPOLESTR names[] = {wide};
  DISPID id = DISPID_UNKNOWN;
  const HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, 0x0409, &id);
  SysFreeString(wide);
  if (FAILED(hr)) throw EDispatchError("no member named " + name + " (" + ResultText(hr) + ")", hr);
  ids_[name] = id;
  return id;
}

HRESULT TDispatchByName::Invoke(const std::string& name, WORD flags, DISPPARAMS& params, VARIANT* result) {
  TExcepInfo error;
  UINT argumentError = 0;
  const HRESULT hr = object_->Invoke(Id(name), IID_NULL, 0x0409, flags, &params, result, &error.Info, &argumentError);
  if (SUCCEEDED(hr)) return hr;
  if (hr == DISP_E_EXCEPTION) {
    if (error.Info.pfnDeferredFillIn) error.Info.pfnDeferredFillIn(&error.Info);
    const HRESULT code = error.Info.scode ? error.Info.scode : hr;
    throw EDispatchError(name + ": " + Utf8Of(error.Info.bstrDescription), code);
  }
  throw EDispatchError(name + " failed with " + ResultText(hr), hr);
}

void TDispatchByName::Put(const std::string& name, const VARIANT& value) {
  VARIANT argument = value;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&argument, &named, 1, 1};
  Invoke(name, DISPATCH_PROPERTYPUT, params, nullptr);
}

void TDispatchByName::PutBool(const std::string& name, bool value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  Put(name, v);
}

void TDispatchByName::PutText(const std::string& name, const std::string& utf8) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = NewBStr(utf8);
  try {
    Put(name, v);
  } catch (...) {
    VariantClear(&v);
    throw;
  }
  VariantClear(&v);
}

void TDispatchByName::PutInteger(const std::string& name, VARTYPE type, long value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  VARIANT converted;
  VariantInit(&converted);
  const HRESULT hr = VariantChangeType(&converted, &v, 0, type);
  if (FAILED(hr)) throw EDispatchError(name + ": the value does not fit", hr);
  Put(name, converted);
}

VARIANT TDispatchByName::Get(const std::string& name) {
  VARIANT result;
  VariantInit(&result);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  Invoke(name, DISPATCH_PROPERTYGET, none, &result);
  return result;
}

std::string TDispatchByName::GetText(const std::string& name) {
  VARIANT value = Get(name);
  VARIANT text;
  VariantInit(&text);
  const HRESULT hr = VariantChangeType(&text, &value, 0, VT_BSTR);
  VariantClear(&value);
  if (FAILED(hr)) throw EDispatchError(name + " is no text", hr);
  std::string utf8 = Utf8Of(text.bstrVal);
  VariantClear(&text);
  return utf8;
}

bool TDispatchByName::GetBool(const std::string& name) {
  VARIANT value = Get(name);
  VARIANT flag;
  VariantInit(&flag);
  const HRESULT hr = VariantChangeType(&flag, &value, 0, VT_BOOL);
  VariantClear(&value);
  if (FAILED(hr)) throw EDispatchError(name + " is no boolean", hr);
  return flag.boolVal != VARIANT_FALSE;
}

long TDispatchByName::GetInteger(const std::string& name) {
  VARIANT value = Get(name);
  VARIANT number;
  VariantInit(&number);
  const HRESULT hr = VariantChangeType(&number, &value, 0, VT_I4);
  VariantClear(&value);
  if (FAILED(hr)) throw EDispatchError(name + " is no number", hr);
  return number.lVal;
}

void TDispatchByName::Call(const std::string& name) {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  Invoke(name, DISPATCH_METHOD, none, nullptr);
}

HRESULT TDispatchByName::GetById(DISPID id, VARIANT* result) {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  return object_->Invoke(id, IID_NULL, 0x0409, DISPATCH_PROPERTYGET, &none, result, nullptr, nullptr);
}

}  // namespace qorv::tools
