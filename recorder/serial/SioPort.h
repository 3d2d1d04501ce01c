// The serial port component: the port's settings as properties with fixed
// defaults, the open and close sequences, the byte operations, the hidden
// notification window that turns the dispatcher's trigger messages into
// events, and the tracing and logging control.
//
// Threads. The component has no lock of its own: it is used from the thread
// that created it, which runs its owner's message loop. The dispatcher's
// workers reach it only through messages to its notification window, handled
// on that thread. Failures of the engine are negative codes, raised as the
// ESioException family through RaiseForCode (returned instead while loading).
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "SioDispatch.h"
#include "SioErrors.h"
#include "SioMisc.h"

enum TDeviceLayer { dlWin16, dlFossil, dlWin32, dlWinsock };
enum TParity { pNone, pOdd, pEven, pMark, pSpace };
enum TTapiMode { tmNone, tmAuto, tmOn, tmOff };
enum TSWFlowOptions { swfNone, swfReceive, swfTransmit, swfBoth };
enum THWFlowOptions { hwfUseDTR, hwfUseRTS, hwfRequireDSR, hwfRequireCTS };
enum TTraceLogState { tlOff, tlOn, tlDump, tlAppend, tlClear, tlPause };

// A set of THWFlowOptions: bit value 1 << option (hwfUseDTR 1 ... hwfRequireCTS 8).
using THWFlowOptionSet = unsigned;
constexpr THWFlowOptionSet HWFlowBit(THWFlowOptions option) { return 1u << option; }

constexpr BYTE PortStateClosed = 0;
constexpr BYTE PortStateClosing = 1;
constexpr BYTE PortStateOpen = 2;

constexpr DWORD MaxTraceSize = 4000000;
constexpr DWORD MaxLogSize = 16000000;

class TSioCustomComPort;

using TNotifyEvent = std::function<void(TObject* sender)>;
using TTriggerEvent = std::function<void(TObject* cp, WORD msg, WORD triggerHandle, WORD data)>;
using TTriggerAvailEvent = std::function<void(TObject* cp, WORD count)>;
using TTriggerDataEvent = std::function<void(TObject* cp, WORD triggerHandle)>;
using TTriggerStatusEvent = std::function<void(TObject* cp, WORD triggerHandle)>;
using TTriggerTimerEvent = std::function<void(TObject* cp, WORD triggerHandle)>;
using TTriggerLineErrorEvent = std::function<void(TObject* cp, WORD error, bool lineBreak)>;
using TWaitCharEvent = std::function<void(TObject* cp, WORD value)>;

// A user told of every open and close: by a message to its window, or, with
// no window, by its callback.
using TPortUserCallback = void (*)(void* data, TSioCustomComPort* port, bool opening);
struct TPortUser {
  HWND Window = nullptr;
  TPortUserCallback Callback = nullptr;
  void* Data = nullptr;
};

// Services of the layers above that the component calls when they exist.
struct TSioPortHooks {
  // Shows the port selection dialog; true with the chosen number on OK.
  // Unset: no dialog can be shown, which counts as leaving it without OK.
  std::function<bool(WORD& portNumber)> SelectPort;
  // Replaces the application's standard exception display for the
  // component's failures on the main thread (tests, hosts without forms).
  std::function<void(const std::exception& error)> ShowException;
};
// Shows a failure through the hook, else through the application object.
void ShowSioException(const std::exception& error);
// The hooks in force; set once by the layer that provides them.
TSioPortHooks& SioPortHooks();

class TSioCustomComPort : public TSioBaseComponent {
 public:
  explicit TSioCustomComPort(TComponent* owner);
  ~TSioCustomComPort() override;

  // ---- Properties ----
  TDeviceLayer DeviceLayer() const { return FDeviceLayer; }
  void SetDeviceLayer(TDeviceLayer value);
  WORD ComNumber() const { return FComNumber; }
  void SetComNumber(WORD value);
  int Baud() const { return FBaud; }
  void SetBaud(int value);
  bool PromptForPort() const { return FPromptForPort; }
  void SetPromptForPort(bool value) { FPromptForPort = value; }
  TParity Parity() const { return FParity; }
  void SetParity(TParity value);
  WORD DataBits() const { return FDataBits; }
  void SetDataBits(WORD value);
  WORD StopBits() const { return FStopBits; }
  void SetStopBits(WORD value);
  WORD InSize() const { return FInSize; }
  void SetInSize(WORD value);
  WORD OutSize() const { return FOutSize; }
  void SetOutSize(WORD value);
  bool AutoOpen() const { return FAutoOpen; }
  void SetAutoOpen(bool value) { FAutoOpen = value; }
  bool Open() const { return FOpen; }
  void SetOpen(bool value);
  bool DTR() const { return FDTR; }
  void SetDTR(bool value);
  bool RTS() const { return FRTS; }
  void SetRTS(bool value);
  THWFlowOptionSet HWFlowOptions() const { return FHWFlowOptions; }
  void SetHWFlowOptions(THWFlowOptionSet value);
  TSWFlowOptions SWFlowOptions() const { return FSWFlowOptions; }
  void SetSWFlowOptions(TSWFlowOptions value);
  char XOnChar() const { return FXOnChar; }
  void SetXOnChar(char value);
  char XOffChar() const { return FXOffChar; }
  void SetXOffChar(char value);
  WORD BufferFull() const { return FBufferFull; }
  void SetBufferFull(WORD value);
  WORD BufferResume() const { return FBufferResume; }
  void SetBufferResume(WORD value);
  TTraceLogState Tracing() const { return FTracing; }
  void SetTracing(TTraceLogState value);
  DWORD TraceSize() const { return FTraceSize; }
  void SetTraceSize(DWORD value);
  const std::string& TraceName() const { return FTraceName; }
  void SetTraceName(const std::string& value) { FTraceName = value.substr(0, 255); }
  bool TraceHex() const { return FTraceHex; }
  void SetTraceHex(bool value) { FTraceHex = value; }
  bool TraceAllHex() const { return FTraceAllHex; }
  void SetTraceAllHex(bool value) { FTraceAllHex = value; }
  TTraceLogState Logging() const { return FLogging; }
  void SetLogging(TTraceLogState value);
  DWORD LogSize() const { return FLogSize; }
  void SetLogSize(DWORD value);
  const std::string& LogName() const { return FLogName; }
  void SetLogName(const std::string& value) { FLogName = value.substr(0, 255); }
  bool LogHex() const { return FLogHex; }
  void SetLogHex(bool value) { FLogHex = value; }
  bool LogAllHex() const { return FLogAllHex; }
  void SetLogAllHex(bool value) { FLogAllHex = value; }
  bool UseMSRShadow() const { return true; }
  virtual void SetUseMSRShadow(bool value);
  bool UseEventWord() const { return FUseEventWord; }
  void SetUseEventWord(bool value);
  WORD CommNotificationLevel() const { return FCommNotificationLevel; }
  void SetCommNotificationLevel(WORD value);
  TTapiMode TapiMode() const { return FTapiMode; }
  void SetTapiMode(TTapiMode value) { FTapiMode = value; }
  bool RS485Mode() const { return FRS485Mode; }
  void SetRS485Mode(bool value);
  BYTE WorkerPriorityBoost() const { return FWorkerPriorityBoost; }
  void SetWorkerPriorityBoost(BYTE value);
  WORD AvailTriggerLength() const { return FAvailTriggerLength; }
  void SetAvailTriggerLength(WORD value);

  // ---- Events ----
  TNotifyEvent OnPortClose;
  TNotifyEvent OnPortOpen;
  const TTriggerEvent& OnTrigger() const { return FOnTrigger; }
  void SetOnTrigger(TTriggerEvent handler);
  const TTriggerAvailEvent& OnTriggerAvail() const { return FOnTriggerAvail; }
  void SetOnTriggerAvail(TTriggerAvailEvent handler);
  const TTriggerDataEvent& OnTriggerData() const { return FOnTriggerData; }
  void SetOnTriggerData(TTriggerDataEvent handler);
  const TTriggerStatusEvent& OnTriggerStatus() const { return FOnTriggerStatus; }
  void SetOnTriggerStatus(TTriggerStatusEvent handler);
  const TTriggerTimerEvent& OnTriggerTimer() const { return FOnTriggerTimer; }
  void SetOnTriggerTimer(TTriggerTimerEvent handler);
  const TTriggerLineErrorEvent& OnTriggerLineError() const { return FOnTriggerLineError; }
  void SetOnTriggerLineError(TTriggerLineErrorEvent handler);
  const TNotifyEvent& OnTriggerModemStatus() const { return FOnTriggerModemStatus; }
  void SetOnTriggerModemStatus(TNotifyEvent handler);
  const TNotifyEvent& OnTriggerOutbuffFree() const { return FOnTriggerOutbuffFree; }
  void SetOnTriggerOutbuffFree(TNotifyEvent handler);
  const TNotifyEvent& OnTriggerOutbuffUsed() const { return FOnTriggerOutbuffUsed; }
  void SetOnTriggerOutbuffUsed(TNotifyEvent handler);
  const TNotifyEvent& OnTriggerOutSent() const { return FOnTriggerOutSent; }
  void SetOnTriggerOutSent(TNotifyEvent handler);
  TWaitCharEvent OnWaitChar;

  // ---- Dispatcher access and byte operations ----
  TSioBaseDispatcher* ActiveDispatcher();
  TSioBaseDispatcher* RequireDispatcher();
  bool InputReady();
  char ReadChar();
  void WriteChar(char c);
  void WriteText(const std::string& s);
  virtual void YieldToDispatcher();
  WORD ReadLineError();
  bool ReadLineBreak();
  // Copies the settings of another port (nothing when source is not one).
  void CopySettingsFrom(TObject* source);

  // ---- Port users ----
  void AddPortUser(HWND window);
  void AddPortUser(TPortUserCallback callback, void* data);
  // Removes the first entry for that window or callback and data.
  bool RemovePortUser(HWND window);
  bool RemovePortUser(TPortUserCallback callback, void* data);
  const std::vector<std::unique_ptr<TPortUser>>& PortUsers() const { return FPortUsers; }

  // ---- Tracing and logging ----
  void BeginTrace(DWORD count);
  void SaveTrace(const std::string& name, bool hex);
  void AppendTraceToFile(const std::string& name, bool hex);
  void ClearTrace();
  void EndTrace();
  void ResumeTrace();
  void PauseTrace();
  void BeginLog(DWORD size);
  void SaveLog(const std::string& name, bool hex);
  void AppendLogToFile(const std::string& name, bool hex);
  void ClearLog();
  void EndLog();
  void ResumeLog();
  void PauseLog();

  // ---- State the tests and the owner read ----
  BYTE OpenState() const { return FOpenState; }
  HWND NotifyWindow() const { return FNotifyWindow; }
  TSioBaseDispatcher* Dispatcher() const { return FDispatcher; }
  bool ReopenRequested() const { return FReopenRequested; }
  std::function<TSioBaseDispatcher*(TSioCustomComPort*)> DispatcherFactory;
  HANDLE TapiHandle = nullptr;

  // The notification window's procedure.
  static LRESULT CALLBACK PortWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  void Loaded() override;  // AfterLoad

  virtual TSioBaseDispatcher* CreateDispatcher();
  virtual void DeviceLayerChanged() {}
  virtual void StartDevice();
  virtual void SetNotifyWindow(bool create);
  virtual void EnsurePortNumber();
  virtual void FireTrigger(WORD msg, WORD triggerHandle, WORD data);
  virtual void FireTriggerAvail(WORD count);
  virtual void FireTriggerData(WORD triggerHandle);
  virtual void FireTriggerStatus(WORD triggerHandle);
  virtual void FireTriggerTimer(WORD triggerHandle);
  virtual void UpdateHandlerNeed();
  virtual void FireTriggerLineError(WORD error, bool lineBreak);
  virtual void FireTriggerModemStatus();
  virtual void FireTriggerOutbuffFree();
  virtual void FireTriggerOutbuffUsed();
  virtual void FireTriggerOutSent();
  virtual void FireWaitChar(WORD value);
  virtual void PerformClose();
  virtual void NotifyPortOpened();
  virtual void NotifyPortClosing();
  virtual void PerformOpen();

 private:
  LONG Check(LONG code) { return RaiseForCode(this, code); }
  bool IsPortOpen() const { return FOpenState == PortStateOpen; }
  bool IsClosing() const { return FOpenState == PortStateClosing; }
  bool WriterSkips(bool unchanged) const { return unchanged && !FForceApply; }
  void ApplyLineSettings();
  void ReapplySettings();
  void CleanUpFailedOpen();
  void FinishClose();
  void FinishPendingClose();
  // Finishes a deferred close once its workers have ended; true when the port
  // is to be opened again.
  bool CompleteDeferredClose(TSioBaseDispatcher* dispatcher, LPARAM lParam);
  void DispatchTriggerMessage(TSioBaseDispatcher* dispatcher, UINT message, WPARAM wParam, LPARAM lParam);
  void NotifyUsers(UINT message, bool opening);
  TSioBaseDispatcher& TraceLogDispatcher();
  void ApplyThresholds();
  bool AnyTriggerEventAssigned() const;

  TDeviceLayer FDeviceLayer = dlWin32;
  WORD FComNumber = 0;
  int FBaud = 19200;
  bool FPromptForPort = true;
  TParity FParity = pNone;
  WORD FDataBits = 8;
  WORD FStopBits = 1;
  WORD FInSize = 4096;
  WORD FOutSize = 4096;
  bool FAutoOpen = true;
  bool FOpen = false;
  bool FDTR = true;
  bool FRTS = true;
  THWFlowOptionSet FHWFlowOptions = 0;
  TSWFlowOptions FSWFlowOptions = swfNone;
  char FXOnChar = 17;
  char FXOffChar = 19;
  WORD FBufferFull = 0;
  WORD FBufferResume = 0;
  TTraceLogState FTracing = tlOff;
  DWORD FTraceSize = 10000;
  std::string FTraceName = "SERIAL.TRC";
  bool FTraceHex = true;
  bool FTraceAllHex = false;
  TTraceLogState FLogging = tlOff;
  DWORD FLogSize = 10000;
  std::string FLogName = "SERIAL.LOG";
  bool FLogHex = true;
  bool FLogAllHex = false;
  bool FUseEventWord = true;
  WORD FCommNotificationLevel = 10;
  TTapiMode FTapiMode = tmAuto;
  bool FRS485Mode = false;
  BYTE FWorkerPriorityBoost = 0;
  WORD FAvailTriggerLength = 1;

  TTriggerEvent FOnTrigger;
  TTriggerAvailEvent FOnTriggerAvail;
  TTriggerDataEvent FOnTriggerData;
  TTriggerStatusEvent FOnTriggerStatus;
  TTriggerTimerEvent FOnTriggerTimer;
  TTriggerLineErrorEvent FOnTriggerLineError;
  TNotifyEvent FOnTriggerModemStatus;
  TNotifyEvent FOnTriggerOutbuffFree;
  TNotifyEvent FOnTriggerOutbuffUsed;
  TNotifyEvent FOnTriggerOutSent;

  BYTE FOpenState = PortStateClosed;
  bool FForceApply = false;
  bool FReopenRequested = false;
  bool FOpenAfterLoad = false;
  bool FRestoreTriggersOnOpen = false;
  TTriggerSnapshot FSavedTriggers;
  std::vector<std::unique_ptr<TPortUser>> FPortUsers;
  HWND FNotifyWindow = nullptr;
  bool FFinishingClose = false;  // the destructor waits for a deferred close's workers
  TSioBaseDispatcher* FDispatcher = nullptr;
};

// The class forms and the recorder control create; it publishes the
// properties and events above and adds no behaviour.
class TSioComPort : public TSioCustomComPort {
 public:
  using TSioCustomComPort::TSioCustomComPort;
};
