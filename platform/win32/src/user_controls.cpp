// The standard controls: buttons (push buttons, check boxes, radio buttons), static texts
// and images, and single-line edit fields. Each notifies its parent as Windows' does.
#include "user_internal.h"

#include <algorithm>
#include <cctype>

namespace emu {
namespace user {

namespace {

struct ButtonData : ControlData {
    UINT check = BST_UNCHECKED;
    bool pushed = false;
    bool focused = false;
    HANDLE image = NULL;
};

struct StaticData : ControlData {
    HANDLE image = NULL;
    HICON icon = NULL;
};

struct EditData : ControlData {
    int selectionStart = 0;
    int selectionEnd = 0;
    UINT limit = 32767;
    bool modified = false;
};

DWORD StyleOf(HWND hwnd) {
    return static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE));
}

// ---------------------------------------------------------------------------------------
// Buttons

DWORD ButtonType(HWND hwnd) {
    return StyleOf(hwnd) & BS_TYPEMASK;
}

bool IsCheckType(DWORD type) {
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE ||
           type == BS_AUTO3STATE || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

void SetCheck(HWND hwnd, UINT check) {
    WithControl<ButtonData>(hwnd, [&](ButtonData& data) { return data.check = check; });
}

UINT GetCheck(HWND hwnd) {
    return static_cast<UINT>(
        WithControl<ButtonData>(hwnd, [](ButtonData& data) { return data.check; }));
}

// A completed click: automatic buttons change state, then the parent hears BN_CLICKED.
void ButtonClicked(HWND hwnd) {
    DWORD type = ButtonType(hwnd);
    if (type == BS_AUTOCHECKBOX) {
        SetCheck(hwnd, GetCheck(hwnd) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
    } else if (type == BS_AUTO3STATE) {
        SetCheck(hwnd, (GetCheck(hwnd) + 1) % 3);
    } else if (type == BS_AUTORADIOBUTTON) {
        HWND parent = GetParent(hwnd);
        for (HWND sibling = GetWindow(hwnd, GW_HWNDFIRST); sibling != NULL;
             sibling = GetWindow(sibling, GW_HWNDNEXT)) {
            if (sibling != hwnd && GetParent(sibling) == parent &&
                ButtonType(sibling) == BS_AUTORADIOBUTTON)
                SetCheck(sibling, BST_UNCHECKED);
        }
        SetCheck(hwnd, BST_CHECKED);
    }
    NotifyParentCommand(hwnd, BN_CLICKED);
}

// Returns whether the button was pushed.
bool SetPushed(HWND hwnd, bool pushed) {
    return WithControl<ButtonData>(hwnd, [&](ButtonData& data) {
        bool was = data.pushed;
        data.pushed = pushed;
        return was;
    });
}

// ---------------------------------------------------------------------------------------
// Edit fields

// Runs `use` on an edit field's data and its text (the length as an int) under the desktop
// lock; 0 when the field is gone.
template <class Use> LRESULT WithEdit(HWND hwnd, Use use) {
    Guard lock(DesktopMutex());
    EditData* data = ControlLocked<EditData>(hwnd);
    Window* window = FindLocked(hwnd);
    if (data == nullptr || window == nullptr)
        return 0;
    return static_cast<LRESULT>(use(*data, static_cast<int>(window->text.size())));
}

std::string TextOf(HWND hwnd) {
    Guard lock(DesktopMutex());
    Window* window = FindLocked(hwnd);
    return window ? window->text : std::string();
}

// Replaces the selection with `insert`, cut to the limit; returns whether the text changed.
// Typing beyond the limit tells the parent EN_MAXTEXT.
bool ReplaceSelection(HWND hwnd, std::string insert, bool typed) {
    DWORD style = StyleOf(hwnd);
    if (style & ES_UPPERCASE)
        std::transform(insert.begin(), insert.end(), insert.begin(), ::toupper);
    if (style & ES_LOWERCASE)
        std::transform(insert.begin(), insert.end(), insert.begin(), ::tolower);
    std::string text;
    bool truncated = false;
    bool changed = false;
    {
        Guard lock(DesktopMutex());
        Window* window = FindLocked(hwnd);
        EditData* data = ControlLocked<EditData>(hwnd);
        if (window == nullptr || data == nullptr)
            return false;
        int length = static_cast<int>(window->text.size());
        int start = std::clamp(std::min(data->selectionStart, data->selectionEnd), 0, length);
        int end = std::clamp(std::max(data->selectionStart, data->selectionEnd), 0, length);
        size_t kept = window->text.size() - static_cast<size_t>(end - start);
        if (kept + insert.size() > data->limit) {
            truncated = true;
            insert.resize(data->limit > kept ? data->limit - kept : 0);
        }
        if (!insert.empty() || start != end) {
            window->text.replace(static_cast<size_t>(start), static_cast<size_t>(end - start),
                                 insert);
            data->selectionStart = data->selectionEnd = start + static_cast<int>(insert.size());
            data->modified = true;
            text = window->text;
            changed = true;
        }
    }
    if (changed) {
        ForEachObserver(
            [&](emu::DesktopObserver& observer) { observer.OnWindowTextChanged(hwnd, text); });
        NotifyParentCommand(hwnd, EN_UPDATE);
        NotifyParentCommand(hwnd, EN_CHANGE);
    }
    if (truncated && typed)
        NotifyParentCommand(hwnd, EN_MAXTEXT);
    return changed;
}

// Deletes the selection, or else the character before or after the caret.
void DeleteAround(HWND hwnd, bool before) {
    bool something = WithEdit(hwnd, [&](EditData& data, int length) {
        if (data.selectionStart != data.selectionEnd)
            return true;
        int caret = std::clamp(data.selectionEnd, 0, length);
        if (before ? caret == 0 : caret == length)
            return false;
        data.selectionStart = before ? caret - 1 : caret;
        data.selectionEnd = before ? caret : caret + 1;
        return true;
    });
    if (something)
        ReplaceSelection(hwnd, std::string(), false);
}

} // namespace

std::shared_ptr<ControlData> NewControlData(ClassKind kind);
std::shared_ptr<ControlData> NewCommonControlData(ClassKind kind);

std::shared_ptr<ControlData> NewControlData(ClassKind kind) {
    switch (kind) {
    case ClassKind::Button:
        return std::make_shared<ButtonData>();
    case ClassKind::Static:
        return std::make_shared<StaticData>();
    case ClassKind::Edit:
        return std::make_shared<EditData>();
    default:
        return NewCommonControlData(kind);
    }
}

void NotifyParentCommand(HWND hwnd, WORD code) {
    HWND parent = GetParent(hwnd);
    if (parent == NULL || !(StyleOf(hwnd) & WS_CHILD))
        return;
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code),
                 reinterpret_cast<LPARAM>(hwnd));
}

LRESULT NotifyParent(HWND hwnd, NMHDR* header, UINT code) {
    HWND parent = GetParent(hwnd);
    if (parent == NULL)
        return 0;
    header->hwndFrom = hwnd;
    header->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd));
    header->code = code;
    return SendMessageA(parent, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_GETDLGCODE:
        switch (ButtonType(hwnd)) {
        case BS_DEFPUSHBUTTON:
            return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_PUSHBUTTON:
            return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case BS_GROUPBOX:
            return DLGC_STATIC;
        default:
            return DLGC_BUTTON;
        }
    case BM_GETCHECK:
        return IsCheckType(ButtonType(hwnd)) ? GetCheck(hwnd) : BST_UNCHECKED;
    case BM_SETCHECK: {
        DWORD type = ButtonType(hwnd);
        if (!IsCheckType(type))
            return 0;
        UINT check = static_cast<UINT>(wParam) & 3;
        if (check == BST_INDETERMINATE && type != BS_3STATE && type != BS_AUTO3STATE)
            check = BST_CHECKED;
        SetCheck(hwnd, check);
        return 0;
    }
    case BM_GETSTATE:
        return WithControl<ButtonData>(hwnd, [](ButtonData& data) {
            return data.check | (data.pushed ? BST_PUSHED : 0) | (data.focused ? BST_FOCUS : 0);
        });
    case BM_SETSTATE:
        SetPushed(hwnd, wParam != 0);
        return 0;
    case BM_SETSTYLE: {
        DWORD style = StyleOf(hwnd);
        SetWindowLongA(hwnd, GWL_STYLE,
                       static_cast<LONG>((style & 0xFFFF0000u) | (wParam & 0xFFFF)));
        return 0;
    }
    case BM_SETIMAGE:
    case BM_GETIMAGE:
        return WithControl<ButtonData>(hwnd, [&](ButtonData& data) {
            HANDLE previous = data.image;
            if (message == BM_SETIMAGE)
                data.image = reinterpret_cast<HANDLE>(lParam);
            return reinterpret_cast<LRESULT>(previous);
        });
    case BM_CLICK:
        SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        SendMessageA(hwnd, WM_LBUTTONUP, 0, 0);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetPushed(hwnd, true);
        SetFocus(hwnd);
        return 0;
    case WM_LBUTTONUP:
        if (SetPushed(hwnd, false))
            ButtonClicked(hwnd);
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE)
            SetPushed(hwnd, true);
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && SetPushed(hwnd, false))
            ButtonClicked(hwnd);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
        bool focused = message == WM_SETFOCUS;
        WithControl<ButtonData>(hwnd, [&](ButtonData& data) { return data.focused = focused; });
        if (StyleOf(hwnd) & BS_NOTIFY)
            NotifyParentCommand(hwnd, focused ? BN_SETFOCUS : BN_KILLFOCUS);
        return 0;
    }
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    case STM_SETIMAGE:
    case STM_SETICON:
    case STM_GETIMAGE:
    case STM_GETICON:
        return WithControl<StaticData>(hwnd, [&](StaticData& data) {
            // An icon (STM_*ICON, or an image of icon or cursor type), or a bitmap.
            bool icon = message == STM_SETICON || message == STM_GETICON || wParam == IMAGE_ICON ||
                        wParam == IMAGE_CURSOR;
            HANDLE& slot = icon ? reinterpret_cast<HANDLE&>(data.icon) : data.image;
            HANDLE previous = slot;
            if (message == STM_SETICON)
                slot = reinterpret_cast<HANDLE>(wParam);
            else if (message == STM_SETIMAGE)
                slot = reinterpret_cast<HANDLE>(lParam);
            return reinterpret_cast<LRESULT>(previous);
        });
    case WM_LBUTTONUP:
        if (StyleOf(hwnd) & SS_NOTIFY)
            NotifyParentCommand(hwnd, STN_CLICKED);
        return 0;
    case WM_LBUTTONDBLCLK:
        if (StyleOf(hwnd) & SS_NOTIFY)
            NotifyParentCommand(hwnd, STN_DBLCLK);
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        if (StyleOf(hwnd) & ES_MULTILINE)
            code |= DLGC_WANTALLKEYS;
        return code;
    }
    case WM_SETTEXT: {
        LRESULT result = DefWindowProcA(hwnd, message, wParam, lParam);
        WithControl<EditData>(hwnd, [](EditData& data) {
            data.selectionStart = data.selectionEnd = 0;
            return data.modified = false;
        });
        if (!(StyleOf(hwnd) & ES_MULTILINE)) {
            NotifyParentCommand(hwnd, EN_UPDATE);
            NotifyParentCommand(hwnd, EN_CHANGE);
        }
        return result;
    }
    case WM_CHAR: {
        DWORD style = StyleOf(hwnd);
        if (style & ES_READONLY)
            return 0;
        char character = static_cast<char>(wParam);
        if (character == VK_BACK) {
            DeleteAround(hwnd, true);
            return 0;
        }
        if (static_cast<unsigned char>(character) < 0x20)
            return 0;
        if ((style & ES_NUMBER) && !std::isdigit(static_cast<unsigned char>(character))) {
            MessageBeep(0);
            return 0;
        }
        ReplaceSelection(hwnd, std::string(1, character), true);
        return 0;
    }
    case WM_KEYDOWN: {
        if (wParam == VK_DELETE && !(StyleOf(hwnd) & ES_READONLY)) {
            DeleteAround(hwnd, false);
            return 0;
        }
        return WithEdit(hwnd, [&](EditData& data, int length) {
            int caret = data.selectionEnd;
            if (wParam == VK_HOME)
                caret = 0;
            else if (wParam == VK_END)
                caret = length;
            else if (wParam == VK_LEFT)
                caret = std::max(0, caret - 1);
            else if (wParam == VK_RIGHT)
                caret = std::min(length, caret + 1);
            data.selectionStart = data.selectionEnd = caret;
            return 0;
        });
    }
    case EM_REPLACESEL:
        ReplaceSelection(hwnd, lParam ? reinterpret_cast<LPCSTR>(lParam) : "", false);
        return 0;
    case EM_SETSEL:
        return WithEdit(hwnd, [&](EditData& data, int length) {
            int start = static_cast<int>(wParam);
            int end = static_cast<int>(lParam);
            if (start == -1) {
                data.selectionStart = data.selectionEnd; // no selection, the caret stays
                return 0;
            }
            data.selectionStart = start < 0 || start > length ? length : start;
            data.selectionEnd = end < 0 || end > length ? length : end;
            return 0;
        });
    case EM_GETSEL: {
        Guard lock(DesktopMutex());
        EditData* data = ControlLocked<EditData>(hwnd);
        if (data == nullptr)
            return 0;
        DWORD start = static_cast<DWORD>(std::min(data->selectionStart, data->selectionEnd));
        DWORD end = static_cast<DWORD>(std::max(data->selectionStart, data->selectionEnd));
        if (wParam)
            *reinterpret_cast<DWORD*>(wParam) = start;
        if (lParam)
            *reinterpret_cast<DWORD*>(lParam) = end;
        return MAKELONG(std::min<DWORD>(start, 0xFFFF), std::min<DWORD>(end, 0xFFFF));
    }
    case EM_LIMITTEXT:
        WithControl<EditData>(hwnd, [&](EditData& data) {
            return data.limit = wParam == 0 ? 0x7FFFFFFE : static_cast<UINT>(wParam);
        });
        return 0;
    case EM_GETLIMITTEXT:
        return WithControl<EditData>(hwnd, [](EditData& data) { return data.limit; });
    case EM_SETREADONLY: {
        DWORD style = StyleOf(hwnd);
        SetWindowLongA(hwnd, GWL_STYLE,
                       static_cast<LONG>(wParam ? style | ES_READONLY : style & ~ES_READONLY));
        return TRUE;
    }
    case EM_GETMODIFY:
        return WithControl<EditData>(hwnd, [](EditData& data) { return data.modified; });
    case EM_SETMODIFY:
        WithControl<EditData>(hwnd, [&](EditData& data) { return data.modified = wParam != 0; });
        return 0;
    case EM_GETLINECOUNT: {
        std::string text = TextOf(hwnd);
        return 1 + std::count(text.begin(), text.end(), '\n');
    }
    case WM_SETFOCUS:
        NotifyParentCommand(hwnd, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        NotifyParentCommand(hwnd, EN_KILLFOCUS);
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

} // namespace user
} // namespace emu
