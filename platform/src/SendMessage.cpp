// Sending messages: a direct call on the owner thread, otherwise a record in
// the owner's queue that the sender waits on, serving messages sent to itself
// meanwhile (unless SMTO_BLOCK), so two threads sending to each other's
// windows do not deadlock.
#include <algorithm>

#include "MessageQueue.h"
#include "Window.h"
#include "synch.h"
#include "winerror.h"

using namespace qorv::platform;

namespace {

struct SendOutcome {
  DWORD error = 0;
  LRESULT result = 0;
};

// Takes an unanswered record back out of the owner's queue, so a message that
// timed out is never handled after its sender returned.
void WithdrawLocked(MessageQueue& target, const std::shared_ptr<SentMessage>& sent) {
  if (sent->started) return;
  auto& incoming = target.incoming;
  incoming.erase(std::remove(incoming.begin(), incoming.end(), sent), incoming.end());
}

SendOutcome SendToOtherThread(std::unique_lock<std::mutex>& lock, const std::shared_ptr<MessageQueue>& target,
                              const std::shared_ptr<SentMessage>& sent, UINT flags,
                              std::optional<WaitClock::time_point> deadline) {
  auto self = CurrentQueueLocked();
  target->incoming.push_back(sent);
  target->AddInputLocked(QS_SENDMESSAGE);
  bool serve = !(flags & SMTO_BLOCK);
  WaitFilterScope scope(*self, QueueFilter{nullptr, 0, 0, QS_SENDMESSAGE}, serve);
  constexpr DWORD kIncoming = 1;
  try {
    for (;;) {
      self->lastRead = WaitClock::now();
      DWORD woke = WaitOnObjects(lock, {sent->done}, false, deadline, serve ? self.get() : nullptr, kIncoming);
      if (woke == WAIT_OBJECT_0) break;
      if (woke == kIncoming) {
        ServeSentMessages(lock, *self);
        continue;
      }
      WithdrawLocked(*target, sent);
      return {ERROR_TIMEOUT, 0};
    }
  } catch (...) {
    WithdrawLocked(*target, sent);
    throw;
  }
  if (sent->failed) return {ERROR_INVALID_WINDOW_HANDLE, 0};
  return {0, sent->result};
}

SendOutcome Send(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT flags,
                 std::optional<WaitClock::time_point> deadline) {
  std::unique_lock lock(WaitLock());
  auto window = FindWindowLocked(hWnd);
  if (!window) return {ERROR_INVALID_WINDOW_HANDLE, 0};
  auto target = window->queue;
  if (!target || target->threadId == GetCurrentThreadId()) {
    lock.unlock();
    return {0, CallProc(window, msg, wParam, lParam)};
  }
  if (!target->alive) return {ERROR_INVALID_WINDOW_HANDLE, 0};
  if ((flags & SMTO_ABORTIFHUNG) && target->HungLocked()) return {ERROR_TIMEOUT, 0};
  auto sent = std::make_shared<SentMessage>();
  sent->hwnd = hWnd;
  sent->message = msg;
  sent->wParam = wParam;
  sent->lParam = lParam;
  return SendToOtherThread(lock, target, sent, flags, deadline);
}

// Every top-level window, message-only ones excluded, as Windows broadcasts.
std::vector<HWND> TopLevelWindows() {
  std::lock_guard guard(WaitLock());
  return User().topLevel;
}

}  // namespace

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (hWnd == HWND_BROADCAST) {
    for (HWND window : TopLevelWindows()) Send(window, Msg, wParam, lParam, SMTO_NORMAL, std::nullopt);
    return TRUE;
  }
  SendOutcome outcome = Send(hWnd, Msg, wParam, lParam, SMTO_NORMAL, std::nullopt);
  if (outcome.error) SetLastError(outcome.error);
  return outcome.result;
}

LRESULT WINAPI SendMessageTimeoutA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, UINT fuFlags, UINT uTimeout,
                                   PDWORD_PTR lpdwResult) {
  if (hWnd == HWND_BROADCAST) {
    for (HWND window : TopLevelWindows()) Send(window, Msg, wParam, lParam, fuFlags, DeadlineAfter(uTimeout));
    if (lpdwResult) *lpdwResult = 0;
    return TRUE;
  }
  SendOutcome outcome = Send(hWnd, Msg, wParam, lParam, fuFlags, DeadlineAfter(uTimeout));
  if (outcome.error) {
    SetLastError(outcome.error);
    return 0;
  }
  if (lpdwResult) *lpdwResult = static_cast<DWORD_PTR>(outcome.result);
  return TRUE;
}

BOOL WINAPI InSendMessage() { return IsServingSend() ? TRUE : FALSE; }

BOOL WINAPI ReplyMessage(LRESULT lResult) { return ReplyToCurrentSend(lResult); }
