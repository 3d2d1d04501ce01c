// Window and thread timers. No timer thread: a timer is a due time in its
// owner's queue; reads and waits of that thread look at the clock, so WM_TIMER
// appears only while the owner reads its queue.
#include <algorithm>

#include "MessageQueue.h"
#include "Window.h"
#include "synch.h"
#include "winerror.h"

using namespace qorv::platform;

namespace {

UINT ClampElapse(UINT elapse) { return std::clamp(elapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM); }

Timer* FindTimerLocked(MessageQueue& queue, HWND hwnd, UINT_PTR id) {
  for (Timer& timer : queue.timers)
    if (timer.hwnd == hwnd && timer.id == id) return &timer;
  return nullptr;
}

UINT_PTR NewThreadTimerIdLocked(MessageQueue& queue) {
  do {
    if (++queue.lastThreadTimerId == 0) queue.lastThreadTimerId = 1;
  } while (FindTimerLocked(queue, nullptr, queue.lastThreadTimerId));
  return queue.lastThreadTimerId;
}

}  // namespace

UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
  auto queue = CurrentQueue();
  std::lock_guard guard(WaitLock());
  if (hWnd != nullptr) {
    auto window = FindWindowLocked(hWnd);
    if (!window) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    // Only the owner computes its waits from its timers, so only it sets them.
    if (window->queue != queue) {
      SetLastError(ERROR_ACCESS_DENIED);
      return 0;
    }
  }
  UINT elapse = ClampElapse(uElapse);
  auto due = WaitClock::now() + std::chrono::milliseconds(elapse);
  Timer* existing = (hWnd != nullptr || nIDEvent != 0) ? FindTimerLocked(*queue, hWnd, nIDEvent) : nullptr;
  if (existing) {
    existing->elapse = elapse;
    existing->proc = lpTimerFunc;
    existing->due = due;
  } else {
    UINT_PTR id = hWnd != nullptr ? nIDEvent : NewThreadTimerIdLocked(*queue);
    queue->timers.push_back(Timer{hWnd, id, elapse, lpTimerFunc, due});
    existing = &queue->timers.back();
  }
  return hWnd != nullptr ? 1 : existing->id;
}

BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
  std::shared_ptr<MessageQueue> queue;
  if (hWnd == nullptr) queue = CurrentQueue();
  std::lock_guard guard(WaitLock());
  if (hWnd != nullptr) {
    auto window = FindWindowLocked(hWnd);
    if (!window) return FailWith(ERROR_INVALID_WINDOW_HANDLE);
    queue = window->queue;
    if (!queue) return FailWith(ERROR_INVALID_PARAMETER);
  }
  auto& timers = queue->timers;
  auto it = std::find_if(timers.begin(), timers.end(),
                         [&](const Timer& timer) { return timer.hwnd == hWnd && timer.id == uIDEvent; });
  if (it == timers.end()) return FailWith(ERROR_INVALID_PARAMETER);
  timers.erase(it);
  return TRUE;
}
