// Helpers of the Win32 emulation's tests: threads running a lambda, and joining with a
// bounded real-time wait so that a fault shows as a failure rather than a hang.
#pragma once

#include <windows.h>

#include "support/TestSupport.h"

#include <functional>
#include <memory>

namespace win32test {

struct Routine {
    std::function<DWORD()> body;
};

inline DWORD WINAPI RunRoutine(LPVOID parameter) {
    std::unique_ptr<Routine> routine(static_cast<Routine*>(parameter));
    return routine->body();
}

// CreateThread over a lambda.
inline HANDLE StartThread(std::function<DWORD()> body, DWORD flags = 0, DWORD* threadId = nullptr) {
    return CreateThread(nullptr, 0, RunRoutine, new Routine{std::move(body)}, flags, threadId);
}

// True once `object` is signalled (polled without consuming anything but that signal).
inline bool Signalled(HANDLE object, int realTimeoutMs = 10000) {
    return testsupport::WaitFor([&] { return WaitForSingleObject(object, 0) == WAIT_OBJECT_0; },
                                realTimeoutMs);
}

// Waits for a thread to end, closes its handle and returns its exit code.
inline DWORD Join(HANDLE thread) {
    DWORD code = 0xDEADBEEF;
    if (Signalled(thread))
        GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    return code;
}

} // namespace win32test
