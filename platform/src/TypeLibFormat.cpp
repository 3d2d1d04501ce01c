// The compiled type library format, as we read it.
//
// All numbers are little-endian; "int" below is 32 bits. A file starts with a
// header of 21 ints: the magic "MSFT", the format version 0x00010002, the
// library's GUID (an offset into the GUID table), two locale ids, a flag word
// whose low nibble is the system kind (bit 8: a help-string DLL offset follows
// the type info offsets), the version (major in the low half, minor in the
// high half), the library flags, the number of type infos, the help string
// (string table offset), help string context, help context, the name table's
// entry and character counts, the library name (name table offset), the help
// file (string table offset), custom data, two constants, the reference of
// IDispatch (the base every dispinterface implies) and the number of import
// records. Offsets of -1 mean "none" throughout.
//
// Then come one int per type info (its offset in the type info table), the
// optional help-string DLL int, and a directory of 15 segments, each four
// ints: file offset, length and two constants. The segments are, in order:
// the type info table (entries of 0x64 bytes), import records (12 bytes:
// flags with the referenced kind in the top byte and bit 16 set when the
// third int is a GUID table offset rather than a type index, the import file
// record's offset, and that GUID offset or index), import files (the
// library's GUID offset, locale, version, then a 16-bit word holding the file
// name length shifted left by 2, and the name), the coclass implementation
// list (16 bytes: type reference, IMPLTYPEFLAGs, custom data, next record's
// offset), a GUID hash, the GUID table (24 bytes: GUID, owner, hash chain), a
// name hash, the name table (an owner int, a hash chain int, an int whose low
// byte is the name length, then the 8-bit name padded to 4 bytes), the string
// table (a 16-bit length and the 8-bit text, padded), type descriptions,
// array descriptions, custom data, custom data GUIDs and two unused slots.
//
// A type info entry holds: kind (low nibble) with the alignment in bits 11 to
// 15; the file offset of its member block; counts (functions in the low half
// and variables in the high half of the int at 0x18); GUID (0x2C); type flags
// (0x30); name (0x34); version (0x38); help string (0x3C); help context
// (0x44); the number of implemented types (16 bits at 0x4C) and the vtable
// size in bytes (16 bits at 0x4E); the instance size (0x50); and at 0x54 the
// base interface's reference (interfaces), the first implementation record
// (coclasses) or the aliased type (aliases).
//
// A type is written as an int: negative means a basic type whose VARTYPE is
// the low 16 bits; otherwise it is the offset of an 8-byte description whose
// first 16 bits are the VARTYPE and whose second int is the pointed-at type
// (VT_PTR, VT_SAFEARRAY, same encoding), the type reference
// (VT_USERDEFINED) or the array description's offset (VT_CARRAY: element
// type, a 16-bit dimension count, 16 bits more, then per dimension the element
// count and lower bound).
//
// A member block starts with an int giving the byte length of the records
// that follow: first the function records, then the variable records, each
// starting with an int whose low 16 bits are its own length. After the
// records come, per member, the member id, the name (name table offset) and
// the record's offset. A function record has: return type; function flags;
// vtable offset (16 bits); an int with the function kind (bits 0-2), invoke
// kind (bits 3-6), calling convention (bits 8-11) and bit 12 set when default
// values are present; and the parameter and optional-parameter counts (16
// bits each). Optional ints may follow (help context, help string, entry,
// two reserved, help string context, custom data), then one default value
// per parameter when bit 12 is set, and last 12 bytes per parameter: type,
// name, PARAMFLAGs. A variable record has type, variable flags, the variable
// kind (16 bits), and its value or instance offset, then optionally help
// context and help string.
//
// A constant (a default value, an enum value) is an int: negative means the
// value is in the low 26 bits with its VARTYPE in bits 26-30; otherwise it is
// the offset in the custom data segment of a 16-bit VARTYPE followed by the
// value (strings as a 32-bit length and the 8-bit text).
#include "TypeLibFormat.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <map>
#include <new>
#include <optional>
#include <unordered_set>

#include "codepage.h"

namespace qorv::platform::typelib {

namespace {

constexpr std::uint32_t kMagic = 0x5446534Du;       // "MSFT"
constexpr std::uint32_t kOtherMagic = 0x47544C53u;  // "SLTG", the older format
constexpr std::uint32_t kFormatVersion = 0x00010002u;
constexpr std::uint64_t kHeaderSize = 0x54;
constexpr std::uint64_t kTypeInfoSize = 0x64;
constexpr std::uint64_t kSegmentCount = 15;
constexpr std::uint64_t kGuidSize = 16;
constexpr int kMaxTypeDepth = 16;
constexpr std::uint32_t kHelpDllFlag = 0x100;

enum SegmentIndex {
  kTypeInfoTable = 0,
  kImportInfo = 1,
  kImportFiles = 2,
  kRefTable = 3,
  kGuidTable = 5,
  kNameTable = 7,
  kStringTable = 8,
  kTypeDescTable = 9,
  kArrayDescTable = 10,
  kCustomData = 11,
};

// Thrown inside the parser only; ParseTypeLib turns it into its result.
struct BadFormat {
  HRESULT Result;
};

[[noreturn]] void Refuse(HRESULT result = TYPE_E_INVDATAREAD) { throw BadFormat{result}; }

struct Region {
  std::uint64_t Offset = 0;
  std::uint64_t Length = 0;

  // The file offset of `need` bytes at `relative` in this region.
  std::uint64_t At(std::int64_t relative, std::uint64_t need) const {
    if (relative < 0) Refuse();
    auto rel = static_cast<std::uint64_t>(relative);
    if (rel > Length || need > Length - rel) Refuse();
    return Offset + rel;
  }
};

class Bytes {
 public:
  explicit Bytes(std::span<const std::byte> data) : data_(data) {}

  std::uint64_t Size() const { return data_.size(); }
  void Need(std::uint64_t offset, std::uint64_t length) const {
    if (offset > data_.size() || length > data_.size() - offset) Refuse();
  }
  std::int32_t I32(std::uint64_t offset) const {
    Need(offset, 4);
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | std::to_integer<std::uint32_t>(data_[offset + i]);
    return static_cast<std::int32_t>(v);
  }
  std::uint16_t U16(std::uint64_t offset) const {
    Need(offset, 2);
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(data_[offset]) |
                                      (std::to_integer<unsigned>(data_[offset + 1]) << 8));
  }
  std::int16_t I16(std::uint64_t offset) const { return static_cast<std::int16_t>(U16(offset)); }
  std::uint8_t U8(std::uint64_t offset) const {
    Need(offset, 1);
    return std::to_integer<std::uint8_t>(data_[offset]);
  }
  const char* Chars(std::uint64_t offset, std::uint64_t length) const {
    Need(offset, length);
    return reinterpret_cast<const char*>(data_.data() + offset);
  }

 private:
  std::span<const std::byte> data_;
};

bool IsBasicType(VARTYPE vt) {
  switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_VARIANT:
    case VT_UNKNOWN:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_VOID:
    case VT_HRESULT:
    case VT_LPSTR:
    case VT_LPWSTR:
    case VT_INT_PTR:
    case VT_UINT_PTR:
    case VT_FILETIME:
    case VT_BLOB:
    case VT_CLSID: return true;
    default: return false;
  }
}

// Names and strings are 8-bit text in the code page of the library's locale.
UINT CodePageOf(LCID lcid) {
  switch (lcid & 0x3FF) {
    case 0x01:  // Arabic
    case 0x20:  // Urdu
    case 0x29:  // Persian
      return 1256;
    default: return 1252;
  }
}

class Parser {
 public:
  Parser(std::span<const std::byte> data, TypeLibModel& model)
      : bytes_(data), model_(model), budget_(64 * static_cast<std::uint64_t>(data.size()) + (1u << 20)) {}

  void Run() {
    ReadHeader();
    ReadLibrary();
    ReadImports();
    ReadTypeInfos();
  }

 private:
  void ReadHeader() {
    if (bytes_.Size() < kHeaderSize) Refuse();
    auto magic = static_cast<std::uint32_t>(bytes_.I32(0));
    if (magic == kOtherMagic) Refuse(TYPE_E_UNSUPFORMAT);
    if (magic != kMagic) Refuse();
    if (static_cast<std::uint32_t>(bytes_.I32(4)) != kFormatVersion) Refuse(TYPE_E_UNSUPFORMAT);
    for (int i = 0; i < 21; ++i) header_[i] = bytes_.I32(4 * i);

    std::int32_t count = header_[8];
    if (count < 0 || static_cast<std::uint64_t>(count) > (bytes_.Size() - kHeaderSize) / 4) Refuse();
    std::uint64_t at = kHeaderSize;
    typeInfoOffsets_.resize(count);
    for (std::int32_t i = 0; i < count; ++i, at += 4) typeInfoOffsets_[i] = bytes_.I32(at);
    if (static_cast<std::uint32_t>(header_[5]) & kHelpDllFlag) at += 4;
    bytes_.Need(at, kSegmentCount * 16);
    for (std::uint64_t i = 0; i < kSegmentCount; ++i, at += 16) {
      std::int32_t offset = bytes_.I32(at);
      std::int32_t length = bytes_.I32(at + 4);
      if (offset == -1) continue;  // absent: an empty region
      if (offset < 0 || length < 0) Refuse();
      bytes_.Need(static_cast<std::uint64_t>(offset), static_cast<std::uint64_t>(length));
      segments_[i] = Region{static_cast<std::uint64_t>(offset), static_cast<std::uint64_t>(length)};
    }
  }

  void ReadLibrary() {
    auto& attr = model_.Attr;
    attr.guid = GuidAt(header_[2]);
    attr.lcid = static_cast<LCID>(header_[3]);
    codePage_ = CodePageOf(attr.lcid);
    std::uint32_t sysKind = static_cast<std::uint32_t>(header_[5]) & 0xF;
    if (sysKind > SYS_WIN64) Refuse(TYPE_E_UNSUPFORMAT);
    attr.syskind = static_cast<SYSKIND>(sysKind);
    slotSize_ = sysKind == SYS_WIN64 ? 8 : 4;
    attr.wMajorVerNum = static_cast<WORD>(header_[6] & 0xFFFF);
    attr.wMinorVerNum = static_cast<WORD>((static_cast<std::uint32_t>(header_[6]) >> 16) & 0xFFFF);
    attr.wLibFlags = static_cast<WORD>(header_[7] & 0xFFFF);
    model_.Name = NameAt(header_[14]);
    model_.HasDocString = StringAt(header_[9], model_.DocString);
    model_.HelpContext = static_cast<DWORD>(header_[11]);
    model_.HasHelpFile = StringAt(header_[15], model_.HelpFile);
    dispatchRef_ = header_[19];
  }

  // ---- import records ----

  void ReadImports() {
    const Region& infos = segments_[kImportInfo];
    std::map<std::int32_t, size_t> files;  // import file offset -> index
    for (std::uint64_t rel = 0; rel + 12 <= infos.Length; rel += 12) {
      std::uint64_t at = infos.Offset + rel;
      auto flags = static_cast<std::uint32_t>(bytes_.I32(at));
      std::int32_t fileOffset = bytes_.I32(at + 4);
      std::int32_t target = bytes_.I32(at + 8);
      Charge(sizeof(ImportRefModel));
      ImportRefModel ref;
      ref.Offset = static_cast<DWORD>(rel);
      auto known = files.find(fileOffset);
      if (known == files.end()) {
        model_.ImportFiles.push_back(ReadImportFile(fileOffset));
        known = files.emplace(fileOffset, model_.ImportFiles.size() - 1).first;
      }
      ref.File = known->second;
      ref.ByGuid = (flags & 0x10000u) != 0;
      if (ref.ByGuid) {
        ref.Guid = GuidAt(target);
      } else {
        if (target < 0) Refuse();
        ref.Index = static_cast<UINT>(target);
      }
      model_.ImportRefs.push_back(ref);
      importRefs_.insert(ref.Offset);
    }
  }

  ImportFileModel ReadImportFile(std::int32_t offset) {
    const Region& files = segments_[kImportFiles];
    std::uint64_t at = files.At(offset, 14);
    ImportFileModel file;
    file.LibId = GuidAt(bytes_.I32(at));
    file.Lcid = static_cast<LCID>(bytes_.I32(at + 4));
    auto version = static_cast<std::uint32_t>(bytes_.I32(at + 8));
    file.MajorVersion = static_cast<WORD>(version & 0xFFFF);
    file.MinorVersion = static_cast<WORD>(version >> 16);
    std::uint64_t length = bytes_.U16(at + 12) >> 2;
    std::uint64_t nameAt = files.At(static_cast<std::int64_t>(offset) + 14, length);
    Charge(sizeof(ImportFileModel) + length);
    file.FileName.assign(bytes_.Chars(nameAt, length), length);
    return file;
  }

  // ---- tables of names, strings and GUIDs ----

  GUID GuidAt(std::int32_t offset) {
    if (offset == -1) return GUID_NULL;
    std::uint64_t at = segments_[kGuidTable].At(offset, kGuidSize);
    GUID guid;
    guid.Data1 = static_cast<DWORD>(bytes_.I32(at));
    guid.Data2 = bytes_.U16(at + 4);
    guid.Data3 = bytes_.U16(at + 6);
    for (int i = 0; i < 8; ++i) guid.Data4[i] = bytes_.U8(at + 8 + i);
    return guid;
  }

  std::u16string Text(const char* text, std::uint64_t length) {
    if (length == 0) return {};
    Charge(2 * length);
    int wide = MultiByteToWideChar(codePage_, 0, text, static_cast<int>(length), nullptr, 0);
    if (wide <= 0) Refuse();
    std::u16string result(static_cast<size_t>(wide), u'\0');
    MultiByteToWideChar(codePage_, 0, text, static_cast<int>(length), result.data(), wide);
    return result;
  }

  std::u16string NameAt(std::int32_t offset) {
    if (offset == -1) return {};
    const Region& names = segments_[kNameTable];
    std::uint64_t at = names.At(offset, 12);
    std::uint64_t length = bytes_.U8(at + 8);
    std::uint64_t textAt = names.At(static_cast<std::int64_t>(offset) + 12, length);
    return Text(bytes_.Chars(textAt, length), length);
  }

  bool StringAt(std::int32_t offset, std::u16string& out) {
    if (offset == -1) return false;
    const Region& strings = segments_[kStringTable];
    std::uint64_t at = strings.At(offset, 2);
    std::uint64_t length = bytes_.U16(at);
    std::uint64_t textAt = strings.At(static_cast<std::int64_t>(offset) + 2, length);
    out = Text(bytes_.Chars(textAt, length), length);
    return true;
  }

  // ---- types ----

  void CheckReference(HREFTYPE ref) {
    bool known = ((ref & 3) == 0 && localRefs_.count(ref)) || ((ref & 3) == 1 && importRefs_.count(ref & ~3u));
    if (!known) Refuse();
  }

  // Counts what the model will hold, so that a small file whose records all
  // point at the same large ones cannot make it grow without bound.
  void Charge(std::uint64_t bytes) {
    used_ += bytes;
    if (used_ > budget_) Refuse();
  }

  void TypeAt(std::int32_t encoded, TYPEDESC& out, int depth = 0) {
    if (depth > kMaxTypeDepth) Refuse();
    if (encoded < 0) {
      auto vt = static_cast<VARTYPE>(encoded & 0xFFFF);
      if (!IsBasicType(vt)) Refuse();
      out.vt = vt;
      return;
    }
    std::uint64_t at = segments_[kTypeDescTable].At(encoded, 8);
    auto vt = static_cast<VARTYPE>(bytes_.U16(at) & VT_TYPEMASK);
    std::int32_t detail = bytes_.I32(at + 4);
    out.vt = vt;
    switch (vt) {
      case VT_PTR:
      case VT_SAFEARRAY: {
        Charge(sizeof(TYPEDESC));
        TYPEDESC& inner = model_.TypeDescs.emplace_back();
        TypeAt(detail, inner, depth + 1);
        out.lptdesc = &inner;
        return;
      }
      case VT_USERDEFINED:
        CheckReference(static_cast<HREFTYPE>(detail));
        out.hreftype = static_cast<HREFTYPE>(detail);
        return;
      case VT_CARRAY: out.lpadesc = ArrayAt(detail, depth + 1); return;
      default:
        if (!IsBasicType(vt)) Refuse();
        return;
    }
  }

  ARRAYDESC* ArrayAt(std::int32_t offset, int depth) {
    const Region& arrays = segments_[kArrayDescTable];
    std::uint64_t at = arrays.At(offset, 8);
    std::uint64_t dims = bytes_.U16(at + 4);
    arrays.At(static_cast<std::int64_t>(offset) + 8, dims * 8);
    // The struct holds one bound; more follow it.
    size_t size = std::max<size_t>(sizeof(ARRAYDESC), offsetof(ARRAYDESC, rgbounds) + dims * sizeof(SAFEARRAYBOUND));
    Charge(size);
    auto& storage = model_.ArrayDescs.emplace_back(size);
    auto* desc = new (storage.data()) ARRAYDESC{};
    TypeAt(bytes_.I32(at), desc->tdescElem, depth);
    desc->cDims = static_cast<USHORT>(dims);
    for (std::uint64_t i = 0; i < dims; ++i) {
      desc->rgbounds[i].cElements = static_cast<ULONG>(bytes_.I32(at + 8 + 8 * i));
      desc->rgbounds[i].lLbound = bytes_.I32(at + 12 + 8 * i);
    }
    return desc;
  }

  // ---- constants ----

  void ConstantAt(std::int32_t encoded, VARIANT& out) {
    out.vt = VT_EMPTY;
    if (encoded < 0) {
      auto vt = static_cast<VARTYPE>((static_cast<std::uint32_t>(encoded) >> 26) & 0x1F);
      auto value = static_cast<std::uint32_t>(encoded) & 0x03FFFFFFu;
      if (!SetInteger(out, vt, value)) Refuse();
      return;
    }
    const Region& data = segments_[kCustomData];
    std::uint64_t at = data.At(encoded, 2);
    auto vt = bytes_.U16(at);
    std::int64_t valueAt = static_cast<std::int64_t>(encoded) + 2;
    switch (vt) {
      case VT_EMPTY:
      case VT_NULL: out.vt = vt; return;
      case VT_I1:
      case VT_UI1: SetInteger(out, vt, bytes_.U8(data.At(valueAt, 1))); return;
      case VT_I2:
      case VT_UI2:
      case VT_BOOL: SetInteger(out, vt, bytes_.U16(data.At(valueAt, 2))); return;
      case VT_I4:
      case VT_UI4:
      case VT_INT:
      case VT_UINT:
      case VT_ERROR:
      case VT_HRESULT: SetInteger(out, vt, static_cast<std::uint32_t>(bytes_.I32(data.At(valueAt, 4)))); return;
      case VT_R4: {
        auto bits = static_cast<std::uint32_t>(bytes_.I32(data.At(valueAt, 4)));
        std::memcpy(&out.fltVal, &bits, 4);
        out.vt = VT_R4;
        return;
      }
      case VT_I8:
      case VT_UI8:
      case VT_R8:
      case VT_DATE:
      case VT_CY: {
        std::uint64_t at8 = data.At(valueAt, 8);
        std::uint64_t bits = static_cast<std::uint32_t>(bytes_.I32(at8)) |
                             (static_cast<std::uint64_t>(static_cast<std::uint32_t>(bytes_.I32(at8 + 4))) << 32);
        std::memcpy(&out.ullVal, &bits, 8);
        out.vt = vt;
        return;
      }
      case VT_BSTR: {
        std::int32_t length = bytes_.I32(data.At(valueAt, 4));
        out.vt = VT_BSTR;
        out.bstrVal = nullptr;
        if (length == -1) return;  // a null string
        if (length < 0) Refuse();
        std::uint64_t textAt = data.At(valueAt + 4, static_cast<std::uint64_t>(length));
        std::u16string text = Text(bytes_.Chars(textAt, length), length);
        out.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!out.bstrVal) throw std::bad_alloc();
        return;
      }
      default: return;  // a constant of a type we do not hand out stays VT_EMPTY
    }
  }

  static bool SetInteger(VARIANT& out, VARTYPE vt, std::uint32_t value) {
    switch (vt) {
      case VT_I1: out.cVal = static_cast<CHAR>(value); break;
      case VT_UI1: out.bVal = static_cast<BYTE>(value); break;
      case VT_I2: out.iVal = static_cast<SHORT>(value); break;
      case VT_UI2: out.uiVal = static_cast<USHORT>(value); break;
      case VT_BOOL: out.boolVal = static_cast<VARIANT_BOOL>(value); break;
      case VT_I4:
      case VT_ERROR: out.lVal = static_cast<LONG>(value); break;
      case VT_HRESULT:
        out.lVal = static_cast<LONG>(value);
        vt = VT_I4;
        break;
      case VT_UI4: out.ulVal = value; break;
      case VT_INT: out.intVal = static_cast<INT>(value); break;
      case VT_UINT: out.uintVal = value; break;
      default: return false;
    }
    out.vt = vt;
    return true;
  }

  // ---- type infos ----

  void ReadTypeInfos() {
    const Region& table = segments_[kTypeInfoTable];
    for (std::int32_t offset : typeInfoOffsets_) {
      table.At(offset, kTypeInfoSize);
      if (offset % 4 != 0) Refuse();
      localRefs_.insert(static_cast<HREFTYPE>(offset));
    }
    Charge(typeInfoOffsets_.size() * sizeof(TypeInfoModel));
    model_.TypeInfos.resize(typeInfoOffsets_.size());
    for (size_t i = 0; i < typeInfoOffsets_.size(); ++i) {
      ReadTypeInfo(table.Offset + static_cast<std::uint64_t>(typeInfoOffsets_[i]), model_.TypeInfos[i]);
      model_.TypeInfos[i].FileOffset = static_cast<DWORD>(typeInfoOffsets_[i]);
    }
  }

  void ReadTypeInfo(std::uint64_t at, TypeInfoModel& info) {
    auto& attr = info.Attr;
    auto kindWord = static_cast<std::uint32_t>(bytes_.I32(at));
    std::uint32_t kind = kindWord & 0xF;
    if (kind >= TKIND_MAX) Refuse();
    attr.typekind = static_cast<TYPEKIND>(kind);
    attr.cbAlignment = static_cast<WORD>((kindWord >> 11) & 0x1F);
    attr.guid = GuidAt(bytes_.I32(at + 0x2C));
    attr.lcid = model_.Attr.lcid;
    attr.memidConstructor = MEMBERID_NIL;
    attr.memidDestructor = MEMBERID_NIL;
    attr.wTypeFlags = static_cast<WORD>(bytes_.I32(at + 0x30) & 0xFFFF);
    auto version = static_cast<std::uint32_t>(bytes_.I32(at + 0x38));
    attr.wMajorVerNum = static_cast<WORD>(version & 0xFFFF);
    attr.wMinorVerNum = static_cast<WORD>(version >> 16);
    info.Name = NameAt(bytes_.I32(at + 0x34));
    info.HasDocString = StringAt(bytes_.I32(at + 0x3C), info.DocString);
    info.HelpContext = static_cast<DWORD>(bytes_.I32(at + 0x44));
    std::int32_t instanceSize = bytes_.I32(at + 0x50);
    attr.cbSizeInstance = instanceSize < 0 ? 0 : static_cast<ULONG>(instanceSize);

    auto counts = static_cast<std::uint32_t>(bytes_.I32(at + 0x18));
    size_t funcs = counts & 0xFFFF;
    size_t vars = counts >> 16;
    std::uint32_t implCount = bytes_.U16(at + 0x4C);
    std::uint32_t vftSlots = bytes_.U16(at + 0x4E) / slotSize_;
    std::int32_t detail = bytes_.I32(at + 0x54);
    ReadMembers(bytes_.I32(at + 4), funcs, vars, info);
    ReadImplTypes(info, implCount, detail);

    bool interfaceLike = kind == TKIND_INTERFACE || kind == TKIND_DISPATCH || kind == TKIND_COCLASS;
    if (interfaceLike) attr.cbSizeInstance = sizeof(void*);
    if (kind == TKIND_ALIAS) TypeAt(detail, attr.tdescAlias);
    if (kind == TKIND_INTERFACE) attr.cbSizeVft = HostVtableSize(vftSlots);
    if (kind == TKIND_DISPATCH && (attr.wTypeFlags & TYPEFLAG_FDUAL)) {
      // The library keeps a dual interface's vtable form; its dispatch view is
      // made from it when asked for.
      attr.typekind = TKIND_INTERFACE;
      attr.cbSizeVft = HostVtableSize(vftSlots);
      info.InheritedSlots = InheritedSlotsOf(info, vftSlots);
    } else if (kind == TKIND_DISPATCH) {
      attr.cbSizeVft = HostVtableSize(7);  // IDispatch's vtable
    }
    attr.cFuncs = static_cast<WORD>(info.Funcs.size());
    attr.cVars = static_cast<WORD>(info.Vars.size());
    attr.cImplTypes = static_cast<WORD>(info.ImplTypes.size());
  }

  WORD HostVtableSize(std::uint32_t slots) {
    std::uint64_t size = static_cast<std::uint64_t>(slots) * sizeof(void*);
    if (size > std::numeric_limits<WORD>::max()) Refuse();
    return static_cast<WORD>(size);
  }

  // The slots before the first function of its own.
  UINT InheritedSlotsOf(const TypeInfoModel& info, std::uint32_t vftSlots) {
    if (info.Funcs.empty()) return vftSlots;
    UINT first = std::numeric_limits<UINT>::max();
    for (const auto& func : info.Funcs) first = std::min<UINT>(first, func->Desc.oVft / sizeof(void*));
    return first;
  }

  void ReadImplTypes(TypeInfoModel& info, std::uint32_t count, std::int32_t detail) {
    switch (info.Attr.typekind) {
      case TKIND_COCLASS: {
        const Region& refs = segments_[kRefTable];
        std::int32_t next = detail;
        for (std::uint32_t i = 0; i < count; ++i) {
          std::uint64_t at = refs.At(next, 16);
          ImplTypeModel impl{static_cast<HREFTYPE>(bytes_.I32(at)), bytes_.I32(at + 4)};
          CheckReference(impl.Ref);
          info.ImplTypes.push_back(impl);
          next = bytes_.I32(at + 12);
        }
        return;
      }
      case TKIND_INTERFACE:
        if (count > 0 && detail != -1) {
          CheckReference(static_cast<HREFTYPE>(detail));
          info.ImplTypes.push_back({static_cast<HREFTYPE>(detail), 0});
        }
        return;
      case TKIND_DISPATCH: {
        // A dispinterface names no base of its own: it is IDispatch.
        std::int32_t base = detail != -1 ? detail : dispatchRef_;
        if (count > 0 && base != -1) {
          CheckReference(static_cast<HREFTYPE>(base));
          info.ImplTypes.push_back({static_cast<HREFTYPE>(base), 0});
        }
        return;
      }
      default: return;
    }
  }

  // ---- members ----

  void ReadMembers(std::int32_t blockOffset, size_t funcs, size_t vars, TypeInfoModel& info) {
    if (funcs + vars == 0) return;
    if (blockOffset < 0) Refuse();
    std::uint64_t block = static_cast<std::uint64_t>(blockOffset);
    std::int32_t total = bytes_.I32(block);
    if (total < 0) Refuse();
    Region records{block + 4, static_cast<std::uint64_t>(total)};
    bytes_.Need(records.Offset, records.Length);
    std::uint64_t members = funcs + vars;
    std::uint64_t tail = records.Offset + records.Length;
    bytes_.Need(tail, members * 12);
    std::uint64_t rel = 0;
    for (std::uint64_t i = 0; i < members; ++i) {
      std::uint64_t at = records.At(static_cast<std::int64_t>(rel), 4);
      std::uint64_t length = static_cast<std::uint32_t>(bytes_.I32(at)) & 0xFFFF;
      Region record{at, length};
      records.At(static_cast<std::int64_t>(rel), length);
      MEMBERID memid = bytes_.I32(tail + 4 * i);
      std::int32_t name = bytes_.I32(tail + 4 * (members + i));
      if (i < funcs) {
        info.Funcs.push_back(ReadFunc(record, memid, name));
      } else {
        info.Vars.push_back(ReadVar(record, memid, name));
      }
      rel += length;
      if (length == 0) Refuse();
    }
  }

  std::unique_ptr<FuncModel> ReadFunc(const Region& record, MEMBERID memid, std::int32_t name) {
    constexpr std::uint64_t kFixed = 24;
    if (record.Length < kFixed) Refuse();
    Charge(sizeof(FuncModel));
    auto func = std::make_unique<FuncModel>();
    auto& desc = func->Desc;
    std::uint64_t at = record.Offset;
    std::int16_t params = bytes_.I16(at + 20);
    std::int16_t optional = bytes_.I16(at + 22);
    if (params < 0 || optional < 0 || optional > params) Refuse();
    auto flagsWord = static_cast<std::uint32_t>(bytes_.I32(at + 16));
    bool hasDefaults = (flagsWord & 0x1000) != 0;
    std::uint64_t tailSize = 12ull * params + (hasDefaults ? 4ull * params : 0);
    if (record.Length < kFixed + tailSize || (record.Length - kFixed - tailSize) % 4 != 0) Refuse();
    std::uint64_t extras = (record.Length - kFixed - tailSize) / 4;

    desc.memid = memid;
    func->Name = NameAt(name);
    TypeAt(bytes_.I32(at + 4), desc.elemdescFunc.tdesc);
    desc.wFuncFlags = static_cast<WORD>(bytes_.I32(at + 8) & 0xFFFF);
    desc.oVft = HostVtableOffset(bytes_.I16(at + 12));
    std::uint32_t funcKind = flagsWord & 0x7;
    std::uint32_t invokeKind = (flagsWord >> 3) & 0xF;
    std::uint32_t callConv = (flagsWord >> 8) & 0xF;
    if (funcKind > FUNC_DISPATCH || callConv >= CC_MAX) Refuse();
    if (invokeKind != INVOKE_FUNC && invokeKind != INVOKE_PROPERTYGET && invokeKind != INVOKE_PROPERTYPUT &&
        invokeKind != INVOKE_PROPERTYPUTREF) {
      Refuse();
    }
    desc.funckind = static_cast<FUNCKIND>(funcKind);
    desc.invkind = static_cast<INVOKEKIND>(invokeKind);
    desc.callconv = static_cast<CALLCONV>(callConv);
    desc.cParams = params;
    desc.cParamsOpt = optional;
    if (extras > 0) func->HelpContext = static_cast<DWORD>(bytes_.I32(at + kFixed));
    if (extras > 1) func->HasDocString = StringAt(bytes_.I32(at + kFixed + 4), func->DocString);

    std::uint64_t defaultsAt = at + kFixed + 4 * extras;
    std::uint64_t paramsAt = record.Offset + record.Length - 12ull * params;
    Charge(static_cast<std::uint64_t>(params) * (sizeof(ELEMDESC) + sizeof(std::u16string)));
    func->Params.resize(params);
    func->ParamNames.resize(params);
    for (std::int16_t p = 0; p < params; ++p) {
      std::uint64_t info = paramsAt + 12ull * p;
      ELEMDESC& elem = func->Params[p];
      TypeAt(bytes_.I32(info), elem.tdesc);
      func->ParamNames[p] = NameAt(bytes_.I32(info + 4));
      elem.paramdesc.wParamFlags = static_cast<USHORT>(bytes_.I32(info + 8) & 0xFFFF);
      std::int32_t value = hasDefaults ? bytes_.I32(defaultsAt + 4ull * p) : -1;
      if ((elem.paramdesc.wParamFlags & PARAMFLAG_FHASDEFAULT) && value != -1) {
        Charge(sizeof(PARAMDESCEX));
        PARAMDESCEX& ex = func->Defaults.emplace_back();
        ex.cBytes = sizeof(PARAMDESCEX);
        ConstantAt(value, ex.varDefaultValue);
        elem.paramdesc.pparamdescex = &ex;
      } else {
        elem.paramdesc.wParamFlags &= static_cast<USHORT>(~PARAMFLAG_FHASDEFAULT);
      }
    }
    desc.lprgelemdescParam = params > 0 ? func->Params.data() : nullptr;
    return func;
  }

  SHORT HostVtableOffset(std::int16_t offset) {
    if (offset < 0 || offset % slotSize_ != 0) Refuse();
    std::int64_t host = static_cast<std::int64_t>(offset / slotSize_) * static_cast<std::int64_t>(sizeof(void*));
    if (host > std::numeric_limits<SHORT>::max()) Refuse();
    return static_cast<SHORT>(host);
  }

  std::unique_ptr<VarModel> ReadVar(const Region& record, MEMBERID memid, std::int32_t name) {
    constexpr std::uint64_t kFixed = 20;
    if (record.Length < kFixed) Refuse();
    Charge(sizeof(VarModel));
    auto var = std::make_unique<VarModel>();
    auto& desc = var->Desc;
    std::uint64_t at = record.Offset;
    desc.memid = memid;
    var->Name = NameAt(name);
    TypeAt(bytes_.I32(at + 4), desc.elemdescVar.tdesc);
    desc.wVarFlags = static_cast<WORD>(bytes_.I32(at + 8) & 0xFFFF);
    std::int16_t kind = bytes_.I16(at + 12);
    if (kind < VAR_PERINSTANCE || kind > VAR_DISPATCH) Refuse();
    desc.varkind = static_cast<VARKIND>(kind);
    std::int32_t value = bytes_.I32(at + 16);
    if (desc.varkind == VAR_CONST) {
      ConstantAt(value, var->Value);
      desc.lpvarValue = &var->Value;
    } else {
      desc.oInst = static_cast<ULONG>(value);
    }
    std::uint64_t extras = (record.Length - kFixed) / 4;
    if (extras > 0) var->HelpContext = static_cast<DWORD>(bytes_.I32(at + kFixed));
    if (extras > 1) var->HasDocString = StringAt(bytes_.I32(at + kFixed + 4), var->DocString);
    return var;
  }

  Bytes bytes_;
  TypeLibModel& model_;
  std::int32_t header_[21] = {};
  std::vector<std::int32_t> typeInfoOffsets_;
  Region segments_[kSegmentCount];
  UINT codePage_ = 1252;
  std::int32_t slotSize_ = 4;
  std::int32_t dispatchRef_ = -1;
  std::unordered_set<HREFTYPE> localRefs_;
  std::unordered_set<HREFTYPE> importRefs_;
  std::uint64_t budget_;
  std::uint64_t used_ = 0;
};

void ClearValue(VARIANT& value) {
  if (value.vt == VT_BSTR) SysFreeString(value.bstrVal);
  value.vt = VT_EMPTY;
}

}  // namespace

FuncModel::~FuncModel() {
  for (auto& ex : Defaults) ClearValue(ex.varDefaultValue);
}

VarModel::~VarModel() { ClearValue(Value); }

int TypeLibModel::IndexOfOffset(DWORD offset) const {
  for (size_t i = 0; i < TypeInfos.size(); ++i) {
    if (TypeInfos[i].FileOffset == offset) return static_cast<int>(i);
  }
  return -1;
}

const ImportRefModel* TypeLibModel::ImportOf(HREFTYPE ref) const {
  if ((ref & 3) != 1) return nullptr;
  for (const auto& imported : ImportRefs) {
    if (imported.Offset == (ref & ~3u)) return &imported;
  }
  return nullptr;
}

bool LooksLikeTypeLib(std::span<const std::byte> bytes) {
  if (bytes.size() < 4) return false;
  std::uint32_t magic = 0;
  for (int i = 3; i >= 0; --i) magic = (magic << 8) | std::to_integer<std::uint32_t>(bytes[i]);
  return magic == kMagic || magic == kOtherMagic;
}

ParseResult ParseTypeLib(std::span<const std::byte> bytes) {
  ParseResult result;
  try {
    auto model = std::make_unique<TypeLibModel>();
    Parser(bytes, *model).Run();
    result.Model = std::move(model);
    result.Result = S_OK;
  } catch (const BadFormat& bad) {
    result.Result = bad.Result;
  } catch (const std::bad_alloc&) {
    result.Result = E_OUTOFMEMORY;
  }
  return result;
}

}  // namespace qorv::platform::typelib
