#include "ShellLinkFormat.h"

#include <cstring>

#include "ComRuntime.h"
#include "shlobj.h"

namespace qorv::platform {

namespace {

constexpr DWORD kHeaderSize = 0x4C;

// Which optional parts follow the header.
constexpr DWORD HasLinkTargetIDList = 0x1;
constexpr DWORD HasLinkInfo = 0x2;
constexpr DWORD HasName = 0x4;
constexpr DWORD HasRelativePath = 0x8;
constexpr DWORD HasWorkingDir = 0x10;
constexpr DWORD HasArguments = 0x20;
constexpr DWORD HasIconLocation = 0x40;
constexpr DWORD IsUnicode = 0x80;

// Link information: a volume and a local path (the only kind written here),
// or a network share.
constexpr DWORD VolumeIDAndLocalBasePath = 0x1;
// The header with the offsets of the UTF-16 local path and suffix.
constexpr DWORD kLinkInfoHeaderSize = 0x24;
constexpr DWORD kMinLinkInfoHeaderSize = 0x1C;
constexpr DWORD kVolumeIDHeaderSize = 0x10;
// A volume label offset of this value means the UTF-16 label's offset follows.
constexpr DWORD kUnicodeVolumeLabel = 0x14;

constexpr std::size_t kMaxCount = 0xFFFF;

class Writer {
 public:
  std::vector<std::uint8_t> Bytes;
  void U16(std::uint16_t v) { Raw(&v, 2); }
  void U32(std::uint32_t v) { Raw(&v, 4); }
  void Raw(const void* p, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    Bytes.insert(Bytes.end(), b, b + n);
  }
  void PutU32(std::size_t at, std::uint32_t v) { std::memcpy(Bytes.data() + at, &v, 4); }
  void AnsiZ(const std::string& s) { Raw(s.c_str(), s.size() + 1); }
  void UnicodeZ(const std::u16string& s) {
    for (char16_t c : s) U16(c);
    U16(0);
  }
  void Time(const FILETIME& t) {
    U32(t.dwLowDateTime);
    U32(t.dwHighDateTime);
  }
};

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Has(std::size_t at, std::size_t n) const { return at <= size_ && n <= size_ - at; }
  std::uint16_t U16(std::size_t at) const {
    std::uint16_t v;
    std::memcpy(&v, data_ + at, 2);
    return v;
  }
  std::uint32_t U32(std::size_t at) const {
    std::uint32_t v;
    std::memcpy(&v, data_ + at, 4);
    return v;
  }
  FILETIME Time(std::size_t at) const { return FILETIME{U32(at), U32(at + 4)}; }
  // A NUL-terminated string lying wholly within [at, end).
  std::optional<std::string> AnsiZ(std::size_t at, std::size_t end) const {
    if (at >= end || end > size_) return std::nullopt;
    const void* nul = std::memchr(data_ + at, 0, end - at);
    if (!nul) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(data_ + at),
                       static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - (data_ + at)));
  }
  std::optional<std::u16string> UnicodeZ(std::size_t at, std::size_t end) const {
    std::u16string out;
    for (std::size_t p = at; p + 2 <= end && p + 2 <= size_; p += 2) {
      char16_t c = U16(p);
      if (c == 0) return out;
      out.push_back(c);
    }
    return std::nullopt;
  }
  const std::uint8_t* At(std::size_t at) const { return data_ + at; }
  std::size_t Size() const { return size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

std::u16string Unicode(const std::string& ansi) { return AnsiToOle(ansi); }
std::string Ansi(const std::u16string& unicode) { return OleToAnsi(unicode.c_str()); }

void WriteLinkInfo(Writer& w, const ShellLinkData& link) {
  std::size_t volumeIdSize = kVolumeIDHeaderSize + link.VolumeLabel.size() + 1;
  std::size_t localBase = kLinkInfoHeaderSize + volumeIdSize;
  std::size_t suffix = localBase + link.Path.size() + 1;
  std::size_t localBaseUnicode = suffix + 1;
  std::u16string pathUnicode = Unicode(link.Path);
  std::size_t suffixUnicode = localBaseUnicode + 2 * (pathUnicode.size() + 1);
  std::size_t total = suffixUnicode + 2;
  w.U32(static_cast<DWORD>(total));
  w.U32(kLinkInfoHeaderSize);
  w.U32(VolumeIDAndLocalBasePath);
  w.U32(kLinkInfoHeaderSize);  // the volume follows the header
  w.U32(static_cast<DWORD>(localBase));
  w.U32(0);  // no network share
  w.U32(static_cast<DWORD>(suffix));
  w.U32(static_cast<DWORD>(localBaseUnicode));
  w.U32(static_cast<DWORD>(suffixUnicode));
  w.U32(static_cast<DWORD>(volumeIdSize));
  w.U32(link.DriveType);
  w.U32(link.DriveSerialNumber);
  w.U32(kVolumeIDHeaderSize);
  w.AnsiZ(link.VolumeLabel);
  // The whole path is the local base; the suffix that would be appended to
  // it is empty.
  w.AnsiZ(link.Path);
  w.AnsiZ("");
  w.UnicodeZ(pathUnicode);
  w.UnicodeZ(u"");
}

bool TooLong(const std::string& s) { return s.size() > kMaxCount; }

void WriteString(Writer& w, const std::string& s) {
  std::u16string unicode = Unicode(s);
  w.U16(static_cast<std::uint16_t>(unicode.size()));
  for (char16_t c : unicode) w.U16(c);
}

// The link information's volume and local path; false when damaged.
bool ReadLinkInfo(const Reader& r, std::size_t at, ShellLinkData& link) {
  std::size_t size = r.U32(at);
  if (size < kMinLinkInfoHeaderSize || !r.Has(at, size)) return false;
  std::size_t end = at + size;
  DWORD headerSize = r.U32(at + 4);
  DWORD flags = r.U32(at + 8);
  if (headerSize < kMinLinkInfoHeaderSize || headerSize > size) return false;
  if (!(flags & VolumeIDAndLocalBasePath)) return true;  // a network share only: no local path
  std::size_t volume = at + r.U32(at + 12);
  std::size_t localBase = at + r.U32(at + 16);
  std::size_t suffix = at + r.U32(at + 24);
  if (volume < at + headerSize || volume + kVolumeIDHeaderSize > end) return false;
  std::size_t volumeSize = r.U32(volume);
  if (volumeSize < kVolumeIDHeaderSize || volumeSize > end - volume) return false;
  link.DriveType = r.U32(volume + 4);
  link.DriveSerialNumber = r.U32(volume + 8);
  DWORD labelOffset = r.U32(volume + 12);
  std::optional<std::string> label;
  if (labelOffset == kUnicodeVolumeLabel) {
    if (volumeSize < kUnicodeVolumeLabel + 4) return false;
    auto unicode = r.UnicodeZ(volume + r.U32(volume + 16), volume + volumeSize);
    if (unicode) label = Ansi(*unicode);
  } else {
    label = r.AnsiZ(volume + labelOffset, volume + volumeSize);
  }
  if (!label) return false;
  link.VolumeLabel = *label;
  auto base = r.AnsiZ(localBase, end);
  auto tail = r.AnsiZ(suffix, end);
  if (!base || !tail) return false;
  link.Path = *base + *tail;
  if (headerSize >= kLinkInfoHeaderSize && r.U32(at + 28) != 0) {
    auto baseUnicode = r.UnicodeZ(at + r.U32(at + 28), end);
    if (!baseUnicode) return false;
    std::u16string tailUnicode;
    if (r.U32(at + 32) != 0) {
      auto t = r.UnicodeZ(at + r.U32(at + 32), end);
      if (!t) return false;
      tailUnicode = *t;
    }
    // The UTF-16 form is exact where the code page form may have lost letters.
    link.Path = Ansi(*baseUnicode + tailUnicode);
  }
  return true;
}

bool ReadString(const Reader& r, std::size_t& at, bool unicode, std::string& out) {
  if (!r.Has(at, 2)) return false;
  std::size_t count = r.U16(at);
  at += 2;
  std::size_t bytes = unicode ? 2 * count : count;
  if (!r.Has(at, bytes)) return false;
  if (unicode) {
    std::u16string text;
    for (std::size_t i = 0; i < count; ++i) text.push_back(r.U16(at + 2 * i));
    out = Ansi(text);
  } else {
    out.assign(reinterpret_cast<const char*>(r.At(at)), count);
  }
  at += bytes;
  return true;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> EncodeShellLink(const ShellLinkData& link) {
  for (const std::string* s : {&link.Path, &link.Description, &link.RelativePath, &link.WorkingDirectory,
                               &link.Arguments, &link.IconLocation, &link.VolumeLabel}) {
    if (TooLong(*s)) return std::nullopt;
  }
  DWORD flags = IsUnicode;
  if (!link.Path.empty()) flags |= HasLinkInfo;
  if (!link.Description.empty()) flags |= HasName;
  if (!link.RelativePath.empty()) flags |= HasRelativePath;
  if (!link.WorkingDirectory.empty()) flags |= HasWorkingDir;
  if (!link.Arguments.empty()) flags |= HasArguments;
  if (!link.IconLocation.empty()) flags |= HasIconLocation;

  Writer w;
  w.U32(kHeaderSize);
  w.Raw(&CLSID_ShellLink, sizeof CLSID_ShellLink);
  w.U32(flags);
  w.U32(link.FileAttributes);
  w.Time(link.CreationTime);
  w.Time(link.AccessTime);
  w.Time(link.WriteTime);
  w.U32(link.FileSize);
  w.U32(static_cast<DWORD>(link.IconIndex));
  w.U32(static_cast<DWORD>(link.ShowCommand));
  w.U16(link.HotKey);
  w.U16(0);
  w.U32(0);
  w.U32(0);
  if (flags & HasLinkInfo) WriteLinkInfo(w, link);
  // The strings in the order the format lays them out.
  const std::pair<DWORD, const std::string*> strings[] = {
      {HasName, &link.Description},    {HasRelativePath, &link.RelativePath}, {HasWorkingDir, &link.WorkingDirectory},
      {HasArguments, &link.Arguments}, {HasIconLocation, &link.IconLocation},
  };
  for (const auto& [flag, text] : strings) {
    if (flags & flag) WriteString(w, *text);
  }
  w.U32(0);  // no extra data: the terminal block
  return std::move(w.Bytes);
}

std::optional<ShellLinkData> DecodeShellLink(const std::uint8_t* data, std::size_t size) {
  Reader r(data, size);
  if (!r.Has(0, kHeaderSize) || r.U32(0) != kHeaderSize) return std::nullopt;
  if (std::memcmp(data + 4, &CLSID_ShellLink, sizeof CLSID_ShellLink) != 0) return std::nullopt;
  ShellLinkData link;
  DWORD flags = r.U32(20);
  link.FileAttributes = r.U32(24);
  link.CreationTime = r.Time(28);
  link.AccessTime = r.Time(36);
  link.WriteTime = r.Time(44);
  link.FileSize = r.U32(52);
  link.IconIndex = static_cast<int>(r.U32(56));
  link.ShowCommand = static_cast<int>(r.U32(60));
  link.HotKey = r.U16(64);
  std::size_t at = kHeaderSize;
  if (flags & HasLinkTargetIDList) {
    if (!r.Has(at, 2)) return std::nullopt;
    std::size_t listSize = r.U16(at);
    at += 2;
    if (!r.Has(at, listSize)) return std::nullopt;
    at += listSize;
  }
  if (flags & HasLinkInfo) {
    if (!r.Has(at, 4) || !ReadLinkInfo(r, at, link)) return std::nullopt;
    at += r.U32(at);
  }
  bool unicode = (flags & IsUnicode) != 0;
  const std::pair<DWORD, std::string*> strings[] = {
      {HasName, &link.Description},    {HasRelativePath, &link.RelativePath}, {HasWorkingDir, &link.WorkingDirectory},
      {HasArguments, &link.Arguments}, {HasIconLocation, &link.IconLocation},
  };
  for (const auto& [flag, text] : strings) {
    if ((flags & flag) && !ReadString(r, at, unicode, *text)) return std::nullopt;
  }
  // Extra data blocks, each led by its size, up to the terminal block (a
  // size below 4).
  for (;;) {
    if (!r.Has(at, 4)) return std::nullopt;
    std::size_t blockSize = r.U32(at);
    if (blockSize < 4) return link;
    if (blockSize < 8 || !r.Has(at, blockSize)) return std::nullopt;
    at += blockSize;
  }
}

}  // namespace qorv::platform
