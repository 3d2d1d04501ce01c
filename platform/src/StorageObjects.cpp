// IStorage on an element of an open compound file, and the enumerator of a
// storage's elements.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "NoThrow.h"
#include "Storage.h"

namespace qorv::platform::storage {

namespace {

class TEnumElements final : public IEnumSTATSTG {
 public:
  explicit TEnumElements(std::vector<STATSTG> items, size_t next = 0) : Items(std::move(items)), Next_(next) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IEnumSTATSTG) {
      *ppv = static_cast<IEnumSTATSTG*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++References; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --References;
    if (left == 0) delete this;
    return left;
  }

  // Each record handed out has a name of its own in task memory.
  HRESULT STDMETHODCALLTYPE Next(ULONG celt, STATSTG* rgelt, ULONG* pceltFetched) override {
    if (pceltFetched) *pceltFetched = 0;
    if (!rgelt || (celt > 1 && !pceltFetched)) return STG_E_INVALIDPOINTER;
    ULONG fetched = 0;
    for (; fetched < celt && Next_ < Items.size(); ++fetched, ++Next_) {
      rgelt[fetched] = Items[Next_];
      const OLECHAR* name = Items[Next_].pwcsName;
      size_t bytes = (std::char_traits<OLECHAR>::length(name) + 1) * sizeof(OLECHAR);
      rgelt[fetched].pwcsName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
      if (!rgelt[fetched].pwcsName) {
        for (ULONG i = 0; i < fetched; ++i) CoTaskMemFree(rgelt[i].pwcsName);
        return STG_E_INSUFFICIENTMEMORY;
      }
      std::memcpy(rgelt[fetched].pwcsName, name, bytes);
    }
    if (pceltFetched) *pceltFetched = fetched;
    return fetched == celt ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override {
    const size_t left = Items.size() - Next_;
    Next_ += std::min<size_t>(celt, left);
    return celt <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    Next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumSTATSTG** ppenum) override {
    if (!ppenum) return STG_E_INVALIDPOINTER;
    *ppenum = nullptr;
    return Guarded(E_OUTOFMEMORY, [&] {
      std::vector<STATSTG> copy = Items;
      for (auto& item : copy) item.pwcsName = Duplicate(item.pwcsName);
      *ppenum = new TEnumElements(std::move(copy), Next_);
      return S_OK;
    });
  }

  static LPOLESTR Duplicate(const OLECHAR* name) {
    size_t bytes = (std::char_traits<OLECHAR>::length(name) + 1) * sizeof(OLECHAR);
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (!copy) throw std::bad_alloc();
    std::memcpy(copy, name, bytes);
    return copy;
  }

 private:
  ~TEnumElements() {
    for (auto& item : Items) CoTaskMemFree(item.pwcsName);
  }

  std::atomic<ULONG> References{1};
  std::vector<STATSTG> Items;
  size_t Next_;
};

class TStorage final : public IStorage {
 public:
  TStorage(std::shared_ptr<Document> document, std::shared_ptr<Element> element, DWORD mode, bool isRoot)
      : Doc(std::move(document)), Node(std::move(element)), Mode(mode), IsRoot(isRoot) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IStorage) {
      *ppv = static_cast<IStorage*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++References; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --References;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE CreateStream(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2,
                                         IStream** ppstm) override {
    if (!ppstm) return STG_E_INVALIDPOINTER;
    *ppstm = nullptr;
    return Guarded(STG_E_INSUFFICIENTMEMORY, [&]() -> HRESULT {
      std::lock_guard guard(Doc->Lock);
      std::shared_ptr<Element> element;
      HRESULT hr = CreateElement(pwcsName, grfMode, reserved1, reserved2, false, &element);
      if (FAILED(hr)) return hr;
      *ppstm = NewStream(Doc, element, grfMode);
      return *ppstm ? S_OK : STG_E_INSUFFICIENTMEMORY;
    });
  }

  HRESULT STDMETHODCALLTYPE OpenStream(const OLECHAR* pwcsName, void* reserved1, DWORD grfMode, DWORD reserved2,
                                       IStream** ppstm) override {
    if (!ppstm) return STG_E_INVALIDPOINTER;
    *ppstm = nullptr;
    if (reserved1 || reserved2) return STG_E_INVALIDPARAMETER;
    std::lock_guard guard(Doc->Lock);
    std::shared_ptr<Element> element;
    HRESULT hr = OpenElement(pwcsName, grfMode, false, &element);
    if (FAILED(hr)) return hr;
    *ppstm = NewStream(Doc, element, grfMode);
    return *ppstm ? S_OK : STG_E_INSUFFICIENTMEMORY;
  }

  HRESULT STDMETHODCALLTYPE CreateStorage(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2,
                                          IStorage** ppstg) override {
    if (!ppstg) return STG_E_INVALIDPOINTER;
    *ppstg = nullptr;
    return Guarded(STG_E_INSUFFICIENTMEMORY, [&]() -> HRESULT {
      std::lock_guard guard(Doc->Lock);
      std::shared_ptr<Element> element;
      HRESULT hr = CreateElement(pwcsName, grfMode, reserved1, reserved2, true, &element);
      if (FAILED(hr)) return hr;
      *ppstg = NewStorage(Doc, element, grfMode, false);
      return *ppstg ? S_OK : STG_E_INSUFFICIENTMEMORY;
    });
  }

  HRESULT STDMETHODCALLTYPE OpenStorage(const OLECHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude,
                                        DWORD reserved, IStorage** ppstg) override {
    if (!ppstg) return STG_E_INVALIDPOINTER;
    *ppstg = nullptr;
    if (reserved) return STG_E_INVALIDPARAMETER;
    if (pstgPriority || snbExclude) return STG_E_INVALIDFUNCTION;
    std::lock_guard guard(Doc->Lock);
    std::shared_ptr<Element> element;
    HRESULT hr = OpenElement(pwcsName, grfMode, true, &element);
    if (FAILED(hr)) return hr;
    *ppstg = NewStorage(Doc, element, grfMode, false);
    return *ppstg ? S_OK : STG_E_INSUFFICIENTMEMORY;
  }

  HRESULT STDMETHODCALLTYPE CopyTo(DWORD, const IID*, SNB, IStorage*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE MoveElementTo(const OLECHAR*, IStorage*, const OLECHAR*, DWORD) override {
    return E_NOTIMPL;
  }

  // The root writes the whole file; what is opened inside it changes the
  // tree in place, so their commits have nothing to do.
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override {
    std::lock_guard guard(Doc->Lock);
    if (Doc->Closed) return STG_E_REVERTED;
    if (!IsRoot || !Doc->Writable) return S_OK;
    return Flush();
  }

  HRESULT STDMETHODCALLTYPE Revert() override {
    std::lock_guard guard(Doc->Lock);
    if (Doc->Closed) return STG_E_REVERTED;
    if (!IsRoot || !Doc->Transacted || !Doc->Dirty) return S_OK;
    // Back to what the file holds; elements opened meanwhile keep the old tree.
    std::shared_ptr<Element> root;
    HRESULT hr = LoadDocument(Doc->File, &root);
    if (FAILED(hr)) return hr;
    Doc->Root = root;
    ++root->OpenCount;  // held by this storage from now on, as the old root was
    Node = root;
    Doc->Dirty = false;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE EnumElements(DWORD, void*, DWORD, IEnumSTATSTG** ppenum) override {
    if (!ppenum) return STG_E_INVALIDPOINTER;
    *ppenum = nullptr;
    return Guarded(STG_E_INSUFFICIENTMEMORY, [&]() -> HRESULT {
      std::lock_guard guard(Doc->Lock);
      if (Doc->Closed) return STG_E_REVERTED;
      std::vector<STATSTG> items;
      for (const auto& child : Node->Children) {
        STATSTG stat;
        HRESULT hr = FillStat(*child, child->Name, 0, STATFLAG_DEFAULT, &stat);
        if (FAILED(hr)) {
          for (auto& item : items) CoTaskMemFree(item.pwcsName);
          return hr;
        }
        items.push_back(stat);
      }
      *ppenum = new TEnumElements(std::move(items));
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE DestroyElement(const OLECHAR* pwcsName) override {
    std::lock_guard guard(Doc->Lock);
    HRESULT hr = CheckWritable();
    if (FAILED(hr)) return hr;
    if (!pwcsName) return STG_E_INVALIDPOINTER;
    auto it = Find(pwcsName);
    if (it == Node->Children.end()) return STG_E_FILENOTFOUND;
    if (IsInUse(**it)) return STG_E_ACCESSDENIED;
    Node->Children.erase(it);
    Doc->Dirty = true;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE RenameElement(const OLECHAR* pwcsOldName, const OLECHAR* pwcsNewName) override {
    return Guarded(STG_E_INSUFFICIENTMEMORY, [&]() -> HRESULT {
      std::lock_guard guard(Doc->Lock);
      HRESULT hr = CheckWritable();
      if (FAILED(hr)) return hr;
      if (!pwcsOldName || !pwcsNewName) return STG_E_INVALIDPOINTER;
      if (!IsValidElementName(pwcsNewName)) return STG_E_INVALIDNAME;
      auto it = Find(pwcsOldName);
      if (it == Node->Children.end()) return STG_E_FILENOTFOUND;
      if (Find(pwcsNewName) != Node->Children.end()) return STG_E_FILEALREADYEXISTS;
      if (IsInUse(**it)) return STG_E_ACCESSDENIED;
      (*it)->Name = pwcsNewName;
      Doc->Dirty = true;
      return S_OK;
    });
  }

  // The file format keeps times, but they are not kept here.
  HRESULT STDMETHODCALLTYPE SetElementTimes(const OLECHAR*, const FILETIME*, const FILETIME*,
                                            const FILETIME*) override {
    std::lock_guard guard(Doc->Lock);
    return CheckWritable();
  }

  HRESULT STDMETHODCALLTYPE SetClass(REFCLSID clsid) override {
    std::lock_guard guard(Doc->Lock);
    HRESULT hr = CheckWritable();
    if (FAILED(hr)) return hr;
    Node->Clsid = clsid;
    Doc->Dirty = true;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SetStateBits(DWORD grfStateBits, DWORD grfMask) override {
    std::lock_guard guard(Doc->Lock);
    HRESULT hr = CheckWritable();
    if (FAILED(hr)) return hr;
    Node->StateBits = (Node->StateBits & ~grfMask) | (grfStateBits & grfMask);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Stat(STATSTG* pstatstg, DWORD grfStatFlag) override {
    if (!pstatstg) return STG_E_INVALIDPOINTER;
    std::lock_guard guard(Doc->Lock);
    if (Doc->Closed) return STG_E_REVERTED;
    return Guarded(STG_E_INSUFFICIENTMEMORY, [&] {
      return FillStat(*Node, IsRoot ? Doc->NameAsGiven : Node->Name, Mode, grfStatFlag, pstatstg);
    });
  }

 private:
  ~TStorage() {
    std::lock_guard guard(Doc->Lock);
    --Node->OpenCount;
    if (!IsRoot) return;
    // A root in direct mode writes what changed when it goes; a transacted
    // one drops what was not committed. Either way, what was opened inside
    // it is reverted.
    if (Doc->Writable && !Doc->Transacted && Doc->Dirty) Flush();
    Doc->Closed = true;
  }

  // Called with the document locked.
  HRESULT Flush() {
    HRESULT hr = SaveDocument(Doc->File, *Doc->Root);
    if (SUCCEEDED(hr)) Doc->Dirty = false;
    return hr;
  }

  HRESULT CheckWritable() const {
    if (Doc->Closed) return STG_E_REVERTED;
    if ((Mode & 3) == STGM_READ || !Doc->Writable) return STG_E_ACCESSDENIED;
    return S_OK;
  }

  std::vector<std::shared_ptr<Element>>::iterator Find(const OLECHAR* name) {
    std::u16string wanted = name;
    return std::find_if(Node->Children.begin(), Node->Children.end(),
                        [&](const auto& child) { return SameElementName(child->Name, wanted); });
  }

  static bool IsInUse(const Element& element) {
    if (element.OpenCount > 0) return true;
    for (const auto& child : element.Children) {
      if (IsInUse(*child)) return true;
    }
    return false;
  }

  // Elements are opened for exclusive use only, as compound files require.
  static HRESULT CheckElementMode(DWORD grfMode) {
    if ((grfMode & 0x70) != STGM_SHARE_EXCLUSIVE) return STG_E_INVALIDFLAG;
    if ((grfMode & 3) == 3) return STG_E_INVALIDFLAG;
    return S_OK;
  }

  HRESULT CreateElement(const OLECHAR* name, DWORD grfMode, DWORD reserved1, DWORD reserved2, bool isStorage,
                        std::shared_ptr<Element>* out) {
    if (Doc->Closed) return STG_E_REVERTED;
    if (reserved1 || reserved2) return STG_E_INVALIDPARAMETER;
    if (!name) return STG_E_INVALIDPOINTER;
    HRESULT hr = CheckElementMode(grfMode);
    if (FAILED(hr)) return hr;
    if ((grfMode & 3) == STGM_READ) return STG_E_INVALIDFLAG;
    hr = CheckWritable();
    if (FAILED(hr)) return hr;
    if (!IsValidElementName(name)) return STG_E_INVALIDNAME;
    auto it = Find(name);
    if (it != Node->Children.end()) {
      if (!(grfMode & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
      if (IsInUse(**it)) return STG_E_ACCESSDENIED;
      Node->Children.erase(it);
    }
    auto element = std::make_shared<Element>();
    element->Name = name;
    element->IsStorage = isStorage;
    Node->Children.push_back(element);
    Doc->Dirty = true;
    *out = std::move(element);
    return S_OK;
  }

  HRESULT OpenElement(const OLECHAR* name, DWORD grfMode, bool isStorage, std::shared_ptr<Element>* out) {
    if (Doc->Closed) return STG_E_REVERTED;
    if (!name) return STG_E_INVALIDPOINTER;
    HRESULT hr = CheckElementMode(grfMode);
    if (FAILED(hr)) return hr;
    if ((grfMode & 3) != STGM_READ && ((Mode & 3) == STGM_READ || !Doc->Writable)) return STG_E_ACCESSDENIED;
    if (!IsValidElementName(name)) return STG_E_INVALIDNAME;
    auto it = Find(name);
    if (it == Node->Children.end() || (*it)->IsStorage != isStorage) return STG_E_FILENOTFOUND;
    if ((*it)->OpenCount > 0) return STG_E_ACCESSDENIED;
    *out = *it;
    return S_OK;
  }

  std::atomic<ULONG> References{1};
  std::shared_ptr<Document> Doc;
  std::shared_ptr<Element> Node;
  DWORD Mode;
  bool IsRoot;
};

}  // namespace

IStorage* NewStorage(std::shared_ptr<Document> document, std::shared_ptr<Element> element, DWORD mode, bool isRoot) {
  auto* storage = new (std::nothrow) TStorage(std::move(document), element, mode, isRoot);
  if (storage) ++element->OpenCount;
  return storage;
}

}  // namespace qorv::platform::storage
