#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "synch.h"
#include "winerror.h"

namespace {

// An event set by another thread releases a waiter blocked with INFINITE.
TEST(PlatformEvents, CrossThreadSetReleasesInfiniteWait) {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  std::thread setter([&] { SetEvent(event); });
  EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
  setter.join();
  EXPECT_TRUE(CloseHandle(event));
}

// Auto-reset releases exactly one wait per SetEvent; manual reset stays set.
TEST(PlatformEvents, AutoResetReleasesOnceManualStaysSignalled) {
  HANDLE autoEvent = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  HANDLE manualEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(manualEvent, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manualEvent, 0), WAIT_OBJECT_0);
  ResetEvent(manualEvent);
  EXPECT_EQ(WaitForSingleObject(manualEvent, 0), WAIT_TIMEOUT);
  CloseHandle(autoEvent);
  CloseHandle(manualEvent);
}

// The lowest signalled index wins; only that auto-reset event is consumed.
TEST(PlatformEvents, WaitForMultipleReturnsFirstSignalled) {
  HANDLE events[3];
  for (auto& e : events) e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  SetEvent(events[2]);
  SetEvent(events[1]);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 2);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 10), WAIT_TIMEOUT);
  for (auto& e : events) CloseHandle(e);
}

TEST(PlatformEvents, WaitAllNeedsEveryObject) {
  HANDLE events[2] = {CreateEventA(nullptr, TRUE, TRUE, nullptr), CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  EXPECT_EQ(WaitForMultipleObjects(2, events, TRUE, 0), WAIT_TIMEOUT);
  SetEvent(events[1]);
  EXPECT_EQ(WaitForMultipleObjects(2, events, TRUE, 0), WAIT_OBJECT_0);
  for (auto& e : events) CloseHandle(e);
}

// The count bounds are 1 and 64; a closed or made-up handle fails the wait.
TEST(PlatformEvents, BadWaitArgumentsFail) {
  HANDLE events[MAXIMUM_WAIT_OBJECTS + 1];
  for (auto& e : events) e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetEvent(events[MAXIMUM_WAIT_OBJECTS - 1]);
  EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, events, FALSE, 0), WAIT_OBJECT_0 + 63);
  EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS + 1, events, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(WaitForMultipleObjects(0, events, FALSE, 0), WAIT_FAILED);
  for (auto& e : events) CloseHandle(e);
  EXPECT_EQ(WaitForSingleObject(events[0], 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(CloseHandle(events[0]));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(SetEvent(reinterpret_cast<HANDLE>(3)));
}

// Whether a thread of this process sleeps in the kernel on a futex, as a
// thread blocked in a wait does (read from /proc; false when unreadable).
bool BlockedOnFutex(pid_t tid) {
  std::string task = "/proc/self/task/" + std::to_string(tid);
  std::ifstream stat(task + "/stat");
  std::string line;
  std::getline(stat, line);
  auto state = line.rfind(')');
  if (state == std::string::npos || state + 2 >= line.size() || line[state + 2] != 'S') return false;
  std::ifstream wchan(task + "/wchan");
  std::string where;
  std::getline(wchan, where);
  return where.rfind("futex", 0) == 0;
}

// Many threads blocked on one manual-reset event are all released by one set.
TEST(PlatformEvents, ManualResetReleasesEveryWaiter) {
  constexpr int kWaiters = 8;
  HANDLE gate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> released{0};
  std::vector<std::atomic<pid_t>> ids(kWaiters);
  std::vector<std::thread> waiters;
  for (int i = 0; i < kWaiters; ++i)
    waiters.emplace_back([&, i] {
      ids[i] = static_cast<pid_t>(syscall(SYS_gettid));
      if (WaitForSingleObject(gate, 60000) == WAIT_OBJECT_0) ++released;
    });
  // Every waiter must be asleep inside its wait before the set, or the set
  // would only be seen by waits that start after it.
  EXPECT_TRUE(qorv::test::WaitUntil([&] {
    for (auto& id : ids)
      if (id == 0 || !BlockedOnFutex(id)) return false;
    return true;
  }));
  EXPECT_EQ(released, 0);
  SetEvent(gate);
  // Well before their own time-outs, which would find the event set anyway.
  EXPECT_TRUE(qorv::test::WaitUntil([&] { return released == kWaiters; })) << released << " released";
  for (auto& t : waiters) t.join();
  CloseHandle(gate);
}

DWORD WINAPI ReturnParameter(LPVOID p) { return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(p)); }
DWORD WINAPI ExitEarly(LPVOID) { ExitThread(77); }
// Sets the first of two events, then waits for the second.
DWORD WINAPI SignalThenWait(LPVOID p) {
  auto* events = static_cast<HANDLE*>(p);
  SetEvent(events[0]);
  return WaitForSingleObject(events[1], INFINITE);
}

TEST(PlatformThreads, HandleSignalledWithExitCode) {
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, ReturnParameter, reinterpret_cast<LPVOID>(42), 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, GetCurrentThreadId());
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 42u);
  CloseHandle(thread);

  thread = CreateThread(nullptr, 0, ExitEarly, nullptr, 0, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 77u);
  CloseHandle(thread);
}

// The body of a suspended thread does not start until it is resumed.
TEST(PlatformThreads, SuspendedUntilResumedAndStillActiveWhileRunning) {
  HANDLE started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE gate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE events[2] = {started, gate};
  HANDLE thread = CreateThread(nullptr, 0, SignalThenWait, events, CREATE_SUSPENDED, nullptr);
  ASSERT_NE(thread, nullptr);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  // A thread that was not held would have started well within this time.
  EXPECT_EQ(WaitForSingleObject(started, 500), WAIT_TIMEOUT) << "the body ran before the thread was resumed";
  EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_HIGHEST));
  EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_HIGHEST);
  EXPECT_EQ(ResumeThread(thread), 1u);
  EXPECT_EQ(WaitForSingleObject(started, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(ResumeThread(thread), 0u) << "a running thread has no suspension left";
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  SetEvent(gate);
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, WAIT_OBJECT_0);
  CloseHandle(thread);
  CloseHandle(gate);
  CloseHandle(started);
}

// The owner may enter again; another thread waits until it has left as often.
TEST(PlatformCriticalSection, ReentrantForOwnerExclusiveForOthers) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EnterCriticalSection(&cs);
  bool otherGotIt = true;
  std::thread([&] { otherGotIt = TryEnterCriticalSection(&cs); }).join();
  EXPECT_FALSE(otherGotIt);
  LeaveCriticalSection(&cs);
  std::thread([&] { otherGotIt = TryEnterCriticalSection(&cs); }).join();
  EXPECT_FALSE(otherGotIt);
  LeaveCriticalSection(&cs);
  std::thread([&] {
    otherGotIt = TryEnterCriticalSection(&cs);
    if (otherGotIt) LeaveCriticalSection(&cs);
  }).join();
  EXPECT_TRUE(otherGotIt);
  DeleteCriticalSection(&cs);
}

TEST(PlatformInterlocked, CountsAcrossThreadsWithoutLoss) {
  LONG counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) InterlockedIncrement(&counter);
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 40000);
  EXPECT_EQ(InterlockedDecrement(&counter), 39999);
  EXPECT_EQ(InterlockedCompareExchange(&counter, 5, 39999), 39999);
  EXPECT_EQ(counter, 5);
}

TEST(PlatformLastError, IsPerThread) {
  SetLastError(ERROR_ACCESS_DENIED);
  DWORD seen = 1;
  std::thread([&] { seen = GetLastError(); }).join();
  EXPECT_EQ(seen, 0u);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

}  // namespace
