// Error information: the object a failing method leaves on its thread for the
// caller, made through ICreateErrorInfo and read through IErrorInfo.
#include <atomic>
#include <new>
#include <optional>
#include <string>

#include "NoThrow.h"
#include "oleauto.h"

namespace {

// One object answers both interfaces, so the one CreateErrorInfo hands out
// can be queried for IErrorInfo and set on the thread.
class TErrorInfo final : public IErrorInfo, public ICreateErrorInfo {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IErrorInfo) {
      *ppv = static_cast<IErrorInfo*>(this);
    } else if (riid == IID_ICreateErrorInfo) {
      *ppv = static_cast<ICreateErrorInfo*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++References; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --References;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetGUID(GUID* pGUID) override {
    if (!pGUID) return E_INVALIDARG;
    *pGUID = Guid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetSource(BSTR* out) override { return Hand(Source, out); }
  HRESULT STDMETHODCALLTYPE GetDescription(BSTR* out) override { return Hand(Description, out); }
  HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* out) override { return Hand(HelpFile, out); }
  HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* out) override {
    if (!out) return E_INVALIDARG;
    *out = HelpContext;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SetGUID(REFGUID rguid) override {
    Guid = rguid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR text) override { return Keep(text, Source); }
  HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR text) override { return Keep(text, Description); }
  HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR text) override { return Keep(text, HelpFile); }
  HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD context) override {
    HelpContext = context;
    return S_OK;
  }

 private:
  ~TErrorInfo() = default;

  // A text never set is handed out as a null string.
  static HRESULT Hand(const std::optional<std::u16string>& text, BSTR* out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (!text) return S_OK;
    *out = SysAllocStringLen(text->data(), static_cast<UINT>(text->size()));
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  static HRESULT Keep(LPOLESTR text, std::optional<std::u16string>& field) {
    return qorv::platform::Guarded(E_OUTOFMEMORY, [&] {
      if (text) {
        field = std::u16string(text);
      } else {
        field.reset();
      }
      return S_OK;
    });
  }

  std::atomic<ULONG> References{1};
  GUID Guid = GUID_NULL;
  std::optional<std::u16string> Source;
  std::optional<std::u16string> Description;
  std::optional<std::u16string> HelpFile;
  DWORD HelpContext = 0;
};

// The thread's error information, released when the thread ends.
class ThreadErrorInfo {
 public:
  ~ThreadErrorInfo() { Replace(nullptr); }
  ThreadErrorInfo() = default;
  ThreadErrorInfo(const ThreadErrorInfo&) = delete;
  ThreadErrorInfo& operator=(const ThreadErrorInfo&) = delete;

  // Keeps `info` (the caller's reference is the slot's) and releases what
  // was there.
  void Replace(IErrorInfo* info) {
    IErrorInfo* old = Current;
    Current = info;
    if (old) old->Release();
  }
  IErrorInfo* Take() {
    IErrorInfo* info = Current;
    Current = nullptr;
    return info;
  }

 private:
  IErrorInfo* Current = nullptr;
};

ThreadErrorInfo& ThisThreadsErrorInfo() {
  thread_local ThreadErrorInfo slot;
  return slot;
}

}  // namespace

HRESULT WINAPI CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
  if (!pperrinfo) return E_INVALIDARG;
  *pperrinfo = nullptr;
  auto* info = new (std::nothrow) TErrorInfo;
  if (!info) return E_OUTOFMEMORY;
  *pperrinfo = info;
  return S_OK;
}

HRESULT WINAPI SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo) {
  if (dwReserved != 0) return E_INVALIDARG;
  if (perrinfo) perrinfo->AddRef();
  ThisThreadsErrorInfo().Replace(perrinfo);
  return S_OK;
}

HRESULT WINAPI GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo) {
  if (!pperrinfo) return E_INVALIDARG;
  *pperrinfo = nullptr;
  if (dwReserved != 0) return E_INVALIDARG;
  *pperrinfo = ThisThreadsErrorInfo().Take();
  return *pperrinfo ? S_OK : S_FALSE;
}
