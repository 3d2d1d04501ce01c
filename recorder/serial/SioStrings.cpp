#include "SioStrings.h"

#include <atomic>
#include <cstring>

#include "codepage.h"
#include "fileapi.h"
#include "resource.h"

namespace {

constexpr std::size_t kMaxResourceName = 255;
constexpr DWORD kHeaderSize = 8;
constexpr DWORD kEntrySize = 12;

// Ids of the reader's own messages in SIO_STRMGR_STRINGS.
constexpr LONG kMsgCannotLock = 2;
constexpr LONG kMsgResourceNotFound = 3;
constexpr LONG kMsgCannotOpen = 4;
constexpr LONG kMsgInvalidTable = 5;

// The reader-message table, once it is complete; until then (and after it is
// freed) its own messages come from the fixed texts below, since a table
// cannot report its own failure to load.
std::atomic<TSioStringResource*> readerMessages{nullptr};

const char* FixedReaderMessage(LONG id) {
  switch (id) {
    case kMsgCannotLock: return "Cannot lock resource";
    case kMsgResourceNotFound: return "String resource not found: %s";
    case kMsgCannotOpen: return "Unable to open string resource: %s";
    case kMsgInvalidTable: return "Invalid string table resource";
    default: return "String not found: %d";
  }
}

// asking is the reader that fails: when that is the reader-message table
// itself, its lookup lock is held, so its fixed text is used.
std::string ReaderMessage(const TSioStringResource* asking, LONG id, const char* name = nullptr) {
  std::string pattern;
  TSioStringResource* table = readerMessages.load();
  if (table && table != asking) {
    try {
      pattern = table->GetString(id);
    } catch (...) {
      pattern.clear();
    }
  }
  if (pattern.empty()) pattern = FixedReaderMessage(id);
  if (!name) return pattern;
  try {
    return Format(pattern, {name});
  } catch (const EConvertError&) {
    return pattern;
  }
}

DWORD ReadDword(const BYTE* p) {
  return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16) |
         (static_cast<DWORD>(p[3]) << 24);
}

}  // namespace

HMODULE SioResourceModule() {
  static const char anchor = 0;
  return qorv::platform::ModuleFromAddress(&anchor);
}

TSioStringResource::TSioStringResource(HMODULE module, const char* resourceName) {
  SelectResource(module, resourceName);
}

TSioStringResource::~TSioStringResource() { CloseResource(); }

void TSioStringResource::SelectResource(HMODULE module, const char* resourceName) {
  std::lock_guard<std::mutex> guard(lookupLock_);
  CloseResource();
  if (resourceName && *resourceName) LoadAndVerify(module, resourceName);
}

void TSioStringResource::LoadTable(HMODULE module, const char* resourceName) {
  char name[kMaxResourceName + 1] = {};
  std::strncpy(name, resourceName, kMaxResourceName);

  HMODULE found = module;
  HRSRC info = module ? FindResourceA(module, name, RT_RCDATA) : nullptr;
  if (!info) {
    found = SioResourceModule();
    info = FindResourceA(found, name, RT_RCDATA);
  }
  if (!info) throw ESioStringResourceError(ReaderMessage(this, kMsgResourceNotFound, name));

  tableHandle_ = LoadResource(found, info);
  if (!tableHandle_) throw ESioStringResourceError(ReaderMessage(this, kMsgCannotOpen, name));
  tableSize_ = SizeofResource(found, info);
}

void TSioStringResource::LockTable() {
  lockedTable_ = static_cast<const BYTE*>(LockResource(tableHandle_));
  if (!lockedTable_) throw ESioStringResourceError(ReaderMessage(this, kMsgCannotLock));
}

void TSioStringResource::UnlockTable() {
  UnlockResource(tableHandle_);
  lockedTable_ = nullptr;
}

void TSioStringResource::LoadAndVerify(HMODULE module, const char* resourceName) {
  try {
    LoadTable(module, resourceName);
    LockTable();
    // A table whose directory reaches outside it would make every later
    // lookup read foreign memory; it is refused here, once, like a wrong
    // magic.
    bool valid = tableSize_ >= 4 && std::memcmp(lockedTable_, "STR0", 4) == 0 && DirectoryFits();
    UnlockTable();
    if (!valid) throw ESioStringResourceError(ReaderMessage(this, kMsgInvalidTable));
  } catch (...) {
    // A failed constructor leaves no reader, so nothing may stay loaded.
    CloseResource();
    throw;
  }
}

bool TSioStringResource::DirectoryFits() const {
  if (tableSize_ < kHeaderSize) return false;
  const std::uint64_t count = ReadDword(lockedTable_ + 4);
  if (kHeaderSize + count * kEntrySize > tableSize_) return false;
  for (std::uint64_t i = 0; i < count; ++i) {
    const BYTE* e = lockedTable_ + kHeaderSize + i * kEntrySize;
    const std::uint64_t offset = ReadDword(e + 4);
    const std::uint64_t length = ReadDword(e + 8);
    if (offset + 2 * length > tableSize_) return false;
  }
  return true;
}

bool TSioStringResource::FindEntry(LONG id, Entry& entry) const {
  const DWORD count = ReadDword(lockedTable_ + 4);
  if (count == 0) return false;
  // Signed bounds, so that hi = mid - 1 below 0 ends the loop.
  std::int64_t lo = 0;
  std::int64_t hi = static_cast<std::int64_t>(count) - 1;
  while (lo <= hi) {
    const std::int64_t mid = (lo + hi) / 2;
    const BYTE* e = lockedTable_ + kHeaderSize + mid * kEntrySize;
    const LONG entryId = static_cast<LONG>(ReadDword(e));
    if (entryId == id) {
      entry = {ReadDword(e), ReadDword(e + 4), ReadDword(e + 8)};
      return true;
    }
    if (entryId < id)
      lo = mid + 1;
    else
      hi = mid - 1;
  }
  return false;
}

std::string TSioStringResource::GetString(LONG id) {
  std::string result;
  {
    std::lock_guard<std::mutex> guard(lookupLock_);
    if (!tableHandle_) return result;
    lockedTable_ = static_cast<const BYTE*>(LockResource(tableHandle_));
    if (lockedTable_) {
      Entry entry{};
      if (FindEntry(id, entry) && entry.Length > 0) {
        // The table's UTF-16 is little-endian and not necessarily aligned
        // for char16_t, so it is copied out unit by unit.
        std::u16string wide(entry.Length, u'\0');
        const BYTE* text = lockedTable_ + entry.Offset;
        for (DWORD i = 0; i < entry.Length; ++i) wide[i] = static_cast<char16_t>(text[2 * i] | (text[2 * i + 1] << 8));
        const int wideLength = static_cast<int>(entry.Length);
        int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
        if (size > 0) {
          result.resize(static_cast<std::size_t>(size));
          int written = WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, result.data(), size, nullptr, nullptr);
          result.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
        }
      }
      UnlockTable();
      return result;
    }
  }
  // Raised outside the lookup lock: the message may come from this very
  // reader when it is the reader-message table.
  throw ESioStringResourceError(ReaderMessage(this, kMsgCannotLock));
}

void TSioStringResource::CloseResource() {
  while (lockedTable_) UnlockTable();
  if (tableHandle_) {
    FreeResource(tableHandle_);
    tableHandle_ = nullptr;
  }
  tableSize_ = 0;
}

namespace {

// Publishes the reader-message table only once it is complete, and withdraws
// it before it goes.
struct ReaderMessageHolder {
  TSioStringResource Reader;
  ReaderMessageHolder() : Reader(SioResourceModule(), kSioStrMgrStringsResource) { readerMessages.store(&Reader); }
  ~ReaderMessageHolder() { readerMessages.store(nullptr); }
};

}  // namespace

TSioStringResource& ReaderMessageTable() {
  static ReaderMessageHolder holder;
  return holder.Reader;
}

TSioStringResource& ErrorStringTable() {
  // Made after the reader-message table, so it is freed before it.
  ReaderMessageTable();
  static TSioStringResource table(SioResourceModule(), kSioErrorStringsResource);
  return table;
}

void InitializeSioStringTables() { ErrorStringTable(); }
