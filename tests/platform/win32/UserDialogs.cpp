// Dialogs from in-memory templates: the dialog manager's WM_CLOSE rule and keys, the system
// menu's Close command, and damaged templates (the MFC dialog tests cover the modal loop and
// its owner, nested dialogs, EndDialog during initialisation and a missing template).
// The dialogs are driven from worker threads through the Win32 API (support/UiDriver.h, which
// the dialogs' own tests use throughout).
#include <windows.h>
#include <commctrl.h>
#include <emu_desktop.h>

#include "platform/win32/Win32TestThreads.h"
#include "support/DialogBuilder.h"
#include "support/TestSupport.h"
#include "support/UiDriver.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

using testsupport::DialogBuilder;
using testsupport::Watchdog;
using win32test::Join;
using win32test::StartThread;

namespace {

constexpr WORD kStatus = 100;
constexpr WORD kProgress = 101;
constexpr WORD kList = 102;
constexpr WORD kEdit = 103;
constexpr DWORD kDialogStyle = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;

// The dialog procedure of every test dialog: records what it gets and hands it to the test's
// handler; without a handler, WM_COMMAND ends the dialog with the command's id.
std::mutex g_lock;
std::vector<MSG> g_seen;
std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)> g_handler;

INT_PTR CALLBACK TestDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    {
        std::lock_guard<std::mutex> lock(g_lock);
        g_seen.push_back(MSG{hwnd, message, wParam, lParam, 0, {0, 0}});
    }
    if (g_handler) {
        INT_PTR handled = g_handler(hwnd, message, wParam, lParam);
        if (handled != -1)
            return handled;
    }
    if (message == WM_COMMAND) {
        EndDialog(hwnd, LOWORD(wParam));
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

std::vector<MSG> Seen(UINT message) {
    std::lock_guard<std::mutex> lock(g_lock);
    std::vector<MSG> result;
    for (const MSG& msg : g_seen)
        if (msg.message == message)
            result.push_back(msg);
    return result;
}

// Counts the desktop's beeps.
class DesktopRecorder : public emu::DesktopObserver {
public:
    DesktopRecorder() { emu::AddDesktopObserver(this); }
    ~DesktopRecorder() override { emu::RemoveDesktopObserver(this); }
    void OnBeep(UINT) override { ++beeps; }
    std::atomic<int> beeps{0};
};

DialogBuilder StandardDialog(const std::string& caption, DWORD cancelStyle = WS_VISIBLE,
                             DWORD dialogStyle = kDialogStyle) {
    DialogBuilder builder(dialogStyle, caption);
    builder.Control(0x80, IDOK, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, "OK")
        .Control(0x80, IDCANCEL, cancelStyle | WS_TABSTOP | BS_PUSHBUTTON, "Cancel")
        .Control(0x82, kStatus, WS_VISIBLE | SS_LEFT, "Now Sending")
        .Control(PROGRESS_CLASSA, kProgress, WS_VISIBLE, "")
        .Control(WC_LISTVIEWA, kList, WS_VISIBLE | LVS_SMALLICON, "")
        .Control(0x81, kEdit, WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, "");
    return builder;
}

class UserDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        std::lock_guard<std::mutex> lock(g_lock);
        g_seen.clear();
        g_handler = nullptr;
    }
    void TearDown() override { g_handler = nullptr; }

    // Runs the dialog modally on this thread while `driver` runs on a worker with the
    // dialog's window (found by its caption); returns DialogBox's result.
    static INT_PTR RunWithDriver(DialogBuilder& builder, const std::string& caption,
                                 std::function<void(HWND)> driver) {
        HANDLE worker = StartThread([&] {
            HWND dialog = ui::WaitForWindow(caption);
            EXPECT_NE(nullptr, dialog) << caption;
            if (dialog != NULL)
                driver(dialog);
            return 0;
        });
        INT_PTR result = DialogBoxIndirectParamA(NULL, builder.Template(), NULL, TestDialogProc, 0);
        EXPECT_EQ(0u, Join(worker));
        return result;
    }
};

// WM_CLOSE (also with a hidden but enabled Cancel) and Escape give Cancel, Enter the default
// button; Escape with Cancel disabled only beeps (Windows; Wine sends the Cancel command
// regardless, so that row diverges under Wine).
TEST_F(UserDialogs, CloseEscapeAndEnterBecomeCancelAndTheDefaultButton) {
    Watchdog watchdog("dialog keys and WM_CLOSE");
    DesktopRecorder recorder;
    struct Row {
        DWORD cancelStyle;
        bool toEdit;
        UINT message;
        WPARAM key;
        INT_PTR result;
    } rows[] = {{0, false, WM_CLOSE, 0, IDCANCEL},
                {WS_VISIBLE, true, WM_KEYDOWN, VK_ESCAPE, IDCANCEL},
                {WS_VISIBLE, true, WM_KEYDOWN, VK_RETURN, IDOK},
                {WS_VISIBLE | WS_DISABLED, true, WM_KEYDOWN, VK_ESCAPE, IDOK}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.message << " " << row.key);
        DialogBuilder builder = StandardDialog("Keys", row.cancelStyle);
        int beeps = recorder.beeps;
        EXPECT_EQ(row.result, RunWithDriver(builder, "Keys", [&](HWND dialog) {
                      PostMessageA(row.toEdit ? GetDlgItem(dialog, kEdit) : dialog, row.message,
                                   row.key, 0);
                      if (row.result == IDOK && row.key == VK_ESCAPE) {
                          EXPECT_TRUE(testsupport::WaitFor([&] { return recorder.beeps > beeps; }));
                          PostMessageA(dialog, WM_COMMAND, IDOK, 0);
                      }
                  }));
    }
    SetUp();
    DialogBuilder none(kDialogStyle, "No Cancel");
    none.Control(0x80, IDOK, WS_VISIBLE | BS_DEFPUSHBUTTON, "OK");
    EXPECT_EQ(IDCANCEL, RunWithDriver(none, "No Cancel",
                                      [](HWND dialog) { PostMessageA(dialog, WM_CLOSE, 0, 0); }));
    std::vector<MSG> commands = Seen(WM_COMMAND);
    ASSERT_EQ(1u, commands.size());
    EXPECT_EQ(0, commands[0].lParam); // no button to name
}

TEST_F(UserDialogs, DialogBoxResultsForBadInputFollowWindows) {
    Watchdog watchdog("DialogBox results");
    DialogBuilder builder = StandardDialog("Results");
    // Every truncation of a registered template fails cleanly.
    const std::vector<BYTE>& bytes = builder.Bytes();
    for (size_t size = 0; size < bytes.size() - 4; size += 3) {
        emu::RegisterResource(NULL, RT_DIALOG, 4713, bytes.data(), size);
        EXPECT_EQ(-1, DialogBoxParamA(NULL, MAKEINTRESOURCE(4713), NULL, TestDialogProc, 0))
            << size;
    }
    emu::UnregisterResource(NULL, RT_DIALOG, 4713);
}

TEST_F(UserDialogs, TheUsersCloseIsRefusedWhileTheSystemMenusCloseIsGreyed) {
    Watchdog watchdog("system menu Close");
    g_handler = [](HWND hwnd, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG)
            EnableMenuItem(GetSystemMenu(hwnd, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
        if (message == WM_USER)
            return TRUE;
        return -1;
    };
    DialogBuilder builder = StandardDialog("Menu");
    INT_PTR result = RunWithDriver(builder, "Menu", [](HWND dialog) {
        HMENU menu = GetSystemMenu(dialog, FALSE);
        EXPECT_EQ(static_cast<UINT>(MF_GRAYED), GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND));
        ui::CloseWindowAsUser(dialog);
        // A message posted after the close request arrives after it has been handled
        // (a sent one would be served first).
        PostMessageA(dialog, WM_USER, 0, 0);
        EXPECT_TRUE(testsupport::WaitFor([] { return !Seen(WM_USER).empty(); }));
        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_TRUE(Seen(WM_CLOSE).empty());
        EXPECT_EQ(static_cast<BOOL>(MF_GRAYED), EnableMenuItem(menu, SC_CLOSE, MF_ENABLED));
        ui::CloseWindowAsUser(dialog);
    });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ(1u, Seen(WM_CLOSE).size());
}

} // namespace
