// A thread's message queue: posted messages, the quit flag, messages sent by
// other threads, timers and the thread's windows (for WM_PAINT). It is a
// Waitable signalled while input matching the owner's current wait is there,
// so the owner blocks in WaitOnObjects on its queue alone, with its send's
// completion, or with handles (MsgWaitForMultipleObjects). Only the owner
// thread waits on its queue; other threads add to it and wake it.
//
// All fields are guarded by WaitLock() (see Window.h), except `keys`, which
// only the owner thread touches.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "KernelObject.h"
#include "Window.h"
#include "winuser.h"

namespace qorv::platform {

// A message sent from another thread, shared by sender and owner so that
// either may go first: a sender that gave up leaves the record to the owner,
// who writes a result nobody reads.
struct SentMessage {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  std::shared_ptr<SignalFlag> done = std::make_shared<SignalFlag>(true);
  LRESULT result = 0;
  bool started = false;   // the owner took it from the queue
  bool answered = false;  // result final: replied, returned or dropped
  bool failed = false;    // dropped: window gone or owner thread ended
};

struct Timer {
  HWND hwnd = nullptr;
  UINT_PTR id = 0;
  UINT elapse = 0;
  TIMERPROC proc = nullptr;
  WaitClock::time_point due;
};

// What a read or wait accepts: the window filter of PeekMessageA (null,
// (HWND)-1 or a window), the message range (0, 0 for all) and QS_* kinds.
struct QueueFilter {
  HWND hwnd = nullptr;
  UINT min = 0;
  UINT max = 0;
  UINT mask = QS_ALLINPUT;
  // Only input that arrived since the owner last looked at its queue counts,
  // as MsgWaitForMultipleObjects and WaitMessage have it on Windows.
  bool newOnly = false;
};

inline const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));
constexpr std::size_t kMaxPostedMessages = 10000;
constexpr auto kHungAfter = std::chrono::seconds(5);

class MessageQueue : public Waitable {
 public:
  explicit MessageQueue(DWORD owner) : threadId(owner), lastRead(WaitClock::now()), lastLook(lastRead) {}

  bool IsSignaled() const override {
    return waitFilter.newOnly ? HasNewInputLocked(waitFilter.mask) : HasInputLocked(waitFilter);
  }

  // All with WaitLock() held.
  bool HasInputLocked(const QueueFilter& filter) const;
  bool HasNewInputLocked(UINT mask) const;
  // Records input of these kinds as new and wakes the owner.
  void AddInputLocked(UINT kinds);
  // The owner looks at its queue (PeekMessageA, GetMessageA, GetQueueStatus):
  // what is there stops being new.
  void LookedLocked();
  // Finds the next message by priority; removes it when `remove` (a WM_PAINT
  // is never removed: it stays until the window is validated).
  bool TakeLocked(const QueueFilter& filter, bool remove, MSG* out);
  // The earliest due time of a timer the filter accepts.
  std::optional<WaitClock::time_point> NextTimerDueLocked(const QueueFilter& filter) const;
  // QS_* kinds present now.
  UINT StatusLocked() const;
  // 0, or the error that refuses the post.
  DWORD PostLocked(const MSG& msg, bool front = false);
  bool HungLocked() const;
  // Releases every waiting sender with a failure.
  void FailSendsLocked(HWND onlyFor = nullptr);

  const DWORD threadId;
  bool alive = true;
  std::deque<MSG> posted;
  bool quitPosted = false;
  int quitCode = 0;
  std::deque<std::shared_ptr<SentMessage>> incoming;
  std::vector<Timer> timers;
  UINT_PTR lastThreadTimerId = 0;
  std::vector<std::shared_ptr<Window>> windows;  // creation order
  HWND focus = nullptr;
  QueueFilter waitFilter;  // of the owner's current wait
  WaitClock::time_point lastRead;
  UINT changeBits = 0;  // kinds added since the last look
  WaitClock::time_point lastLook;
  // The last look removed WM_QUIT: a pump that puts it back with
  // PostQuitMessage adds nothing new, so its next wait does not spin.
  bool quitTakenByLastLook = false;
  int readersBlocked = 0;  // owner blocked in a wait that sent messages end
  BYTE keys[256] = {};     // owner thread only

 private:
  struct Candidate;
  std::optional<Candidate> FindLocked(const QueueFilter& filter) const;
};

// The calling thread's queue, made on first use.
std::shared_ptr<MessageQueue> CurrentQueueLocked();
std::shared_ptr<MessageQueue> CurrentQueue();
std::shared_ptr<MessageQueue> FindQueueLocked(DWORD threadId);

// Called when a thread made by CreateThread ends, before its handle is
// signalled: destroys its windows (with WM_DESTROY/WM_NCDESTROY), releases
// senders waiting on it and drops the queue. Other threads get the same,
// without window messages, from a thread-local destructor.
void ReleaseThreadQueue();

// Serves every message sent to the queue's thread (the owner calls it, with
// the lock held; the lock is released while each procedure runs). A procedure
// that throws has its sender released with 0 before the exception goes on.
bool ServeSentMessages(std::unique_lock<std::mutex>& lock, MessageQueue& queue);

// Blocks the owner until the filter's input is there or the deadline passes
// (false). Timers the filter accepts shorten the wait to their due time.
bool WaitForInputLocked(std::unique_lock<std::mutex>& lock, MessageQueue& queue, const QueueFilter& filter,
                        std::optional<WaitClock::time_point> deadline);

// Sets the owner's wait filter for one wait and restores the outer one after,
// since a procedure run while serving a send may start a wait of its own.
class WaitFilterScope {
 public:
  WaitFilterScope(MessageQueue& queue, const QueueFilter& filter, bool serving)
      : queue_(queue), saved_(queue.waitFilter), serving_(serving) {
    queue_.waitFilter = filter;
    if (serving_) ++queue_.readersBlocked;
  }
  ~WaitFilterScope() {
    queue_.waitFilter = saved_;
    if (serving_) --queue_.readersBlocked;
  }
  WaitFilterScope(const WaitFilterScope&) = delete;
  WaitFilterScope& operator=(const WaitFilterScope&) = delete;

 private:
  MessageQueue& queue_;
  QueueFilter saved_;
  bool serving_;
};

// ReplyMessage and InSendMessage for the message being served.
BOOL ReplyToCurrentSend(LRESULT result);
bool IsServingSend();

bool MessageInRange(UINT message, UINT min, UINT max);
UINT KindOfMessage(UINT message);
bool WindowFilterAccepts(HWND filter, HWND hwnd);

}  // namespace qorv::platform
