// What the platform's streams share: reference counting and the interface
// answers of an IStream, and the byte copy behind CopyTo.
#pragma once

#include <atomic>

#include "objidl.h"

namespace qorv::platform {

class TStreamBase : public IStream {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++References; }
  ULONG STDMETHODCALLTYPE Release() override;
  // Reads from the current position up to cb bytes and writes them to pstm,
  // which may be this stream itself.
  HRESULT STDMETHODCALLTYPE CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                   ULARGE_INTEGER* pcbWritten) override;

 protected:
  TStreamBase() = default;
  virtual ~TStreamBase() = default;

 private:
  std::atomic<ULONG> References{1};
};

// The new position a Seek asks for: STG_E_INVALIDFUNCTION for an unknown
// origin or a position before the start or beyond `limit`.
HRESULT SeekTarget(LARGE_INTEGER move, DWORD origin, ULONGLONG current, ULONGLONG size, ULONGLONG limit,
                   ULONGLONG* target);

}  // namespace qorv::platform
