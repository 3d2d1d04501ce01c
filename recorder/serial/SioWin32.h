// The device layer of the serial engine on the platform's serial driver, and
// the three worker threads every open port runs:
//   TComThread   waits for device events and hands each to the dispatch worker;
//   TDispThread  services them: fills the input ring, runs the trigger checks,
//                and wakes at least every 50 ms for the timer triggers;
//   TOutThread   writes the output ring to the device.
//
// Worker lifetime. A worker frees itself when its body returns; the last thing
// its body does is WorkerExited, which ends under WorkerLifeLock. A thread that
// waits for workers waits until each has finished WorkerExited, so once the
// wait is over no worker touches the dispatcher, its rings or its device again.
// The device handle is closed only after every worker has ended: when the
// closing thread cannot wait (it runs inside a trigger handler, so the dispatch
// worker is waiting for it), the last worker to end closes the handle.
#pragma once

#include <exception>
#include <mutex>
#include <optional>

#include "SioDispatch.h"

class TSioWin32Dispatcher;

enum class TWorkerKind { Com = 0, Disp = 1, Out = 2 };

// One worker. Created running; it deletes itself when its body returns.
class TSioDispatcherThread {
 public:
  virtual ~TSioDispatcherThread();
  TSioDispatcherThread(const TSioDispatcherThread&) = delete;
  TSioDispatcherThread& operator=(const TSioDispatcherThread&) = delete;

  // Creates the worker of class W for the dispatcher and starts its thread;
  // false when the thread could not be created (nothing is left behind).
  template <class W>
  static bool Launch(TSioWin32Dispatcher& dispatcher) {
    return Start(new W(dispatcher));
  }

  TWorkerKind Kind() const { return Kind_; }
  HANDLE ThreadHandle() const { return Thread; }
  DWORD ThreadId() const { return ThreadId_; }

  // Runs handler(message, wParam, lParam) on the thread that created the
  // dispatcher and blocks until it has run. Called on this worker's thread;
  // the handler's exception is raised again here, so it ends this worker.
  void SyncCall(UINT message, WPARAM wParam, const TTriggerMethod& handler, LPARAM lParam);
  // The stub run on the creating thread for SyncCall.
  void RunSyncStub();

 protected:
  TSioDispatcherThread(TSioWin32Dispatcher& dispatcher, TWorkerKind kind);
  // The thread body. An exception that escapes it ends the worker and is
  // shown on the thread that created the dispatcher, which owns the port's
  // window and runs the application's exception display.
  virtual void Execute() = 0;
  // Runs once the body has ended, however it ended; ends with WorkerExited.
  virtual void Finish();

  TSioWin32Dispatcher& Dispatcher;  // not owned

 private:
  static bool Start(TSioDispatcherThread* worker);
  static DWORD WINAPI ThreadEntry(LPVOID parameter);
  // Hands the failure to the creating thread and waits until it was shown.
  void ShowFailure(const std::exception_ptr& failure);

  TWorkerKind Kind_;
  HANDLE Thread = nullptr;
  DWORD ThreadId_ = 0;
  // The synchronized call in progress.
  UINT SyncMessage = 0;
  WPARAM SyncWParam = 0;
  LPARAM SyncLParam = 0;
  TTriggerMethod SyncHandler;
  std::exception_ptr SyncFailure;  // the handler's, set on the creating thread
};

class TComThread : public TSioDispatcherThread {
 public:
  explicit TComThread(TSioWin32Dispatcher& dispatcher) : TSioDispatcherThread(dispatcher, TWorkerKind::Com) {}

 protected:
  void Execute() override;

 private:
  // One device-event wait; false when the worker is to end.
  bool WaitForDeviceEvent(OVERLAPPED& record, DWORD& mask);
};

class TDispThread : public TSioDispatcherThread {
 public:
  explicit TDispThread(TSioWin32Dispatcher& dispatcher) : TSioDispatcherThread(dispatcher, TWorkerKind::Disp) {}

 protected:
  void Execute() override;
  void Finish() override;

 private:
  // signalled: the event worker asked for this pass and waits for its end.
  void ServicePass(bool signalled);
  void TimerPass();
  // Marks a pass as under way, once any fill the event worker started has
  // ended; from then until the pass ends that worker leaves filling to it.
  void BeginPass();
  // How long to wait for the next device event before a pass of its own.
  DWORD NextWait();
  DWORD LastInTail = 0;
  DWORD IdleBacklogWakes = 0;
  // Repeats CheckStatusChange while it fires; false when a close became
  // pending after a check that fired.
  bool RepeatStatusChecks();
  bool RepeatDataChecks();
};

class TOutThread : public TSioDispatcherThread {
 public:
  explicit TOutThread(TSioWin32Dispatcher& dispatcher) : TSioDispatcherThread(dispatcher, TWorkerKind::Out) {}

 protected:
  void Execute() override;

 private:
  // Writes everything queued; returns early when a flush is requested.
  void DrainOutput(OVERLAPPED& record);
  // Chooses the next contiguous span of the ring (rotating a wrapped ring).
  bool NextSpan(DWORD& start, DWORD& length);
  // Completes a pending write; false when a flush interrupted it.
  bool FinishPendingWrite(OVERLAPPED& record, DWORD& written, bool& completed);
  void DropTransmitterAfterRs485();
};

class TSioWin32Dispatcher : public TSioBaseDispatcher {
 public:
  explicit TSioWin32Dispatcher(TSioCustomComPort* owner);
  ~TSioWin32Dispatcher() override;

  int EscapeFunction(DWORD code) override;
  int FlushSide(bool input) override;
  DWORD RefreshStatus(COMSTAT& status) override;
  void ReadFailed(int code) override;
  int ReadLineState(DCB& record) override;
  int ReadDevice(void* buffer, DWORD count) override;
  int WriteLineState(DCB& record) override;
  int QueueOutput(const void* bytes, DWORD count) override;
  bool WaitDeviceEvent(DWORD& mask, OVERLAPPED* record) override;
  bool SetQueueSizes(DWORD inputSize, DWORD outputSize) override;
  // Raises Exception("Dispatcher already started") when the workers run.
  void StartWorkers() override;
  // Ends the workers, serving the calling thread's messages while it waits
  // (a worker may be delivering to this thread's windows), then closes the
  // worker events.
  void StopWorkers() override;
  LONG_PTR OpenDeviceHandle(const char* name, DWORD inputSize, DWORD outputSize) override;
  int CloseDeviceHandle() override;
  int YieldSlice() override;
  void CallSynchronized(const TTriggerMethod& method, UINT msg, WPARAM wParam, LPARAM lParam) override;
  void SetWorkerPriority(TSioDispatcherThread* worker, int level) override;
  // The last worker to end posts it.
  void PostWhenWorkersEnded(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) override;

  // Waits until every worker has ended, serving the calling thread's messages
  // meanwhile; for a close that finishes after its workers.
  void WaitForWorkersEnded();

  // Called by every worker as its body ends, on the worker's thread.
  void WorkerExited(TSioDispatcherThread& worker);

  // The event mask a device-event wait starts with: without the ring trailing
  // edge on NT-like platforms (drivers there refuse it).
  DWORD InitialEventMask() const;

  // The read completion record; its event is ReadComplete.
  OVERLAPPED ReadRecord{};
  HANDLE ReadComplete = nullptr;
  // Set by the dispatch worker for the length of each pass: the event worker
  // moves received bytes into the input ring itself only between passes, so
  // a line is there one thread's turn after it arrived, and no handler sees
  // the ring grow while it runs.
  std::atomic<bool> PassUnderway = false;

 protected:
  friend class TSioDispatcherThread;
  friend class TComThread;
  friend class TDispThread;
  friend class TOutThread;

  std::atomic<TSioDispatcherThread*>& WorkerSlot(TWorkerKind kind);
  // Bytes in the output ring; OutputLock held.
  DWORD OutputRingUsed() const;
  bool WorkerDone(TWorkerKind kind);
  bool IsWorkerThread() const;
  // Waits until the worker of that kind has ended, serving the calling
  // thread's messages meanwhile. Returns at once on the worker's own thread.
  void WaitForWorker(TWorkerKind kind);
  // Tells every worker to end (StopRequested, ends a pending device wait).
  void SignalWorkersToStop();
  void CloseOwnedWorkerEvents();
  void CloseDeviceNow();

  // Serialises the end of each worker's life against the threads that wait
  // for it and against destruction (see the file comment).
  mutable std::mutex WorkerLifeLock;
  bool WorkerEnded[3] = {true, true, true};  // WorkerLifeLock
  DWORD WorkerThreadIds[3] = {0, 0, 0};      // WorkerLifeLock
  bool DeviceCloseOwed = false;              // WorkerLifeLock
  // The message the last worker posts as it ends (WorkerLifeLock).
  struct TEndNotice {
    HWND Window = nullptr;
    UINT Message = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
  };
  std::optional<TEndNotice> EndNotice;
  bool WorkersStarted = false;  // the worker events are ours to close
  // One per worker kind, manual reset: set when that worker has ended, reset
  // only by StartWorkers, so any number of threads may wait for an end.
  HANDLE WorkerGone[3] = {nullptr, nullptr, nullptr};
  // Auto reset; the output worker's answer to a flush request. Kept apart from
  // WorkerAck, which start and end acknowledgements also set: a stale one
  // must not let a flush reset the ring while a write is still in flight.
  HANDLE FlushAck = nullptr;
  // A window of the creating thread that runs synchronized calls.
  HWND SyncWindow = nullptr;
};

// The variant for a device handle handed over by telephony.
class TSioTapi32Dispatcher : public TSioWin32Dispatcher {
 public:
  TSioTapi32Dispatcher(TSioCustomComPort* owner, HANDLE tapiHandle);
  LONG_PTR OpenDeviceHandle(const char* name, DWORD inputSize, DWORD outputSize) override;
};
