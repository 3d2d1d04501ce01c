// The verbs a class registered, read once into a list that an enumerator
// hands out; containers build their object menus from it.
#include <algorithm>
#include <atomic>
#include <charconv>
#include <memory>
#include <string>
#include <vector>

#include "ComRuntime.h"
#include "ole2.h"
#include "winreg.h"

namespace qorv::platform {

namespace {

struct TVerb {
  LONG Number = 0;
  std::u16string Name;
  DWORD Flags = 0;
  DWORD Attribs = 0;
};

using TVerbList = std::vector<TVerb>;

// The whole text must be one decimal number in range.
template <class T>
bool ParseNumber(const std::string& text, T* value) {
  const char* end = text.data() + text.size();
  auto [at, error] = std::from_chars(text.data(), end, *value);
  return !text.empty() && error == std::errc() && at == end;
}

// "name,flags,attribs", split at the last two commas so that a name may
// itself hold commas.
bool ParseVerbValue(const std::string& value, TVerb* verb) {
  size_t second = value.rfind(',');
  if (second == std::string::npos || second == 0) return false;
  size_t first = value.rfind(',', second - 1);
  if (first == std::string::npos) return false;
  if (!ParseNumber(value.substr(first + 1, second - first - 1), &verb->Flags)) return false;
  if (!ParseNumber(value.substr(second + 1), &verb->Attribs)) return false;
  verb->Name = AnsiToOle(value.substr(0, first));
  return true;
}

// The verb subkey names of an open Verb key; false when the key cannot be read.
bool VerbKeyNames(HKEY verbs, std::vector<std::string>* names) {
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD length = sizeof name;
    LSTATUS status = RegEnumKeyExA(verbs, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return true;
    if (status != ERROR_SUCCESS) return false;
    names->emplace_back(name, length);
  }
}

HRESULT ReadVerbs(const std::string& classKey, TVerbList* verbs) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, classKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return REGDB_E_CLASSNOTREG;
  }
  RegCloseKey(key);
  HKEY verbKey = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, (classKey + "\\Verb").c_str(), 0, KEY_READ, &verbKey) != ERROR_SUCCESS) {
    return OLEOBJ_E_NOVERBS;
  }
  std::vector<std::string> names;
  bool read = VerbKeyNames(verbKey, &names);
  RegCloseKey(verbKey);
  if (!read) return REGDB_E_READREGDB;
  for (const std::string& name : names) {
    TVerb verb;
    auto value = ClassesRootDefault(classKey + "\\Verb\\" + name);
    if (!ParseNumber(name, &verb.Number) || !value || !ParseVerbValue(*value, &verb)) return REGDB_E_INVALIDVALUE;
    verbs->push_back(std::move(verb));
  }
  if (verbs->empty()) return OLEOBJ_E_NOVERBS;
  std::stable_sort(verbs->begin(), verbs->end(), [](const TVerb& a, const TVerb& b) { return a.Number < b.Number; });
  return S_OK;
}

LPOLESTR TaskMemString(const std::u16string& text) {
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(OLECHAR)));
  if (copy) std::copy(text.c_str(), text.c_str() + text.size() + 1, copy);
  return copy;
}

// Clones share the list, which never changes once read.
class TVerbEnumerator : public IEnumOLEVERB {
 public:
  TVerbEnumerator(std::shared_ptr<const TVerbList> verbs, size_t position)
      : verbs_(std::move(verbs)), position_(position) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IEnumOLEVERB) return E_NOINTERFACE;
    *ppv = static_cast<IEnumOLEVERB*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE Next(ULONG celt, LPOLEVERB rgelt, ULONG* pceltFetched) override {
    if (pceltFetched) *pceltFetched = 0;
    if (!rgelt || (celt != 1 && !pceltFetched)) return E_INVALIDARG;
    ULONG fetched = 0;
    while (fetched < celt && position_ < verbs_->size()) {
      const TVerb& verb = (*verbs_)[position_];
      LPOLESTR name = TaskMemString(verb.Name);
      if (!name) {
        // Nothing half-handed out: the names given so far are taken back.
        for (ULONG i = 0; i < fetched; ++i) CoTaskMemFree(rgelt[i].lpszVerbName);
        position_ -= fetched;
        return E_OUTOFMEMORY;
      }
      rgelt[fetched] = OLEVERB{verb.Number, name, verb.Flags, verb.Attribs};
      ++fetched;
      ++position_;
    }
    if (pceltFetched) *pceltFetched = fetched;
    return fetched == celt ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override {
    size_t left = verbs_->size() - position_;
    position_ += std::min<size_t>(celt, left);
    return celt <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumOLEVERB** ppenum) override {
    if (!ppenum) return E_POINTER;
    *ppenum = new (std::nothrow) TVerbEnumerator(verbs_, position_);
    return *ppenum ? S_OK : E_OUTOFMEMORY;
  }

 private:
  virtual ~TVerbEnumerator() = default;

  std::shared_ptr<const TVerbList> verbs_;
  size_t position_;
  std::atomic<ULONG> references_{1};
};

}  // namespace

}  // namespace qorv::platform

HRESULT WINAPI OleRegEnumVerbs(REFCLSID clsid, IEnumOLEVERB** ppenum) {
  using namespace qorv::platform;
  if (!ppenum) return E_INVALIDARG;
  *ppenum = nullptr;
  try {
    auto verbs = std::make_shared<TVerbList>();
    HRESULT read = ReadVerbs("CLSID\\" + GuidToString(clsid), verbs.get());
    if (FAILED(read)) return read;
    *ppenum = new TVerbEnumerator(std::move(verbs), 0);
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}
