// The trace: the latest bytes sent and received, kept in a ring of entries
// and written as text on demand.
#include <cstring>

#include "SioDispatch.h"
#include "SioDispatchLock.h"
#include "SioDispatchText.h"
#include "SioErrors.h"

namespace {

constexpr DWORD TraceLineWidth = 78;

std::string TraceHeader(char type) {
  if (type == 'T') return "Transmit: ";
  if (type == 'R') return "Receive: ";
  return std::string("Special-") + type + ": ";
}

}  // namespace

int TSioBaseDispatcher::StartTraceBuffer(DWORD capacity) {
  TSioLock lock(StateLock);
  if (TraceBuffer != nullptr) {
    TraceNext = 0;
    TraceWrapped = false;
  } else {
    if (capacity > MaxTraceCapacity) return ecBadArgument;
    TraceCapacity = capacity;
    TraceNext = 0;
    TraceWrapped = false;
    if (capacity != 0) TraceBuffer = std::make_unique<BYTE[]>(2 * static_cast<size_t>(capacity));
  }
  TraceActive = true;
  return 0;
}

int TSioBaseDispatcher::ResetTraceBuffer() {
  TSioLock lock(StateLock);
  TraceNext = 0;
  TraceWrapped = false;
  return 0;
}

void TSioBaseDispatcher::FreeTraceBuffer() {
  TSioLock lock(StateLock);
  TraceActive = false;
  TraceBuffer.reset();
}

void TSioBaseDispatcher::EnableTraceEntries() {
  TSioLock lock(StateLock);
  if (TraceBuffer != nullptr) TraceActive = true;
}

void TSioBaseDispatcher::DisableTraceEntries() { TraceActive = false; }

void TSioBaseDispatcher::AddTraceEntry(char type, BYTE value) {
  TSioLock lock(StateLock);
  if (TraceBuffer == nullptr || TraceCapacity == 0) return;
  TraceBuffer[2 * static_cast<size_t>(TraceNext)] = static_cast<BYTE>(type);
  TraceBuffer[2 * static_cast<size_t>(TraceNext) + 1] = value;
  if (++TraceNext == TraceCapacity) {
    TraceNext = 0;
    TraceWrapped = true;
  }
}

int TSioBaseDispatcher::WriteTraceFile(const std::string& fileName, bool append, bool inHex, bool allHex) {
  {
    TSioLock lock(StateLock);
    if (TraceBuffer == nullptr) return 0;
  }
  TraceActive = false;
  // Held throughout, so entries offered meanwhile wait and then find no buffer.
  TSioLock lock(StateLock);
  if (TraceBuffer == nullptr) return 0;
  if (!TraceWrapped && TraceNext == 0) {
    FreeTraceBuffer();
    return 0;
  }
  DWORD first = TraceWrapped ? TraceNext : 0;
  DWORD count = TraceWrapped ? TraceCapacity : TraceNext;

  TTextFile file;
  AssignTextFile(file, fileName);
  DWORD error = append && FileExistsPath(fileName.c_str()) ? file.Append() : file.Rewrite();
  if (error != 0) {
    FreeTraceBuffer();
    return -static_cast<int>(error);
  }

  std::string text;
  char previous = 0;
  DWORD column = 0;
  for (DWORD n = 0; n < count; ++n) {
    size_t slot = 2 * static_cast<size_t>((first + n) % TraceCapacity);
    char type = static_cast<char>(TraceBuffer[slot]);
    if (n == 0 || type != previous) {
      // Ends the data line and leaves one empty line before the next header.
      if (n != 0) text += "\r\n\r\n";
      column = 0;
      text += TraceHeader(type) + "\r\n";
      previous = type;
    }
    std::string item = RenderByteItem(TraceBuffer[slot + 1], inHex, allHex);
    column += static_cast<DWORD>(item.size());
    if (column > TraceLineWidth) {
      text += "\r\n";
      column = static_cast<DWORD>(item.size());
    }
    text += item;
    if (text.size() >= TTextFile::kBufferSize) {
      (void)file.Write(text);
      text.clear();
    }
  }
  (void)file.Write(text);
  error = file.Close();
  FreeTraceBuffer();
  return -static_cast<int>(error);
}
