#include "Presenter.h"
#include "PresenterText.h"

#include <afxwin.h>

#include <iostream>
#include <unistd.h>
#include <vector>

// The application object: its title captions the framework's message boxes.
static CWinApp s_application("Vantel");

namespace host {

namespace {

std::string ClassOf(HWND hwnd) {
    char name[64] = {};
    ::GetClassNameA(hwnd, name, sizeof name);
    return name;
}

std::string TextOf(HWND hwnd) {
    int length = ::GetWindowTextLengthA(hwnd);
    if (length <= 0)
        return "";
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    int got = ::GetWindowTextA(hwnd, buffer.data(), length + 1);
    return std::string(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

// A top-level dialog of the dialog manager.
bool IsDialogWindow(HWND hwnd) {
    return (::GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD) == 0 && ClassOf(hwnd) == "#32770";
}

// A message box shows before its observers hear of it; it is known by its form: a dialog
// without idle messages whose text is the static numbered 0xFFFF.
bool LooksLikeMessageBox(HWND hwnd) {
    HWND text = ::GetDlgItem(hwnd, 0xFFFF);
    return (::GetWindowLongA(hwnd, GWL_STYLE) & DS_NOIDLEMSG) != 0 && text != NULL &&
           (::GetWindowLongA(text, GWL_STYLE) & SS_NOPREFIX) != 0;
}

bool IsVisibleStatic(HWND hwnd) {
    return ::IsWindowVisible(hwnd) && ClassOf(hwnd) == "Static";
}

} // namespace

Presenter::Presenter(FILE* out)
    : Presenter(out, isatty(fileno(out)) != 0, isatty(STDIN_FILENO) != 0) {}

Presenter::Presenter(FILE* out, bool drawInPlace, bool interactive)
    : m_out(out), m_drawInPlace(drawInPlace), m_interactive(interactive) {
    emu::AddDesktopObserver(this);
}

Presenter::~Presenter() {
    emu::RemoveDesktopObserver(this);
    std::lock_guard<std::mutex> guard(m_lock);
    for (auto& entry : m_dialogs)
        FlushBars(entry.second);
    EndBarLine();
}

void Presenter::PrintLine(const std::string& line) {
    EndBarLine();
    std::fprintf(m_out, "%s\n", line.c_str());
    std::fflush(m_out);
}

void Presenter::EndBarLine() {
    if (m_barLineOpen) {
        std::fputc('\n', m_out);
        m_barLineOpen = false;
    }
}

// Line output: the bars' last states are printed before anything else of their dialog.
void Presenter::FlushBars(Dialog& dialog) {
    for (auto& entry : dialog.bars) {
        Bar& bar = entry.second;
        if (!bar.pending.empty() && bar.pending != bar.drawn) {
            PrintLine("  " + bar.pending);
            bar.drawn = bar.pending;
        }
        bar.pending.clear();
    }
}

Presenter::Dialog* Presenter::VisibleDialogOf(HWND control, HWND* dialogOut) {
    HWND parent = ::GetParent(control);
    auto it = m_dialogs.find(parent);
    if (parent == NULL || it == m_dialogs.end() || !it->second.visible)
        return nullptr;
    if (dialogOut != nullptr)
        *dialogOut = parent;
    return &it->second;
}

void Presenter::OnWindowShown(HWND hwnd, bool visible) {
    if (!IsDialogWindow(hwnd) || LooksLikeMessageBox(hwnd))
        return;
    // What the dialog shows, read on its own thread before taking the lock.
    std::string caption;
    std::vector<std::string> texts;
    if (visible) {
        caption = TextOf(hwnd);
        for (HWND child = ::GetWindow(hwnd, GW_CHILD); child != NULL;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            if (IsVisibleStatic(child)) {
                std::string text = OneLine(TextOf(child));
                if (!text.empty())
                    texts.push_back(text);
            }
        }
    }
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_messageBoxes.count(hwnd) != 0)
        return;
    Dialog& dialog = m_dialogs[hwnd];
    if (visible == dialog.visible)
        return;
    if (!visible) {
        FlushBars(dialog);
        EndBarLine();
        dialog.visible = false;
        return;
    }
    dialog.visible = true;
    PrintLine("[" + caption + "]");
    for (const std::string& text : texts)
        PrintLine("  " + text);
}

void Presenter::OnWindowDestroyed(HWND hwnd) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_messageBoxes.erase(hwnd);
    auto it = m_dialogs.find(hwnd);
    if (it == m_dialogs.end())
        return;
    FlushBars(it->second);
    EndBarLine();
    m_dialogs.erase(it);
}

void Presenter::OnWindowTextChanged(HWND hwnd, const std::string& text) {
    bool isStatic = IsVisibleStatic(hwnd);
    std::lock_guard<std::mutex> guard(m_lock);
    auto own = m_dialogs.find(hwnd);
    if (own != m_dialogs.end()) {
        if (own->second.visible) {
            FlushBars(own->second);
            PrintLine("[" + text + "]");
        }
        return;
    }
    Dialog* dialog = VisibleDialogOf(hwnd, nullptr);
    if (dialog == nullptr || !isStatic)
        return;
    FlushBars(*dialog);
    std::string line = OneLine(text);
    if (!line.empty())
        PrintLine("  " + line);
}

void Presenter::OnProgressChanged(HWND hwnd, int position, int lower, int upper) {
    std::lock_guard<std::mutex> guard(m_lock);
    Dialog* dialog = VisibleDialogOf(hwnd, nullptr);
    if (dialog == nullptr)
        return;
    Bar& bar = dialog->bars[hwnd];
    std::string drawn = ProgressBar(position, lower, upper);
    if (!m_drawInPlace) {
        bar.pending = drawn;
        return;
    }
    if (drawn == bar.drawn && m_barLineOpen)
        return;
    std::fprintf(m_out, "\r  %s", drawn.c_str());
    std::fflush(m_out);
    m_barLineOpen = true;
    bar.drawn = drawn;
}

int Presenter::OnMessageBoxOpened(const emu::MessageBoxInfo& box) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_messageBoxes[box.hwnd] = true;
        m_dialogs.erase(box.hwnd);
        for (auto& entry : m_dialogs)
            FlushBars(entry.second);
        PrintLine(MessageBoxLine(box.caption, box.text));
    }
    std::lock_guard<std::mutex> prompt(m_promptLock);
    int answer = ChooseAnswer(box, m_interactive, [this, &box](std::string& reply) {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            EndBarLine();
            std::fprintf(m_out, "  Yes or No? [y/n, default %s] ", ButtonName(box.defaultButton));
            std::fflush(m_out);
        }
        return static_cast<bool>(std::getline(std::cin, reply));
    });
    if (box.buttons.size() > 1) {
        std::lock_guard<std::mutex> guard(m_lock);
        PrintLine(std::string("  -> ") + ButtonName(answer));
    }
    return answer;
}

} // namespace host
