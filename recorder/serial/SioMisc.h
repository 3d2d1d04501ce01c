// Small helpers the serial engine shares: the millisecond clock and 55 ms
// timers, the one-message pump, bit and pointer helpers, a buffered 8-bit text
// file, and the base component class.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "Classes.h"
#include "wintypes.h"

// Performance-counter counts per millisecond for a counter frequency: 0 when
// the frequency is 0 or does not fit 32 bits; otherwise frequency div 1000,
// rounded up when the remainder exceeds 500.
DWORD CountsPerMsFromFrequency(LONGLONG frequency);
// The process's value, fixed on first use from QueryPerformanceFrequency; 0
// means the millisecond clock uses timeGetTime. Safe from any thread.
DWORD CountsPerMs();
// Milliseconds from an arbitrary origin, wrapping at 2^32. Any thread.
DWORD MillisecondClock();

constexpr DWORD kMsPerTick = 55;
// 2^31 ms in 55 ms ticks, the amount a wrapped tick count is corrected by.
constexpr LONG kTickWrapTicks = 39045157;

// A timer in 55 ms ticks of MillisecondClock.
struct TickTimer {
  LONG StartTick;
  LONG ExpiryTick;
};
// Expired when the tick count is past ExpiryTick, or when it has wrapped
// below StartTick and now + kTickWrapTicks is past ExpiryTick. A timer whose
// expiry tick equals now has not expired.
bool TimerExpiredAt(const TickTimer& timer, DWORD nowTicks);
bool TimerExpired(const TickTimer& timer);

// Serves one waiting message of the calling thread's queue, if any; a WM_QUIT
// taken out is posted again so the thread's own loop still ends.
void PumpOneMessage();

constexpr bool FlagIsSet(DWORD value, DWORD mask) { return (value & mask) != 0; }

inline void* OffsetPointer(void* p, std::ptrdiff_t offset) { return static_cast<BYTE*>(p) + offset; }
inline const void* OffsetPointer(const void* p, std::ptrdiff_t offset) { return static_cast<const BYTE*>(p) + offset; }

// An 8-bit text file written through a 512-byte buffer. Names are Windows
// paths (CreateFileA, through the drive map). Callers write their own CR LF.
// Every operation returns 0 or a Windows error number; the first error of a
// write sticks and is also returned by Close, so a failed write is never lost.
class TTextFile {
 public:
  static constexpr std::size_t kBufferSize = 512;

  TTextFile() = default;
  TTextFile(const TTextFile&) = delete;
  TTextFile& operator=(const TTextFile&) = delete;
  ~TTextFile();  // closes an open file, dropping its error

  const std::string& FileName() const { return name_; }
  bool IsOpen() const { return handle_ != nullptr; }

  // Create the file, or truncate it when it exists.
  [[nodiscard]] DWORD Rewrite();
  // Open an existing file for writing at its end (ERROR_FILE_NOT_FOUND when
  // it does not exist).
  [[nodiscard]] DWORD Append();
  [[nodiscard]] DWORD Write(std::string_view text);
  // Writes what is buffered and closes; the first error since the open.
  [[nodiscard]] DWORD Close();

 private:
  friend void AssignTextFile(TTextFile& file, std::string fileName);
  DWORD Open(DWORD disposition, bool atEnd);
  DWORD Flush();

  std::string name_;
  HANDLE handle_ = nullptr;
  DWORD error_ = 0;
  std::string buffer_;
};

// Binds the file to a name without opening it (closes it first if open).
void AssignTextFile(TTextFile& file, std::string fileName);
// The file exists (through the drive map); false for a null name.
bool FileExistsPath(const char* fileName);

// Base of the engine's components: publishes Version, which always reads
// "v1.00"; writes are accepted and ignored, and it is never stored.
class TSioBaseComponent : public TComponent {
 public:
  using TComponent::TComponent;
  std::string Version() const { return "v1.00"; }
  void SetVersion(const std::string&) {}
};
