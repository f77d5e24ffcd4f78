// Threads of the Win32 emulation: suspended start, exit codes, ExitThread, threads nobody
// waits for, and the end-of-thread hook the windowing layer uses.
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
    EXPECT_EQ(ResumeThread(thread), 0u); // running already
    EXPECT_EQ(Join(thread), 5u);
    EXPECT_TRUE(ran);
    EXPECT_EQ(seenId, threadId);
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
