// Device operations of the Win32 layer, worker start and stop, and the
// synchronized call. The worker bodies are in SioWin32Workers.cpp.
#include "SioWin32.h"

#include <algorithm>
#include <utility>

#include "SioDispatchLock.h"
#include "SioErrors.h"
#include "SioPort.h"
#include "SysUtils.h"
#include "windows.h"

namespace {

constexpr DWORD kWorkerStartTimeoutMs = 3000;
// The open's code when the read-completion event cannot be made.
constexpr LONG_PTR kOpenOutOfMemory = -8;
constexpr UINT kSyncCallMessage = 0x7E0B;
constexpr UINT kWorkerFailureMessage = 0x7E0C;
constexpr const char* kSyncWindowClass = "sioSyncWindow";

// A worker's failure goes the way a window handler's does: through the host's
// display when it set one, else through the application's.
void ShowWorkerFailure(const std::exception_ptr& failure) {
  try {
    try {
      std::rethrow_exception(failure);
    } catch (const std::exception& error) {
      ShowSioException(error);
    } catch (...) {
      ShowSioException(Exception("Unknown failure in a serial port worker"));
    }
  } catch (...) {
    // The display failed too; nothing may unwind through a window procedure.
  }
}

LRESULT CALLBACK SyncWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kSyncCallMessage: reinterpret_cast<TSioDispatcherThread*>(lParam)->RunSyncStub(); return 0;
    case kWorkerFailureMessage: ShowWorkerFailure(*reinterpret_cast<const std::exception_ptr*>(lParam)); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

HWND CreateSyncWindow() {
  static std::once_flag registered;
  std::call_once(registered, [] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = SyncWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kSyncWindowClass;
    RegisterClassA(&windowClass);
  });
  return CreateWindowExA(0, kSyncWindowClass, "", 0, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

// Serves every message waiting for the calling thread, including messages
// other threads send to its windows.
void ServeWaitingMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Keep the quit for the thread's own loop.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// TSioDispatcherThread

TSioDispatcherThread::TSioDispatcherThread(TSioWin32Dispatcher& dispatcher, TWorkerKind kind)
    : Dispatcher(dispatcher), Kind_(kind) {}

TSioDispatcherThread::~TSioDispatcherThread() {
  if (Thread != nullptr) CloseHandle(Thread);
}

bool TSioDispatcherThread::Start(TSioDispatcherThread* worker) {
  // Created suspended so the handle and id are stored before the body runs.
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, ThreadEntry, worker, CREATE_SUSPENDED, &id);
  if (thread == nullptr) {
    delete worker;
    return false;
  }
  worker->Thread = thread;
  worker->ThreadId_ = id;
  {
    TSioWin32Dispatcher& dispatcher = worker->Dispatcher;
    std::lock_guard guard(dispatcher.WorkerLifeLock);
    dispatcher.WorkerEnded[static_cast<int>(worker->Kind_)] = false;
    dispatcher.WorkerThreadIds[static_cast<int>(worker->Kind_)] = id;
    dispatcher.WorkerSlot(worker->Kind_) = worker;
    // Counted here, before its body runs: a worker launched earlier may end
    // at once (its first device wait refused), and counting from the body
    // would let it take the count to zero and mark the workers stopped while
    // this one still runs, so a close would free what this one uses.
    InterlockedIncrement(&dispatcher.RunningWorkers);
    dispatcher.WorkersRunning = true;
  }
  ResumeThread(thread);
  return true;
}

DWORD WINAPI TSioDispatcherThread::ThreadEntry(LPVOID parameter) {
  auto* worker = static_cast<TSioDispatcherThread*>(parameter);
  try {
    worker->Execute();
  } catch (...) {
    worker->ShowFailure(std::current_exception());
  }
  // Every worker counts itself out, so nobody waits for one that is gone.
  worker->Finish();
  delete worker;
  return 0;
}

void TSioDispatcherThread::Finish() { Dispatcher.WorkerExited(*this); }

void TSioDispatcherThread::ShowFailure(const std::exception_ptr& failure) {
  // The creating thread serves this while it waits for workers, so the wait
  // here cannot hold up a close.
  HWND window = Dispatcher.SyncWindow;
  if (window != nullptr) SendMessageA(window, kWorkerFailureMessage, 0, reinterpret_cast<LPARAM>(&failure));
}

void TSioDispatcherThread::SyncCall(UINT message, WPARAM wParam, const TTriggerMethod& handler, LPARAM lParam) {
  SyncMessage = message;
  SyncWParam = wParam;
  SyncLParam = lParam;
  SyncHandler = handler;
  SyncFailure = nullptr;
  HWND window = Dispatcher.SyncWindow;
  if (window == nullptr) {
    RunSyncStub();
  } else {
    SendMessageA(window, kSyncCallMessage, 0, reinterpret_cast<LPARAM>(this));
  }
  if (SyncFailure) std::rethrow_exception(std::exchange(SyncFailure, nullptr));
}

void TSioDispatcherThread::RunSyncStub() {
  if (SyncHandler.Code == nullptr) return;
  try {
    SyncHandler.Code(SyncHandler.Object, SyncMessage, SyncWParam, SyncLParam);
  } catch (...) {
    // Nothing may unwind through the window procedure: the failure goes back
    // to the worker, whose body it then leaves.
    SyncFailure = std::current_exception();
  }
}

// ---------------------------------------------------------------------------
// TSioWin32Dispatcher: construction and device operations

TSioWin32Dispatcher::TSioWin32Dispatcher(TSioCustomComPort* owner) : TSioBaseDispatcher(owner) {}

TSioWin32Dispatcher::~TSioWin32Dispatcher() {
  if (WorkersRunning && ClosePending) {
    // A deferred close still under way: let the dispatch worker finish it
    // before this thread frees what it uses.
    WaitForWorkersEnded();
  }
  CloseBeforeDestroy();
  StopWorkers();
  {
    // A worker may still be leaving WorkerExited; wait for it to let go.
    std::lock_guard guard(WorkerLifeLock);
  }
  if (ReadComplete != nullptr) CloseHandle(ReadComplete);
  if (DeviceHandle != INVALID_HANDLE_VALUE && DeviceHandle != nullptr) CloseHandle(DeviceHandle);
  DeviceHandle = INVALID_HANDLE_VALUE;
  for (HANDLE gone : WorkerGone) {
    if (gone != nullptr) CloseHandle(gone);
  }
  if (FlushAck != nullptr) CloseHandle(FlushAck);
  if (SyncWindow != nullptr) DestroyWindow(SyncWindow);
}

DWORD TSioWin32Dispatcher::InitialEventMask() const {
  constexpr DWORD kBaseMask = EV_RXCHAR | EV_CTS | EV_DSR | EV_RLSD | EV_BREAK | EV_ERR | EV_RING;
  return NtPlatform ? kBaseMask : kBaseMask | EV_RINGTE;
}

int TSioWin32Dispatcher::EscapeFunction(DWORD code) {
  EscapeCommFunction(DeviceHandle, code);
  return 0;
}

int TSioWin32Dispatcher::FlushSide(bool input) {
  if (input) {
    if (PurgeComm(DeviceHandle, PURGE_RXABORT | PURGE_RXCLEAR)) return 0;
    return -static_cast<int>(GetLastError());
  }
  if (OutWorker.load() != nullptr && FlushRequest != nullptr && FlushAck != nullptr) {
    ResetEvent(FlushAck);
    SetEvent(FlushRequest);
    // The output worker answers once no write of its own is in flight. It may
    // end instead (device gone, stop), so its end also ends this wait.
    const HANDLE answers[2] = {FlushAck, WorkerGone[static_cast<int>(TWorkerKind::Out)]};
    WaitForMultipleObjects(2, answers, FALSE, INFINITE);
  }
  BOOL purged;
  {
    TSioLock lock(OutputLock);
    OutputFull = false;
    OutHead = 0;
    OutTail = 0;
    purged = PurgeComm(DeviceHandle, PURGE_TXABORT | PURGE_TXCLEAR);
  }
  return purged ? 0 : -static_cast<int>(GetLastError());
}

DWORD TSioWin32Dispatcher::RefreshStatus(COMSTAT& status) {
  DWORD errors = 0;
  if (!ClearCommError(DeviceHandle, &errors, &status)) {
    // A device that is gone holds nothing; stale counts would make the
    // dispatch worker read again and again.
    status = COMSTAT{};
    errors = 0;
  }
  TSioLock lock(OutputLock);
  status.cbOutQue = OutputRingUsed();
  return errors;
}

void TSioWin32Dispatcher::ReadFailed(int) {}

int TSioWin32Dispatcher::ReadLineState(DCB& record) { return GetCommState(DeviceHandle, &record) ? 0 : -1; }

int TSioWin32Dispatcher::ReadDevice(void* buffer, DWORD count) {
  DWORD read = 0;
  if (ReadFile(DeviceHandle, buffer, count, &read, &ReadRecord)) return static_cast<int>(read);
  if (GetLastError() != ERROR_IO_PENDING) return 0;
  if (!GetOverlappedResult(DeviceHandle, &ReadRecord, &read, TRUE)) return 0;
  ResetEvent(ReadComplete);
  return static_cast<int>(read);
}

int TSioWin32Dispatcher::WriteLineState(DCB& record) {
  return SetCommState(DeviceHandle, &record) ? 0 : -static_cast<int>(GetLastError());
}

int TSioWin32Dispatcher::QueueOutput(const void* bytes, DWORD count) {
  {
    TSioLock lock(OutputLock);
    const auto* source = static_cast<const BYTE*>(bytes);
    DWORD room = OutQueueSize - OutHead;
    if (room >= count) {
      std::copy(source, source + count, OutputRing.get() + OutHead);
      OutHead = (room == count) ? 0 : OutHead + count;
    } else {
      std::copy(source, source + room, OutputRing.get() + OutHead);
      std::copy(source + room, source + count, OutputRing.get());
      OutHead = count - room;
    }
  }
  SetEvent(OutputQueued);
  return static_cast<int>(count);
}

bool TSioWin32Dispatcher::WaitDeviceEvent(DWORD& mask, OVERLAPPED* record) {
  return WaitCommEvent(DeviceHandle, &mask, record) != FALSE;
}

bool TSioWin32Dispatcher::SetQueueSizes(DWORD inputSize, DWORD outputSize) {
  return SetupComm(DeviceHandle, inputSize, outputSize) != FALSE;
}

LONG_PTR TSioWin32Dispatcher::OpenDeviceHandle(const char* name, DWORD, DWORD) {
  HANDLE device = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (device == INVALID_HANDLE_VALUE) return -1;
  DeviceHandle = device;
  ReadComplete = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (ReadComplete == nullptr) {
    CloseHandle(device);
    DeviceHandle = INVALID_HANDLE_VALUE;
    return kOpenOutOfMemory;
  }
  ReadRecord = OVERLAPPED{};
  ReadRecord.hEvent = ReadComplete;
  return reinterpret_cast<LONG_PTR>(device);
}

int TSioWin32Dispatcher::CloseDeviceHandle() {
  if (ReadComplete != nullptr) {
    CloseHandle(ReadComplete);
    ReadComplete = nullptr;
  }
  if (WorkersRunning) {
    SignalWorkersToStop();
    // Inside a trigger handler the dispatch worker waits for this thread, so
    // it cannot be waited for here: the last worker to end closes the device.
    bool canWait = !HandlersRunning && !IsWorkerThread();
    if (!canWait) {
      std::lock_guard guard(WorkerLifeLock);
      if (WorkersRunning) {
        DeviceCloseOwed = true;
        return 0;
      }
    } else {
      WaitForWorkersEnded();
      CloseOwnedWorkerEvents();
    }
  }
  if (!CloseHandle(DeviceHandle)) return -1;
  DeviceHandle = INVALID_HANDLE_VALUE;
  return 0;
}

int TSioWin32Dispatcher::YieldSlice() {
  Sleep(0);
  return 0;
}

void TSioWin32Dispatcher::CallSynchronized(const TTriggerMethod& method, UINT msg, WPARAM wParam, LPARAM lParam) {
  TSioDispatcherThread* worker = DispWorker;
  if (worker == nullptr || GetCurrentThreadId() != worker->ThreadId()) {
    TSioBaseDispatcher::CallSynchronized(method, msg, wParam, lParam);
    return;
  }
  worker->SyncCall(msg, wParam, method, lParam);
}

void TSioWin32Dispatcher::PostWhenWorkersEnded(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  {
    std::lock_guard guard(WorkerLifeLock);
    if (WorkersRunning) {
      EndNotice = TEndNotice{window, msg, wParam, lParam};
      return;
    }
  }
  PostMessageA(window, msg, wParam, lParam);
}

void TSioWin32Dispatcher::SetWorkerPriority(TSioDispatcherThread* worker, int level) {
  // Levels 0..6 with 3 normal, onto the platform's relative priorities.
  static constexpr int kPriorities[] = {
      THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
      THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_TIME_CRITICAL};
  int index = std::clamp(level, 0, 6);
  std::lock_guard guard(WorkerLifeLock);
  if (worker == nullptr || WorkerSlot(worker->Kind()).load() != worker) return;
  SetThreadPriority(worker->ThreadHandle(), kPriorities[index]);
}

// ---------------------------------------------------------------------------
// Worker start, stop and end

DWORD TSioWin32Dispatcher::OutputRingUsed() const {
  if (OutputFull) return OutQueueSize;
  if (OutHead >= OutTail) return OutHead - OutTail;
  return OutQueueSize - OutTail + OutHead;
}

std::atomic<TSioDispatcherThread*>& TSioWin32Dispatcher::WorkerSlot(TWorkerKind kind) {
  switch (kind) {
    case TWorkerKind::Com: return ComWorker;
    case TWorkerKind::Disp: return DispWorker;
    case TWorkerKind::Out: return OutWorker;
  }
  return OutWorker;
}

bool TSioWin32Dispatcher::WorkerDone(TWorkerKind kind) {
  std::lock_guard guard(WorkerLifeLock);
  return WorkerEnded[static_cast<int>(kind)];
}

bool TSioWin32Dispatcher::IsWorkerThread() const {
  DWORD self = GetCurrentThreadId();
  std::lock_guard guard(WorkerLifeLock);
  for (int i = 0; i < 3; ++i) {
    if (!WorkerEnded[i] && WorkerThreadIds[i] == self) return true;
  }
  return false;
}

void TSioWin32Dispatcher::StartWorkers() {
  TSioLock lock(StateLock);
  if (WorkersRunning) throw Exception("Dispatcher already started");
  {
    // No worker runs now, so none can be setting these.
    std::lock_guard guard(WorkerLifeLock);
    for (HANDLE& gone : WorkerGone) {
      if (gone == nullptr) {
        gone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
      } else {
        ResetEvent(gone);
      }
    }
  }
  if (FlushAck == nullptr) FlushAck = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (SyncWindow == nullptr) SyncWindow = CreateSyncWindow();
  WorkersRunning = true;
  WorkersStarted = true;
  StopRequested = false;
  // A dispatch worker that ended inside a pass left the mark set.
  PassUnderway = false;
  // A worker that cannot be created or does not answer in time is not
  // reported; the others still run.
  if (TSioDispatcherThread::Launch<TComThread>(*this)) WaitForSingleObject(WorkerAck, kWorkerStartTimeoutMs);
  if (TSioDispatcherThread::Launch<TDispThread>(*this)) WaitForSingleObject(WorkerAck, kWorkerStartTimeoutMs);
  if (TSioDispatcherThread::Launch<TOutThread>(*this)) WaitForSingleObject(WorkerAck, kWorkerStartTimeoutMs);
  std::lock_guard guard(WorkerLifeLock);
  if (WorkerEnded[0] && WorkerEnded[1] && WorkerEnded[2]) WorkersRunning = false;
}

void TSioWin32Dispatcher::SignalWorkersToStop() {
  StopRequested = true;
  // Ends a pending device-event wait; the event worker then sees the stop.
  SetCommMask(DeviceHandle, 0);
  if (ServiceDone != nullptr) SetEvent(ServiceDone);
  if (WorkerAck != nullptr) ResetEvent(WorkerAck);
  if (FlushRequest != nullptr) SetEvent(FlushRequest);
  if (EventReady != nullptr) SetEvent(EventReady);
}

void TSioWin32Dispatcher::WaitForWorker(TWorkerKind kind) {
  int index = static_cast<int>(kind);
  HANDLE gone = WorkerGone[index];
  if (gone == nullptr) return;
  {
    std::lock_guard guard(WorkerLifeLock);
    if (!WorkerEnded[index] && WorkerThreadIds[index] == GetCurrentThreadId()) return;
  }
  for (;;) {
    if (WorkerDone(kind)) return;
    // A worker may be delivering a message to this thread's window (a
    // trigger or a synchronized call) and wait for it; serve it.
    DWORD woke = MsgWaitForMultipleObjects(1, &gone, FALSE, INFINITE, QS_ALLINPUT);
    if (woke == WAIT_OBJECT_0 + 1) ServeWaitingMessages();
    if (woke == WAIT_FAILED) return;
  }
}

void TSioWin32Dispatcher::WaitForWorkersEnded() {
  WaitForWorker(TWorkerKind::Out);
  WaitForWorker(TWorkerKind::Com);
  WaitForWorker(TWorkerKind::Disp);
}

void TSioWin32Dispatcher::StopWorkers() {
  bool running;
  {
    TSioLock lock(StateLock);
    running = WorkersRunning;
    if (running) StopRequested = true;
  }
  if (running) {
    // Waited for whether or not the reference is still set: a worker clears
    // it at the start of WorkerExited, before it is done with the dispatcher.
    if (FlushRequest != nullptr) SetEvent(FlushRequest);
    WaitForWorker(TWorkerKind::Out);
    SetCommMask(DeviceHandle, 0);
    if (ServiceDone != nullptr) SetEvent(ServiceDone);
    if (WorkerAck != nullptr) ResetEvent(WorkerAck);
    WaitForWorker(TWorkerKind::Com);
    WaitForWorker(TWorkerKind::Disp);
  }
  // On the dispatch worker finishing a deferred close the other workers have
  // ended and it waits on none of the events any more.
  CloseOwnedWorkerEvents();
}

void TSioWin32Dispatcher::CloseOwnedWorkerEvents() {
  std::lock_guard guard(WorkerLifeLock);
  if (!WorkersStarted) return;
  WorkersStarted = false;
  for (HANDLE* event : {&EventReady, &ServiceDone, &WorkerAck, &OutputQueued, &WriteDone, &FlushRequest}) {
    if (*event != nullptr) CloseHandle(*event);
    *event = nullptr;
  }
}

void TSioWin32Dispatcher::WorkerExited(TSioDispatcherThread& worker) {
  int index = static_cast<int>(worker.Kind());
  {
    std::lock_guard guard(WorkerLifeLock);
    if (WorkerSlot(worker.Kind()).load() == &worker) WorkerSlot(worker.Kind()) = nullptr;
  }
  if (worker.Kind() == TWorkerKind::Disp && FreeOnWorkerExit) {
    StopAndFreeRings();
    FreeOnWorkerExit = false;
  }
  std::lock_guard guard(WorkerLifeLock);
  WorkerEnded[index] = true;
  if (InterlockedDecrement(&RunningWorkers) <= 0) {
    if (DeviceCloseOwed) CloseDeviceNow();
    WorkersRunning = false;
    if (EndNotice) {
      PostMessageA(EndNotice->Window, EndNotice->Message, EndNotice->WParam, EndNotice->LParam);
      EndNotice.reset();
    }
  }
  // Last touch of the dispatcher by this worker; WorkerGone lives until the
  // dispatcher's destructor, which takes WorkerLifeLock first.
  SetEvent(WorkerGone[index]);
}

void TSioWin32Dispatcher::CloseDeviceNow() {
  DeviceCloseOwed = false;
  if (DeviceHandle != INVALID_HANDLE_VALUE && DeviceHandle != nullptr) CloseHandle(DeviceHandle);
  DeviceHandle = INVALID_HANDLE_VALUE;
}

// ---------------------------------------------------------------------------
// TSioTapi32Dispatcher

TSioTapi32Dispatcher::TSioTapi32Dispatcher(TSioCustomComPort* owner, HANDLE tapiHandle) : TSioWin32Dispatcher(owner) {
  DeviceHandle = tapiHandle;
}

LONG_PTR TSioTapi32Dispatcher::OpenDeviceHandle(const char*, DWORD, DWORD) {
  if (DeviceHandle == nullptr || DeviceHandle == INVALID_HANDLE_VALUE) {
    SetLastError(2007);
    return -2007;
  }
  ReadComplete = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (ReadComplete == nullptr) {
    CloseHandle(DeviceHandle);
    DeviceHandle = INVALID_HANDLE_VALUE;
    return -1;
  }
  ReadRecord = OVERLAPPED{};
  ReadRecord.hEvent = ReadComplete;
  return reinterpret_cast<LONG_PTR>(DeviceHandle);
}
