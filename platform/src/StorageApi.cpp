// Creating and opening compound files, and the element rules that storages
// and streams share.
#include <unistd.h>

#include <cstring>
#include <system_error>

#include "ComRuntime.h"
#include "NoThrow.h"
#include "Storage.h"
#include "systemroot.h"

namespace qorv::platform::storage {

namespace {

namespace fs = std::filesystem;

constexpr size_t kLongestElementName = 31;

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// The Linux file a storage name stands for: a Windows path through the
// drive map, or a Linux absolute path as it is.
HRESULT FileOfName(const OLECHAR* name, fs::path* file) {
  if (!name || !*name) return STG_E_INVALIDNAME;
  std::string text = OleToAnsi(name);
  if (text.front() == '/') {
    *file = text;
    return S_OK;
  }
  auto mapped = WindowsToLinuxPath(text);
  if (!mapped) return GetLastError() == ERROR_INVALID_NAME ? STG_E_INVALIDNAME : STG_E_PATHNOTFOUND;
  *file = *mapped;
  return S_OK;
}

bool IsFolder(const fs::path& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

std::shared_ptr<Document> NewDocument(const fs::path& file, const OLECHAR* name, DWORD mode,
                                      std::shared_ptr<Element> root) {
  auto document = std::make_shared<Document>();
  document->File = file;
  document->NameAsGiven = name;
  document->Writable = (mode & 3) != STGM_READ;
  document->Transacted = (mode & STGM_TRANSACTED) != 0;
  document->Root = std::move(root);
  return document;
}

HRESULT OpenRoot(std::shared_ptr<Document> document, DWORD mode, IStorage** ppstg) {
  std::lock_guard guard(document->Lock);
  auto root = document->Root;
  *ppstg = NewStorage(std::move(document), root, mode, true);
  return *ppstg ? S_OK : STG_E_INSUFFICIENTMEMORY;
}

}  // namespace

bool IsValidElementName(const OLECHAR* name) {
  size_t length = 0;
  for (; name[length]; ++length) {
    if (length >= kLongestElementName) return false;
    const char16_t c = name[length];
    if (c == u'\\' || c == u'/' || c == u':' || c == u'!') return false;
  }
  return length > 0;
}

bool SameElementName(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

HRESULT FillStat(const Element& element, const std::u16string& name, DWORD mode, DWORD flag, STATSTG* out) {
  if (flag != STATFLAG_DEFAULT && flag != STATFLAG_NONAME) return STG_E_INVALIDFLAG;
  STATSTG stat{};
  stat.type = element.IsStorage ? STGTY_STORAGE : STGTY_STREAM;
  stat.cbSize.QuadPart = element.IsStorage ? 0 : element.Bytes.size();
  stat.grfMode = mode;
  stat.clsid = element.Clsid;
  stat.grfStateBits = element.StateBits;
  if (flag == STATFLAG_DEFAULT) {
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((name.size() + 1) * sizeof(OLECHAR)));
    if (!copy) return STG_E_INSUFFICIENTMEMORY;
    std::memcpy(copy, name.c_str(), (name.size() + 1) * sizeof(OLECHAR));
    stat.pwcsName = copy;
  }
  *out = stat;
  return S_OK;
}

}  // namespace qorv::platform::storage

using namespace qorv::platform;
using namespace qorv::platform::storage;

HRESULT WINAPI StgCreateDocfile(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved, IStorage** ppstgOpen) {
  if (!ppstgOpen) return STG_E_INVALIDPOINTER;
  *ppstgOpen = nullptr;
  if (reserved) return STG_E_INVALIDPARAMETER;
  // A new file needs writing; conversion of another format is not offered.
  if ((grfMode & 3) == STGM_READ || (grfMode & 3) == 3 || (grfMode & STGM_CONVERT)) return STG_E_INVALIDFLAG;
  return Guarded(STG_E_INSUFFICIENTMEMORY, [&]() -> HRESULT {
    std::filesystem::path file;
    HRESULT hr = FileOfName(pwcsName, &file);
    if (FAILED(hr)) return hr;
    if (!IsFolder(file.parent_path())) return STG_E_PATHNOTFOUND;
    std::error_code error;
    if (std::filesystem::exists(file, error) && !(grfMode & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
    if (IsFolder(file)) return STG_E_ACCESSDENIED;
    auto root = std::make_shared<Element>();
    root->IsStorage = true;
    // The file exists, empty, from the start, as a new compound file does.
    hr = SaveDocument(file, *root);
    if (FAILED(hr)) return hr;
    return OpenRoot(NewDocument(file, pwcsName, grfMode, root), grfMode, ppstgOpen);
  });
}

HRESULT WINAPI StgOpenStorage(const OLECHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude,
                              DWORD reserved, IStorage** ppstgOpen) {
  if (!ppstgOpen) return STG_E_INVALIDPOINTER;
  *ppstgOpen = nullptr;
  if (reserved) return STG_E_INVALIDPARAMETER;
  if (pstgPriority || snbExclude) return STG_E_INVALIDFUNCTION;
  if ((grfMode & 3) == 3 || (grfMode & (STGM_CREATE | STGM_CONVERT))) return STG_E_INVALIDFLAG;
  return Guarded(STG_E_INSUFFICIENTMEMORY, [&]() -> HRESULT {
    std::filesystem::path file;
    HRESULT hr = FileOfName(pwcsName, &file);
    if (FAILED(hr)) return hr;
    if (!IsFolder(file.parent_path())) return STG_E_PATHNOTFOUND;
    std::shared_ptr<Element> root;
    hr = LoadDocument(file, &root);
    if (FAILED(hr)) return hr;
    if ((grfMode & 3) != STGM_READ && ::access(file.c_str(), W_OK) != 0) return STG_E_ACCESSDENIED;
    return OpenRoot(NewDocument(file, pwcsName, grfMode, root), grfMode, ppstgOpen);
  });
}
