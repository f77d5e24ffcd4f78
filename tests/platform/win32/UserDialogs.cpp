// Dialogs from in-memory templates: creation order, the modal loop and EndDialog, the dialog
// manager's WM_CLOSE rule, nested modal dialogs, messages sent from a worker while the owner
// runs its modal loop, the system menu's Close command, keys, and the results for bad input.
// The dialogs are driven from worker threads through the Win32 API (support/UiDriver.h).
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

// Counts the desktop's beeps and remembers which windows were ever shown.
class DesktopRecorder : public emu::DesktopObserver {
public:
    DesktopRecorder() { emu::AddDesktopObserver(this); }
    ~DesktopRecorder() override { emu::RemoveDesktopObserver(this); }
    void OnBeep(UINT) override { ++beeps; }
    void OnWindowShown(HWND hwnd, bool visible) override {
        std::lock_guard<std::mutex> lock(m_lock);
        if (visible)
            m_shown.push_back(hwnd);
    }
    bool WasShown(HWND hwnd) {
        std::lock_guard<std::mutex> lock(m_lock);
        return std::find(m_shown.begin(), m_shown.end(), hwnd) != m_shown.end();
    }
    std::atomic<int> beeps{0};

private:
    std::mutex m_lock;
    std::vector<HWND> m_shown;
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
                                 std::function<void(HWND)> driver, HWND owner = NULL) {
        HANDLE worker = StartThread([&] {
            HWND dialog = ui::WaitForWindow(caption);
            EXPECT_NE(nullptr, dialog) << caption;
            if (dialog != NULL)
                driver(dialog);
            return 0;
        });
        INT_PTR result =
            DialogBoxIndirectParamA(NULL, builder.Template(), owner, TestDialogProc, 1234);
        EXPECT_EQ(0u, Join(worker));
        return result;
    }
};

TEST_F(UserDialogs, ModalDialogIsBuiltFromItsTemplateAndEndsWithTheWorkersCommand) {
    Watchdog watchdog("modal dialog");
    HWND owner = CreateWindowExA(0, "Static", "owner", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 10, 10,
                                 NULL, NULL, NULL, nullptr);
    std::atomic<bool> ownerDisabledAtInit{false}, ownerEnabledAtDestroy{false};
    std::vector<std::string> classes;
    g_handler = [&](HWND hwnd, UINT message, WPARAM, LPARAM lParam) -> INT_PTR {
        if (message == WM_INITDIALOG) {
            EXPECT_EQ(1234, lParam);
            ownerDisabledAtInit = !IsWindowEnabled(owner);
            for (int id : {IDOK, IDCANCEL, int(kStatus), int(kProgress), int(kList), int(kEdit)}) {
                char name[64] = "";
                GetClassNameA(GetDlgItem(hwnd, id), name, sizeof(name));
                classes.push_back(name);
            }
        }
        if (message == WM_DESTROY)
            ownerEnabledAtDestroy = IsWindowEnabled(owner) != FALSE;
        return -1;
    };
    DialogBuilder builder = StandardDialog("Sending");
    INT_PTR result = RunWithDriver(
        builder, "Sending",
        [](HWND dialog) {
            EXPECT_EQ("Now Sending", ui::ControlText(dialog, kStatus));
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        },
        owner);
    EXPECT_EQ(IDOK, result);
    EXPECT_TRUE(ownerDisabledAtInit);
    EXPECT_TRUE(ownerEnabledAtDestroy); // EndDialog gave the owner back before destruction
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ((std::vector<std::string>{"Button", "Button", "Static", "msctls_progress32",
                                        "SysListView32", "Edit"}),
              classes);
    // WM_SETFONT came before WM_INITDIALOG, which came once.
    ASSERT_EQ(1u, Seen(WM_INITDIALOG).size());
    ASSERT_FALSE(Seen(WM_SETFONT).empty());
    std::lock_guard<std::mutex> lock(g_lock);
    auto font = std::find_if(g_seen.begin(), g_seen.end(),
                             [](const MSG& m) { return m.message == WM_SETFONT; });
    auto init = std::find_if(g_seen.begin(), g_seen.end(),
                             [](const MSG& m) { return m.message == WM_INITDIALOG; });
    EXPECT_LT(font - g_seen.begin(), init - g_seen.begin());
    DestroyWindow(owner);
}

// Windows' documented rule, which the progress dialogs rely on. Wine posts the Cancel
// command regardless, so this test diverges under Wine.
TEST_F(UserDialogs, CloseIsRefusedWhileCancelIsDisabled_WindowsBehaviourDivergesUnderWine) {
    Watchdog watchdog("WM_CLOSE rule");
    DesktopRecorder recorder;
    DialogBuilder builder = StandardDialog("Receiving", WS_VISIBLE | WS_DISABLED);
    INT_PTR result = RunWithDriver(builder, "Receiving", [&](HWND dialog) {
        PostMessageA(dialog, WM_CLOSE, 0, 0);
        EXPECT_TRUE(testsupport::WaitFor([&] { return recorder.beeps > 0; }));
        EXPECT_TRUE(IsWindowVisible(dialog)); // still there
        EXPECT_TRUE(Seen(WM_COMMAND).empty());
        EnableWindow(GetDlgItem(dialog, IDCANCEL), TRUE); // waits for the dialog's thread
        PostMessageA(dialog, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(IDCANCEL, result);
    std::vector<MSG> commands = Seen(WM_COMMAND);
    ASSERT_EQ(1u, commands.size());
    EXPECT_EQ(static_cast<WPARAM>(MAKEWPARAM(IDCANCEL, BN_CLICKED)), commands[0].wParam);
    EXPECT_NE(0, commands[0].lParam); // the Cancel button
}

TEST_F(UserDialogs, CloseCountsAHiddenButEnabledCancelAndWorksWithoutOne) {
    Watchdog watchdog("WM_CLOSE with hidden or no Cancel");
    DialogBuilder hidden = StandardDialog("Design List", 0);
    EXPECT_EQ(IDCANCEL, RunWithDriver(hidden, "Design List",
                                      [](HWND dialog) { PostMessageA(dialog, WM_CLOSE, 0, 0); }));
    {
        std::lock_guard<std::mutex> lock(g_lock);
        g_seen.clear();
    }
    DialogBuilder none(kDialogStyle, "No Cancel");
    none.Control(0x80, IDOK, WS_VISIBLE | BS_DEFPUSHBUTTON, "OK");
    EXPECT_EQ(IDCANCEL, RunWithDriver(none, "No Cancel",
                                      [](HWND dialog) { PostMessageA(dialog, WM_CLOSE, 0, 0); }));
    std::vector<MSG> commands = Seen(WM_COMMAND);
    ASSERT_EQ(1u, commands.size());
    EXPECT_EQ(0, commands[0].lParam); // no button to name
}

TEST_F(UserDialogs, EndDialogDuringInitEndsBeforeAnyLoopAndTheDialogIsNeverShown) {
    Watchdog watchdog("EndDialog in WM_INITDIALOG");
    DesktopRecorder recorder;
    HWND dialog = NULL;
    g_handler = [&](HWND hwnd, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG) {
            dialog = hwnd;
            EndDialog(hwnd, 77);
            return TRUE;
        }
        return -1;
    };
    DialogBuilder builder(kDialogStyle | WS_VISIBLE, "Quick");
    builder.Control(0x80, IDOK, WS_VISIBLE | BS_DEFPUSHBUTTON, "OK");
    EXPECT_EQ(77, DialogBoxIndirectParamA(NULL, builder.Template(), NULL, TestDialogProc, 0));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(recorder.WasShown(dialog));
    EXPECT_TRUE(Seen(WM_SHOWWINDOW).empty());
}

TEST_F(UserDialogs, DialogBoxResultsForBadInputFollowWindows) {
    Watchdog watchdog("DialogBox results");
    DialogBuilder builder = StandardDialog("Results");
    // An invalid owner: 0 and ERROR_INVALID_WINDOW_HANDLE.
    HWND dead = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 1, 1, NULL, NULL, NULL, nullptr);
    DestroyWindow(dead);
    EXPECT_EQ(0, DialogBoxIndirectParamA(NULL, builder.Template(), dead, TestDialogProc, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
    // A template that is not there: -1 and ERROR_RESOURCE_NAME_NOT_FOUND.
    EXPECT_EQ(-1, DialogBoxParamA(NULL, MAKEINTRESOURCE(4711), NULL, TestDialogProc, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
    // The dialog destroys itself during WM_INITDIALOG: -1.
    g_handler = [](HWND hwnd, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG)
            DestroyWindow(hwnd);
        return -1;
    };
    EXPECT_EQ(-1, DialogBoxIndirectParamA(NULL, builder.Template(), NULL, TestDialogProc, 0));
    g_handler = nullptr;

    // A registered template works by id; every truncation of it fails cleanly.
    const std::vector<BYTE>& bytes = builder.Bytes();
    emu::RegisterResource(NULL, RT_DIALOG, 4712, bytes.data(), bytes.size());
    HWND modeless = CreateDialogParamA(NULL, MAKEINTRESOURCE(4712), NULL, TestDialogProc, 0);
    ASSERT_NE(nullptr, modeless);
    EXPECT_EQ("Results", ui::WindowText(modeless));
    DestroyWindow(modeless);
    for (size_t size = 0; size < bytes.size() - 4; size += 3) {
        emu::RegisterResource(NULL, RT_DIALOG, 4713, bytes.data(), size);
        EXPECT_EQ(-1, DialogBoxParamA(NULL, MAKEINTRESOURCE(4713), NULL, TestDialogProc, 0))
            << size;
    }
    // A control class the dialog manager does not have: the dialog fails as a whole.
    DialogBuilder unknown(kDialogStyle, "Unknown");
    unknown.Control(0x83, 5, WS_VISIBLE, "");
    EXPECT_EQ(-1, DialogBoxIndirectParamA(NULL, unknown.Template(), NULL, TestDialogProc, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS), GetLastError());
    emu::UnregisterResource(NULL, RT_DIALOG, 4712);
    emu::UnregisterResource(NULL, RT_DIALOG, 4713);
}

TEST_F(UserDialogs, NestedModalDialogsDisableTheirOwnerOneAfterTheOther) {
    Watchdog watchdog("nested modal dialogs");
    DialogBuilder inner = StandardDialog("Inner");
    std::atomic<bool> outerDisabled{false}, outerEnabledAgain{false};
    g_handler = [&](HWND hwnd, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG && ui::WindowText(hwnd) == "Outer")
            PostMessageA(hwnd, WM_USER, 0, 0);
        if (message == WM_USER) {
            INT_PTR innerResult =
                DialogBoxIndirectParamA(NULL, inner.Template(), hwnd, TestDialogProc, 0);
            EndDialog(hwnd, 100 + innerResult);
            return TRUE;
        }
        (void)wParam;
        return -1;
    };
    // Visible from the start: its queue never empties before the inner dialog runs.
    DialogBuilder outer = StandardDialog("Outer", WS_VISIBLE, kDialogStyle | WS_VISIBLE);
    INT_PTR result = RunWithDriver(outer, "Outer", [&](HWND outerWindow) {
        HWND innerWindow = ui::WaitForWindow("Inner");
        ASSERT_NE(nullptr, innerWindow);
        outerDisabled = !IsWindowEnabled(outerWindow);
        EXPECT_EQ(outerWindow, GetWindow(innerWindow, GW_OWNER));
        EXPECT_TRUE(ui::ClickButton(innerWindow, IDOK));
        EXPECT_TRUE(ui::WaitForWindowGone(innerWindow));
        outerEnabledAgain = testsupport::WaitFor(
            [&] { return !IsWindow(outerWindow) || IsWindowEnabled(outerWindow); });
    });
    EXPECT_EQ(100 + IDOK, result);
    EXPECT_TRUE(outerDisabled);
    EXPECT_TRUE(outerEnabledAgain);
}

TEST_F(UserDialogs, AWorkerReadsTheProgressBarWhileTheOwnerRunsItsModalLoop) {
    Watchdog watchdog("PBM_GETPOS across threads");
    g_handler = [](HWND hwnd, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG) {
            SendDlgItemMessageA(hwnd, kProgress, PBM_SETRANGE, 0, MAKELPARAM(0, 1000));
            SendDlgItemMessageA(hwnd, kProgress, PBM_SETSTEP, 1, 0);
            SetTimer(hwnd, 1, 50, nullptr);
            return TRUE;
        }
        if (message == WM_TIMER) {
            SendDlgItemMessageA(hwnd, kProgress, PBM_STEPIT, 0, 0);
            return TRUE;
        }
        if (message == WM_DESTROY)
            KillTimer(hwnd, 1);
        return -1;
    };
    std::vector<int> readings;
    DialogBuilder builder = StandardDialog("Progress");
    INT_PTR result = RunWithDriver(builder, "Progress", [&](HWND dialog) {
        while (readings.empty() || readings.back() < 5) {
            readings.push_back(ui::ProgressPosition(dialog, kProgress));
            Sleep(50);
        }
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(IDOK, result);
    EXPECT_TRUE(std::is_sorted(readings.begin(), readings.end()));
    EXPECT_EQ(0, readings.front() < 0);
}

TEST_F(UserDialogs, QuitEndsTheModalLoopAndIsPostedAgain) {
    Watchdog watchdog("WM_QUIT in a modal loop");
    DWORD uiThread = GetCurrentThreadId();
    DialogBuilder builder = StandardDialog("Quit");
    INT_PTR result =
        RunWithDriver(builder, "Quit", [&](HWND) { PostThreadMessageA(uiThread, WM_QUIT, 3, 0); });
    EXPECT_EQ(IDOK, result); // the default button's id, as nothing ended the dialog
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_QUIT), msg.message);
    EXPECT_EQ(3u, msg.wParam);
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

TEST_F(UserDialogs, EscapeAndEnterBecomeCancelAndTheDefaultButton) {
    Watchdog watchdog("dialog keys");
    DialogBuilder builder = StandardDialog("Keys");
    EXPECT_EQ(IDCANCEL, RunWithDriver(builder, "Keys", [](HWND dialog) {
                  PostMessageA(GetDlgItem(dialog, kEdit), WM_KEYDOWN, VK_ESCAPE, 0);
              }));
    EXPECT_EQ(IDOK, RunWithDriver(builder, "Keys", [](HWND dialog) {
                  PostMessageA(GetDlgItem(dialog, kEdit), WM_KEYDOWN, VK_RETURN, 0);
              }));
    // Escape with Cancel disabled: a beep, as for the close command (Windows; Wine sends the
    // Cancel command regardless, so this part diverges under Wine).
    DesktopRecorder recorder;
    DialogBuilder disabled = StandardDialog("Keys", WS_VISIBLE | WS_DISABLED);
    EXPECT_EQ(IDOK, RunWithDriver(disabled, "Keys", [&](HWND dialog) {
                  PostMessageA(GetDlgItem(dialog, kEdit), WM_KEYDOWN, VK_ESCAPE, 0);
                  EXPECT_TRUE(testsupport::WaitFor([&] { return recorder.beeps > 0; }));
                  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
              }));
}

TEST_F(UserDialogs, ModelessDialogAnswersQueriesAboutItsWindows) {
    g_handler = [](HWND hwnd, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_NOTIFY) {
            SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, 99);
            return TRUE;
        }
        return -1;
    };
    DialogBuilder builder = StandardDialog("Queries");
    HWND dialog = CreateDialogIndirectParamA(NULL, builder.Template(), NULL, TestDialogProc, 5);
    ASSERT_NE(nullptr, dialog);
    EXPECT_FALSE(IsWindowVisible(dialog)); // no WS_VISIBLE in the template
    EXPECT_EQ(dialog, FindWindowA(NULL, "Queries"));
    EXPECT_EQ(dialog, FindWindowA("#32770", "queries")); // case does not matter
    HWND status = GetDlgItem(dialog, kStatus);
    EXPECT_EQ(static_cast<int>(kStatus), GetDlgCtrlID(status));
    EXPECT_EQ(dialog, GetParent(status));
    EXPECT_EQ(nullptr, GetDlgItem(dialog, 999));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CONTROL_ID_NOT_FOUND), GetLastError());
    DWORD process = 0;
    EXPECT_EQ(GetCurrentThreadId(), GetWindowThreadProcessId(dialog, &process));
    EXPECT_EQ(GetCurrentProcessId(), process);
    int children = 0;
    EnumChildWindows(
        dialog, [](HWND, LPARAM count) -> BOOL { return ++*reinterpret_cast<int*>(count) > 0; },
        reinterpret_cast<LPARAM>(&children));
    EXPECT_EQ(6, children);
    EXPECT_TRUE(SetDlgItemTextA(dialog, kStatus, "Now Receiving"));
    char text[8];
    EXPECT_EQ(7u, GetDlgItemTextA(dialog, kStatus, text, sizeof(text)));
    EXPECT_STREQ("Now Rec", text); // cut to the buffer
    EXPECT_EQ(13, GetWindowTextLengthA(status));
    SetWindowLongPtrA(dialog, DWLP_USER, 0x1234);
    SetWindowLongPtrA(dialog, GWLP_USERDATA, 0x5678);
    EXPECT_EQ(0x1234, GetWindowLongPtrA(dialog, DWLP_USER));
    EXPECT_EQ(0x5678, GetWindowLongPtrA(dialog, GWLP_USERDATA));
    EXPECT_EQ(0, GetWindowLongPtrA(dialog, DLGWINDOWEXTRA)); // past the extra bytes
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_INDEX), GetLastError());
    NMHDR header{status, kStatus, NM_CLICK};
    EXPECT_EQ(99, SendMessageA(dialog, WM_NOTIFY, kStatus, reinterpret_cast<LPARAM>(&header)));
    EXPECT_EQ(MAKELONG(IDOK, DC_HASDEFID), SendMessageA(dialog, DM_GETDEFID, 0, 0));
    EXPECT_TRUE(DestroyWindow(dialog));
    EXPECT_FALSE(IsWindow(status));
    EXPECT_FALSE(EndDialog(dialog, 1));
}

TEST_F(UserDialogs, TheUiDriverWorksTheControlsFromAnotherThread) {
    Watchdog watchdog("UI driver");
    constexpr WORD kCheck = 104;
    std::string typed;
    bool checked = false;
    g_handler = [&](HWND hwnd, UINT message, WPARAM, LPARAM lParam) -> INT_PTR {
        if (message == WM_INITDIALOG) {
            const char* names[] = {"EMB", "FOLDER1", "FOLDER2"};
            for (int i = 0; i < 3; ++i) {
                LVITEMA item{};
                item.mask = LVIF_TEXT | LVIF_PARAM;
                item.iItem = i;
                item.pszText = const_cast<char*>(names[i]);
                item.lParam = 10 * i;
                SendDlgItemMessageA(hwnd, kList, LVM_INSERTITEMA, 0,
                                    reinterpret_cast<LPARAM>(&item));
            }
            return TRUE;
        }
        if (message == WM_NOTIFY) {
            const NMITEMACTIVATE* note = reinterpret_cast<const NMITEMACTIVATE*>(lParam);
            if (note->hdr.code == NM_DBLCLK && note->iItem >= 0) {
                typed = ui::ControlText(hwnd, kEdit);
                checked = IsDlgButtonChecked(hwnd, kCheck) == BST_CHECKED;
                EndDialog(hwnd, 100 + note->lParam);
            }
            return TRUE;
        }
        return message == WM_COMMAND ? TRUE : -1; // clicks do not end this dialog
    };
    DialogBuilder builder = StandardDialog("Receive a Design");
    builder.Control(0x80, kCheck, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, "RZ only");
    INT_PTR result = RunWithDriver(builder, "Receive a Design", [](HWND dialog) {
        EXPECT_EQ(3, ui::ListCount(dialog, kList));
        EXPECT_EQ("FOLDER1", ui::ListItemText(dialog, kList, 1));
        EXPECT_EQ(-1, ui::ListSelection(dialog, kList));
        EXPECT_TRUE(ui::SelectListItem(dialog, kList, 1));
        EXPECT_TRUE(testsupport::WaitFor([&] { return ui::ListSelection(dialog, kList) == 1; }));
        EXPECT_TRUE(ui::SetCheckBox(dialog, kCheck, true));
        EXPECT_TRUE(testsupport::WaitFor([&] { return ui::IsChecked(dialog, kCheck); }));
        EXPECT_TRUE(ui::SetCheckBox(dialog, kCheck, true)); // already checked: no click
        EXPECT_TRUE(ui::TypeText(dialog, kEdit, "NEW1"));
        EXPECT_TRUE(testsupport::WaitFor([&] { return ui::ControlText(dialog, kEdit) == "NEW1"; }));
        EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
        EXPECT_FALSE(ui::ClickButton(dialog, IDOK)); // a disabled button cannot be clicked
        EXPECT_TRUE(ui::DoubleClickListItem(dialog, kList, 2));
    });
    EXPECT_EQ(120, result);
    EXPECT_EQ("NEW1", typed);
    EXPECT_TRUE(checked);
}

TEST_F(UserDialogs, ADialogThatDestroysItselfReturnsZeroAndGivesItsOwnerBack) {
    Watchdog watchdog("dialog destroying itself");
    HWND owner = CreateWindowExA(0, "Static", "owner", WS_OVERLAPPED, 0, 0, 10, 10, NULL, NULL,
                                 NULL, nullptr);
    g_handler = [](HWND hwnd, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_CLOSE) {
            DestroyWindow(hwnd);
            return TRUE;
        }
        return -1;
    };
    DialogBuilder builder = StandardDialog("Self");
    EXPECT_EQ(
        0, RunWithDriver(
               builder, "Self", [](HWND dialog) { PostMessageA(dialog, WM_CLOSE, 0, 0); }, owner));
    EXPECT_TRUE(IsWindowEnabled(owner));
    // An owner that was disabled before stays disabled.
    EnableWindow(owner, FALSE);
    EXPECT_EQ(
        0, RunWithDriver(
               builder, "Self", [](HWND dialog) { PostMessageA(dialog, WM_CLOSE, 0, 0); }, owner));
    EXPECT_FALSE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

} // namespace
