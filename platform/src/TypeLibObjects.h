// The ITypeLib and ITypeInfo objects over a TypeLibModel.
//
// A library owns one type info object per type (for a dual interface two: the
// dispatch view the library lists and the vtable view behind it). Type infos
// share the library's reference count, so a type info keeps its library alive
// and the library frees them all. Imported libraries are loaded when a
// reference into them is first followed and kept until the library goes.
//
// Everything read from the file is immutable; what is worked out later (the
// imported libraries, the members a dual interface inherits, the call plans
// of Invoke) is built once under a lock and never changed afterwards.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "TypeLibModel.h"

namespace qorv::platform::typelib {

class TypeLibObject;
struct InvokePlan;

// Folds a name for the case-insensitive comparisons of name lookups.
std::u16string FoldName(const OLECHAR* name);
std::u16string FoldName(const std::u16string& name);
// A new BSTR holding the text; throws std::bad_alloc when memory runs out.
BSTR MakeBstr(const std::u16string& text);

// A member function as a view lists it, with the type info whose library its
// type references belong to.
struct MemberFunc {
  const FuncModel* Func = nullptr;
  ITypeInfo* Owner = nullptr;
};

class TypeInfoObject final : public ITypeInfo {
 public:
  enum class View { Stored, DualDispatch, DualInterface };

  TypeInfoObject(TypeLibObject& lib, UINT index, View view);
  ~TypeInfoObject();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // ITypeInfo
  HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** ppTypeAttr) override;
  HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** ppTComp) override;
  HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) override;
  HRESULT STDMETHODCALLTYPE GetVarDesc(UINT index, VARDESC** ppVarDesc) override;
  HRESULT STDMETHODCALLTYPE GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) override;
  HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) override;
  HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT index, INT* pImplTypeFlags) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) override;
  HRESULT STDMETHODCALLTYPE Invoke(PVOID pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
                                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
  HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                                             DWORD* pdwHelpContext, BSTR* pBstrHelpFile) override;
  HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID memid, INVOKEKIND invKind, BSTR* pBstrDllName, BSTR* pBstrName,
                                        WORD* pwOrdinal) override;
  HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) override;
  HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID memid, INVOKEKIND invKind, PVOID* ppv) override;
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, PVOID* ppvObj) override;
  HRESULT STDMETHODCALLTYPE GetMops(MEMBERID memid, BSTR* pBstrMops) override;
  HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) override;
  void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* pTypeAttr) override;
  void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC* pFuncDesc) override;
  void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC* pVarDesc) override;

  TypeLibObject& Library() const { return lib_; }
  const TypeInfoModel& Model() const;
  View ViewKind() const { return view_; }

 private:
  // What is worked out on first use. Once Ready is set nothing here changes.
  struct Resolved {
    HRESULT Inherited = S_OK;  // the outcome of flattening the inherited members (dispatch view of a dual)
    std::vector<std::unique_ptr<FuncModel>> InheritedFuncs;
    std::vector<std::pair<ITypeInfo*, HREFTYPE>> ForeignRefs;  // references of inherited members, by remapped number
    std::vector<MemberFunc> VtableFuncs;                       // own and inherited, for Invoke and name lookup
    std::vector<ITypeInfo*> Held;                              // type infos of other libraries kept for VtableFuncs
    std::unordered_map<std::u16string, MEMBERID> MemberIds;    // folded name -> member id
    std::multimap<MEMBERID, size_t> ByMemberId;                // into VtableFuncs
  };

  void BuildOwnFuncs();
  const Resolved& Resolve();
  void FlattenInherited(Resolved& resolved);
  void CollectVtableFuncs(Resolved& resolved);
  bool IsVtableView() const;
  UINT ListedInheritedCount() const;
  // The function at a listing index, or null with the error to answer.
  const FuncModel* ListedFunc(UINT index, HRESULT& error);
  const FuncModel* FindListedFunc(MEMBERID memid);
  const VarModel* FindVar(MEMBERID memid) const;
  HREFTYPE RemapForeignRef(Resolved& resolved, ITypeInfo* owner, HREFTYPE ref);
  // Invoke's parts (TypeInfoInvoke.cpp).
  const MemberFunc* FindInvokable(MEMBERID memid, WORD flags, size_t& slot);
  InvokePlan* PlanFor(const MemberFunc& member, size_t slot);

  TypeLibObject& lib_;
  UINT index_;
  View view_;
  TYPEATTR attr_{};
  std::vector<std::unique_ptr<FuncModel>> dispatchForms_;  // own functions in dispatch form (dispatch view of a dual)
  std::vector<const FuncModel*> own_;

  std::mutex lock_;
  std::atomic<bool> ready_{false};
  Resolved resolved_;
  // Call plans of Invoke, made on first call of each function: owned by
  // plans_ (under planLock_), found through planSlots_ (by VtableFuncs index)
  // without a lock once made.
  struct PlanDeleter {
    void operator()(InvokePlan* plan) const;
  };
  std::mutex planLock_;
  std::vector<std::unique_ptr<InvokePlan, PlanDeleter>> plans_;
  std::unique_ptr<std::atomic<InvokePlan*>[]> planSlots_;
};

class TypeLibObject final : public ITypeLib {
 public:
  // Takes the model; `path` is where it was loaded from (for imports found
  // beside it and for registration).
  static HRESULT Create(std::unique_ptr<TypeLibModel> model, std::string path, ITypeLib** out);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // ITypeLib
  UINT STDMETHODCALLTYPE GetTypeInfoCount() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, ITypeInfo** ppTInfo) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoType(UINT index, TYPEKIND* pTKind) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo) override;
  HRESULT STDMETHODCALLTYPE GetLibAttr(TLIBATTR** ppTLibAttr) override;
  HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** ppTComp) override;
  HRESULT STDMETHODCALLTYPE GetDocumentation(INT index, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                             BSTR* pBstrHelpFile) override;
  HRESULT STDMETHODCALLTYPE IsName(LPOLESTR szNameBuf, ULONG lHashVal, BOOL* pfName) override;
  HRESULT STDMETHODCALLTYPE FindName(LPOLESTR szNameBuf, ULONG lHashVal, ITypeInfo** ppTInfo, MEMBERID* rgMemId,
                                     USHORT* pcFound) override;
  void STDMETHODCALLTYPE ReleaseTLibAttr(TLIBATTR* pTLibAttr) override;

  const TypeLibModel& Model() const { return *model_; }
  const std::string& Path() const { return path_; }
  // The view a listing or reference names: a dual interface's dispatch view,
  // or its vtable view when `vtableView`.
  TypeInfoObject* View(UINT index, bool vtableView) const;
  // Follows a type reference of this library (AddRef'ed); with `vtableView` a
  // dual interface is answered with its vtable view.
  HRESULT FollowReference(HREFTYPE ref, bool vtableView, ITypeInfo** out);

 private:
  TypeLibObject(std::unique_ptr<TypeLibModel> model, std::string path);
  ~TypeLibObject();
  HRESULT ImportedLibrary(size_t file, ITypeLib** out);
  HRESULT LoadImport(const ImportFileModel& file, ITypeLib** out);

  std::atomic<ULONG> refs_{1};
  std::unique_ptr<TypeLibModel> model_;
  std::string path_;
  std::vector<std::unique_ptr<TypeInfoObject>> primary_;
  std::vector<std::unique_ptr<TypeInfoObject>> vtableViews_;  // null for all but dual interfaces
  std::mutex importLock_;
  std::vector<ITypeLib*> imports_;  // by import file; null until loaded
};

// The type info a reference leads to, as a vtable view when that matters:
// from a vtable view, a dual interface's own vtable view.
HRESULT FollowVtableReference(ITypeInfo* from, HREFTYPE ref, ITypeInfo** out);

}  // namespace qorv::platform::typelib
