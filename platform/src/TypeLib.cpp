// ITypeLib over a library read from its file, and the following of type
// references into this library and the libraries it imports.
#include <new>

#include "NoThrow.h"
#include "TypeLibLoad.h"
#include "TypeLibObjects.h"
#include "systemroot.h"

namespace qorv::platform::typelib {

namespace {

bool IsDual(const TypeInfoModel& info) { return (info.Attr.wTypeFlags & TYPEFLAG_FDUAL) && info.InheritedSlots > 0; }

char16_t FoldChar(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
  // Latin-1 small letters, except the division sign and y with diaeresis.
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
  return c;
}

bool Absolute(const std::string& path) {
  return (!path.empty() && (path[0] == '/' || path[0] == '\\')) || (path.size() > 1 && path[1] == ':');
}

}  // namespace

std::u16string FoldName(const std::u16string& name) {
  std::u16string folded = name;
  for (auto& c : folded) c = FoldChar(c);
  return folded;
}

std::u16string FoldName(const OLECHAR* name) {
  std::u16string text;
  if (name) {
    for (; *name; ++name) text.push_back(FoldChar(*name));
  }
  return text;
}

BSTR MakeBstr(const std::u16string& text) {
  BSTR result = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (!result) throw std::bad_alloc();
  return result;
}

// ---- creation and lifetime ----

TypeLibObject::TypeLibObject(std::unique_ptr<TypeLibModel> model, std::string path)
    : model_(std::move(model)), path_(std::move(path)) {
  size_t count = model_->TypeInfos.size();
  imports_.assign(model_->ImportFiles.size(), nullptr);
  primary_.reserve(count);
  vtableViews_.resize(count);
  for (UINT i = 0; i < count; ++i) {
    bool dual = IsDual(model_->TypeInfos[i]);
    primary_.push_back(std::make_unique<TypeInfoObject>(
        *this, i, dual ? TypeInfoObject::View::DualDispatch : TypeInfoObject::View::Stored));
    if (dual) vtableViews_[i] = std::make_unique<TypeInfoObject>(*this, i, TypeInfoObject::View::DualInterface);
  }
}

TypeLibObject::~TypeLibObject() {
  // The type infos let go of what they hold in other libraries first.
  primary_.clear();
  vtableViews_.clear();
  for (ITypeLib* imported : imports_) {
    if (imported) imported->Release();
  }
}

HRESULT TypeLibObject::Create(std::unique_ptr<TypeLibModel> model, std::string path, ITypeLib** out) {
  try {
    *out = new TypeLibObject(std::move(model), std::move(path));
    return S_OK;
  } catch (const std::bad_alloc&) {
    *out = nullptr;
    return E_OUTOFMEMORY;
  }
}

HRESULT STDMETHODCALLTYPE TypeLibObject::QueryInterface(REFIID riid, void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_ITypeLib) {
    *ppvObject = static_cast<ITypeLib*>(this);
    AddRef();
    return S_OK;
  }
  *ppvObject = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TypeLibObject::AddRef() { return ++refs_; }

ULONG STDMETHODCALLTYPE TypeLibObject::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

// ---- the listing ----

TypeInfoObject* TypeLibObject::View(UINT index, bool vtableView) const {
  if (index >= primary_.size()) return nullptr;
  if (vtableView && vtableViews_[index]) return vtableViews_[index].get();
  return primary_[index].get();
}

UINT STDMETHODCALLTYPE TypeLibObject::GetTypeInfoCount() { return static_cast<UINT>(primary_.size()); }

HRESULT STDMETHODCALLTYPE TypeLibObject::GetTypeInfo(UINT index, ITypeInfo** ppTInfo) {
  if (!ppTInfo) return E_INVALIDARG;
  *ppTInfo = View(index, false);
  if (!*ppTInfo) return TYPE_E_ELEMENTNOTFOUND;
  (*ppTInfo)->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeLibObject::GetTypeInfoType(UINT index, TYPEKIND* pTKind) {
  if (!pTKind) return E_INVALIDARG;
  TypeInfoObject* info = View(index, false);
  if (!info) return TYPE_E_ELEMENTNOTFOUND;
  TYPEATTR* attr = nullptr;
  info->GetTypeAttr(&attr);
  *pTKind = attr->typekind;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeLibObject::GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo) {
  if (!ppTinfo) return E_INVALIDARG;
  *ppTinfo = nullptr;
  for (UINT i = 0; i < model_->TypeInfos.size(); ++i) {
    if (model_->TypeInfos[i].Attr.guid == guid) return GetTypeInfo(i, ppTinfo);
  }
  return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT STDMETHODCALLTYPE TypeLibObject::GetLibAttr(TLIBATTR** ppTLibAttr) {
  if (!ppTLibAttr) return E_INVALIDARG;
  *ppTLibAttr = &model_->Attr;
  return S_OK;
}

void STDMETHODCALLTYPE TypeLibObject::ReleaseTLibAttr(TLIBATTR*) {}

HRESULT STDMETHODCALLTYPE TypeLibObject::GetTypeComp(ITypeComp** ppTComp) {
  if (ppTComp) *ppTComp = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TypeLibObject::GetDocumentation(INT index, BSTR* pBstrName, BSTR* pBstrDocString,
                                                          DWORD* pdwHelpContext, BSTR* pBstrHelpFile) {
  if (index >= 0) {
    TypeInfoObject* info = View(static_cast<UINT>(index), false);
    if (!info) return TYPE_E_ELEMENTNOTFOUND;
    return info->GetDocumentation(MEMBERID_NIL, pBstrName, pBstrDocString, pdwHelpContext, pBstrHelpFile);
  }
  if (index != -1) return TYPE_E_ELEMENTNOTFOUND;
  return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
    BSTR name = pBstrName ? MakeBstr(model_->Name) : nullptr;
    BSTR doc = pBstrDocString && model_->HasDocString ? MakeBstr(model_->DocString) : nullptr;
    BSTR file = pBstrHelpFile && model_->HasHelpFile ? MakeBstr(model_->HelpFile) : nullptr;
    if (pBstrName) *pBstrName = name;
    if (pBstrDocString) *pBstrDocString = doc;
    if (pBstrHelpFile) *pBstrHelpFile = file;
    if (pdwHelpContext) *pdwHelpContext = model_->HelpContext;
    return S_OK;
  });
}

// ---- names ----

namespace {

// Calls `found(typeIndex, memid, storedName)` for each name of the library
// that matches, type names first in each type; stops when it returns false.
template <class Found>
void ForEachName(const TypeLibModel& model, const std::u16string& folded, Found found) {
  for (UINT i = 0; i < model.TypeInfos.size(); ++i) {
    const TypeInfoModel& info = model.TypeInfos[i];
    if (FoldName(info.Name) == folded && !found(i, MEMBERID_NIL, info.Name)) return;
    for (const auto& func : info.Funcs) {
      if (FoldName(func->Name) == folded && !found(i, func->Desc.memid, func->Name)) return;
      for (const auto& param : func->ParamNames) {
        if (FoldName(param) == folded && !found(i, func->Desc.memid, param)) return;
      }
    }
    for (const auto& var : info.Vars) {
      if (FoldName(var->Name) == folded && !found(i, var->Desc.memid, var->Name)) return;
    }
  }
}

}  // namespace

HRESULT STDMETHODCALLTYPE TypeLibObject::IsName(LPOLESTR szNameBuf, ULONG, BOOL* pfName) {
  if (!szNameBuf || !pfName) return E_INVALIDARG;
  return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
    *pfName = FALSE;
    ForEachName(*model_, FoldName(szNameBuf), [&](UINT, MEMBERID, const std::u16string& stored) {
      // The caller's buffer gets the library's spelling (same length).
      for (size_t i = 0; i < stored.size(); ++i) szNameBuf[i] = stored[i];
      *pfName = TRUE;
      return false;
    });
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE TypeLibObject::FindName(LPOLESTR szNameBuf, ULONG, ITypeInfo** ppTInfo, MEMBERID* rgMemId,
                                                  USHORT* pcFound) {
  if (!szNameBuf || !ppTInfo || !rgMemId || !pcFound || *pcFound == 0) return E_INVALIDARG;
  return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
    USHORT wanted = *pcFound;
    USHORT count = 0;
    int lastType = -1;
    ForEachName(*model_, FoldName(szNameBuf), [&](UINT type, MEMBERID memid, const std::u16string&) {
      if (static_cast<int>(type) == lastType) return true;  // one entry per type
      lastType = static_cast<int>(type);
      GetTypeInfo(type, &ppTInfo[count]);
      rgMemId[count] = memid;
      return ++count < wanted;
    });
    *pcFound = count;
    return S_OK;
  });
}

// ---- references ----

HRESULT TypeLibObject::FollowReference(HREFTYPE ref, bool vtableView, ITypeInfo** out) {
  *out = nullptr;
  if ((ref & 3) == 0) {
    int index = model_->IndexOfOffset(ref);
    if (index < 0) return TYPE_E_ELEMENTNOTFOUND;
    *out = View(static_cast<UINT>(index), vtableView);
    (*out)->AddRef();
    return S_OK;
  }
  const ImportRefModel* imported = model_->ImportOf(ref);
  if (!imported) return TYPE_E_ELEMENTNOTFOUND;
  ITypeLib* library = nullptr;
  HRESULT hr = ImportedLibrary(imported->File, &library);
  if (FAILED(hr)) return hr;
  ITypeInfo* target = nullptr;
  hr = imported->ByGuid ? library->GetTypeInfoOfGuid(imported->Guid, &target)
                        : library->GetTypeInfo(imported->Index, &target);
  if (FAILED(hr)) return hr;
  if (vtableView) {
    // A dual interface of the other library: its vtable view, reached as
    // any client reaches it.
    HREFTYPE vtableRef = 0;
    ITypeInfo* vtable = nullptr;
    if (SUCCEEDED(target->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableRef)) &&
        SUCCEEDED(target->GetRefTypeInfo(vtableRef, &vtable))) {
      target->Release();
      target = vtable;
    }
  }
  *out = target;
  return S_OK;
}

HRESULT TypeLibObject::ImportedLibrary(size_t file, ITypeLib** out) {
  const ImportFileModel& import = model_->ImportFiles[file];
  // A library may name itself among its imports.
  if (import.LibId == model_->Attr.guid && import.MajorVersion == model_->Attr.wMajorVerNum) {
    *out = this;
    return S_OK;
  }
  std::lock_guard guard(importLock_);
  if (!imports_[file]) {
    HRESULT hr = LoadImport(import, &imports_[file]);
    if (FAILED(hr)) return hr;
  }
  *out = imports_[file];
  return S_OK;
}

// As Windows: the registered library of that GUID and version first, then
// the file by its name in the system folder and beside this library.
HRESULT TypeLibObject::LoadImport(const ImportFileModel& file, ITypeLib** out) {
  if (SUCCEEDED(LoadRegTypeLib(file.LibId, file.MajorVersion, file.MinorVersion, file.Lcid, out))) return S_OK;
  std::vector<std::string> candidates;
  if (Absolute(file.FileName)) {
    candidates.push_back(file.FileName);
  } else {
    candidates.push_back(SystemFolder() + "\\" + file.FileName);
    std::string folder = FolderOf(path_);
    if (!folder.empty()) candidates.push_back(folder + (folder[0] == '/' ? "/" : "\\") + file.FileName);
  }
  for (const auto& candidate : candidates) {
    if (SUCCEEDED(LoadFromPath(candidate, out))) return S_OK;
  }
  *out = nullptr;
  return TYPE_E_CANTLOADLIBRARY;
}

}  // namespace qorv::platform::typelib
