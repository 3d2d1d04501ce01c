// Shell helpers for streams.
#pragma once

#include "objidl.h"

// A stream over a file, opened as grfMode says: STGM_READ, STGM_WRITE or
// STGM_READWRITE; the STGM_SHARE_* bits as the sharing of the open; with
// STGM_CREATE the file is created or emptied, without it it must exist.
// Results: HRESULT_FROM_WIN32 of the open's error (0x80070002 for a missing
// file, 0x80070003 for a missing folder, 0x80070020 for a sharing conflict);
// E_INVALIDARG for a null argument or STGM_TRANSACTED, STGM_CONVERT or
// STGM_DELETEONRELEASE, which such streams do not support. The stream
// refuses to write when opened for reading and to read when opened for
// writing (STG_E_ACCESSDENIED); Clone answers E_NOTIMPL; Stat names the file
// as it was given.
HRESULT WINAPI SHCreateStreamOnFileA(LPCSTR pszFile, DWORD grfMode, IStream** ppstm);
