// The windowing layer's internal model, shared by the user*.cpp sources: the window table,
// window classes, per-thread message queues, and the hooks between windows, dialogs,
// controls and the desktop's observers.
//
// Locking. One lock, DesktopMutex(), guards every window, class and queue. It is never held
// while a window procedure, a hook, a dialog procedure, a timer procedure, a list view's
// comparison or a desktop observer runs, and never while the wait core is entered: the core
// calls back into QueueWaitable::TryAcquire with its own lock held and takes DesktopMutex()
// there, so the order is always core lock, then desktop lock.
//
// Handles. An HWND is `index | generation << 16`: the index of the window's slot and the
// slot's generation, which changes whenever a window leaves it. A stale HWND (its window
// destroyed) therefore never reaches a window created later in the same slot.
#pragma once

#include "internal.h"

#include <commctrl.h>
#include <emu_desktop.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace emu {
namespace user {

std::mutex& DesktopMutex();
using Guard = std::unique_lock<std::mutex>;

// ---------------------------------------------------------------------------------------
// Window classes

enum class ClassKind { Custom, Dialog, Button, Edit, Static, Progress, ListView };

struct WindowClass {
    std::string name;
    ATOM atom = 0;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int classExtra = 0;
    int windowExtra = 0;
    HINSTANCE instance = NULL;
    HICON icon = NULL;
    HCURSOR cursor = NULL;
    HBRUSH background = NULL;
    ClassKind kind = ClassKind::Custom;
    bool system = false; // one of the built-in classes
};

// The class named `name` (case-insensitive; an atom given as MAKEINTATOM also works), or
// nullptr. Under DesktopMutex().
const WindowClass* FindClassLocked(LPCSTR name);

// ---------------------------------------------------------------------------------------
// Windows

// State a control keeps beyond what every window has.
struct ControlData {
    virtual ~ControlData() = default;
};

struct DialogInfo {
    INT_PTR result = 0;        // the value DialogBox returns
    bool ended = false;        // EndDialog was called
    bool ownerEnabled = false; // the modal loop disabled the owner and re-enables it
    bool modal = false;        // run by DialogBox (the owner's state is restored there)
    WORD defaultId = 0;        // DM_GETDEFID
    HWND savedFocus = NULL;    // the control that had the focus when it was deactivated
    HFONT font = NULL;         // from DS_SETFONT, owned by the dialog
};

struct Queue;

struct MenuItem {
    UINT id = 0;
    UINT state = MF_ENABLED; // MF_GRAYED, MF_DISABLED, MF_CHECKED
};

struct Window {
    HWND hwnd = NULL;
    DWORD threadId = 0;
    std::shared_ptr<Queue> queue;
    const WindowClass* windowClass = nullptr;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = NULL; // the parent of a child window
    HWND owner = NULL;  // the owner of a top-level window
    LONG_PTR id = 0;    // a child's control id
    HINSTANCE instance = NULL;
    std::string text;
    LONG_PTR userData = 0;
    std::vector<BYTE> extra;          // the class's window extra bytes (DWLP_* for dialogs)
    std::vector<HWND> children;       // in creation order
    RECT rect{};                      // in the parent's client coordinates (children) or screen
    std::vector<MenuItem> systemMenu; // made by the first GetSystemMenu
    HFONT font = NULL;
    bool destroying = false;
    std::unique_ptr<DialogInfo> dialog;
    std::shared_ptr<ControlData> control;
};

// The window behind `hwnd`, or nullptr (no error set). Under DesktopMutex().
Window* FindLocked(HWND hwnd);
// The same, setting ERROR_INVALID_WINDOW_HANDLE when there is none.
Window* FindOrFailLocked(HWND hwnd);
// The control data of `hwnd` as T, or nullptr. Under DesktopMutex().
template <class T> T* ControlLocked(HWND hwnd) {
    Window* window = FindLocked(hwnd);
    return window ? dynamic_cast<T*>(window->control.get()) : nullptr;
}
// Runs `use` on the control data (of type T) of `hwnd` under DesktopMutex() and returns its
// result, or `otherwise` when the window is gone or is no such control.
template <class T, class Use> LRESULT WithControl(HWND hwnd, Use use, LRESULT otherwise = 0) {
    Guard lock(DesktopMutex());
    T* data = ControlLocked<T>(hwnd);
    return data ? static_cast<LRESULT>(use(*data)) : otherwise;
}
// True when `child` lies below `parent` (not the same window). Under DesktopMutex().
bool IsDescendantLocked(HWND parent, HWND child);
// The top-level window that `hwnd` belongs to (itself when it is top-level).
HWND RootLocked(HWND hwnd);
// Every window of `hwnd`'s subtree, `hwnd` first, depth first. Under DesktopMutex().
std::vector<HWND> SubtreeLocked(HWND hwnd);

// False when the window's system menu has its Close command greyed or disabled. Under
// DesktopMutex().
bool CloseCommandEnabledLocked(const Window& window);

// Creates a window as CreateWindowExA does; `dialog` (may be null) becomes the window's
// dialog information before it receives its first message.
HWND CreateWindowInternal(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                          int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                          LPVOID param, std::unique_ptr<DialogInfo> dialog);

// Called on a thread that ends: its windows go without messages, its queue dies and the
// senders waiting on it are released.
void ReleaseThreadWindows(DWORD threadId);

// Window extra bytes (also DWLP_* of dialogs). Under DesktopMutex().
bool ReadExtraLocked(Window& window, int offset, LONG_PTR* value);
bool WriteExtraLocked(Window& window, int offset, LONG_PTR value, LONG_PTR* previous);

// ---------------------------------------------------------------------------------------
// Message queues

struct SentMessage {
    HWND hwnd = NULL;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    bool done = false;
};

struct Timer {
    HWND hwnd = NULL;
    UINT_PTR id = 0;
    DWORD period = 0; // emulated milliseconds
    DWORD due = 0;    // emulated tick count of the next expiry
    TIMERPROC proc = nullptr;
};

struct Hook {
    HHOOK handle = NULL;
    int type = 0;
    HOOKPROC proc = nullptr;
};

struct Queue {
    DWORD threadId = 0;
    bool alive = true;
    std::deque<std::shared_ptr<SentMessage>> sent; // sent to this thread, not yet served
    std::deque<MSG> posted;
    bool quit = false;
    int quitCode = 0;
    std::vector<Timer> timers;
    UINT changed = 0; // QS_* bits of input that arrived since the last look
    HWND focus = NULL;
    HWND active = NULL;
    std::vector<Hook> hooks;
    DWORD messageTime = 0;
};

// The calling thread's queue, created on first use.
std::shared_ptr<Queue> CurrentQueue();
// The queue of `threadId`, or nullptr. Under DesktopMutex().
std::shared_ptr<Queue> QueueOfLocked(DWORD threadId);

// Drops `hwnd`'s timers and posted messages from `queue`. Under DesktopMutex().
void PurgeWindowLocked(Queue& queue, HWND hwnd);

// Calls `hwnd`'s window procedure on the calling thread as a sent message, with the
// thread's WH_CALLWNDPROC and WH_CALLWNDPROCRET hooks. Returns 0 for a window that is gone.
LRESULT CallWindowDirect(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the calling thread's hooks of `type` (WH_CBT ...). Returns the first non-zero result,
// or 0 when there is no hook.
LRESULT CallHooks(int type, int code, WPARAM wParam, LPARAM lParam);

// Waits without DesktopMutex() held until `ready` (evaluated under DesktopMutex()) holds, or
// until `milliseconds` of the emulated clock have passed (false then).
bool WaitUntil(const std::function<bool()>& ready, DWORD milliseconds);

// ---------------------------------------------------------------------------------------
// Dialogs and controls

// The window procedures of the built-in classes.
LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ProgressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ListViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Sends WM_COMMAND with `code` from control `hwnd` to its parent.
void NotifyParentCommand(HWND hwnd, WORD code);
// Sends WM_NOTIFY with `header` (hwndFrom, idFrom filled in) to `hwnd`'s parent.
LRESULT NotifyParent(HWND hwnd, NMHDR* header, UINT code);

// Creates a dialog from a template of `size` bytes (SIZE_MAX when the caller gave no size).
HWND CreateDialogFromTemplate(HINSTANCE instance, const void* bytes, size_t size, HWND owner,
                              DLGPROC proc, LPARAM param, bool modal);
INT_PTR RunDialogBox(HINSTANCE instance, const void* bytes, size_t size, HWND owner, DLGPROC proc,
                     LPARAM param);

// ---------------------------------------------------------------------------------------
// Resources and GDI objects

// The bytes of resource `name` of `type` of `module`, or false (with
// ERROR_RESOURCE_NAME_NOT_FOUND or ERROR_RESOURCE_TYPE_NOT_FOUND set).
bool FindResourceBytes(HMODULE module, LPCSTR type, LPCSTR name, std::vector<BYTE>* bytes);

struct BitmapData {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 24;
    std::vector<COLORREF> pixels; // top-down rows, RGB() values
};

// A new bitmap object holding `data`.
HBITMAP CreateBitmapObject(BitmapData data);
// A copy of the bitmap behind `bitmap`, or false.
bool GetBitmapData(HBITMAP bitmap, BitmapData* data);
// A font object for a dialog's DS_SETFONT (deleted with DeleteObject).
HFONT CreateFontObject(const std::string& face, int points);

// ---------------------------------------------------------------------------------------
// The desktop's observers (never called with DesktopMutex() held)

void ForEachObserver(const std::function<void(DesktopObserver&)>& call);
// The answer for an opened message box: the first observer's answer, kAnswerLater, or the
// default answerer's.
int AnswerMessageBox(const MessageBoxInfo& box);

} // namespace user
} // namespace emu
