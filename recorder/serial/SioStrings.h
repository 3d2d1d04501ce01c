// String tables in the "STR0" format, stored as RCDATA resources of the
// library, and the two readers the engine keeps.
//
// Layout (little-endian, unsigned 32-bit): "STR0", the entry count n, then n
// directory entries (id, byte offset of the text from the table start, length
// in UTF-16 code units), then the UTF-16LE texts without terminators. Ids are
// strictly ascending as signed values.
#pragma once

#include <mutex>
#include <string>

#include "Classes.h"
#include "SysUtils.h"
#include "wintypes.h"

// A table that cannot be found, loaded, locked or is not a STR0 table.
class ESioStringResourceError : public Exception {
 public:
  using Exception::Exception;
};

class TSioStringResource : public TObject {
 public:
  // With a null or empty name the reader stays empty. Raises
  // ESioStringResourceError when the table is missing, cannot be loaded or
  // locked, is not a STR0 table, or its directory points outside it.
  TSioStringResource(HMODULE module, const char* resourceName);
  ~TSioStringResource() override;

  void SelectResource(HMODULE module, const char* resourceName);
  // The text of id in the system ANSI code page; "" when the id is missing
  // or the reader is empty. Lookups on one reader are serialised.
  std::string GetString(LONG id);

 private:
  struct Entry {
    DWORD Id;
    DWORD Offset;
    DWORD Length;
  };

  void LoadTable(HMODULE module, const char* resourceName);
  void LockTable();
  void UnlockTable();
  void LoadAndVerify(HMODULE module, const char* resourceName);
  void CloseResource();
  bool FindEntry(LONG id, Entry& entry) const;
  bool DirectoryFits() const;

  std::mutex lookupLock_;
  HGLOBAL tableHandle_ = nullptr;
  const BYTE* lockedTable_ = nullptr;
  DWORD tableSize_ = 0;
};

// Resource names of the two tables.
inline constexpr const char* kSioErrorStringsResource = "SIO_ERROR_STRINGS_ENGLISH";
inline constexpr const char* kSioStrMgrStringsResource = "SIO_STRMGR_STRINGS";

// The library's two readers, made on first use in the order the messages need
// (ReaderMessageTable, then ErrorStringTable) and freed at unload in reverse.
// Both raise ESioStringResourceError when their table cannot be read (only
// with a damaged build); a failure of ReaderMessageTable itself carries a
// fixed English text.
TSioStringResource& ReaderMessageTable();
TSioStringResource& ErrorStringTable();
// Makes both readers now (library start-up); raises as above.
void InitializeSioStringTables();

// The module whose resources hold the tables (the one this engine is linked
// into).
HMODULE SioResourceModule();
