// The dispatch log: a byte ring of whole entries (16-byte header, then the
// entry's data bytes), the oldest giving way, written as a report on demand.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "SioDispatch.h"
#include "SioDispatchLock.h"
#include "SioDispatchText.h"
#include "SioErrors.h"
#include "sysinfo.h"

namespace {

constexpr size_t HeaderSize = sizeof(TLogEntryHeader);
constexpr DWORD DataColumnStart = 45;
constexpr DWORD LogLineWidth = 78;
constexpr const char* ContinuationIndent = "                                            ";  // 44 blanks

constexpr LONG TextEventNames = 15001;
constexpr LONG TextSubEventNames = 15100;
constexpr LONG TextHeading = 15501;
constexpr LONG TextRule = 15502;
constexpr LONG TextModemBits = 15601;
constexpr LONG TextTelnetOptions = 15700;
constexpr DWORD LastTelnetOption = 42;

std::string CompilerText() {
#if defined(__clang__)
  return std::string("Clang ") + __clang_version__;
#elif defined(__GNUC__)
  return std::string("GNU C++ ") + __VERSION__;
#else
  return "C++";
#endif
}

std::string OperatingSystemText() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info)) return "Unknown";
  std::string text;
  switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32s: text = "Win32s on Windows "; break;
    case VER_PLATFORM_WIN32_WINDOWS: text = "Win32 on Windows "; break;
    case VER_PLATFORM_WIN32_NT: text = "Windows NT "; break;
    default: text = "Unknown"; break;
  }
  text += std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + " " +
          std::string(info.szCSDVersion, strnlen(info.szCSDVersion, sizeof info.szCSDVersion));
  return text.substr(0, 80);
}

// Milliseconds as seconds with three or more decimals: 5 is 0000.005.
std::string TimeText(DWORD time) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%07u", static_cast<unsigned>(time));
  std::string text = digits;
  text.insert(4, ".");
  return text;
}

std::string EntryPrefix(const TLogEntryHeader& header) {
  std::string subEvent = header.SubEvent == 0 ? std::string() : ErrorText(TextSubEventNames + header.SubEvent);
  char prefix[128];
  std::snprintf(prefix, sizeof prefix, "%8s  %-8s  %-12s  %08X  ", TimeText(header.Time).c_str(),
                ErrorText(TextEventNames + header.Event).c_str(), subEvent.c_str(), static_cast<unsigned>(header.Data));
  return prefix;
}

std::string StatusKindText(BYTE kind) {
  switch (kind) {
    case 0: return "(Not active)";
    case 1: return "(Modem status)";
    case 2: return "(Line status)";
    case 3: return "(Output buffer free)";
    case 4: return "(Output buffer used)";
    case 5: return "(Output sent)";
    default: return "";
  }
}

std::string ModemBitsText(DWORD data) {
  std::string names;
  for (int bit = 0; bit < 8; ++bit) {
    if (data & (1u << bit)) names += ErrorText(TextModemBits + bit);
  }
  if (!names.empty() && names.back() == ' ') names.pop_back();
  return "(" + names + ")";
}

std::string DataItems(const TLogEntryHeader& header, const std::vector<BYTE>& data, bool inHex, bool allHex) {
  std::string text;
  DWORD column = DataColumnStart;
  for (DWORD i = 0; i < header.Count; ++i) {
    bool raw = allHex && header.Event == 19;
    std::string item = raw ? std::string(1, static_cast<char>(data[i])) : RenderByteItem(data[i], inHex, allHex);
    column += static_cast<DWORD>(item.size());
    if (column > LogLineWidth) {
      text += "\r\n";
      text += ContinuationIndent;
      column = static_cast<DWORD>(item.size()) + DataColumnStart;
    }
    text += item;
  }
  return text;
}

std::string EntryLine(const TLogEntryHeader& header, const std::vector<BYTE>& data, bool inHex, bool allHex) {
  std::string line = EntryPrefix(header);
  if (header.Count == 0) {
    if (header.Event == 10) {
      line += "[";
      if (header.Data <= LastTelnetOption) line += ErrorText(TextTelnetOptions + static_cast<LONG>(header.Data));
      line += "]";
    }
  } else if (header.SubEvent == 15 && (header.Event == 5 || header.Event == 6)) {
    line += StatusKindText(data[0]);
  } else {
    line += DataItems(header, data, inHex, allHex);
    if (header.SubEvent == 4) line += ModemBitsText(header.Data);
  }
  return line + "\r\n";
}

}  // namespace

void TSioBaseDispatcher::StartLogBuffer(DWORD capacity) {
  TSioLock lock(StateLock);
  if (LogBuffer != nullptr) {
    ResetLogBuffer();
    return;
  }
  LogBuffer = std::make_unique<BYTE[]>(capacity);
  LogScratch.assign(std::max(InQueueSize, OutQueueSize), 0);
  LogCapacity = capacity;
  LogHead = 0;
  LogTail = 0;
  LogFree = capacity;
  LogActive = true;
}

void TSioBaseDispatcher::ResetLogBuffer() {
  TSioLock lock(StateLock);
  LogHead = 0;
  LogTail = 0;
  LogFree = LogCapacity;
}

void TSioBaseDispatcher::FreeLogBuffer() {
  TSioLock lock(StateLock);
  LogActive = false;
  LogBuffer.reset();
  LogScratch.clear();
  LogScratch.shrink_to_fit();
}

void TSioBaseDispatcher::EnableLogEntries() {
  TSioLock lock(StateLock);
  if (LogBuffer != nullptr) LogActive = true;
}

void TSioBaseDispatcher::DisableLogEntries() { LogActive = false; }

void TSioBaseDispatcher::AddLogEntry(BYTE event, BYTE subEvent, DWORD data, const void* dataBytes, DWORD count) {
  TSioLock lock(StateLock);
  if (LogBuffer == nullptr) return;
  if (dataBytes == nullptr) count = 0;
  // An entry is stored whole or not at all: a header whose data could not
  // follow would make every later entry unreadable. Each piece must be shorter
  // than the ring, and the data must not need the room of its own header; an
  // entry that fills the ring exactly is kept, the older ones giving way.
  bool fits = HeaderSize < LogCapacity && (count == 0 || static_cast<ULONGLONG>(HeaderSize) + count <= LogCapacity);
  if (!fits) return;
  TLogEntryHeader header{};
  header.Event = event;
  header.SubEvent = subEvent;
  header.Time = MillisecondClock() - OpenTime;
  header.Data = data;
  header.Count = count;
  if (PutLogBytes(&header, HeaderSize) && count != 0) PutLogBytes(dataBytes, count);
}

bool TSioBaseDispatcher::PutLogBytes(const void* bytes, DWORD length) {
  TSioLock lock(StateLock);
  if (LogBuffer == nullptr || length >= LogCapacity) return false;
  TLogEntryHeader dropped;
  while (length > LogFree) {
    if (TakeLogEntry(dropped, LogScratch, dropped.Count)) break;
  }
  const BYTE* source = static_cast<const BYTE*>(bytes);
  if (LogHead < LogTail || length <= LogCapacity - LogHead) {
    std::memcpy(&LogBuffer[LogHead], source, length);
    LogHead += length;
    if (LogHead == LogCapacity) LogHead = 0;
  } else {
    DWORD first = LogCapacity - LogHead;
    std::memcpy(&LogBuffer[LogHead], source, first);
    std::memcpy(&LogBuffer[0], source + first, length - first);
    LogHead = length - first;
  }
  LogFree -= length;
  return true;
}

void TSioBaseDispatcher::CopyLogPiece(BYTE* out, DWORD length, DWORD& position) {
  DWORD first = std::min(length, LogCapacity - position);
  std::memcpy(out, &LogBuffer[position], first);
  if (first == length) {
    position += length;
    return;
  }
  std::memcpy(out + first, &LogBuffer[0], length - first);
  position = length - first;
}

bool TSioBaseDispatcher::TakeLogEntry(TLogEntryHeader& header, std::vector<BYTE>& scratch, DWORD& count) {
  TSioLock lock(StateLock);
  if (LogBuffer == nullptr || LogFree == LogCapacity) return true;
  TLogEntryHeader taken;
  CopyLogPiece(reinterpret_cast<BYTE*>(&taken), HeaderSize, LogTail);
  LogFree += HeaderSize;
  if (taken.Count != 0) {
    // One read may bring a whole ring's worth, more than the queue sizes.
    if (scratch.size() < taken.Count) scratch.resize(taken.Count);
    CopyLogPiece(scratch.data(), taken.Count, LogTail);
    LogFree += taken.Count;
  }
  header = taken;
  count = taken.Count;
  return false;
}

int TSioBaseDispatcher::WriteLogFile(const std::string& fileName, bool append, bool inHex, bool allHex) {
  {
    TSioLock lock(StateLock);
    if (LogBuffer == nullptr || LogFree == LogCapacity) {
      FreeLogBuffer();
      return 0;
    }
  }
  LogActive = false;
  // Held throughout, so entries offered meanwhile wait and then find no ring.
  TSioLock lock(StateLock);
  if (LogBuffer == nullptr) return 0;

  TTextFile file;
  AssignTextFile(file, fileName);
  DWORD error = append && FileExistsPath(fileName.c_str()) ? file.Append() : file.Rewrite();
  if (error != 0) return -static_cast<int>(error);

  std::string text = "SIO v1.00\r\n";
  text += "Compiler : " + CompilerText() + "\r\n";
  text += "Operating System : " + OperatingSystemText() + "\r\n";
  text += "Device: " + DeviceName + "\r\n";
  text += ErrorText(TextHeading) + "\r\n";
  text += ErrorText(TextRule) + "\r\n";
  (void)file.Write(text);

  TLogEntryHeader header;
  DWORD count = 0;
  while (!TakeLogEntry(header, LogScratch, count)) {
    (void)file.Write(EntryLine(header, LogScratch, inHex, allHex));
  }
  error = file.Close();
  FreeLogBuffer();
  return -static_cast<int>(error);
}
