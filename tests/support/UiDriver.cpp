#include "support/UiDriver.h"

#include "support/TestSupport.h"

#include <commctrl.h>

namespace ui {

namespace {

struct Search {
    const std::string* caption;
    const char* className;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM lParam) {
    Search* search = reinterpret_cast<Search*>(lParam);
    if (!IsWindowVisible(hwnd))
        return TRUE;
    if (search->className != nullptr) {
        char name[64];
        if (GetClassNameA(hwnd, name, sizeof(name)) == 0 || lstrcmpiA(name, search->className) != 0)
            return TRUE;
    }
    if (WindowText(hwnd) != *search->caption)
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

// Posts a left click at `point` of `hwnd` (a double click when `twice`).
void PostClick(HWND hwnd, POINT point, bool twice) {
    LPARAM at = MAKELPARAM(point.x, point.y);
    PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(hwnd, WM_LBUTTONUP, 0, at);
    if (twice) {
        PostMessageA(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        PostMessageA(hwnd, WM_LBUTTONUP, 0, at);
    }
}

// The control `id` when a user can reach it (enabled and visible), else NULL.
HWND Usable(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control != NULL && IsWindowEnabled(control) && IsWindowVisible(control) ? control : NULL;
}

bool ClickListItem(HWND dialog, int id, int index, bool twice) {
    HWND list = Usable(dialog, id);
    if (list == NULL)
        return false;
    RECT rect{};
    rect.left = LVIR_BOUNDS;
    if (!SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(index),
                      reinterpret_cast<LPARAM>(&rect)))
        return false;
    PostClick(list, POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}, twice);
    return true;
}

} // namespace

HWND WaitForWindow(const std::string& caption, int timeoutMs, const char* className) {
    Search search{&caption, className, NULL};
    testsupport::WaitFor(
        [&] {
            EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
            return search.found != NULL;
        },
        timeoutMs);
    return search.found;
}

std::string WindowText(HWND hwnd) {
    int length = GetWindowTextLengthA(hwnd);
    if (length <= 0)
        return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int got = GetWindowTextA(hwnd, &text[0], length + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

std::string ControlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control ? WindowText(control) : std::string();
}

bool IsControlEnabled(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control != NULL && IsWindowEnabled(control);
}

bool ClickButton(HWND dialog, int id) {
    HWND button = Usable(dialog, id);
    return button != NULL && PostMessageA(button, BM_CLICK, 0, 0) != FALSE;
}

bool IsChecked(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    return button != NULL && SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool SetCheckBox(HWND dialog, int id, bool checked) {
    return IsChecked(dialog, id) == checked || ClickButton(dialog, id);
}

bool TypeText(HWND dialog, int id, const std::string& text) {
    HWND edit = Usable(dialog, id);
    if (edit == NULL)
        return false;
    PostMessageA(edit, EM_SETSEL, 0, -1);
    PostMessageA(edit, WM_CHAR, VK_BACK, 0);
    for (char c : text)
        PostMessageA(edit, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(c)), 0);
    return true;
}

bool CloseWindowAsUser(HWND hwnd) {
    return PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0) != FALSE;
}

int ListCount(HWND dialog, int id) {
    HWND list = GetDlgItem(dialog, id);
    return list ? static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) : -1;
}

std::string ListItemText(HWND dialog, int id, int index) {
    HWND list = GetDlgItem(dialog, id);
    if (list == NULL)
        return std::string();
    char buffer[512] = "";
    LVITEMA item{};
    item.pszText = buffer;
    item.cchTextMax = sizeof(buffer);
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&item));
    return buffer;
}

int ListSelection(HWND dialog, int id) {
    HWND list = GetDlgItem(dialog, id);
    return list ? static_cast<int>(
                      SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED))
                : -1;
}

bool SelectListItem(HWND dialog, int id, int index) {
    return ClickListItem(dialog, id, index, false);
}

bool DoubleClickListItem(HWND dialog, int id, int index) {
    return ClickListItem(dialog, id, index, true);
}

bool WaitForMessageBox(const std::string& caption, MessageBoxView* box, int timeoutMs) {
    HWND hwnd = NULL;
    bool found = testsupport::WaitFor(
        [&] {
            hwnd = WaitForWindow(caption, 0, "#32770");
            return hwnd != NULL && GetDlgItem(hwnd, 0xFFFF) != NULL;
        },
        timeoutMs);
    if (!found)
        return false;
    box->hwnd = hwnd;
    box->caption = WindowText(hwnd);
    box->text = ControlText(hwnd, 0xFFFF);
    box->hasIcon = GetDlgItem(hwnd, 0x0440) != NULL;
    box->buttons.clear();
    for (int id = IDOK; id <= IDCONTINUE; ++id)
        if (GetDlgItem(hwnd, id) != NULL)
            box->buttons.push_back(id);
    return true;
}

bool AnswerMessageBox(const MessageBoxView& box, int button) {
    return ClickButton(box.hwnd, button);
}

} // namespace ui
