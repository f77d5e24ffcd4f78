#include "ComHost.h"
#include "UserThread.h"

#include <cstdio>
#include <filesystem>

#ifndef _WIN32
#include <csignal>
#include <pthread.h>
#endif

namespace host {

ComHost::ComHost(FILE* out)
    : m_presenter(out), m_owner(::CreateWindowExA(0, "Static", "vantel", WS_OVERLAPPED, 0, 0, 10,
                                                  10, NULL, NULL, NULL, nullptr)) {}

ComHost::~ComHost() {
    ::DestroyWindow(m_owner);
}

#ifdef _WIN32

namespace {
InterruptWatch* s_watch = nullptr; // the watch the console's handler calls
} // namespace

InterruptWatch::InterruptWatch(std::function<void(const InterruptWatch&)> onInterrupt)
    : m_onInterrupt(std::move(onInterrupt)) {
    s_watch = this;
    ::SetConsoleCtrlHandler(&InterruptWatch::OnConsoleControl, TRUE);
}

InterruptWatch::~InterruptWatch() {
    m_stopping = true;
    ::SetConsoleCtrlHandler(&InterruptWatch::OnConsoleControl, FALSE);
    s_watch = nullptr;
}

BOOL WINAPI InterruptWatch::OnConsoleControl(DWORD /*dwType*/) {
    InterruptWatch* watch = s_watch;
    if (watch == nullptr || watch->m_stopping)
        return FALSE;
    watch->m_interrupted = true;
    watch->m_onInterrupt(*watch);
    return TRUE;
}

#else

namespace {

sigset_t InterruptSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

} // namespace

InterruptWatch::InterruptWatch(std::function<void(const InterruptWatch&)> onInterrupt)
    : m_onInterrupt(std::move(onInterrupt)) {
    // Blocked before any other thread starts, so that they all inherit the mask.
    const sigset_t signals = InterruptSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    m_thread = std::thread([this, signals] {
        for (;;) {
            int signal = 0;
            sigwait(&signals, &signal);
            if (m_stopping)
                return; // the destructor's own signal
            m_interrupted = true;
            m_onInterrupt(*this);
        }
    });
}

InterruptWatch::~InterruptWatch() {
    m_stopping = true;
    pthread_kill(m_thread.native_handle(), SIGTERM); // ends the wait if the thread is in it
    m_thread.join();
}

#endif

std::function<void(const InterruptWatch&)> PressCancelOf(const std::string& caption) {
    return [caption](const InterruptWatch& watch) {
        while (!watch.Stopping()) {
            HWND dialog = ::FindWindowA("#32770", caption.c_str());
            if (dialog != NULL && ::IsWindowVisible(dialog) && PressButton(dialog, IDCANCEL))
                return;
            PauseToLook();
        }
    };
}

int DialogOutcome(const char* command, INT_PTR result, const InterruptWatch& interrupt) {
    if (result == IDOK) {
        std::printf("%s: done\n", command);
        return 0;
    }
    if (result == -1)
        std::printf("%s: the dialog could not be shown\n", command);
    else if (interrupt.Interrupted())
        std::printf("%s: cancelled\n", command);
    else
        std::printf("%s: failed (the message above says why)\n", command);
    return 1;
}

bool CheckOutputFolder(const char* command, const std::string& folder) {
    std::error_code error;
    if (std::filesystem::is_directory(folder, error))
        return true;
    std::fprintf(stderr, "vantel %s: %s is not a folder; create it first\n", command,
                 folder.c_str());
    return false;
}

namespace {

std::optional<long long> RangeOption(Args& args, const char* command, const char* name,
                                     long long fallback, long long low, long long high) {
    const auto value = args.GetNumber(name, fallback);
    if (!value || *value < low || *value > high) {
        std::fprintf(stderr, "vantel %s: --%s takes %lld to %lld\n", command, name, low, high);
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<unsigned short> MediumOption(Args& args, const char* command, long long fallback) {
    const auto value = RangeOption(args, command, "medium", fallback, 1, 4);
    if (!value)
        return std::nullopt;
    return static_cast<unsigned short>(*value);
}

std::optional<BYTE> SelectorOption(Args& args, const char* command, long long fallback) {
    const auto value = RangeOption(args, command, "selector", fallback, 0, 255);
    if (!value)
        return std::nullopt;
    return static_cast<BYTE>(*value);
}

} // namespace host
