// The dispatcher shared between the dispatch worker and the port's thread.
// Run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "SioDispatchTestDevice.h"

namespace {

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('A' + i % 26);
  return s;
}

// Counts what a delivery handler on the worker saw.
struct TWorkerHandler {
  TSioBaseDispatcher* Dispatcher = nullptr;
  int Deliveries = 0;
  static void Call(void* self, UINT, WPARAM, LPARAM) {
    auto* h = static_cast<TWorkerHandler*>(self);
    ++h->Deliveries;
    BYTE b;
    // Looking ahead but taking nothing leaves every byte to the poller.
    h->Dispatcher->PeekInput(b, 1);
  }
};

}  // namespace

TEST(SioDispatchConcurrency, PollerTakesEveryByteOnceWhileTheWorkerFillsAndNotifies) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  TWorkerHandler handler{&d};
  d.AddEventHandler({&TWorkerHandler::Call, &handler}, false);
  d.SetLengthTrigger(1);
  ASSERT_GT(d.AddDataTrigger("XYZ", 3, false), 0);

  const std::string data = Pattern(50000);
  std::mutex mutex;
  std::condition_variable filled;
  bool workerDone = false;

  std::thread worker([&] {
    for (size_t at = 0; at < data.size(); at += 700) d.Receive(data.substr(at, 700));
    while (d.PendingCount() != 0) {
      d.FillInputRing();
      while (d.CheckStatusChange()) {
      }
      while (d.CheckDataMatch()) {
      }
      std::unique_lock<std::mutex> lock(mutex);
      filled.notify_all();
      // The ring may be full: wait until the poller has made room.
      filled.wait_for(lock, std::chrono::milliseconds(5));
    }
    std::lock_guard<std::mutex> lock(mutex);
    workerDone = true;
    filled.notify_all();
  });

  std::string got;
  BYTE b;
  for (;;) {
    while (d.TakeInput(b) == 0) got += static_cast<char>(b);
    std::unique_lock<std::mutex> lock(mutex);
    filled.notify_all();
    if (workerDone && !d.HasInput()) break;
    filled.wait_for(lock, std::chrono::milliseconds(5));
  }
  worker.join();
  EXPECT_EQ(got.size(), data.size());
  EXPECT_EQ(got, data);
  EXPECT_GT(handler.Deliveries, 0);
}

// The worker scans for data triggers holding the general lock and then the
// input lock; a traced read and a logged fill must never take them the other
// way round (ThreadSanitizer reports the inversion, or the two deadlock).
TEST(SioDispatchConcurrency, TracedPollerAndLoggedFillKeepTheLockOrderOfTheScan) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  ASSERT_EQ(d.StartTraceBuffer(1000), 0);
  d.StartLogBuffer(4096);
  ASSERT_GT(d.AddDataTrigger("XYZ", 3, false), 0);

  const std::string data = Pattern(20000);
  std::mutex mutex;
  std::condition_variable turn;
  bool workerDone = false;
  std::thread worker([&] {
    for (size_t at = 0; at < data.size(); at += 700) d.Receive(data.substr(at, 700));
    while (d.PendingCount() != 0) {
      d.FillInputRing();
      while (d.CheckDataMatch()) {
      }
      std::unique_lock<std::mutex> lock(mutex);
      turn.notify_all();
      turn.wait_for(lock, std::chrono::milliseconds(5));
    }
    std::lock_guard<std::mutex> lock(mutex);
    workerDone = true;
    turn.notify_all();
  });

  std::string got;
  BYTE b;
  for (;;) {
    while (d.TakeInput(b) == 0) got += static_cast<char>(b);
    std::unique_lock<std::mutex> lock(mutex);
    turn.notify_all();
    if (workerDone && !d.HasInput()) break;
    turn.wait_for(lock, std::chrono::milliseconds(5));
  }
  worker.join();
  EXPECT_EQ(got, data);
}

namespace {

TSioBaseDispatcher* windowDispatcher = nullptr;
std::string windowRead;
LPARAM windowLParam = 0;

LRESULT CALLBACK ReadingWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == msgTriggerAvail) {
    windowLParam = lParam;
    BYTE b;
    for (int i = 0; i < 4 && windowDispatcher->TakeInput(b) == 0; ++i) windowRead += static_cast<char>(b);
    return 0;
  }
  return DefWindowProcA(window, msg, wParam, lParam);
}

}  // namespace

TEST(SioDispatchConcurrency, WindowHandlerReadsAheadOnTheWindowsThread) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  windowDispatcher = &d;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &ReadingWindowProc;
  windowClass.lpszClassName = "SioDispatchTestWindow";
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  HWND window = CreateWindowExA(0, "SioDispatchTestWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  d.RegisterWindowHandler(window);
  d.SetHandlerService(1);
  d.ReceiveIntoRing("abcdef");

  bool delivered = true;
  std::thread worker([&] {
    delivered = d.NotifyHandlers(msgTriggerAvail, 6, 0);
    PostMessageA(window, WM_APP, 0, 0);
  });
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_APP) break;
    DispatchMessageA(&msg);
  }
  worker.join();

  EXPECT_FALSE(delivered) << "two of the six bytes were left";
  EXPECT_EQ(windowRead, "abcd");
  EXPECT_EQ(HIWORD(windowLParam), d.DispatcherHandle);
  EXPECT_EQ(d.InputCount(), 2u);
  BYTE b;
  ASSERT_EQ(d.TakeInput(b), 0);
  EXPECT_EQ(b, 'e');
  d.DeregisterWindowHandler(window);
  DestroyWindow(window);
  windowDispatcher = nullptr;
}

namespace {

std::atomic<int> procedureCalls = 0;
void CountingProcedure(UINT, WPARAM, LPARAM) { ++procedureCalls; }

}  // namespace

TEST(SioDispatchConcurrency, HandlersComeAndGoWhileTheWorkerDelivers) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  d.AddProcedureHandler(&CountingProcedure);
  std::atomic<bool> stop = false;
  std::thread worker([&] {
    while (!stop) d.NotifyHandlers(msgTriggerTimer, 1, 0);
  });
  // Churn until deliveries have certainly overlapped with it.
  for (int i = 0; i < 2000 || procedureCalls.load() < 10; ++i) {
    TTriggerMethod method{[](void*, UINT, WPARAM, LPARAM) {}, &d};
    d.AddEventHandler(method, false);
    d.RegisterWindowHandler(reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x1000 + i)));
    d.RemoveEventHandler(method);
    d.DeregisterWindowHandler(reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x1000 + i)));
  }
  stop = true;
  worker.join();
  EXPECT_FALSE(d.HandlersRunning);
  d.NotifyHandlers(msgTriggerTimer, 1, 0);
  EXPECT_TRUE(d.EventHandlers.empty()) << "every removal made during a delivery was purged";
  EXPECT_TRUE(d.WindowHandlers.empty());
}
