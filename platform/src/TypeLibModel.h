// A type library as read from its file: every description the ITypeLib and
// ITypeInfo objects hand out, built once and never changed, so the objects
// can answer from any thread without a lock and give out pointers into it.
//
// The descriptions are the SDK's structures (TYPEATTR, FUNCDESC, VARDESC ...)
// whose nested pointers (type chains, parameters, default values) point into
// storage owned here. Vtable offsets (FUNCDESC::oVft, TYPEATTR::cbSizeVft) are
// in the host's pointer size: the file's slots of 4 bytes (Win32) or 8 bytes
// (Win64) are counted and multiplied by sizeof(void*), so that slot n of the
// library is slot n of a vtable of this process.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "oaidl.h"

namespace qorv::platform::typelib {

// A type reference that names a type of this library is the offset of its
// entry in the file (a multiple of 4); one that names a type of an imported
// library has bit 0 set. The vtable view of a dual interface is reached from
// its dispatch view through this value, which no file uses.
constexpr HREFTYPE kDualInterfaceRef = 0xFFFFFFFEu;

struct FuncModel {
  FUNCDESC Desc{};
  std::vector<ELEMDESC> Params;
  std::deque<PARAMDESCEX> Defaults;  // pointed at by Params[i].paramdesc.pparamdescex
  std::u16string Name;
  std::vector<std::u16string> ParamNames;  // empty for an unnamed parameter
  std::u16string DocString;
  bool HasDocString = false;
  DWORD HelpContext = 0;
  // Nested parts of the types when this is a copy of another library's
  // description; a description read from the file uses the library's.
  std::deque<TYPEDESC> TypeDescs;
  std::deque<std::vector<std::byte>> ArrayDescs;
  ~FuncModel();
};

struct VarModel {
  VARDESC Desc{};
  VARIANT Value{};  // the constant of a VAR_CONST, pointed at by Desc.lpvarValue
  std::u16string Name;
  std::u16string DocString;
  bool HasDocString = false;
  DWORD HelpContext = 0;
  ~VarModel();
};

struct ImplTypeModel {
  HREFTYPE Ref = 0;
  INT Flags = 0;
};

struct TypeInfoModel {
  TYPEATTR Attr{};
  DWORD FileOffset = 0;  // its own type reference
  std::u16string Name;
  std::u16string DocString;
  bool HasDocString = false;
  DWORD HelpContext = 0;
  std::vector<std::unique_ptr<FuncModel>> Funcs;
  std::vector<std::unique_ptr<VarModel>> Vars;
  std::vector<ImplTypeModel> ImplTypes;
  // For a dual interface (stored as a dispatch interface with TYPEFLAG_FDUAL):
  // the number of vtable slots its base interfaces take.
  UINT InheritedSlots = 0;
};

// A library that this one imports types from.
struct ImportFileModel {
  GUID LibId{};
  WORD MajorVersion = 0;
  WORD MinorVersion = 0;
  LCID Lcid = 0;
  std::string FileName;
};

// One imported type: which library, and either the type's GUID or its index
// in that library.
struct ImportRefModel {
  DWORD Offset = 0;  // the reference is Offset | 1
  size_t File = 0;   // index into TypeLibModel::ImportFiles
  bool ByGuid = false;
  GUID Guid{};
  UINT Index = 0;
};

struct TypeLibModel {
  TLIBATTR Attr{};
  std::u16string Name;
  std::u16string DocString;
  bool HasDocString = false;
  DWORD HelpContext = 0;
  std::u16string HelpFile;
  bool HasHelpFile = false;
  std::vector<TypeInfoModel> TypeInfos;
  std::vector<ImportFileModel> ImportFiles;
  std::vector<ImportRefModel> ImportRefs;
  // Nested parts of type descriptions; deques keep their elements in place.
  std::deque<TYPEDESC> TypeDescs;
  std::deque<std::vector<std::byte>> ArrayDescs;

  // The index of the type info with this file offset, or -1.
  int IndexOfOffset(DWORD offset) const;
  const ImportRefModel* ImportOf(HREFTYPE ref) const;
};

}  // namespace qorv::platform::typelib
