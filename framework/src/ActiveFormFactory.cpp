#include "ActiveFormFactory.h"

#include <algorithm>
#include <exception>

#include "AnsiStrings.h"
#include "ComObj.h"
#include "ComServer.h"
#include "Dialogs.h"
#include "Format.h"

namespace {

// The status bits every active-form control has besides those it is given:
// recompose on resize, not linkable inside, inside-out, activate when
// visible, client site first.
constexpr DWORD kControlMiscStatus = 0x1 | 0x10 | 0x80 | 0x100 | 0x20000;

// The type description of the coclass's implemented type with exactly these
// flags among default and source; null when there is none.
ITypeInfo* ImplementedType(ITypeInfo* coclass, bool source) {
  TYPEATTR* attr = nullptr;
  if (FAILED(coclass->GetTypeAttr(&attr))) return nullptr;
  WORD count = attr->cImplTypes;
  coclass->ReleaseTypeAttr(attr);
  const INT wanted = IMPLTYPEFLAG_FDEFAULT | (source ? IMPLTYPEFLAG_FSOURCE : 0);
  for (UINT i = 0; i < count; ++i) {
    INT flags = 0;
    HREFTYPE ref = 0;
    if (FAILED(coclass->GetImplTypeFlags(i, &flags)) || FAILED(coclass->GetRefTypeOfImplType(i, &ref))) continue;
    if ((flags & (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) != wanted) continue;
    ITypeInfo* found = nullptr;
    if (SUCCEEDED(coclass->GetRefTypeInfo(ref, &found))) return found;
  }
  return nullptr;
}

TYPEKIND KindOf(ITypeInfo* info) {
  TYPEATTR* attr = nullptr;
  OleCheck(info->GetTypeAttr(&attr));
  TYPEKIND kind = attr->typekind;
  info->ReleaseTypeAttr(attr);
  return kind;
}

GUID GuidOf(ITypeInfo* info) {
  TYPEATTR* attr = nullptr;
  OleCheck(info->GetTypeAttr(&attr));
  GUID guid = attr->guid;
  info->ReleaseTypeAttr(attr);
  return guid;
}

// The creation error box: no owner window, and a period after a message
// that ends in anything sorting after one.
void ShowCreationError(const std::string& message) {
  std::string text = message;
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  MessageBox(text, "Error", MB_OK | MB_ICONERROR);
}

}  // namespace

TActiveFormFactory::TActiveFormFactory(TComServer& server, TActiveFormFactoryRecord record)
    : server_(server), record_(std::move(record)) {
  info_.ClassID = record_.ClassID;
  info_.CreateForm = record_.CreateForm;
  info_.LiveObjects = server_.LiveObjectCounter();
  info_.MiscStatus = record_.MiscStatus | kControlMiscStatus;
  try {
    ReadTypeInformation();
  } catch (...) {
    if (info_.ClassTypeInfo) info_.ClassTypeInfo->Release();
    if (info_.DispatchTypeInfo) info_.DispatchTypeInfo->Release();
    throw;
  }
}

TActiveFormFactory::~TActiveFormFactory() {
  if (info_.ClassTypeInfo) info_.ClassTypeInfo->Release();
  if (info_.DispatchTypeInfo) info_.DispatchTypeInfo->Release();
}

void TActiveFormFactory::ReadTypeInformation() {
  const std::string& className = record_.ControlClassName;
  ITypeInfo* coclass = nullptr;
  if (FAILED(server_.TypeLib()->GetTypeInfoOfGuid(record_.ClassID, &coclass)) || !coclass) {
    throw EOleError(Format("Type information missing for class %s", {className}));
  }
  info_.ClassTypeInfo = coclass;
  // The identifier of an interface is no class.
  if (KindOf(coclass) != TKIND_COCLASS) throw EOleError(Format("Type information missing for class %s", {className}));
  BSTR name = nullptr;
  BSTR description = nullptr;
  OleCheck(coclass->GetDocumentation(MEMBERID_NIL, &name, &description, nullptr, nullptr));
  info_.ClassName = WideToAnsi(name);
  info_.Description = WideToAnsi(description);
  SysFreeString(name);
  SysFreeString(description);

  ITypeInfo* dispatch = ImplementedType(coclass, false);
  if (!dispatch) throw EOleError(Format("Incorrect type information for class %s", {className}));
  info_.DispatchTypeInfo = dispatch;
  info_.DispatchIID = GuidOf(dispatch);
  const auto& implemented = record_.FormInterfaces;
  if (std::find(implemented.begin(), implemented.end(), info_.DispatchIID) == implemented.end()) {
    throw EOleError(Format("Dispatch interface missing from class %s", {className}));
  }
  if (ITypeInfo* events = ImplementedType(coclass, true)) {
    info_.EventIID = GuidOf(events);
    events->Release();
  }
  info_.ProgID = server_.ServerName() + "." + info_.ClassName;
}

HRESULT STDMETHODCALLTYPE TActiveFormFactory::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid != IID_IUnknown && riid != IID_IClassFactory) {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  *ppv = static_cast<IClassFactory*>(this);
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE TActiveFormFactory::AddRef() { return static_cast<ULONG>(server_.CountFactoryReference(true)); }

ULONG STDMETHODCALLTYPE TActiveFormFactory::Release() {
  return static_cast<ULONG>(server_.CountFactoryReference(false));
}

HRESULT STDMETHODCALLTYPE TActiveFormFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
  try {
    return TActiveFormControl::CreateInstance(info_, outer, riid, ppv);
  } catch (const std::exception& failure) {
    *ppv = nullptr;
    ShowCreationError(failure.what());
    return E_UNEXPECTED;
  }
}

HRESULT STDMETHODCALLTYPE TActiveFormFactory::LockServer(BOOL lock) {
  HRESULT hr = CoLockObjectExternal(this, lock, TRUE);
  server_.CountObject(lock != FALSE);
  return hr;
}
