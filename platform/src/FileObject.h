// A disk file behind a HANDLE. Reads and writes are synchronous; with an
// OVERLAPPED they use its offset and complete before returning, as Windows
// does for file I/O it can finish at once.
#pragma once

#include <mutex>

#include "FileDescriptor.h"
#include "FileShare.h"
#include "KernelObject.h"

namespace qorv::platform {

class FileObject : public IoObject {
 public:
  FileObject(FileDescriptor fd, DWORD access, ShareReservation share);

  BOOL Read(void* buffer, DWORD count, DWORD* done, OVERLAPPED* overlapped) override;
  BOOL Write(const void* buffer, DWORD count, DWORD* done, OVERLAPPED* overlapped) override;
  BOOL Flush() override;
  void OnHandleClosed() override;

  // GetFileSize, SetFilePointer and SetEndOfFile; each sets the last error.
  DWORD Size(LPDWORD high);
  DWORD SetPointer(LONG distance, LONG* distanceHigh, DWORD method);
  BOOL SetEnd();

 private:
  bool CanRead() const;
  bool CanWrite() const;

  // Guards the descriptor and the file position: Windows keeps one position
  // per handle, and a read-then-advance must not interleave with another.
  std::mutex lock_;
  FileDescriptor fd_;
  DWORD access_;
  ShareReservation share_;
};

}  // namespace qorv::platform
