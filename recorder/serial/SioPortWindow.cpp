// The port component's notification window, its trigger events, and the
// tracing and logging control.
#include <mutex>

#include "SioDispatchLock.h"
#include "SioErrors.h"
#include "SioPort.h"
#include "SioWin32.h"
#include "windows.h"

namespace {

constexpr const char* kWindowClassName = "sioComWindow";
constexpr int kWindowExtraBytes = 4;

// The thread the library was loaded on: exceptions of window handlers are
// shown there and dropped on any other thread.
const DWORD kMainThreadId = GetCurrentThreadId();

HINSTANCE LibraryInstance() {
  static const int anchor = 0;
  return qorv::platform::ModuleFromAddress(&anchor);
}

void RegisterPortWindowClass() {
  static std::once_flag registered;
  std::call_once(registered, [] {
    WNDCLASSA windowClass{};
    windowClass.style = 0;
    windowClass.lpfnWndProc = TSioCustomComPort::PortWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = kWindowExtraBytes;
    windowClass.hInstance = LibraryInstance();
    windowClass.lpszClassName = kWindowClassName;
    RegisterClassA(&windowClass);
  });
}

void ReportHandlerFailure(const std::exception& error) {
  if (GetCurrentThreadId() != kMainThreadId) return;
  ShowSioException(error);
}

// Failures of the events, the close and the reopen stay in the window
// procedure.
template <class Action>
void RunReportingFailures(const Action& action) {
  try {
    action();
  } catch (const std::exception& error) {
    ReportHandlerFailure(error);
  } catch (...) {
  }
}

bool IsPortWindowMessage(UINT message) {
  return message == msgTriggerAvail || message == msgTriggerData || message == msgTriggerTimer ||
         message == msgTriggerStatus || message == msgCloseDone;
}

}  // namespace

// ---------------------------------------------------------------------------
// Notification window

void TSioCustomComPort::SetNotifyWindow(bool create) {
  if (create) {
    RegisterPortWindowClass();
    FNotifyWindow =
        CreateWindowExA(0, kWindowClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr, LibraryInstance(), nullptr);
    if (FDispatcher != nullptr && FNotifyWindow != nullptr) FDispatcher->RegisterWindowHandler(FNotifyWindow);
    return;
  }
  if (FNotifyWindow == nullptr) return;
  if (FDispatcher != nullptr) FDispatcher->DeregisterWindowHandler(FNotifyWindow);
  DestroyWindow(FNotifyWindow);
  FNotifyWindow = nullptr;
}

LRESULT CALLBACK TSioCustomComPort::PortWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsPortWindowMessage(message)) return DefWindowProcA(window, message, wParam, lParam);
  TSioCustomComPort* reopening = nullptr;
  {
    // Held while the events run so that no dispatcher is freed under them; it
    // is re-entrant, so a handler may open and close ports.
    TSioLock lock(PortListLock);
    DWORD handle = (static_cast<DWORD>(lParam) >> 16) & 0xFFFF;
    if (handle >= PortList.size()) return 0;
    TSioBaseDispatcher* dispatcher = PortList[handle];
    if (dispatcher == nullptr || dispatcher->Owner == nullptr) return 0;
    TSioCustomComPort* port = dispatcher->Owner;
    RunReportingFailures([&] {
      if (message != msgCloseDone) {
        port->DispatchTriggerMessage(dispatcher, message, wParam, lParam);
      } else if (port->CompleteDeferredClose(dispatcher, lParam)) {
        reopening = port;
      }
    });
  }
  // An open waits for its workers to answer, which is never done under the
  // lock.
  if (reopening != nullptr) RunReportingFailures([reopening] { reopening->PerformOpen(); });
  return 0;
}

void TSioCustomComPort::DispatchTriggerMessage(TSioBaseDispatcher* dispatcher, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  auto word = static_cast<WORD>(wParam);
  WORD data = message == msgTriggerAvail ? word : static_cast<WORD>(lParam & 0xFFFF);
  FireTrigger(static_cast<WORD>(message), word, data);
  switch (message) {
    case msgTriggerAvail: FireTriggerAvail(word); return;
    case msgTriggerData: FireTriggerData(word); return;
    case msgTriggerTimer: FireTriggerTimer(word); return;
    default: break;
  }
  FireTriggerStatus(word);
  switch (TSioBaseDispatcher::StatusKindOfHandle(word)) {
    case StatusKindModem: FireTriggerModemStatus(); break;
    case StatusKindLineError: {
      bool lineBreak = ReadLineBreak();
      WORD error = ReadLineError();
      FireTriggerLineError(error, lineBreak);
      break;
    }
    case StatusKindOutputFree: FireTriggerOutbuffFree(); break;
    case StatusKindOutputUsed: FireTriggerOutbuffUsed(); break;
    case StatusKindOutputSent: FireTriggerOutSent(); break;
    default: break;
  }
  (void)dispatcher;
}

bool TSioCustomComPort::CompleteDeferredClose(TSioBaseDispatcher* dispatcher, LPARAM lParam) {
  FireTrigger(static_cast<WORD>(msgCloseDone), 0, static_cast<WORD>(lParam & 0xFFFF));
  if (dispatcher != FDispatcher || !IsClosing() || FFinishingClose) return false;
  if (dispatcher->WorkersRunning) {
    // Asked again once the last worker has ended. Waiting for the workers
    // here would hold PortListLock, and posting at once would keep this
    // thread going round its queue until they end.
    dispatcher->PostWhenWorkersEnded(FNotifyWindow, msgCloseDone, 0, lParam);
    return false;
  }
  FinishClose();
  bool reopen = FReopenRequested;
  FReopenRequested = false;
  return reopen;
}

// ---------------------------------------------------------------------------
// Events

bool TSioCustomComPort::AnyTriggerEventAssigned() const {
  return FOnTrigger || FOnTriggerAvail || FOnTriggerData || FOnTriggerStatus || FOnTriggerTimer ||
         FOnTriggerLineError || FOnTriggerModemStatus || FOnTriggerOutbuffFree || FOnTriggerOutbuffUsed ||
         FOnTriggerOutSent;
}

void TSioCustomComPort::UpdateHandlerNeed() {
  if (!IsPortOpen() || FDispatcher == nullptr) return;
  constexpr int kPortHandlerOn = 1;
  constexpr int kPortHandlerOff = 2;
  FDispatcher->SetHandlerService(AnyTriggerEventAssigned() ? kPortHandlerOn : kPortHandlerOff);
}

void TSioCustomComPort::SetOnTrigger(TTriggerEvent handler) {
  FOnTrigger = std::move(handler);
  UpdateHandlerNeed();
}
void TSioCustomComPort::SetOnTriggerAvail(TTriggerAvailEvent handler) {
  FOnTriggerAvail = std::move(handler);
  UpdateHandlerNeed();
}
void TSioCustomComPort::SetOnTriggerData(TTriggerDataEvent handler) {
  FOnTriggerData = std::move(handler);
  UpdateHandlerNeed();
}
void TSioCustomComPort::SetOnTriggerStatus(TTriggerStatusEvent handler) {
  FOnTriggerStatus = std::move(handler);
  UpdateHandlerNeed();
}
void TSioCustomComPort::SetOnTriggerTimer(TTriggerTimerEvent handler) {
  FOnTriggerTimer = std::move(handler);
  UpdateHandlerNeed();
}
void TSioCustomComPort::SetOnTriggerLineError(TTriggerLineErrorEvent handler) {
  FOnTriggerLineError = std::move(handler);
  UpdateHandlerNeed();
}
void TSioCustomComPort::SetOnTriggerModemStatus(TNotifyEvent handler) {
  FOnTriggerModemStatus = std::move(handler);
  UpdateHandlerNeed();
}
void TSioCustomComPort::SetOnTriggerOutbuffFree(TNotifyEvent handler) {
  FOnTriggerOutbuffFree = std::move(handler);
  UpdateHandlerNeed();
}
void TSioCustomComPort::SetOnTriggerOutbuffUsed(TNotifyEvent handler) {
  FOnTriggerOutbuffUsed = std::move(handler);
  UpdateHandlerNeed();
}
void TSioCustomComPort::SetOnTriggerOutSent(TNotifyEvent handler) {
  FOnTriggerOutSent = std::move(handler);
  UpdateHandlerNeed();
}

void TSioCustomComPort::FireTrigger(WORD msg, WORD triggerHandle, WORD data) {
  if (FOnTrigger) FOnTrigger(this, msg, triggerHandle, data);
}
void TSioCustomComPort::FireTriggerAvail(WORD count) {
  if (FOnTriggerAvail) FOnTriggerAvail(this, count);
}
void TSioCustomComPort::FireTriggerData(WORD triggerHandle) {
  if (FOnTriggerData) FOnTriggerData(this, triggerHandle);
}
void TSioCustomComPort::FireTriggerStatus(WORD triggerHandle) {
  if (FOnTriggerStatus) FOnTriggerStatus(this, triggerHandle);
}
void TSioCustomComPort::FireTriggerTimer(WORD triggerHandle) {
  if (FOnTriggerTimer) FOnTriggerTimer(this, triggerHandle);
}
void TSioCustomComPort::FireTriggerLineError(WORD error, bool lineBreak) {
  if (FOnTriggerLineError) FOnTriggerLineError(this, error, lineBreak);
}
void TSioCustomComPort::FireTriggerModemStatus() {
  if (FOnTriggerModemStatus) FOnTriggerModemStatus(this);
}
void TSioCustomComPort::FireTriggerOutbuffFree() {
  if (FOnTriggerOutbuffFree) FOnTriggerOutbuffFree(this);
}
void TSioCustomComPort::FireTriggerOutbuffUsed() {
  if (FOnTriggerOutbuffUsed) FOnTriggerOutbuffUsed(this);
}
void TSioCustomComPort::FireTriggerOutSent() {
  if (FOnTriggerOutSent) FOnTriggerOutSent(this);
}
void TSioCustomComPort::FireWaitChar(WORD value) {
  if (OnWaitChar) OnWaitChar(this, value);
}

// ---------------------------------------------------------------------------
// Tracing and logging

TSioBaseDispatcher& TSioCustomComPort::TraceLogDispatcher() {
  TSioBaseDispatcher* dispatcher = ActiveDispatcher();
  if (dispatcher == nullptr) throw ECommNotOpen(ecCommNotOpen);
  return *dispatcher;
}

void TSioCustomComPort::BeginTrace(DWORD count) {
  if (IsClosing()) return;
  TSioBaseDispatcher& dispatcher = TraceLogDispatcher();
  if (count != 0) FTraceSize = count;
  // A buffer of no entries can hold nothing; refuse it like an oversized one.
  if (Check(FTraceSize == 0 ? ecBadArgument : dispatcher.StartTraceBuffer(FTraceSize)) < 0) return;
  FTracing = tlOn;
}

void TSioCustomComPort::SaveTrace(const std::string& name, bool hex) {
  if (IsClosing()) return;
  if (Check(TraceLogDispatcher().WriteTraceFile(name, false, hex, FTraceAllHex)) < 0) return;
  FTracing = tlOff;
}

void TSioCustomComPort::AppendTraceToFile(const std::string& name, bool hex) {
  if (IsClosing()) return;
  if (Check(TraceLogDispatcher().WriteTraceFile(name, true, hex, FTraceAllHex)) < 0) return;
  FTracing = tlOff;
}

void TSioCustomComPort::ClearTrace() {
  if (IsClosing()) return;
  Check(TraceLogDispatcher().ResetTraceBuffer());
}

void TSioCustomComPort::EndTrace() {
  if (IsClosing()) return;
  TraceLogDispatcher().FreeTraceBuffer();
  FTracing = tlOff;
}

void TSioCustomComPort::ResumeTrace() {
  if (IsClosing()) return;
  TraceLogDispatcher().EnableTraceEntries();
  FTracing = tlOn;
}

void TSioCustomComPort::PauseTrace() {
  if (IsClosing()) return;
  TraceLogDispatcher().DisableTraceEntries();
  FTracing = tlPause;
}

void TSioCustomComPort::BeginLog(DWORD size) {
  if (IsClosing()) return;
  TSioBaseDispatcher& dispatcher = TraceLogDispatcher();
  if (size != 0) FLogSize = size;
  if (FLogSize == 0 && Check(ecBadArgument) < 0) return;
  dispatcher.StartLogBuffer(FLogSize);
  FLogging = tlOn;
}

void TSioCustomComPort::SaveLog(const std::string& name, bool hex) {
  if (IsClosing()) return;
  if (Check(TraceLogDispatcher().WriteLogFile(name, false, hex, FLogAllHex)) < 0) return;
  FLogging = tlOff;
}

void TSioCustomComPort::AppendLogToFile(const std::string& name, bool hex) {
  if (IsClosing()) return;
  if (Check(TraceLogDispatcher().WriteLogFile(name, true, hex, FLogAllHex)) < 0) return;
  FLogging = tlOff;
}

void TSioCustomComPort::ClearLog() {
  if (IsClosing()) return;
  TraceLogDispatcher().ResetLogBuffer();
}

void TSioCustomComPort::EndLog() {
  if (IsClosing()) return;
  TraceLogDispatcher().FreeLogBuffer();
  FLogging = tlOff;
}

void TSioCustomComPort::ResumeLog() {
  if (IsClosing()) return;
  TraceLogDispatcher().EnableLogEntries();
  FLogging = tlOn;
}

void TSioCustomComPort::PauseLog() {
  if (IsClosing()) return;
  TraceLogDispatcher().DisableLogEntries();
  FLogging = tlPause;
}

namespace {

// The component's operations for Tracing or for Logging.
struct TTraceLogOps {
  std::function<void()> End, Resume, Begin, Save, Append, Clear, Pause;
};

// Runs the operations of one transition of an open port's state machine;
// the operations set the new state. Any other combination changes nothing.
void ApplyTraceLogState(TTraceLogState current, TTraceLogState wanted, const TTraceLogOps& ops) {
  bool active = current == tlOn || current == tlPause;
  switch (wanted) {
    case tlOff:
      if (active) ops.End();
      return;
    case tlOn:
      if (current == tlPause) {
        ops.Resume();
      } else {
        ops.Begin();
      }
      return;
    case tlDump:
      if (!active) return;
      ops.Resume();
      ops.Save();
      return;
    case tlAppend:
      if (!active) return;
      ops.Resume();
      ops.Append();
      return;
    case tlClear:
      if (active) ops.Clear();
      return;
    case tlPause:
      if (current == tlOn) ops.Pause();
      return;
  }
}

TTraceLogState ClosedPortState(TTraceLogState wanted) { return wanted == tlOn ? tlOn : tlOff; }

}  // namespace

void TSioCustomComPort::SetTracing(TTraceLogState value) {
  if (WriterSkips(value == FTracing)) return;
  if (!IsPortOpen()) {
    FTracing = ClosedPortState(value);
    return;
  }
  ApplyTraceLogState(
      FTracing, value,
      {[this] { EndTrace(); }, [this] { ResumeTrace(); }, [this] { BeginTrace(FTraceSize); },
       [this] { SaveTrace(FTraceName, FTraceHex); }, [this] { AppendTraceToFile(FTraceName, FTraceHex); },
       [this] { ClearTrace(); }, [this] { PauseTrace(); }});
}

void TSioCustomComPort::SetLogging(TTraceLogState value) {
  if (WriterSkips(value == FLogging)) return;
  if (!IsPortOpen()) {
    FLogging = ClosedPortState(value);
    return;
  }
  ApplyTraceLogState(FLogging, value,
                     {[this] { EndLog(); }, [this] { ResumeLog(); }, [this] { BeginLog(FLogSize); },
                      [this] { SaveLog(FLogName, FLogHex); }, [this] { AppendLogToFile(FLogName, FLogHex); },
                      [this] { ClearLog(); }, [this] { PauseLog(); }});
}

void TSioCustomComPort::SetTraceSize(DWORD value) {
  if (value == FTraceSize) return;
  FTraceSize = value > MaxTraceSize ? MaxTraceSize : value;
  if (!IsPortOpen()) return;
  // A running or paused trace restarts empty with the new size, in the state
  // it was in.
  TTraceLogState previous = FTracing;
  if (previous != tlOn && previous != tlPause) return;
  EndTrace();
  SetTracing(tlOn);
  if (previous == tlPause) SetTracing(tlPause);
}

void TSioCustomComPort::SetLogSize(DWORD value) {
  if (value == FLogSize) return;
  FLogSize = value > MaxLogSize ? MaxLogSize : value;
  if (!IsPortOpen()) return;
  TTraceLogState previous = FLogging;
  if (previous != tlOn && previous != tlPause) return;
  EndLog();
  SetLogging(tlOn);
  if (previous == tlPause) SetLogging(tlPause);
}
