// A stream over an open file handle; the file's own position is the stream's.
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "ComRuntime.h"
#include "NoThrow.h"
#include "StreamBase.h"
#include "fileapi.h"
#include "shlwapi.h"
#include "synch.h"

namespace qorv::platform {

namespace {

HRESULT FileError(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED: return STG_E_ACCESSDENIED;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return STG_E_MEDIUMFULL;
    default: return HRESULT_FROM_WIN32(error ? error : ERROR_GEN_FAILURE);
  }
}

class TFileStream final : public TStreamBase {
 public:
  TFileStream(HANDLE file, std::string name, DWORD mode) : File(file), Name(std::move(name)), Mode(mode) {}

  HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override {
    if (pcbRead) *pcbRead = 0;
    if (!pv) return STG_E_INVALIDPOINTER;
    if ((Mode & 3) == STGM_WRITE) return STG_E_ACCESSDENIED;
    DWORD got = 0;
    if (!ReadFile(File, pv, cb, &got, nullptr)) return FileError(GetLastError());
    if (pcbRead) *pcbRead = got;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
    if (pcbWritten) *pcbWritten = 0;
    if (!pv) return STG_E_INVALIDPOINTER;
    if ((Mode & 3) == STGM_READ) return STG_E_ACCESSDENIED;
    DWORD written = 0;
    if (!WriteFile(File, pv, cb, &written, nullptr)) return FileError(GetLastError());
    if (pcbWritten) *pcbWritten = written;
    return written == cb ? S_OK : STG_E_MEDIUMFULL;
  }

  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) override {
    ULONGLONG current = 0;
    ULONGLONG size = 0;
    HRESULT hr = Where(&current, &size);
    if (FAILED(hr)) return hr;
    ULONGLONG target = 0;
    hr = SeekTarget(dlibMove, dwOrigin, current, size, std::numeric_limits<LONGLONG>::max(), &target);
    if (FAILED(hr)) return hr;
    hr = MoveTo(target);
    if (SUCCEEDED(hr) && plibNewPosition) plibNewPosition->QuadPart = target;
    return hr;
  }

  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER libNewSize) override {
    if ((Mode & 3) == STGM_READ) return STG_E_ACCESSDENIED;
    if (libNewSize.QuadPart > static_cast<ULONGLONG>(std::numeric_limits<LONGLONG>::max())) return STG_E_MEDIUMFULL;
    ULONGLONG current = 0;
    ULONGLONG size = 0;
    HRESULT hr = Where(&current, &size);
    if (FAILED(hr)) return hr;
    // The size is set at the end of the file; the position stays.
    hr = MoveTo(libNewSize.QuadPart);
    if (FAILED(hr)) return hr;
    if (!SetEndOfFile(File)) hr = FileError(GetLastError());
    HRESULT back = MoveTo(current);
    return FAILED(hr) ? hr : back;
  }

  HRESULT STDMETHODCALLTYPE Commit(DWORD) override {
    if ((Mode & 3) != STGM_READ && !FlushFileBuffers(File)) return FileError(GetLastError());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }

  HRESULT STDMETHODCALLTYPE Stat(STATSTG* pstatstg, DWORD grfStatFlag) override {
    if (!pstatstg) return STG_E_INVALIDPOINTER;
    if (grfStatFlag != STATFLAG_DEFAULT && grfStatFlag != STATFLAG_NONAME) return STG_E_INVALIDFLAG;
    ULONGLONG current = 0;
    ULONGLONG size = 0;
    HRESULT hr = Where(&current, &size);
    if (FAILED(hr)) return hr;
    *pstatstg = STATSTG{};
    pstatstg->type = STGTY_STREAM;
    pstatstg->cbSize.QuadPart = size;
    pstatstg->grfMode = Mode;
    if (grfStatFlag == STATFLAG_DEFAULT) {
      std::u16string name = AnsiToOle(Name);
      auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((name.size() + 1) * sizeof(OLECHAR)));
      if (!copy) return STG_E_INSUFFICIENTMEMORY;
      std::memcpy(copy, name.c_str(), (name.size() + 1) * sizeof(OLECHAR));
      pstatstg->pwcsName = copy;
    }
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Clone(IStream** ppstm) override {
    if (ppstm) *ppstm = nullptr;
    return E_NOTIMPL;
  }

 private:
  ~TFileStream() override { CloseHandle(File); }

  HRESULT Where(ULONGLONG* position, ULONGLONG* size) {
    LONG high = 0;
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(File, 0, &high, FILE_CURRENT);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return FileError(GetLastError());
    *position = (static_cast<ULONGLONG>(static_cast<DWORD>(high)) << 32) | low;
    DWORD sizeHigh = 0;
    SetLastError(NO_ERROR);
    DWORD sizeLow = GetFileSize(File, &sizeHigh);
    if (sizeLow == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return FileError(GetLastError());
    *size = (static_cast<ULONGLONG>(sizeHigh) << 32) | sizeLow;
    return S_OK;
  }

  HRESULT MoveTo(ULONGLONG position) {
    LONG high = static_cast<LONG>(position >> 32);
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(File, static_cast<LONG>(position & 0xFFFFFFFFu), &high, FILE_BEGIN);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return STG_E_SEEKERROR;
    return S_OK;
  }

  HANDLE File;
  std::string Name;
  DWORD Mode;
};

DWORD ShareFor(DWORD mode) {
  switch (mode & 0x70) {
    case STGM_SHARE_EXCLUSIVE: return 0;
    case STGM_SHARE_DENY_WRITE: return FILE_SHARE_READ;
    case STGM_SHARE_DENY_READ: return FILE_SHARE_WRITE;
    default: return FILE_SHARE_READ | FILE_SHARE_WRITE;
  }
}

DWORD AccessFor(DWORD mode) {
  switch (mode & 3) {
    case STGM_WRITE: return GENERIC_WRITE;
    case STGM_READWRITE: return GENERIC_READ | GENERIC_WRITE;
    default: return GENERIC_READ;
  }
}

}  // namespace

}  // namespace qorv::platform

using namespace qorv::platform;

HRESULT WINAPI SHCreateStreamOnFileA(LPCSTR pszFile, DWORD grfMode, IStream** ppstm) {
  if (!ppstm) return E_INVALIDARG;
  *ppstm = nullptr;
  if (!pszFile) return E_INVALIDARG;
  if (grfMode & (STGM_TRANSACTED | STGM_CONVERT | STGM_DELETEONRELEASE)) return E_INVALIDARG;
  if ((grfMode & 3) == 3) return E_INVALIDARG;
  return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
    HANDLE file = CreateFileA(pszFile, AccessFor(grfMode), ShareFor(grfMode), nullptr,
                              (grfMode & STGM_CREATE) ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
    auto* stream = new (std::nothrow) TFileStream(file, pszFile, grfMode);
    if (!stream) {
      CloseHandle(file);
      return E_OUTOFMEMORY;
    }
    *ppstm = stream;
    return S_OK;
  });
}
