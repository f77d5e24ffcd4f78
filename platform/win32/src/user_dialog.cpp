// The dialog manager: dialog templates (DLGTEMPLATE and DLGTEMPLATEEX, read within their
// bounds), modeless and modal dialogs, the modal loop and EndDialog, the default dialog
// procedure with its WM_CLOSE rule, IsDialogMessage, and the dialog item calls.
#include "user_internal.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace emu {
namespace user {

namespace {

// Dialog base units of the dialogs' font: a dialog unit is a quarter of the average character
// width horizontally and an eighth of the character height vertically.
constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;

int UnitsToPixelsX(int units) {
    return units * kBaseUnitX / 4;
}
int UnitsToPixelsY(int units) {
    return units * kBaseUnitY / 8;
}

struct ItemTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    std::string className;
    std::string text;
    bool textIsOrdinal = false;
    WORD textOrdinal = 0;
    std::vector<BYTE> data; // creation data for the control
};

struct DialogTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string className;
    std::string caption;
    bool hasFont = false;
    WORD points = 0;
    std::string face;
    std::vector<ItemTemplate> items;
};

// Reads a template within `size` bytes; any read past the end marks it malformed.
class TemplateReader {
public:
    TemplateReader(const BYTE* base, size_t size) : m_base(base), m_size(size) {}
    bool Ok() const { return m_ok; }

    bool Bytes(void* out, size_t count) {
        if (!m_ok || m_size - m_pos < count)
            return m_ok = false;
        std::memcpy(out, m_base + m_pos, count);
        m_pos += count;
        return true;
    }
    WORD Word() {
        WORD value = 0;
        Bytes(&value, sizeof(value));
        return value;
    }
    DWORD Dword() {
        DWORD value = 0;
        Bytes(&value, sizeof(value));
        return value;
    }
    short Short() { return static_cast<short>(Word()); }
    BYTE Byte() {
        BYTE value = 0;
        Bytes(&value, 1);
        return value;
    }
    void AlignDword() {
        size_t aligned = (m_pos + 3) & ~static_cast<size_t>(3);
        if (aligned > m_size)
            m_ok = false;
        else
            m_pos = aligned;
    }
    // A zero-terminated string of 16-bit characters, as ANSI text.
    std::string String() {
        std::string text;
        for (;;) {
            WORD unit = Word();
            if (!m_ok || unit == 0)
                return text;
            text.push_back(unit < 0x100 ? static_cast<char>(unit) : '?');
        }
    }
    // A string or an ordinal (0xFFFF followed by a 16-bit value); 0 alone is empty.
    std::string StringOrOrdinal(bool* isOrdinal, WORD* ordinal) {
        *isOrdinal = false;
        size_t start = m_pos;
        WORD first = Word();
        if (!m_ok || first == 0)
            return std::string();
        if (first == 0xFFFF) {
            *isOrdinal = true;
            *ordinal = Word();
            return std::string();
        }
        m_pos = start;
        return String();
    }

private:
    const BYTE* m_base;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

std::string ClassOfOrdinal(WORD ordinal) {
    switch (ordinal) {
    case 0x80:
        return "Button";
    case 0x81:
        return "Edit";
    case 0x82:
        return "Static";
    case 0x83:
        return "ListBox";
    case 0x84:
        return "ScrollBar";
    case 0x85:
        return "ComboBox";
    default: {
        char name[16];
        std::snprintf(name, sizeof(name), "#%u", ordinal);
        return name;
    }
    }
}

constexpr size_t kMaxItems = 1024;

bool ParseTemplate(const void* bytes, size_t size, DialogTemplate* out) {
    TemplateReader reader(static_cast<const BYTE*>(bytes), size);
    DialogTemplate dialog;
    WORD version = reader.Word();
    WORD signature = reader.Word();
    bool extended = version == 1 && signature == 0xFFFF;
    WORD count = 0;
    if (extended) {
        reader.Dword(); // help id
        dialog.exStyle = reader.Dword();
        dialog.style = reader.Dword();
    } else {
        dialog.style = MAKELONG(version, signature);
        dialog.exStyle = reader.Dword();
    }
    count = reader.Word();
    dialog.x = reader.Short();
    dialog.y = reader.Short();
    dialog.cx = reader.Short();
    dialog.cy = reader.Short();
    bool isOrdinal = false;
    WORD ordinal = 0;
    reader.StringOrOrdinal(&isOrdinal, &ordinal); // menu: dialogs here have none
    dialog.className = reader.StringOrOrdinal(&isOrdinal, &ordinal);
    if (isOrdinal)
        dialog.className = ClassOfOrdinal(ordinal);
    dialog.caption = reader.String();
    if (dialog.style & DS_SETFONT) {
        dialog.hasFont = true;
        dialog.points = reader.Word();
        if (extended) {
            reader.Word(); // weight
            reader.Byte(); // italic
            reader.Byte(); // character set
        }
        dialog.face = reader.String();
    }
    if (!reader.Ok() || count > kMaxItems)
        return false;
    for (WORD i = 0; i < count; ++i) {
        reader.AlignDword();
        ItemTemplate item;
        if (extended) {
            reader.Dword(); // help id
            item.exStyle = reader.Dword();
            item.style = reader.Dword();
        } else {
            item.style = reader.Dword();
            item.exStyle = reader.Dword();
        }
        item.x = reader.Short();
        item.y = reader.Short();
        item.cx = reader.Short();
        item.cy = reader.Short();
        item.id = extended ? reader.Dword() : reader.Word();
        item.className = reader.StringOrOrdinal(&isOrdinal, &ordinal);
        if (isOrdinal)
            item.className = ClassOfOrdinal(ordinal);
        item.text = reader.StringOrOrdinal(&item.textIsOrdinal, &item.textOrdinal);
        WORD extra = reader.Word();
        if (!reader.Ok())
            return false;
        if (extra > 0) {
            item.data.resize(extra);
            if (!reader.Bytes(item.data.data(), extra))
                return false;
        }
        if (item.className.empty())
            return false;
        dialog.items.push_back(std::move(item));
    }
    if (!reader.Ok())
        return false;
    *out = std::move(dialog);
    return true;
}

// The first child of `dialog` with `id`, without touching the last error.
HWND ChildById(HWND dialog, int id) {
    Guard lock(DesktopMutex());
    Window* window = FindLocked(dialog);
    if (window == nullptr)
        return NULL;
    for (HWND child : window->children) {
        Window* control = FindLocked(child);
        if (control != nullptr && control->id == static_cast<LONG_PTR>(id))
            return child;
    }
    return NULL;
}

DialogInfo* DialogLocked(HWND hwnd) {
    Window* window = FindLocked(hwnd);
    return window ? window->dialog.get() : nullptr;
}

bool DialogEnded(HWND hwnd) {
    Guard lock(DesktopMutex());
    DialogInfo* info = DialogLocked(hwnd);
    return info == nullptr || info->ended;
}

bool IsButtonOfType(HWND hwnd, DWORD type) {
    Guard lock(DesktopMutex());
    Window* window = FindLocked(hwnd);
    return window != nullptr && window->windowClass->kind == ClassKind::Button &&
           (window->style & BS_TYPEMASK) == type;
}

// Gives the focus back to the control that had it, or to the first tab stop.
void RestoreFocus(HWND dialog) {
    HWND saved = NULL;
    {
        Guard lock(DesktopMutex());
        DialogInfo* info = DialogLocked(dialog);
        if (info == nullptr)
            return;
        saved = info->savedFocus;
        if (!IsDescendantLocked(dialog, saved))
            saved = NULL;
    }
    if (saved == NULL)
        saved = GetNextDlgTabItem(dialog, NULL, FALSE);
    if (saved != NULL)
        SetFocus(saved);
}

void SaveFocus(HWND dialog) {
    HWND focus = GetFocus();
    Guard lock(DesktopMutex());
    DialogInfo* info = DialogLocked(dialog);
    if (info != nullptr && IsDescendantLocked(dialog, focus))
        info->savedFocus = focus;
}

// The dialog manager's own handling of what the dialog procedure left alone.
LRESULT DefaultDialogMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_SHOWWINDOW:
        if (!wParam)
            SaveFocus(hwnd);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != hwnd && !IsChild(hwnd, focus))
                RestoreFocus(hwnd);
        } else {
            SaveFocus(hwnd);
        }
        return 0;
    case WM_SETFOCUS:
        RestoreFocus(hwnd);
        return 0;
    case DM_SETDEFID: {
        {
            Guard lock(DesktopMutex());
            DialogInfo* info = DialogLocked(hwnd);
            if (info == nullptr || info->ended)
                return FALSE;
            info->defaultId = static_cast<WORD>(wParam);
        }
        // The buttons' looks follow: the new default gets BS_DEFPUSHBUTTON, the others not.
        for (HWND child = GetWindow(hwnd, GW_CHILD); child != NULL;
             child = GetWindow(child, GW_HWNDNEXT)) {
            if (IsButtonOfType(child, BS_DEFPUSHBUTTON) &&
                GetDlgCtrlID(child) != static_cast<int>(wParam))
                SendMessageA(child, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
            else if (IsButtonOfType(child, BS_PUSHBUTTON) &&
                     GetDlgCtrlID(child) == static_cast<int>(wParam))
                SendMessageA(child, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
        }
        return TRUE;
    }
    case DM_GETDEFID: {
        {
            Guard lock(DesktopMutex());
            DialogInfo* info = DialogLocked(hwnd);
            if (info == nullptr || info->ended)
                return 0;
            if (info->defaultId != 0)
                return MAKELONG(info->defaultId, DC_HASDEFID);
        }
        for (HWND child = GetWindow(hwnd, GW_CHILD); child != NULL;
             child = GetWindow(child, GW_HWNDNEXT))
            if (IsButtonOfType(child, BS_DEFPUSHBUTTON))
                return MAKELONG(GetDlgCtrlID(child), DC_HASDEFID);
        return 0;
    }
    case WM_NEXTDLGCTL: {
        HWND target = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                     : GetNextDlgTabItem(hwnd, GetFocus(), wParam != 0);
        if (target != NULL && IsWindow(target)) {
            if (SendMessageA(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
                SendMessageA(target, EM_SETSEL, 0, -1);
            SetFocus(target);
        }
        return 0;
    }
    case WM_GETFONT: {
        Guard lock(DesktopMutex());
        DialogInfo* info = DialogLocked(hwnd);
        return info ? reinterpret_cast<LRESULT>(info->font) : 0;
    }
    case WM_CLOSE: {
        // The Cancel command, unless the dialog has a Cancel button (id 2) that is disabled:
        // then a beep and nothing else. A hidden but enabled button still counts.
        HWND cancel = ChildById(hwnd, IDCANCEL);
        if (cancel != NULL && !IsWindowEnabled(cancel)) {
            MessageBeep(0);
            return 0;
        }
        PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    case WM_NCDESTROY: {
        HFONT font = NULL;
        {
            Guard lock(DesktopMutex());
            if (DialogInfo* info = DialogLocked(hwnd)) {
                font = info->font;
                info->font = NULL;
            }
        }
        if (font != NULL)
            DeleteObject(font);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

void ReenableOwner(HWND owner, bool ownerWasEnabled) {
    if (ownerWasEnabled && owner != NULL)
        EnableWindow(owner, TRUE);
}

// Places a control's image given by ordinal in the template (a static's bitmap or icon).
void LoadStaticImage(HWND control, HINSTANCE instance, DWORD style, WORD ordinal) {
    DWORD type = style & SS_TYPEMASK;
    if (type == SS_BITMAP) {
        HBITMAP bitmap = LoadBitmapA(instance, MAKEINTRESOURCE(ordinal));
        if (bitmap != NULL)
            SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
    } else if (type == SS_ICON) {
        HICON icon = LoadIconA(instance, MAKEINTRESOURCE(ordinal));
        if (icon != NULL)
            SendMessageA(control, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    }
}

} // namespace

HWND CreateDialogFromTemplate(HINSTANCE instance, const void* bytes, size_t size, HWND owner,
                              DLGPROC proc, LPARAM param, bool modal) {
    DialogTemplate dialog;
    if (bytes == nullptr) {
        internal::Fail(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    if (!ParseTemplate(bytes, size, &dialog)) {
        internal::Fail(ERROR_INVALID_DATA);
        return NULL;
    }
    if (owner != NULL && !IsWindow(owner)) {
        internal::Fail(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }

    // A modal dialog's owner is a top-level window, disabled before the dialog exists.
    HWND disabledOwner = NULL;
    if (modal && owner != NULL) {
        HWND top = GetAncestor(owner, GA_ROOT);
        if (top != NULL)
            owner = top;
        if (IsWindowEnabled(owner)) {
            disabledOwner = owner;
            EnableWindow(owner, FALSE);
        }
    }

    auto info = std::make_unique<DialogInfo>();
    info->modal = modal;
    info->ownerEnabled = disabledOwner != NULL;
    HFONT font = NULL;
    if (dialog.hasFont)
        font = info->font = CreateFontObject(dialog.face, dialog.points);
    DWORD exStyle = dialog.exStyle | WS_EX_CONTROLPARENT;
    if (dialog.style & DS_MODALFRAME)
        exStyle |= WS_EX_DLGMODALFRAME;
    const char* className = dialog.className.empty() ? "#32770" : dialog.className.c_str();
    HWND hwnd = CreateWindowInternal(
        exStyle, className, dialog.caption.c_str(), dialog.style & ~WS_VISIBLE,
        UnitsToPixelsX(dialog.x), UnitsToPixelsY(dialog.y), UnitsToPixelsX(dialog.cx),
        UnitsToPixelsY(dialog.cy), owner, NULL, instance, nullptr, std::move(info));
    if (hwnd == NULL) {
        if (font != NULL)
            DeleteObject(font);
        ReenableOwner(disabledOwner, true);
        return NULL;
    }
    {
        Guard lock(DesktopMutex());
        Window* window = FindLocked(hwnd);
        if (window != nullptr && window->dialog) {
            WriteExtraLocked(*window, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc), nullptr);
        }
    }
    if (font != NULL)
        SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);

    for (const ItemTemplate& item : dialog.items) {
        const char* text = item.textIsOrdinal ? "" : item.text.c_str();
        HWND control = CreateWindowInternal(
            item.exStyle | WS_EX_NOPARENTNOTIFY, item.className.c_str(), text,
            item.style | WS_CHILD, UnitsToPixelsX(item.x), UnitsToPixelsY(item.y),
            UnitsToPixelsX(item.cx), UnitsToPixelsY(item.cy), hwnd,
            reinterpret_cast<HMENU>(static_cast<UINT_PTR>(item.id)), instance,
            item.data.empty() ? nullptr : const_cast<BYTE*>(item.data.data()), nullptr);
        if (control == NULL) {
            if (dialog.style & DS_NOFAILCREATE)
                continue;
            DWORD error = GetLastError();
            if (IsWindow(hwnd))
                DestroyWindow(hwnd);
            ReenableOwner(disabledOwner, true);
            SetLastError(error);
            return NULL;
        }
        if (font != NULL)
            SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (item.textIsOrdinal)
            LoadStaticImage(control, instance, item.style, item.textOrdinal);
        if (IsButtonOfType(control, BS_DEFPUSHBUTTON)) {
            Guard lock(DesktopMutex());
            if (DialogInfo* dialogInfo = DialogLocked(hwnd))
                dialogInfo->result = static_cast<INT_PTR>(item.id);
        }
    }

    HWND focus = GetNextDlgTabItem(hwnd, NULL, FALSE);
    LRESULT setFocus = SendMessageA(hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), param);
    if (!IsWindow(hwnd)) {
        ReenableOwner(disabledOwner, true);
        return NULL;
    }
    // EndDialog during WM_INITDIALOG: the dialog is never shown and gets no focus.
    if (DialogEnded(hwnd))
        return hwnd;
    if (setFocus) {
        focus = GetNextDlgTabItem(hwnd, NULL, FALSE);
        if (focus != NULL) {
            if (SendMessageA(focus, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
                SendMessageA(focus, EM_SETSEL, 0, -1);
            SetFocus(focus);
        } else if ((dialog.style & WS_CHILD) == 0) {
            SetFocus(hwnd);
        }
    }
    if ((dialog.style & WS_VISIBLE) && !(GetWindowLongA(hwnd, GWL_STYLE) & WS_VISIBLE))
        ShowWindow(hwnd, SW_SHOWNORMAL);
    return hwnd;
}

INT_PTR RunDialogBox(HINSTANCE instance, const void* bytes, size_t size, HWND owner, DLGPROC proc,
                     LPARAM param) {
    if (owner != NULL && !IsWindow(owner)) {
        internal::Fail(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    HWND hwnd = CreateDialogFromTemplate(instance, bytes, size, owner, proc, param, true);
    if (hwnd == NULL)
        return -1;
    owner = GetWindow(hwnd, GW_OWNER);
    bool disabledOwner = false;
    {
        Guard lock(DesktopMutex());
        if (DialogInfo* info = DialogLocked(hwnd))
            disabledOwner = info->ownerEnabled;
    }
    bool firstEmpty = true;
    if (!DialogEnded(hwnd)) {
        for (;;) {
            MSG msg{};
            if (!PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
                if (firstEmpty) {
                    ShowWindow(hwnd, SW_SHOWNORMAL);
                    firstEmpty = false;
                }
                if (!(GetWindowLongA(hwnd, GWL_STYLE) & DS_NOIDLEMSG) && owner != NULL)
                    SendMessageA(owner, WM_ENTERIDLE, MSGF_DIALOGBOX,
                                 reinterpret_cast<LPARAM>(hwnd));
                GetMessageA(&msg, NULL, 0, 0);
            }
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            if (!IsWindow(hwnd))
                break;
            if (!DialogEnded(hwnd) && !IsDialogMessageA(hwnd, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            if (!IsWindow(hwnd) || DialogEnded(hwnd))
                break;
            if (firstEmpty && msg.message == WM_TIMER) {
                ShowWindow(hwnd, SW_SHOWNORMAL);
                firstEmpty = false;
            }
        }
    }
    INT_PTR result = 0;
    bool ownerStillDisabled = false;
    {
        Guard lock(DesktopMutex());
        DialogInfo* info = DialogLocked(hwnd);
        if (info == nullptr) {
            // Destroyed without EndDialog: DialogBox returns 0. The owner it disabled comes
            // back below so that it is not left unusable.
            result = 0;
        } else {
            result = info->result;
            ownerStillDisabled = info->ownerEnabled && !info->ended;
        }
    }
    if (IsWindow(hwnd)) {
        if (ownerStillDisabled)
            EnableWindow(owner, TRUE);
        DestroyWindow(hwnd);
    } else if (disabledOwner && owner != NULL && !IsWindowEnabled(owner)) {
        EnableWindow(owner, TRUE);
    }
    return result;
}

} // namespace user
} // namespace emu

using namespace emu::user;
using emu::internal::Fail;

extern "C" {

HWND WINAPI CreateDialogIndirectParamA(HINSTANCE hInstance, LPCDLGTEMPLATEA lpTemplate,
                                       HWND hWndParent, DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    return CreateDialogFromTemplate(hInstance, lpTemplate, SIZE_MAX, hWndParent, lpDialogFunc,
                                    dwInitParam, false);
}

HWND WINAPI CreateDialogParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    std::vector<BYTE> bytes;
    if (!FindResourceBytes(hInstance, RT_DIALOG, lpTemplateName, &bytes)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return NULL;
    }
    return CreateDialogFromTemplate(hInstance, bytes.data(), bytes.size(), hWndParent, lpDialogFunc,
                                    dwInitParam, false);
}

INT_PTR WINAPI DialogBoxIndirectParamA(HINSTANCE hInstance, LPCDLGTEMPLATEA hDialogTemplate,
                                       HWND hWndParent, DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    return RunDialogBox(hInstance, hDialogTemplate, SIZE_MAX, hWndParent, lpDialogFunc,
                        dwInitParam);
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    std::vector<BYTE> bytes;
    if (!FindResourceBytes(hInstance, RT_DIALOG, lpTemplateName, &bytes)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    return RunDialogBox(hInstance, bytes.data(), bytes.size(), hWndParent, lpDialogFunc,
                        dwInitParam);
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
    HWND owner = NULL;
    bool reenable = false;
    {
        Guard lock(DesktopMutex());
        Window* window = FindLocked(hDlg);
        if (window == nullptr || !window->dialog)
            return Fail(ERROR_INVALID_WINDOW_HANDLE);
        DialogInfo& info = *window->dialog;
        info.result = nResult;
        info.ended = true;
        reenable = info.ownerEnabled;
        info.ownerEnabled = false;
        owner = window->owner;
    }
    // The owner comes back before the dialog is destroyed (by its loop).
    if (reenable && owner != NULL)
        EnableWindow(owner, TRUE);
    HWND focus = GetFocus();
    if (focus != NULL && IsChild(hDlg, focus))
        SetFocus(hDlg);
    SetWindowPos(hDlg, NULL, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    if (hDlg == GetActiveWindow() && owner != NULL && IsWindow(owner) &&
        GetWindowThreadProcessId(owner, nullptr) == GetCurrentThreadId())
        SetActiveWindow(owner);
    PostMessageA(hDlg, WM_NULL, 0, 0); // wakes the modal loop
    return TRUE;
}

LRESULT WINAPI DefDlgProcA(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam) {
    DLGPROC proc = nullptr;
    {
        Guard lock(DesktopMutex());
        Window* window = FindLocked(hDlg);
        if (window == nullptr)
            return 0;
        LONG_PTR value = 0;
        if (ReadExtraLocked(*window, DWLP_DLGPROC, &value))
            proc = reinterpret_cast<DLGPROC>(value);
        WriteExtraLocked(*window, DWLP_MSGRESULT, 0, nullptr);
    }
    INT_PTR result = proc ? proc(hDlg, Msg, wParam, lParam) : 0;
    if (!result && IsWindow(hDlg)) {
        switch (Msg) {
        case WM_ERASEBKGND:
        case WM_SHOWWINDOW:
        case WM_ACTIVATE:
        case WM_SETFOCUS:
        case DM_SETDEFID:
        case DM_GETDEFID:
        case WM_NEXTDLGCTL:
        case WM_GETFONT:
        case WM_CLOSE:
        case WM_NCDESTROY:
            return DefaultDialogMessage(hDlg, Msg, wParam, lParam);
        case WM_INITDIALOG:
        case WM_COMPAREITEM:
        case 0x002E: // WM_VKEYTOITEM
        case 0x002F: // WM_CHARTOITEM
            break;
        default:
            return DefWindowProcA(hDlg, Msg, wParam, lParam);
        }
    }
    if ((Msg >= WM_CTLCOLORMSGBOX && Msg <= WM_CTLCOLORSTATIC) || Msg == WM_COMPAREITEM ||
        Msg == 0x002E || Msg == 0x002F || Msg == 0x0037 /* WM_QUERYDRAGICON */ ||
        Msg == WM_INITDIALOG)
        return result;
    Guard lock(DesktopMutex());
    Window* window = FindLocked(hDlg);
    LONG_PTR value = 0;
    if (window == nullptr || !ReadExtraLocked(*window, DWLP_MSGRESULT, &value))
        return 0;
    return value;
}

BOOL WINAPI IsDialogMessageA(HWND hDlg, LPMSG lpMsg) {
    if (lpMsg == nullptr || !IsWindow(hDlg))
        return FALSE;
    if (lpMsg->hwnd != hDlg && !IsChild(hDlg, lpMsg->hwnd))
        return FALSE;
    // Only keys concern the dialog manager; the control says which keys it wants itself.
    LRESULT code = 0;
    if (lpMsg->message == WM_KEYDOWN && lpMsg->hwnd != NULL)
        code = SendMessageA(lpMsg->hwnd, WM_GETDLGCODE, lpMsg->wParam,
                            reinterpret_cast<LPARAM>(lpMsg));
    if (lpMsg->message == WM_KEYDOWN && !(code & DLGC_WANTMESSAGE)) {
        switch (lpMsg->wParam) {
        case VK_TAB:
            if (code & DLGC_WANTTAB)
                break;
            SendMessageA(hDlg, WM_NEXTDLGCTL, 0, 0);
            return TRUE;
        case VK_ESCAPE: {
            HWND cancel = ChildById(hDlg, IDCANCEL);
            if (cancel != NULL && !IsWindowEnabled(cancel)) {
                MessageBeep(0);
                return TRUE;
            }
            SendMessageA(hDlg, WM_COMMAND, IDCANCEL, reinterpret_cast<LPARAM>(cancel));
            return TRUE;
        }
        case VK_RETURN: {
            HWND focus = GetFocus();
            if (IsChild(hDlg, focus) &&
                (SendMessageA(focus, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON)) {
                SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                             reinterpret_cast<LPARAM>(focus));
                return TRUE;
            }
            LRESULT defId = SendMessageA(hDlg, DM_GETDEFID, 0, 0);
            if (HIWORD(defId) == DC_HASDEFID) {
                HWND button = ChildById(hDlg, LOWORD(defId));
                if (button == NULL || IsWindowEnabled(button))
                    SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(LOWORD(defId), BN_CLICKED),
                                 reinterpret_cast<LPARAM>(button));
            } else {
                SendMessageA(hDlg, WM_COMMAND, IDOK,
                             reinterpret_cast<LPARAM>(ChildById(hDlg, IDOK)));
            }
            return TRUE;
        }
        default:
            break;
        }
    }
    TranslateMessage(lpMsg);
    DispatchMessageA(lpMsg);
    return TRUE;
}

BOOL WINAPI MapDialogRect(HWND hDlg, LPRECT lpRect) {
    if (!IsWindow(hDlg))
        return Fail(ERROR_INVALID_WINDOW_HANDLE);
    if (lpRect == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    lpRect->left = UnitsToPixelsX(lpRect->left);
    lpRect->right = UnitsToPixelsX(lpRect->right);
    lpRect->top = UnitsToPixelsY(lpRect->top);
    lpRect->bottom = UnitsToPixelsY(lpRect->bottom);
    return TRUE;
}

LONG WINAPI GetDialogBaseUnits(void) {
    return MAKELONG(kBaseUnitX, kBaseUnitY);
}

HWND WINAPI GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious) {
    std::vector<HWND> stops;
    {
        Guard lock(DesktopMutex());
        Window* dialog = FindOrFailLocked(hDlg);
        if (dialog == nullptr)
            return NULL;
        for (HWND child : dialog->children) {
            Window* control = FindLocked(child);
            if (control != nullptr && (control->style & WS_TABSTOP) &&
                (control->style & WS_VISIBLE) && !(control->style & WS_DISABLED))
                stops.push_back(child);
        }
    }
    if (stops.empty())
        return NULL;
    auto it = std::find(stops.begin(), stops.end(), hCtl);
    if (it == stops.end())
        return bPrevious ? stops.back() : stops.front();
    size_t index = static_cast<size_t>(it - stops.begin());
    size_t count = stops.size();
    return stops[bPrevious ? (index + count - 1) % count : (index + 1) % count];
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
    if (!IsWindow(hDlg)) {
        Fail(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    HWND child = ChildById(hDlg, nIDDlgItem);
    if (child == NULL)
        Fail(ERROR_CONTROL_ID_NOT_FOUND);
    return child;
}

int WINAPI GetDlgCtrlID(HWND hWnd) {
    Guard lock(DesktopMutex());
    Window* window = FindOrFailLocked(hWnd);
    if (window == nullptr || !(window->style & WS_CHILD))
        return 0;
    return static_cast<int>(window->id);
}

BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString) {
    HWND control = GetDlgItem(hDlg, nIDDlgItem);
    return control ? SetWindowTextA(control, lpString) : FALSE;
}

UINT WINAPI GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax) {
    if (lpString != nullptr && cchMax > 0)
        *lpString = '\0';
    HWND control = GetDlgItem(hDlg, nIDDlgItem);
    return control ? static_cast<UINT>(GetWindowTextA(control, lpString, cchMax)) : 0;
}

BOOL WINAPI SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned) {
    char text[16];
    if (bSigned)
        std::snprintf(text, sizeof(text), "%d", static_cast<int>(uValue));
    else
        std::snprintf(text, sizeof(text), "%u", uValue);
    return SetDlgItemTextA(hDlg, nIDDlgItem, text);
}

UINT WINAPI GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned) {
    if (lpTranslated != nullptr)
        *lpTranslated = FALSE;
    char text[64];
    if (GetDlgItemTextA(hDlg, nIDDlgItem, text, sizeof(text)) == 0)
        return 0;
    const char* start = text;
    while (*start == ' ')
        ++start;
    char* end = nullptr;
    long long value = std::strtoll(start, &end, 10);
    while (end != nullptr && *end == ' ')
        ++end;
    if (end == start || (end != nullptr && *end != '\0') || (!bSigned && *start == '-') ||
        value > (bSigned ? 0x7FFFFFFFLL : 0xFFFFFFFFLL) || value < (bSigned ? -0x80000000LL : 0))
        return 0;
    if (lpTranslated != nullptr)
        *lpTranslated = TRUE;
    return static_cast<UINT>(value);
}

LRESULT WINAPI SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam,
                                   LPARAM lParam) {
    HWND control = GetDlgItem(hDlg, nIDDlgItem);
    return control ? SendMessageA(control, Msg, wParam, lParam) : 0;
}

BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
    HWND control = GetDlgItem(hDlg, nIDButton);
    if (control == NULL)
        return FALSE;
    SendMessageA(control, BM_SETCHECK, uCheck, 0);
    return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton) {
    return static_cast<UINT>(SendDlgItemMessageA(hDlg, nIDButton, BM_GETCHECK, 0, 0));
}

} // extern "C"
