// Helpers shared by the framework's window and dialog tests: dialog templates built from
// tables, the shared watchdog that turns a hung modal loop into a failure, and a recorder of
// the message boxes shown (which it answers).
#pragma once

#include "stdafx.h"

#include <emu_desktop.h>

#include "resources/DialogTemplates.h"
#include "support/Watchdog.h"

#include <mutex>
#include <string>
#include <vector>

namespace dlgtest {

using testsupport::Watchdog;

// Identifiers of the standard test template.
const int IDC_NAME = 100;
const int IDC_COUNT = 101;
const int IDC_FLAG = 102;
const int IDC_LABEL = 103;
const int IDC_ACTION = 104;

// OK, Cancel, two edits, a check box, a static and a push button.
inline const DIALOGRESOURCE& StandardDialog() {
    static const DIALOGCONTROL controls[] = {
        {IDOK, "Button", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, "OK", 10, 80, 50, 14},
        {IDCANCEL, "Button", WS_VISIBLE | WS_TABSTOP, "Cancel", 70, 80, 50, 14},
        {IDC_NAME, "Edit", WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, "", 10, 10, 100,
         12},
        {IDC_COUNT, "Edit", WS_VISIBLE | WS_BORDER | WS_TABSTOP, "", 10, 26, 100, 12},
        {IDC_FLAG, "Button", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, "Flag", 10, 42, 100, 10},
        {IDC_LABEL, "Static", WS_VISIBLE, "label", 10, 56, 100, 10},
        {IDC_ACTION, "Button", WS_VISIBLE | WS_TABSTOP, "Action", 130, 80, 50, 14},
    };
    static const DIALOGRESOURCE dialog = {1,
                                          "Test Dialog",
                                          WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                                          "MS Shell Dlg",
                                          8,
                                          0,
                                          0,
                                          200,
                                          100,
                                          controls,
                                          static_cast<int>(sizeof(controls) / sizeof(controls[0]))};
    return dialog;
}

// The template's bytes, kept for the whole test program.
inline LPCDLGTEMPLATE Template(const DIALOGRESOURCE& dialog) {
    static std::mutex lock;
    static std::vector<std::vector<BYTE>> kept;
    std::lock_guard<std::mutex> guard(lock);
    kept.emplace_back();
    if (!BuildDialogTemplate(dialog, kept.back()))
        return NULL;
    return reinterpret_cast<LPCDLGTEMPLATE>(kept.back().data());
}

inline LPCDLGTEMPLATE StandardTemplate() {
    static LPCDLGTEMPLATE bytes = Template(StandardDialog());
    return bytes;
}

// Records every message box and answers it with `answer` (0: its default button).
class BoxRecorder : public emu::DesktopObserver {
public:
    explicit BoxRecorder(int answer = 0) : m_answer(answer) { emu::AddDesktopObserver(this); }
    ~BoxRecorder() override { emu::RemoveDesktopObserver(this); }

    int OnMessageBoxOpened(const emu::MessageBoxInfo& box) override {
        std::lock_guard<std::mutex> guard(m_lock);
        m_boxes.push_back(box);
        return m_answer != 0 ? m_answer : box.defaultButton;
    }
    std::vector<emu::MessageBoxInfo> Boxes() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_boxes;
    }

private:
    int m_answer;
    std::mutex m_lock;
    std::vector<emu::MessageBoxInfo> m_boxes;
};

inline std::string TextOf(HWND hWnd) {
    char buffer[512] = {};
    ::GetWindowTextA(hWnd, buffer, sizeof buffer);
    return buffer;
}

} // namespace dlgtest
