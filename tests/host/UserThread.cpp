// The host's thread that acts for the user: joining it serves what it sends to the joining
// thread's windows meanwhile (a plain wait would hang there, as it does on Windows).
#include "host/UserThread.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

TEST(UserThread, JoinServesWhatTheThreadSendsMeanwhile) {
    testsupport::Watchdog watchdog("UserThread::Join while its thread sends to the joining one");
    HWND window = ::CreateWindowExA(0, "Static", "before", WS_OVERLAPPED, 0, 0, 10, 10, NULL, NULL,
                                    NULL, nullptr);
    host::UserThread user(
        [window] { ::SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("after")); });
    user.Join();
    char text[16] = {};
    ::GetWindowTextA(window, text, sizeof text);
    EXPECT_STREQ("after", text);
    ::DestroyWindow(window);
}
