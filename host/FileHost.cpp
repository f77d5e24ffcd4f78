#include "FileHost.h"

#include "command/FolderInfo.h"
#include "frame/VantelPrintUsb.h"

#include <cstdio>
#include <iostream>

namespace host {

FolderList::FolderList(HWND owner)
    : m_window(::CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 10, 10, owner,
                                 NULL, NULL, nullptr)) {
    m_list.SubclassWindow(m_window);
    m_list.InsertColumn(0, "Name");
}

FolderList::~FolderList() {
    m_list.UnsubclassWindow();
    ::DestroyWindow(m_window);
}

bool FolderList::Fill(unsigned short medium, const std::string& folder) {
    CIntormationDlg dialog(medium, folder.c_str());
    if (dialog.DoModal() != IDOK)
        return false;
    const BYTE* record = dialog.GetFolderInfo();
    for (int i = 0; i < dialog.GetFileCount(); ++i) {
        FOLDERINFO_RECORD read;
        record = FolderInfoRead(record, &read);
        m_list.InsertItem(i, read.strName);
    }
    return true;
}

std::string ParentPath(const std::string& path) {
    const size_t end = path.find_last_not_of('\\');
    if (end == std::string::npos)
        return "";
    const size_t cut = path.find_last_of('\\', end);
    return cut == std::string::npos ? "" : path.substr(0, cut);
}

std::optional<std::string> AskLine(const std::string& question, const std::string& fallback) {
    std::fprintf(stderr, "%s [%s]: ", question.c_str(), fallback.c_str());
    std::fflush(stderr);
    std::string line;
    if (!std::getline(std::cin, line))
        return std::nullopt;
    return line.empty() ? fallback : line;
}

bool AskYes(const std::string& question) {
    std::fprintf(stderr, "%s [y/N] ", question.c_str());
    std::fflush(stderr);
    std::string line;
    return std::getline(std::cin, line) && !line.empty() && (line[0] == 'y' || line[0] == 'Y');
}

void EnterName(const std::string& caption, int editId, const std::optional<std::string>& name,
               const std::string& question, const NameDialogState& state) {
    if (kDialogsOnDesktop && !name)
        return; // the user types into the dialog on the desktop
    HWND dialog = WaitForDialog(caption);
    if (dialog == NULL)
        return;
    HWND edit = ::GetDlgItem(dialog, editId);
    for (;;) {
        char current[512] = {};
        ::GetWindowTextA(edit, current, sizeof current);
        const std::optional<std::string> typed = name ? name : AskLine(question, current);
        if (!typed) {
            PressButton(dialog, IDCANCEL);
            return;
        }
        const int rejected = state.rejected;
        ::SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed->c_str()));
        if (!PressButton(dialog, IDOK)) {
            PressButton(dialog, IDCANCEL);
            return;
        }
        while (::IsWindow(dialog) && ::IsWindowVisible(dialog) && state.rejected == rejected)
            PauseToLook();
        if (!::IsWindow(dialog) || !::IsWindowVisible(dialog))
            return;
        if (name) { // a refused name from the command line: no second try
            PressButton(dialog, IDCANCEL);
            return;
        }
    }
}

} // namespace host
