// ITypeInfo over a type of a library read from its file: attributes,
// members, names, documentation and references. Invoke is TypeInfoInvoke.cpp.
//
// A dual interface has two views, as on Windows. The library lists its
// dispatch view: a TKIND_DISPATCH type whose functions are those of every
// interface it derives from followed by its own, each in the form IDispatch
// calls it (an HRESULT result with a [retval] parameter becomes that
// parameter's type, without one it becomes void); its vtable size is
// IDispatch's. GetRefTypeOfImplType(-1) leads to the vtable view: the
// TKIND_INTERFACE type as the library stores it, with its own functions.
#include <algorithm>
#include <cstddef>
#include <new>

#include "NoThrow.h"
#include "TypeLibObjects.h"
#include "objbase.h"

namespace qorv::platform::typelib {

namespace {

constexpr int kMaxBaseDepth = 32;
constexpr UINT kVtableRef = static_cast<UINT>(-1);

void CopyType(const TYPEDESC& from, TYPEDESC& to, FuncModel& owner, int depth) {
  to = from;
  if (depth > 16) {
    to.vt = VT_VOID;
    return;
  }
  if ((from.vt == VT_PTR || from.vt == VT_SAFEARRAY) && from.lptdesc) {
    TYPEDESC& inner = owner.TypeDescs.emplace_back();
    CopyType(*from.lptdesc, inner, owner, depth + 1);
    to.lptdesc = &inner;
  } else if (from.vt == VT_CARRAY && from.lpadesc) {
    USHORT dims = from.lpadesc->cDims;
    size_t size = std::max<size_t>(sizeof(ARRAYDESC), offsetof(ARRAYDESC, rgbounds) + dims * sizeof(SAFEARRAYBOUND));
    auto& storage = owner.ArrayDescs.emplace_back(size);
    auto* array = new (storage.data()) ARRAYDESC{};
    CopyType(from.lpadesc->tdescElem, array->tdescElem, owner, depth + 1);
    array->cDims = dims;
    for (USHORT i = 0; i < dims; ++i) array->rgbounds[i] = from.lpadesc->rgbounds[i];
    to.lpadesc = array;
  }
}

template <class Remap>
void RemapTypes(TYPEDESC& type, Remap remap) {
  for (TYPEDESC* t = &type; t;) {
    if (t->vt == VT_USERDEFINED) {
      t->hreftype = remap(t->hreftype);
      return;
    }
    if (t->vt == VT_CARRAY) {
      t = t->lpadesc ? &t->lpadesc->tdescElem : nullptr;
    } else if (t->vt == VT_PTR || t->vt == VT_SAFEARRAY) {
      t = t->lptdesc;
    } else {
      return;
    }
  }
}

// A copy that owns all it points at, so it outlives the library it came from.
std::unique_ptr<FuncModel> DeepCopy(const FuncModel& from) {
  auto copy = std::make_unique<FuncModel>();
  copy->Desc = from.Desc;
  copy->Name = from.Name;
  copy->ParamNames = from.ParamNames;
  copy->DocString = from.DocString;
  copy->HasDocString = from.HasDocString;
  copy->HelpContext = from.HelpContext;
  CopyType(from.Desc.elemdescFunc.tdesc, copy->Desc.elemdescFunc.tdesc, *copy, 0);
  copy->Params.resize(from.Params.size());
  for (size_t i = 0; i < from.Params.size(); ++i) {
    const ELEMDESC& param = from.Params[i];
    copy->Params[i] = param;
    CopyType(param.tdesc, copy->Params[i].tdesc, *copy, 0);
    if (param.paramdesc.pparamdescex) {
      PARAMDESCEX& ex = copy->Defaults.emplace_back();
      ex.cBytes = sizeof(PARAMDESCEX);
      ex.varDefaultValue = param.paramdesc.pparamdescex->varDefaultValue;
      if (ex.varDefaultValue.vt == VT_BSTR) {
        const BSTR text = ex.varDefaultValue.bstrVal;
        ex.varDefaultValue.bstrVal = text ? SysAllocStringLen(text, SysStringLen(text)) : nullptr;
        if (text && !ex.varDefaultValue.bstrVal) {
          ex.varDefaultValue.vt = VT_EMPTY;
          throw std::bad_alloc();
        }
      }
      copy->Params[i].paramdesc.pparamdescex = &ex;
    }
  }
  copy->Desc.lprgelemdescParam = copy->Params.empty() ? nullptr : copy->Params.data();
  return copy;
}

// Turns a vtable function into the form the dispatch view lists.
void MakeDispatchForm(FuncModel& func) {
  func.Desc.funckind = FUNC_DISPATCH;
  for (size_t i = func.Params.size(); i-- > 0;) {
    if (func.Params[i].paramdesc.wParamFlags & PARAMFLAG_FLCID) {
      func.Params.erase(func.Params.begin() + static_cast<std::ptrdiff_t>(i));
      func.ParamNames.erase(func.ParamNames.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  if (func.Desc.elemdescFunc.tdesc.vt == VT_HRESULT) {
    bool retval = !func.Params.empty() && (func.Params.back().paramdesc.wParamFlags & PARAMFLAG_FRETVAL) &&
                  func.Params.back().tdesc.vt == VT_PTR && func.Params.back().tdesc.lptdesc;
    if (retval) {
      func.Desc.elemdescFunc = ELEMDESC{};
      func.Desc.elemdescFunc.tdesc = *func.Params.back().tdesc.lptdesc;
      func.Params.pop_back();
      func.ParamNames.pop_back();
    } else {
      func.Desc.elemdescFunc.tdesc = TYPEDESC{};
      func.Desc.elemdescFunc.tdesc.vt = VT_VOID;
    }
  }
  func.Desc.cParams = static_cast<SHORT>(func.Params.size());
  if (func.Desc.cParamsOpt > func.Desc.cParams) func.Desc.cParamsOpt = func.Desc.cParams;
  func.Desc.lprgelemdescParam = func.Params.empty() ? nullptr : func.Params.data();
}

std::unique_ptr<FuncModel> ShallowCopy(const FuncModel& from) {
  auto copy = std::make_unique<FuncModel>();
  copy->Desc = from.Desc;
  copy->Params = from.Params;  // nested parts stay with the library's model
  copy->Name = from.Name;
  copy->ParamNames = from.ParamNames;
  copy->DocString = from.DocString;
  copy->HasDocString = from.HasDocString;
  copy->HelpContext = from.HelpContext;
  copy->Desc.lprgelemdescParam = copy->Params.empty() ? nullptr : copy->Params.data();
  return copy;
}

TypeInfoObject* AsOurs(ITypeInfo* info) { return dynamic_cast<TypeInfoObject*>(info); }

// The base of a vtable type (its first implemented type), AddRef'ed.
HRESULT BaseOf(ITypeInfo* info, ITypeInfo** base) {
  *base = nullptr;
  TYPEATTR* attr = nullptr;
  HRESULT hr = info->GetTypeAttr(&attr);
  if (FAILED(hr)) return hr;
  WORD implTypes = attr->cImplTypes;
  info->ReleaseTypeAttr(attr);
  if (implTypes == 0) return S_FALSE;
  HREFTYPE ref = 0;
  hr = info->GetRefTypeOfImplType(0, &ref);
  if (FAILED(hr)) return hr;
  return FollowVtableReference(info, ref, base);
}

}  // namespace

HRESULT FollowVtableReference(ITypeInfo* from, HREFTYPE ref, ITypeInfo** out) {
  TypeInfoObject* ours = AsOurs(from);
  if (!ours) return from->GetRefTypeInfo(ref, out);
  return ours->Library().FollowReference(ref, true, out);
}

// ---- construction ----

TypeInfoObject::TypeInfoObject(TypeLibObject& lib, UINT index, View view) : lib_(lib), index_(index), view_(view) {
  attr_ = Model().Attr;
  if (view_ == View::DualDispatch) {
    attr_.typekind = TKIND_DISPATCH;
    attr_.cbSizeVft = static_cast<WORD>(7 * sizeof(void*));
    attr_.cFuncs = static_cast<WORD>(Model().InheritedSlots + Model().Funcs.size());
    attr_.wTypeFlags &= static_cast<WORD>(~TYPEFLAG_FOLEAUTOMATION);
  }
  BuildOwnFuncs();
}

TypeInfoObject::~TypeInfoObject() {
  for (ITypeInfo* held : resolved_.Held) held->Release();
  for (auto& [owner, ref] : resolved_.ForeignRefs) owner->Release();
}

void TypeInfoObject::BuildOwnFuncs() {
  for (const auto& func : Model().Funcs) {
    if (view_ != View::DualDispatch) {
      own_.push_back(func.get());
      continue;
    }
    auto form = ShallowCopy(*func);
    MakeDispatchForm(*form);
    own_.push_back(form.get());
    dispatchForms_.push_back(std::move(form));
  }
}

const TypeInfoModel& TypeInfoObject::Model() const { return lib_.Model().TypeInfos[index_]; }

bool TypeInfoObject::IsVtableView() const {
  return view_ == View::DualInterface || (view_ == View::Stored && attr_.typekind == TKIND_INTERFACE);
}

UINT TypeInfoObject::ListedInheritedCount() const { return view_ == View::DualDispatch ? Model().InheritedSlots : 0; }

// ---- what is worked out on first use ----

const TypeInfoObject::Resolved& TypeInfoObject::Resolve() {
  if (ready_.load(std::memory_order_acquire)) return resolved_;
  std::lock_guard guard(lock_);
  if (!ready_.load(std::memory_order_relaxed)) {
    try {
      if (view_ == View::DualDispatch) FlattenInherited(resolved_);
      CollectVtableFuncs(resolved_);
      planSlots_ = std::make_unique<std::atomic<InvokePlan*>[]>(resolved_.VtableFuncs.size());
    } catch (const std::bad_alloc&) {
      resolved_.Inherited = E_OUTOFMEMORY;
    }
    ready_.store(true, std::memory_order_release);
  }
  return resolved_;
}

HREFTYPE TypeInfoObject::RemapForeignRef(Resolved& resolved, ITypeInfo* owner, HREFTYPE ref) {
  owner->AddRef();
  resolved.ForeignRefs.emplace_back(owner, ref);
  return static_cast<HREFTYPE>(((resolved.ForeignRefs.size() - 1) << 2) | 2);
}

// The dispatch view lists the functions of every base interface, deepest
// first. A base in another library brings type references of that library;
// they are renumbered into ones GetRefTypeInfo of this view follows back.
void TypeInfoObject::FlattenInherited(Resolved& resolved) {
  std::vector<ITypeInfo*> bases;
  ITypeInfo* current = lib_.View(index_, true);
  current->AddRef();
  HRESULT hr = S_OK;
  for (int depth = 0; depth < kMaxBaseDepth; ++depth) {
    ITypeInfo* base = nullptr;
    hr = BaseOf(current, &base);
    current->Release();
    current = base;
    if (hr != S_OK) break;
    bases.push_back(base);
    base->AddRef();
  }
  if (current) current->Release();
  resolved.Inherited = FAILED(hr) ? hr : S_OK;
  for (auto it = bases.rbegin(); it != bases.rend() && SUCCEEDED(resolved.Inherited); ++it) {
    TypeInfoObject* base = AsOurs(*it);
    if (!base) {
      resolved.Inherited = TYPE_E_ELEMENTNOTFOUND;
      break;
    }
    bool foreign = &base->lib_ != &lib_;
    for (const FuncModel* func : base->own_) {
      auto copy = DeepCopy(*func);
      if (foreign) {
        auto remap = [&](HREFTYPE ref) { return RemapForeignRef(resolved, base, ref); };
        RemapTypes(copy->Desc.elemdescFunc.tdesc, remap);
        for (auto& param : copy->Params) RemapTypes(param.tdesc, remap);
      }
      MakeDispatchForm(*copy);
      resolved.InheritedFuncs.push_back(std::move(copy));
    }
  }
  for (ITypeInfo* base : bases) base->Release();
}

// Own functions first, then those of the base interfaces; the names of the
// members (with a dispinterface's properties) for GetIDsOfNames.
void TypeInfoObject::CollectVtableFuncs(Resolved& resolved) {
  auto add = [&](const FuncModel* func, ITypeInfo* owner) {
    resolved.ByMemberId.emplace(func->Desc.memid, resolved.VtableFuncs.size());
    resolved.VtableFuncs.push_back({func, owner});
    resolved.MemberIds.emplace(FoldName(func->Name), func->Desc.memid);
  };
  for (const FuncModel* func : own_) add(func, this);
  for (const auto& var : Model().Vars) resolved.MemberIds.emplace(FoldName(var->Name), var->Desc.memid);
  if (!IsVtableView()) return;
  ITypeInfo* current = this;
  current->AddRef();
  for (int depth = 0; depth < kMaxBaseDepth; ++depth) {
    ITypeInfo* base = nullptr;
    HRESULT hr = BaseOf(current, &base);
    current->Release();
    current = base;
    if (hr != S_OK) break;
    TypeInfoObject* ours = AsOurs(base);
    if (!ours) break;
    if (&ours->lib_ != &lib_) {
      base->AddRef();  // kept: its descriptions are used for as long as this view lives
      resolved.Held.push_back(base);
    }
    for (const FuncModel* func : ours->own_) add(func, base);
  }
  if (current) current->Release();
}

// ---- IUnknown: the library's count ----

HRESULT STDMETHODCALLTYPE TypeInfoObject::QueryInterface(REFIID riid, void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_ITypeInfo) {
    *ppvObject = static_cast<ITypeInfo*>(this);
    AddRef();
    return S_OK;
  }
  *ppvObject = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TypeInfoObject::AddRef() { return lib_.AddRef(); }

ULONG STDMETHODCALLTYPE TypeInfoObject::Release() { return lib_.Release(); }

// ---- attributes and members ----

HRESULT STDMETHODCALLTYPE TypeInfoObject::GetTypeAttr(TYPEATTR** ppTypeAttr) {
  if (!ppTypeAttr) return E_INVALIDARG;
  *ppTypeAttr = &attr_;
  return S_OK;
}

void STDMETHODCALLTYPE TypeInfoObject::ReleaseTypeAttr(TYPEATTR*) {}
void STDMETHODCALLTYPE TypeInfoObject::ReleaseFuncDesc(FUNCDESC*) {}
void STDMETHODCALLTYPE TypeInfoObject::ReleaseVarDesc(VARDESC*) {}

HRESULT STDMETHODCALLTYPE TypeInfoObject::GetTypeComp(ITypeComp** ppTComp) {
  if (ppTComp) *ppTComp = nullptr;
  return E_NOTIMPL;
}

const FuncModel* TypeInfoObject::ListedFunc(UINT index, HRESULT& error) {
  error = TYPE_E_ELEMENTNOTFOUND;
  if (index >= attr_.cFuncs) return nullptr;
  UINT inherited = ListedInheritedCount();
  if (index >= inherited) return own_[index - inherited];
  const Resolved& resolved = Resolve();
  if (FAILED(resolved.Inherited)) {
    error = resolved.Inherited;
    return nullptr;
  }
  return index < resolved.InheritedFuncs.size() ? resolved.InheritedFuncs[index].get() : nullptr;
}

HRESULT STDMETHODCALLTYPE TypeInfoObject::GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) {
  if (!ppFuncDesc) return E_INVALIDARG;
  *ppFuncDesc = nullptr;
  HRESULT error = S_OK;
  const FuncModel* func = ListedFunc(index, error);
  if (!func) return error;
  *ppFuncDesc = const_cast<FUNCDESC*>(&func->Desc);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInfoObject::GetVarDesc(UINT index, VARDESC** ppVarDesc) {
  if (!ppVarDesc) return E_INVALIDARG;
  *ppVarDesc = nullptr;
  if (index >= Model().Vars.size()) return TYPE_E_ELEMENTNOTFOUND;
  *ppVarDesc = const_cast<VARDESC*>(&Model().Vars[index]->Desc);
  return S_OK;
}

const FuncModel* TypeInfoObject::FindListedFunc(MEMBERID memid) {
  for (const FuncModel* func : own_) {
    if (func->Desc.memid == memid) return func;
  }
  if (ListedInheritedCount() == 0) return nullptr;
  for (const auto& func : Resolve().InheritedFuncs) {
    if (func->Desc.memid == memid) return func.get();
  }
  return nullptr;
}

const VarModel* TypeInfoObject::FindVar(MEMBERID memid) const {
  for (const auto& var : Model().Vars) {
    if (var->Desc.memid == memid) return var.get();
  }
  return nullptr;
}

HRESULT STDMETHODCALLTYPE TypeInfoObject::GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) {
  if (!rgBstrNames || !pcNames) return E_INVALIDARG;
  return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
    *pcNames = 0;
    const FuncModel* func = FindListedFunc(memid);
    if (!func && IsVtableView()) {
      const Resolved& resolved = Resolve();
      auto found = resolved.ByMemberId.find(memid);
      if (found != resolved.ByMemberId.end()) func = resolved.VtableFuncs[found->second].Func;
    }
    std::vector<const std::u16string*> names;
    if (func) {
      names.push_back(&func->Name);
      for (const auto& param : func->ParamNames) {
        if (param.empty()) break;  // the value of a property put has no name
        names.push_back(&param);
      }
    } else if (const VarModel* var = FindVar(memid)) {
      names.push_back(&var->Name);
    } else {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    UINT count = std::min<UINT>(cMaxNames, static_cast<UINT>(names.size()));
    for (UINT i = 0; i < count; ++i) {
      try {
        rgBstrNames[i] = MakeBstr(*names[i]);
      } catch (...) {
        for (UINT j = 0; j < i; ++j) SysFreeString(rgBstrNames[j]);
        throw;
      }
    }
    *pcNames = count;
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE TypeInfoObject::GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) {
  if (!pRefType) return E_INVALIDARG;
  if (index == kVtableRef) {
    if (view_ != View::DualDispatch) return TYPE_E_ELEMENTNOTFOUND;
    *pRefType = kDualInterfaceRef;
    return S_OK;
  }
  const auto& impls = Model().ImplTypes;
  if (index >= impls.size()) return TYPE_E_ELEMENTNOTFOUND;
  *pRefType = impls[index].Ref;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInfoObject::GetImplTypeFlags(UINT index, INT* pImplTypeFlags) {
  if (!pImplTypeFlags) return E_INVALIDARG;
  const auto& impls = Model().ImplTypes;
  if (index >= impls.size()) return TYPE_E_ELEMENTNOTFOUND;
  *pImplTypeFlags = impls[index].Flags;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInfoObject::GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) {
  if (!ppTInfo) return E_INVALIDARG;
  *ppTInfo = nullptr;
  if (hRefType == kDualInterfaceRef) {
    if (view_ != View::DualDispatch) return TYPE_E_ELEMENTNOTFOUND;
    *ppTInfo = lib_.View(index_, true);
    (*ppTInfo)->AddRef();
    return S_OK;
  }
  if ((hRefType & 3) == 2) {
    const Resolved& resolved = Resolve();
    size_t slot = hRefType >> 2;
    if (slot >= resolved.ForeignRefs.size()) return TYPE_E_ELEMENTNOTFOUND;
    return resolved.ForeignRefs[slot].first->GetRefTypeInfo(resolved.ForeignRefs[slot].second, ppTInfo);
  }
  return lib_.FollowReference(hRefType, IsVtableView(), ppTInfo);
}

HRESULT STDMETHODCALLTYPE TypeInfoObject::GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) {
  if (!rgszNames || !pMemId || cNames == 0) return E_INVALIDARG;
  if (view_ == View::DualDispatch) return lib_.View(index_, true)->GetIDsOfNames(rgszNames, cNames, pMemId);
  return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
    for (UINT i = 0; i < cNames; ++i) pMemId[i] = MEMBERID_NIL;
    const Resolved& resolved = Resolve();
    auto member = resolved.MemberIds.find(FoldName(rgszNames[0]));
    if (member == resolved.MemberIds.end()) return DISP_E_UNKNOWNNAME;
    pMemId[0] = member->second;
    // Argument names are the parameters' positions, in the first function of
    // the member that has them.
    HRESULT result = S_OK;
    auto [first, last] = resolved.ByMemberId.equal_range(member->second);
    for (UINT n = 1; n < cNames; ++n) {
      std::u16string wanted = FoldName(rgszNames[n]);
      for (auto it = first; it != last && pMemId[n] == MEMBERID_NIL; ++it) {
        const auto& params = resolved.VtableFuncs[it->second].Func->ParamNames;
        for (size_t p = 0; p < params.size(); ++p) {
          if (!params[p].empty() && FoldName(params[p]) == wanted) {
            pMemId[n] = static_cast<MEMBERID>(p);
            break;
          }
        }
      }
      if (pMemId[n] == MEMBERID_NIL) result = DISP_E_UNKNOWNNAME;
    }
    return result;
  });
}

HRESULT STDMETHODCALLTYPE TypeInfoObject::GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                                                           DWORD* pdwHelpContext, BSTR* pBstrHelpFile) {
  return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
    const std::u16string* name = nullptr;
    const std::u16string* doc = nullptr;
    DWORD context = 0;
    if (memid == MEMBERID_NIL) {
      name = &Model().Name;
      doc = Model().HasDocString ? &Model().DocString : nullptr;
      context = Model().HelpContext;
    } else if (const FuncModel* func = FindListedFunc(memid)) {
      name = &func->Name;
      doc = func->HasDocString ? &func->DocString : nullptr;
      context = func->HelpContext;
    } else if (const VarModel* var = FindVar(memid)) {
      name = &var->Name;
      doc = var->HasDocString ? &var->DocString : nullptr;
      context = var->HelpContext;
    } else {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    const TypeLibModel& lib = lib_.Model();
    BSTR nameText = pBstrName ? MakeBstr(*name) : nullptr;
    BSTR docText = nullptr;
    BSTR fileText = nullptr;
    try {
      if (pBstrDocString && doc) docText = MakeBstr(*doc);
      if (pBstrHelpFile && lib.HasHelpFile) fileText = MakeBstr(lib.HelpFile);
    } catch (...) {
      SysFreeString(nameText);
      SysFreeString(docText);
      throw;
    }
    if (pBstrName) *pBstrName = nameText;
    if (pBstrDocString) *pBstrDocString = docText;
    if (pBstrHelpFile) *pBstrHelpFile = fileText;
    if (pdwHelpContext) *pdwHelpContext = context;
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE TypeInfoObject::GetDllEntry(MEMBERID, INVOKEKIND, BSTR* pBstrDllName, BSTR* pBstrName,
                                                      WORD* pwOrdinal) {
  if (pBstrDllName) *pBstrDllName = nullptr;
  if (pBstrName) *pBstrName = nullptr;
  if (pwOrdinal) *pwOrdinal = 0;
  return TYPE_E_BADMODULEKIND;
}

HRESULT STDMETHODCALLTYPE TypeInfoObject::AddressOfMember(MEMBERID, INVOKEKIND, PVOID* ppv) {
  if (ppv) *ppv = nullptr;
  return TYPE_E_BADMODULEKIND;
}

HRESULT STDMETHODCALLTYPE TypeInfoObject::CreateInstance(IUnknown* pUnkOuter, REFIID riid, PVOID* ppvObj) {
  if (!ppvObj) return E_INVALIDARG;
  *ppvObj = nullptr;
  if (attr_.typekind != TKIND_COCLASS) return TYPE_E_WRONGTYPEKIND;
  return CoCreateInstance(attr_.guid, pUnkOuter, CLSCTX_INPROC_SERVER, riid, ppvObj);
}

HRESULT STDMETHODCALLTYPE TypeInfoObject::GetMops(MEMBERID, BSTR* pBstrMops) {
  if (!pBstrMops) return E_INVALIDARG;
  *pBstrMops = nullptr;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInfoObject::GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) {
  if (!ppTLib) return E_INVALIDARG;
  *ppTLib = &lib_;
  lib_.AddRef();
  if (pIndex) *pIndex = index_;
  return S_OK;
}

}  // namespace qorv::platform::typelib
