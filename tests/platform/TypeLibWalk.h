// Walks everything a type library hands out: every type info, attribute,
// function and variable description (with their type chains and default
// values), name, documentation and reference, and every vtable view. Used on
// malformed libraries (TypeLibMalformedTest.cpp, tests/fuzz/TypeLibFuzz.cpp),
// where nothing may crash, hang or read out of bounds whatever the calls
// answer. Returns the number of descriptions visited.
#pragma once

#include <cstddef>

#include "oaidl.h"

namespace qorv::test {

namespace walk {

inline size_t Type(const TYPEDESC& type, int depth = 0) {
  if (depth > 64) return 0;
  switch (type.vt) {
    case VT_PTR:
    case VT_SAFEARRAY: return type.lptdesc ? 1 + Type(*type.lptdesc, depth + 1) : 1;
    case VT_CARRAY: return type.lpadesc ? 1 + Type(type.lpadesc->tdescElem, depth + 1) + type.lpadesc->cDims : 1;
    default: return 1;
  }
}

inline void Free(BSTR a, BSTR b = nullptr, BSTR c = nullptr) {
  SysFreeString(a);
  SysFreeString(b);
  SysFreeString(c);
}

inline size_t Member(ITypeInfo* info, MEMBERID memid) {
  BSTR name = nullptr, doc = nullptr, file = nullptr;
  DWORD context = 0;
  size_t visited = 0;
  if (SUCCEEDED(info->GetDocumentation(memid, &name, &doc, &context, &file))) ++visited;
  Free(name, doc, file);
  BSTR names[8] = {};
  UINT count = 0;
  if (SUCCEEDED(info->GetNames(memid, names, 8, &count))) {
    for (UINT i = 0; i < count; ++i) SysFreeString(names[i]);
    visited += count;
  }
  return visited;
}

inline size_t Reference(ITypeInfo* info, HREFTYPE ref) {
  ITypeInfo* target = nullptr;
  if (FAILED(info->GetRefTypeInfo(ref, &target)) || !target) return 0;
  TYPEATTR* attr = nullptr;
  size_t visited = SUCCEEDED(target->GetTypeAttr(&attr)) ? 1 : 0;
  if (attr) target->ReleaseTypeAttr(attr);
  target->Release();
  return visited;
}

inline size_t Info(ITypeInfo* info, int depth = 0) {
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr)) || !attr) return 0;
  size_t visited = 1 + Type(attr->tdescAlias) + Member(info, MEMBERID_NIL);
  if (attr->typekind == TKIND_ALIAS && attr->tdescAlias.vt == VT_USERDEFINED) {
    visited += Reference(info, attr->tdescAlias.hreftype);
  }
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* func = nullptr;
    if (FAILED(info->GetFuncDesc(i, &func)) || !func) continue;
    visited += 1 + Type(func->elemdescFunc.tdesc) + Member(info, func->memid);
    for (SHORT p = 0; p < func->cParams; ++p) {
      const ELEMDESC& param = func->lprgelemdescParam[p];
      visited += Type(param.tdesc);
      if ((param.paramdesc.wParamFlags & PARAMFLAG_FHASDEFAULT) && param.paramdesc.pparamdescex) {
        visited += param.paramdesc.pparamdescex->varDefaultValue.vt != VT_ILLEGAL;
      }
      const TYPEDESC* inner = &param.tdesc;
      while (inner && inner->vt == VT_PTR) inner = inner->lptdesc;
      if (inner && inner->vt == VT_USERDEFINED) visited += Reference(info, inner->hreftype);
    }
    info->ReleaseFuncDesc(func);
  }
  for (UINT i = 0; i < attr->cVars; ++i) {
    VARDESC* var = nullptr;
    if (FAILED(info->GetVarDesc(i, &var)) || !var) continue;
    visited += 1 + Type(var->elemdescVar.tdesc) + Member(info, var->memid);
    if (var->varkind == VAR_CONST && var->lpvarValue) visited += var->lpvarValue->vt != VT_ILLEGAL;
    info->ReleaseVarDesc(var);
  }
  for (UINT i = 0; i < attr->cImplTypes; ++i) {
    HREFTYPE ref = 0;
    INT flags = 0;
    info->GetImplTypeFlags(i, &flags);
    if (SUCCEEDED(info->GetRefTypeOfImplType(i, &ref))) visited += Reference(info, ref);
  }
  info->ReleaseTypeAttr(attr);
  // The vtable view of a dual interface.
  HREFTYPE vtableRef = 0;
  ITypeInfo* vtable = nullptr;
  if (depth == 0 && SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableRef)) &&
      SUCCEEDED(info->GetRefTypeInfo(vtableRef, &vtable)) && vtable) {
    visited += Info(vtable, depth + 1);
    vtable->Release();
  }
  return visited;
}

}  // namespace walk

inline size_t WalkTypeLib(ITypeLib* lib) {
  size_t visited = 0;
  TLIBATTR* attr = nullptr;
  if (SUCCEEDED(lib->GetLibAttr(&attr)) && attr) {
    ++visited;
    lib->ReleaseTLibAttr(attr);
  }
  BSTR name = nullptr, doc = nullptr, file = nullptr;
  if (SUCCEEDED(lib->GetDocumentation(-1, &name, &doc, nullptr, &file))) ++visited;
  walk::Free(name, doc, file);
  for (UINT i = 0, count = lib->GetTypeInfoCount(); i < count; ++i) {
    TYPEKIND kind{};
    lib->GetTypeInfoType(i, &kind);
    ITypeInfo* info = nullptr;
    if (FAILED(lib->GetTypeInfo(i, &info)) || !info) continue;
    visited += walk::Info(info);
    // Name lookups go through every member name.
    BSTR typeName = nullptr;
    if (SUCCEEDED(info->GetDocumentation(MEMBERID_NIL, &typeName, nullptr, nullptr, nullptr)) && typeName) {
      MEMBERID id = 0;
      LPOLESTR names[] = {typeName};
      info->GetIDsOfNames(names, 1, &id);
      BOOL found = FALSE;
      lib->IsName(typeName, 0, &found);
    }
    SysFreeString(typeName);
    info->Release();
  }
  return visited;
}

}  // namespace qorv::test
