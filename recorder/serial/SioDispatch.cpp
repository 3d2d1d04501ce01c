// Dispatcher life cycle: the process-wide port list, open and close.
#include "SioDispatch.h"

#include "SioDispatchLock.h"
#include "SioErrors.h"

std::vector<TSioBaseDispatcher*> PortList;
CRITICAL_SECTION PortListLock;

namespace {

// The list lock lives as long as the library: made before any dispatcher can
// exist and deleted after the last static destructor that could use it.
struct TPortListLockLifetime {
  TPortListLockLifetime() { InitializeCriticalSection(&PortListLock); }
  ~TPortListLockLifetime() { DeleteCriticalSection(&PortListLock); }
} portListLockLifetime;

constexpr DWORD InitialAppliedBaud = 115200;

}  // namespace

TSioBaseDispatcher::TSioBaseDispatcher(TSioCustomComPort* owner) : Owner(owner), MainThreadId(GetCurrentThreadId()) {
  InitializeCriticalSection(&StateLock);
  InitializeCriticalSection(&OutputLock);
  InitializeCriticalSection(&InputLock);
  RegisterInPortList();
}

TSioBaseDispatcher::~TSioBaseDispatcher() {
  RemoveFromPortList();
  CloseWorkerEvents();
  TimerTriggerList.clear();
  DataTriggerList.clear();
  StatusTriggerList.clear();
  WindowHandlers.clear();
  ProcedureHandlers.clear();
  EventHandlers.clear();
  DeleteCriticalSection(&StateLock);
  DeleteCriticalSection(&OutputLock);
  DeleteCriticalSection(&InputLock);
}

void TSioBaseDispatcher::CloseBeforeDestroy() {
  if (ClosePending) {
    StopAndFreeRings();
  } else {
    CloseDevice();
  }
}

void TSioBaseDispatcher::RegisterInPortList() {
  TSioLock lock(PortListLock);
  for (size_t i = 0; i < PortList.size(); ++i) {
    if (PortList[i] == nullptr) {
      PortList[i] = this;
      DispatcherHandle = static_cast<int>(i);
      return;
    }
  }
  PortList.push_back(this);
  DispatcherHandle = static_cast<int>(PortList.size() - 1);
}

void TSioBaseDispatcher::RemoveFromPortList() {
  TSioLock lock(PortListLock);
  if (DispatcherHandle >= 0 && static_cast<size_t>(DispatcherHandle) < PortList.size() &&
      PortList[DispatcherHandle] == this) {
    PortList[DispatcherHandle] = nullptr;
  }
  while (!PortList.empty() && PortList.back() == nullptr) PortList.pop_back();
}

bool TSioBaseDispatcher::CreateWorkerEvents() {
  struct TNewEvent {
    HANDLE* event;
    BOOL manualReset;
  };
  const TNewEvent events[] = {{&EventReady, FALSE},   {&ServiceDone, FALSE}, {&WorkerAck, FALSE},
                              {&OutputQueued, FALSE}, {&WriteDone, TRUE},    {&FlushRequest, FALSE}};
  for (const TNewEvent& wanted : events) {
    if (*wanted.event != nullptr) continue;
    *wanted.event = CreateEventA(nullptr, wanted.manualReset, FALSE, nullptr);
    if (*wanted.event == nullptr) return false;
  }
  return true;
}

void TSioBaseDispatcher::CloseWorkerEvents() {
  for (HANDLE* event : {&EventReady, &ServiceDone, &WorkerAck, &OutputQueued, &WriteDone, &FlushRequest}) {
    if (*event != nullptr) CloseHandle(*event);
    *event = nullptr;
  }
}

int TSioBaseDispatcher::OpenDevice(const char* name, DWORD baud, int parity, int dataBits, int stopBits,
                                   DWORD inputSize, DWORD outputSize, DWORD flags) {
  RingSeen = false;
  InputRing.reset();
  OutputRing.reset();
  HandlersRunning = false;
  HandlerListDirty = false;
  if (!CreateWorkerEvents()) return FailOpen(ecDispatcherOutOfMemory);

  LONG_PTR handle = OpenDeviceHandle(name, inputSize, outputSize);
  if (handle < 0) {
    return FailOpen(handle == ecDispatcherOutOfMemory ? ecDispatcherOutOfMemory : -static_cast<int>(GetLastError()));
  }
  DeviceHandle = reinterpret_cast<HANDLE>(handle);

  int result = ApplyQueueSizes(inputSize, outputSize);
  if (result != 0) return FailOpen(result);

  {
    TSioLock inputLock(InputLock);
    InputRing = std::make_unique<BYTE[]>(InputRingSize);
    ResetInputPositions();
    ReadAheadCount = 0;
    ReadAheadActive = false;
  }
  {
    TSioLock outputLock(OutputLock);
    OutputRing = std::make_unique<BYTE[]>(outputSize);
    OutHead = 0;
    OutTail = 0;
    OutputFull = false;
    InQueueSize = inputSize;
    OutQueueSize = outputSize;
    ErrorFlags = 0;
    OutputWritten = false;
  }
  ClosePending = false;
  Rs485Active = false;
  UartBase = 0;

  {
    TSioLock stateLock(StateLock);
    ReadLineState(LineState);
  }
  DtrHandshake = (flags & OpenFlagDtrHandshake) != 0;
  if (!DtrHandshake) DriveDtr((flags & OpenFlagDtrOn) != 0);
  RtsHandshake = (flags & OpenFlagRtsHandshake) != 0;
  if (!RtsHandshake) DriveRts((flags & OpenFlagRtsOn) != 0);

  AvailNotifiedAt = NoRingPosition;
  {
    TSioLock inputLock(InputLock);
    ScanPosition = 0;
    ScanBacklog = 0;
  }
  DropAllTriggers();
  ClearStatusHits();
  {
    TSioLock stateLock(StateLock);
    ModemLines = 0;
  }
  ReadModemLines(0xF0);

  AppliedBaud = InitialAppliedBaud;
  result = ChangeLineSettings(baud, parity, dataBits, stopBits);
  if (result != 0) return FailOpen(result);

  PollDeviceErrors();
  {
    TSioLock stateLock(StateLock);
    TraceActive = false;
    TraceBuffer.reset();
    TraceNext = 0;
    TraceCapacity = 0;
    TraceWrapped = false;
    LogActive = false;
    LogBuffer.reset();
    LogScratch.clear();
    LogHead = 0;
    LogTail = 0;
    LogFree = 0;
    LogCapacity = 0;
    OpenTime = MillisecondClock();
  }
  StartWorkers();
  return 0;
}

int TSioBaseDispatcher::FailOpen(int code) {
  CloseDevice();
  // The workers never started, so nothing else will close their events.
  if (!WorkersRunning) CloseWorkerEvents();
  return code;
}

void TSioBaseDispatcher::CloseDevice() {
  if (DeviceHandle != INVALID_HANDLE_VALUE && DeviceHandle != nullptr) {
    DiscardOutput();
    DiscardInput();
    CloseDeviceHandle();
  }
  if (HandlersRunning) {
    ClosePending = true;
    return;
  }
  StopAndFreeRings();
}

void TSioBaseDispatcher::StopAndFreeRings() {
  if (WorkersRunning) StopWorkers();
  // Readers on other threads may still ask; they find no ring, not freed memory.
  {
    TSioLock outputLock(OutputLock);
    OutputRing.reset();
  }
  TSioLock inputLock(InputLock);
  InputRing.reset();
  ResetInputPositions();
  ScanBacklog = 0;
}

void TSioBaseDispatcher::SetPriorityBoost(BYTE boost) {
  if (boost == PriorityBoost) return;
  PriorityBoost = boost;
  if (TSioDispatcherThread* worker = ComWorker) SetWorkerPriority(worker, WorkerPriorityNormal + boost);
  if (TSioDispatcherThread* worker = DispWorker) SetWorkerPriority(worker, WorkerPriorityNormal + boost);
  if (TSioDispatcherThread* worker = OutWorker) {
    SetWorkerPriority(worker, WorkerPriorityNormal + boost + (Rs485Active ? 1 : 0));
  }
}

DWORD TSioBaseDispatcher::ReadModemStatus() {
  DWORD status = 0;
  if (!GetCommModemStatus(DeviceHandle, &status)) return 0;
  return status;
}

void TSioBaseDispatcher::CallSynchronized(const TTriggerMethod& method, UINT msg, WPARAM wParam, LPARAM lParam) {
  method.Code(method.Object, msg, wParam, lParam);
}

void TSioBaseDispatcher::SetWorkerPriority(TSioDispatcherThread*, int) {}

void TSioBaseDispatcher::PostWhenWorkersEnded(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  PostMessageA(window, msg, wParam, lParam);
}
