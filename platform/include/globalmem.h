// Global memory blocks, the memory that clipboard data, memory streams and
// other OLE media are handed around in.
//
// A fixed block's handle is its address. A movable block's handle is an
// opaque value that GlobalLock turns into the block's current address; the
// block may move (GlobalReAlloc) only while it is not locked. Failures answer
// null (or 0) with the last error: ERROR_INVALID_HANDLE for a handle that is
// no block, ERROR_NOT_ENOUGH_MEMORY when memory runs out.
#pragma once

#include "wintypes.h"

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GMEM_MODIFY = 0x0080;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;

constexpr DWORD ERROR_NOT_LOCKED = 158;
constexpr DWORD ERROR_DISCARDED = 157;

// A block of dwBytes bytes, zeroed with GMEM_ZEROINIT. A movable block of 0
// bytes has a handle but no memory: GlobalLock answers null for it
// (ERROR_DISCARDED) until GlobalReAlloc gives it some.
HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
// A new size for a block. A movable block keeps its handle (its memory may
// move unless it is locked: a locked block that must move fails); a fixed
// block may get a new address only when GMEM_MOVEABLE is given. Bytes beyond
// the old size are zeroed with GMEM_ZEROINIT. GMEM_MODIFY is not supported
// (ERROR_INVALID_PARAMETER).
HGLOBAL WINAPI GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags);
// Null when the block was freed; the handle itself when it is no block.
HGLOBAL WINAPI GlobalFree(HGLOBAL hMem);
// The block's address, counting one lock on a movable block.
LPVOID WINAPI GlobalLock(HGLOBAL hMem);
// Counts one lock off; TRUE while locks remain. FALSE with NO_ERROR when the
// last lock went, with ERROR_NOT_LOCKED when there was none.
BOOL WINAPI GlobalUnlock(HGLOBAL hMem);
// The block's size in bytes; 0 with the last error for a handle that is no
// block (0 with NO_ERROR for an empty block).
SIZE_T WINAPI GlobalSize(HGLOBAL hMem);
