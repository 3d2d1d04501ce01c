// Compound files held in memory: a tree of storages and streams read from a
// file through libgsf and written back through it, whole, when the root
// storage is committed (or released, in direct mode).
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "objbase.h"

namespace qorv::platform::storage {

// One element of a compound file: a storage with children, or a stream.
struct Element {
  std::u16string Name;
  bool IsStorage = false;
  std::vector<BYTE> Bytes;                         // a stream's contents
  std::vector<std::shared_ptr<Element>> Children;  // a storage's elements, in creation order
  CLSID Clsid = GUID_NULL;
  DWORD StateBits = 0;
  unsigned OpenCount = 0;  // interfaces open on the element; another open is refused while any is
};

// One open compound file and everything opened in it. Its lock guards the
// whole tree and the fields below.
struct Document {
  std::mutex Lock;
  std::filesystem::path File;
  std::u16string NameAsGiven;
  bool Writable = false;
  bool Transacted = false;
  bool Dirty = false;
  bool Closed = false;  // the root was released: what was opened in it is reverted
  std::shared_ptr<Element> Root;
};

// Reads a compound file into a tree. STG_E_FILEALREADYEXISTS when the file is
// no compound file, STG_E_DOCFILECORRUPT when it claims to be one but cannot
// be read, STG_E_FILENOTFOUND / STG_E_PATHNOTFOUND / STG_E_ACCESSDENIED when
// it cannot be opened.
HRESULT LoadDocument(const std::filesystem::path& file, std::shared_ptr<Element>* root);
// Writes the tree to a new file beside `file` and puts it in its place, so
// that a failed write leaves the old file as it was.
HRESULT SaveDocument(const std::filesystem::path& file, const Element& root);

// Element names: at most 31 characters, none of '\', '/', ':', '!'.
bool IsValidElementName(const OLECHAR* name);
// Compound files compare names without case.
bool SameElementName(const std::u16string& a, const std::u16string& b);

// A STATSTG for an element; the name is allocated unless STATFLAG_NONAME.
HRESULT FillStat(const Element& element, const std::u16string& name, DWORD mode, DWORD flag, STATSTG* out);

// The interfaces on an element of an open document, each counted as open on
// the element until it is released. Called with the document locked; null
// when memory runs out.
IStorage* NewStorage(std::shared_ptr<Document> document, std::shared_ptr<Element> element, DWORD mode, bool isRoot);
IStream* NewStream(std::shared_ptr<Document> document, std::shared_ptr<Element> element, DWORD mode);

}  // namespace qorv::platform::storage
