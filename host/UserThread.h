// What the commands that act for the user share: a thread of the host's own that works a library
// dialog while the command's thread shows it (DoModal), and that thread's hands: waiting for a
// dialog by its caption and pressing its buttons. Written over the Win32 API alone, so that it is
// the emulation's threads on POSIX and Windows' own in vantel.exe (the win32-thread mingw
// compilers have no C++ threads).
#pragma once

#include "stdafx.h"

#include <functional>
#include <string>

namespace host {

// Whether the library's dialogs are windows on a desktop, worked by the user (Windows), rather
// than told at the terminal by the presenter (POSIX).
#ifdef _WIN32
constexpr bool kDialogsOnDesktop = true;
#else
constexpr bool kDialogsOnDesktop = false;
#endif

class UserThread {
public:
    // Starts `act` on a thread of its own; a process that cannot start one says so and ends
    // with 1.
    explicit UserThread(std::function<void()> act);
    ~UserThread(); // Join()
    UserThread(const UserThread&) = delete;
    UserThread& operator=(const UserThread&) = delete;

    // Waits until `act` has returned. Meanwhile the messages that it sends to this thread's
    // windows are served: a wait that did not serve them would never end (Windows holds a
    // sender until the receiving thread takes its messages).
    void Join();

private:
    static DWORD WINAPI Main(LPVOID self);

    std::function<void()> m_act;
    HANDLE m_thread = NULL;
};

// The visible dialog (class "#32770") with this caption; NULL when none came within `timeoutMs`
// of real time.
HWND WaitForDialog(const std::string& caption, int timeoutMs = 30000);

// Presses a button of a dialog as a click of the mouse does, when the button is visible and
// enabled: a check box changes its check, then the dialog is posted the button's BN_CLICKED.
// (BM_CLICK would depend on the dialog being the active window, which on a desktop it need not
// be.) False when it cannot be pressed.
bool PressButton(HWND dialog, int id);

// Presses the button as soon as it can be pressed; false when the dialog went first (or is NULL).
bool PressWhenEnabled(HWND dialog, int id);

// The pause between two looks at the screen: 10 ms of real time, whatever the time scale.
void PauseToLook();

} // namespace host
