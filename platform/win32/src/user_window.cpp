// Windows: the window table with generation-checked handles, window classes, creation and
// destruction, and the calls that read or change a window's state (text, enabled state,
// visibility, focus, data, geometry, relations) or find windows.
#include "user_internal.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace emu {
namespace user {

namespace {

constexpr DWORD kIndexBits = 16;
constexpr DWORD kIndexMask = 0xFFFF;
constexpr DWORD kGenerationMask = 0x7FFF; // bit 31 stays free: HMENU values use it

struct Slot {
    std::unique_ptr<Window> window;
    DWORD generation = 1;
    bool announced = false; // observers were told of its creation
};

struct Desktop {
    std::vector<Slot> slots = std::vector<Slot>(2); // 0 unused, 1 the desktop window
    std::vector<DWORD> freeSlots;
    std::vector<HWND> topLevel; // front is the top of the z-order
    std::deque<WindowClass> classes;
    HWND desktopWindow = NULL;
    HWND foreground = NULL;
};

DWORD IndexOf(HWND hwnd) {
    return static_cast<DWORD>(reinterpret_cast<UINT_PTR>(hwnd)) & kIndexMask;
}

HWND MakeHandle(DWORD index, DWORD generation) {
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(index | (generation << kIndexBits)));
}

void AddSystemClass(Desktop& desktop, const char* name, WNDPROC proc, ClassKind kind,
                    int windowExtra, UINT style) {
    WindowClass windowClass;
    windowClass.name = name;
    windowClass.proc = proc;
    windowClass.kind = kind;
    windowClass.windowExtra = windowExtra;
    windowClass.style = style;
    windowClass.system = true;
    windowClass.atom = static_cast<ATOM>(0xC000 + desktop.classes.size());
    desktop.classes.push_back(windowClass);
}

Desktop& TheDesktop() {
    static Desktop* desktop = [] {
        Desktop* created = new Desktop; // never destroyed: threads outlive exit
        AddSystemClass(*created, "#32769", DefWindowProcA, ClassKind::Custom, 0, 0);
        AddSystemClass(*created, "#32770", DefDlgProcA, ClassKind::Dialog, DLGWINDOWEXTRA,
                       CS_SAVEBITS | CS_DBLCLKS);
        AddSystemClass(*created, "Button", ButtonProc, ClassKind::Button, 0,
                       CS_DBLCLKS | CS_PARENTDC);
        AddSystemClass(*created, "Edit", EditProc, ClassKind::Edit, 0, CS_DBLCLKS | CS_PARENTDC);
        AddSystemClass(*created, "Static", StaticProc, ClassKind::Static, 0,
                       CS_DBLCLKS | CS_PARENTDC);
        AddSystemClass(*created, PROGRESS_CLASSA, ProgressProc, ClassKind::Progress, 0, 0);
        AddSystemClass(*created, WC_LISTVIEWA, ListViewProc, ClassKind::ListView, 0, CS_DBLCLKS);
        auto window = std::make_unique<Window>();
        window->windowClass = &created->classes[0];
        window->proc = DefWindowProcA;
        window->style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN;
        window->rect = RECT{0, 0, 1024, 768};
        created->desktopWindow = MakeHandle(1, 1);
        window->hwnd = created->desktopWindow;
        created->slots[1].window = std::move(window);
        return created;
    }();
    return *desktop;
}

bool ClassNameMatches(const WindowClass& windowClass, LPCSTR name) {
    if (IS_INTRESOURCE(name))
        return windowClass.atom == static_cast<ATOM>(reinterpret_cast<UINT_PTR>(name));
    return strcasecmp(windowClass.name.c_str(), name) == 0;
}

// Frees the slot of a window whose messages are over. Under the lock.
void FreeSlotLocked(HWND hwnd, std::vector<HWND>* announced) {
    Desktop& desktop = TheDesktop();
    Window* window = FindLocked(hwnd);
    if (window == nullptr)
        return;
    if (Window* parent = FindLocked(window->parent)) {
        auto& siblings = parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), hwnd), siblings.end());
    }
    desktop.topLevel.erase(std::remove(desktop.topLevel.begin(), desktop.topLevel.end(), hwnd),
                           desktop.topLevel.end());
    if (desktop.foreground == hwnd)
        desktop.foreground = NULL;
    if (window->queue) {
        PurgeWindowLocked(*window->queue, hwnd);
        if (window->queue->focus == hwnd)
            window->queue->focus = NULL;
        if (window->queue->active == hwnd)
            window->queue->active = NULL;
    }
    DWORD index = IndexOf(hwnd);
    Slot& slot = desktop.slots[index];
    if (slot.announced && announced != nullptr)
        announced->push_back(hwnd);
    slot.window.reset();
    slot.announced = false;
    slot.generation = slot.generation % kGenerationMask + 1;
    desktop.freeSlots.push_back(index);
}

void AnnounceDestroyed(const std::vector<HWND>& windows) {
    for (HWND hwnd : windows)
        ForEachObserver([&](emu::DesktopObserver& observer) { observer.OnWindowDestroyed(hwnd); });
}

DWORD CurrentThread() {
    return internal::CurrentThreadId();
}

// Changes style bits under the lock and returns the previous style, or false for no window.
bool ChangeStyle(HWND hwnd, DWORD set, DWORD clear, DWORD* previous) {
    Guard lock(DesktopMutex());
    Window* window = FindOrFailLocked(hwnd);
    if (window == nullptr)
        return false;
    *previous = window->style;
    window->style = (window->style & ~clear) | set;
    return true;
}

void Activate(HWND hwnd) {
    HWND previous = NULL;
    {
        Guard lock(DesktopMutex());
        Window* window = FindLocked(hwnd);
        if (window == nullptr || window->threadId != CurrentThread() || !window->queue)
            return;
        previous = window->queue->active;
        if (previous == hwnd)
            return;
    }
    if (CallHooks(WH_CBT, HCBT_ACTIVATE, reinterpret_cast<WPARAM>(hwnd), 0) != 0)
        return;
    {
        Guard lock(DesktopMutex());
        Window* window = FindLocked(hwnd);
        if (window == nullptr)
            return;
        window->queue->active = hwnd;
        TheDesktop().foreground = hwnd;
    }
    if (previous != NULL && IsWindow(previous))
        SendMessageA(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
    SendMessageA(hwnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
}

// Visibility change by ShowWindow or SetWindowPos: sets or clears WS_VISIBLE and tells the
// observers. Returns the previous visibility.
bool SetVisible(HWND hwnd, bool visible, bool sendShowWindow) {
    bool was = false;
    {
        Guard lock(DesktopMutex());
        Window* window = FindLocked(hwnd);
        if (window == nullptr)
            return false;
        was = (window->style & WS_VISIBLE) != 0;
    }
    if (was == visible)
        return was;
    if (sendShowWindow)
        SendMessageA(hwnd, WM_SHOWWINDOW, visible ? TRUE : FALSE, 0);
    DWORD previous = 0;
    if (!ChangeStyle(hwnd, visible ? WS_VISIBLE : 0, visible ? 0 : WS_VISIBLE, &previous))
        return was;
    if (((previous & WS_VISIBLE) != 0) != visible)
        ForEachObserver(
            [&](emu::DesktopObserver& observer) { observer.OnWindowShown(hwnd, visible); });
    return was;
}

} // namespace

std::mutex& DesktopMutex() {
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

const WindowClass* FindClassLocked(LPCSTR name) {
    if (name == nullptr)
        return nullptr;
    for (const WindowClass& windowClass : TheDesktop().classes)
        if (!windowClass.name.empty() && ClassNameMatches(windowClass, name))
            return &windowClass;
    return nullptr;
}

Window* FindLocked(HWND hwnd) {
    if (hwnd == NULL)
        return nullptr;
    UINT_PTR value = reinterpret_cast<UINT_PTR>(hwnd);
    if (value > 0xFFFFFFFFu)
        return nullptr;
    Desktop& desktop = TheDesktop();
    DWORD index = IndexOf(hwnd);
    DWORD generation = static_cast<DWORD>(value >> kIndexBits);
    if (index == 0 || index >= desktop.slots.size())
        return nullptr;
    Slot& slot = desktop.slots[index];
    if (!slot.window || slot.generation != generation)
        return nullptr;
    return slot.window.get();
}

Window* FindOrFailLocked(HWND hwnd) {
    Window* window = FindLocked(hwnd);
    if (window == nullptr)
        internal::Fail(ERROR_INVALID_WINDOW_HANDLE);
    return window;
}

bool IsDescendantLocked(HWND parent, HWND child) {
    Window* window = FindLocked(child);
    while (window != nullptr && (window->style & WS_CHILD)) {
        if (window->parent == parent)
            return true;
        window = FindLocked(window->parent);
    }
    return false;
}

HWND RootLocked(HWND hwnd) {
    Window* window = FindLocked(hwnd);
    while (window != nullptr && (window->style & WS_CHILD) && FindLocked(window->parent))
        window = FindLocked(window->parent);
    return window ? window->hwnd : NULL;
}

std::vector<HWND> SubtreeLocked(HWND hwnd) {
    std::vector<HWND> result;
    if (FindLocked(hwnd) == nullptr)
        return result;
    result.push_back(hwnd);
    for (size_t i = 0; i < result.size(); ++i)
        for (HWND child : FindLocked(result[i])->children)
            result.push_back(child);
    return result;
}

bool ReadExtraLocked(Window& window, int offset, LONG_PTR* value) {
    if (offset < 0 || static_cast<size_t>(offset) + sizeof(LONG_PTR) > window.extra.size())
        return internal::Fail(ERROR_INVALID_INDEX);
    std::memcpy(value, window.extra.data() + offset, sizeof(LONG_PTR));
    return true;
}

bool WriteExtraLocked(Window& window, int offset, LONG_PTR value, LONG_PTR* previous) {
    LONG_PTR old = 0;
    if (!ReadExtraLocked(window, offset, &old))
        return false;
    std::memcpy(window.extra.data() + offset, &value, sizeof(LONG_PTR));
    if (previous != nullptr)
        *previous = old;
    return true;
}

std::shared_ptr<ControlData> NewControlData(ClassKind kind);

HWND CreateWindowInternal(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                          int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                          LPVOID param, std::unique_ptr<DialogInfo> dialog) {
    std::shared_ptr<Queue> queue = CurrentQueue();
    HWND hwnd = NULL;
    HWND given = parent;
    {
        Guard lock(DesktopMutex());
        Desktop& desktop = TheDesktop();
        const WindowClass* windowClass = FindClassLocked(className);
        if (windowClass == nullptr || (windowClass->system && windowClass->name == "#32769")) {
            internal::Fail(ERROR_CANNOT_FIND_WND_CLASS);
            return NULL;
        }
        if (parent == desktop.desktopWindow)
            parent = NULL;
        HWND owner = NULL;
        if (style & WS_CHILD) {
            if (parent == NULL) {
                internal::Fail(ERROR_TLW_WITH_WSCHILD);
                return NULL;
            }
            if (FindOrFailLocked(parent) == nullptr)
                return NULL;
        } else if (parent != NULL) {
            if (FindOrFailLocked(parent) == nullptr)
                return NULL;
            owner = RootLocked(parent);
            parent = NULL;
        }
        DWORD index = 0;
        if (!desktop.freeSlots.empty()) {
            index = desktop.freeSlots.front();
            desktop.freeSlots.erase(desktop.freeSlots.begin());
        } else if (desktop.slots.size() <= kIndexMask) {
            index = static_cast<DWORD>(desktop.slots.size());
            desktop.slots.emplace_back();
        } else {
            internal::Fail(ERROR_NOT_ENOUGH_MEMORY);
            return NULL;
        }
        Slot& slot = desktop.slots[index];
        hwnd = MakeHandle(index, slot.generation);
        auto window = std::make_unique<Window>();
        window->hwnd = hwnd;
        window->threadId = CurrentThread();
        window->queue = queue;
        window->windowClass = windowClass;
        window->proc = windowClass->proc;
        window->style = style & ~WS_VISIBLE;
        window->exStyle = exStyle;
        window->parent = parent;
        window->owner = owner;
        window->id = (style & WS_CHILD) ? reinterpret_cast<LONG_PTR>(menu) : 0;
        window->instance = instance;
        window->extra.assign(static_cast<size_t>(std::max(0, windowClass->windowExtra)), 0);
        if (width == CW_USEDEFAULT)
            width = 640, height = 480;
        if (x == CW_USEDEFAULT)
            x = 0, y = 0;
        window->rect = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
        if (windowClass->kind == ClassKind::Dialog && !dialog)
            dialog = std::make_unique<DialogInfo>();
        window->dialog = std::move(dialog);
        window->control = NewControlData(windowClass->kind);
        slot.window = std::move(window);
        if (parent != NULL)
            FindLocked(parent)->children.push_back(hwnd);
        else
            desktop.topLevel.insert(desktop.topLevel.begin(), hwnd);
    }

    CREATESTRUCTA create{};
    create.lpCreateParams = param;
    create.hInstance = instance;
    create.hMenu = menu;
    create.hwndParent = given;
    create.x = x;
    create.y = y;
    create.cx = width;
    create.cy = height;
    create.style = static_cast<LONG>(style);
    create.lpszName = windowName;
    create.lpszClass = className;
    create.dwExStyle = exStyle;
    CBT_CREATEWNDA cbt{&create, HWND_TOP};
    if (CallHooks(WH_CBT, HCBT_CREATEWND, reinterpret_cast<WPARAM>(hwnd),
                  reinterpret_cast<LPARAM>(&cbt)) != 0) {
        Guard lock(DesktopMutex());
        FreeSlotLocked(hwnd, nullptr);
        return NULL;
    }
    if (!CallWindowDirect(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create)) ||
        CallWindowDirect(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(hwnd);
        return NULL;
    }
    {
        Guard lock(DesktopMutex());
        if (FindLocked(hwnd) == nullptr)
            return NULL; // destroyed while being created
        TheDesktop().slots[IndexOf(hwnd)].announced = true;
    }
    ForEachObserver([&](emu::DesktopObserver& observer) { observer.OnWindowCreated(hwnd); });
    if (style & WS_VISIBLE)
        ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

void ReleaseThreadWindows(DWORD threadId) {
    std::vector<HWND> announced;
    {
        Guard lock(DesktopMutex());
        Desktop& desktop = TheDesktop();
        std::vector<HWND> gone;
        for (size_t index = 2; index < desktop.slots.size(); ++index) {
            Slot& slot = desktop.slots[index];
            if (slot.window && slot.window->threadId == threadId)
                gone.push_back(slot.window->hwnd);
        }
        for (HWND hwnd : gone)
            for (HWND below : SubtreeLocked(hwnd))
                if (FindLocked(below))
                    FreeSlotLocked(below, &announced);
    }
    AnnounceDestroyed(announced);
}

} // namespace user
} // namespace emu

using namespace emu::user;
using emu::internal::Fail;

extern "C" {

// ---------------------------------------------------------------------------------------
// Classes

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* lpWndClass) {
    if (lpWndClass == nullptr || lpWndClass->lpszClassName == nullptr ||
        lpWndClass->lpfnWndProc == nullptr || lpWndClass->cbWndExtra < 0 ||
        lpWndClass->cbClsExtra < 0 || lpWndClass->cbWndExtra > 40000 ||
        IS_INTRESOURCE(lpWndClass->lpszClassName) || *lpWndClass->lpszClassName == '\0') {
        Fail(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Guard lock(DesktopMutex());
    if (const WindowClass* existing = FindClassLocked(lpWndClass->lpszClassName)) {
        if (!existing->system || existing->name == "#32769") {
            Fail(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    }
    // A class registered by the program shadows a system class of the same name.
    Desktop& desktop = TheDesktop();
    WindowClass windowClass;
    windowClass.name = lpWndClass->lpszClassName;
    windowClass.style = lpWndClass->style;
    windowClass.proc = lpWndClass->lpfnWndProc;
    windowClass.classExtra = lpWndClass->cbClsExtra;
    windowClass.windowExtra = lpWndClass->cbWndExtra;
    windowClass.instance = lpWndClass->hInstance;
    windowClass.icon = lpWndClass->hIcon;
    windowClass.cursor = lpWndClass->hCursor;
    windowClass.background = lpWndClass->hbrBackground;
    windowClass.atom = static_cast<ATOM>(0xC000 + desktop.classes.size());
    desktop.classes.push_front(windowClass);
    return windowClass.atom;
}

ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass) {
    if (lpWndClass == nullptr) {
        Fail(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WNDCLASSEXA ex{};
    ex.cbSize = sizeof(ex);
    ex.style = lpWndClass->style;
    ex.lpfnWndProc = lpWndClass->lpfnWndProc;
    ex.cbClsExtra = lpWndClass->cbClsExtra;
    ex.cbWndExtra = lpWndClass->cbWndExtra;
    ex.hInstance = lpWndClass->hInstance;
    ex.hIcon = lpWndClass->hIcon;
    ex.hCursor = lpWndClass->hCursor;
    ex.hbrBackground = lpWndClass->hbrBackground;
    ex.lpszMenuName = lpWndClass->lpszMenuName;
    ex.lpszClassName = lpWndClass->lpszClassName;
    return RegisterClassExA(&ex);
}

BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE) {
    Guard lock(DesktopMutex());
    Desktop& desktop = TheDesktop();
    const WindowClass* windowClass = FindClassLocked(lpClassName);
    if (windowClass == nullptr || windowClass->system)
        return Fail(ERROR_CLASS_DOES_NOT_EXIST);
    for (const Slot& slot : desktop.slots)
        if (slot.window && slot.window->windowClass == windowClass)
            return Fail(ERROR_CLASS_HAS_WINDOWS);
    // Entries stay (windows hold pointers into the deque); the name goes.
    const_cast<WindowClass*>(windowClass)->name.clear();
    return TRUE;
}

BOOL WINAPI GetClassInfoA(HINSTANCE, LPCSTR lpClassName, LPWNDCLASSA lpWndClass) {
    Guard lock(DesktopMutex());
    const WindowClass* windowClass = FindClassLocked(lpClassName);
    if (windowClass == nullptr || lpWndClass == nullptr)
        return Fail(ERROR_CLASS_DOES_NOT_EXIST);
    *lpWndClass = WNDCLASSA{};
    lpWndClass->style = windowClass->style;
    lpWndClass->lpfnWndProc = windowClass->proc;
    lpWndClass->cbClsExtra = windowClass->classExtra;
    lpWndClass->cbWndExtra = windowClass->windowExtra;
    lpWndClass->hInstance = windowClass->instance;
    lpWndClass->hIcon = windowClass->icon;
    lpWndClass->hCursor = windowClass->cursor;
    lpWndClass->hbrBackground = windowClass->background;
    lpWndClass->lpszClassName = lpClassName;
    return TRUE;
}

int WINAPI GetClassNameA(HWND hWnd, LPSTR lpClassName, int nMaxCount) {
    Guard lock(DesktopMutex());
    Window* window = FindOrFailLocked(hWnd);
    if (window == nullptr || lpClassName == nullptr || nMaxCount <= 0)
        return 0;
    lstrcpynA(lpClassName, window->windowClass->name.c_str(), nMaxCount);
    return lstrlenA(lpClassName);
}

// ---------------------------------------------------------------------------------------
// Creation and destruction

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle,
                            int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                            HINSTANCE hInstance, LPVOID lpParam) {
    return CreateWindowInternal(dwExStyle, lpClassName, lpWindowName, dwStyle, X, Y, nWidth,
                                nHeight, hWndParent, hMenu, hInstance, lpParam, nullptr);
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
    {
        Guard lock(DesktopMutex());
        Window* window = FindOrFailLocked(hWnd);
        if (window == nullptr)
            return FALSE;
        if (window->threadId != CurrentThread() || hWnd == TheDesktop().desktopWindow)
            return Fail(ERROR_ACCESS_DENIED);
        if (window->destroying)
            return TRUE;
    }
    if (CallHooks(WH_CBT, HCBT_DESTROYWND, reinterpret_cast<WPARAM>(hWnd), 0) != 0)
        return FALSE;

    // Owned windows go first.
    std::vector<HWND> owned;
    {
        Guard lock(DesktopMutex());
        for (HWND top : TheDesktop().topLevel) {
            Window* window = FindLocked(top);
            if (window->owner == hWnd && window->threadId == CurrentThread())
                owned.push_back(top);
        }
    }
    for (HWND hwnd : owned)
        DestroyWindow(hwnd);

    std::vector<HWND> subtree;
    {
        Guard lock(DesktopMutex());
        Window* window = FindLocked(hWnd);
        if (window == nullptr || window->destroying)
            return TRUE;
        subtree = SubtreeLocked(hWnd);
        for (HWND hwnd : subtree) {
            Window* below = FindLocked(hwnd);
            below->destroying = true;
            if (below->queue && below->queue->focus == hwnd)
                below->queue->focus = NULL;
        }
        window->style &= ~WS_VISIBLE;
    }
    for (HWND hwnd : subtree)
        SendMessageA(hwnd, WM_DESTROY, 0, 0);
    for (auto it = subtree.rbegin(); it != subtree.rend(); ++it)
        SendMessageA(*it, WM_NCDESTROY, 0, 0);

    std::vector<HWND> announced;
    {
        Guard lock(DesktopMutex());
        std::vector<HWND> all = SubtreeLocked(hWnd); // includes children created meanwhile
        for (auto it = all.rbegin(); it != all.rend(); ++it)
            FreeSlotLocked(*it, &announced);
    }
    std::reverse(announced.begin(), announced.end());
    AnnounceDestroyed(announced);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd) {
    Guard lock(DesktopMutex());
    return FindLocked(hWnd) != nullptr;
}

HWND WINAPI GetDesktopWindow(void) {
    Guard lock(DesktopMutex());
    return TheDesktop().desktopWindow;
}

// ---------------------------------------------------------------------------------------
// Relations

BOOL WINAPI IsChild(HWND hWndParent, HWND hWnd) {
    Guard lock(DesktopMutex());
    return IsDescendantLocked(hWndParent, hWnd);
}

HWND WINAPI GetParent(HWND hWnd) {
    Guard lock(DesktopMutex());
    Window* window = FindOrFailLocked(hWnd);
    if (window == nullptr)
        return NULL;
    if (window->style & WS_CHILD)
        return window->parent;
    if (window->style & WS_POPUP)
        return window->owner;
    return NULL;
}

HWND WINAPI GetWindow(HWND hWnd, UINT uCmd) {
    Guard lock(DesktopMutex());
    Window* window = FindOrFailLocked(hWnd);
    if (window == nullptr)
        return NULL;
    if (uCmd == GW_OWNER)
        return (window->style & WS_CHILD) ? NULL : window->owner;
    if (uCmd == GW_CHILD)
        return window->children.empty() ? NULL : window->children.front();
    const std::vector<HWND>* siblings = &TheDesktop().topLevel;
    if (Window* parent = FindLocked(window->parent))
        siblings = &parent->children;
    auto it = std::find(siblings->begin(), siblings->end(), hWnd);
    switch (uCmd) {
    case GW_HWNDFIRST:
        return siblings->front();
    case GW_HWNDLAST:
        return siblings->back();
    case GW_HWNDNEXT:
        return (it == siblings->end() || it + 1 == siblings->end()) ? NULL : *(it + 1);
    case GW_HWNDPREV:
        return (it == siblings->begin() || it == siblings->end()) ? NULL : *(it - 1);
    case GW_ENABLEDPOPUP:
        return NULL;
    default:
        Fail(ERROR_INVALID_PARAMETER);
        return NULL;
    }
}

HWND WINAPI GetAncestor(HWND hwnd, UINT gaFlags) {
    Guard lock(DesktopMutex());
    Window* window = FindOrFailLocked(hwnd);
    if (window == nullptr || hwnd == TheDesktop().desktopWindow)
        return NULL;
    switch (gaFlags) {
    case GA_PARENT:
        return (window->style & WS_CHILD) ? window->parent : TheDesktop().desktopWindow;
    case GA_ROOT:
        return RootLocked(hwnd);
    case GA_ROOTOWNER: {
        Window* root = FindLocked(RootLocked(hwnd));
        while (root != nullptr && FindLocked(root->owner) != nullptr)
            root = FindLocked(root->owner);
        return root ? root->hwnd : NULL;
    }
    default:
        return NULL;
    }
}

DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
    Guard lock(DesktopMutex());
    Window* window = FindOrFailLocked(hWnd);
    if (window == nullptr)
        return 0;
    if (lpdwProcessId != nullptr)
        *lpdwProcessId = GetCurrentProcessId();
    return window->threadId;
}

// ---------------------------------------------------------------------------------------
// Window data

LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex) {
    Guard lock(DesktopMutex());
    Window* window = FindOrFailLocked(hWnd);
    if (window == nullptr)
        return 0;
    switch (nIndex) {
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(window->proc);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(window->instance);
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>((window->style & WS_CHILD) ? window->parent
                                                                     : window->owner);
    case GWLP_ID:
        return window->id;
    case GWL_STYLE:
        return static_cast<LONG>(window->style);
    case GWL_EXSTYLE:
        return static_cast<LONG>(window->exStyle);
    case GWLP_USERDATA:
        return window->userData;
    default: {
        LONG_PTR value = 0;
        ReadExtraLocked(*window, nIndex, &value);
        return value;
    }
    }
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    LONG_PTR previous = 0;
    DWORD before = 0, after = 0;
    {
        Guard lock(DesktopMutex());
        Window* window = FindOrFailLocked(hWnd);
        if (window == nullptr)
            return 0;
        before = window->style;
        switch (nIndex) {
        case GWLP_WNDPROC:
            if (dwNewLong == 0) {
                Fail(ERROR_INVALID_PARAMETER);
                return 0;
            }
            previous = reinterpret_cast<LONG_PTR>(window->proc);
            window->proc = reinterpret_cast<WNDPROC>(dwNewLong);
            break;
        case GWLP_HINSTANCE:
            previous = reinterpret_cast<LONG_PTR>(window->instance);
            window->instance = reinterpret_cast<HINSTANCE>(dwNewLong);
            break;
        case GWLP_HWNDPARENT:
            if (window->style & WS_CHILD) {
                Fail(ERROR_INVALID_PARAMETER);
                return 0;
            }
            previous = reinterpret_cast<LONG_PTR>(window->owner);
            window->owner = reinterpret_cast<HWND>(dwNewLong);
            break;
        case GWLP_ID:
            previous = window->id;
            window->id = dwNewLong;
            break;
        case GWL_STYLE:
            previous = static_cast<LONG>(window->style);
            window->style = static_cast<DWORD>(dwNewLong);
            break;
        case GWL_EXSTYLE:
            previous = static_cast<LONG>(window->exStyle);
            window->exStyle = static_cast<DWORD>(dwNewLong);
            break;
        case GWLP_USERDATA:
            previous = window->userData;
            window->userData = dwNewLong;
            break;
        default:
            if (!WriteExtraLocked(*window, nIndex, dwNewLong, &previous))
                return 0;
            break;
        }
        after = window->style;
    }
    if ((before ^ after) & WS_DISABLED) {
        bool enabled = (after & WS_DISABLED) == 0;
        ForEachObserver(
            [&](emu::DesktopObserver& observer) { observer.OnWindowEnabled(hWnd, enabled); });
    }
    if ((before ^ after) & WS_VISIBLE) {
        bool visible = (after & WS_VISIBLE) != 0;
        ForEachObserver(
            [&](emu::DesktopObserver& observer) { observer.OnWindowShown(hWnd, visible); });
    }
    return previous;
}

namespace {

// GetWindowLongA and SetWindowLongA (when `newValue` is given): 32-bit values, which cannot
// carry the pointer-sized entries of a 64-bit build; extra bytes are read as 32 bits.
LONG WindowLong32(HWND hWnd, int nIndex, const LONG* newValue) {
    if ((nIndex == GWLP_WNDPROC || nIndex == GWLP_HINSTANCE || nIndex == GWLP_HWNDPARENT) &&
        sizeof(LONG_PTR) > sizeof(LONG)) {
        Fail(ERROR_INVALID_INDEX);
        return 0;
    }
    if (nIndex < 0)
        return static_cast<LONG>(newValue ? SetWindowLongPtrA(hWnd, nIndex, *newValue)
                                          : GetWindowLongPtrA(hWnd, nIndex));
    Guard lock(DesktopMutex());
    Window* window = FindOrFailLocked(hWnd);
    if (window == nullptr)
        return 0;
    if (static_cast<size_t>(nIndex) + sizeof(LONG) > window->extra.size()) {
        Fail(ERROR_INVALID_INDEX);
        return 0;
    }
    LONG previous = 0;
    std::memcpy(&previous, window->extra.data() + nIndex, sizeof(LONG));
    if (newValue != nullptr)
        std::memcpy(window->extra.data() + nIndex, newValue, sizeof(LONG));
    return previous;
}

} // namespace

LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex) {
    return WindowLong32(hWnd, nIndex, nullptr);
}

LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong) {
    return WindowLong32(hWnd, nIndex, &dwNewLong);
}

// ---------------------------------------------------------------------------------------
// Text

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
    if (!IsWindow(hWnd))
        return Fail(ERROR_INVALID_WINDOW_HANDLE);
    return SendMessageA(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) != 0;
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
    if (lpString != nullptr && nMaxCount > 0)
        *lpString = '\0';
    if (!IsWindow(hWnd)) {
        Fail(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (lpString == nullptr || nMaxCount <= 0)
        return 0;
    return static_cast<int>(SendMessageA(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount),
                                         reinterpret_cast<LPARAM>(lpString)));
}

int WINAPI GetWindowTextLengthA(HWND hWnd) {
    if (!IsWindow(hWnd)) {
        Fail(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return static_cast<int>(SendMessageA(hWnd, WM_GETTEXTLENGTH, 0, 0));
}

// ---------------------------------------------------------------------------------------
// State

BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
    DWORD previous = 0;
    if (bEnable) {
        if (!ChangeStyle(hWnd, 0, WS_DISABLED, &previous))
            return FALSE;
        bool wasDisabled = (previous & WS_DISABLED) != 0;
        if (wasDisabled) {
            SendMessageA(hWnd, WM_ENABLE, TRUE, 0);
            ForEachObserver(
                [&](emu::DesktopObserver& observer) { observer.OnWindowEnabled(hWnd, true); });
        }
        return wasDisabled;
    }
    if (!IsWindow(hWnd))
        return Fail(ERROR_INVALID_WINDOW_HANDLE);
    SendMessageA(hWnd, WM_CANCELMODE, 0, 0);
    if (!ChangeStyle(hWnd, WS_DISABLED, 0, &previous))
        return FALSE;
    bool wasDisabled = (previous & WS_DISABLED) != 0;
    if (!wasDisabled) {
        bool hadFocus = false;
        {
            Guard lock(DesktopMutex());
            Window* window = FindLocked(hWnd);
            hadFocus = window != nullptr && window->queue && window->queue->focus == hWnd &&
                       window->threadId == CurrentThread();
        }
        if (hadFocus)
            SetFocus(NULL); // a disabled window cannot keep the focus
        SendMessageA(hWnd, WM_ENABLE, FALSE, 0);
        ForEachObserver(
            [&](emu::DesktopObserver& observer) { observer.OnWindowEnabled(hWnd, false); });
    }
    return wasDisabled;
}

BOOL WINAPI IsWindowEnabled(HWND hWnd) {
    Guard lock(DesktopMutex());
    Window* window = FindOrFailLocked(hWnd);
    return window != nullptr && (window->style & WS_DISABLED) == 0;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    if (!IsWindow(hWnd))
        return Fail(ERROR_INVALID_WINDOW_HANDLE);
    bool show = nCmdShow != SW_HIDE;
    bool was = SetVisible(hWnd, show, true);
    bool activates = show && nCmdShow != SW_SHOWNA && nCmdShow != SW_SHOWNOACTIVATE &&
                     nCmdShow != SW_SHOWMINNOACTIVE && nCmdShow != SW_MINIMIZE;
    if (activates && GetParent(hWnd) == GetWindow(hWnd, GW_OWNER))
        Activate(hWnd);
    return was;
}

BOOL WINAPI IsWindowVisible(HWND hWnd) {
    Guard lock(DesktopMutex());
    Window* window = FindLocked(hWnd);
    while (window != nullptr) {
        if ((window->style & WS_VISIBLE) == 0)
            return FALSE;
        if ((window->style & WS_CHILD) == 0)
            return TRUE;
        window = FindLocked(window->parent);
    }
    return FALSE;
}

BOOL WINAPI IsIconic(HWND hWnd) {
    Guard lock(DesktopMutex());
    Window* window = FindLocked(hWnd);
    return window != nullptr && (window->style & WS_MINIMIZE) != 0;
}

BOOL WINAPI UpdateWindow(HWND hWnd) {
    return IsWindow(hWnd) ? TRUE : Fail(ERROR_INVALID_WINDOW_HANDLE);
}

BOOL WINAPI InvalidateRect(HWND hWnd, const RECT*, BOOL) {
    return hWnd == NULL || IsWindow(hWnd) ? TRUE : Fail(ERROR_INVALID_WINDOW_HANDLE);
}

// ---------------------------------------------------------------------------------------
// Focus and activation (per thread, as Windows keeps them per queue)

HWND WINAPI SetFocus(HWND hWnd) {
    std::shared_ptr<Queue> queue = CurrentQueue();
    HWND previous = NULL;
    HWND root = NULL;
    {
        Guard lock(DesktopMutex());
        previous = queue->focus;
        if (hWnd != NULL) {
            Window* window = FindOrFailLocked(hWnd);
            if (window == nullptr)
                return NULL;
            if (window->threadId != CurrentThread())
                return NULL; // input is not attached across threads
            root = RootLocked(hWnd);
        }
        if (previous == hWnd)
            return previous;
        queue->focus = hWnd;
    }
    if (root != NULL)
        Activate(root);
    if (previous != NULL && IsWindow(previous))
        SendMessageA(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hWnd), 0);
    if (hWnd != NULL && GetFocus() == hWnd)
        SendMessageA(hWnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    return previous;
}

HWND WINAPI GetFocus(void) {
    std::shared_ptr<Queue> queue = CurrentQueue();
    Guard lock(DesktopMutex());
    return FindLocked(queue->focus) ? queue->focus : NULL;
}

HWND WINAPI GetActiveWindow(void) {
    std::shared_ptr<Queue> queue = CurrentQueue();
    Guard lock(DesktopMutex());
    return FindLocked(queue->active) ? queue->active : NULL;
}

HWND WINAPI SetActiveWindow(HWND hWnd) {
    HWND previous = GetActiveWindow();
    if (!IsWindow(hWnd)) {
        Fail(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    Activate(hWnd);
    return previous;
}

BOOL WINAPI SetForegroundWindow(HWND hWnd) {
    {
        Guard lock(DesktopMutex());
        Window* window = FindOrFailLocked(hWnd);
        if (window == nullptr)
            return FALSE;
        if (window->threadId != CurrentThread()) {
            TheDesktop().foreground = hWnd;
            return TRUE;
        }
    }
    Activate(hWnd);
    return TRUE;
}

HWND WINAPI GetForegroundWindow(void) {
    Guard lock(DesktopMutex());
    HWND hwnd = TheDesktop().foreground;
    return FindLocked(hwnd) ? hwnd : NULL;
}

// ---------------------------------------------------------------------------------------
// Geometry (kept, never drawn)

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
    Guard lock(DesktopMutex());
    Window* window = FindOrFailLocked(hWnd);
    if (window == nullptr || lpRect == nullptr)
        return FALSE;
    RECT rect = window->rect;
    for (Window* parent = (window->style & WS_CHILD) ? FindLocked(window->parent) : nullptr;
         parent != nullptr;
         parent = (parent->style & WS_CHILD) ? FindLocked(parent->parent) : nullptr) {
        rect.left += parent->rect.left;
        rect.right += parent->rect.left;
        rect.top += parent->rect.top;
        rect.bottom += parent->rect.top;
    }
    *lpRect = rect;
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
    Guard lock(DesktopMutex());
    Window* window = FindOrFailLocked(hWnd);
    if (window == nullptr || lpRect == nullptr)
        return FALSE;
    *lpRect =
        RECT{0, 0, window->rect.right - window->rect.left, window->rect.bottom - window->rect.top};
    return TRUE;
}

BOOL WINAPI SetWindowPos(HWND hWnd, HWND, int X, int Y, int cx, int cy, UINT uFlags) {
    {
        Guard lock(DesktopMutex());
        Window* window = FindOrFailLocked(hWnd);
        if (window == nullptr)
            return FALSE;
        RECT& rect = window->rect;
        if ((uFlags & SWP_NOMOVE) == 0) {
            LONG width = rect.right - rect.left, height = rect.bottom - rect.top;
            rect = RECT{X, Y, X + width, Y + height};
        }
        if ((uFlags & SWP_NOSIZE) == 0) {
            rect.right = rect.left + std::max(0, cx);
            rect.bottom = rect.top + std::max(0, cy);
        }
    }
    if (uFlags & SWP_SHOWWINDOW)
        SetVisible(hWnd, true, false);
    else if (uFlags & SWP_HIDEWINDOW)
        SetVisible(hWnd, false, false);
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL) {
    return SetWindowPos(hWnd, NULL, X, Y, nWidth, nHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint) {
    RECT rect{};
    if (lpPoint == nullptr || !GetWindowRect(hWnd, &rect))
        return FALSE;
    lpPoint->x += rect.left;
    lpPoint->y += rect.top;
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint) {
    RECT rect{};
    if (lpPoint == nullptr || !GetWindowRect(hWnd, &rect))
        return FALSE;
    lpPoint->x -= rect.left;
    lpPoint->y -= rect.top;
    return TRUE;
}

// ---------------------------------------------------------------------------------------
// Finding and enumerating windows (by their own text, without sending messages)

HWND WINAPI FindWindowExA(HWND hWndParent, HWND hWndChildAfter, LPCSTR lpszClass,
                          LPCSTR lpszWindow) {
    Guard lock(DesktopMutex());
    Desktop& desktop = TheDesktop();
    const std::vector<HWND>* list = &desktop.topLevel;
    if (hWndParent != NULL && hWndParent != desktop.desktopWindow) {
        Window* parent = FindOrFailLocked(hWndParent);
        if (parent == nullptr)
            return NULL;
        list = &parent->children;
    }
    auto it = list->begin();
    if (hWndChildAfter != NULL) {
        it = std::find(list->begin(), list->end(), hWndChildAfter);
        if (it == list->end()) {
            Fail(ERROR_INVALID_WINDOW_HANDLE);
            return NULL;
        }
        ++it;
    }
    for (; it != list->end(); ++it) {
        Window* window = FindLocked(*it);
        if (window == nullptr)
            continue;
        if (lpszClass != nullptr && !ClassNameMatches(*window->windowClass, lpszClass))
            continue;
        if (lpszWindow != nullptr && strcasecmp(window->text.c_str(), lpszWindow) != 0)
            continue;
        return window->hwnd;
    }
    SetLastError(ERROR_SUCCESS);
    return NULL;
}

HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
    return FindWindowExA(NULL, NULL, lpClassName, lpWindowName);
}

namespace {

BOOL EnumerateSnapshot(const std::vector<HWND>& windows, WNDENUMPROC proc, LPARAM lParam) {
    if (proc == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    for (HWND hwnd : windows) {
        if (!IsWindow(hwnd))
            continue;
        if (!proc(hwnd, lParam))
            return FALSE;
    }
    return TRUE;
}

} // namespace

BOOL WINAPI EnumWindows(WNDENUMPROC lpEnumFunc, LPARAM lParam) {
    std::vector<HWND> windows;
    {
        Guard lock(DesktopMutex());
        windows = TheDesktop().topLevel;
    }
    return EnumerateSnapshot(windows, lpEnumFunc, lParam);
}

BOOL WINAPI EnumChildWindows(HWND hWndParent, WNDENUMPROC lpEnumFunc, LPARAM lParam) {
    std::vector<HWND> windows;
    {
        Guard lock(DesktopMutex());
        if (hWndParent == NULL || hWndParent == TheDesktop().desktopWindow) {
            for (HWND top : TheDesktop().topLevel)
                for (HWND hwnd : SubtreeLocked(top))
                    windows.push_back(hwnd);
        } else {
            if (FindOrFailLocked(hWndParent) == nullptr)
                return FALSE;
            // Depth first: each child followed by its own children.
            std::function<void(HWND)> walk = [&](HWND parent) {
                for (HWND child : FindLocked(parent)->children) {
                    windows.push_back(child);
                    walk(child);
                }
            };
            walk(hWndParent);
        }
    }
    return EnumerateSnapshot(windows, lpEnumFunc, lParam);
}

BOOL WINAPI EnumThreadWindows(DWORD dwThreadId, WNDENUMPROC lpfn, LPARAM lParam) {
    std::vector<HWND> windows;
    {
        Guard lock(DesktopMutex());
        for (HWND top : TheDesktop().topLevel)
            if (FindLocked(top)->threadId == dwThreadId)
                windows.push_back(top);
    }
    return EnumerateSnapshot(windows, lpfn, lParam);
}

} // extern "C"
