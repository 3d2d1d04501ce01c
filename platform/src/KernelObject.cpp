#include "KernelObject.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>

#include "synch.h"
#include "winerror.h"

namespace qorv::platform {

namespace {

// Handle values are multiples of four, as Windows hands them out, so that a
// stray small integer or a pseudo-handle never names a live object.
constexpr ULONG_PTR kHandleStep = 4;
constexpr std::size_t kMaxHandles = 1u << 20;

struct HandleTable {
  std::mutex lock;
  std::vector<std::shared_ptr<KernelObject>> slots;  // slot i is handle (i + 1) * 4
  std::vector<std::size_t> freeSlots;
};

HandleTable& Table() {
  // Never destroyed: worker threads may still close handles while the process
  // runs its static destructors.
  static auto* table = new HandleTable;
  return *table;
}

std::optional<std::size_t> SlotOf(HANDLE handle) {
  auto value = reinterpret_cast<ULONG_PTR>(handle);
  if (value == 0 || value % kHandleStep != 0) return std::nullopt;
  std::size_t slot = value / kHandleStep - 1;
  return slot;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
  auto& table = Table();
  std::lock_guard guard(table.lock);
  std::size_t slot;
  if (!table.freeSlots.empty()) {
    slot = table.freeSlots.back();
    table.freeSlots.pop_back();
    table.slots[slot] = std::move(object);
  } else {
    if (table.slots.size() >= kMaxHandles) {
      SetLastError(ERROR_NO_SYSTEM_RESOURCES);
      return nullptr;
    }
    slot = table.slots.size();
    table.slots.push_back(std::move(object));
  }
  return reinterpret_cast<HANDLE>((slot + 1) * kHandleStep);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
  auto slot = SlotOf(handle);
  if (!slot) return nullptr;
  auto& table = Table();
  std::lock_guard guard(table.lock);
  if (*slot >= table.slots.size()) return nullptr;
  return table.slots[*slot];
}

std::shared_ptr<KernelObject> RemoveHandle(HANDLE handle) {
  auto slot = SlotOf(handle);
  if (!slot) return nullptr;
  auto& table = Table();
  std::lock_guard guard(table.lock);
  if (*slot >= table.slots.size() || !table.slots[*slot]) return nullptr;
  auto object = std::move(table.slots[*slot]);
  table.slots[*slot] = nullptr;
  table.freeSlots.push_back(*slot);
  return object;
}

std::mutex& WaitLock() {
  static auto* lock = new std::mutex;
  return *lock;
}

// One per thread; registered on every object the thread is blocked on.
//
// It parks on a futex of its own rather than a condition variable: a
// condition variable hands WaitLock back marked as contended, so every wake-up
// (a timed-out one included) cost one more system call to release it, and a
// thread that waits in a loop paid that on every turn.
class Waiter {
 public:
  void Register(Waitable& object) { object.waiters_.push_back(this); }
  void Unregister(Waitable& object) {
    auto& list = object.waiters_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  // WaitLock held.
  void Notify() {
    signals_.fetch_add(1, std::memory_order_release);
    if (parked_) Wake();
  }
  // WaitLock held on entry through `lock`, and again on return; returns after
  // a Notify, at the deadline, or spuriously.
  void Park(std::unique_lock<std::mutex>& lock, std::optional<WaitClock::time_point> deadline) {
    const std::uint32_t seen = signals_.load(std::memory_order_acquire);
    parked_ = true;
    lock.unlock();
    Sleep(seen, deadline);
    lock.lock();
    parked_ = false;
  }

 private:
  void Wake() { syscall(SYS_futex, &signals_, FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0); }
  // A Notify between the unlock and the sleep changed the word, so the sleep
  // returns at once instead of missing it.
  void Sleep(std::uint32_t seen, std::optional<WaitClock::time_point> deadline) {
    if (!deadline) {
      syscall(SYS_futex, &signals_, FUTEX_WAIT_PRIVATE, seen, nullptr, nullptr, 0);
      return;
    }
    // The steady clock is CLOCK_MONOTONIC, which FUTEX_WAIT_BITSET measures an
    // absolute deadline on.
    auto since = std::max(deadline->time_since_epoch(), WaitClock::duration::zero());
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
    timespec until{static_cast<time_t>(seconds.count()),
                   static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds).count())};
    syscall(SYS_futex, &signals_, FUTEX_WAIT_BITSET_PRIVATE, seen, &until, nullptr, FUTEX_BITSET_MATCH_ANY);
  }

  std::atomic<std::uint32_t> signals_{0};
  bool parked_ = false;  // WaitLock
};

void Waitable::WakeWaiters() {
  for (Waiter* waiter : waiters_) waiter->Notify();
}

std::optional<WaitClock::time_point> DeadlineAfter(DWORD milliseconds) {
  if (milliseconds == INFINITE) return std::nullopt;
  return WaitClock::now() + std::chrono::milliseconds(milliseconds);
}

namespace {

std::optional<DWORD> TryAcquire(const std::vector<std::shared_ptr<Waitable>>& objects, bool waitAll) {
  if (waitAll) {
    bool all = std::all_of(objects.begin(), objects.end(), [](const auto& o) { return o->IsSignaled(); });
    if (!all) return std::nullopt;
    for (auto& object : objects) object->Acquire();
    return WAIT_OBJECT_0;
  }
  for (std::size_t i = 0; i < objects.size(); ++i) {
    if (objects[i]->IsSignaled()) {
      objects[i]->Acquire();
      return static_cast<DWORD>(i);
    }
  }
  return std::nullopt;
}

}  // namespace

DWORD WaitOnObjects(std::unique_lock<std::mutex>& lock, const std::vector<std::shared_ptr<Waitable>>& objects,
                    bool waitAll, std::optional<WaitClock::time_point> deadline, Waitable* extra, DWORD extraResult) {
  thread_local Waiter self;
  for (;;) {
    if (extra && extra->IsSignaled()) {
      extra->Acquire();
      return extraResult;
    }
    if (auto index = TryAcquire(objects, waitAll)) return *index;
    if (deadline && WaitClock::now() >= *deadline) return WAIT_TIMEOUT;

    for (auto& object : objects) self.Register(*object);
    if (extra) self.Register(*extra);
    self.Park(lock, deadline);
    for (auto& object : objects) self.Unregister(*object);
    if (extra) self.Unregister(*extra);
  }
}

void SignalFlag::Set() {
  std::lock_guard guard(WaitLock());
  SetLocked();
}

void SignalFlag::Reset() {
  std::lock_guard guard(WaitLock());
  ResetLocked();
}

}  // namespace qorv::platform
