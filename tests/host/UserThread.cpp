// The thread that acts for the user and its hands: a Join that serves what the thread sends to
// the joining thread's windows (a plain wait would hang there, as it does on Windows), and
// presses that reach the dialog as a click of the mouse does, only where a click could.
#include "host/UserThread.h"
#include "support/DialogBuilder.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

std::vector<std::pair<WORD, WORD>> g_commands; // (id, notification) of each WM_COMMAND

INT_PTR CALLBACK RecordingProc(HWND, UINT uMsg, WPARAM wParam, LPARAM) {
    if (uMsg == WM_COMMAND) {
        g_commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    }
    return uMsg == WM_INITDIALOG;
}

void PumpQueued() {
    MSG msg;
    while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        ::DispatchMessageA(&msg);
}

} // namespace

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

TEST(UserThread, PressButtonClicksOnlyWhatAUserCouldClick) {
    const struct {
        const char* what;
        DWORD style;
        bool enabled;
        bool pressed;
        UINT checkAfter;
    } kCases[] = {
        {"push button", WS_VISIBLE | BS_PUSHBUTTON, true, true, BST_UNCHECKED},
        {"disabled push button", WS_VISIBLE | BS_PUSHBUTTON, false, false, BST_UNCHECKED},
        {"hidden push button", BS_PUSHBUTTON, true, false, BST_UNCHECKED},
        {"check box", WS_VISIBLE | BS_AUTOCHECKBOX, true, true, BST_CHECKED},
        {"disabled check box", WS_VISIBLE | BS_AUTOCHECKBOX, false, false, BST_UNCHECKED},
    };
    const WORD kId = 100;
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.what);
        testsupport::DialogBuilder builder(WS_POPUP | WS_VISIBLE, "Press");
        builder.Control(0x80, kId, test.style, "Button");
        HWND dialog =
            ::CreateDialogIndirectParamA(NULL, builder.Template(), NULL, RecordingProc, 0);
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(dialog, host::WaitForDialog("Press", 0));
        ::EnableWindow(::GetDlgItem(dialog, kId), test.enabled ? TRUE : FALSE);
        g_commands.clear();
        EXPECT_EQ(test.pressed, host::PressButton(dialog, kId));
        PumpQueued();
        std::vector<std::pair<WORD, WORD>> expected;
        if (test.pressed)
            expected.emplace_back(kId, BN_CLICKED);
        EXPECT_EQ(expected, g_commands);
        EXPECT_EQ(test.checkAfter,
                  static_cast<UINT>(::SendDlgItemMessageA(dialog, kId, BM_GETCHECK, 0, 0)));
        ::DestroyWindow(dialog);
        EXPECT_EQ(nullptr, host::WaitForDialog("Press", 0));
    }
}
