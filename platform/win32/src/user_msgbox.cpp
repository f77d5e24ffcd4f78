// MessageBoxA: a modal dialog of class "#32770" built as Windows builds it (the icon static
// 0x0440, the text static 0xFFFF, the buttons with their standard ids and texts), owned by
// the given window and blocking only the calling thread. The desktop's observers see it open
// and close; when none answers and nobody is present, the default answerer picks a button.
#include "user_internal.h"

#include <algorithm>
#include <cstring>

namespace emu {
namespace user {

namespace {

constexpr WORD kIconId = 0x0440;
constexpr WORD kTextId = 0xFFFF;
// Posted to the box by itself once it is shown: the observers are asked then.
constexpr UINT kOpenedMessage = WM_USER + 0x7F0;

struct BoxButton {
    int id;
    const char* text;
};

const BoxButton kButtons[] = {
    {IDOK, "OK"},
    {IDCANCEL, "Cancel"},
    {IDABORT, "&Abort"},
    {IDRETRY, "&Retry"},
    {IDIGNORE, "&Ignore"},
    {IDYES, "&Yes"},
    {IDNO, "&No"},
    {IDHELP, "Help"},
    {IDTRYAGAIN, "&Try Again"},
    {IDCONTINUE, "&Continue"},
};

const char* ButtonText(int id) {
    for (const BoxButton& button : kButtons)
        if (button.id == id)
            return button.text;
    return "";
}

std::vector<int> ButtonsOf(UINT type) {
    std::vector<int> buttons;
    switch (type & MB_TYPEMASK) {
    case MB_OK:
        buttons = {IDOK};
        break;
    case MB_OKCANCEL:
        buttons = {IDOK, IDCANCEL};
        break;
    case MB_ABORTRETRYIGNORE:
        buttons = {IDABORT, IDRETRY, IDIGNORE};
        break;
    case MB_YESNOCANCEL:
        buttons = {IDYES, IDNO, IDCANCEL};
        break;
    case MB_YESNO:
        buttons = {IDYES, IDNO};
        break;
    case MB_RETRYCANCEL:
        buttons = {IDRETRY, IDCANCEL};
        break;
    case MB_CANCELTRYCONTINUE:
        buttons = {IDCANCEL, IDTRYAGAIN, IDCONTINUE};
        break;
    default:
        break;
    }
    if (type & MB_HELP)
        buttons.push_back(IDHELP);
    return buttons;
}

LPCSTR IconOf(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND:
        return IDI_HAND;
    case MB_ICONQUESTION:
        return IDI_QUESTION;
    case MB_ICONEXCLAMATION:
        return IDI_EXCLAMATION;
    case MB_ICONASTERISK:
        return IDI_ASTERISK;
    default:
        return nullptr;
    }
}

// Lays out an in-memory dialog template: texts in 16-bit characters, items on 32-bit
// boundaries.
class TemplateWriter {
public:
    void Header(DWORD style, WORD items, short cx, short cy, const std::string& caption) {
        Dword(style);
        Dword(0);
        Word(items);
        Word(0);
        Word(0);
        Word(static_cast<WORD>(cx));
        Word(static_cast<WORD>(cy));
        Word(0); // no menu
        Word(0); // the dialog class
        Text(caption);
        Word(8);
        Text("MS Shell Dlg");
    }
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD classOrdinal,
              const std::string& text) {
        while (m_bytes.size() % 4)
            m_bytes.push_back(0);
        Dword(style);
        Dword(0);
        Word(static_cast<WORD>(x));
        Word(static_cast<WORD>(y));
        Word(static_cast<WORD>(cx));
        Word(static_cast<WORD>(cy));
        Word(id);
        Word(0xFFFF);
        Word(classOrdinal);
        Text(text);
        Word(0); // no creation data
    }
    const std::vector<BYTE>& Bytes() const { return m_bytes; }

private:
    void Word(WORD value) {
        m_bytes.push_back(static_cast<BYTE>(value));
        m_bytes.push_back(static_cast<BYTE>(value >> 8));
    }
    void Dword(DWORD value) {
        Word(LOWORD(value));
        Word(HIWORD(value));
    }
    void Text(const std::string& text) {
        for (char c : text)
            Word(static_cast<unsigned char>(c));
        Word(0);
    }
    std::vector<BYTE> m_bytes;
};

struct BoxState {
    MessageBoxInfo info;
};

BoxState* StateOf(HWND hwnd) {
    return reinterpret_cast<BoxState*>(GetWindowLongPtrA(hwnd, DWLP_USER));
}

bool HasButton(const BoxState& state, int id) {
    const auto& buttons = state.info.buttons;
    return std::find(buttons.begin(), buttons.end(), id) != buttons.end();
}

// Closing the box (close command, Escape) follows Windows: Cancel when there is one, OK
// when OK is the only button, and nothing otherwise.
int CloseAnswer(const BoxState& state) {
    if (HasButton(state, IDCANCEL))
        return IDCANCEL;
    if (state.info.buttons.size() == 1 && state.info.buttons[0] == IDOK)
        return IDOK;
    return 0;
}

INT_PTR CALLBACK MessageBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        BoxState* state = reinterpret_cast<BoxState*>(lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        state->info.hwnd = hwnd;
        if (LPCSTR icon = IconOf(state->info.type))
            SendDlgItemMessageA(hwnd, kIconId, STM_SETICON,
                                reinterpret_cast<WPARAM>(LoadIconA(NULL, icon)), 0);
        if (CloseAnswer(*state) == 0)
            EnableMenuItem(GetSystemMenu(hwnd, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
        if (!(state->info.type & MB_NOFOCUS))
            SetFocus(GetDlgItem(hwnd, state->info.defaultButton));
        PostMessageA(hwnd, kOpenedMessage, 0, 0);
        return FALSE; // the focus is set
    }
    case kOpenedMessage: {
        BoxState* state = StateOf(hwnd);
        if (state == nullptr)
            return TRUE;
        int answer = AnswerMessageBox(state->info);
        if (answer != kAnswerLater && answer != kNoAnswer) {
            // The answer is a click on its button, as a user's would be.
            HWND button = GetDlgItem(hwnd, answer);
            if (button != NULL)
                SendMessageA(button, BM_CLICK, 0, 0);
        }
        return TRUE;
    }
    case WM_COMMAND: {
        BoxState* state = StateOf(hwnd);
        if (state == nullptr)
            return FALSE;
        int id = LOWORD(wParam);
        if (id == IDHELP)
            return TRUE;
        if (HasButton(*state, id)) {
            EndDialog(hwnd, id);
        } else if (id == IDCANCEL) {
            int answer = CloseAnswer(*state);
            if (answer != 0)
                EndDialog(hwnd, answer);
        }
        return TRUE;
    }
    case WM_CLOSE: {
        BoxState* state = StateOf(hwnd);
        if (state == nullptr || HasButton(*state, IDCANCEL))
            return FALSE; // the dialog manager turns it into Cancel
        int answer = CloseAnswer(*state);
        if (answer != 0)
            EndDialog(hwnd, answer);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

BOOL CALLBACK DisableThreadWindow(HWND hwnd, LPARAM list) {
    if (IsWindowEnabled(hwnd)) {
        EnableWindow(hwnd, FALSE);
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
    }
    return TRUE;
}

} // namespace

} // namespace user
} // namespace emu

using namespace emu::user;
using emu::internal::Fail;

extern "C" {

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    std::vector<int> buttons = ButtonsOf(uType);
    if (buttons.empty() || (uType & MB_TYPEMASK) > MB_CANCELTRYCONTINUE) {
        Fail(ERROR_INVALID_MSGBOX_STYLE);
        return 0;
    }
    if (hWnd != NULL && !IsWindow(hWnd)) {
        Fail(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    BoxState state;
    state.info.owner = hWnd;
    state.info.threadId = GetCurrentThreadId();
    state.info.caption = lpCaption ? lpCaption : "Error";
    state.info.text = lpText ? lpText : "";
    state.info.type = uType;
    state.info.buttons = buttons;
    size_t defaultIndex = (uType & MB_DEFMASK) >> 8;
    state.info.defaultButton = buttons[defaultIndex < buttons.size() ? defaultIndex : 0];

    bool hasIcon = IconOf(uType) != nullptr;
    const short buttonWidth = 50, buttonHeight = 14, gap = 6;
    short width =
        static_cast<short>(std::max<size_t>(216, buttons.size() * (buttonWidth + gap) + gap));
    TemplateWriter writer;
    writer.Header(
        DS_MODALFRAME | DS_NOIDLEMSG | DS_SETFONT | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU,
        static_cast<WORD>(buttons.size() + (hasIcon ? 2 : 1)), width, 100, state.info.caption);
    if (hasIcon)
        writer.Item(SS_ICON | WS_VISIBLE, 8, 20, 16, 16, kIconId, 0x82, "");
    writer.Item(SS_LEFT | SS_NOPREFIX | WS_GROUP | WS_VISIBLE, 32, 20, width - 40, 48, kTextId,
                0x82, state.info.text);
    short x = gap;
    for (size_t i = 0; i < buttons.size(); ++i) {
        DWORD style = WS_TABSTOP | WS_VISIBLE | (i == 0 ? WS_GROUP : 0) |
                      (buttons[i] == state.info.defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        writer.Item(style, x, 76, buttonWidth, buttonHeight, static_cast<WORD>(buttons[i]), 0x80,
                    ButtonText(buttons[i]));
        x = static_cast<short>(x + buttonWidth + gap);
    }

    // A task-modal box without owner disables the thread's windows meanwhile.
    std::vector<HWND> disabled;
    if ((uType & MB_TASKMODAL) && hWnd == NULL)
        EnumThreadWindows(GetCurrentThreadId(), DisableThreadWindow,
                          reinterpret_cast<LPARAM>(&disabled));
    const std::vector<BYTE>& bytes = writer.Bytes();
    INT_PTR result = RunDialogBox(NULL, bytes.data(), bytes.size(), hWnd, MessageBoxProc,
                                  reinterpret_cast<LPARAM>(&state));
    for (HWND window : disabled)
        if (IsWindow(window))
            EnableWindow(window, TRUE);
    HWND box = state.info.hwnd;
    int answer = result < 0 ? 0 : static_cast<int>(result);
    ForEachObserver(
        [&](emu::DesktopObserver& observer) { observer.OnMessageBoxClosed(box, answer); });
    return answer;
}

} // extern "C"
