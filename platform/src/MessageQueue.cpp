#include "MessageQueue.h"

#include <algorithm>
#include <exception>

#include "synch.h"
#include "timing.h"
#include "winerror.h"

namespace qorv::platform {

namespace {

// Drops the thread's queue when the thread ends without ReleaseThreadQueue
// (std::thread, the main thread at exit).
struct QueueSlot {
  std::shared_ptr<MessageQueue> queue;
  ~QueueSlot();
};
thread_local QueueSlot currentSlot;

// The sent message the calling thread is serving, for InSendMessage and
// ReplyMessage.
thread_local SentMessage* currentSent = nullptr;

void FinishSendLocked(SentMessage& sent, LRESULT result, bool failed) {
  if (sent.answered) return;
  sent.answered = true;
  sent.result = result;
  sent.failed = failed;
  sent.done->SetLocked();
}

void DropQueueLocked(MessageQueue& queue) {
  queue.alive = false;
  queue.FailSendsLocked();
  queue.posted.clear();
  queue.timers.clear();
  queue.quitPosted = false;
  auto& queues = User().queues;
  auto it = queues.find(queue.threadId);
  if (it != queues.end() && it->second.get() == &queue) queues.erase(it);
}

QueueSlot::~QueueSlot() {
  if (!queue) return;
  DestroyThreadWindows(*queue, false);
  std::lock_guard guard(WaitLock());
  DropQueueLocked(*queue);
}

class CurrentSentScope {
 public:
  explicit CurrentSentScope(SentMessage* sent) : saved_(currentSent) { currentSent = sent; }
  ~CurrentSentScope() { currentSent = saved_; }
  CurrentSentScope(const CurrentSentScope&) = delete;
  CurrentSentScope& operator=(const CurrentSentScope&) = delete;

 private:
  SentMessage* saved_;
};

}  // namespace

bool MessageInRange(UINT message, UINT min, UINT max) {
  if (min == 0 && max == 0) return true;
  return message >= min && message <= max;
}

UINT KindOfMessage(UINT message) {
  if (message >= WM_KEYFIRST && message <= WM_KEYLAST) return QS_KEY;
  if (message == WM_MOUSEMOVE) return QS_MOUSEMOVE;
  if (message > WM_MOUSEFIRST && message <= WM_MOUSELAST) return QS_MOUSEBUTTON;
  return QS_POSTMESSAGE | QS_ALLPOSTMESSAGE;
}

bool WindowFilterAccepts(HWND filter, HWND hwnd) {
  if (filter == nullptr) return true;
  if (filter == kThreadMessagesOnly) return hwnd == nullptr;
  return hwnd == filter || (hwnd != nullptr && IsDescendantLocked(filter, hwnd));
}

struct MessageQueue::Candidate {
  enum Kind { Posted, Quit, Paint, TimerDue } kind;
  std::size_t index;
};

std::optional<MessageQueue::Candidate> MessageQueue::FindLocked(const QueueFilter& filter) const {
  for (std::size_t i = 0; i < posted.size(); ++i) {
    const MSG& msg = posted[i];
    if ((KindOfMessage(msg.message) & filter.mask) && MessageInRange(msg.message, filter.min, filter.max) &&
        WindowFilterAccepts(filter.hwnd, msg.hwnd))
      return Candidate{Candidate::Posted, i};
  }
  // WM_QUIT reaches only reads without a window filter, as on Windows.
  bool threadFilter = filter.hwnd == nullptr || filter.hwnd == kThreadMessagesOnly;
  if (quitPosted && threadFilter && (filter.mask & QS_POSTMESSAGE) && MessageInRange(WM_QUIT, filter.min, filter.max))
    return Candidate{Candidate::Quit, 0};
  if ((filter.mask & QS_PAINT) && MessageInRange(WM_PAINT, filter.min, filter.max)) {
    for (std::size_t i = 0; i < windows.size(); ++i) {
      const Window& window = *windows[i];
      if (window.needsPaint && !window.dead && IsVisibleLocked(window) &&
          WindowFilterAccepts(filter.hwnd, window.handle))
        return Candidate{Candidate::Paint, i};
    }
  }
  if ((filter.mask & QS_TIMER) && MessageInRange(WM_TIMER, filter.min, filter.max)) {
    auto now = WaitClock::now();
    std::optional<std::size_t> best;
    for (std::size_t i = 0; i < timers.size(); ++i) {
      const Timer& timer = timers[i];
      if (timer.due > now || !WindowFilterAccepts(filter.hwnd, timer.hwnd)) continue;
      if (!best || timer.due < timers[*best].due) best = i;
    }
    if (best) return Candidate{Candidate::TimerDue, *best};
  }
  return std::nullopt;
}

bool MessageQueue::HasInputLocked(const QueueFilter& filter) const {
  if ((filter.mask & QS_SENDMESSAGE) && !incoming.empty()) return true;
  return FindLocked(filter).has_value();
}

bool MessageQueue::HasNewInputLocked(UINT mask) const {
  if (changeBits & mask) return true;
  if (!(mask & QS_TIMER)) return false;
  auto now = WaitClock::now();
  return std::any_of(timers.begin(), timers.end(),
                     [&](const Timer& timer) { return timer.due > lastLook && timer.due <= now; });
}

void MessageQueue::AddInputLocked(UINT kinds) {
  changeBits |= kinds;
  WakeWaiters();
}

void MessageQueue::LookedLocked() {
  changeBits = 0;
  lastLook = WaitClock::now();
  quitTakenByLastLook = false;
}

bool MessageQueue::TakeLocked(const QueueFilter& filter, bool remove, MSG* out) {
  auto found = FindLocked(filter);
  if (!found) return false;
  MSG msg{};
  msg.time = GetTickCount();
  switch (found->kind) {
    case Candidate::Posted:
      msg = posted[found->index];
      if (remove) posted.erase(posted.begin() + static_cast<std::ptrdiff_t>(found->index));
      break;
    case Candidate::Quit:
      msg.message = WM_QUIT;
      msg.wParam = static_cast<WPARAM>(quitCode);
      if (remove) {
        quitPosted = false;
        quitTakenByLastLook = true;
      }
      break;
    case Candidate::Paint:
      msg.hwnd = windows[found->index]->handle;
      msg.message = WM_PAINT;
      break;
    case Candidate::TimerDue: {
      Timer& timer = timers[found->index];
      msg.hwnd = timer.hwnd;
      msg.message = WM_TIMER;
      msg.wParam = timer.id;
      msg.lParam = reinterpret_cast<LPARAM>(timer.proc);
      // The next period counts from this removal, so at most one WM_TIMER
      // per timer is ever pending, however long the thread did not read.
      if (remove) timer.due = WaitClock::now() + std::chrono::milliseconds(timer.elapse);
      break;
    }
  }
  *out = msg;
  return true;
}

std::optional<WaitClock::time_point> MessageQueue::NextTimerDueLocked(const QueueFilter& filter) const {
  if (!(filter.mask & QS_TIMER) || !MessageInRange(WM_TIMER, filter.min, filter.max)) return std::nullopt;
  std::optional<WaitClock::time_point> next;
  for (const Timer& timer : timers) {
    if (!WindowFilterAccepts(filter.hwnd, timer.hwnd)) continue;
    // A timer that fell due before the last look is no new input.
    if (filter.newOnly && timer.due <= lastLook) continue;
    if (!next || timer.due < *next) next = timer.due;
  }
  return next;
}

UINT MessageQueue::StatusLocked() const {
  UINT kinds = incoming.empty() ? 0 : QS_SENDMESSAGE;
  for (const MSG& msg : posted) kinds |= KindOfMessage(msg.message);
  if (quitPosted) kinds |= QS_POSTMESSAGE | QS_ALLPOSTMESSAGE;
  QueueFilter paintOnly{nullptr, 0, 0, QS_PAINT};
  if (FindLocked(paintOnly)) kinds |= QS_PAINT;
  QueueFilter timerOnly{nullptr, 0, 0, QS_TIMER};
  if (FindLocked(timerOnly)) kinds |= QS_TIMER;
  return kinds;
}

DWORD MessageQueue::PostLocked(const MSG& msg, bool front) {
  if (!alive) return ERROR_INVALID_THREAD_ID;
  if (posted.size() >= kMaxPostedMessages) return ERROR_NOT_ENOUGH_QUOTA;
  if (front)
    posted.push_front(msg);
  else
    posted.push_back(msg);
  AddInputLocked(KindOfMessage(msg.message));
  return 0;
}

bool MessageQueue::HungLocked() const {
  if (readersBlocked > 0) return false;
  return WaitClock::now() - lastRead > kHungAfter;
}

void MessageQueue::FailSendsLocked(HWND onlyFor) {
  auto keep = incoming.begin();
  for (auto& sent : incoming) {
    if (onlyFor == nullptr || sent->hwnd == onlyFor)
      FinishSendLocked(*sent, 0, true);
    else
      *keep++ = sent;
  }
  incoming.erase(keep, incoming.end());
}

std::shared_ptr<MessageQueue> CurrentQueueLocked() {
  if (!currentSlot.queue) {
    auto queue = std::make_shared<MessageQueue>(GetCurrentThreadId());
    User().queues[queue->threadId] = queue;
    currentSlot.queue = queue;
  }
  return currentSlot.queue;
}

std::shared_ptr<MessageQueue> CurrentQueue() {
  std::lock_guard guard(WaitLock());
  return CurrentQueueLocked();
}

std::shared_ptr<MessageQueue> FindQueueLocked(DWORD threadId) {
  auto& queues = User().queues;
  auto it = queues.find(threadId);
  return it == queues.end() ? nullptr : it->second;
}

void ReleaseThreadQueue() {
  if (!currentSlot.queue) return;
  try {
    DestroyThreadWindows(*currentSlot.queue, true);
  } catch (...) {
    // A procedure that throws while its thread ends has nobody to report to.
  }
  auto queue = std::move(currentSlot.queue);
  std::lock_guard guard(WaitLock());
  DropQueueLocked(*queue);
}

bool ServeSentMessages(std::unique_lock<std::mutex>& lock, MessageQueue& queue) {
  bool served = false;
  while (!queue.incoming.empty()) {
    auto sent = queue.incoming.front();
    queue.incoming.pop_front();
    sent->started = true;
    auto window = FindWindowLocked(sent->hwnd);
    if (!window || window->dead) {
      FinishSendLocked(*sent, 0, true);
      continue;
    }
    served = true;
    LRESULT result = 0;
    std::exception_ptr error;
    {
      CurrentSentScope scope(sent.get());
      lock.unlock();
      try {
        result = CallProc(window, sent->message, sent->wParam, sent->lParam);
      } catch (...) {
        error = std::current_exception();
      }
      lock.lock();
    }
    FinishSendLocked(*sent, error ? 0 : result, false);
    if (error) std::rethrow_exception(error);
  }
  return served;
}

bool WaitForInputLocked(std::unique_lock<std::mutex>& lock, MessageQueue& queue, const QueueFilter& filter,
                        std::optional<WaitClock::time_point> deadline) {
  WaitFilterScope scope(queue, filter, (filter.mask & QS_SENDMESSAGE) != 0);
  constexpr DWORD kInput = 1;
  for (;;) {
    auto until = deadline;
    if (auto timerDue = queue.NextTimerDueLocked(filter); timerDue && (!until || *timerDue < *until)) until = timerDue;
    if (WaitOnObjects(lock, {}, false, until, &queue, kInput) == kInput) return true;
    if (deadline && WaitClock::now() >= *deadline) return false;
  }
}

BOOL ReplyToCurrentSend(LRESULT result) {
  std::lock_guard guard(WaitLock());
  if (currentSent == nullptr || currentSent->answered) return FALSE;
  FinishSendLocked(*currentSent, result, false);
  return TRUE;
}

bool IsServingSend() { return currentSent != nullptr; }

}  // namespace qorv::platform
