#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "objbase.h"
#include "systemroot.h"

namespace {

namespace fs = std::filesystem;

fs::path DriveC() { return qorv::platform::ReadDriveMapping('C').Folder; }

constexpr DWORD kCreate = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
constexpr DWORD kElement = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
constexpr DWORD kReadElement = STGM_READ | STGM_SHARE_EXCLUSIVE;
// {6F1D3A70-0B7E-4C29-9A44-5E13C7D2B801}
constexpr CLSID kDocumentClass{0x6F1D3A70, 0x0B7E, 0x4C29, {0x9A, 0x44, 0x5E, 0x13, 0xC7, 0xD2, 0xB8, 0x01}};

template <class T>
struct Releaser {
  void operator()(T* p) const {
    if (p) p->Release();
  }
};
template <class T>
using Ref = std::unique_ptr<T, Releaser<T>>;

Ref<IStorage> CreateDoc(const char16_t* name, DWORD mode = kCreate) {
  IStorage* storage = nullptr;
  EXPECT_EQ(StgCreateDocfile(name, mode, 0, &storage), S_OK);
  return Ref<IStorage>(storage);
}

Ref<IStorage> OpenDoc(const char16_t* name, DWORD mode = kReadElement) {
  IStorage* storage = nullptr;
  EXPECT_EQ(StgOpenStorage(name, nullptr, mode, nullptr, 0, &storage), S_OK);
  return Ref<IStorage>(storage);
}

void WriteStream(IStorage* storage, const char16_t* name, const std::string& bytes) {
  IStream* stream = nullptr;
  ASSERT_EQ(storage->CreateStream(name, kElement, 0, 0, &stream), S_OK);
  ULONG n = 0;
  ASSERT_EQ(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &n), S_OK);
  stream->Release();
}

std::string ReadStream(IStorage* storage, const char16_t* name) {
  IStream* stream = nullptr;
  EXPECT_EQ(storage->OpenStream(name, nullptr, kReadElement, 0, &stream), S_OK);
  if (!stream) return "<not opened>";
  std::string out(100000, '\0');
  ULONG n = 0;
  EXPECT_EQ(stream->Read(out.data(), static_cast<ULONG>(out.size()), &n), S_OK);
  out.resize(n);
  stream->Release();
  return out;
}

// `gsf list FILE`, the listing of libgsf's own tool: its lines as they are.
std::string GsfListing(const fs::path& file) {
  std::string command = "gsf list '" + file.string() + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return "<gsf did not run>";
  std::string out;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
  pclose(pipe);
  return out;
}

// The "kind size name" entries of a gsf listing, blanks squeezed; the first
// line names the file.
std::set<std::string> ListedEntries(const std::string& listing) {
  std::set<std::string> entries;
  std::istringstream lines(listing);
  std::string line;
  std::getline(lines, line);
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string kind, size, name;
    if (words >> kind >> size >> name) entries.insert(kind + " " + size + " " + name);
  }
  return entries;
}

// What a storage lists: name -> type and size.
std::map<std::u16string, std::pair<DWORD, ULONGLONG>> Elements(IStorage* storage) {
  std::map<std::u16string, std::pair<DWORD, ULONGLONG>> out;
  IEnumSTATSTG* elements = nullptr;
  EXPECT_EQ(storage->EnumElements(0, nullptr, 0, &elements), S_OK);
  STATSTG stat;
  ULONG fetched = 0;
  while (elements->Next(1, &stat, &fetched) == S_OK) {
    out[stat.pwcsName] = {stat.type, stat.cbSize.QuadPart};
    CoTaskMemFree(stat.pwcsName);
  }
  elements->Release();
  return out;
}

// A file written here is a compound file that libgsf's own tool lists with
// the streams' names and sizes, and that reads back the same.
TEST(StorageDocfile, WrittenFileIsReadByGsfAndReadsBack) {
  const std::string big(5000, 'B');  // beyond the mini-stream cut-off of 4096 bytes
  {
    auto doc = CreateDoc(u"C:\\control.stg");
    ASSERT_TRUE(doc);
    WriteStream(doc.get(), u"CONTROLSAVESTREAM", big);
    WriteStream(doc.get(), u"small", "0123456789");
    IStorage* sub = nullptr;
    ASSERT_EQ(doc->CreateStorage(u"Sub", kElement, 0, 0, &sub), S_OK);
    WriteStream(sub, u"inner", "abc");
    sub->Release();
    ASSERT_EQ(doc->SetClass(kDocumentClass), S_OK);
  }
  const fs::path file = DriveC() / "control.stg";
  const std::string listing = GsfListing(file);
  EXPECT_EQ(ListedEntries(listing),
            (std::set<std::string>{"d 0 *root*", "f 5000 CONTROLSAVESTREAM", "f 10 small", "d 0 Sub", "f 3 Sub/inner"}))
      << listing;

  auto doc = OpenDoc(u"C:\\CONTROL.STG");
  ASSERT_TRUE(doc);
  EXPECT_EQ(ReadStream(doc.get(), u"controlsavestream"), big) << "names match without case";
  EXPECT_EQ(ReadStream(doc.get(), u"small"), "0123456789");
  auto elements = Elements(doc.get());
  ASSERT_EQ(elements.size(), 3u);
  EXPECT_EQ(elements[u"CONTROLSAVESTREAM"], std::make_pair(STGTY_STREAM, ULONGLONG{5000}));
  EXPECT_EQ(elements[u"Sub"].first, STGTY_STORAGE);
  IStorage* sub = nullptr;
  ASSERT_EQ(doc->OpenStorage(u"Sub", nullptr, kReadElement, nullptr, 0, &sub), S_OK);
  EXPECT_EQ(ReadStream(sub, u"inner"), "abc");
  sub->Release();
  STATSTG stat{};
  ASSERT_EQ(doc->Stat(&stat, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(stat.type, STGTY_STORAGE);
  EXPECT_EQ(stat.clsid, kDocumentClass);
  EXPECT_EQ(std::u16string(stat.pwcsName), u"C:\\CONTROL.STG");
  CoTaskMemFree(stat.pwcsName);
}

// Files and elements refuse what compound files refuse, with the results
// Windows gives.
TEST(StorageDocfile, RefusalsGiveStorageResults) {
  IStorage* storage = nullptr;
  EXPECT_EQ(StgOpenStorage(u"C:\\missing.stg", nullptr, kReadElement, nullptr, 0, &storage), STG_E_FILENOTFOUND);
  EXPECT_EQ(StgOpenStorage(u"C:\\no\\missing.stg", nullptr, kReadElement, nullptr, 0, &storage), STG_E_PATHNOTFOUND);
  qorv::test::WriteFileBytes(DriveC() / "text.stg", "just some text, no compound file");
  EXPECT_EQ(StgOpenStorage(u"C:\\text.stg", nullptr, kReadElement, nullptr, 0, &storage), STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(StgCreateDocfile(u"C:\\text.stg", STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &storage),
            STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(StgCreateDocfile(u"C:\\new.stg", STGM_CREATE | STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &storage),
            STG_E_INVALIDFLAG);
  EXPECT_EQ(StgCreateDocfile(u"C:\\no\\new.stg", kCreate, 0, &storage), STG_E_PATHNOTFOUND);
  EXPECT_EQ(storage, nullptr);

  {
    auto doc = CreateDoc(u"C:\\full.stg");
    WriteStream(doc.get(), u"CONTROLSAVESTREAM", std::string(5000, 'x'));
  }
  // A compound file cut short claims to be one but cannot be read.
  auto bytes = qorv::test::ReadFileBytes(DriveC() / "full.stg");
  ASSERT_GT(bytes.size(), 1536u);
  qorv::test::WriteFileBytes(DriveC() / "cut.stg", std::string(bytes.begin(), bytes.begin() + 1536));
  EXPECT_EQ(StgOpenStorage(u"C:\\cut.stg", nullptr, kReadElement, nullptr, 0, &storage), STG_E_DOCFILECORRUPT);

  auto doc = CreateDoc(u"C:\\elements.stg");
  IStream* stream = nullptr;
  EXPECT_EQ(doc->CreateStream(u"s", STGM_READWRITE | STGM_SHARE_DENY_NONE, 0, 0, &stream), STG_E_INVALIDFLAG);
  EXPECT_EQ(doc->CreateStream(u"a/b", kElement, 0, 0, &stream), STG_E_INVALIDNAME);
  EXPECT_EQ(doc->CreateStream(std::u16string(32, u'n').c_str(), kElement, 0, 0, &stream), STG_E_INVALIDNAME);
  EXPECT_EQ(doc->CreateStream(std::u16string(31, u'n').c_str(), kElement, 0, 0, &stream), S_OK);
  stream->Release();
  WriteStream(doc.get(), u"data", "old");
  EXPECT_EQ(doc->CreateStream(u"DATA", kElement, 0, 0, &stream), STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(doc->OpenStream(u"none", nullptr, kReadElement, 0, &stream), STG_E_FILENOTFOUND);
  ASSERT_EQ(doc->OpenStream(u"data", nullptr, kElement, 0, &stream), S_OK);
  IStream* again = nullptr;
  EXPECT_EQ(doc->OpenStream(u"data", nullptr, kReadElement, 0, &again), STG_E_ACCESSDENIED) << "open already";
  EXPECT_EQ(doc->DestroyElement(u"data"), STG_E_ACCESSDENIED);
  stream->Release();
  ASSERT_EQ(doc->CreateStream(u"data", kElement | STGM_CREATE, 0, 0, &stream), S_OK) << "replaced";
  stream->Release();
  EXPECT_EQ(ReadStream(doc.get(), u"data"), "");
  EXPECT_EQ(doc->RenameElement(u"data", u"renamed"), S_OK);
  EXPECT_EQ(doc->DestroyElement(u"data"), STG_E_FILENOTFOUND);
  EXPECT_EQ(doc->DestroyElement(u"renamed"), S_OK);

  // Opened for reading, nothing in it can change.
  doc.reset();
  auto readOnly = OpenDoc(u"C:\\elements.stg");
  EXPECT_EQ(readOnly->CreateStream(u"more", kElement, 0, 0, &stream), STG_E_ACCESSDENIED);
  EXPECT_EQ(readOnly->OpenStream(u"nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn", nullptr, kElement, 0, &stream),
            STG_E_ACCESSDENIED);
  ASSERT_EQ(readOnly->OpenStream(u"nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn", nullptr, kReadElement, 0, &stream), S_OK);
  ULONG n = 0;
  EXPECT_EQ(stream->Write("x", 1, &n), STG_E_ACCESSDENIED);
  readOnly.reset();
  char byte;
  EXPECT_EQ(stream->Read(&byte, 1, &n), STG_E_REVERTED) << "its root is gone";
  stream->Release();
}

// A transacted root writes only on Commit; what was not committed is lost
// when it goes, and Revert takes it back to the file's contents.
TEST(StorageDocfile, TransactedRootWritesOnlyOnCommit) {
  {
    auto doc = CreateDoc(u"C:\\tx.stg", kCreate | STGM_TRANSACTED);
    WriteStream(doc.get(), u"kept", "1");
    ASSERT_EQ(doc->Commit(STGC_DEFAULT), S_OK);
    WriteStream(doc.get(), u"reverted", "2");
    ASSERT_EQ(doc->Revert(), S_OK);
    EXPECT_EQ(Elements(doc.get()).count(u"reverted"), 0u);
    WriteStream(doc.get(), u"dropped", "3");
  }
  auto doc = OpenDoc(u"C:\\tx.stg");
  auto elements = Elements(doc.get());
  EXPECT_EQ(elements.size(), 1u);
  EXPECT_EQ(ReadStream(doc.get(), u"kept"), "1");
}

}  // namespace
