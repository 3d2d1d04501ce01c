// The type library embedded in QorvProj1.ocx, read the way a host reads it
// (LoadTypeLib on the library's path), attribute by attribute against what
// hosts compiled against the control expect: identifiers, flags, the order
// of the type descriptions, IQorvX member by member with vtable slots and
// dispids, the events, the coclass and the enums.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "QorvProj1_TLB.h"
#include "oaidl.h"
#include "oleauto.h"

namespace {

using namespace QorvProj1_TLB;

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string Narrow(BSTR text) {
  std::string result;
  for (UINT i = 0; text && i < SysStringLen(text); ++i) result += static_cast<char>(text[i]);
  return result;
}

class Library {
 public:
  Library() {
    std::u16string path = Wide(QORV_QORVPROJ1_OCX);
    EXPECT_EQ(LoadTypeLib(path.c_str(), &lib_), S_OK);
  }
  ~Library() {
    if (lib_) lib_->Release();
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  ITypeLib* operator->() const { return lib_; }
  explicit operator bool() const { return lib_ != nullptr; }

 private:
  ITypeLib* lib_ = nullptr;
};

// Name and help string of a member (MEMBERID_NIL: of the type itself).
struct Doc {
  std::string Name;
  std::string Help;
  bool HasHelp = false;
  bool HasHelpFile = false;
};

Doc DocOf(ITypeInfo* info, MEMBERID memid) {
  BSTR name = nullptr, help = nullptr, file = nullptr;
  DWORD context = 0;
  EXPECT_EQ(info->GetDocumentation(memid, &name, &help, &context, &file), S_OK);
  Doc doc{Narrow(name), Narrow(help), help != nullptr, file != nullptr};
  SysFreeString(name);
  SysFreeString(help);
  SysFreeString(file);
  return doc;
}

// A type as text: "VT_BOOL" is "bool", pointers "*", user types by name.
std::string TypeText(ITypeInfo* info, const TYPEDESC& type) {
  switch (type.vt) {
    case VT_PTR: return TypeText(info, *type.lptdesc) + "*";
    case VT_BOOL: return "bool";
    case VT_BSTR: return "BSTR";
    case VT_I1: return "i1";
    case VT_I2: return "i2";
    case VT_I4: return "i4";
    case VT_INT: return "int";
    case VT_HRESULT: return "HRESULT";
    case VT_VOID: return "void";
    case VT_USERDEFINED: {
      ITypeInfo* target = nullptr;
      if (FAILED(info->GetRefTypeInfo(type.hreftype, &target))) return "<bad reference>";
      std::string name = DocOf(target, MEMBERID_NIL).Name;
      target->Release();
      return name;
    }
    default: return "vt" + std::to_string(type.vt);
  }
}

struct Attr {
  TYPEKIND Kind;
  WORD Flags;
  GUID Guid;
  WORD Major, Minor;
  WORD Funcs, Vars, Impl, Vft;
};

Attr AttrOf(ITypeInfo* info) {
  TYPEATTR* a = nullptr;
  EXPECT_EQ(info->GetTypeAttr(&a), S_OK);
  Attr attr{a->typekind, a->wTypeFlags, a->guid,       a->wMajorVerNum, a->wMinorVerNum,
            a->cFuncs,   a->cVars,      a->cImplTypes, a->cbSizeVft};
  info->ReleaseTypeAttr(a);
  return attr;
}

// One row of IQorvX's member table.
struct Member {
  const char* Name;
  MEMBERID Dispid;
  const char* Type;    // the property's type
  const char* Access;  // g(et), p(ut), r(put by reference), m(ethod)
  bool Hidden;
};

const Member kMembers[] = {
    {"Visible", 1, "bool", "gp", true},
    {"AutoScroll", 2, "bool", "gp", false},
    {"AutoSize", 3, "bool", "gp", false},
    {"AxBorderStyle", 4, "TxActiveFormBorderStyle", "gp", false},
    {"Caption", -518, "BSTR", "gp", false},
    {"Color", -501, "OLE_COLOR", "gp", false},
    {"Font", -512, "IFontDisp*", "gpr", false},
    {"KeyPreview", 5, "bool", "gp", false},
    {"PixelsPerInch", 6, "i4", "gp", false},
    {"PrintScale", 7, "TxPrintScale", "gp", false},
    {"Scaled", 8, "bool", "gp", false},
    {"Active", 9, "bool", "g", true},
    {"DropTarget", 10, "bool", "gp", true},
    {"HelpFile", 11, "BSTR", "gp", true},
    {"DoubleBuffered", 12, "bool", "gp", true},
    {"AlignDisabled", 13, "bool", "g", true},
    {"VisibleDockClientCount", 14, "i4", "g", true},
    {"Enabled", -514, "bool", "gp", true},
    {"Cursor", 15, "i2", "gp", false},
    {"HelpType", 16, "TxHelpType", "gp", false},
    {"HelpKeyword", 17, "BSTR", "gp", false},
    {"AboutBox", -552, "", "m", false},
    {"Connect", 18, "bool", "gp", false},
    {"Disconnect", 19, "bool", "gp", false},
    {"Line", 21, "i1", "gp", false},
    {"StartRecord", 23, "bool", "gp", false},
    {"StopRecord", 24, "bool", "gp", false},
    {"SetProtocol1", 22, "bool", "gp", false},
    {"SetProtocol2", 25, "bool", "gp", false},
    {"SetProtocol3", 26, "bool", "gp", false},
    {"SetStarONOFF", 27, "bool", "gp", false},
    {"SetStatus", 28, "bool", "gp", false},
    {"Date", 29, "BSTR", "gp", false},
    {"Time", 30, "BSTR", "gp", false},
    {"SetTime", 31, "bool", "gp", false},
    {"ReadTime", 32, "bool", "gp", false},
    {"PortNumber", 33, "i1", "gp", false},
    {"SavePath", 34, "BSTR", "gp", false},
    {"OpenPort", 20, "bool", "gp", false},
    {"CallerID", 35, "BSTR", "gp", false},
    {"QorEvent", 36, "BSTR", "gp", false},
};

// What one vtable function must look like.
struct Expected {
  std::string Name;
  MEMBERID Dispid;
  INVOKEKIND Kind;
  std::vector<std::string> Params;  // types
  USHORT ParamFlags;
  bool Hidden;
};

std::vector<Expected> ExpectedFunctions() {
  std::vector<Expected> out;
  for (const Member& m : kMembers) {
    std::string type = m.Type;
    for (const char* a = m.Access; *a; ++a) {
      switch (*a) {
        case 'g':
          out.push_back(
              {m.Name, m.Dispid, INVOKE_PROPERTYGET, {type + "*"}, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, m.Hidden});
          break;
        case 'p': out.push_back({m.Name, m.Dispid, INVOKE_PROPERTYPUT, {type}, PARAMFLAG_FIN, m.Hidden}); break;
        case 'r':
          out.push_back({m.Name, m.Dispid, INVOKE_PROPERTYPUTREF, {type + "*"}, PARAMFLAG_FIN, m.Hidden});
          break;
        default: out.push_back({m.Name, m.Dispid, INVOKE_FUNC, {}, 0, m.Hidden}); break;
      }
    }
  }
  return out;
}

// The vtable slot a virtual member function pointer names (Itanium C++ ABI).
template <class Member>
std::ptrdiff_t SlotOf(Member member) {
  static_assert(sizeof(Member) == 2 * sizeof(void*));
  std::uintptr_t raw = 0;
  std::memcpy(&raw, &member, sizeof raw);
  return static_cast<std::ptrdiff_t>((raw - 1) / sizeof(void*));
}

ITypeInfo* InfoAt(const Library& lib, UINT index) {
  ITypeInfo* info = nullptr;
  EXPECT_EQ(lib->GetTypeInfo(index, &info), S_OK);
  return info;
}

}  // namespace

// The library's own attributes.
TEST(QorvTypeLib, LibraryAttributes) {
  Library lib;
  ASSERT_TRUE(lib);
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
  EXPECT_EQ(attr->guid, LIBID_QorvProj1);
  EXPECT_EQ(attr->lcid, 0x0409u);
  EXPECT_EQ(attr->syskind, SYS_WIN32);
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  EXPECT_EQ(attr->wLibFlags, LIBFLAG_FCONTROL);
  lib->ReleaseTLibAttr(attr);
  BSTR name = nullptr, help = nullptr, file = nullptr;
  ASSERT_EQ(lib->GetDocumentation(-1, &name, &help, nullptr, &file), S_OK);
  EXPECT_EQ(Narrow(name), "QorvProj1");
  EXPECT_EQ(Narrow(help), "QorvProj1 Library");
  EXPECT_EQ(file, nullptr) << "no help file";
  SysFreeString(name);
  SysFreeString(help);
  SysFreeString(file);
}

// Seven type descriptions in their fixed order, each with its kind, flags,
// GUID, version 1.0 and help string.
TEST(QorvTypeLib, TypeDescriptionsInOrder) {
  Library lib;
  ASSERT_TRUE(lib);
  struct Row {
    const char* Name;
    TYPEKIND Kind;
    WORD Flags;
    GUID Guid;
    const char* Help;
  };
  const Row rows[] = {
      {"IQorvX", TKIND_DISPATCH, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE, IID_IQorvX,
       "Dispatch interface for QorvX Control"},
      {"IQorvXEvents", TKIND_DISPATCH, TYPEFLAG_FDISPATCHABLE, DIID_IQorvXEvents, "Events interface for QorvX Control"},
      {"QorvX", TKIND_COCLASS, TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL, CLSID_QorvX, "QorvX Control"},
      {"TxActiveFormBorderStyle", TKIND_ENUM, 0, GUID_TxActiveFormBorderStyle, nullptr},
      {"TxPrintScale", TKIND_ENUM, 0, GUID_TxPrintScale, nullptr},
      {"TxMouseButton", TKIND_ENUM, 0, GUID_TxMouseButton, nullptr},
      {"TxHelpType", TKIND_ENUM, 0, GUID_TxHelpType, nullptr},
  };
  ASSERT_EQ(lib->GetTypeInfoCount(), 7u);
  for (UINT i = 0; i < 7; ++i) {
    const Row& row = rows[i];
    ITypeInfo* info = InfoAt(lib, i);
    ASSERT_NE(info, nullptr);
    Doc doc = DocOf(info, MEMBERID_NIL);
    EXPECT_EQ(doc.Name, row.Name) << i;
    EXPECT_EQ(doc.HasHelp, row.Help != nullptr) << row.Name;
    if (row.Help) {
      EXPECT_EQ(doc.Help, row.Help);
    }
    Attr attr = AttrOf(info);
    TYPEKIND kind = TKIND_MAX;
    EXPECT_EQ(lib->GetTypeInfoType(i, &kind), S_OK);
    EXPECT_EQ(kind, row.Kind) << row.Name;
    if (attr.Flags & TYPEFLAG_FDUAL) {
      // The library stores the dual interface's flags on its vtable view;
      // the dispatch view answers them without OLE automation, as the
      // system's reader does.
      EXPECT_EQ(attr.Flags, row.Flags & ~TYPEFLAG_FOLEAUTOMATION) << row.Name;
      HREFTYPE vtableRef = 0;
      ITypeInfo* vtable = nullptr;
      ASSERT_EQ(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableRef), S_OK);
      ASSERT_EQ(info->GetRefTypeInfo(vtableRef, &vtable), S_OK);
      EXPECT_EQ(AttrOf(vtable).Flags, row.Flags);
      vtable->Release();
    } else {
      EXPECT_EQ(attr.Flags, row.Flags) << row.Name;
    }
    EXPECT_EQ(attr.Guid, row.Guid) << row.Name;
    EXPECT_EQ(attr.Major, 1) << row.Name;
    EXPECT_EQ(attr.Minor, 0) << row.Name;
    info->Release();
  }
}

// IQorvX's vtable view: 79 functions over 86 slots after IDispatch's seven,
// each in its slot with its dispid, kind, parameter type and flags, hidden
// where the table says so; only Disconnect has a help string.
TEST(QorvTypeLib, DualInterfaceMemberByMember) {
  Library lib;
  ASSERT_TRUE(lib);
  ITypeInfo* dispatch = nullptr;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_IQorvX, &dispatch), S_OK);
  HREFTYPE vtableRef = 0;
  ASSERT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableRef), S_OK);
  ITypeInfo* info = nullptr;
  ASSERT_EQ(dispatch->GetRefTypeInfo(vtableRef, &info), S_OK);
  dispatch->Release();

  Attr attr = AttrOf(info);
  EXPECT_EQ(attr.Kind, TKIND_INTERFACE);
  EXPECT_EQ(attr.Funcs, 79);
  EXPECT_EQ(attr.Vft, 86 * sizeof(void*));
  EXPECT_EQ(IQorvXVtableSlots, 86);
  ASSERT_EQ(attr.Impl, 1);
  HREFTYPE baseRef = 0;
  ASSERT_EQ(info->GetRefTypeOfImplType(0, &baseRef), S_OK);
  ITypeInfo* base = nullptr;
  ASSERT_EQ(info->GetRefTypeInfo(baseRef, &base), S_OK);
  EXPECT_EQ(AttrOf(base).Guid, IID_IDispatch);
  base->Release();

  std::vector<Expected> expected = ExpectedFunctions();
  ASSERT_EQ(expected.size(), 79u);
  for (UINT i = 0; i < expected.size(); ++i) {
    const Expected& e = expected[i];
    FUNCDESC* f = nullptr;
    ASSERT_EQ(info->GetFuncDesc(i, &f), S_OK);
    SCOPED_TRACE(e.Name + " (function " + std::to_string(i) + ")");
    EXPECT_EQ(f->oVft / static_cast<SHORT>(sizeof(void*)), static_cast<SHORT>(7 + i)) << "vtable slot";
    EXPECT_EQ(f->memid, e.Dispid);
    EXPECT_EQ(f->invkind, e.Kind);
    EXPECT_EQ(f->funckind, FUNC_PUREVIRTUAL);
    EXPECT_EQ(f->callconv, CC_STDCALL);
    EXPECT_EQ(TypeText(info, f->elemdescFunc.tdesc), "HRESULT");
    EXPECT_EQ((f->wFuncFlags & FUNCFLAG_FHIDDEN) != 0, e.Hidden);
    ASSERT_EQ(static_cast<size_t>(f->cParams), e.Params.size());
    EXPECT_EQ(f->cParamsOpt, 0);
    for (SHORT p = 0; p < f->cParams; ++p) {
      EXPECT_EQ(TypeText(info, f->lprgelemdescParam[p].tdesc), e.Params[p]);
      EXPECT_EQ(f->lprgelemdescParam[p].paramdesc.wParamFlags, e.ParamFlags);
    }
    info->ReleaseFuncDesc(f);

    Doc doc = DocOf(info, e.Dispid);
    EXPECT_EQ(doc.Name, e.Name);
    if (e.Name == "Disconnect") {
      EXPECT_EQ(doc.Help, "for disconnect from recorder!!");
    } else {
      EXPECT_FALSE(doc.HasHelp && !doc.Help.empty()) << doc.Help;
    }
    if (e.Kind == INVOKE_PROPERTYGET) {
      BSTR names[3] = {};
      UINT count = 0;
      ASSERT_EQ(info->GetNames(e.Dispid, names, 3, &count), S_OK);
      ASSERT_EQ(count, 2u);
      EXPECT_EQ(Narrow(names[0]), e.Name);
      EXPECT_EQ(Narrow(names[1]), "Value");
      SysFreeString(names[0]);
      SysFreeString(names[1]);
    }
  }
  info->Release();
}

// OLE_COLOR and IFontDisp come from the standard OLE library: Color is the
// public alias with its published GUID, so hosts show a colour picker.
TEST(QorvTypeLib, StandardTypesComeFromStdole) {
  Library lib;
  ASSERT_TRUE(lib);
  ITypeInfo* dispatch = nullptr;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_IQorvX, &dispatch), S_OK);
  HREFTYPE vtableRef = 0;
  ASSERT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableRef), S_OK);
  ITypeInfo* info = nullptr;
  ASSERT_EQ(dispatch->GetRefTypeInfo(vtableRef, &info), S_OK);
  dispatch->Release();
  FUNCDESC* f = nullptr;
  ASSERT_EQ(info->GetFuncDesc(10, &f), S_OK);  // get_Color
  ASSERT_EQ(f->lprgelemdescParam[0].tdesc.vt, VT_PTR);
  const TYPEDESC& color = *f->lprgelemdescParam[0].tdesc.lptdesc;
  ASSERT_EQ(color.vt, VT_USERDEFINED);
  ITypeInfo* alias = nullptr;
  ASSERT_EQ(info->GetRefTypeInfo(color.hreftype, &alias), S_OK);
  Attr attr = AttrOf(alias);
  EXPECT_EQ(attr.Kind, TKIND_ALIAS);
  const GUID oleColor{0x66504301, 0xBE0F, 0x101A, {0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};
  EXPECT_EQ(attr.Guid, oleColor);
  ITypeLib* owner = nullptr;
  UINT index = 0;
  ASSERT_EQ(alias->GetContainingTypeLib(&owner, &index), S_OK);
  TLIBATTR* ownerAttr = nullptr;
  ASSERT_EQ(owner->GetLibAttr(&ownerAttr), S_OK);
  const GUID stdole{0x00020430, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  EXPECT_EQ(ownerAttr->guid, stdole);
  EXPECT_EQ(ownerAttr->wMajorVerNum, 2);
  owner->ReleaseTLibAttr(ownerAttr);
  owner->Release();
  alias->Release();
  info->ReleaseFuncDesc(f);
  info->Release();
}

// The eight events: dispatch methods returning nothing, with their dispids;
// OnKeyPress's Key is a 16-bit integer passed in and out.
TEST(QorvTypeLib, EventsWithTheirDispids) {
  Library lib;
  ASSERT_TRUE(lib);
  ITypeInfo* info = InfoAt(lib, 1);
  ASSERT_NE(info, nullptr);
  struct Event {
    const char* Name;
    MEMBERID Dispid;
  };
  const Event events[] = {{"OnActivate", 1}, {"OnClick", 2},      {"OnCreate", 3},    {"OnDblClick", 5},
                          {"OnDestroy", 6},  {"OnDeactivate", 7}, {"OnKeyPress", 11}, {"OnPaint", 16}};
  ASSERT_EQ(AttrOf(info).Funcs, 8);
  for (UINT i = 0; i < 8; ++i) {
    FUNCDESC* f = nullptr;
    ASSERT_EQ(info->GetFuncDesc(i, &f), S_OK);
    SCOPED_TRACE(events[i].Name);
    EXPECT_EQ(f->memid, events[i].Dispid);
    EXPECT_EQ(f->funckind, FUNC_DISPATCH);
    EXPECT_EQ(f->invkind, INVOKE_FUNC);
    EXPECT_EQ(TypeText(info, f->elemdescFunc.tdesc), "void");
    EXPECT_EQ(DocOf(info, f->memid).Name, events[i].Name);
    if (events[i].Dispid == DISPID_QorvX_OnKeyPress) {
      ASSERT_EQ(f->cParams, 1);
      EXPECT_EQ(TypeText(info, f->lprgelemdescParam[0].tdesc), "i2*");
      EXPECT_EQ(f->lprgelemdescParam[0].paramdesc.wParamFlags, PARAMFLAG_FIN | PARAMFLAG_FOUT);
      BSTR names[2] = {};
      UINT count = 0;
      ASSERT_EQ(info->GetNames(f->memid, names, 2, &count), S_OK);
      ASSERT_EQ(count, 2u);
      EXPECT_EQ(Narrow(names[1]), "Key");
      SysFreeString(names[0]);
      SysFreeString(names[1]);
    } else {
      EXPECT_EQ(f->cParams, 0);
    }
    info->ReleaseFuncDesc(f);
  }
  info->Release();
}

// The coclass implements IQorvX as default and IQorvXEvents as default source.
TEST(QorvTypeLib, CoclassImplementsBothInterfaces) {
  Library lib;
  ASSERT_TRUE(lib);
  ITypeInfo* info = nullptr;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(CLSID_QorvX, &info), S_OK);
  ASSERT_EQ(AttrOf(info).Impl, 2);
  const std::pair<GUID, INT> impl[] = {{IID_IQorvX, IMPLTYPEFLAG_FDEFAULT},
                                       {DIID_IQorvXEvents, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}};
  for (UINT i = 0; i < 2; ++i) {
    INT flags = 0;
    HREFTYPE ref = 0;
    ASSERT_EQ(info->GetImplTypeFlags(i, &flags), S_OK);
    ASSERT_EQ(info->GetRefTypeOfImplType(i, &ref), S_OK);
    ITypeInfo* target = nullptr;
    ASSERT_EQ(info->GetRefTypeInfo(ref, &target), S_OK);
    EXPECT_EQ(AttrOf(target).Guid, impl[i].first) << i;
    EXPECT_EQ(flags, impl[i].second) << i;
    target->Release();
  }
  info->Release();
}

// Each enum constant is a 32-bit integer constant whose help string is its
// own name; TxMouseButton is there though no member uses it.
TEST(QorvTypeLib, EnumConstantsWithTheirNames) {
  Library lib;
  ASSERT_TRUE(lib);
  const std::vector<std::vector<std::string>> constants = {
      {"afbNone", "afbSingle", "afbSunken", "afbRaised"},
      {"poNone", "poProportional", "poPrintToFit"},
      {"mbLeft", "mbRight", "mbMiddle"},
      {"htKeyword", "htContext"},
  };
  for (UINT e = 0; e < constants.size(); ++e) {
    ITypeInfo* info = InfoAt(lib, 3 + e);
    ASSERT_NE(info, nullptr);
    ASSERT_EQ(AttrOf(info).Vars, constants[e].size());
    for (UINT v = 0; v < constants[e].size(); ++v) {
      VARDESC* var = nullptr;
      ASSERT_EQ(info->GetVarDesc(v, &var), S_OK);
      SCOPED_TRACE(constants[e][v]);
      EXPECT_EQ(var->varkind, VAR_CONST);
      EXPECT_EQ(var->elemdescVar.tdesc.vt, VT_I4);
      ASSERT_NE(var->lpvarValue, nullptr);
      EXPECT_EQ(var->lpvarValue->vt, VT_I4);
      EXPECT_EQ(var->lpvarValue->lVal, static_cast<LONG>(v));
      Doc doc = DocOf(info, var->memid);
      EXPECT_EQ(doc.Name, constants[e][v]);
      EXPECT_EQ(doc.Help, constants[e][v]);
      info->ReleaseVarDesc(var);
    }
    info->Release();
  }
}

// The C++ declarations hosts compile against agree with the library: each
// enum is four bytes and the events' dispids are the library's.
TEST(QorvTypeLib, CppDeclarationsMatchTheLibrary) {
  static_assert(sizeof(TxActiveFormBorderStyle) == 4 && sizeof(TxPrintScale) == 4);
  static_assert(sizeof(TxMouseButton) == 4 && sizeof(TxHelpType) == 4);
  static_assert(QorvProj1_TLB::afbRaised == 3 && QorvProj1_TLB::poPrintToFit == 2 && QorvProj1_TLB::htContext == 1);
  Library lib;
  ASSERT_TRUE(lib);
  ITypeInfo* events = nullptr;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(DIID_IQorvXEvents, &events), S_OK);
  const std::pair<const char*, DISPID> names[] = {
      {"OnActivate", DISPID_QorvX_OnActivate}, {"OnClick", DISPID_QorvX_OnClick},
      {"OnCreate", DISPID_QorvX_OnCreate},     {"OnDblClick", DISPID_QorvX_OnDblClick},
      {"OnDestroy", DISPID_QorvX_OnDestroy},   {"OnDeactivate", DISPID_QorvX_OnDeactivate},
      {"OnKeyPress", DISPID_QorvX_OnKeyPress}, {"OnPaint", DISPID_QorvX_OnPaint}};
  for (const auto& [name, dispid] : names) {
    std::u16string wide = Wide(name);
    LPOLESTR text = wide.data();
    MEMBERID found = 0;
    EXPECT_EQ(events->GetIDsOfNames(&text, 1, &found), S_OK) << name;
    EXPECT_EQ(found, dispid) << name;
  }
  events->Release();
}

// The C++ declaration hosts compile against has each member in the slot the
// library gives it: a call through the vtable reaches the member ITypeInfo::
// Invoke means. (A virtual member pointer holds 1 + the slot's byte offset.)
TEST(QorvTypeLib, CppVtableMatchesTheLibrary) {
  const std::vector<std::ptrdiff_t> slots = {
      SlotOf(&IQorvX::get_Visible),        SlotOf(&IQorvX::put_Visible),
      SlotOf(&IQorvX::get_AutoScroll),     SlotOf(&IQorvX::put_AutoScroll),
      SlotOf(&IQorvX::get_AutoSize),       SlotOf(&IQorvX::put_AutoSize),
      SlotOf(&IQorvX::get_AxBorderStyle),  SlotOf(&IQorvX::put_AxBorderStyle),
      SlotOf(&IQorvX::get_Caption),        SlotOf(&IQorvX::put_Caption),
      SlotOf(&IQorvX::get_Color),          SlotOf(&IQorvX::put_Color),
      SlotOf(&IQorvX::get_Font),           SlotOf(&IQorvX::put_Font),
      SlotOf(&IQorvX::_set_Font),          SlotOf(&IQorvX::get_KeyPreview),
      SlotOf(&IQorvX::put_KeyPreview),     SlotOf(&IQorvX::get_PixelsPerInch),
      SlotOf(&IQorvX::put_PixelsPerInch),  SlotOf(&IQorvX::get_PrintScale),
      SlotOf(&IQorvX::put_PrintScale),     SlotOf(&IQorvX::get_Scaled),
      SlotOf(&IQorvX::put_Scaled),         SlotOf(&IQorvX::get_Active),
      SlotOf(&IQorvX::get_DropTarget),     SlotOf(&IQorvX::put_DropTarget),
      SlotOf(&IQorvX::get_HelpFile),       SlotOf(&IQorvX::put_HelpFile),
      SlotOf(&IQorvX::get_DoubleBuffered), SlotOf(&IQorvX::put_DoubleBuffered),
      SlotOf(&IQorvX::get_AlignDisabled),  SlotOf(&IQorvX::get_VisibleDockClientCount),
      SlotOf(&IQorvX::get_Enabled),        SlotOf(&IQorvX::put_Enabled),
      SlotOf(&IQorvX::get_Cursor),         SlotOf(&IQorvX::put_Cursor),
      SlotOf(&IQorvX::get_HelpType),       SlotOf(&IQorvX::put_HelpType),
      SlotOf(&IQorvX::get_HelpKeyword),    SlotOf(&IQorvX::put_HelpKeyword),
      SlotOf(&IQorvX::AboutBox),           SlotOf(&IQorvX::get_Connect),
      SlotOf(&IQorvX::put_Connect),        SlotOf(&IQorvX::get_Disconnect),
      SlotOf(&IQorvX::put_Disconnect),     SlotOf(&IQorvX::get_Line),
      SlotOf(&IQorvX::put_Line),           SlotOf(&IQorvX::get_StartRecord),
      SlotOf(&IQorvX::put_StartRecord),    SlotOf(&IQorvX::get_StopRecord),
      SlotOf(&IQorvX::put_StopRecord),     SlotOf(&IQorvX::get_SetProtocol1),
      SlotOf(&IQorvX::put_SetProtocol1),   SlotOf(&IQorvX::get_SetProtocol2),
      SlotOf(&IQorvX::put_SetProtocol2),   SlotOf(&IQorvX::get_SetProtocol3),
      SlotOf(&IQorvX::put_SetProtocol3),   SlotOf(&IQorvX::get_SetStarONOFF),
      SlotOf(&IQorvX::put_SetStarONOFF),   SlotOf(&IQorvX::get_SetStatus),
      SlotOf(&IQorvX::put_SetStatus),      SlotOf(&IQorvX::get_Date),
      SlotOf(&IQorvX::put_Date),           SlotOf(&IQorvX::get_Time),
      SlotOf(&IQorvX::put_Time),           SlotOf(&IQorvX::get_SetTime),
      SlotOf(&IQorvX::put_SetTime),        SlotOf(&IQorvX::get_ReadTime),
      SlotOf(&IQorvX::put_ReadTime),       SlotOf(&IQorvX::get_PortNumber),
      SlotOf(&IQorvX::put_PortNumber),     SlotOf(&IQorvX::get_SavePath),
      SlotOf(&IQorvX::put_SavePath),       SlotOf(&IQorvX::get_OpenPort),
      SlotOf(&IQorvX::put_OpenPort),       SlotOf(&IQorvX::get_CallerID),
      SlotOf(&IQorvX::put_CallerID),       SlotOf(&IQorvX::get_QorEvent),
      SlotOf(&IQorvX::put_QorEvent),
  };
  ASSERT_EQ(slots.size(), 79u);
  for (size_t i = 0; i < slots.size(); ++i) EXPECT_EQ(slots[i], static_cast<std::ptrdiff_t>(7 + i)) << i;
}
