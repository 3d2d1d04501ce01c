// A stream inside a compound file: the bytes of one element of the tree.
#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "Storage.h"
#include "StreamBase.h"

namespace qorv::platform::storage {

namespace {

// Compound file streams of the 512-byte sector format are at most 4 GB.
constexpr ULONGLONG kLargestStream = std::numeric_limits<ULONG>::max();

class TStorageStream final : public TStreamBase {
 public:
  TStorageStream(std::shared_ptr<Document> document, std::shared_ptr<Element> element, DWORD mode, ULONGLONG position)
      : Doc(std::move(document)), Node(std::move(element)), Mode(mode), Position(position) {}

  HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override {
    if (pcbRead) *pcbRead = 0;
    if (!pv) return STG_E_INVALIDPOINTER;
    std::lock_guard guard(Doc->Lock);
    if (Doc->Closed) return STG_E_REVERTED;
    if ((Mode & 3) == STGM_WRITE) return STG_E_ACCESSDENIED;
    const auto& bytes = Node->Bytes;
    if (Position >= bytes.size()) return S_OK;
    const ULONG count = static_cast<ULONG>(std::min<ULONGLONG>(cb, bytes.size() - Position));
    std::memcpy(pv, bytes.data() + Position, count);
    Position += count;
    if (pcbRead) *pcbRead = count;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
    if (pcbWritten) *pcbWritten = 0;
    if (!pv) return STG_E_INVALIDPOINTER;
    std::lock_guard guard(Doc->Lock);
    if (Doc->Closed) return STG_E_REVERTED;
    if ((Mode & 3) == STGM_READ) return STG_E_ACCESSDENIED;
    if (cb == 0) return S_OK;
    const ULONGLONG end = Position + cb;
    if (end > kLargestStream) return STG_E_MEDIUMFULL;
    auto& bytes = Node->Bytes;
    try {
      if (end > bytes.size()) bytes.resize(static_cast<size_t>(end));
    } catch (...) {
      return STG_E_MEDIUMFULL;
    }
    std::memcpy(bytes.data() + Position, pv, cb);
    Position = end;
    Doc->Dirty = true;
    if (pcbWritten) *pcbWritten = cb;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) override {
    std::lock_guard guard(Doc->Lock);
    if (Doc->Closed) return STG_E_REVERTED;
    ULONGLONG target = 0;
    HRESULT hr = SeekTarget(dlibMove, dwOrigin, Position, Node->Bytes.size(), kLargestStream, &target);
    if (FAILED(hr)) return hr;
    Position = target;
    if (plibNewPosition) plibNewPosition->QuadPart = Position;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER libNewSize) override {
    std::lock_guard guard(Doc->Lock);
    if (Doc->Closed) return STG_E_REVERTED;
    if ((Mode & 3) == STGM_READ) return STG_E_ACCESSDENIED;
    if (libNewSize.QuadPart > kLargestStream) return STG_E_MEDIUMFULL;
    try {
      Node->Bytes.resize(static_cast<size_t>(libNewSize.QuadPart));
    } catch (...) {
      return STG_E_MEDIUMFULL;
    }
    Doc->Dirty = true;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Commit(DWORD) override {
    std::lock_guard guard(Doc->Lock);
    return Doc->Closed ? STG_E_REVERTED : S_OK;
  }
  HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }

  HRESULT STDMETHODCALLTYPE Stat(STATSTG* pstatstg, DWORD grfStatFlag) override {
    if (!pstatstg) return STG_E_INVALIDPOINTER;
    std::lock_guard guard(Doc->Lock);
    if (Doc->Closed) return STG_E_REVERTED;
    return FillStat(*Node, Node->Name, Mode, grfStatFlag, pstatstg);
  }

  HRESULT STDMETHODCALLTYPE Clone(IStream** ppstm) override {
    if (!ppstm) return STG_E_INVALIDPOINTER;
    *ppstm = nullptr;
    std::lock_guard guard(Doc->Lock);
    if (Doc->Closed) return STG_E_REVERTED;
    auto* clone = new (std::nothrow) TStorageStream(Doc, Node, Mode, Position);
    if (!clone) return E_OUTOFMEMORY;
    ++Node->OpenCount;
    *ppstm = clone;
    return S_OK;
  }

 private:
  ~TStorageStream() override {
    std::lock_guard guard(Doc->Lock);
    --Node->OpenCount;
  }

  std::shared_ptr<Document> Doc;
  std::shared_ptr<Element> Node;
  DWORD Mode;
  ULONGLONG Position;  // guarded by Doc->Lock
};

}  // namespace

IStream* NewStream(std::shared_ptr<Document> document, std::shared_ptr<Element> element, DWORD mode) {
  auto* stream = new (std::nothrow) TStorageStream(std::move(document), element, mode, 0);
  if (stream) ++element->OpenCount;
  return stream;
}

}  // namespace qorv::platform::storage
