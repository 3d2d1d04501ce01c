// A dispatcher whose device lives in memory, so tests drive the rings,
// line settings and triggers without threads or a driver.
#pragma once

#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "SioDispatch.h"
#include "SioDispatchLock.h"
#include "TestSupport.h"
#include "systemroot.h"

class TTestDispatcher : public TSioBaseDispatcher {
 public:
  explicit TTestDispatcher(TSioCustomComPort* owner = nullptr) : TSioBaseDispatcher(owner) {
    Line.BaudRate = 9600;
    Line.ByteSize = 8;
    Line.Parity = NOPARITY;
    Line.StopBits = ONESTOPBIT;
  }
  ~TTestDispatcher() override { CloseBeforeDestroy(); }

  // Opens at 115200 8N1 with the given output ring size.
  int Open(DWORD outSize = 64, DWORD inSize = 1000, DWORD flags = 0) {
    return OpenDevice("\\\\.\\COM1", 115200, NOPARITY, 8, 1, inSize, outSize, flags);
  }

  // Bytes the device has received and not yet handed out.
  void Receive(const std::string& bytes) {
    std::lock_guard<std::mutex> lock(deviceMutex);
    pending.insert(pending.end(), bytes.begin(), bytes.end());
  }
  // Moves the bytes through the driver into the input ring.
  void ReceiveIntoRing(const std::string& bytes) {
    Receive(bytes);
    for (int pass = 0; pass < 4 && PendingCount() != 0; ++pass) FillInputRing();
  }
  size_t PendingCount() {
    std::lock_guard<std::mutex> lock(deviceMutex);
    return pending.size();
  }
  // What the output worker would do: take n bytes off the output ring.
  void Send(DWORD n) {
    TSioLock lock(OutputLock);
    OutTail = (OutTail + n) % OutQueueSize;
    OutputFull = false;
  }
  // Places the input ring's indexes, as if that many bytes had passed before.
  void PositionInputRing(DWORD index) {
    TSioLock lock(InputLock);
    InHead = InTail = index;
    InputFull = false;
    ScanPosition = index;
  }

  // ---- device operations ----
  int EscapeFunction(DWORD code) override {
    Escapes.push_back(code);
    return EscapeResult;
  }
  int FlushSide(bool input) override {
    if (input) {
      std::lock_guard<std::mutex> lock(deviceMutex);
      pending.clear();
    } else {
      TSioLock lock(OutputLock);
      OutHead = OutTail = 0;
      OutputFull = false;
    }
    return 0;
  }
  DWORD RefreshStatus(COMSTAT& status) override {
    {
      std::lock_guard<std::mutex> lock(deviceMutex);
      status.cbInQue = static_cast<DWORD>(pending.size());
    }
    TSioLock lock(OutputLock);
    status.cbOutQue =
        OutputFull ? OutQueueSize : (OutHead >= OutTail ? OutHead - OutTail : OutQueueSize - OutTail + OutHead);
    return DeviceErrors.exchange(0);
  }
  void ReadFailed(int code) override { ReadFailures.push_back(code); }
  int ReadLineState(DCB& record) override {
    record = Line;
    return 0;
  }
  int ReadDevice(void* buffer, DWORD count) override {
    std::lock_guard<std::mutex> lock(deviceMutex);
    DWORD n = std::min<DWORD>(count, static_cast<DWORD>(pending.size()));
    for (DWORD i = 0; i < n; ++i) {
      static_cast<BYTE*>(buffer)[i] = pending.front();
      pending.pop_front();
    }
    ReadSizes.push_back(count);
    return static_cast<int>(n);
  }
  int WriteLineState(DCB& record) override {
    ++LineWrites;
    if (WriteLineResult == 0) Line = record;
    return WriteLineResult;
  }
  int QueueOutput(const void* bytes, DWORD count) override {
    if (QueueOutputResult <= 0) return QueueOutputResult;
    TSioLock lock(OutputLock);
    for (DWORD i = 0; i < count; ++i) {
      OutputRing[OutHead] = static_cast<const BYTE*>(bytes)[i];
      OutHead = (OutHead + 1) % OutQueueSize;
    }
    Sent.append(static_cast<const char*>(bytes), count);
    return static_cast<int>(count);
  }
  bool WaitDeviceEvent(DWORD&, OVERLAPPED*) override { return false; }
  bool SetQueueSizes(DWORD, DWORD) override {
    if (QueueSizesError == 0) return true;
    SetLastError(QueueSizesError);
    return false;
  }
  void StartWorkers() override { WorkersRunning = true; }
  void StopWorkers() override { WorkersRunning = false; }
  LONG_PTR OpenDeviceHandle(const char*, DWORD, DWORD) override {
    if (OpenError != 0) {
      SetLastError(OpenError);
      return -1;
    }
    DeviceHandle = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(0x4242));
    return 0x4242;
  }
  int CloseDeviceHandle() override {
    DeviceHandle = INVALID_HANDLE_VALUE;
    return 0;
  }
  int YieldSlice() override { return 0; }
  DWORD ReadModemStatus() override { return ModemStatus; }
  void SetWorkerPriority(TSioDispatcherThread* worker, int level) override { Priorities.emplace_back(worker, level); }

  // ---- scripted device ----
  DCB Line{};
  DWORD ModemStatus = 0;
  std::atomic<DWORD> DeviceErrors = 0;
  int EscapeResult = 0;
  int WriteLineResult = 0;
  int QueueOutputResult = 1;
  DWORD OpenError = 0;
  DWORD QueueSizesError = 0;
  int LineWrites = 0;
  std::vector<DWORD> Escapes;
  std::vector<int> ReadFailures;
  std::vector<DWORD> ReadSizes;
  std::vector<std::pair<TSioDispatcherThread*, int>> Priorities;
  std::string Sent;

 private:
  std::mutex deviceMutex;
  std::deque<BYTE> pending;
};

// The bytes of a file named by its Windows path, or "<no file>".
inline std::string FileText(const std::string& windowsPath) {
  auto path = qorv::platform::WindowsToLinuxPath(windowsPath);
  if (!path || !std::filesystem::exists(*path)) return "<no file>";
  auto bytes = qorv::test::ReadFileBytes(*path);
  return std::string(bytes.begin(), bytes.end());
}

// An expected trace or log file, kept beside the tests.
inline std::string Expected(const std::string& name) {
  auto bytes = qorv::test::ReadFileBytes(qorv::test::TestDataDir() / "serial" / "data" / name);
  return std::string(bytes.begin(), bytes.end());
}
