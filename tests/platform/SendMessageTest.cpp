#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "WindowTestSupport.h"

using namespace qorv::test;

namespace {

constexpr UINT kAdd = WM_USER + 1;         // returns wParam + lParam
constexpr UINT kBlockUntil = WM_USER + 2;  // waits for blockEvent, returns 99
constexpr UINT kSendBack = WM_USER + 3;    // sends kAdd to backWindow, returns its result + 1
constexpr UINT kThrow = WM_USER + 4;
constexpr UINT kReplyEarly = WM_USER + 5;  // ReplyMessage(5), then waits for blockEvent
constexpr UINT kSendBackBlocked = WM_USER + 6;
constexpr UINT kProbe = WM_USER + 7;

Event* blockEvent = nullptr;
Event* enteredEvent = nullptr;
std::atomic<HWND> backWindow{nullptr};
std::atomic<BOOL> inSendSeen{FALSE};
std::atomic<BOOL> secondReply{TRUE};
std::atomic<DWORD> innerError{0};

bool Hook(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (msg) {
    case kAdd:
      inSendSeen = InSendMessage();
      *result = static_cast<LRESULT>(wParam) + lParam;
      return true;
    case kBlockUntil:
      if (enteredEvent) enteredEvent->Set();
      blockEvent->WaitFor();
      *result = 99;
      return true;
    case kSendBack: *result = SendMessageA(backWindow, kAdd, 40, 4) + 1; return true;
    case kThrow: throw std::runtime_error("procedure failed");
    case kReplyEarly:
      ReplyMessage(5);
      secondReply = ReplyMessage(6);
      blockEvent->WaitFor();
      *result = 7;
      return true;
    case kSendBackBlocked: {
      DWORD_PTR ignored;
      if (!SendMessageTimeoutA(backWindow, kProbe, 0, 0, SMTO_NORMAL, 100, &ignored)) innerError = GetLastError();
      *result = 1;
      return true;
    }
    default: return false;
  }
}

class PlatformSendMessage : public testing::Test {
 protected:
  void SetUp() override {
    DiscardPending();
    TestLog().Clear();
    SetTestHook(Hook);
  }
  void TearDown() override { SetTestHook(nullptr); }
};

// A thread that owns one window and runs a message loop until WM_QUIT.
class WindowThread {
 public:
  WindowThread() {
    thread_ = std::thread([this] {
      window_ = CreateTestWindow(HWND_MESSAGE);
      threadId_ = GetCurrentThreadId();
      ready_.Set();
      MSG msg;
      for (;;) {
        try {
          if (GetMessageA(&msg, nullptr, 0, 0) <= 0) break;
          DispatchMessageA(&msg);
        } catch (const std::runtime_error&) {
          ++caught_;
        }
      }
    });
    ready_.WaitFor();
  }
  ~WindowThread() {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }
  HWND Window() const { return window_; }
  int Caught() const { return caught_; }

 private:
  Event ready_;
  std::thread thread_;
  HWND window_ = nullptr;
  DWORD threadId_ = 0;
  std::atomic<int> caught_{0};
};

// Pumps the calling thread's queue until the event is set, without polling.
void PumpUntil(const Event& done) {
  HANDLE handle = done.Get();
  while (MsgWaitForMultipleObjects(1, &handle, FALSE, 10000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) PumpPending();
}

// A send from another thread runs on the owner thread, and only while it reads.
TEST_F(PlatformSendMessage, CrossThreadSendRunsOnOwnerWhileItPumps) {
  HWND window = CreateTestWindow(HWND_MESSAGE);
  Event done;
  std::atomic<LRESULT> result{0};
  std::thread sender([&] {
    result = SendMessageA(window, kAdd, 7, 8);
    done.Set();
  });
  PumpUntil(done);
  sender.join();
  EXPECT_EQ(result.load(), 15);
  EXPECT_TRUE(inSendSeen.load());
  auto entries = TestLog().Entries();
  ASSERT_EQ(TestLog().Count(kAdd), 1);
  for (auto& e : entries) EXPECT_EQ(e.threadId, GetCurrentThreadId());
  EXPECT_TRUE(DestroyWindow(window));
}

// The dispatcher's pattern: a worker delivers with SMTO_BLOCK to a window of
// a thread that is waiting (pumping) for that worker to end.
TEST_F(PlatformSendMessage, WorkerSendsToThreadThatPumpsWhileWaitingForIt) {
  static HWND target;
  static std::atomic<LRESULT> delivered;
  target = CreateTestWindow(HWND_MESSAGE);
  delivered = 0;
  HANDLE worker = CreateThread(
      nullptr, 0,
      [](LPVOID) -> DWORD {
        DWORD_PTR result = 0;
        if (SendMessageTimeoutA(target, kAdd, 0x7E, MAKELPARAM(1, 3), SMTO_BLOCK, 3000, &result)) delivered = result;
        return 0;
      },
      nullptr, 0, nullptr);
  ASSERT_NE(worker, nullptr);
  while (MsgWaitForMultipleObjects(1, &worker, FALSE, 10000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) PumpPending();
  EXPECT_EQ(WaitForSingleObject(worker, 0), WAIT_OBJECT_0);
  EXPECT_EQ(delivered.load(), 0x7E + MAKELPARAM(1, 3));
  CloseHandle(worker);
  DestroyWindow(target);
}

// Two threads sending to each other's windows: the first sender serves the
// nested send while it waits for its own reply.
TEST_F(PlatformSendMessage, SendWhileOwnerIsInSendToSenderDoesNotDeadlock) {
  WindowThread other;
  backWindow = CreateTestWindow(HWND_MESSAGE);
  EXPECT_EQ(SendMessageA(other.Window(), kSendBack, 0, 0), 45);
  auto entries = TestLog().Entries();
  ASSERT_EQ(TestLog().Count(kAdd), 1);
  for (auto& e : entries) {
    if (e.message != kAdd) continue;
    EXPECT_EQ(e.threadId, GetCurrentThreadId());
  }
  DestroyWindow(backWindow);
}

// SMTO_BLOCK: the blocked sender serves nothing, so a nested send to it times
// out and is withdrawn, never handled late.
TEST_F(PlatformSendMessage, BlockingSendServesNoIncomingSend) {
  WindowThread other;
  backWindow = CreateTestWindow(HWND_MESSAGE);
  innerError = 0;
  DWORD_PTR result = 0;
  ASSERT_TRUE(SendMessageTimeoutA(other.Window(), kSendBackBlocked, 0, 0, SMTO_BLOCK, 10000, &result));
  EXPECT_EQ(result, 1u);
  EXPECT_EQ(innerError.load(), ERROR_TIMEOUT);
  PumpPending();
  EXPECT_EQ(TestLog().Count(kProbe), 0);
  DestroyWindow(backWindow);
}

// The owner does not read its queue: the send fails with ERROR_TIMEOUT no
// sooner than its time-out, and the message is never handled afterwards.
TEST_F(PlatformSendMessage, TimeoutWhileOwnerDoesNotReadWithdrawsMessage) {
  Event created, release, finished;
  std::atomic<HWND> window{nullptr};
  std::thread owner([&] {
    window = CreateTestWindow(HWND_MESSAGE);
    created.Set();
    release.WaitFor();
    PumpPending();
    finished.Set();
  });
  created.WaitFor();
  auto start = std::chrono::steady_clock::now();
  DWORD_PTR result = 12345;
  EXPECT_EQ(SendMessageTimeoutA(window, kAdd, 1, 1, SMTO_NORMAL, 50, &result), 0);
  EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
  EXPECT_EQ(result, 12345u);
  release.Set();
  finished.WaitFor();
  owner.join();
  EXPECT_EQ(TestLog().Count(kAdd), 0);
  EXPECT_FALSE(IsWindow(window));
}

// A reply that comes after the sender gave up goes nowhere; the next send
// gets its own result.
TEST_F(PlatformSendMessage, LateReplyIsDiscarded) {
  Event block, entered;
  blockEvent = &block;
  enteredEvent = &entered;
  {
    WindowThread other;
    DWORD_PTR result = 0;
    EXPECT_EQ(SendMessageTimeoutA(other.Window(), kBlockUntil, 0, 0, SMTO_NORMAL, 500, &result), 0);
    EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    EXPECT_TRUE(entered.WaitFor());  // the owner took it: its reply will come late
    block.Set();
    ASSERT_TRUE(SendMessageTimeoutA(other.Window(), kAdd, 2, 3, SMTO_NORMAL, 10000, &result));
    EXPECT_EQ(result, 5u);
  }
  blockEvent = nullptr;
  enteredEvent = nullptr;
}

// A window destroyed while a send to it waits in the queue releases the
// sender with ERROR_INVALID_WINDOW_HANDLE, unhandled.
TEST_F(PlatformSendMessage, DestroyWhileSendWaitsReleasesSender) {
  Event created, destroyed;
  std::atomic<HWND> window{nullptr};
  std::thread owner([&] {
    window = CreateTestWindow(HWND_MESSAGE);
    created.Set();
    // Returns once a send is queued, without serving it.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10000, QS_SENDMESSAGE);
    DestroyWindow(window);
    destroyed.Set();
  });
  created.WaitFor();
  DWORD_PTR result = 0;
  EXPECT_EQ(SendMessageTimeoutA(window, kAdd, 1, 1, SMTO_NORMAL, 10000, &result), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  destroyed.WaitFor();
  owner.join();
  EXPECT_EQ(TestLog().Count(kAdd), 0);
}

// A thread that ends with a send pending releases the sender; its windows are
// destroyed, with their messages, before its handle is signalled.
TEST_F(PlatformSendMessage, OwnerThreadEndReleasesSender) {
  static HWND window;
  static Event created;
  HANDLE owner = CreateThread(
      nullptr, 0,
      [](LPVOID) -> DWORD {
        window = CreateTestWindow(HWND_MESSAGE);
        created.Set();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10000, QS_SENDMESSAGE);
        return 0;
      },
      nullptr, 0, nullptr);
  created.WaitFor();
  DWORD_PTR result = 0;
  EXPECT_EQ(SendMessageTimeoutA(window, kAdd, 1, 1, SMTO_NORMAL, 10000, &result), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  ASSERT_EQ(WaitForSingleObject(owner, 10000), WAIT_OBJECT_0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(TestLog().Count(WM_NCDESTROY), 1);
  EXPECT_EQ(SendMessageA(window, kAdd, 1, 1), 0);
  CloseHandle(owner);
}

// ReplyMessage frees the sender before the procedure returns; a second reply
// and the return value are ignored.
TEST_F(PlatformSendMessage, ReplyMessageReleasesSenderEarly) {
  Event block;
  blockEvent = &block;
  {
    WindowThread other;
    EXPECT_EQ(SendMessageA(other.Window(), kReplyEarly, 0, 0), 5);
    block.Set();  // the procedure is still running until here
    EXPECT_EQ(SendMessageA(other.Window(), kAdd, 1, 2), 3);
    EXPECT_FALSE(secondReply.load());
  }
  EXPECT_FALSE(ReplyMessage(1));  // not inside a sent message
  blockEvent = nullptr;
}

// A throwing procedure serving a send from another thread answers 0 to the
// sender, then the exception reaches the owner's loop.
TEST_F(PlatformSendMessage, ThrowingProcedureStillAnswersSender) {
  WindowThread other;
  DWORD_PTR result = 77;
  EXPECT_TRUE(SendMessageTimeoutA(other.Window(), kThrow, 0, 0, SMTO_NORMAL, 10000, &result));
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(SendMessageA(other.Window(), kAdd, 1, 1), 2);
  EXPECT_EQ(other.Caught(), 1);
}

// Same thread: the procedure is called directly, not through the queue.
TEST_F(PlatformSendMessage, SameThreadSendCallsProcedureDirectly) {
  HWND window = CreateTestWindow(HWND_MESSAGE);
  DWORD_PTR result = 0;
  EXPECT_TRUE(SendMessageTimeoutA(window, kAdd, 20, 22, SMTO_BLOCK, 0, &result));
  EXPECT_EQ(result, 42u);
  EXPECT_FALSE(inSendSeen.load());
  EXPECT_THROW(SendMessageA(window, kThrow, 0, 0), std::runtime_error);
  DestroyWindow(window);
}

// Several threads sending and posting at once while the owner pumps: every
// send gets its own answer and every post arrives once.
TEST_F(PlatformSendMessage, ConcurrentSendersAndPostersLoseNothing) {
  constexpr int kThreads = 4, kEach = 200;
  HWND window = CreateTestWindow(HWND_MESSAGE);
  std::atomic<int> wrongAnswers{0}, finished{0};
  Event allDone;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(window, kAdd, t, i, SMTO_NORMAL, 10000, &result) ||
            result != static_cast<DWORD_PTR>(t + i))
          ++wrongAnswers;
        PostMessageA(window, kProbe, t, i);
      }
      if (++finished == kThreads) allDone.Set();
    });
  }
  PumpUntil(allDone);
  for (auto& thread : threads) thread.join();
  PumpPending();
  EXPECT_EQ(wrongAnswers.load(), 0);
  EXPECT_EQ(TestLog().Count(kAdd), kThreads * kEach);
  EXPECT_EQ(TestLog().Count(kProbe), kThreads * kEach);
  DestroyWindow(window);
}

TEST_F(PlatformSendMessage, SendToNoWindowFails) {
  HWND bogus = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x7FFF0));
  DWORD_PTR result = 0;
  SetLastError(0);
  EXPECT_EQ(SendMessageTimeoutA(bogus, kAdd, 1, 1, SMTO_BLOCK, 3000, &result), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(SendMessageA(nullptr, kAdd, 1, 1), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

}  // namespace
