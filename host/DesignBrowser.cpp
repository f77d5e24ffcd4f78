#include "DesignBrowser.h"
#include "UserThread.h"

#include "resources/resource.h"

#include <afxcmn.h>

#include <chrono>
#include <functional>

namespace host {

namespace {

const char kCaption[] = "Receive a Design";
const int kMediumButtons[] = {IDC_BUILTIN_BTN, IDC_ATACARD_BTN, IDC_USBMEMORY_BTN};

std::string TextOf(HWND hwnd) {
    char text[512] = {};
    ::GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

// Whether another window of the browser's thread is up beside it (a nested dialog or a
// message box; their workers' message boxes count too, being owned by them).
struct NestedSearch {
    HWND browser;
    HWND found;
    bool cancellable; // only one whose Cancel button can be pressed
};

BOOL CALLBACK FindNested(HWND hwnd, LPARAM lParam) {
    NestedSearch* search = reinterpret_cast<NestedSearch*>(lParam);
    char name[16] = {};
    ::GetClassNameA(hwnd, name, sizeof name);
    if (hwnd == search->browser || !::IsWindowVisible(hwnd) || strcmp(name, "#32770") != 0)
        return TRUE;
    HWND cancel = ::GetDlgItem(hwnd, IDCANCEL);
    if (!search->cancellable ||
        (cancel != NULL && ::IsWindowVisible(cancel) && ::IsWindowEnabled(cancel)))
        search->found = hwnd;
    return search->found == NULL;
}

// Posts a left click at the middle of the list entry (twice for a double click), scrolled into
// view first: the list finds the entry under the point, as it does for the mouse.
void ClickListEntry(HWND list, int index, bool twice) {
    ::SendMessageA(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
    RECT rect{};
    rect.left = LVIR_BOUNDS;
    if (!::SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(index),
                        reinterpret_cast<LPARAM>(&rect)))
        return;
    const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    ::PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageA(list, WM_LBUTTONUP, 0, at);
    if (twice) {
        ::PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        ::PostMessageA(list, WM_LBUTTONUP, 0, at);
    }
}

} // namespace

bool DesignBrowser::WaitForWindow(int timeoutMs) {
    m_dialog = WaitForDialog(kCaption, timeoutMs);
    return m_dialog != NULL;
}

bool DesignBrowser::IsOpen() const {
    return m_dialog != NULL && ::IsWindow(m_dialog) && ::IsWindowVisible(m_dialog);
}

bool DesignBrowser::Idle() const {
    NestedSearch search{m_dialog, NULL, false};
    ::EnumWindows(FindNested, reinterpret_cast<LPARAM>(&search));
    return search.found == NULL && ::IsWindowEnabled(m_dialog);
}

DesignBrowser::View DesignBrowser::Read() const {
    View view;
    if (!IsOpen())
        return view;
    view.busy = !Idle();
    for (int i = 0; i < 3; ++i)
        view.media[i] = TextOf(::GetDlgItem(m_dialog, kMediumButtons[i]));
    view.label = TextOf(::GetDlgItem(m_dialog, IDC_FOLDER_LABEL));
    HWND open = ::GetDlgItem(m_dialog, IDC_OPEN_BTN);
    view.openCaption = TextOf(open);
    view.openEnabled = ::IsWindowEnabled(open) != FALSE;
    view.receiveEnabled = ::IsWindowEnabled(::GetDlgItem(m_dialog, IDOK)) != FALSE;
    view.rzOnly =
        ::SendMessageA(::GetDlgItem(m_dialog, IDC_RZONLY_CHECK), BM_GETCHECK, 0, 0) == BST_CHECKED;
    HWND list = ::GetDlgItem(m_dialog, IDC_DESIGN_LIST);
    const int count = static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[MAX_PATH] = {};
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE;
        item.iItem = i;
        item.stateMask = LVIS_SELECTED;
        item.pszText = text;
        item.cchTextMax = MAX_PATH;
        ::SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        view.entries.push_back(Entry{text, item.iImage, (item.state & LVIS_SELECTED) != 0});
    }
    return view;
}

bool DesignBrowser::WaitIdleFor(const std::function<bool(const View&)>& condition,
                                int timeoutMs) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (!IsOpen())
            return false;
        const View view = Read();
        if (!view.busy && condition(view))
            return true;
        PauseToLook();
    }
    return false;
}

void DesignBrowser::ClickMedium(int medium) {
    if (medium >= 1 && medium <= 3)
        PressButton(m_dialog, kMediumButtons[medium - 1]);
}

void DesignBrowser::ClickEntry(int index) {
    ClickListEntry(::GetDlgItem(m_dialog, IDC_DESIGN_LIST), index, false);
}

void DesignBrowser::DoubleClickEntry(int index) {
    ClickListEntry(::GetDlgItem(m_dialog, IDC_DESIGN_LIST), index, true);
}

void DesignBrowser::ClickOpen() {
    PressButton(m_dialog, IDC_OPEN_BTN);
}

void DesignBrowser::ClickReceive() {
    PressButton(m_dialog, IDOK);
}

void DesignBrowser::ClickRzOnly() {
    PressButton(m_dialog, IDC_RZONLY_CHECK);
}

void DesignBrowser::Close() {
    PressButton(m_dialog, IDCANCEL);
}

void DesignBrowser::CancelNested() {
    NestedSearch search{m_dialog, NULL, true};
    ::EnumWindows(FindNested, reinterpret_cast<LPARAM>(&search));
    if (search.found != NULL)
        PressButton(search.found, IDCANCEL);
}

int DesignBrowser::Find(const View& view, const std::string& name) {
    for (size_t i = 0; i < view.entries.size(); ++i)
        if (_stricmp(view.entries[i].name.c_str(), name.c_str()) == 0)
            return static_cast<int>(i);
    return -1;
}

} // namespace host
