#include "UserThread.h"

#include "frame/MessageWait.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace host {

UserThread::UserThread(std::function<void()> act) : m_act(std::move(act)) {
    m_thread = ::CreateThread(NULL, 0, &UserThread::Main, this, 0, NULL);
    if (m_thread == NULL) {
        std::fprintf(stderr, "vantel: a thread could not be started (error %lu)\n",
                     static_cast<unsigned long>(::GetLastError()));
        std::exit(1);
    }
}

UserThread::~UserThread() {
    Join();
}

DWORD WINAPI UserThread::Main(LPVOID self) {
    static_cast<UserThread*>(self)->m_act();
    return 0;
}

void UserThread::Join() {
    if (m_thread == NULL)
        return;
    WaitServingMessages(m_thread);
    ::CloseHandle(m_thread);
    m_thread = NULL;
}

HWND WaitForDialog(const std::string& caption, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        HWND dialog = ::FindWindowA("#32770", caption.c_str());
        if (dialog != NULL && ::IsWindowVisible(dialog))
            return dialog;
        if (std::chrono::steady_clock::now() >= end)
            return NULL;
        PauseToLook();
    }
}

bool PressButton(HWND dialog, int id) {
    HWND button = ::GetDlgItem(dialog, id);
    if (button == NULL || !::IsWindowVisible(button) || !::IsWindowEnabled(button))
        return false;
    if ((::GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
        const bool checked = ::SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
        ::SendMessageA(button, BM_SETCHECK, checked ? BST_UNCHECKED : BST_CHECKED, 0);
    }
    return ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                          reinterpret_cast<LPARAM>(button)) != FALSE;
}

bool PressWhenEnabled(HWND dialog, int id) {
    while (dialog != NULL && ::IsWindow(dialog) && ::IsWindowVisible(dialog)) {
        if (PressButton(dialog, id))
            return true;
        PauseToLook();
    }
    return false;
}

void PauseToLook() {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace host
