#include "SioMisc.h"

#include <cstdint>

#include "fileapi.h"
#include "synch.h"
#include "timing.h"
#include "winerror.h"
#include "winuser.h"

namespace {
// The run-time library's "file not open" number, which the error table names.
constexpr DWORD kErrorFileNotOpen = 103;
}  // namespace

DWORD CountsPerMsFromFrequency(LONGLONG frequency) {
  const auto f = static_cast<ULONGLONG>(frequency);
  const auto low = static_cast<DWORD>(f & 0xFFFFFFFFu);
  if ((f >> 32) != 0 || low == 0) return 0;
  return low / 1000 + (low % 1000 > 500 ? 1 : 0);
}

DWORD CountsPerMs() {
  // Fixed once; the thread-safe static makes concurrent first calls agree.
  static const DWORD value = [] {
    LARGE_INTEGER frequency{};
    frequency.QuadPart = 0;
    // The call's own result is not consulted: a failure leaves 0, which
    // selects timeGetTime.
    QueryPerformanceFrequency(&frequency);
    return CountsPerMsFromFrequency(frequency.QuadPart);
  }();
  return value;
}

DWORD MillisecondClock() {
  const DWORD counts = CountsPerMs();
  if (counts == 0) return timeGetTime();
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return static_cast<DWORD>(static_cast<ULONGLONG>(now.QuadPart) / counts);
}

bool TimerExpiredAt(const TickTimer& timer, DWORD nowTicks) {
  // Compared as signed values; the sum is taken in 64 bits so that an
  // injected tick count near the top of the range cannot overflow.
  const std::int64_t now = static_cast<LONG>(nowTicks);
  if (now > timer.ExpiryTick) return true;
  // The millisecond clock wrapped since the timer was set.
  if (now < timer.StartTick) return now + kTickWrapTicks > timer.ExpiryTick;
  return false;
}

bool TimerExpired(const TickTimer& timer) { return TimerExpiredAt(timer, MillisecondClock() / kMsPerTick); }

void PumpOneMessage() {
  MSG msg{};
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return;
  // The quit request belongs to the thread's own loop: put it back so that
  // loop still ends once the wait is over.
  if (msg.message == WM_QUIT) {
    PostQuitMessage(static_cast<int>(msg.wParam));
    return;
  }
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

TTextFile::~TTextFile() {
  if (IsOpen()) (void)Close();
}

void AssignTextFile(TTextFile& file, std::string fileName) {
  if (file.IsOpen()) (void)file.Close();
  file.name_ = std::move(fileName);
}

DWORD TTextFile::Rewrite() { return Open(CREATE_ALWAYS, false); }

DWORD TTextFile::Append() { return Open(OPEN_EXISTING, true); }

DWORD TTextFile::Open(DWORD disposition, bool atEnd) {
  if (IsOpen()) (void)Close();
  error_ = 0;
  buffer_.clear();
  HANDLE h =
      CreateFileA(name_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return GetLastError();
  if (atEnd) {
    SetLastError(0);
    if (SetFilePointer(h, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER && GetLastError() != 0) {
      DWORD error = GetLastError();
      CloseHandle(h);
      return error;
    }
  }
  handle_ = h;
  buffer_.reserve(kBufferSize);
  return 0;
}

DWORD TTextFile::Flush() {
  std::size_t done = 0;
  while (error_ == 0 && done < buffer_.size()) {
    DWORD written = 0;
    if (!WriteFile(handle_, buffer_.data() + done, static_cast<DWORD>(buffer_.size() - done), &written, nullptr))
      error_ = GetLastError();
    else if (written == 0)
      error_ = ERROR_DISK_FULL;  // a write that makes no progress would loop forever
    done += written;
  }
  buffer_.clear();
  return error_;
}

DWORD TTextFile::Write(std::string_view text) {
  if (!IsOpen()) return kErrorFileNotOpen;
  while (error_ == 0 && !text.empty()) {
    const std::size_t room = kBufferSize - buffer_.size();
    const std::size_t take = text.size() < room ? text.size() : room;
    buffer_.append(text.substr(0, take));
    text.remove_prefix(take);
    if (buffer_.size() == kBufferSize) Flush();
  }
  return error_;
}

DWORD TTextFile::Close() {
  if (!IsOpen()) return kErrorFileNotOpen;
  Flush();
  if (!CloseHandle(handle_) && error_ == 0) error_ = GetLastError();
  handle_ = nullptr;
  DWORD result = error_;
  error_ = 0;
  return result;
}

bool FileExistsPath(const char* fileName) {
  if (!fileName || !*fileName) return false;
  const DWORD attributes = GetFileAttributesA(fileName);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}
