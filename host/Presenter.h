// The terminal presenter: the library's dialogs and message boxes as the vantel host shows
// them. While a Presenter exists it prints each dialog's caption and status texts as they
// appear and change, draws the dialog's progress bar on one line, prints each message box as
// "Caption: text" and answers it: OK boxes with OK, Yes/No questions at the prompt when
// someone is at the terminal, every other box with its default button.
#pragma once

#include <cstdio>

#ifdef _WIN32

namespace host {

// On Windows the library's dialogs and message boxes are real windows on the desktop, answered
// there by the user: there is nothing for a presenter to do.
class Presenter {
public:
    explicit Presenter(FILE* /*out*/ = stdout) {}
    Presenter(FILE* /*out*/, bool /*drawInPlace*/, bool /*interactive*/) {}
    Presenter(const Presenter&) = delete;
    Presenter& operator=(const Presenter&) = delete;
};

} // namespace host

#else

#include <emu_desktop.h>

#include <map>
#include <mutex>
#include <string>

namespace host {

class Presenter : public emu::DesktopObserver {
public:
    // Prints to `out`; draws the bar in place when `out` is a terminal; asks questions on
    // `out` and reads the answers from standard input when that is a terminal.
    explicit Presenter(FILE* out = stdout);
    // For tests: the choices made explicit.
    Presenter(FILE* out, bool drawInPlace, bool interactive);
    ~Presenter() override;
    Presenter(const Presenter&) = delete;
    Presenter& operator=(const Presenter&) = delete;

    void OnWindowShown(HWND hwnd, bool visible) override;
    void OnWindowDestroyed(HWND hwnd) override;
    void OnWindowTextChanged(HWND hwnd, const std::string& text) override;
    void OnProgressChanged(HWND hwnd, int position, int lower, int upper) override;
    int OnMessageBoxOpened(const emu::MessageBoxInfo& box) override;

private:
    struct Bar {
        std::string drawn;   // the bar as last drawn ("" before the first change)
        std::string pending; // the bar as it stands, not yet printed (line output)
    };
    struct Dialog {
        bool visible = false;
        std::map<HWND, Bar> bars;
    };

    // All below run with m_lock held.
    void PrintLine(const std::string& line);
    void EndBarLine();
    void FlushBars(Dialog& dialog);
    Dialog* VisibleDialogOf(HWND control, HWND* dialogOut);

    FILE* m_out;
    bool m_drawInPlace;
    bool m_interactive;
    std::mutex m_lock;
    std::mutex m_promptLock; // one question at a time
    std::map<HWND, Dialog> m_dialogs;
    std::map<HWND, bool> m_messageBoxes;
    bool m_barLineOpen = false;
};

} // namespace host

#endif // _WIN32
