// A stream over a global memory block. Clones share the block and each keep
// a position of their own; the block's size is the stream's size.
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>

#include "NoThrow.h"
#include "StreamBase.h"
#include "globalmem.h"
#include "objbase.h"

namespace qorv::platform {

namespace {

// The block the stream and its clones share, freed with the last of them
// when the creator asked for that.
struct SharedBlock {
  std::mutex Lock;
  HGLOBAL Handle = nullptr;
  bool DeleteOnRelease = false;

  ~SharedBlock() {
    if (DeleteOnRelease) GlobalFree(Handle);
  }
};

// {5A8C1E52-7F3B-4C0D-9E61-2B7D4F0A9C13}: answered by memory streams alone,
// with the stream object itself.
constexpr IID kHGlobalStreamIdentity{0x5A8C1E52, 0x7F3B, 0x4C0D, {0x9E, 0x61, 0x2B, 0x7D, 0x4F, 0x0A, 0x9C, 0x13}};

// Memory streams are as large as a 32-bit process could address.
constexpr ULONGLONG kLargestStream = std::numeric_limits<ULONG>::max();

class THGlobalStream final : public TStreamBase {
 public:
  THGlobalStream(std::shared_ptr<SharedBlock> block, ULONGLONG position)
      : Block(std::move(block)), Position(position) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv && riid == kHGlobalStreamIdentity) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    return TStreamBase::QueryInterface(riid, ppv);
  }

  HGLOBAL Handle() {
    std::lock_guard guard(Block->Lock);
    return Block->Handle;
  }

  HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override {
    if (pcbRead) *pcbRead = 0;
    if (!pv) return STG_E_INVALIDPOINTER;
    std::lock_guard guard(Block->Lock);
    const ULONGLONG size = GlobalSize(Block->Handle);
    if (Position >= size || cb == 0) return S_OK;
    // A short read at the end is no error: the count tells.
    const ULONG count = static_cast<ULONG>(std::min<ULONGLONG>(cb, size - Position));
    auto* data = static_cast<const BYTE*>(GlobalLock(Block->Handle));
    if (!data) return STG_E_READFAULT;
    std::memcpy(pv, data + Position, count);
    GlobalUnlock(Block->Handle);
    Position += count;
    if (pcbRead) *pcbRead = count;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
    if (pcbWritten) *pcbWritten = 0;
    if (!pv) return STG_E_INVALIDPOINTER;
    if (cb == 0) return S_OK;
    std::lock_guard guard(Block->Lock);
    const ULONGLONG end = Position + cb;
    if (end > kLargestStream) return STG_E_MEDIUMFULL;
    if (end > GlobalSize(Block->Handle)) {
      HRESULT hr = Resize(end);
      if (FAILED(hr)) return hr;
    }
    auto* data = static_cast<BYTE*>(GlobalLock(Block->Handle));
    if (!data) return STG_E_WRITEFAULT;
    std::memcpy(data + Position, pv, cb);
    GlobalUnlock(Block->Handle);
    Position = end;
    if (pcbWritten) *pcbWritten = cb;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) override {
    std::lock_guard guard(Block->Lock);
    ULONGLONG target = 0;
    HRESULT hr = SeekTarget(dlibMove, dwOrigin, Position, GlobalSize(Block->Handle), kLargestStream, &target);
    if (FAILED(hr)) return hr;
    Position = target;
    if (plibNewPosition) plibNewPosition->QuadPart = Position;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER libNewSize) override {
    if (libNewSize.QuadPart > kLargestStream) return STG_E_MEDIUMFULL;
    std::lock_guard guard(Block->Lock);
    return Resize(libNewSize.QuadPart);
  }

  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }

  HRESULT STDMETHODCALLTYPE Stat(STATSTG* pstatstg, DWORD grfStatFlag) override {
    if (!pstatstg) return STG_E_INVALIDPOINTER;
    if (grfStatFlag != STATFLAG_DEFAULT && grfStatFlag != STATFLAG_NONAME) return STG_E_INVALIDFLAG;
    std::lock_guard guard(Block->Lock);
    *pstatstg = STATSTG{};
    pstatstg->type = STGTY_STREAM;  // a memory stream has no name
    pstatstg->cbSize.QuadPart = GlobalSize(Block->Handle);
    pstatstg->grfMode = STGM_READWRITE;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Clone(IStream** ppstm) override {
    if (!ppstm) return STG_E_INVALIDPOINTER;
    std::lock_guard guard(Block->Lock);
    *ppstm = new (std::nothrow) THGlobalStream(Block, Position);
    return *ppstm ? S_OK : E_OUTOFMEMORY;
  }

 private:
  // Called with the block locked. New bytes are zero.
  HRESULT Resize(ULONGLONG size) {
    HGLOBAL moved = GlobalReAlloc(Block->Handle, static_cast<SIZE_T>(size), GMEM_MOVEABLE | GMEM_ZEROINIT);
    if (!moved) return STG_E_MEDIUMFULL;
    Block->Handle = moved;  // a fixed block may have moved
    return S_OK;
  }

  std::shared_ptr<SharedBlock> Block;
  ULONGLONG Position = 0;  // guarded by Block->Lock
};

}  // namespace

}  // namespace qorv::platform

using namespace qorv::platform;

HRESULT WINAPI CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, LPSTREAM* ppstm) {
  if (!ppstm) return E_INVALIDARG;
  *ppstm = nullptr;
  return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
    if (!hGlobal) {
      hGlobal = GlobalAlloc(GMEM_MOVEABLE, 0);
      if (!hGlobal) return E_OUTOFMEMORY;
    }
    auto block = std::make_shared<SharedBlock>();
    block->Handle = hGlobal;
    block->DeleteOnRelease = fDeleteOnRelease != FALSE;
    *ppstm = new THGlobalStream(std::move(block), 0);
    return S_OK;
  });
}

HRESULT WINAPI GetHGlobalFromStream(LPSTREAM pstm, HGLOBAL* phglobal) {
  if (!phglobal) return E_INVALIDARG;
  *phglobal = nullptr;
  if (!pstm) return E_INVALIDARG;
  // Asked through an identifier only these streams know, since a stream from
  // elsewhere may carry no type information to cast with.
  void* found = nullptr;
  if (FAILED(pstm->QueryInterface(kHGlobalStreamIdentity, &found))) return E_INVALIDARG;
  auto* stream = static_cast<THGlobalStream*>(found);
  *phglobal = stream->Handle();
  stream->Release();
  return S_OK;
}
