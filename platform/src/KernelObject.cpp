#include "KernelObject.h"

#include <algorithm>

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
class Waiter {
 public:
  void Register(Waitable& object) { object.waiters_.push_back(this); }
  void Unregister(Waitable& object) {
    auto& list = object.waiters_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  std::condition_variable wake;
};

void Waitable::WakeWaiters() {
  for (Waiter* waiter : waiters_) waiter->wake.notify_one();
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
    if (deadline)
      self.wake.wait_until(lock, *deadline);
    else
      self.wake.wait(lock);
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
