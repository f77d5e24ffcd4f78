// Message queues: retrieval order and filters, cross-thread SendMessage (served only while
// the receiver retrieves messages, with the deadlock Windows has when it waits instead),
// window timers, destroyed windows, EnableWindow's messages.
#include <windows.h>

#include "platform/win32/Win32TestThreads.h"
#include "support/TestSupport.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

using testsupport::Watchdog;
using win32test::Join;
using win32test::StartThread;

namespace {

constexpr UINT kAnswer = WM_USER + 10; // answered with 42 by the test windows
constexpr UINT kRelay = WM_USER + 11;  // sends kAnswer to the window in lParam, adds 10

struct Recorded {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::mutex g_lock;
std::vector<Recorded> g_messages;

std::vector<Recorded> Messages() {
    std::lock_guard<std::mutex> lock(g_lock);
    return g_messages;
}

std::vector<UINT> MessagesOf(HWND hwnd) {
    std::vector<UINT> result;
    for (const Recorded& r : Messages())
        if (r.hwnd == hwnd)
            result.push_back(r.message);
    return result;
}

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    {
        std::lock_guard<std::mutex> lock(g_lock);
        g_messages.push_back(Recorded{hwnd, message, wParam, lParam});
    }
    if (message == kAnswer)
        return 42;
    if (message == kRelay)
        return SendMessageA(reinterpret_cast<HWND>(lParam), kAnswer, 0, 0) + 10;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class UserMessages : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = RecordingProc;
        windowClass.lpszClassName = "UserMessagesWindow";
        ASSERT_NE(0, RegisterClassA(&windowClass));
    }
    void SetUp() override {
        std::lock_guard<std::mutex> lock(g_lock);
        g_messages.clear();
    }
    static HWND NewWindow(const char* title = "test") {
        return CreateWindowExA(0, "UserMessagesWindow", title, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                               NULL, NULL, NULL, nullptr);
    }
    // Removes what the queue holds (serving sent messages on the way).
    static void Drain() {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
};

TEST_F(UserMessages, PostedMessagesComeInOrderWithFiltersAndQuitComesLast) {
    HWND window = NewWindow();
    ASSERT_NE(nullptr, window);
    PostMessageA(window, WM_USER + 1, 1, 0);
    PostMessageA(window, WM_USER + 2, 2, 0);
    PostQuitMessage(7);

    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, NULL, WM_USER + 2, WM_USER + 2, PM_REMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_USER + 2), msg.message);
    ASSERT_TRUE(GetMessageA(&msg, NULL, 0, 0));
    EXPECT_EQ(static_cast<UINT>(WM_USER + 1), msg.message);
    EXPECT_EQ(window, msg.hwnd);
    // WM_QUIT only once no posted message remains; GetMessage answers FALSE for it.
    EXPECT_FALSE(GetMessageA(&msg, NULL, 0, 0));
    EXPECT_EQ(static_cast<UINT>(WM_QUIT), msg.message);
    EXPECT_EQ(7u, msg.wParam);
    EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
    DestroyWindow(window);
}

TEST_F(UserMessages, CrossThreadSendIsServedOnlyWhileTheReceiverRetrievesMessages) {
    Watchdog watchdog("cross-thread SendMessage");
    HWND window = NewWindow();
    std::atomic<LRESULT> answer{0};
    HANDLE worker = StartThread([&] {
        answer = SendMessageA(window, kAnswer, 0, 0);
        return 0;
    });
    // Waiting for the sender with WaitForSingleObject serves nothing: the deadlock that
    // Windows has, here bounded by the wait's time-out.
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(worker, 300));
    EXPECT_EQ(0, answer.load());
    // MsgWaitForMultipleObjects wakes for the sent message (the queue is the object after
    // the handles) but does not serve it either.
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0 + 1),
              MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_SENDMESSAGE));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(worker, 100));
    // PeekMessage serves it, even without removing anything.
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(0u, Join(worker));
    EXPECT_EQ(42, answer.load());
    std::vector<UINT> seen = MessagesOf(window);
    EXPECT_EQ(1, std::count(seen.begin(), seen.end(), kAnswer)); // served exactly once
    DestroyWindow(window);
}

TEST_F(UserMessages, AWaitingSenderServesWhatIsSentToIt) {
    Watchdog watchdog("nested cross-thread sends");
    HWND mine = NewWindow("mine");
    std::atomic<HWND> theirs{NULL};
    DWORD workerId = 0;
    HANDLE worker = StartThread(
        [&] {
            theirs = NewWindow("theirs");
            MSG msg;
            while (GetMessageA(&msg, NULL, 0, 0) > 0)
                DispatchMessageA(&msg);
            DestroyWindow(theirs);
            return 0;
        },
        0, &workerId);
    ASSERT_TRUE(testsupport::WaitFor([&] { return theirs.load() != NULL; }));
    // The worker's window sends back to this thread while this thread waits in SendMessage.
    EXPECT_EQ(52, SendMessageA(theirs, kRelay, 0, reinterpret_cast<LPARAM>(mine)));
    PostThreadMessageA(workerId, WM_QUIT, 0, 0);
    EXPECT_EQ(0u, Join(worker));
    DestroyWindow(mine);
}

TEST_F(UserMessages, SendingToAThreadThatEndsReturnsZeroAndItsWindowsGo) {
    Watchdog watchdog("send to an ending thread");
    std::atomic<HWND> theirs{NULL};
    HANDLE worker = StartThread([&] {
        theirs = NewWindow("ending");
        // Wakes when the message arrives, serves nothing, and ends.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_SENDMESSAGE);
        return 0;
    });
    ASSERT_TRUE(testsupport::WaitFor([&] { return theirs.load() != NULL; }));
    EXPECT_EQ(0, SendMessageA(theirs, kAnswer, 0, 0));
    EXPECT_EQ(0u, Join(worker));
    EXPECT_FALSE(IsWindow(theirs));
    std::vector<UINT> seen = MessagesOf(theirs);
    EXPECT_EQ(0, std::count(seen.begin(), seen.end(), kAnswer)) << "it never ran";
}

TEST_F(UserMessages, TimersTickAtTheirPeriodOnTheOwnerThreadAndCoalesce) {
    Watchdog watchdog("timers");
    HWND window = NewWindow();
    DWORD start = GetTickCount();
    ASSERT_EQ(5u, SetTimer(window, 5, 50, nullptr));
    int ticks = 0;
    MSG msg;
    while (ticks < 4 && GetMessageA(&msg, NULL, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == window) {
            EXPECT_EQ(5u, msg.wParam);
            ++ticks;
        }
    }
    // Never early: four ticks of a 50 ms timer take at least 200 ms of the emulated clock.
    EXPECT_GE(GetTickCount() - start, 200u);
    EXPECT_TRUE(KillTimer(window, 5));
    EXPECT_FALSE(KillTimer(window, 5)); // no such timer any more

    // Missed periods give one WM_TIMER, not a backlog.
    SetTimer(window, 6, 5000, nullptr);
    Sleep(20000);
    int pending = 0;
    while (PeekMessageA(&msg, window, WM_TIMER, WM_TIMER, PM_REMOVE))
        ++pending;
    EXPECT_EQ(1, pending);
    KillTimer(window, 6);
    DestroyWindow(window);
}

TEST_F(UserMessages, DestroyingAWindowDropsItsMessagesAndItsHandleGoesStale) {
    HWND window = NewWindow();
    HWND other = NewWindow();
    PostMessageA(window, WM_USER + 1, 0, 0);
    PostMessageA(other, WM_USER + 2, 0, 0);
    EXPECT_TRUE(DestroyWindow(window));
    MSG msg;
    std::vector<UINT> left;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        left.push_back(msg.message);
    EXPECT_EQ(std::vector<UINT>{WM_USER + 2}, left);

    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(SetWindowTextA(window, "x"));
    // WM_DESTROY then WM_NCDESTROY were the last messages of the window.
    std::vector<UINT> got = MessagesOf(window);
    ASSERT_GE(got.size(), 2u);
    EXPECT_EQ(static_cast<UINT>(WM_DESTROY), got[got.size() - 2]);
    EXPECT_EQ(static_cast<UINT>(WM_NCDESTROY), got.back());
    DestroyWindow(other);
}

TEST_F(UserMessages, EnableWindowSendsItsMessagesAndReturnsThePreviousState) {
    HWND window = NewWindow();
    SetFocus(window);
    EXPECT_FALSE(EnableWindow(window, FALSE)); // was enabled
    EXPECT_FALSE(IsWindowEnabled(window));
    EXPECT_EQ(nullptr, GetFocus());           // a disabled window loses the focus
    EXPECT_TRUE(EnableWindow(window, FALSE)); // was disabled: WM_CANCELMODE only
    EXPECT_TRUE(EnableWindow(window, TRUE));
    EXPECT_FALSE(EnableWindow(window, TRUE)); // no change: nothing sent
    std::vector<std::pair<UINT, WPARAM>> sequence;
    for (const Recorded& r : Messages()) {
        if (r.hwnd == window && (r.message == WM_ENABLE || r.message == WM_CANCELMODE))
            sequence.emplace_back(r.message, r.message == WM_ENABLE ? r.wParam : 9);
    }
    EXPECT_EQ((std::vector<std::pair<UINT, WPARAM>>{
                  {WM_CANCELMODE, 9}, {WM_ENABLE, 0}, {WM_CANCELMODE, 9}, {WM_ENABLE, 1}}),
              sequence);
    DestroyWindow(window);
}

TEST_F(UserMessages, EnablingAnotherThreadsWindowWaitsUntilThatThreadPumps) {
    Watchdog watchdog("cross-thread EnableWindow");
    HWND window = NewWindow();
    std::atomic<bool> done{false};
    HANDLE worker = StartThread([&] {
        EnableWindow(window, FALSE);
        done = true;
        return 0;
    });
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(worker, 300));
    EXPECT_FALSE(done.load());
    while (!done) {
        MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_ALLINPUT);
        Drain();
    }
    EXPECT_EQ(0u, Join(worker));
    EXPECT_FALSE(IsWindowEnabled(window));
    DestroyWindow(window);
}

} // namespace
