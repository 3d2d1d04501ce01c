// Properties, open and close of the serial port component.
#include "SioPort.h"

#include <cstdio>

#include "Application.h"
#include "SioErrors.h"
#include "SioWin32.h"
#include "windows.h"

namespace {

// Open flags (the dispatcher's OpenDevice).
DWORD OpenFlags(bool dtr, bool rts, THWFlowOptionSet hw) {
  DWORD flags = 0;
  if (dtr) flags |= OpenFlagDtrOn;
  if (rts) flags |= OpenFlagRtsOn;
  if (hw & HWFlowBit(hwfUseDTR)) flags |= OpenFlagDtrHandshake;
  if (hw & HWFlowBit(hwfUseRTS)) flags |= OpenFlagRtsHandshake;
  return flags;
}

// The device layer reports the system errors of a failed open negated; these
// three mean "held elsewhere" and "no such port".
LONG TranslateOpenCode(LONG code) {
  switch (code) {
    case -static_cast<LONG>(ERROR_ACCESS_DENIED): return ecAlreadyOpen;
    case -static_cast<LONG>(ERROR_FILE_NOT_FOUND):
    case -static_cast<LONG>(ERROR_PATH_NOT_FOUND): return ecBadId;
    default: return code;
  }
}

std::string PortText(const char* format, WORD number) {
  char text[32];
  std::snprintf(text, sizeof text, format, static_cast<unsigned>(number));
  return text;
}

}  // namespace

TSioPortHooks& SioPortHooks() {
  static TSioPortHooks hooks;
  return hooks;
}

void ShowSioException(const std::exception& error) {
  if (SioPortHooks().ShowException) {
    SioPortHooks().ShowException(error);
  } else if (Application != nullptr) {
    Application->HandleException(error);
  }
}

TSioCustomComPort::TSioCustomComPort(TComponent* owner) : TSioBaseComponent(owner) {}

TSioCustomComPort::~TSioCustomComPort() {
  try {
    if (IsPortOpen()) PerformClose();
  } catch (...) {
    // A trace or log that could not be written; the port is closed anyway.
  }
  // A close deferred from inside a trigger handler must not leave its
  // completion message to a component that is gone.
  FinishPendingClose();
  FPortUsers.clear();
  TSioBaseDispatcher::FreeTriggerSnapshot(FSavedTriggers);
}

// ---------------------------------------------------------------------------
// Writers

void TSioCustomComPort::SetDeviceLayer(TDeviceLayer value) {
  if (value == FDeviceLayer) return;
  if (FOpenState != PortStateClosed || value != dlWin32) return;
  FDeviceLayer = value;
  DeviceLayerChanged();
}

void TSioCustomComPort::SetComNumber(WORD value) {
  if (value == FComNumber) return;
  bool wasOpen = IsPortOpen();
  TTraceLogState tracing = FTracing;
  TTraceLogState logging = FLogging;
  if (wasOpen) {
    FDispatcher->SaveTriggers(FSavedTriggers);
    SetOpen(false);
  }
  FComNumber = value;
  if (!wasOpen) return;
  SetTracing(tracing);
  SetLogging(logging);
  SetOpen(true);
  if (TSioBaseDispatcher* dispatcher = ActiveDispatcher()) dispatcher->RestoreTriggers(FSavedTriggers);
}

void TSioCustomComPort::ApplyLineSettings() {
  if (!IsPortOpen()) return;
  Check(ActiveDispatcher()->ChangeLineSettings(static_cast<DWORD>(FBaud), FParity, FDataBits & 0xFF, FStopBits & 0xFF));
}

void TSioCustomComPort::SetBaud(int value) {
  if (value == FBaud) return;
  FBaud = value;
  ApplyLineSettings();
}

void TSioCustomComPort::SetParity(TParity value) {
  if (value == FParity) return;
  FParity = value;
  ApplyLineSettings();
}

void TSioCustomComPort::SetDataBits(WORD value) {
  if (value == FDataBits) return;
  FDataBits = value;
  ApplyLineSettings();
}

void TSioCustomComPort::SetStopBits(WORD value) {
  if (value == FStopBits) return;
  FStopBits = value;
  ApplyLineSettings();
}

void TSioCustomComPort::SetInSize(WORD value) {
  if (value == FInSize) return;
  FInSize = value;
  if (IsPortOpen()) ActiveDispatcher()->ApplyQueueSizes(FInSize, FOutSize);
}

void TSioCustomComPort::SetOutSize(WORD value) {
  if (value == FOutSize) return;
  FOutSize = value;
  if (IsPortOpen()) ActiveDispatcher()->ApplyQueueSizes(FInSize, FOutSize);
}

void TSioCustomComPort::SetXOnChar(char value) {
  if (WriterSkips(value == FXOnChar)) return;
  FXOnChar = value;
  if (IsPortOpen()) Check(ActiveDispatcher()->ChangeFlowChars(FXOnChar, FXOffChar));
}

void TSioCustomComPort::SetXOffChar(char value) {
  if (WriterSkips(value == FXOffChar)) return;
  FXOffChar = value;
  if (IsPortOpen()) Check(ActiveDispatcher()->ChangeFlowChars(FXOnChar, FXOffChar));
}

void TSioCustomComPort::SetHWFlowOptions(THWFlowOptionSet value) {
  if (WriterSkips(value == FHWFlowOptions)) return;
  DWORD word = value & 0x0F;
  if (word != 0) {
    if (FBufferFull == 0 || FBufferFull > FInSize) FBufferFull = static_cast<WORD>(FInSize * 9 / 10);
    if (FBufferResume == 0 || FBufferResume > FBufferFull) FBufferResume = static_cast<WORD>(FInSize / 10);
  }
  if (IsPortOpen()) Check(ActiveDispatcher()->ConfigureHardwareFlow(FBufferFull, FBufferResume, word));
  FHWFlowOptions = value;
  if (value & (HWFlowBit(hwfUseRTS) | HWFlowBit(hwfRequireCTS))) SetRS485Mode(false);
}

void TSioCustomComPort::SetSWFlowOptions(TSWFlowOptions value) {
  if (WriterSkips(value == FSWFlowOptions)) return;
  static constexpr DWORD kFlowWords[] = {0, 2, 1, 3};
  DWORD word = kFlowWords[value];
  if (word != 0) {
    if (FBufferFull == 0 || FBufferFull > FInSize) FBufferFull = static_cast<WORD>(FInSize * 3 / 4);
    if (FBufferResume == 0 || FBufferResume > FBufferFull) FBufferResume = static_cast<WORD>(FInSize / 4);
  }
  if (IsPortOpen()) {
    TSioBaseDispatcher* dispatcher = ActiveDispatcher();
    Check(word != 0 ? dispatcher->ConfigureXonXoffFlow(FBufferFull, FBufferResume, word)
                    : dispatcher->DisableXonXoffFlow());
  }
  FSWFlowOptions = value;
}

void TSioCustomComPort::ApplyThresholds() {
  bool saved = FForceApply;
  FForceApply = true;
  try {
    SetHWFlowOptions(FHWFlowOptions);
    SetSWFlowOptions(FSWFlowOptions);
  } catch (...) {
    FForceApply = saved;
    throw;
  }
  FForceApply = saved;
}

void TSioCustomComPort::SetBufferFull(WORD value) {
  if (WriterSkips(value == FBufferFull)) return;
  FBufferFull = value <= FInSize ? value : static_cast<WORD>(value * 9 / 10);
  ApplyThresholds();
}

void TSioCustomComPort::SetBufferResume(WORD value) {
  if (WriterSkips(value == FBufferResume)) return;
  FBufferResume = value <= FBufferFull ? value : static_cast<WORD>(FBufferFull / 10);
  ApplyThresholds();
}

void TSioCustomComPort::SetDTR(bool value) {
  if (WriterSkips(value == FDTR)) return;
  if (!IsPortOpen()) {
    FDTR = value;
    return;
  }
  if (Check(ActiveDispatcher()->DriveDtr(value)) == 0) FDTR = value;
}

void TSioCustomComPort::SetRTS(bool value) {
  if (WriterSkips(value == FRTS)) return;
  if (!IsPortOpen()) {
    FRTS = value;
    return;
  }
  if (Check(ActiveDispatcher()->DriveRts(value)) == 0) FRTS = value;
}

void TSioCustomComPort::SetUseMSRShadow(bool) {}

void TSioCustomComPort::SetUseEventWord(bool value) {
  if (WriterSkips(value == FUseEventWord)) return;
  FUseEventWord = value;
  if (!IsPortOpen()) return;
  constexpr DWORD kEventWordBit = 4;
  if (value) {
    ActiveDispatcher()->SetOptionBits(kEventWordBit);
  } else {
    ActiveDispatcher()->ClearOptionBits(kEventWordBit);
  }
}

void TSioCustomComPort::SetCommNotificationLevel(WORD value) {
  if (WriterSkips(value == FCommNotificationLevel)) return;
  FCommNotificationLevel = value;
}

void TSioCustomComPort::SetRS485Mode(bool value) {
  if (WriterSkips(value == FRS485Mode)) return;
  FRS485Mode = value;
  if (IsPortOpen()) ActiveDispatcher()->ApplyRs485Mode(value);
  if (!value) return;
  SetHWFlowOptions(FHWFlowOptions & ~(HWFlowBit(hwfUseRTS) | HWFlowBit(hwfRequireCTS)));
  SetRTS(false);
}

void TSioCustomComPort::SetWorkerPriorityBoost(BYTE value) {
  if (WriterSkips(value == FWorkerPriorityBoost)) return;
  FWorkerPriorityBoost = value;
  if (IsPortOpen()) ActiveDispatcher()->SetPriorityBoost(value);
}

void TSioCustomComPort::SetAvailTriggerLength(WORD value) {
  if (WriterSkips(value == FAvailTriggerLength)) return;
  FAvailTriggerLength = value;
  if (IsPortOpen()) ActiveDispatcher()->SetLengthTrigger(value);
}

// ---------------------------------------------------------------------------
// Open and close

void TSioCustomComPort::SetOpen(bool value) {
  if (value == FOpen) return;
  if (IsDesigning() || IsLoading()) {
    FOpen = value;
    if (value) FOpenAfterLoad = true;
    return;
  }
  if (!value) {
    PerformClose();
  } else if (FOpenState != PortStateClosed) {
    FReopenRequested = true;
  } else {
    PerformOpen();
  }
}

void TSioCustomComPort::EnsurePortNumber() {
  if (FComNumber != 0) return;
  if (!FPromptForPort) Check(ecNoPortSelected);
  WORD chosen = 0;
  const auto& selectPort = SioPortHooks().SelectPort;
  if (!selectPort || !selectPort(chosen)) {
    RaiseForCode(this, ecNoPortSelected);
    return;
  }
  SetComNumber(chosen);
}

TSioBaseDispatcher* TSioCustomComPort::CreateDispatcher() {
  if (DispatcherFactory) return DispatcherFactory(this);
  if (FDeviceLayer != dlWin32) {
    Check(ecNullApi);
    return nullptr;
  }
  if (FTapiMode == tmOn) return new TSioTapi32Dispatcher(this, TapiHandle);
  return new TSioWin32Dispatcher(this);
}

void TSioCustomComPort::StartDevice() {
  std::string name = FTapiMode == tmOn ? std::string() : PortText("\\\\.\\COM%u", FComNumber);
  LONG code = FDispatcher->OpenDevice(name.empty() ? nullptr : name.c_str(), static_cast<DWORD>(FBaud), FParity,
                                      static_cast<BYTE>(FDataBits), static_cast<BYTE>(FStopBits), FInSize, FOutSize,
                                      OpenFlags(FDTR, FRTS, FHWFlowOptions));
  code = TranslateOpenCode(code);
  if (code != 0) Check(code);
}

void TSioCustomComPort::ReapplySettings() {
  FForceApply = true;
  SetTracing(FTracing);
  SetLogging(FLogging);
  SetHWFlowOptions(FHWFlowOptions);
  SetSWFlowOptions(FSWFlowOptions);
  SetXOnChar(FXOnChar);
  SetXOffChar(FXOffChar);
  SetAvailTriggerLength(FAvailTriggerLength);
  SetDTR(FDTR);
  if (FDeviceLayer != dlFossil) SetRTS(FRTS);
  SetUseMSRShadow(true);
  SetUseEventWord(FUseEventWord);
  SetCommNotificationLevel(FCommNotificationLevel);
  SetRS485Mode(FRS485Mode);
  SetWorkerPriorityBoost(FWorkerPriorityBoost);
  FForceApply = false;
}

void TSioCustomComPort::PerformOpen() {
  if (FTapiMode != tmOn) {
    EnsurePortNumber();
    if (FComNumber == 0) return;  // only while loading: the code was returned
  }
  FDispatcher = CreateDispatcher();
  if (FDispatcher == nullptr) return;  // only while loading: the code was returned
  FDispatcher->DeviceName = PortText("COM%u", FComNumber);
  try {
    if (FTapiMode == tmOn) {
      if (FDispatcher->DeviceHandle == nullptr || FDispatcher->DeviceHandle == INVALID_HANDLE_VALUE) {
        Check(ecNotOpenedByTapi);
      }
      DWORD baud = 0;
      WORD parity = 0;
      BYTE dataBits = 0;
      BYTE stopBits = 0;
      FDispatcher->QueryLineSettings(baud, parity, dataBits, stopBits);
      FBaud = static_cast<int>(baud);
      FParity = static_cast<TParity>(parity);
      FDataBits = dataBits;
      FStopBits = stopBits;
      DWORD hardware = 0;
      DWORD xonXoff = 0;
      FDispatcher->QueryFlowOptions(hardware, xonXoff, FXOnChar, FXOffChar);
      FHWFlowOptions = hardware & 0x0F;
      static constexpr TSWFlowOptions kBySwWord[] = {swfNone, swfTransmit, swfReceive, swfBoth};
      FSWFlowOptions = kBySwWord[xonXoff & 3];
    }
    StartDevice();
    if (FDispatcher->DeviceHandle == INVALID_HANDLE_VALUE) {
      // Only while loading does a failed open return here; nothing is open.
      CleanUpFailedOpen();
      return;
    }
    FOpenState = PortStateOpen;
    UpdateHandlerNeed();
    ReapplySettings();
    FOpen = true;
    SetNotifyWindow(true);
    if (FRestoreTriggersOnOpen) {
      FRestoreTriggersOnOpen = false;
      FDispatcher->RestoreTriggers(FSavedTriggers);
    }
    NotifyPortOpened();
  } catch (...) {
    CleanUpFailedOpen();
    throw;
  }
}

void TSioCustomComPort::CleanUpFailedOpen() {
  FForceApply = false;
  FOpen = false;
  FOpenState = PortStateClosed;
  if (FNotifyWindow != nullptr) {
    // The window was made just before a failed open notification; a closed
    // port keeps no window.
    if (FDispatcher != nullptr) FDispatcher->DeregisterWindowHandler(FNotifyWindow);
    DestroyWindow(FNotifyWindow);
    FNotifyWindow = nullptr;
  }
  delete FDispatcher;
  FDispatcher = nullptr;
}

void TSioCustomComPort::PerformClose() {
  FOpen = false;
  if (!IsPortOpen()) return;
  // A trace or log that cannot be written must not leave the port half
  // closed: the close goes on, and the failure is raised once it is done.
  std::exception_ptr writeFailure;
  try {
    SetTracing(tlDump);
  } catch (...) {
    writeFailure = std::current_exception();
    FDispatcher->FreeTraceBuffer();
    FTracing = tlOff;
  }
  try {
    SetLogging(tlDump);
  } catch (...) {
    if (!writeFailure) writeFailure = std::current_exception();
    FDispatcher->FreeLogBuffer();
    FLogging = tlOff;
  }
  FOpenState = PortStateClosing;
  try {
    NotifyPortClosing();
  } catch (...) {
    if (!writeFailure) writeFailure = std::current_exception();
  }
  FDispatcher->SaveTriggers(FSavedTriggers);
  FRestoreTriggersOnOpen = true;
  FDispatcher->CloseDevice();
  if (FDispatcher->HandlersRunning || FDispatcher->ClosePending) {
    PostMessageA(FNotifyWindow, msgCloseDone, 0, static_cast<LPARAM>(FDispatcher->DispatcherHandle) << 16);
    PumpOneMessage();
  } else {
    FinishClose();
  }
  if (writeFailure) std::rethrow_exception(writeFailure);
}

void TSioCustomComPort::FinishClose() {
  SetNotifyWindow(false);
  delete FDispatcher;
  FDispatcher = nullptr;
  FOpenState = PortStateClosed;
}

void TSioCustomComPort::FinishPendingClose() {
  if (!IsClosing() || FDispatcher == nullptr) return;
  // The wait serves this thread's messages; a completion message among them
  // must leave the close to this call, which still uses the dispatcher.
  FFinishingClose = true;
  if (auto* win32 = dynamic_cast<TSioWin32Dispatcher*>(FDispatcher)) win32->WaitForWorkersEnded();
  FFinishingClose = false;
  FReopenRequested = false;
  FinishClose();
}

void TSioCustomComPort::Loaded() {
  TSioBaseComponent::Loaded();
  if (IsDesigning()) return;
  if (FOpenAfterLoad) FOpen = true;
  if (!FOpen) return;
  FOpenAfterLoad = false;
  try {
    PerformOpen();
  } catch (const std::exception& error) {
    FOpen = false;
    ShowSioException(error);
  }
}

// ---------------------------------------------------------------------------
// Dispatcher access and byte operations

TSioBaseDispatcher* TSioCustomComPort::ActiveDispatcher() {
  if (FDispatcher == nullptr && !IsDesigning() && !IsLoading() && !IsPortOpen() && FAutoOpen) SetOpen(true);
  return FDispatcher;
}

TSioBaseDispatcher* TSioCustomComPort::RequireDispatcher() {
  TSioBaseDispatcher* dispatcher = ActiveDispatcher();
  if (dispatcher == nullptr) Check(ecCommNotOpen);
  return dispatcher;
}

bool TSioCustomComPort::InputReady() {
  if (IsClosing()) return false;
  TSioBaseDispatcher* dispatcher = RequireDispatcher();
  return dispatcher != nullptr && dispatcher->HasInput();
}

char TSioCustomComPort::ReadChar() {
  if (IsClosing()) return 0;
  TSioBaseDispatcher* dispatcher = RequireDispatcher();
  if (dispatcher == nullptr) return 0;
  BYTE value = 0;
  LONG code = dispatcher->TakeInput(value);
  if (code == 0) return static_cast<char>(value);
  Check(code);
  return 0;
}

void TSioCustomComPort::WriteChar(char c) {
  if (IsClosing()) return;
  TSioBaseDispatcher* dispatcher = RequireDispatcher();
  if (dispatcher != nullptr) Check(dispatcher->WriteByte(static_cast<BYTE>(c)));
}

void TSioCustomComPort::WriteText(const std::string& s) {
  if (IsClosing()) return;
  TSioBaseDispatcher* dispatcher = RequireDispatcher();
  if (dispatcher == nullptr || s.empty()) return;
  Check(dispatcher->WriteBlock(s.data(), static_cast<DWORD>(s.size())));
}

void TSioCustomComPort::YieldToDispatcher() {
  if (IsClosing()) return;
  if (TSioBaseDispatcher* dispatcher = RequireDispatcher()) Check(dispatcher->YieldSlice());
}

WORD TSioCustomComPort::ReadLineError() {
  if (!IsPortOpen()) return 0;
  return static_cast<WORD>(Check(static_cast<WORD>(FDispatcher->TakeLineError())));
}

bool TSioCustomComPort::ReadLineBreak() {
  if (!IsPortOpen()) return false;
  return FDispatcher->TakeBreakFlag();
}

void TSioCustomComPort::CopySettingsFrom(TObject* source) {
  auto* other = dynamic_cast<TSioCustomComPort*>(source);
  if (other == nullptr || other == this) return;
  FPortUsers.clear();
  for (const auto& user : other->FPortUsers) FPortUsers.push_back(std::make_unique<TPortUser>(*user));
  if (other->IsPortOpen() && other->FDispatcher != nullptr) {
    other->FDispatcher->SaveTriggers(FSavedTriggers);
    FRestoreTriggersOnOpen = true;
  }
  FForceApply = other->FForceApply;
  FDeviceLayer = other->FDeviceLayer;
  FComNumber = other->FComNumber;
  FBaud = other->FBaud;
  FParity = other->FParity;
  FDataBits = other->FDataBits;
  FStopBits = other->FStopBits;
  FInSize = other->FInSize;
  FOutSize = other->FOutSize;
  FOpen = false;
  FAutoOpen = other->FAutoOpen;
  FPromptForPort = other->FPromptForPort;
  FRS485Mode = other->FRS485Mode;
  FWorkerPriorityBoost = other->FWorkerPriorityBoost;
  FDTR = other->FDTR;
  FRTS = other->FRTS;
  FBufferFull = other->FBufferFull;
  FBufferResume = other->FBufferResume;
  FHWFlowOptions = other->FHWFlowOptions;
  FSWFlowOptions = other->FSWFlowOptions;
  FXOnChar = other->FXOnChar;
  FXOffChar = other->FXOffChar;
  FTracing = other->FTracing;
  FTraceSize = other->FTraceSize;
  FTraceName = other->FTraceName;
  FTraceHex = other->FTraceHex;
  FTraceAllHex = other->FTraceAllHex;
  FLogging = other->FLogging;
  FLogSize = other->FLogSize;
  FLogName = other->FLogName;
  FLogHex = other->FLogHex;
  FLogAllHex = other->FLogAllHex;
  FAvailTriggerLength = other->FAvailTriggerLength;
  SetOnTrigger(other->FOnTrigger);
  SetOnTriggerAvail(other->FOnTriggerAvail);
  SetOnTriggerData(other->FOnTriggerData);
  SetOnTriggerStatus(other->FOnTriggerStatus);
  SetOnTriggerTimer(other->FOnTriggerTimer);
  OnPortOpen = other->OnPortOpen;
  OnPortClose = other->OnPortClose;
  FTapiMode = other->FTapiMode;
}

// ---------------------------------------------------------------------------
// Port users

void TSioCustomComPort::AddPortUser(HWND window) {
  auto user = std::make_unique<TPortUser>();
  user->Window = window;
  FPortUsers.push_back(std::move(user));
}

void TSioCustomComPort::AddPortUser(TPortUserCallback callback, void* data) {
  auto user = std::make_unique<TPortUser>();
  user->Callback = callback;
  user->Data = data;
  FPortUsers.push_back(std::move(user));
}

bool TSioCustomComPort::RemovePortUser(HWND window) {
  for (auto it = FPortUsers.begin(); it != FPortUsers.end(); ++it) {
    if ((*it)->Window == window) {
      FPortUsers.erase(it);
      return true;
    }
  }
  return false;
}

bool TSioCustomComPort::RemovePortUser(TPortUserCallback callback, void* data) {
  for (auto it = FPortUsers.begin(); it != FPortUsers.end(); ++it) {
    if ((*it)->Window == nullptr && (*it)->Callback == callback && (*it)->Data == data) {
      FPortUsers.erase(it);
      return true;
    }
  }
  return false;
}

void TSioCustomComPort::NotifyUsers(UINT message, bool opening) {
  // A user may remove itself while told; walk a copy, last entry first.
  std::vector<TPortUser> users;
  for (const auto& user : FPortUsers) users.push_back(*user);
  for (auto it = users.rbegin(); it != users.rend(); ++it) {
    if (it->Window != nullptr) {
      SendMessageA(it->Window, message, 0, 0);
    } else if (it->Callback != nullptr) {
      it->Callback(it->Data, this, opening);
    }
  }
}

void TSioCustomComPort::NotifyPortOpened() {
  NotifyUsers(msgPortOpened, true);
  if (OnPortOpen) OnPortOpen(this);
}

void TSioCustomComPort::NotifyPortClosing() {
  NotifyUsers(msgPortClosed, false);
  if (OnPortClose) OnPortClose(this);
}
