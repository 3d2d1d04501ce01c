#include "StreamBase.h"

#include <vector>

namespace qorv::platform {

HRESULT STDMETHODCALLTYPE TStreamBase::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_ISequentialStream || riid == IID_IStream) {
    *ppv = static_cast<IStream*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TStreamBase::Release() {
  ULONG left = --References;
  if (left == 0) delete this;
  return left;
}

HRESULT STDMETHODCALLTYPE TStreamBase::CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                              ULARGE_INTEGER* pcbWritten) {
  if (pcbRead) pcbRead->QuadPart = 0;
  if (pcbWritten) pcbWritten->QuadPart = 0;
  if (!pstm) return STG_E_INVALIDPOINTER;
  std::vector<BYTE> chunk;
  try {
    chunk.resize(64 * 1024);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  ULONGLONG left = cb.QuadPart;
  ULONGLONG totalRead = 0;
  ULONGLONG totalWritten = 0;
  HRESULT hr = S_OK;
  while (left > 0) {
    ULONG want = static_cast<ULONG>(left < chunk.size() ? left : chunk.size());
    ULONG got = 0;
    hr = Read(chunk.data(), want, &got);
    if (FAILED(hr) || got == 0) break;
    totalRead += got;
    ULONG written = 0;
    hr = pstm->Write(chunk.data(), got, &written);
    totalWritten += written;
    if (FAILED(hr)) break;
    left -= got;
    if (got < want) break;
  }
  if (pcbRead) pcbRead->QuadPart = totalRead;
  if (pcbWritten) pcbWritten->QuadPart = totalWritten;
  return FAILED(hr) ? hr : S_OK;
}

HRESULT SeekTarget(LARGE_INTEGER move, DWORD origin, ULONGLONG current, ULONGLONG size, ULONGLONG limit,
                   ULONGLONG* target) {
  LONGLONG base = 0;
  switch (origin) {
    case STREAM_SEEK_SET: base = 0; break;
    case STREAM_SEEK_CUR: base = static_cast<LONGLONG>(current); break;
    case STREAM_SEEK_END: base = static_cast<LONGLONG>(size); break;
    default: return STG_E_INVALIDFUNCTION;
  }
  if (move.QuadPart < 0 && base + move.QuadPart < 0) return STG_E_INVALIDFUNCTION;
  const ULONGLONG result = static_cast<ULONGLONG>(base) + static_cast<ULONGLONG>(move.QuadPart);
  if (move.QuadPart > 0 && result > limit) return STG_E_INVALIDFUNCTION;
  *target = result;
  return S_OK;
}

}  // namespace qorv::platform
