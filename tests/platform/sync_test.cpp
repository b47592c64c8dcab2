// Critical sections (recursive) and events (auto and manual reset).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/win32.h"

namespace {

using namespace std::chrono_literals;

TEST(Sync, CriticalSectionIsRecursiveAndExcludesOtherThreads) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EnterCriticalSection(&cs);
  std::atomic<bool> entered{false};
  std::thread other([&] {
    EnterCriticalSection(&cs);
    entered = true;
    LeaveCriticalSection(&cs);
  });
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(entered);
  LeaveCriticalSection(&cs);
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(entered) << "still held once";
  LeaveCriticalSection(&cs);
  other.join();
  EXPECT_TRUE(entered);
  DeleteCriticalSection(&cs);
  EXPECT_EQ(cs.impl, nullptr);
}

TEST(Sync, AutoResetEventLetsOneWaitThrough) {
  HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
  ASSERT_TRUE(SetEvent(e));
  ASSERT_TRUE(SetEvent(e));
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0) << "a set with no waiter is kept";
  EXPECT_EQ(WaitForSingleObject(e, 10), WAIT_TIMEOUT) << "and used once";

  std::atomic<DWORD> woke{0xFFFF};
  std::thread waiter([&] { woke = WaitForSingleObject(e, INFINITE); });
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(woke, 0xFFFFu);
  SetEvent(e);
  waiter.join();
  EXPECT_EQ(woke, WAIT_OBJECT_0);
  EXPECT_TRUE(CloseHandle(e));
}

TEST(Sync, ManualResetEventStaysSignalled) {
  HANDLE e = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(e, INFINITE), WAIT_OBJECT_0);
  CloseHandle(e);
  EXPECT_EQ(CreateEventA(nullptr, FALSE, FALSE, "named"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
  EXPECT_FALSE(SetEvent(nullptr));
}

}  // namespace
