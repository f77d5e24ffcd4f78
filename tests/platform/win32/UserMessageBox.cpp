// MessageBoxA: its window and controls as Windows builds them, answered by a click from
// another thread (someone present) or by the default answerer when nobody is present;
// closing follows Windows; a box on a worker owned by a dialog of the UI thread.
#include <windows.h>
#include <emu_desktop.h>

#include "platform/win32/Win32TestThreads.h"
#include "support/DialogBuilder.h"
#include "support/TestSupport.h"
#include "support/UiDriver.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

using testsupport::Watchdog;
using win32test::Join;
using win32test::StartThread;

namespace {

// Someone present at the screen: message boxes wait for a click.
class PresentUser : public emu::DesktopObserver {
public:
    PresentUser() { emu::AddDesktopObserver(this); }
    ~PresentUser() override { emu::RemoveDesktopObserver(this); }
    int OnMessageBoxOpened(const emu::MessageBoxInfo&) override { return emu::kAnswerLater; }
};

// Shows a message box on a worker thread while `drive` runs here; returns its answer.
int ShowOnWorker(HWND owner, const char* text, const char* caption, UINT type,
                 const std::function<void()>& drive) {
    std::atomic<int> answer{-100};
    HANDLE worker = StartThread([&] {
        answer = MessageBoxA(owner, text, caption, type);
        return 0;
    });
    drive();
    EXPECT_EQ(0u, Join(worker));
    return answer;
}

TEST(UserMessageBox, WithNobodyPresentTheDefaultButtonAnswers) {
    Watchdog watchdog("unattended message boxes");
    EXPECT_EQ(IDNO, MessageBoxA(NULL, "Delete?", "Delete", MB_YESNO | MB_DEFBUTTON2));
    EXPECT_EQ(IDOK, MessageBoxA(NULL, "x", "y", MB_OKCANCEL | MB_DEFBUTTON4)); // no 4th button
    emu::SetDefaultMessageBoxAnswerer([](const emu::MessageBoxInfo& box) {
        return box.caption == "Retry?" ? IDRETRY : IDCANCEL;
    });
    EXPECT_EQ(IDRETRY, MessageBoxA(NULL, "x", "Retry?", MB_RETRYCANCEL));
    EXPECT_EQ(IDYES, MessageBoxA(NULL, "x", "other", MB_YESNO)); // not a button: the default
    emu::SetDefaultMessageBoxAnswerer(nullptr);
    EXPECT_EQ(IDCANCEL, MessageBoxA(NULL, "x", "Retry?", MB_RETRYCANCEL | MB_DEFBUTTON2));
}

// Windows behaviour for MB_OK; Wine answers IDCANCEL there, so this test diverges under Wine.
TEST(UserMessageBox, ClosingFollowsWindows_DivergesUnderWine) {
    Watchdog watchdog("closing message boxes");
    PresentUser user;
    ui::MessageBoxView box;
    // MB_OK: the close gives IDOK (Wine gives IDCANCEL here).
    EXPECT_EQ(IDOK, ShowOnWorker(NULL, "Done.", "Closing", MB_OK, [&] {
                  ASSERT_TRUE(ui::WaitForMessageBox("Closing", &box));
                  ui::CloseWindowAsUser(box.hwnd);
              }));
    EXPECT_EQ(IDCANCEL, ShowOnWorker(NULL, "Go on?", "Closing", MB_OKCANCEL, [&] {
                  ASSERT_TRUE(ui::WaitForMessageBox("Closing", &box));
                  PostMessageA(box.hwnd, WM_CLOSE, 0, 0);
              }));
    // MB_YESNO has no close: its Close command is greyed and WM_CLOSE changes nothing.
    EXPECT_EQ(IDNO, ShowOnWorker(NULL, "Sure?", "Closing", MB_YESNO, [&] {
                  ASSERT_TRUE(ui::WaitForMessageBox("Closing", &box));
                  EXPECT_EQ("Sure?", box.text);
                  EXPECT_EQ((std::vector<int>{IDYES, IDNO}), box.buttons);
                  EXPECT_EQ(static_cast<UINT>(MF_GRAYED),
                            GetMenuState(GetSystemMenu(box.hwnd, FALSE), SC_CLOSE, MF_BYCOMMAND));
                  PostMessageA(box.hwnd, WM_CLOSE, 0, 0);
                  ui::CloseWindowAsUser(box.hwnd);
                  PostMessageA(box.hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
                  // Handled in order before the click: none of them ends the box.
                  ui::AnswerMessageBox(box, IDNO);
              }));
}

INT_PTR CALLBACK EndOnCommand(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND) {
        EndDialog(hwnd, LOWORD(wParam));
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

// The worker's box is owned by the UI thread's dialog: creating it disables that dialog
// (a message sent to the UI thread, served by its modal loop) and closing it enables it.
TEST(UserMessageBox, AWorkersBoxOwnedByTheUiThreadsDialogBlocksOnlyTheWorker) {
    Watchdog watchdog("worker message box owned by a dialog");
    PresentUser user;
    testsupport::DialogBuilder builder(DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU,
                                       "Receiving");
    builder.Control(0x80, IDCANCEL, WS_VISIBLE | BS_PUSHBUTTON, "Cancel");
    builder.Control(0x82, 100, WS_VISIBLE, "Now Receiving");
    std::atomic<int> workerAnswer{0};
    HANDLE driver = StartThread([&] {
        HWND dialog = ui::WaitForWindow("Receiving", 10000, "#32770");
        EXPECT_NE(nullptr, dialog);
        HANDLE worker = StartThread([&] {
            workerAnswer = MessageBoxA(dialog, "The machine is running.", "Receiving Error",
                                       MB_OK | MB_ICONHAND);
            return 0;
        });
        ui::MessageBoxView box;
        EXPECT_TRUE(ui::WaitForMessageBox("Receiving Error", &box));
        EXPECT_EQ(dialog, GetWindow(box.hwnd, GW_OWNER));
        EXPECT_FALSE(IsWindowEnabled(dialog));
        // The UI thread still answers: only the worker waits for the box.
        EXPECT_EQ("Now Receiving", ui::ControlText(dialog, 100));
        EXPECT_TRUE(ui::AnswerMessageBox(box, IDOK));
        EXPECT_EQ(0u, Join(worker));
        EXPECT_TRUE(IsWindowEnabled(dialog));
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        return 0;
    });
    EXPECT_EQ(IDCANCEL, DialogBoxIndirectParamA(NULL, builder.Template(), NULL, EndOnCommand, 0));
    EXPECT_EQ(0u, Join(driver));
    EXPECT_EQ(IDOK, workerAnswer.load());
}

// A thread inside MessageBoxA still serves what other threads send to its windows.
TEST(UserMessageBox, TheBoxesLoopServesMessagesSentToItsThread) {
    Watchdog watchdog("sends during MessageBoxA");
    PresentUser user;
    HWND window = CreateWindowExA(0, "Static", "Now Sending", WS_POPUP, 0, 0, 10, 10, NULL, NULL,
                                  NULL, nullptr);
    HANDLE driver = StartThread([&] {
        ui::MessageBoxView box;
        EXPECT_TRUE(ui::WaitForMessageBox("Busy", &box));
        EXPECT_EQ("Now Sending", ui::WindowText(window)); // sent to this test's thread
        EXPECT_TRUE(SetWindowTextA(window, "Done"));
        EXPECT_TRUE(ui::AnswerMessageBox(box, IDOK));
        return 0;
    });
    EXPECT_EQ(IDOK, MessageBoxA(NULL, "Working.", "Busy", MB_OK));
    EXPECT_EQ(0u, Join(driver));
    EXPECT_EQ("Done", ui::WindowText(window));
    DestroyWindow(window);
}

} // namespace
