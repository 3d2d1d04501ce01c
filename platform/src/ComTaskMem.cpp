// Task memory: the C heap, so that memory may be freed on any thread and by
// either side of an interface.
#include <cstdlib>

#include "objbase.h"

LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb) {
  // malloc(0) may answer null, which callers would take for out of memory.
  return std::malloc(cb ? cb : 1);
}

LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
  if (!pv) return CoTaskMemAlloc(cb);
  if (cb == 0) {
    std::free(pv);
    return nullptr;
  }
  // A failed realloc keeps the old block, which the caller still owns.
  return std::realloc(pv, cb);
}

void WINAPI CoTaskMemFree(LPVOID pv) { std::free(pv); }
