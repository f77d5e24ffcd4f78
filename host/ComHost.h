// What the vantel commands built on the command object share: the terminal presenter that
// shows the library's message boxes, a window that owns them and takes the device
// notifications, and the reading of a medium option.
#pragma once

#include "stdafx.h"
#include "Command.h"
#include "Presenter.h"

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#ifndef _WIN32
#include <thread>
#endif

namespace host {

class ComHost {
public:
    // The dialogs and message boxes are shown on `out`.
    explicit ComHost(FILE* out = stdout);
    ~ComHost();
    ComHost(const ComHost&) = delete;
    ComHost& operator=(const ComHost&) = delete;

    HWND Owner() const { return m_owner; }

private:
    Presenter m_presenter;
    HWND m_owner;
};

// Ctrl-C for the object's life: SIGINT and SIGTERM are taken by a thread of the watch's own
// (no other thread of the process sees them), which calls `onInterrupt` for each of them; on
// Windows Ctrl-C, Ctrl-Break and closing the console call it on the console's thread (one watch
// at a time). `onInterrupt` should give up when Stopping() says the watch is going away.
class InterruptWatch {
public:
    explicit InterruptWatch(std::function<void(const InterruptWatch&)> onInterrupt);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    bool Stopping() const { return m_stopping; }
    // Whether a signal has come.
    bool Interrupted() const { return m_interrupted; }

private:
    std::function<void(const InterruptWatch&)> m_onInterrupt;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_interrupted{false};
#ifdef _WIN32
    static BOOL WINAPI OnConsoleControl(DWORD dwType);
#else
    std::thread m_thread;
#endif
};

// What Ctrl-C does to a dialog: presses its Cancel button as a user would, as soon as the
// dialog lets the user cancel (the library's dialogs grey it while they start).
std::function<void(const InterruptWatch&)> PressCancelOf(const std::string& caption);

// Says how a library dialog ended ("done", "cancelled" after Ctrl-C, "failed" when it showed
// why) and gives the command's exit status: 0 for IDOK, 1 otherwise.
int DialogOutcome(const char* command, INT_PTR result, const InterruptWatch& interrupt);

// Whether `folder` is a folder to write into (a message on stderr when not).
bool CheckOutputFolder(const char* command, const std::string& folder);

// The --medium option: 1 built-in memory, 2 ATA card, 3 USB memory, 4 the sewing design;
// `fallback` when it is not given. Empty (with a message on stderr) for anything else.
std::optional<unsigned short> MediumOption(Args& args, const char* command, long long fallback);

// A --selector option: a status selector of 0 to 255 (`fallback` when not given).
std::optional<BYTE> SelectorOption(Args& args, const char* command, long long fallback);

} // namespace host
