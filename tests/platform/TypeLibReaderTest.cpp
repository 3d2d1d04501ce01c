// The type library reader against what widl wrote for the test server's
// IDL (modules/QorvTestServer.idl): the library, each type, each member and
// parameter, attribute by attribute, and the references into stdole2.tlb.
#include <gtest/gtest.h>

#include <string>

#include "ComTestSupport.h"
#include "TestServer.h"

using namespace qorv::test;

namespace {

// {00020430-0000-0000-C000-000000000046}
constexpr GUID kStdOleLibId{0x00020430, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {66504301-BE0F-101A-8BBB-00AA00300CAB}
constexpr GUID kOleColorId{0x66504301, 0xBE0F, 0x101A, {0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};
// {BEF6E003-A874-101A-8BBA-00AA00300CAB}
constexpr GUID kFontId{0xBEF6E003, 0xA874, 0x101A, {0x8B, 0xBA, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};

constexpr UINT kOwnFunctions = 30;
constexpr UINT kInheritedFunctions = 7;
constexpr SHORT kSlot = sizeof(void*);

class TypeLibReader : public testing::Test {
 protected:
  void SetUp() override {
    std::u16string path = Wide(QORV_TEST_TYPELIB);
    ASSERT_EQ(LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib_.Put()), S_OK);
  }

  ComPtr<ITypeInfo> Type(UINT index) {
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(lib_->GetTypeInfo(index, info.Put()), S_OK);
    return info;
  }

  // The vtable view of the dual interface.
  ComPtr<ITypeInfo> VtableView() {
    ComPtr<ITypeInfo> dispatch = Type(1);
    HREFTYPE ref = 0;
    EXPECT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
    ComPtr<ITypeInfo> vtable;
    EXPECT_EQ(dispatch->GetRefTypeInfo(ref, vtable.Put()), S_OK);
    return vtable;
  }

  static std::string Name(ITypeInfo* info, MEMBERID memid = MEMBERID_NIL) {
    Bstr name;
    EXPECT_EQ(info->GetDocumentation(memid, name.Put(), nullptr, nullptr, nullptr), S_OK);
    return name.Text();
  }

  // The function of a view by member id and kind.
  static const FUNCDESC* Find(ITypeInfo* info, MEMBERID memid, INVOKEKIND kind) {
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    for (UINT i = 0; i < attr->cFuncs; ++i) {
      FUNCDESC* desc = nullptr;
      if (info->GetFuncDesc(i, &desc) == S_OK && desc->memid == memid && desc->invkind == kind) return desc;
    }
    return nullptr;
  }

  ComPtr<ITypeLib> lib_;
};

TEST_F(TypeLibReader, LibraryAttributesAreThoseOfTheIdl) {
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(lib_->GetLibAttr(&attr), S_OK);
  EXPECT_EQ(attr->guid, kTestLibId);
  EXPECT_EQ(attr->lcid, 0x0409u);
  EXPECT_EQ(attr->syskind, SYS_WIN32);
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 2);
  EXPECT_EQ(attr->wLibFlags, LIBFLAG_FCONTROL);
  lib_->ReleaseTLibAttr(attr);

  Bstr name, doc, file;
  DWORD context = 7;
  ASSERT_EQ(lib_->GetDocumentation(-1, name.Put(), doc.Put(), &context, file.Put()), S_OK);
  EXPECT_EQ(name.Text(), "QorvTestLib");
  EXPECT_EQ(doc.Text(), "Qorv Test Server Library");
  EXPECT_EQ(context, 0u);
  EXPECT_EQ(file.Get(), nullptr);
}

TEST_F(TypeLibReader, TypesStandInWidlsOrderWithTheirKindsAndFlags) {
  ASSERT_EQ(lib_->GetTypeInfoCount(), 5u);
  struct Expected {
    const char* Name;
    TYPEKIND Kind;
    WORD Flags;
    const char* Doc;
  } expected[] = {
      {"TxShade", TKIND_ENUM, 0, nullptr},
      {"ITestObject", TKIND_DISPATCH, TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE,
       "Dispatch interface for the test object"},
      {"ITestObjectEvents", TKIND_DISPATCH, TYPEFLAG_FDISPATCHABLE, "Events of the test object"},
      {"TestObject", TKIND_COCLASS, TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL, "Test Object"},
      {"TxUnused", TKIND_ENUM, 0, nullptr},
  };
  for (UINT i = 0; i < 5; ++i) {
    SCOPED_TRACE(expected[i].Name);
    TYPEKIND kind{};
    ASSERT_EQ(lib_->GetTypeInfoType(i, &kind), S_OK);
    EXPECT_EQ(kind, expected[i].Kind);
    Bstr name, doc;
    ASSERT_EQ(lib_->GetDocumentation(static_cast<INT>(i), name.Put(), doc.Put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(name.Text(), expected[i].Name);
    EXPECT_EQ(doc.Get() != nullptr, expected[i].Doc != nullptr);
    if (expected[i].Doc) {
      EXPECT_EQ(doc.Text(), expected[i].Doc);
    }
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(Type(i)->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, expected[i].Kind);
    EXPECT_EQ(attr->wTypeFlags, expected[i].Flags);
  }
  TYPEKIND kind{};
  EXPECT_EQ(lib_->GetTypeInfoType(5, &kind), TYPE_E_ELEMENTNOTFOUND);
  ComPtr<ITypeInfo> none;
  EXPECT_EQ(lib_->GetTypeInfo(5, none.Put()), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(lib_->GetDocumentation(5, nullptr, nullptr, nullptr, nullptr), TYPE_E_ELEMENTNOTFOUND);
}

TEST_F(TypeLibReader, GuidsVersionsAndLookupByGuid) {
  struct {
    UINT Index;
    GUID Guid;
    WORD Major;
  } expected[] = {{0, kTxShadeId, 0},
                  {1, IID_ITestObject, 1},
                  {2, DIID_ITestObjectEvents, 0},
                  {3, CLSID_TestObject, 1},
                  {4, GUID_NULL, 0}};
  for (const auto& e : expected) {
    TYPEATTR* attr = nullptr;
    ComPtr<ITypeInfo> info = Type(e.Index);
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, e.Guid) << e.Index;
    EXPECT_EQ(attr->wMajorVerNum, e.Major) << e.Index;
    EXPECT_EQ(attr->lcid, 0x0409u);
  }
  ComPtr<ITypeInfo> found;
  ASSERT_EQ(lib_->GetTypeInfoOfGuid(CLSID_TestObject, found.Put()), S_OK);
  EXPECT_EQ(Name(found.Get()), "TestObject");
  EXPECT_EQ(lib_->GetTypeInfoOfGuid(kFontId, found.Put()), TYPE_E_ELEMENTNOTFOUND);
  // A type knows its library and its place in it.
  ComPtr<ITypeLib> container;
  UINT index = 0;
  ASSERT_EQ(Type(2)->GetContainingTypeLib(container.Put(), &index), S_OK);
  EXPECT_EQ(container.Get(), lib_.Get());
  EXPECT_EQ(index, 2u);
}

TEST_F(TypeLibReader, DualInterfaceHasADispatchViewAndAVtableView) {
  ComPtr<ITypeInfo> dispatch = Type(1);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(dispatch->GetTypeAttr(&attr), S_OK);
  // The dispatch view lists the inherited IUnknown and IDispatch members too
  // and has IDispatch's vtable.
  EXPECT_EQ(attr->cFuncs, kInheritedFunctions + kOwnFunctions);
  EXPECT_EQ(attr->cbSizeVft, 7 * kSlot);
  EXPECT_EQ(attr->cImplTypes, 1);
  EXPECT_EQ(attr->cVars, 0);

  ComPtr<ITypeInfo> vtable = VtableView();
  ASSERT_EQ(vtable->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
  EXPECT_EQ(attr->guid, IID_ITestObject);
  EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE);
  EXPECT_EQ(attr->cFuncs, kOwnFunctions);
  EXPECT_EQ(attr->cbSizeVft, (kInheritedFunctions + kOwnFunctions) * kSlot);
  EXPECT_EQ(Name(vtable.Get()), "ITestObject");

  // Only the dispatch view leads to a vtable view.
  HREFTYPE ref = 0;
  EXPECT_EQ(vtable->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(Type(2)->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), TYPE_E_ELEMENTNOTFOUND);
}

TEST_F(TypeLibReader, BaseInterfacesComeFromStdole2) {
  ComPtr<ITypeInfo> vtable = VtableView();
  HREFTYPE ref = 0;
  ASSERT_EQ(vtable->GetRefTypeOfImplType(0, &ref), S_OK);
  ComPtr<ITypeInfo> base;
  ASSERT_EQ(vtable->GetRefTypeInfo(ref, base.Put()), S_OK);
  EXPECT_EQ(Name(base.Get()), "IDispatch");
  ComPtr<ITypeLib> stdole;
  ASSERT_EQ(base->GetContainingTypeLib(stdole.Put(), nullptr), S_OK);
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(stdole->GetLibAttr(&attr), S_OK);
  EXPECT_EQ(attr->guid, kStdOleLibId);
  EXPECT_EQ(attr->wMajorVerNum, 2);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  // IDispatch derives from IUnknown in the same library.
  ASSERT_EQ(base->GetRefTypeOfImplType(0, &ref), S_OK);
  ComPtr<ITypeInfo> root;
  ASSERT_EQ(base->GetRefTypeInfo(ref, root.Put()), S_OK);
  EXPECT_EQ(Name(root.Get()), "IUnknown");
  TYPEATTR* rootAttr = nullptr;
  ASSERT_EQ(root->GetTypeAttr(&rootAttr), S_OK);
  EXPECT_EQ(rootAttr->cFuncs, 3);
  EXPECT_EQ(rootAttr->cbSizeVft, 3 * kSlot);
  EXPECT_EQ(rootAttr->cImplTypes, 0);
}

TEST_F(TypeLibReader, RecordFieldsKeepTheirOffsetsAndFixedArrays) {
  // stdole2's GUID structure, which IUnknown::QueryInterface takes.
  ComPtr<ITypeLib> stdole;
  ASSERT_EQ(LoadRegTypeLib(kStdOleLibId, 2, 0, 0, stdole.Put()), S_OK);
  ComPtr<ITypeInfo> guid;
  ASSERT_EQ(stdole->GetTypeInfo(1, guid.Put()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(guid->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_RECORD);
  EXPECT_EQ(attr->cbSizeInstance, 16u);
  ASSERT_EQ(attr->cVars, 4);
  const ULONG offsets[] = {0, 4, 6, 8};
  const VARTYPE types[] = {VT_UI4, VT_UI2, VT_UI2, VT_CARRAY};
  for (UINT i = 0; i < 4; ++i) {
    VARDESC* var = nullptr;
    ASSERT_EQ(guid->GetVarDesc(i, &var), S_OK);
    EXPECT_EQ(var->varkind, VAR_PERINSTANCE);
    EXPECT_EQ(var->oInst, offsets[i]);
    EXPECT_EQ(var->elemdescVar.tdesc.vt, types[i]);
  }
  VARDESC* data4 = nullptr;
  ASSERT_EQ(guid->GetVarDesc(3, &data4), S_OK);
  const ARRAYDESC* array = data4->elemdescVar.tdesc.lpadesc;
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(array->tdescElem.vt, VT_UI1);
  ASSERT_EQ(array->cDims, 1);
  EXPECT_EQ(array->rgbounds[0].cElements, 8u);
  EXPECT_EQ(array->rgbounds[0].lLbound, 0);
}

TEST_F(TypeLibReader, VtableFunctionsHaveWidlsDispidsKindsAndSlots) {
  ComPtr<ITypeInfo> vtable = VtableView();
  struct Expected {
    const char* Name;
    MEMBERID Memid;
    INVOKEKIND Kind;
  } expected[] = {
      {"Visible", 1, INVOKE_PROPERTYGET},
      {"Visible", 1, INVOKE_PROPERTYPUT},
      {"Caption", -518, INVOKE_PROPERTYGET},
      {"Caption", -518, INVOKE_PROPERTYPUT},
      {"Small", 3, INVOKE_PROPERTYGET},
      {"Small", 3, INVOKE_PROPERTYPUT},
      {"Octet", 4, INVOKE_PROPERTYGET},
      {"Octet", 4, INVOKE_PROPERTYPUT},
      {"Short", 5, INVOKE_PROPERTYGET},
      {"Short", 5, INVOKE_PROPERTYPUT},
      {"Word", 6, INVOKE_PROPERTYGET},
      {"Word", 6, INVOKE_PROPERTYPUT},
      {"Long", 7, INVOKE_PROPERTYGET},
      {"Long", 7, INVOKE_PROPERTYPUT},
      {"Color", -501, INVOKE_PROPERTYGET},
      {"Color", -501, INVOKE_PROPERTYPUT},
      {"Shade", 9, INVOKE_PROPERTYGET},
      {"Shade", 9, INVOKE_PROPERTYPUT},
      {"Peer", 10, INVOKE_PROPERTYGET},
      {"Peer", 10, INVOKE_PROPERTYPUT},
      {"Peer", 10, INVOKE_PROPERTYPUTREF},
      {"Font", -512, INVOKE_PROPERTYGET},
      {"Font", -512, INVOKE_PROPERTYPUT},
      {"Font", -512, INVOKE_PROPERTYPUTREF},
      {"Add", 20, INVOKE_FUNC},
      {"Swap", 21, INVOKE_FUNC},
      {"Fail", 22, INVOKE_FUNC},
      {"Describe", 23, INVOKE_FUNC},
      {"Mixed", 24, INVOKE_FUNC},
      {"AboutBox", -552, INVOKE_FUNC},
  };
  static_assert(sizeof expected / sizeof expected[0] == kOwnFunctions);
  for (UINT i = 0; i < kOwnFunctions; ++i) {
    SCOPED_TRACE(i);
    FUNCDESC* desc = nullptr;
    ASSERT_EQ(vtable->GetFuncDesc(i, &desc), S_OK);
    EXPECT_EQ(desc->memid, expected[i].Memid);
    EXPECT_EQ(desc->invkind, expected[i].Kind);
    EXPECT_EQ(desc->funckind, FUNC_PUREVIRTUAL);
    EXPECT_EQ(desc->callconv, CC_STDCALL);
    EXPECT_EQ(desc->elemdescFunc.tdesc.vt, VT_HRESULT);
    // Slot 7 is the first after IUnknown and IDispatch, in host slots.
    EXPECT_EQ(desc->oVft, static_cast<SHORT>((kInheritedFunctions + i) * kSlot));
    EXPECT_EQ(Name(vtable.Get(), desc->memid), expected[i].Name);
    vtable->ReleaseFuncDesc(desc);
  }
  FUNCDESC* desc = nullptr;
  EXPECT_EQ(vtable->GetFuncDesc(kOwnFunctions, &desc), TYPE_E_ELEMENTNOTFOUND);
}

TEST_F(TypeLibReader, ParametersCarryTypesFlagsAndDefaults) {
  ComPtr<ITypeInfo> vtable = VtableView();
  // Visible's get: one [out, retval] VARIANT_BOOL*; hidden with its help.
  const FUNCDESC* get = Find(vtable.Get(), 1, INVOKE_PROPERTYGET);
  ASSERT_NE(get, nullptr);
  EXPECT_EQ(get->wFuncFlags, FUNCFLAG_FHIDDEN);
  ASSERT_EQ(get->cParams, 1);
  EXPECT_EQ(get->lprgelemdescParam[0].paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
  EXPECT_EQ(get->lprgelemdescParam[0].tdesc.vt, VT_PTR);
  EXPECT_EQ(get->lprgelemdescParam[0].tdesc.lptdesc->vt, VT_BOOL);
  Bstr doc;
  DWORD context = 0;
  ASSERT_EQ(vtable->GetDocumentation(1, nullptr, doc.Put(), &context, nullptr), S_OK);
  EXPECT_EQ(doc.Text(), "Whether it shows");
  EXPECT_EQ(context, 11u);

  // Add: [in] long a, [in, defaultvalue(10)] long b, [out, retval] long* sum.
  const FUNCDESC* add = Find(vtable.Get(), 20, INVOKE_FUNC);
  ASSERT_NE(add, nullptr);
  ASSERT_EQ(add->cParams, 3);
  EXPECT_EQ(add->lprgelemdescParam[0].paramdesc.wParamFlags, PARAMFLAG_FIN);
  EXPECT_EQ(add->lprgelemdescParam[0].tdesc.vt, VT_I4);
  const PARAMDESC& b = add->lprgelemdescParam[1].paramdesc;
  EXPECT_EQ(b.wParamFlags, PARAMFLAG_FIN | PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT);
  ASSERT_NE(b.pparamdescex, nullptr);
  EXPECT_EQ(b.pparamdescex->varDefaultValue.vt, VT_I4);
  EXPECT_EQ(b.pparamdescex->varDefaultValue.lVal, 10);
  EXPECT_EQ(add->lprgelemdescParam[2].paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);

  // Swap: two [in, out] pointers.
  const FUNCDESC* swap = Find(vtable.Get(), 21, INVOKE_FUNC);
  ASSERT_NE(swap, nullptr);
  ASSERT_EQ(swap->cParams, 2);
  EXPECT_EQ(swap->lprgelemdescParam[1].paramdesc.wParamFlags, PARAMFLAG_FIN | PARAMFLAG_FOUT);
  EXPECT_EQ(swap->lprgelemdescParam[1].tdesc.lptdesc->vt, VT_BSTR);

  // Describe: an [in, optional] VARIANT without a default value.
  const FUNCDESC* describe = Find(vtable.Get(), 23, INVOKE_FUNC);
  ASSERT_NE(describe, nullptr);
  EXPECT_EQ(describe->lprgelemdescParam[0].tdesc.vt, VT_VARIANT);
  EXPECT_EQ(describe->lprgelemdescParam[0].paramdesc.wParamFlags, PARAMFLAG_FIN | PARAMFLAG_FOPT);
  EXPECT_EQ(describe->lprgelemdescParam[0].paramdesc.pparamdescex, nullptr);

  // Mixed: every basic type in order.
  const FUNCDESC* mixed = Find(vtable.Get(), 24, INVOKE_FUNC);
  ASSERT_NE(mixed, nullptr);
  const VARTYPE types[] = {VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_BOOL, VT_BSTR};
  ASSERT_EQ(mixed->cParams, 8);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(mixed->lprgelemdescParam[i].tdesc.vt, types[i]) << i;
}

TEST_F(TypeLibReader, UserDefinedParametersLeadToTheirTypes) {
  ComPtr<ITypeInfo> vtable = VtableView();
  // Color is stdole2's OLE_COLOR: an alias of an unsigned 32-bit integer.
  const FUNCDESC* color = Find(vtable.Get(), -501, INVOKE_PROPERTYPUT);
  ASSERT_NE(color, nullptr);
  ASSERT_EQ(color->lprgelemdescParam[0].tdesc.vt, VT_USERDEFINED);
  ComPtr<ITypeInfo> alias;
  ASSERT_EQ(vtable->GetRefTypeInfo(color->lprgelemdescParam[0].tdesc.hreftype, alias.Put()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(alias->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_ALIAS);
  EXPECT_EQ(attr->guid, kOleColorId);
  EXPECT_EQ(attr->tdescAlias.vt, VT_UI4);
  EXPECT_EQ(Name(alias.Get()), "OLE_COLOR");

  // Font's put-by-reference takes a pointer to a pointer to IFontDisp, which
  // is stdole2's alias of the Font dispinterface.
  const FUNCDESC* font = Find(vtable.Get(), -512, INVOKE_PROPERTYPUTREF);
  ASSERT_NE(font, nullptr);
  const TYPEDESC& outer = font->lprgelemdescParam[0].tdesc;
  ASSERT_EQ(outer.vt, VT_PTR);
  ASSERT_EQ(outer.lptdesc->vt, VT_PTR);
  ASSERT_EQ(outer.lptdesc->lptdesc->vt, VT_USERDEFINED);
  ComPtr<ITypeInfo> fontDisp;
  ASSERT_EQ(vtable->GetRefTypeInfo(outer.lptdesc->lptdesc->hreftype, fontDisp.Put()), S_OK);
  EXPECT_EQ(Name(fontDisp.Get()), "IFontDisp");
  ASSERT_EQ(fontDisp->GetTypeAttr(&attr), S_OK);
  ASSERT_EQ(attr->typekind, TKIND_ALIAS);
  ASSERT_EQ(attr->tdescAlias.vt, VT_USERDEFINED);
  ComPtr<ITypeInfo> fontDispatch;
  ASSERT_EQ(fontDisp->GetRefTypeInfo(attr->tdescAlias.hreftype, fontDispatch.Put()), S_OK);
  ASSERT_EQ(fontDispatch->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
  EXPECT_EQ(attr->guid, kFontId);
  EXPECT_GT(attr->cVars, 0);

  // Shade is this library's enum.
  const FUNCDESC* shade = Find(vtable.Get(), 9, INVOKE_PROPERTYGET);
  ASSERT_NE(shade, nullptr);
  ComPtr<ITypeInfo> shadeType;
  ASSERT_EQ(vtable->GetRefTypeInfo(shade->lprgelemdescParam[0].tdesc.lptdesc->hreftype, shadeType.Put()), S_OK);
  EXPECT_EQ(Name(shadeType.Get()), "TxShade");

  ComPtr<ITypeInfo> none;
  EXPECT_EQ(vtable->GetRefTypeInfo(0x12345670, none.Put()), TYPE_E_ELEMENTNOTFOUND);
}

TEST_F(TypeLibReader, DispatchViewShowsMembersAsIDispatchCallsThem) {
  ComPtr<ITypeInfo> dispatch = Type(1);
  // Inherited members come first, in vtable order, restricted.
  const char* inherited[] = {"QueryInterface", "AddRef",        "Release", "GetTypeInfoCount",
                             "GetTypeInfo",    "GetIDsOfNames", "Invoke"};
  for (UINT i = 0; i < kInheritedFunctions; ++i) {
    FUNCDESC* desc = nullptr;
    ASSERT_EQ(dispatch->GetFuncDesc(i, &desc), S_OK) << i;
    EXPECT_EQ(desc->funckind, FUNC_DISPATCH);
    EXPECT_EQ(desc->wFuncFlags & FUNCFLAG_FRESTRICTED, FUNCFLAG_FRESTRICTED);
    Bstr names[1];
    UINT count = 0;
    ASSERT_EQ(dispatch->GetNames(desc->memid, names[0].Put(), 1, &count), S_OK);
    EXPECT_EQ(names[0].Text(), inherited[i]);
  }
  FUNCDESC* release = nullptr;
  ASSERT_EQ(dispatch->GetFuncDesc(2, &release), S_OK);
  EXPECT_EQ(release->elemdescFunc.tdesc.vt, VT_UI4);  // not an HRESULT: kept
  FUNCDESC* count = nullptr;
  ASSERT_EQ(dispatch->GetFuncDesc(3, &count), S_OK);
  EXPECT_EQ(count->elemdescFunc.tdesc.vt, VT_VOID);  // HRESULT without retval: void
  EXPECT_EQ(count->cParams, 1);

  // Own members: the retval becomes the result.
  FUNCDESC* add = nullptr;
  ASSERT_EQ(dispatch->GetFuncDesc(kInheritedFunctions + 24, &add), S_OK);
  EXPECT_EQ(add->memid, 20);
  EXPECT_EQ(add->funckind, FUNC_DISPATCH);
  EXPECT_EQ(add->cParams, 2);
  EXPECT_EQ(add->elemdescFunc.tdesc.vt, VT_I4);
  FUNCDESC* aboutBox = nullptr;
  ASSERT_EQ(dispatch->GetFuncDesc(kInheritedFunctions + kOwnFunctions - 1, &aboutBox), S_OK);
  EXPECT_EQ(aboutBox->memid, -552);
  EXPECT_EQ(aboutBox->elemdescFunc.tdesc.vt, VT_VOID);
  FUNCDESC* none = nullptr;
  EXPECT_EQ(dispatch->GetFuncDesc(kInheritedFunctions + kOwnFunctions, &none), TYPE_E_ELEMENTNOTFOUND);
}

TEST_F(TypeLibReader, EventInterfaceListsItsMethods) {
  ComPtr<ITypeInfo> events = Type(2);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(events->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->cFuncs, 2);
  EXPECT_EQ(attr->cImplTypes, 1);
  EXPECT_EQ(attr->cbSizeVft, 7 * kSlot);
  FUNCDESC* key = nullptr;
  ASSERT_EQ(events->GetFuncDesc(1, &key), S_OK);
  EXPECT_EQ(key->memid, 11);
  EXPECT_EQ(key->funckind, FUNC_DISPATCH);
  EXPECT_EQ(key->invkind, INVOKE_FUNC);
  EXPECT_EQ(key->elemdescFunc.tdesc.vt, VT_VOID);
  ASSERT_EQ(key->cParams, 1);
  EXPECT_EQ(key->lprgelemdescParam[0].paramdesc.wParamFlags, PARAMFLAG_FIN | PARAMFLAG_FOUT);
  EXPECT_EQ(key->lprgelemdescParam[0].tdesc.lptdesc->vt, VT_I2);
  // Its base is IDispatch.
  HREFTYPE ref = 0;
  ASSERT_EQ(events->GetRefTypeOfImplType(0, &ref), S_OK);
  ComPtr<ITypeInfo> base;
  ASSERT_EQ(events->GetRefTypeInfo(ref, base.Put()), S_OK);
  EXPECT_EQ(Name(base.Get()), "IDispatch");
  Bstr names[2];
  UINT count = 0;
  ASSERT_EQ(events->GetNames(11, names[0].Put(), 2, &count), S_OK);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(names[0].Text(), "KeyPress");
  EXPECT_EQ(names[1].Text(), "Key");
}

TEST_F(TypeLibReader, CoclassImplementsBothInterfacesWithTheirFlags) {
  ComPtr<ITypeInfo> coclass = Type(3);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
  ASSERT_EQ(attr->cImplTypes, 2);
  INT flags = 0;
  ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
  EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
  ASSERT_EQ(coclass->GetImplTypeFlags(1, &flags), S_OK);
  EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
  EXPECT_EQ(coclass->GetImplTypeFlags(2, &flags), TYPE_E_ELEMENTNOTFOUND);
  const char* names[] = {"ITestObject", "ITestObjectEvents"};
  for (UINT i = 0; i < 2; ++i) {
    HREFTYPE ref = 0;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(i, &ref), S_OK);
    ComPtr<ITypeInfo> impl;
    ASSERT_EQ(coclass->GetRefTypeInfo(ref, impl.Put()), S_OK);
    EXPECT_EQ(Name(impl.Get()), names[i]);
    // A dual interface is reached as its dispatch view.
    TYPEATTR* implAttr = nullptr;
    ASSERT_EQ(impl->GetTypeAttr(&implAttr), S_OK);
    EXPECT_EQ(implAttr->typekind, TKIND_DISPATCH);
  }
}

TEST_F(TypeLibReader, EnumConstantsHaveTheirValues) {
  ComPtr<ITypeInfo> shade = Type(0);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(shade->GetTypeAttr(&attr), S_OK);
  ASSERT_EQ(attr->cVars, 4);
  EXPECT_EQ(attr->cFuncs, 0);
  // Small values are stored in the record, negative and large ones beside it.
  const char* names[] = {"shLight", "shDark", "shDeep", "shFar"};
  const LONG values[] = {0, 1, -5, 70000};
  for (UINT i = 0; i < 4; ++i) {
    VARDESC* var = nullptr;
    ASSERT_EQ(shade->GetVarDesc(i, &var), S_OK);
    EXPECT_EQ(var->varkind, VAR_CONST);
    ASSERT_NE(var->lpvarValue, nullptr);
    EXPECT_EQ(var->lpvarValue->vt == VT_I4 || var->lpvarValue->vt == VT_INT, true);
    EXPECT_EQ(var->lpvarValue->lVal, values[i]) << names[i];
    EXPECT_EQ(Name(shade.Get(), var->memid), names[i]);
    shade->ReleaseVarDesc(var);
  }
  VARDESC* var = nullptr;
  EXPECT_EQ(shade->GetVarDesc(4, &var), TYPE_E_ELEMENTNOTFOUND);
}

TEST_F(TypeLibReader, NamesMapToMemberIdsAndParameterPositions) {
  ComPtr<ITypeInfo> dispatch = Type(1);
  std::u16string add = Wide("aDD");
  std::u16string b = Wide("B");
  std::u16string sum = Wide("sum");
  LPOLESTR names[] = {add.data(), b.data(), sum.data()};
  MEMBERID ids[3] = {};
  ASSERT_EQ(dispatch->GetIDsOfNames(names, 3, ids), S_OK);
  EXPECT_EQ(ids[0], 20);
  EXPECT_EQ(ids[1], 1);
  EXPECT_EQ(ids[2], 2);
  std::u16string caption = Wide("caption");
  names[0] = caption.data();
  ASSERT_EQ(dispatch->GetIDsOfNames(names, 1, ids), S_OK);
  EXPECT_EQ(ids[0], -518);
  // Inherited members are found too.
  std::u16string invoke = Wide("Invoke");
  names[0] = invoke.data();
  ASSERT_EQ(dispatch->GetIDsOfNames(names, 1, ids), S_OK);
  EXPECT_EQ(ids[0], 0x60010003);
  // An unknown member, or an unknown argument name.
  std::u16string nothing = Wide("Nothing");
  names[0] = nothing.data();
  EXPECT_EQ(dispatch->GetIDsOfNames(names, 1, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], MEMBERID_NIL);
  names[0] = add.data();
  names[1] = nothing.data();
  EXPECT_EQ(dispatch->GetIDsOfNames(names, 2, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], 20);
  EXPECT_EQ(ids[1], MEMBERID_NIL);

  // GetNames: the member and its named parameters; a put's value has no name.
  UINT count = 0;
  Bstr dispatchNames[4];
  ASSERT_EQ(dispatch->GetNames(20, dispatchNames[0].Put(), 4, &count), S_OK);
  EXPECT_EQ(count, 3u);  // Add, a, b: the retval is not an argument of the dispatch form
  EXPECT_EQ(dispatchNames[2].Text(), "b");
  ComPtr<ITypeInfo> vtable = VtableView();
  Bstr vtableNames[4];
  ASSERT_EQ(vtable->GetNames(20, vtableNames[0].Put(), 4, &count), S_OK);
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(vtableNames[3].Text(), "sum");
  Bstr firstTwo[2];
  ASSERT_EQ(vtable->GetNames(20, firstTwo[0].Put(), 2, &count), S_OK);
  EXPECT_EQ(count, 2u);
  Bstr none[4];
  EXPECT_EQ(vtable->GetNames(12345, none[0].Put(), 4, &count), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(count, 0u);
}

TEST_F(TypeLibReader, LibraryNamesAreFoundWithoutCase) {
  std::u16string name = Wide("txshade");
  BOOL found = FALSE;
  ASSERT_EQ(lib_->IsName(name.data(), 0, &found), S_OK);
  EXPECT_TRUE(found);
  EXPECT_EQ(name, Wide("TxShade"));  // the library's spelling is written back
  std::u16string missing = Wide("NoSuchName");
  ASSERT_EQ(lib_->IsName(missing.data(), 0, &found), S_OK);
  EXPECT_FALSE(found);

  std::u16string member = Wide("shDeep");
  ITypeInfo* infos[2] = {};
  MEMBERID ids[2] = {};
  USHORT count = 2;
  ASSERT_EQ(lib_->FindName(member.data(), 0, infos, ids, &count), S_OK);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(ids[0], 0x40000002);
  EXPECT_EQ(Name(infos[0]), "TxShade");
  infos[0]->Release();
}

TEST_F(TypeLibReader, ModuleResourceAndFileGiveTheSameLibrary) {
  std::u16string module = Wide(QORV_TEST_SERVER);
  ComPtr<ITypeLib> fromModule;
  ASSERT_EQ(LoadTypeLibEx(module.c_str(), REGKIND_NONE, fromModule.Put()), S_OK);
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(fromModule->GetLibAttr(&attr), S_OK);
  EXPECT_EQ(attr->guid, kTestLibId);
  EXPECT_EQ(fromModule->GetTypeInfoCount(), lib_->GetTypeInfoCount());
  // "\2" after a module's path names another resource; this module has none.
  std::u16string second = module + u"\\2";
  ComPtr<ITypeLib> none;
  EXPECT_EQ(LoadTypeLibEx(second.c_str(), REGKIND_NONE, none.Put()), TYPE_E_CANTLOADLIBRARY);
}

}  // namespace
