#include <gtest/gtest.h>

#include <atomic>
#include <thread>

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

// Many threads waiting on one manual-reset event are all released by one set.
TEST(PlatformEvents, ManualResetReleasesEveryWaiter) {
  HANDLE gate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 8; ++i)
    waiters.emplace_back([&] {
      if (WaitForSingleObject(gate, 10000) == WAIT_OBJECT_0) ++released;
    });
  SetEvent(gate);
  for (auto& t : waiters) t.join();
  EXPECT_EQ(released, 8);
  CloseHandle(gate);
}

DWORD WINAPI ReturnParameter(LPVOID p) { return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(p)); }
DWORD WINAPI ExitEarly(LPVOID) { ExitThread(77); }
DWORD WINAPI WaitForEvent(LPVOID p) { return WaitForSingleObject(static_cast<HANDLE>(p), INFINITE); }

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

TEST(PlatformThreads, SuspendedUntilResumedAndStillActiveWhileRunning) {
  HANDLE gate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(nullptr, 0, WaitForEvent, gate, CREATE_SUSPENDED, nullptr);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);
  EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_HIGHEST));
  EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_HIGHEST);
  EXPECT_EQ(ResumeThread(thread), 1u);
  SetEvent(gate);
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, WAIT_OBJECT_0);
  CloseHandle(thread);
  CloseHandle(gate);
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
