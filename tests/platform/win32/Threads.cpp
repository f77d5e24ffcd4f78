// Threads of the Win32 emulation: suspended start, exit codes, ExitThread, thread handles,
// thread ids, and the end-of-thread hook the windowing layer uses.
#include <windows.h>

#include "platform/win32/Win32TestThreads.h"
#include "platform/win32/src/internal.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

using testsupport::WaitFor;
using win32test::Join;
using win32test::StartThread;

namespace {

TEST(Threads, SuspendedThreadRunsOnlyAfterResume) {
    std::atomic<bool> ran{false};
    std::atomic<DWORD> seenId{0};
    DWORD threadId = 0;
    HANDLE thread = StartThread(
        [&] {
            ran = true;
            seenId = GetCurrentThreadId();
            return 5u;
        },
        CREATE_SUSPENDED, &threadId);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(threadId, 0u);
    EXPECT_EQ(GetThreadId(thread), threadId);

    EXPECT_EQ(WaitForSingleObject(thread, 700), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_FALSE(ran) << "the start routine ran before ResumeThread";
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));

    EXPECT_EQ(ResumeThread(thread), 1u); // the previous suspend count
    EXPECT_EQ(Join(thread), 5u);
    EXPECT_TRUE(ran);
    EXPECT_EQ(seenId, threadId);
}

TEST(Threads, ResumeOfRunningThreadReturnsZero) {
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = StartThread([&] { return WaitForSingleObject(go, INFINITE); });
    EXPECT_EQ(ResumeThread(thread), 0u);
    SetEvent(go);
    EXPECT_EQ(Join(thread), WAIT_OBJECT_0);
    CloseHandle(go);
}

TEST(Threads, ExitCodeIsStillActiveUntilTheThreadEnds) {
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = StartThread([&] {
        WaitForSingleObject(go, INFINITE);
        return 42u;
    });
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 259u);
    SetEvent(go);
    ASSERT_TRUE(win32test::Signalled(thread));
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_FALSE(GetExitCodeThread(thread, nullptr));
    CloseHandle(thread);
    CloseHandle(go);
}

void LeaveThread(DWORD code) {
    ExitThread(code);
}

TEST(Threads, ExitThreadEndsTheThreadWithItsCode) {
    std::atomic<bool> after{false};
    HANDLE thread = StartThread([&] {
        LeaveThread(7);
        after = true; // never reached
        return 1u;
    });
    EXPECT_EQ(Join(thread), 7u);
    EXPECT_FALSE(after);
}

TEST(Threads, HandleSignalsEveryWaiterAtTheEnd) {
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE worker = StartThread([&] { return WaitForSingleObject(go, INFINITE); });
    std::vector<HANDLE> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.push_back(StartThread([&] { return WaitForSingleObject(worker, INFINITE); }));
    SetEvent(go);
    for (HANDLE waiter : waiters)
        EXPECT_EQ(Join(waiter), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(worker, 0), WAIT_OBJECT_0); // stays signalled
    CloseHandle(worker);
    CloseHandle(go);
}

TEST(Threads, ThreadsNobodyWaitsForEndCleanly) {
    std::atomic<int> finished{0};
    for (int i = 0; i < 200; ++i) {
        HANDLE thread = StartThread([&] {
            ++finished;
            return 0u;
        });
        ASSERT_NE(thread, nullptr);
        CloseHandle(thread); // closed while it may still run
    }
    EXPECT_TRUE(WaitFor([&] { return finished == 200; }));
}

TEST(Threads, CurrentThreadPseudoHandleAndItsDuplicate) {
    std::atomic<HANDLE> shared{nullptr};
    std::atomic<DWORD> ownId{0};
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = StartThread([&] {
        ownId = GetCurrentThreadId();
        HANDLE copy = nullptr;
        DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &copy, 0,
                        FALSE, DUPLICATE_SAME_ACCESS);
        shared = copy;
        DWORD self = WaitForSingleObject(GetCurrentThread(), 0);
        WaitForSingleObject(go, INFINITE);
        return self;
    });
    ASSERT_TRUE(WaitFor([&] { return shared != nullptr; }));
    HANDLE duplicate = shared;
    EXPECT_EQ(GetThreadId(duplicate), ownId);
    EXPECT_NE(ownId, GetCurrentThreadId());
    EXPECT_EQ(WaitForSingleObject(duplicate, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(go);
    ASSERT_TRUE(win32test::Signalled(duplicate));
    EXPECT_EQ(Join(thread), static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(duplicate);
    CloseHandle(go);
    EXPECT_TRUE(CloseHandle(GetCurrentThread())); // a pseudo-handle: closing does nothing
}

TEST(Threads, BadArguments) {
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(ResumeThread(nullptr), static_cast<DWORD>(-1));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    DWORD code;
    EXPECT_FALSE(GetExitCodeThread(INVALID_HANDLE_VALUE, &code));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// The windowing layer learns of every ending thread before its handle is signalled.
TEST(Threads, ExitHookRunsBeforeTheHandleIsSignalled) {
    struct Seen {
        std::mutex lock;
        std::vector<DWORD> ids;
    } seen;
    HANDLE watched = nullptr;
    std::atomic<bool> signalledInHook{true};
    int hook = emu::internal::AddThreadExitHook([&](DWORD threadId) {
        std::lock_guard<std::mutex> lock(seen.lock);
        seen.ids.push_back(threadId);
        if (threadId == GetCurrentThreadId() && watched != nullptr)
            signalledInHook = WaitForSingleObject(watched, 0) == WAIT_OBJECT_0;
    });
    DWORD createdId = 0;
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    watched = StartThread([&] { return WaitForSingleObject(go, INFINITE); }, 0, &createdId);
    SetEvent(go);
    Join(watched);
    std::thread foreign([] { GetCurrentThreadId(); });
    foreign.join();
    emu::internal::RemoveThreadExitHook(hook);

    std::lock_guard<std::mutex> lock(seen.lock);
    EXPECT_NE(std::find(seen.ids.begin(), seen.ids.end(), createdId), seen.ids.end());
    EXPECT_EQ(seen.ids.size(), 2u) << "the thread CreateThread did not start was missed";
    EXPECT_FALSE(signalledInHook);
    CloseHandle(go);
}

} // namespace
