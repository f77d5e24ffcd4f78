// Message queues: retrieval order and filters, cross-thread SendMessage (served only while
// the receiver retrieves messages, with the deadlock Windows has when it waits instead),
// timers, destroyed windows and stale handles, EnableWindow's messages, hooks.
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
    PostThreadMessageA(GetCurrentThreadId(), WM_USER + 3, 3, 0);
    PostQuitMessage(7);

    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, NULL, WM_USER + 2, WM_USER + 2, PM_REMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_USER + 2), msg.message);
    ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_USER + 1), msg.message); // still there
    ASSERT_TRUE(PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_USER + 3), msg.message); // the thread's own message
    EXPECT_EQ(nullptr, msg.hwnd);
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

TEST_F(UserMessages, BadArgumentsFailCleanly) {
    MSG msg{};
    HWND dead = NewWindow();
    DestroyWindow(dead);
    EXPECT_EQ(-1, GetMessageA(&msg, dead, 0, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
    EXPECT_FALSE(PostMessageA(dead, WM_USER, 0, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
    EXPECT_EQ(0, SendMessageA(dead, kAnswer, 0, 0));
    EXPECT_FALSE(PostThreadMessageA(0x7FFFFFF0, WM_USER, 0, 0));
    // A message whose parameters point into the sender's memory cannot be posted.
    HWND window = NewWindow();
    EXPECT_FALSE(PostMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("x")));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MESSAGE_SYNC_ONLY), GetLastError());
    MSG stale{dead, WM_USER, 0, 0, 0, {0, 0}};
    SetLastError(0);
    EXPECT_EQ(0, DispatchMessageA(&stale));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
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
    EXPECT_TRUE(MessagesOf(theirs).size() <= 2u); // creation only: kAnswer never ran
    for (UINT message : MessagesOf(theirs)) {
        EXPECT_NE(static_cast<UINT>(kAnswer), message);
    }
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
    // The same id replaces the timer rather than adding one.
    SetTimer(window, 6, 100000, nullptr);
    Sleep(6000);
    EXPECT_FALSE(PeekMessageA(&msg, window, WM_TIMER, WM_TIMER, PM_REMOVE));
    KillTimer(window, 6);
    DestroyWindow(window);
}

std::atomic<int> g_timerCalls{0};

void CALLBACK CountTimer(HWND, UINT message, UINT_PTR, DWORD) {
    if (message == WM_TIMER)
        ++g_timerCalls;
}

TEST_F(UserMessages, ThreadTimersCallTheirProcedureThroughDispatch) {
    Watchdog watchdog("thread timer");
    g_timerCalls = 0;
    UINT_PTR id = SetTimer(NULL, 0, 20, CountTimer);
    ASSERT_NE(0u, id);
    MSG msg;
    while (g_timerCalls < 2 && GetMessageA(&msg, NULL, 0, 0) > 0) {
        if (msg.message == WM_TIMER) {
            EXPECT_EQ(id, msg.wParam);
        }
        DispatchMessageA(&msg);
    }
    EXPECT_TRUE(KillTimer(NULL, id));
    // A WM_TIMER naming a procedure of no live timer calls nothing.
    MSG forged{NULL, WM_TIMER, id, reinterpret_cast<LPARAM>(CountTimer), 0, {0, 0}};
    int before = g_timerCalls;
    DispatchMessageA(&forged);
    EXPECT_EQ(before, g_timerCalls.load());
}

TEST_F(UserMessages, DestroyingAWindowDropsItsMessagesAndTimersAndItsHandleGoesStale) {
    HWND window = NewWindow();
    HWND other = NewWindow();
    PostMessageA(window, WM_USER + 1, 0, 0);
    PostMessageA(other, WM_USER + 2, 0, 0);
    SetTimer(window, 1, 10, nullptr);
    EXPECT_TRUE(DestroyWindow(window));
    Sleep(50);
    MSG msg;
    std::vector<UINT> left;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        left.push_back(msg.message);
    EXPECT_EQ(std::vector<UINT>{WM_USER + 2}, left);

    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(SetWindowTextA(window, "x"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
    EXPECT_FALSE(DestroyWindow(window));
    // Windows created later never take the stale handle's value.
    for (int i = 0; i < 50; ++i) {
        HWND fresh = NewWindow();
        EXPECT_NE(window, fresh);
        DestroyWindow(fresh);
    }
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
    std::vector<Recorded> enables;
    std::vector<UINT> sequence;
    for (const Recorded& r : Messages()) {
        if (r.hwnd != window)
            continue;
        if (r.message == WM_ENABLE || r.message == WM_CANCELMODE)
            sequence.push_back(r.message);
        if (r.message == WM_ENABLE)
            enables.push_back(r);
    }
    EXPECT_EQ((std::vector<UINT>{WM_CANCELMODE, WM_ENABLE, WM_CANCELMODE, WM_ENABLE}), sequence);
    ASSERT_EQ(2u, enables.size());
    EXPECT_EQ(0u, enables[0].wParam);
    EXPECT_EQ(1u, enables[1].wParam);
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

std::vector<std::string> g_created;

LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const CBT_CREATEWNDA* create = reinterpret_cast<const CBT_CREATEWNDA*>(lParam);
        g_created.push_back(create->lpcs->lpszName ? create->lpcs->lpszName : "");
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

TEST_F(UserMessages, CbtHookSeesWindowsBeingCreated) {
    g_created.clear();
    HHOOK hook = SetWindowsHookExA(WH_CBT, CbtHook, NULL, GetCurrentThreadId());
    ASSERT_NE(nullptr, hook);
    HWND window = NewWindow("hooked");
    EXPECT_TRUE(UnhookWindowsHookEx(hook));
    HWND after = NewWindow("not hooked");
    EXPECT_EQ(std::vector<std::string>{"hooked"}, g_created);
    EXPECT_FALSE(UnhookWindowsHookEx(hook));
    DestroyWindow(window);
    DestroyWindow(after);
}

} // namespace
