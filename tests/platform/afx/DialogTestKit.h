// Helpers shared by the framework's window and dialog tests: dialog templates built from
// tables, the shared watchdog that turns a hung modal loop into a failure, and a recorder of
// the message boxes shown (which it answers).
#pragma once

#include "stdafx.h"

#include <afxcmn.h>
#include <emu_desktop.h>

#include "resources/DialogTemplates.h"
#include "support/UiDriver.h"
#include "support/Watchdog.h"

#include <mutex>
#include <vector>

namespace dlgtest {

using testsupport::Watchdog;
using ui::WindowText;

// Identifiers of the standard test template.
const int IDC_NAME = 100;
const int IDC_COUNT = 101;
const int IDC_FLAG = 102;
const int IDC_LABEL = 103;
const int IDC_ACTION = 104;
const int IDC_PROGRESS = 105;
const int IDC_LIST = 106;

// OK, Cancel, two edits, a check box, a static, a push button, a progress bar and a list view;
// its bytes are kept for the whole test program.
inline LPCDLGTEMPLATE StandardTemplate() {
    const DWORD kTab = WS_VISIBLE | WS_TABSTOP;
    static const DIALOGCONTROL controls[] = {
        {IDOK, "Button", kTab | BS_DEFPUSHBUTTON, "OK", 10, 80, 50, 14},
        {IDCANCEL, "Button", kTab, "Cancel", 70, 80, 50, 14},
        {IDC_NAME, "Edit", kTab | WS_BORDER | ES_AUTOHSCROLL, "", 10, 10, 100, 12},
        {IDC_COUNT, "Edit", kTab | WS_BORDER, "", 10, 26, 100, 12},
        {IDC_FLAG, "Button", kTab | BS_AUTOCHECKBOX, "Flag", 10, 42, 100, 10},
        {IDC_LABEL, "Static", WS_VISIBLE, "label", 10, 56, 100, 10},
        {IDC_ACTION, "Button", kTab, "Action", 130, 80, 50, 14},
        {IDC_PROGRESS, PROGRESS_CLASSA, WS_VISIBLE, "", 10, 100, 100, 10},
        {IDC_LIST, WC_LISTVIEWA, WS_VISIBLE | LVS_SMALLICON | LVS_SINGLESEL, "", 10, 115, 100, 40},
    };
    static const DIALOGRESOURCE dialog = {1,
                                          "Test Dialog",
                                          WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                                          "MS Shell Dlg",
                                          8,
                                          0,
                                          0,
                                          200,
                                          160,
                                          controls,
                                          9};
    static std::vector<BYTE> bytes;
    static const bool built = BuildDialogTemplate(dialog, bytes);
    return built ? reinterpret_cast<LPCDLGTEMPLATE>(bytes.data()) : NULL;
}

// Records every message box and answers it with its default button.
class BoxRecorder : public emu::DesktopObserver {
public:
    BoxRecorder() { emu::AddDesktopObserver(this); }
    ~BoxRecorder() override { emu::RemoveDesktopObserver(this); }

    int OnMessageBoxOpened(const emu::MessageBoxInfo& box) override {
        std::lock_guard<std::mutex> guard(m_lock);
        m_boxes.push_back(box);
        return box.defaultButton;
    }
    std::vector<emu::MessageBoxInfo> Boxes() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_boxes;
    }

private:
    std::mutex m_lock;
    std::vector<emu::MessageBoxInfo> m_boxes;
};

} // namespace dlgtest
