// The layout this rewriter relies on (little-endian, "int" is 32 bits): a
// header of 21 ints (the type info count at int 8, the library's custom data
// at int 16), one int per type info giving its offset in the type info table
// (its type reference), an optional int when bit 8 of header int 5 is set,
// then 15 segment records of four ints (file offset, length, two constants).
// Type info entries are 0x64 bytes: kind in the low nibble of int 0, the
// absolute offset of the member block at 0x04, the variable count in the
// high half of 0x18, the GUID table offset at 0x2C, the name table offset at
// 0x34, the version at 0x38, custom data at 0x48, and at 0x54 the base
// interface reference (interfaces) or the first implementation record
// (coclasses). A member block is a length, the records (each starting with
// an int whose low 16 bits are its own length), then member ids, names and
// record offsets. A variable record is type, flags, kind, value, then the
// optional help context and help string (a string table offset).
//
// New content (the moved string table, rebuilt member blocks) is appended at
// the end of the file; the old copies stay as unreferenced bytes, so no other
// offset in the file moves.
#include "TypeLibFixup.h"

#include <algorithm>
#include <map>

namespace qorv::tlbfix {

namespace {

constexpr std::uint32_t kMagic = 0x5446534Du;  // "MSFT"
constexpr std::size_t kHeaderSize = 0x54;
constexpr std::size_t kTypeInfoSize = 0x64;
constexpr std::size_t kSegmentCount = 15;
constexpr int kTypeInfoTable = 0;
constexpr int kRefTable = 3;
constexpr int kGuidTable = 5;
constexpr int kNameTable = 7;
constexpr int kStringTable = 8;
constexpr int kTypeDescTable = 9;
constexpr std::uint32_t kEnumKind = 0;
constexpr std::uint32_t kInterfaceKind = 3;
constexpr std::uint32_t kDispatchKind = 4;
constexpr std::uint16_t kUserDefined = 0x1D;
constexpr std::int32_t kTypeInt = static_cast<std::int32_t>(0x80000000u | (3u << 16) | 0x16u);
constexpr std::int32_t kTypeIntPlain = static_cast<std::int32_t>(0x80000000u | (0x16u << 16) | 0x16u);
constexpr std::int32_t kTypeI4 = static_cast<std::int32_t>(0x80000000u | (3u << 16) | 3u);
constexpr std::size_t kVarFixed = 20;

[[noreturn]] void Refuse(const std::string& why) { throw TypeLibFixupError(why); }

struct Segment {
  std::size_t Offset = 0;
  std::size_t Length = 0;
  bool Present = false;
};

class Image {
 public:
  explicit Image(std::span<const std::uint8_t> input) : bytes_(input.begin(), input.end()) { ReadLayout(); }

  std::vector<std::uint8_t> Take() { return std::move(bytes_); }

  std::int32_t I32(std::size_t at) const {
    Need(at, 4);
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | bytes_[at + i];
    return static_cast<std::int32_t>(v);
  }
  void SetI32(std::size_t at, std::int32_t value) {
    Need(at, 4);
    auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  }
  std::uint16_t U16(std::size_t at) const {
    Need(at, 2);
    return static_cast<std::uint16_t>(bytes_[at] | (bytes_[at + 1] << 8));
  }
  void Need(std::size_t at, std::size_t length) const {
    if (at > bytes_.size() || length > bytes_.size() - at) Refuse("the library is truncated or damaged");
  }

  std::size_t TypeInfoCount() const { return typeInfoOffsets_.size(); }
  std::int32_t TypeInfoOffset(std::size_t index) const { return typeInfoOffsets_[index]; }
  // The file position of a type info entry.
  std::size_t TypeInfoAt(std::size_t index) const { return At(kTypeInfoTable, typeInfoOffsets_[index], kTypeInfoSize); }
  std::string TypeInfoName(std::size_t index) const { return NameAt(I32(TypeInfoAt(index) + 0x34)); }
  std::uint32_t TypeInfoKind(std::size_t index) const {
    return static_cast<std::uint32_t>(I32(TypeInfoAt(index))) & 0xF;
  }
  std::size_t IndexOf(const std::string& name) const {
    for (std::size_t i = 0; i < TypeInfoCount(); ++i) {
      if (TypeInfoName(i) == name) return i;
    }
    Refuse("the library has no type description named " + name);
  }

  const Segment& Seg(int index) const { return segments_[index]; }
  // The file position of `length` bytes at `relative` in a segment.
  std::size_t At(int segment, std::int64_t relative, std::size_t length) const {
    const Segment& s = segments_[segment];
    if (!s.Present || relative < 0 || static_cast<std::size_t>(relative) > s.Length ||
        length > s.Length - static_cast<std::size_t>(relative)) {
      Refuse("an offset in the library points outside its table");
    }
    return s.Offset + static_cast<std::size_t>(relative);
  }

  std::string NameAt(std::int32_t offset) const {
    std::size_t at = At(kNameTable, offset, 12);
    std::size_t length = bytes_[at + 8];
    std::size_t text = At(kNameTable, static_cast<std::int64_t>(offset) + 12, length);
    return std::string(reinterpret_cast<const char*>(bytes_.data() + text), length);
  }

  void SetHeader(int index, std::int32_t value) { SetI32(4 * static_cast<std::size_t>(index), value); }
  void SetTypeInfoOffsets(const std::vector<std::int32_t>& offsets) {
    for (std::size_t i = 0; i < offsets.size(); ++i) SetI32(kHeaderSize + 4 * i, offsets[i]);
    typeInfoOffsets_ = offsets;
  }
  void MoveSegment(int index, std::size_t offset, std::size_t length) {
    SetI32(segmentDirectory_ + 16 * static_cast<std::size_t>(index), static_cast<std::int32_t>(offset));
    SetI32(segmentDirectory_ + 16 * static_cast<std::size_t>(index) + 4, static_cast<std::int32_t>(length));
    segments_[index] = Segment{offset, length, true};
  }

  // Appends bytes at the end, 4-byte aligned; answers where they start.
  std::size_t Append(const std::vector<std::uint8_t>& data) {
    while (bytes_.size() % 4 != 0) bytes_.push_back(0);
    std::size_t at = bytes_.size();
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    if (bytes_.size() > 0x7FFFFFFFu) Refuse("the library grew too large");
    return at;
  }
  std::vector<std::uint8_t> Copy(std::size_t at, std::size_t length) const {
    Need(at, length);
    return std::vector<std::uint8_t>(bytes_.begin() + static_cast<std::ptrdiff_t>(at),
                                     bytes_.begin() + static_cast<std::ptrdiff_t>(at + length));
  }
  void Write(std::size_t at, const std::vector<std::uint8_t>& data) {
    Need(at, data.size());
    std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(at));
  }

 private:
  void ReadLayout() {
    if (bytes_.size() < kHeaderSize || static_cast<std::uint32_t>(I32(0)) != kMagic) {
      Refuse("not a compiled type library");
    }
    std::int32_t count = I32(4 * 8);
    if (count < 0 || static_cast<std::size_t>(count) > (bytes_.size() - kHeaderSize) / 4) {
      Refuse("the library's type count is damaged");
    }
    std::size_t at = kHeaderSize;
    for (std::int32_t i = 0; i < count; ++i, at += 4) {
      std::int32_t offset = I32(at);
      if (offset < 0 || offset % 4 != 0) Refuse("a type description's offset is damaged");
      typeInfoOffsets_.push_back(offset);
    }
    if (static_cast<std::uint32_t>(I32(4 * 5)) & 0x100u) at += 4;
    segmentDirectory_ = at;
    Need(at, kSegmentCount * 16);
    for (std::size_t i = 0; i < kSegmentCount; ++i, at += 16) {
      std::int32_t offset = I32(at);
      std::int32_t length = I32(at + 4);
      if (offset == -1) continue;
      if (offset < 0 || length < 0) Refuse("a table of the library is damaged");
      Need(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
      segments_[i] = Segment{static_cast<std::size_t>(offset), static_cast<std::size_t>(length), true};
    }
    for (std::size_t i = 0; i < TypeInfoCount(); ++i) TypeInfoAt(i);
  }

  std::vector<std::uint8_t> bytes_;
  std::vector<std::int32_t> typeInfoOffsets_;
  std::size_t segmentDirectory_ = 0;
  Segment segments_[kSegmentCount];
};

// ---- custom data and versions ----

void StripCustomData(Image& image) {
  image.SetHeader(16, -1);
  for (std::size_t i = 0; i < image.TypeInfoCount(); ++i) image.SetI32(image.TypeInfoAt(i) + 0x48, -1);
}

void SetVersions(Image& image, const std::vector<TypeVersion>& versions) {
  for (const auto& v : versions) {
    std::size_t at = image.TypeInfoAt(image.IndexOf(v.Name));
    image.SetI32(at + 0x38, static_cast<std::int32_t>(v.Major | (static_cast<std::uint32_t>(v.Minor) << 16)));
  }
}

// ---- enum constants ----

struct VarRecord {
  std::vector<std::uint8_t> Bytes;
  std::int32_t MemberId = 0;
  std::int32_t Name = -1;
};

class EnumRewriter {
 public:
  EnumRewriter(Image& image, const TypeLibFixupPlan& plan) : image_(image), plan_(plan) {}

  void Run() {
    std::vector<std::size_t> enums;
    for (std::size_t i = 0; i < image_.TypeInfoCount(); ++i) {
      if (image_.TypeInfoKind(i) == kEnumKind) enums.push_back(i);
    }
    std::vector<std::vector<VarRecord>> records;
    for (std::size_t index : enums) records.push_back(ReadVars(index));
    if (plan_.EnumConstantHelpStrings) MoveStringTable();
    for (std::size_t k = 0; k < enums.size(); ++k) WriteBlock(enums[k], records[k]);
    Commit();
  }

 private:
  std::vector<VarRecord> ReadVars(std::size_t index) {
    std::size_t info = image_.TypeInfoAt(index);
    auto counts = static_cast<std::uint32_t>(image_.I32(info + 0x18));
    std::size_t funcs = counts & 0xFFFF;
    std::size_t vars = counts >> 16;
    if (funcs != 0) Refuse("an enum with functions");
    std::vector<VarRecord> result;
    if (vars == 0) return result;
    std::int32_t block = image_.I32(info + 4);
    if (block < 0) Refuse("an enum's member block is missing");
    auto blockAt = static_cast<std::size_t>(block);
    std::int32_t total = image_.I32(blockAt);
    if (total < 0) Refuse("an enum's member block is damaged");
    std::size_t recordsAt = blockAt + 4;
    std::size_t tail = recordsAt + static_cast<std::size_t>(total);
    image_.Need(recordsAt, static_cast<std::size_t>(total) + 12 * vars);
    std::size_t rel = 0;
    for (std::size_t i = 0; i < vars; ++i) {
      if (rel + 4 > static_cast<std::size_t>(total)) Refuse("an enum's member block is damaged");
      std::size_t length = static_cast<std::uint32_t>(image_.I32(recordsAt + rel)) & 0xFFFF;
      if (length < kVarFixed || length % 4 != 0 || length > static_cast<std::size_t>(total) - rel) {
        Refuse("an enum constant's record is damaged");
      }
      VarRecord record;
      record.Bytes = image_.Copy(recordsAt + rel, length);
      record.MemberId = image_.I32(tail + 4 * i);
      record.Name = image_.I32(tail + 4 * (vars + i));
      result.push_back(std::move(record));
      rel += length;
    }
    return result;
  }

  // The string table is copied to the end of the file so strings can be
  // added to it without moving what follows it.
  void MoveStringTable() {
    const Segment& strings = image_.Seg(kStringTable);
    strings_ = strings.Present ? image_.Copy(strings.Offset, strings.Length) : std::vector<std::uint8_t>{};
  }

  std::int32_t AddString(const std::string& text) {
    if (text.size() > 0xFFFF) Refuse("a help string is too long");
    auto offset = static_cast<std::int32_t>(strings_.size());
    strings_.push_back(static_cast<std::uint8_t>(text.size() & 0xFF));
    strings_.push_back(static_cast<std::uint8_t>(text.size() >> 8));
    strings_.insert(strings_.end(), text.begin(), text.end());
    while (strings_.size() % 4 != 0) strings_.push_back('W');  // the filler widl writes
    return offset;
  }

  static void Put(std::vector<std::uint8_t>& out, std::int32_t value) {
    auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  static void SetAt(std::vector<std::uint8_t>& out, std::size_t at, std::int32_t value) {
    auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  }
  static std::int32_t Get(const std::vector<std::uint8_t>& in, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | in[at + i];
    return static_cast<std::int32_t>(v);
  }

  std::vector<std::uint8_t> Rewrite(const VarRecord& record) {
    std::vector<std::uint8_t> out(record.Bytes.begin(), record.Bytes.begin() + kVarFixed);
    std::int32_t type = Get(out, 4);
    if (plan_.EnumConstantsI4 && (type == kTypeInt || type == kTypeIntPlain)) SetAt(out, 4, kTypeI4);
    std::size_t extras = (record.Bytes.size() - kVarFixed) / 4;
    std::vector<std::int32_t> optional;
    for (std::size_t i = 0; i < extras; ++i) optional.push_back(Get(record.Bytes, kVarFixed + 4 * i));
    if (plan_.EnumConstantHelpStrings) {
      if (optional.size() < 2) optional.resize(2, 0);
      optional[1] = AddString(image_.NameAt(record.Name));
    }
    for (std::int32_t value : optional) Put(out, value);
    // The high half of the first int is kept; the low half is the length.
    std::uint32_t head =
        (static_cast<std::uint32_t>(Get(out, 0)) & 0xFFFF0000u) | static_cast<std::uint32_t>(out.size());
    SetAt(out, 0, static_cast<std::int32_t>(head));
    return out;
  }

  void WriteBlock(std::size_t index, const std::vector<VarRecord>& vars) {
    if (vars.empty()) return;
    std::vector<std::uint8_t> records;
    std::vector<std::int32_t> offsets;
    for (const auto& var : vars) {
      offsets.push_back(static_cast<std::int32_t>(records.size()));
      auto rewritten = Rewrite(var);
      records.insert(records.end(), rewritten.begin(), rewritten.end());
    }
    std::vector<std::uint8_t> block;
    Put(block, static_cast<std::int32_t>(records.size()));
    block.insert(block.end(), records.begin(), records.end());
    for (const auto& var : vars) Put(block, var.MemberId);
    for (const auto& var : vars) Put(block, var.Name);
    for (std::int32_t offset : offsets) Put(block, offset);
    pending_.push_back({index, std::move(block)});
  }

  // Appends the grown string table, then each rebuilt block.
  void Commit() {
    if (plan_.EnumConstantHelpStrings) {
      std::size_t at = image_.Append(strings_);
      image_.MoveSegment(kStringTable, at, strings_.size());
    }
    for (auto& [index, block] : pending_) {
      std::size_t at = image_.Append(block);
      image_.SetI32(image_.TypeInfoAt(index) + 4, static_cast<std::int32_t>(at));
    }
  }

  Image& image_;
  const TypeLibFixupPlan& plan_;
  std::vector<std::uint8_t> strings_;
  std::vector<std::pair<std::size_t, std::vector<std::uint8_t>>> pending_;
};

// ---- order of the type descriptions ----

class Reorderer {
 public:
  explicit Reorderer(Image& image) : image_(image) {}

  void Run(const std::vector<std::string>& order) {
    std::size_t count = image_.TypeInfoCount();
    if (order.size() != count) Refuse("the order must name every type description once");
    std::vector<std::size_t> from;  // new index -> old index
    for (const auto& name : order) {
      std::size_t old = image_.IndexOf(name);
      if (std::find(from.begin(), from.end(), old) != from.end()) Refuse("the order names " + name + " twice");
      from.push_back(old);
    }
    std::vector<std::vector<std::uint8_t>> entries;
    std::vector<std::int32_t> newOffsets;
    for (std::size_t k = 0; k < count; ++k) {
      entries.push_back(image_.Copy(image_.TypeInfoAt(from[k]), kTypeInfoSize));
      auto offset = static_cast<std::int32_t>(k * kTypeInfoSize);
      newOffsets.push_back(offset);
      moved_[image_.TypeInfoOffset(from[k])] = offset;
    }
    const Segment& table = image_.Seg(kTypeInfoTable);
    if (count * kTypeInfoSize > table.Length) Refuse("the type description table is too short");
    for (std::size_t k = 0; k < count; ++k) image_.Write(table.Offset + k * kTypeInfoSize, entries[k]);
    image_.SetTypeInfoOffsets(newOffsets);
    RemapTypeInfos();
    RemapTypeDescs();
    RemapRefTable();
    RemapNames();
    RemapHeader();
  }

 private:
  std::int32_t Remap(std::int32_t ref) const {
    if (ref < 0 || (ref & 3) != 0) return ref;  // none, or another library's type
    auto found = moved_.find(ref);
    if (found == moved_.end()) Refuse("a type reference names no type description");
    return found->second;
  }

  void RemapTypeInfos() {
    for (std::size_t i = 0; i < image_.TypeInfoCount(); ++i) {
      std::size_t at = image_.TypeInfoAt(i);
      std::uint32_t kind = image_.TypeInfoKind(i);
      if (kind == kInterfaceKind || kind == kDispatchKind) image_.SetI32(at + 0x54, Remap(image_.I32(at + 0x54)));
      // The GUID table records which type owns each GUID.
      std::int32_t guid = image_.I32(at + 0x2C);
      if (guid >= 0) {
        std::size_t owner = image_.At(kGuidTable, guid, 24) + 16;
        image_.SetI32(owner, image_.TypeInfoOffset(i));
      }
    }
  }

  void RemapTypeDescs() {
    const Segment& descs = image_.Seg(kTypeDescTable);
    if (!descs.Present) return;
    for (std::size_t rel = 0; rel + 8 <= descs.Length; rel += 8) {
      std::size_t at = descs.Offset + rel;
      if ((image_.U16(at) & 0x0FFF) == kUserDefined) image_.SetI32(at + 4, Remap(image_.I32(at + 4)));
    }
  }

  void RemapRefTable() {
    const Segment& refs = image_.Seg(kRefTable);
    if (!refs.Present) return;
    for (std::size_t rel = 0; rel + 16 <= refs.Length; rel += 16) {
      std::size_t at = refs.Offset + rel;
      image_.SetI32(at, Remap(image_.I32(at)));
    }
  }

  // Each name records the type it belongs to (-1 for parameter names).
  void RemapNames() {
    const Segment& names = image_.Seg(kNameTable);
    if (!names.Present) return;
    std::size_t rel = 0;
    while (rel + 12 <= names.Length) {
      std::size_t at = names.Offset + rel;
      std::int32_t owner = image_.I32(at);
      auto found = moved_.find(owner);
      if (found != moved_.end()) image_.SetI32(at, found->second);
      std::size_t length = image_.I32(at + 8) & 0xFF;
      rel += 12 + ((length + 3) & ~std::size_t{3});
    }
  }

  // The reference of IDispatch, local only when this library defines it.
  void RemapHeader() { image_.SetHeader(19, Remap(image_.I32(4 * 19))); }

  Image& image_;
  std::map<std::int32_t, std::int32_t> moved_;
};

}  // namespace

std::vector<std::uint8_t> FixTypeLib(std::span<const std::uint8_t> input, const TypeLibFixupPlan& plan) {
  Image image(input);
  if (plan.StripCustomData) StripCustomData(image);
  SetVersions(image, plan.Versions);
  if (plan.EnumConstantHelpStrings || plan.EnumConstantsI4) {
    EnumRewriter enums(image, plan);
    enums.Run();
  }
  if (!plan.Order.empty()) Reorderer(image).Run(plan.Order);
  return image.Take();
}

}  // namespace qorv::tlbfix
