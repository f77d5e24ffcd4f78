// vantel_wine_test: the Windows build against a real Win32. scripts/windows-test.sh runs it
// under Wine and Xvfb; it runs unchanged on Windows.
//
//   vantel_wine_test dialogs DLL    loads the library by name as a host of another compiler
//                                   would, checks that IsConnectRX4400() is false without the
//                                   driver, and opens each dialog template from the library's
//                                   own resources, modelessly. For each it prints
//                                   "shot ID X Y W H CAPTION" (its place on the screen) and
//                                   waits for a line on standard input (the picture taken)
//                                   before it closes the dialog. Its last line is "done".
//   vantel_wine_test commands VANTEL
//                                   runs "VANTEL doctor", "mkdir", "rm" and "pick" (whose
//                                   dialogs a thread of VANTEL works) without the driver: waits
//                                   for the message box of each, checks its caption and text,
//                                   presses OK and checks exit status 1.
//
// Every check prints a line "ok ..." or "FAIL ..."; a line "wine: ..." names a behaviour in
// which Wine is known to differ from Windows (checked as Windows behaves when not under Wine).
// Exit 0 when every check passed, 1 when one failed, 2 on a wrong command line.
#include <windows.h>
#include <commctrl.h>

#include "resources/DialogTemplates.h"
#include "resources/resource.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int g_nFailures = 0;

void Check(bool bOk, const std::string& what) {
    printf("%s %s\n", bOk ? "ok" : "FAIL", what.c_str());
    fflush(stdout);
    if (!bOk)
        ++g_nFailures;
}

bool UnderWine() {
    HMODULE hNtdll = ::GetModuleHandleA("ntdll.dll");
    return hNtdll != NULL && ::GetProcAddress(hNtdll, "wine_get_version") != NULL;
}

std::string TextOf(HWND hwnd) {
    char sz[256] = {};
    ::GetWindowTextA(hwnd, sz, sizeof sz);
    return sz;
}

std::string ClassOf(HWND hwnd) {
    char sz[64] = {};
    ::GetClassNameA(hwnd, sz, sizeof sz);
    return sz;
}

// A rectangle of the template in pixels: the dialog manager converts position and size each on
// its own.
RECT TemplateRect(HWND hDialog, short x, short y, short cx, short cy) {
    RECT rc = {x, y, cx, cy};
    ::MapDialogRect(hDialog, &rc);
    return {rc.left, rc.top, rc.left + rc.right, rc.top + rc.bottom};
}

std::string Place(const RECT& rc) {
    char sz[64];
    snprintf(sz, sizeof sz, "%ld,%ld %ldx%ld", static_cast<long>(rc.left),
             static_cast<long>(rc.top), static_cast<long>(rc.right - rc.left),
             static_cast<long>(rc.bottom - rc.top));
    return sz;
}

// The WM_COMMAND identifiers the open dialog has received.
std::vector<WORD> g_commands;
HWND g_hDialog = NULL;

INT_PTR CALLBACK RecordingProc(HWND, UINT uMsg, WPARAM wParam, LPARAM) {
    if (uMsg == WM_COMMAND) {
        g_commands.push_back(LOWORD(wParam));
        return TRUE; // the dialog stays open
    }
    return uMsg == WM_INITDIALOG;
}

// Dispatches what is queued for this thread, through the dialog manager for the open dialog.
void PumpQueued() {
    MSG msg;
    while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (g_hDialog != NULL && ::IsDialogMessageA(g_hDialog, &msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

// The dialog's caption and client area, then each control in the template's order: identifier,
// class, text, visibility and place in the client area.
void CheckDialog(HWND hDialog, const DIALOGRESOURCE& table) {
    const std::string what = std::to_string(table.wID);
    RECT rcExpected = TemplateRect(hDialog, 0, 0, table.cx, table.cy), rc;
    ::GetClientRect(hDialog, &rc);
    Check(TextOf(hDialog) == table.lpszCaption && ::EqualRect(&rc, &rcExpected),
          what + ": \"" + TextOf(hDialog) + "\", client area " + Place(rc) + " (template " +
              Place(rcExpected) + ")");
    HWND hControl = ::GetWindow(hDialog, GW_CHILD);
    for (int i = 0; i < table.nControls; ++i, hControl = ::GetWindow(hControl, GW_HWNDNEXT)) {
        const DIALOGCONTROL& control = table.pControls[i];
        const std::string which = what + " control " + std::to_string(control.nID);
        if (hControl == NULL) {
            Check(false, which + ": missing");
            return;
        }
        rcExpected = TemplateRect(hDialog, control.x, control.y, control.cx, control.cy);
        ::GetWindowRect(hControl, &rc);
        ::MapWindowPoints(NULL, hDialog, reinterpret_cast<POINT*>(&rc), 2);
        bool bVisible = (::GetWindowLongA(hControl, GWL_STYLE) & WS_VISIBLE) != 0;
        Check(static_cast<WORD>(::GetDlgCtrlID(hControl)) == static_cast<WORD>(control.nID) &&
                  lstrcmpiA(ClassOf(hControl).c_str(), control.lpszClass) == 0 &&
                  TextOf(hControl) == control.lpszText &&
                  bVisible == ((control.dwStyle & WS_VISIBLE) != 0) &&
                  ::EqualRect(&rc, &rcExpected),
              which + ": " + ClassOf(hControl) + " \"" + TextOf(hControl) + "\" " +
                  (bVisible ? "visible" : "hidden") + " at " + Place(rc) + " (template " +
                  Place(rcExpected) + ")");
    }
}

// Windows ignores WM_CLOSE and Esc while the dialog's Cancel button is disabled; Wine's
// dialog manager posts IDCANCEL all the same.
void CheckClosingWithCancelDisabled(HWND hDialog) {
    HWND hCancel = ::GetDlgItem(hDialog, IDCANCEL);
    ::EnableWindow(hCancel, FALSE);
    const struct {
        const char* name;
        UINT uMsg;
        WPARAM wParam;
    } kCloses[] = {{"WM_CLOSE", WM_CLOSE, 0}, {"Esc", WM_KEYDOWN, VK_ESCAPE}};
    for (const auto& close : kCloses) {
        g_commands.clear();
        ::PostMessageA(hDialog, close.uMsg, close.wParam, 0);
        PumpQueued();
        bool bCancelled = false;
        for (WORD wID : g_commands)
            bCancelled = bCancelled || wID == IDCANCEL;
        std::string what = std::string(close.name) + " with the Cancel button disabled";
        if (UnderWine() && bCancelled)
            printf("wine: %s gives IDCANCEL (Windows ignores it)\n", what.c_str());
        else
            Check(!bCancelled, what + " is ignored");
    }
    ::EnableWindow(hCancel, TRUE);
}

int RunDialogs(const char* lpszDll) {
    HMODULE hLibrary = ::LoadLibraryA(lpszDll);
    Check(hLibrary != NULL, std::string("LoadLibrary ") + lpszDll);
    if (hLibrary == NULL)
        return 1;
    typedef bool (*ISCONNECT)();
    // The C calling convention, whatever GetProcAddress's own type says.
    ISCONNECT pfnIsConnect = reinterpret_cast<ISCONNECT>(
        reinterpret_cast<void*>(::GetProcAddress(hLibrary, "IsConnectRX4400")));
    Check(pfnIsConnect != NULL, "IsConnectRX4400 exported under its plain name");
    if (pfnIsConnect != NULL)
        Check(!pfnIsConnect(), "IsConnectRX4400() is false without the machine's driver");

    int nDialogs = 0;
    const DIALOGRESOURCE* pDialogs = GetDialogResources(&nDialogs);
    for (int i = 0; i < nDialogs; ++i) {
        const DIALOGRESOURCE& table = pDialogs[i];
        std::string what = std::to_string(table.wID);
        HWND hDialog =
            ::CreateDialogParamA(hLibrary, MAKEINTRESOURCEA(table.wID), NULL, RecordingProc, 0);
        Check(hDialog != NULL, what + ": opened from the library's resources");
        if (hDialog == NULL)
            continue;
        g_hDialog = hDialog;
        ::SetWindowPos(hDialog, HWND_TOP, 24, 24, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        CheckDialog(hDialog, table);

        ::HideCaret(NULL); // a blinking caret would make every picture a different file
        ::RedrawWindow(hDialog, NULL, NULL,
                       RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        ::GdiFlush();
        PumpQueued();
        RECT rcWindow;
        ::GetWindowRect(hDialog, &rcWindow);
        printf("shot %u %ld %ld %ld %ld %s\n", table.wID, static_cast<long>(rcWindow.left),
               static_cast<long>(rcWindow.top), static_cast<long>(rcWindow.right - rcWindow.left),
               static_cast<long>(rcWindow.bottom - rcWindow.top), table.lpszCaption);
        fflush(stdout);
        char szLine[16];
        if (fgets(szLine, sizeof szLine, stdin) == NULL) // the picture is taken
            clearerr(stdin);                             // nobody takes pictures: go on
        if (table.wID == IDD_SEND_DIALOG)
            CheckClosingWithCancelDisabled(hDialog);
        g_hDialog = NULL;
        Check(::DestroyWindow(hDialog) != FALSE, what + ": closed");
    }
    printf("done\n"); // what Wine's services started meanwhile may keep the output open
    fflush(stdout);
    return g_nFailures == 0 ? 0 : 1;
}

struct FOUNDBOX {
    DWORD dwProcessId;
    HWND hBox;
};

// A message box of the process: a dialog holding the message-box text control (0xFFFF).
BOOL CALLBACK FindMessageBox(HWND hwnd, LPARAM lParam) {
    FOUNDBOX* pFound = reinterpret_cast<FOUNDBOX*>(lParam);
    DWORD dwProcessId = 0;
    ::GetWindowThreadProcessId(hwnd, &dwProcessId);
    if (dwProcessId != pFound->dwProcessId || !::IsWindowVisible(hwnd) ||
        ClassOf(hwnd) != "#32770" || ::GetDlgItem(hwnd, 0xFFFF) == NULL)
        return TRUE;
    pFound->hBox = hwnd;
    return FALSE;
}

// Runs "VANTEL ARGUMENTS" without the machine's driver: it must show the message box of the driver
// troubleshooting (answered with OK) and exit with 1.
void RunWithoutDriver(const std::string& vantel, const std::string& arguments) {
    const std::string what = "vantel " + arguments;
    std::string command = "\"" + vantel + "\" " + arguments;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessA(NULL, &command[0], NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi)) {
        Check(false, "start " + command);
        return;
    }
    FOUNDBOX found = {pi.dwProcessId, NULL};
    const DWORD kPatience = 60000;
    DWORD dwStart = ::GetTickCount();
    while (found.hBox == NULL && ::GetTickCount() - dwStart < kPatience &&
           ::WaitForSingleObject(pi.hProcess, 50) == WAIT_TIMEOUT)
        ::EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&found));
    Check(found.hBox != NULL, what + " shows a message box");
    if (found.hBox != NULL) {
        std::string text = TextOf(::GetDlgItem(found.hBox, 0xFFFF));
        Check(TextOf(found.hBox) == "Search USB Driver" &&
                  text == "The USB driver was not found. Install the USB driver.",
              what + ": \"" + TextOf(found.hBox) + "\": \"" + text + "\"");
        DWORD_PTR dwResult = 0;
        ::SendMessageTimeoutA(::GetDlgItem(found.hBox, IDOK), BM_CLICK, 0, 0, SMTO_NORMAL,
                              kPatience, &dwResult);
    }
    DWORD dwExit = STILL_ACTIVE;
    if (::WaitForSingleObject(pi.hProcess, kPatience) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(pi.hProcess, &dwExit);
    else
        ::TerminateProcess(pi.hProcess, 3);
    Check(dwExit == 1, what + " exits with 1 (no driver), got " + std::to_string(dwExit));
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
}

int RunCommands(const char* lpszVantel) {
    // doctor: its dialog "Search USB Driver" comes first, then the message box with the finding.
    // mkdir: the folder to make the new one in cannot be listed. rm: "Delete" is pressed by the
    // command's own thread, then the deletion fails. pick: the browser shows an empty root, the
    // command's thread finds no folder in it and closes it.
    for (const char* arguments : {"doctor", "mkdir \\EMB NEW", "rm \\EMB\\A.KST", "pick EMB A.KST"})
        RunWithoutDriver(lpszVantel, arguments);
    return g_nFailures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "dialogs") == 0)
        return RunDialogs(argv[2]);
    if (argc == 3 && strcmp(argv[1], "commands") == 0)
        return RunCommands(argv[2]);
    fprintf(stderr, "usage: vantel_wine_test dialogs DLL | commands VANTEL.EXE\n");
    return 2;
}
