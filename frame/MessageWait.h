// Waiting for a thread that may send messages to the waiting one.
#pragma once

#include <windows.h>

// Waits for the thread without a time limit, serving the messages that other threads send to
// this one meanwhile: a thread that sets texts or reads controls by message would otherwise
// never end (Windows holds a sender until the receiving thread takes its messages). The wait
// wakes only for messages sent after the queue was last looked at, so those already there are
// served before each wait.
inline void WaitServingMessages(HANDLE hThread) {
    for (;;) {
        MSG msg;
        ::PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE); // serves the sent messages
        const DWORD dwWait =
            ::MsgWaitForMultipleObjects(1, &hThread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (dwWait != WAIT_OBJECT_0 + 1)
            return; // the thread has ended (or its handle is no longer one to wait on)
    }
}
