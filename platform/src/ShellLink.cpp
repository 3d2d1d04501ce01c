// The shell link object (CLSID_ShellLink): IShellLinkA to describe a
// shortcut, IPersistFile to save it as, or load it from, a shell link file.
// The platform serves the class itself from the moment it is loaded, as the
// shell does on Windows, so CoCreateInstance finds it without a registry
// entry.
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "ComRuntime.h"
#include "NoThrow.h"
#include "ShellItemList.h"
#include "ShellLinkFormat.h"
#include "fileapi.h"
#include "shlobj.h"
#include "systemroot.h"

// After the platform's headers: <fcntl.h> defines LOCK_WRITE as a macro,
// which objidl.h declares as a constant.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace qorv::platform {

namespace {

namespace fs = std::filesystem;

// The longest text a link file can hold.
constexpr std::size_t kMaxText = 0xFFFF;

HRESULT LastErrorResult() { return HRESULT_FROM_WIN32(GetLastError()); }
HRESULT ErrnoResult(int err) { return HRESULT_FROM_WIN32(ErrorFromErrno(err)); }

// Copies text into a caller's buffer of cch characters, cut to fit.
HRESULT CopyOut(const std::string& text, LPSTR out, int cch) {
  if (!out || cch <= 0) return E_INVALIDARG;
  std::size_t n = std::min(text.size(), static_cast<std::size_t>(cch) - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
  return S_OK;
}

FILETIME FileTimeOf(const timespec& t) {
  constexpr std::int64_t kUnixEpochAsFileTime = 116444736000000000;
  std::int64_t ticks = kUnixEpochAsFileTime + static_cast<std::int64_t>(t.tv_sec) * 10000000 + t.tv_nsec / 100;
  auto value = static_cast<std::uint64_t>(ticks);
  return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

// What the link records of its target and the target's volume, as found now;
// a target that does not exist leaves the target's fields zero.
void DescribeTarget(ShellLinkData& link) {
  link.FileAttributes = 0;
  link.CreationTime = link.AccessTime = link.WriteTime = FILETIME{};
  link.FileSize = 0;
  std::string root = link.Path.substr(0, 3);
  link.DriveType = GetDriveTypeA(root.c_str());
  link.DriveSerialNumber = 0;
  link.VolumeLabel.clear();
  DriveMapping drive = ReadDriveMapping(link.Path[0]);
  struct statvfs volume {};
  // The file system's identifier stands in for the volume serial number.
  if (!drive.Folder.empty() && ::statvfs(drive.Folder.c_str(), &volume) == 0) {
    link.DriveSerialNumber = static_cast<DWORD>(volume.f_fsid);
  }
  auto target = WindowsToLinuxPath(link.Path);
  struct stat st {};
  if (!target || ::stat(target->c_str(), &st) != 0) return;
  link.FileAttributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (::access(target->c_str(), W_OK) != 0 && errno == EACCES) link.FileAttributes |= FILE_ATTRIBUTE_READONLY;
  // Linux keeps no creation time that stat reports; the last status change
  // is the nearest.
  link.CreationTime = FileTimeOf(st.st_ctim);
  link.AccessTime = FileTimeOf(st.st_atim);
  link.WriteTime = FileTimeOf(st.st_mtim);
  link.FileSize = S_ISDIR(st.st_mode) ? 0 : static_cast<DWORD>(st.st_size);
}

// Writes the whole file under a temporary name beside it and renames it into
// place, so an existing link is replaced at once and a failed save leaves the
// old one (or none) rather than part of a new one.
HRESULT WriteReplacing(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
  std::string pattern = (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
  int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  // The file's own name is made here, so a missing name means a missing folder.
  if (fd < 0 && errno == ENOENT) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
  if (fd < 0) return ErrnoResult(errno);
  // mkostemp makes the file private; a link is as readable as any new file.
  mode_t mask = ::umask(0);
  ::umask(mask);
  int err = ::fchmod(fd, 0666 & ~mask) == 0 ? 0 : errno;
  std::size_t done = 0;
  while (err == 0 && done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) err = errno;
    if (n > 0) done += static_cast<std::size_t>(n);
  }
  if (err == 0 && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(pattern.c_str(), file.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(pattern.c_str());
    return ErrnoResult(err);
  }
  return S_OK;
}

class TShellLink final : public IShellLinkA, public IPersistFile {
 public:
  // ---- IUnknown ----
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IShellLinkA) {
      *ppv = static_cast<IShellLinkA*>(this);
    } else if (riid == IID_IPersistFile || riid == IID_IPersist) {
      *ppv = static_cast<IPersistFile*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // ---- IShellLinkA ----
  HRESULT STDMETHODCALLTYPE GetPath(LPSTR pszFile, int cch, WIN32_FIND_DATAA*, DWORD) override {
    HRESULT hr = CopyOut(link_.Path, pszFile, cch);
    if (FAILED(hr)) return hr;
    return link_.Path.empty() ? S_FALSE : S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDList(LPITEMIDLIST* ppidl) override {
    if (!ppidl) return E_INVALIDARG;
    *ppidl = nullptr;
    if (link_.Path.empty()) return S_FALSE;
    *ppidl = MakePathItemList(link_.Path);
    return *ppidl ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE SetIDList(LPCITEMIDLIST pidl) override {
    auto path = PathOfItemList(pidl);
    if (!path) return E_INVALIDARG;
    return SetPath(path->c_str());
  }
  HRESULT STDMETHODCALLTYPE GetDescription(LPSTR pszName, int cch) override {
    return CopyOut(link_.Description, pszName, cch);
  }
  HRESULT STDMETHODCALLTYPE SetDescription(LPCSTR pszName) override { return SetText(link_.Description, pszName); }
  HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPSTR pszDir, int cch) override {
    return CopyOut(link_.WorkingDirectory, pszDir, cch);
  }
  HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCSTR pszDir) override {
    return SetText(link_.WorkingDirectory, pszDir);
  }
  HRESULT STDMETHODCALLTYPE GetArguments(LPSTR pszArgs, int cch) override {
    return CopyOut(link_.Arguments, pszArgs, cch);
  }
  HRESULT STDMETHODCALLTYPE SetArguments(LPCSTR pszArgs) override { return SetText(link_.Arguments, pszArgs); }
  HRESULT STDMETHODCALLTYPE GetHotkey(WORD* pwHotkey) override {
    if (!pwHotkey) return E_INVALIDARG;
    *pwHotkey = link_.HotKey;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetHotkey(WORD wHotkey) override {
    link_.HotKey = wHotkey;
    dirty_ = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetShowCmd(int* piShowCmd) override {
    if (!piShowCmd) return E_INVALIDARG;
    *piShowCmd = link_.ShowCommand;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetShowCmd(int iShowCmd) override {
    link_.ShowCommand = iShowCmd;
    dirty_ = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIconLocation(LPSTR pszIconPath, int cch, int* piIcon) override {
    if (!piIcon) return E_INVALIDARG;
    HRESULT hr = CopyOut(link_.IconLocation, pszIconPath, cch);
    if (SUCCEEDED(hr)) *piIcon = link_.IconIndex;
    return hr;
  }
  HRESULT STDMETHODCALLTYPE SetIconLocation(LPCSTR pszIconPath, int iIcon) override {
    HRESULT hr = SetText(link_.IconLocation, pszIconPath);
    if (SUCCEEDED(hr)) link_.IconIndex = iIcon;
    return hr;
  }
  HRESULT STDMETHODCALLTYPE SetRelativePath(LPCSTR pszPathRel, DWORD) override {
    return SetText(link_.RelativePath, pszPathRel);
  }
  // Nothing to search for: the link names its target by its full path.
  HRESULT STDMETHODCALLTYPE Resolve(HWND, DWORD) override { return S_OK; }
  // A relative path is taken from the current folder. Only paths on a drive
  // can be recorded here (no network shares): anything else is refused.
  HRESULT STDMETHODCALLTYPE SetPath(LPCSTR pszFile) override {
    if (!pszFile) return E_INVALIDARG;
    return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
      if (!*pszFile) {
        link_.Path.clear();
        dirty_ = true;
        return S_OK;
      }
      auto full = FullWindowsPath(pszFile);
      if (!full || full->size() < 3 || (*full)[1] != ':' || (*full)[2] != '\\' || full->size() > kMaxText) {
        return E_INVALIDARG;
      }
      link_.Path = *full;
      dirty_ = true;
      return S_OK;
    });
  }

  // ---- IPersistFile ----
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) override {
    if (!pClassID) return E_POINTER;
    *pClassID = CLSID_ShellLink;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
  HRESULT STDMETHODCALLTYPE Load(LPCOLESTR pszFileName, DWORD) override {
    if (!pszFileName) return E_INVALIDARG;
    return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
      std::string name = OleToAnsi(pszFileName);
      auto file = WindowsToLinuxPath(name);
      if (!file) return LastErrorResult();
      std::ifstream in(*file, std::ios::binary);
      if (!in) {
        std::error_code ignored;
        bool folderThere = fs::is_directory(file->parent_path(), ignored);
        return HRESULT_FROM_WIN32(folderThere ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
      }
      std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      auto link = DecodeShellLink(bytes.data(), bytes.size());
      if (!link) return E_FAIL;
      link_ = std::move(*link);
      currentFile_ = FullWindowsPath(name).value_or(name);
      dirty_ = false;
      return S_OK;
    });
  }
  // fRemember makes the file the object's current one (and the object clean);
  // a null name saves to the current file.
  HRESULT STDMETHODCALLTYPE Save(LPCOLESTR pszFileName, BOOL fRemember) override {
    return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
      std::string name = pszFileName ? OleToAnsi(pszFileName) : currentFile_;
      if (name.empty()) return E_INVALIDARG;
      auto file = WindowsToLinuxPath(name);
      if (!file) return LastErrorResult();
      if (!link_.Path.empty()) DescribeTarget(link_);
      auto bytes = EncodeShellLink(link_);
      if (!bytes) return E_INVALIDARG;
      HRESULT hr = WriteReplacing(*file, *bytes);
      if (FAILED(hr)) return hr;
      if (fRemember || !pszFileName) {
        currentFile_ = FullWindowsPath(name).value_or(name);
        dirty_ = false;
      }
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override { return S_OK; }
  // Without a current file: the default name pattern, with S_FALSE.
  HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* ppszFileName) override {
    if (!ppszFileName) return E_POINTER;
    *ppszFileName = nullptr;
    return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
      std::u16string name = currentFile_.empty() ? u"*.lnk" : AnsiToOle(currentFile_);
      auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc((name.size() + 1) * sizeof(OLECHAR)));
      if (!out) return E_OUTOFMEMORY;
      std::memcpy(out, name.c_str(), (name.size() + 1) * sizeof(OLECHAR));
      *ppszFileName = out;
      return currentFile_.empty() ? S_FALSE : S_OK;
    });
  }

 private:
  ~TShellLink() = default;

  HRESULT SetText(std::string& field, LPCSTR text) {
    if (!text) return E_INVALIDARG;
    std::size_t length = std::strlen(text);
    if (length > kMaxText) return E_INVALIDARG;
    return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
      field.assign(text, length);
      dirty_ = true;
      return S_OK;
    });
  }

  // One thread uses an object at a time (its apartment's), so only the count
  // needs to be atomic.
  std::atomic<ULONG> references_{1};
  ShellLinkData link_;
  std::string currentFile_;
  bool dirty_ = false;
};

class TShellLinkFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    auto* link = new (std::nothrow) TShellLink;
    if (!link) return E_OUTOFMEMORY;
    HRESULT hr = link->QueryInterface(riid, ppv);
    link->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  ~TShellLinkFactory() = default;
  std::atomic<ULONG> references_{1};
};

// Runs when the platform library is loaded.
const bool kShellLinkServed = [] {
  auto* factory = new (std::nothrow) TShellLinkFactory;
  if (!factory) return false;
  bool served = SUCCEEDED(RegisterBuiltinClass(CLSID_ShellLink, factory));
  factory->Release();
  return served;
}();

}  // namespace

}  // namespace qorv::platform
