// The device-independent half of a serial port: input and output rings, the
// shadow of the line state, modem-line and error shadows, triggers and their
// notification, the trace and the dispatch log. A device layer derives from
// TSioBaseDispatcher and implements the device operations.
//
// Threads. The port component calls from its GUI thread; the dispatch worker
// fills the input ring, polls status and runs the trigger checks; the output
// worker drains the output ring. Locks, in the only order they may nest:
//   InputLock  -> OutputLock   (status refresh while filling the input ring)
//   InputLock  -> StateLock    (trace and log appends while reading)
// OutputLock and StateLock are never held together, and no lock is held while
// a worker is waited for or a handler is called. PortListLock is taken alone.
//
// Results: 0 success, a positive value passed through, a negative error code.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "SioDispatchLock.h"
#include "SioMisc.h"
#include "windows.h"

class TSioCustomComPort;
class TSioDispatcherThread;

constexpr DWORD InputRingSize = 8192;
// OpenDevice's result when the device layer could not make its read event.
constexpr LONG ecDispatcherOutOfMemory = -8;
constexpr DWORD MaxPatternLength = 22;
// An input-ring index that no byte has: no avail message sent yet.
constexpr DWORD NoRingPosition = InputRingSize;
constexpr DWORD MaxTraceCapacity = 4000000;

// Trigger messages; lParam carries DispatcherHandle in its high word.
constexpr UINT msgTriggerAvail = 0x7E01;
constexpr UINT msgTriggerData = 0x7E02;
constexpr UINT msgTriggerTimer = 0x7E03;
constexpr UINT msgTriggerStatus = 0x7E04;
constexpr UINT msgPortOpened = 0x7E08;
constexpr UINT msgPortClosed = 0x7E09;
constexpr UINT msgCloseDone = 0x7E0A;

// OpenDevice flags.
constexpr DWORD OpenFlagDtrOn = 0x01;
constexpr DWORD OpenFlagRtsOn = 0x02;
constexpr DWORD OpenFlagDtrHandshake = 0x10;
constexpr DWORD OpenFlagRtsHandshake = 0x20;

// Bits of ErrorFlags.
constexpr DWORD LineErrorRxOver = 0x01;
constexpr DWORD LineErrorOverrun = 0x02;
constexpr DWORD LineErrorParity = 0x04;
constexpr DWORD LineErrorFraming = 0x08;
constexpr DWORD LineErrorBreak = 0x10;

// Bits of ModemLines: levels in the high nibble, change bits in the low one.
constexpr BYTE ModemCtsChanged = 0x01;
constexpr BYTE ModemDsrChanged = 0x02;
constexpr BYTE ModemRingEnded = 0x04;
constexpr BYTE ModemDcdChanged = 0x08;
constexpr BYTE ModemCts = 0x10;
constexpr BYTE ModemDsr = 0x20;
constexpr BYTE ModemRing = 0x40;
constexpr BYTE ModemDcd = 0x80;

// Status trigger kinds (also the low three bits of a status trigger's handle).
constexpr DWORD StatusKindModem = 1;
constexpr DWORD StatusKindLineError = 2;
constexpr DWORD StatusKindOutputFree = 3;
constexpr DWORD StatusKindOutputUsed = 4;
constexpr DWORD StatusKindOutputSent = 5;

// Worker priority levels: 0 idle, 3 normal, 6 time critical.
constexpr int WorkerPriorityNormal = 3;

using TTriggerProcedure = void (*)(UINT msg, WPARAM wParam, LPARAM lParam);

// A method: a plain function taking the object it was bound to.
struct TTriggerMethod {
  void (*Code)(void* object, UINT msg, WPARAM wParam, LPARAM lParam) = nullptr;
  void* Object = nullptr;
  bool operator==(const TTriggerMethod&) const = default;
};

struct TWindowHandler {
  HWND Window = nullptr;
  bool Deleted = false;
};

struct TProcedureHandler {
  TTriggerProcedure Procedure = nullptr;
  bool Deleted = false;
};

struct TEventHandler {
  TTriggerMethod Method;
  bool Deleted = false;
  bool Synchronized = false;
};

struct TTimerTrigger {
  DWORD Handle = 0;
  TickTimer Timer{};
  bool Active = false;
};

struct TDataTrigger {
  DWORD Handle = 0;
  DWORD PatternLength = 0;  // 0: inactive
  DWORD MatchState[MaxPatternLength] = {};
  bool Matched = false;
  bool IgnoreCase = false;
  BYTE Pattern[24] = {};
};

struct TStatusTrigger {
  DWORD Handle = 0;
  DWORD Kind = 0;
  WORD Condition = 0;
  bool Armed = false;
  bool Hit = false;
};

using TTimerTriggerList = std::vector<TTimerTrigger>;
using TDataTriggerList = std::vector<TDataTrigger>;
using TStatusTriggerList = std::vector<TStatusTrigger>;

// Saved trigger set; a list may be absent.
struct TTriggerSnapshot {
  DWORD LengthTrigger = 0;
  std::unique_ptr<TTimerTriggerList> TimerTriggers;
  std::unique_ptr<TDataTriggerList> DataTriggers;
  std::unique_ptr<TStatusTriggerList> StatusTriggers;
};

// Header of one dispatch log entry, as stored in the log ring (16 bytes).
struct TLogEntryHeader {
  BYTE Event;
  BYTE SubEvent;
  BYTE Reserved[2];
  DWORD Time;
  DWORD Data;
  DWORD Count;
};
static_assert(sizeof(TLogEntryHeader) == 16);

class TSioBaseDispatcher;

// The process-wide list of dispatchers; an entry's index is the dispatcher's
// handle, an empty entry is null. Guarded by PortListLock.
extern std::vector<TSioBaseDispatcher*> PortList;
extern CRITICAL_SECTION PortListLock;

class TSioBaseDispatcher {
 public:
  explicit TSioBaseDispatcher(TSioCustomComPort* owner);
  // Unregisters and frees the lists. The device operations are gone by the
  // time a base destructor runs, so the most-derived destructor calls
  // CloseBeforeDestroy first.
  virtual ~TSioBaseDispatcher();
  // Closes the device, or finishes a close deferred while handlers ran.
  void CloseBeforeDestroy();
  TSioBaseDispatcher(const TSioBaseDispatcher&) = delete;
  TSioBaseDispatcher& operator=(const TSioBaseDispatcher&) = delete;

  // ---- Device operations, slots 0 to 17. ----
  virtual int EscapeFunction(DWORD code) = 0;
  virtual int FlushSide(bool input) = 0;
  // Fills the status record and returns the driver's new error flags.
  virtual DWORD RefreshStatus(COMSTAT& status) = 0;
  virtual void ReadFailed(int code) = 0;
  virtual int ReadLineState(DCB& record) = 0;
  // Never waits for bytes; returns the count read.
  virtual int ReadDevice(void* buffer, DWORD count) = 0;
  virtual int WriteLineState(DCB& record) = 0;
  virtual int QueueOutput(const void* bytes, DWORD count) = 0;
  virtual bool WaitDeviceEvent(DWORD& mask, OVERLAPPED* record) = 0;
  virtual bool SetQueueSizes(DWORD inputSize, DWORD outputSize) = 0;
  virtual void StopAndFreeRings();
  virtual void StartWorkers() = 0;
  virtual void StopWorkers() = 0;
  // The handle value (which also becomes DeviceHandle), or a negative code.
  virtual LONG_PTR OpenDeviceHandle(const char* name, DWORD inputSize, DWORD outputSize) = 0;
  virtual int CloseDeviceHandle() = 0;
  virtual int YieldSlice() = 0;
  virtual void SetPriorityBoost(BYTE boost);
  virtual void SetHandlerService(int kind);

  // ---- Hooks beyond the slots, with working defaults. ----
  // The driver's modem status (MS_*_ON bits); the default asks DeviceHandle.
  virtual DWORD ReadModemStatus();
  // Runs an event handler flagged Synchronized on the GUI thread; the default
  // calls it on the calling thread.
  virtual void CallSynchronized(const TTriggerMethod& method, UINT msg, WPARAM wParam, LPARAM lParam);
  // Sets one running worker's priority (0 idle .. 3 normal .. 6 time critical).
  virtual void SetWorkerPriority(TSioDispatcherThread* worker, int level);
  // Posts the message once no worker runs any more, at once when none does:
  // a close that finishes after its workers is told so without waiting.
  virtual void PostWhenWorkersEnded(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

  // ---- Open and close (GUI thread). ----
  // 0; -8 when the device layer could not make its read event; else the
  // negated system error of the device open, queue sizes or line settings.
  // A failed open leaves no device, no rings and no worker events.
  int OpenDevice(const char* name, DWORD baud, int parity, int dataBits, int stopBits, DWORD inputSize,
                 DWORD outputSize, DWORD flags);
  // Deferred (ClosePending) when called from inside a trigger handler: the
  // dispatch worker then frees the rings as it ends.
  void CloseDevice();

  // ---- Line settings and flow control. ----
  // Keep values: baud 0, parity 5, data bits 9, stop bits 3. Waits for the
  // output to drain before a change; 0 without any device write when nothing
  // changes.
  int ChangeLineSettings(DWORD baud, int parity, int dataBits, int stopBits);
  void QueryLineSettings(DWORD& baud, WORD& parity, BYTE& dataBits, BYTE& stopBits);
  void WaitOutputDrained();
  static DWORD TranslateBaud(DWORD value);
  int ApplyLineState(DCB& record);
  // 1 (nothing done) while the line is in handshake; -1002 when the escape fails.
  int DriveDtr(bool level);
  int DriveRts(bool level);
  // -1002, with the device untouched, when resume > full or full > InQueueSize.
  int ConfigureHardwareFlow(DWORD full, DWORD resume, DWORD options);
  int ConfigureXonXoffFlow(DWORD full, DWORD resume, DWORD options);
  int DisableXonXoffFlow();
  int ChangeFlowChars(char xonChar, char xoffChar);
  int ApplyQueueSizes(DWORD inputSize, DWORD outputSize);

  // ---- Status. ----
  BYTE ReadModemLines(BYTE mask);
  void PollModemLines();
  void PollDeviceErrors();
  // 1 receive overrun, 2 overrun, 3 parity, 4 framing, 9 break, 0 none; the
  // break stays until TakeBreakFlag.
  int TakeLineError();
  bool TakeBreakFlag();

  // ---- Input ring (any reading thread; dispatch worker fills it). ----
  static DWORD RingDistance(DWORD head, DWORD tail, bool full);
  bool HasInput();
  // Position n counts from 1. -3007 when fewer bytes wait, -1002 for n = 0.
  int PeekInput(BYTE& value, DWORD n);
  // -3007 when nothing waits. During a data notification a read on the
  // notified handler's thread only looks ahead; every other reader consumes.
  int TakeInput(BYTE& value);
  DWORD InputCount();
  int DiscardInput();

  // ---- Output ring (any writing thread; output worker drains it). ----
  // All or nothing: -3006 when the block exceeds the free space (also after
  // close), -3004 when the device layer queued nothing, -3010 for RS-485
  // without a UART base on platforms with port I/O.
  int WriteBlock(const void* bytes, DWORD count);
  int WriteByte(BYTE value);
  DWORD OutputCount();
  DWORD OutputSpace();
  int DiscardOutput();

  // ---- Triggers and notification (dispatch worker unless stated). ----
  // False when a close was requested during the delivery, or when an avail
  // message's bytes were not all taken. The data rides in lParam's low word.
  // A handler's exception passes through, after the delivery has ended as if
  // a close had been requested in it.
  bool NotifyHandlers(UINT msg, WPARAM wParam, DWORD data);
  bool CheckDataMatch();
  bool CheckStatusChange();
  bool CheckTimerExpiry();
  // Moves what the driver holds into the input ring; true when it held
  // bytes or the ring is full. The driver is asked and read without
  // InputLock, so readers taking bytes meanwhile never wait on the device.
  bool FillInputRing();
  // The same, unless `busy` is set when the fill would start: then nothing is
  // read, and the bytes are left for the next fill.
  bool FillInputRingUnless(const std::atomic<bool>& busy);
  static bool MatchDataByte(TDataTrigger& trigger, BYTE c);
  void DropAllTriggers();
  void ClearStatusHits();
  void ResetDataMatchers();
  void RegisterWindowHandler(HWND window);
  void DeregisterWindowHandler(HWND window);
  void SetLengthTrigger(DWORD count);
  void SaveTriggers(TTriggerSnapshot& snapshot);
  void RestoreTriggers(const TTriggerSnapshot& snapshot);
  static void FreeTriggerSnapshot(TTriggerSnapshot& snapshot);
  static DWORD StatusKindOfHandle(DWORD handle) { return handle & 7; }
  int QueryFlowOptions(DWORD& hardware, DWORD& xonXoff, char& xonChar, char& xoffChar);
  void SetOptionBits(DWORD bits);
  void ClearOptionBits(DWORD bits);
  void ApplyRs485Mode(bool on);
  BYTE ReadIoPort(WORD address);

  // Adding and removing triggers and procedure/event handlers. The port
  // component never calls these; they serve other users of the dispatcher.
  // Each Add returns the new trigger's handle (a status handle carries its kind
  // in its low three bits) or -1002 for a bad argument.
  int AddTimerTrigger(DWORD milliseconds);
  int AddDataTrigger(const void* pattern, DWORD length, bool ignoreCase);
  int AddStatusTrigger(DWORD kind, WORD condition);
  bool RemoveTrigger(DWORD handle);
  void AddProcedureHandler(TTriggerProcedure procedure);
  void RemoveProcedureHandler(TTriggerProcedure procedure);
  void AddEventHandler(const TTriggerMethod& method, bool synchronized);
  void RemoveEventHandler(const TTriggerMethod& method);

  // ---- Trace (StateLock). ----
  // -1002 above MaxTraceCapacity entries.
  int StartTraceBuffer(DWORD capacity);
  int ResetTraceBuffer();
  void FreeTraceBuffer();
  void EnableTraceEntries();
  void DisableTraceEntries();
  void AddTraceEntry(char type, BYTE value);
  // 0, or the negated Windows error of opening, writing or closing. Ends the
  // trace either way; an empty trace touches no file.
  int WriteTraceFile(const std::string& fileName, bool append, bool inHex, bool allHex);

  // ---- Dispatch log (StateLock). ----
  void StartLogBuffer(DWORD capacity);
  void ResetLogBuffer();
  void FreeLogBuffer();
  void EnableLogEntries();
  void DisableLogEntries();
  // Stores the whole entry (16-byte header and data), dropping the oldest
  // entries as needed, or, when it could never fit the ring, nothing. An
  // entry as long as the ring fits. The time counts from OpenTime.
  void AddLogEntry(BYTE event, BYTE subEvent, DWORD data, const void* dataBytes, DWORD count);
  bool PutLogBytes(const void* bytes, DWORD length);
  bool TakeLogEntry(TLogEntryHeader& header, std::vector<BYTE>& scratch, DWORD& count);
  // 0, or the negated Windows error. An open failure keeps the entries (with
  // logging paused); otherwise logging ends. An empty log touches no file.
  int WriteLogFile(const std::string& fileName, bool append, bool inHex, bool allHex);

  // ---- Fields. Thread and lock named where it matters. ----
  TSioCustomComPort* Owner;   // null for a port dialog probe
  int DispatcherHandle = -1;  // PortListLock
  HANDLE DeviceHandle = INVALID_HANDLE_VALUE;
  // OR-ed by status refreshes under OutputLock, taken under StateLock: the two
  // locks never nest, so the word itself is atomic.
  std::atomic<DWORD> ErrorFlags = 0;
  DWORD InQueueSize = 0;
  DWORD OutQueueSize = 0;
  DWORD ModemLines = 0;  // StateLock
  COMSTAT DeviceStatus{};
  DCB LineState{};  // StateLock
  DWORD AppliedBaud = 0;
  bool DtrOn = false;
  bool RtsOn = false;
  bool DtrHandshake = false;
  bool RtsHandshake = false;
  bool Rs485Active = false;
  WORD UartBase = 0;
  bool NtPlatform = true;  // this platform has no x86 I/O ports, as on NT

  // Input ring: InputLock. The positions, the full flag and the read-ahead
  // flag are changed only under it, but atomic, so that asking whether bytes
  // wait needs no lock.
  std::unique_ptr<BYTE[]> InputRing;
  std::atomic<DWORD> InHead = 0;
  std::atomic<DWORD> InTail = 0;
  std::atomic<bool> InputFull = false;
  // Odd while the positions are set back to the start: no single order of
  // those stores keeps an empty ring looking empty, so a reader without the
  // lock that sees this change asks again under it.
  std::atomic<DWORD> InputResets = 0;
  // Changes whenever the waiting bytes are dropped or the ring is set up
  // again; a fill that read outside InputLock keeps its bytes only if the
  // count is unchanged when it adds them.
  DWORD InputEpoch = 0;
  // After the last fill: whether it took everything the driver held (the
  // workers, one fill at a time).
  std::atomic<bool> DriverDrained = true;
  std::atomic<bool> ReadAheadActive = false;
  DWORD ReadAheadCount = 0;
  DWORD ReadAheadMax = 0;
  DWORD ReadAheadThread = 0;  // the thread whose reads are the notified handler's

  // Output ring: OutputLock.
  std::unique_ptr<BYTE[]> OutputRing;
  DWORD OutHead = 0;
  DWORD OutTail = 0;
  bool OutputFull = false;
  std::atomic<bool> OutputWritten = false;  // set under OutputLock, taken by the status check

  // Worker state (device layer).
  std::atomic<bool> StopRequested = false;
  std::atomic<TSioDispatcherThread*> ComWorker = nullptr;
  std::atomic<TSioDispatcherThread*> DispWorker = nullptr;
  std::atomic<TSioDispatcherThread*> OutWorker = nullptr;
  BYTE PriorityBoost = 0;
  DWORD EventMask = 0;
  std::atomic<bool> RingSeen = false;
  std::atomic<bool> HandlersRunning = false;
  std::atomic<bool> ClosePending = false;
  std::atomic<bool> WorkersRunning = false;
  std::atomic<bool> FreeOnWorkerExit = false;
  LONG RunningWorkers = 0;
  HANDLE EventReady = nullptr;
  HANDLE ServiceDone = nullptr;
  HANDLE WorkerAck = nullptr;
  HANDLE OutputQueued = nullptr;
  HANDLE WriteDone = nullptr;
  HANDLE FlushRequest = nullptr;
  DWORD MainThreadId;  // the creating (GUI) thread, where synchronized handlers run

  CRITICAL_SECTION StateLock;
  CRITICAL_SECTION OutputLock;
  CRITICAL_SECTION InputLock;
  // One fill at a time: a fill writes the free part of the ring unlocked.
  std::mutex FillLock;

  // Handlers and triggers: StateLock while changed.
  std::vector<std::unique_ptr<TWindowHandler>> WindowHandlers;
  std::vector<std::unique_ptr<TProcedureHandler>> ProcedureHandlers;
  std::vector<std::unique_ptr<TEventHandler>> EventHandlers;
  TTimerTriggerList TimerTriggerList;
  TDataTriggerList DataTriggerList;
  TStatusTriggerList StatusTriggerList;
  DWORD NextTriggerHandle = 1;
  DWORD LengthTrigger = 0;
  // The first byte not yet run through the data triggers, and how many bytes
  // from there up to InHead are still to be run (InputLock). A ring filled
  // exactly from ScanPosition has its head back at ScanPosition, so the
  // position alone cannot tell "all new" from "none". The bytes still to be
  // run are always among the waiting ones: a reader that takes bytes the scan
  // has not reached moves it up to the oldest waiting byte.
  DWORD ScanPosition = 0;
  DWORD ScanBacklog = 0;
  DWORD AvailNotifiedAt = NoRingPosition;
  bool StatusHitThisPass = false;
  bool HandlerService = false;
  bool PortHandlerActive = false;
  bool HandlerListDirty = false;
  DWORD OptionBits = 0;
  std::string DeviceName;

  // Trace: StateLock.
  std::unique_ptr<BYTE[]> TraceBuffer;
  DWORD TraceCapacity = 0;
  DWORD TraceNext = 0;
  bool TraceWrapped = false;
  std::atomic<bool> TraceActive = false;

  // Dispatch log: StateLock.
  std::unique_ptr<BYTE[]> LogBuffer;
  DWORD LogCapacity = 0;
  DWORD LogHead = 0;
  DWORD LogTail = 0;
  DWORD LogFree = 0;
  std::vector<BYTE> LogScratch;
  std::atomic<bool> LogActive = false;
  DWORD OpenTime = 0;

 private:
  int FailOpen(int code);
  void RegisterInPortList();
  void RemoveFromPortList();
  bool CreateWorkerEvents();
  void CloseWorkerEvents();
  int DriveLine(bool level, bool handshake, bool& stored, DWORD raiseCode, DWORD lowerCode);
  bool IsReadAheadRead() const;
  // Bytes waiting from InTail through position - back; 0 when a reader has
  // taken that position already.
  DWORD UptoPosition(DWORD position, DWORD back);
  // PeekInput's work; InputLock held.
  int PeekInputLocked(BYTE& value, DWORD n) const;
  // Takes the next unscanned bytes through the data matchers, stopping after
  // the byte that completes a match; true then, with its position in
  // matchedAt. Skips them all when no trigger has a pattern.
  bool ScanNewBytes(DWORD& matchedAt, DWORD& longest, DWORD& lengthTrigger, bool& scanned);
  // Sets the positions back to the start of an empty ring; InputLock held.
  void ResetInputPositions();
  // Moves the scan up to InTail when readers took bytes it had not reached.
  // InputLock held.
  void KeepScanWithinInput();
  // Reads up to count bytes into the ring at position; how many came.
  DWORD ReadIntoRing(DWORD position, DWORD count);
  // FillInputRing's work; FillLock held.
  bool FillInputRingHeld();
  template <class Handler, class Call>
  bool DeliverToList(std::vector<std::unique_ptr<Handler>>& list, const Call& call, bool& stopped);
  void DeliverToAllHandlers(UINT msg, WPARAM wParam, DWORD data, bool portHandlerActive, bool& stopped);
  // The accounting after a delivery (also one a handler's exception ended);
  // NotifyHandlers' result.
  bool EndDelivery(bool stopped, bool readAhead, UINT msg, WPARAM wParam);
  void PurgeDeletedHandlers();
  int CreateStatusHandle(DWORD kind);
  void CopyLogPiece(BYTE* out, DWORD length, DWORD& position);
};
