// Message queues: one per thread, created on its first use of a window call. Posted messages,
// messages sent across threads (queued to the receiver and served only while it retrieves
// messages or itself waits in SendMessage), WM_QUIT, timers synthesised at retrieval time,
// waits for input through the wait core, hooks, and the default window procedure.
#include "user_internal.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace emu {
namespace user {

namespace {

struct HookEntry {
    HHOOK handle;
    int type;
    HOOKPROC proc;
    DWORD threadId; // 0: every thread
};

struct MessageState {
    std::map<DWORD, std::shared_ptr<Queue>> queues;
    std::vector<HookEntry> hooks; // most recent last
    UINT_PTR nextHook = 1;
    UINT_PTR nextThreadTimer = 0x7FFF0000; // thread timers' ids, as Windows hands them out
    bool exitHookAdded = false;
};

MessageState& State() {
    static MessageState* state = new MessageState; // never destroyed: threads outlive exit
    return *state;
}

thread_local int t_servingSend = 0;

// A wait on a condition of the desktop, for the wait core.
class QueueWaitable : public internal::Waitable {
public:
    explicit QueueWaitable(std::function<bool()> ready) : m_ready(std::move(ready)) {}
    const char* KindName() const override { return "queue"; }
    internal::Acquire TryAcquire(const internal::WaitContext&) override {
        Guard lock(DesktopMutex());
        return m_ready() ? internal::Acquire::Acquired : internal::Acquire::NotReady;
    }
    void Undo(const internal::WaitContext&, internal::Acquire) override {}

private:
    std::function<bool()> m_ready;
};

// The end of a thread: its queue dies, the threads sending to it are released with 0, and
// its windows go.
void ReleaseThread(DWORD threadId) {
    bool had = false;
    {
        Guard lock(DesktopMutex());
        MessageState& state = State();
        auto it = state.queues.find(threadId);
        if (it != state.queues.end()) {
            had = true;
            Queue& queue = *it->second;
            queue.alive = false;
            for (auto& sent : queue.sent)
                sent->done = true;
            queue.sent.clear();
            queue.timers.clear();
            state.queues.erase(it);
        }
        auto& hooks = state.hooks;
        hooks.erase(std::remove_if(hooks.begin(), hooks.end(),
                                   [&](const HookEntry& h) { return h.threadId == threadId; }),
                    hooks.end());
    }
    if (!had)
        return;
    ReleaseThreadWindows(threadId);
    internal::NotifyWaiters();
}

// Notices the end of threads that the kernel layer does not track; the process's main thread
// ends with the process and needs nothing.
struct ThreadEndWatch {
    DWORD threadId = 0;
    ~ThreadEndWatch() {
        if (threadId != 0 && threadId != static_cast<DWORD>(getpid()))
            ReleaseThread(threadId);
    }
};

bool InRange(UINT message, UINT first, UINT last) {
    if (first == 0 && last == 0)
        return true;
    return message >= first && message <= last;
}

bool HwndMatchesLocked(HWND hwnd, HWND filter) {
    if (filter == NULL)
        return true;
    if (filter == reinterpret_cast<HWND>(-1))
        return hwnd == NULL;
    return hwnd == filter || IsDescendantLocked(filter, hwnd);
}

bool TimerDue(const Timer& timer, DWORD now) {
    return static_cast<int32_t>(now - timer.due) >= 0;
}

// The QS_* bits describing what `queue` holds now.
UINT CurrentBitsLocked(const Queue& queue) {
    UINT bits = 0;
    if (!queue.sent.empty())
        bits |= QS_SENDMESSAGE;
    if (!queue.posted.empty() || queue.quit)
        bits |= QS_POSTMESSAGE | QS_ALLPOSTMESSAGE;
    DWORD now = GetTickCount();
    for (const Timer& timer : queue.timers)
        if (TimerDue(timer, now))
            bits |= QS_TIMER;
    return bits;
}

// Emulated milliseconds until the first of `queue`'s timers that matches `filter` expires
// (0 when one has), or INFINITE.
DWORD TimeToNextTimerLocked(const Queue& queue, HWND filter) {
    DWORD now = GetTickCount();
    DWORD best = INFINITE;
    for (const Timer& timer : queue.timers) {
        if (!HwndMatchesLocked(timer.hwnd, filter))
            continue;
        int32_t left = static_cast<int32_t>(timer.due - now);
        DWORD wait = left <= 0 ? 0 : static_cast<DWORD>(left);
        best = std::min(best, wait);
    }
    return best;
}

void Serve(const std::shared_ptr<SentMessage>& sent) {
    ++t_servingSend;
    LRESULT result = CallWindowDirect(sent->hwnd, sent->message, sent->wParam, sent->lParam);
    --t_servingSend;
    {
        Guard lock(DesktopMutex());
        sent->result = result;
        sent->done = true;
    }
    internal::NotifyWaiters();
}

// Serves every message sent to the calling thread so far.
void ServeSent(Queue& queue) {
    for (;;) {
        std::shared_ptr<SentMessage> sent;
        {
            Guard lock(DesktopMutex());
            if (queue.sent.empty())
                return;
            sent = queue.sent.front();
            queue.sent.pop_front();
        }
        Serve(sent);
    }
}

// One look at the queue in Windows' order: sent messages (served), posted messages, WM_QUIT
// once no posted message remains, then timers. Returns whether `msg` was filled.
bool Retrieve(Queue& queue, MSG* msg, HWND filter, UINT first, UINT last, UINT flags) {
    ServeSent(queue);
    Guard lock(DesktopMutex());
    queue.changed = 0;
    bool remove = (flags & PM_REMOVE) != 0;
    for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
        if (!HwndMatchesLocked(it->hwnd, filter) || !InRange(it->message, first, last))
            continue;
        *msg = *it;
        if (remove)
            queue.posted.erase(it);
        queue.messageTime = msg->time;
        return true;
    }
    DWORD now = GetTickCount();
    if (queue.quit && queue.posted.empty()) {
        *msg = MSG{NULL, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, now, {0, 0}};
        if (remove)
            queue.quit = false;
        return true;
    }
    if (!InRange(WM_TIMER, first, last))
        return false;
    for (Timer& timer : queue.timers) {
        if (!TimerDue(timer, now) || !HwndMatchesLocked(timer.hwnd, filter))
            continue;
        *msg =
            MSG{timer.hwnd, WM_TIMER, timer.id, reinterpret_cast<LPARAM>(timer.proc), now, {0, 0}};
        if (remove) {
            // Missed periods coalesce: the next expiry is the first one still ahead.
            while (TimerDue(timer, now))
                timer.due += timer.period;
        }
        queue.messageTime = now;
        return true;
    }
    return false;
}

bool HasInputLocked(const Queue& queue, HWND filter, UINT first, UINT last) {
    if (!queue.sent.empty() || (queue.quit && queue.posted.empty()))
        return true;
    for (const MSG& msg : queue.posted)
        if (HwndMatchesLocked(msg.hwnd, filter) && InRange(msg.message, first, last))
            return true;
    return false;
}

bool IsSyncOnly(UINT message) {
    switch (message) {
    case WM_CREATE:
    case WM_NCCREATE:
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETMINMAXINFO:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_DELETEITEM:
    case WM_COMPAREITEM:
    case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED:
    case WM_NCCALCSIZE:
    case WM_STYLECHANGING:
    case WM_STYLECHANGED:
        return true;
    default:
        return false;
    }
}

BOOL PostToQueue(const std::shared_ptr<Queue>& queue, const MSG& msg) {
    {
        Guard lock(DesktopMutex());
        if (!queue || !queue->alive)
            return internal::Fail(ERROR_INVALID_THREAD_ID);
        queue->posted.push_back(msg);
        queue->changed |= QS_POSTMESSAGE | QS_ALLPOSTMESSAGE;
    }
    internal::NotifyWaiters();
    return TRUE;
}

// Tells a thread waiting for input that its timers changed.
void TimersChanged() {
    internal::NotifyWaiters();
}

} // namespace

std::shared_ptr<Queue> CurrentQueue() {
    DWORD self = internal::CurrentThreadId();
    bool created = false;
    std::shared_ptr<Queue> queue;
    bool addHook = false;
    {
        Guard lock(DesktopMutex());
        MessageState& state = State();
        auto it = state.queues.find(self);
        if (it != state.queues.end())
            return it->second;
        queue = std::make_shared<Queue>();
        queue->threadId = self;
        state.queues[self] = queue;
        created = true;
        addHook = !state.exitHookAdded;
        state.exitHookAdded = true;
    }
    if (addHook)
        internal::AddThreadExitHook(ReleaseThread);
    if (created) {
        thread_local ThreadEndWatch watch;
        watch.threadId = self;
    }
    return queue;
}

std::shared_ptr<Queue> QueueOfLocked(DWORD threadId) {
    auto& queues = State().queues;
    auto it = queues.find(threadId);
    return it == queues.end() ? nullptr : it->second;
}

void PurgeWindowLocked(Queue& queue, HWND hwnd) {
    auto& posted = queue.posted;
    posted.erase(std::remove_if(posted.begin(), posted.end(),
                                [&](const MSG& msg) { return msg.hwnd == hwnd; }),
                 posted.end());
    auto& timers = queue.timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                                [&](const Timer& timer) { return timer.hwnd == hwnd; }),
                 timers.end());
}

LRESULT CallHooks(int type, int code, WPARAM wParam, LPARAM lParam) {
    HookEntry first{};
    {
        Guard lock(DesktopMutex());
        DWORD self = internal::CurrentThreadId();
        const auto& hooks = State().hooks;
        auto it = std::find_if(hooks.rbegin(), hooks.rend(), [&](const HookEntry& h) {
            return h.type == type && (h.threadId == 0 || h.threadId == self);
        });
        if (it == hooks.rend())
            return 0;
        first = *it;
    }
    return first.proc(code, wParam, lParam);
}

LRESULT CallWindowDirect(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = nullptr;
    bool hooked = false;
    {
        Guard lock(DesktopMutex());
        Window* window = FindLocked(hwnd);
        if (window == nullptr)
            return 0;
        proc = window->proc;
        DWORD self = internal::CurrentThreadId();
        for (const HookEntry& hook : State().hooks)
            if ((hook.type == WH_CALLWNDPROC || hook.type == WH_CALLWNDPROCRET) &&
                (hook.threadId == 0 || hook.threadId == self))
                hooked = true;
    }
    if (!hooked)
        return proc(hwnd, message, wParam, lParam);
    CWPSTRUCT call{lParam, wParam, message, hwnd};
    CallHooks(WH_CALLWNDPROC, 0, t_servingSend > 0, reinterpret_cast<LPARAM>(&call));
    LRESULT result = proc(hwnd, message, wParam, lParam);
    CWPRETSTRUCT ret{result, lParam, wParam, message, hwnd};
    CallHooks(WH_CALLWNDPROCRET, 0, t_servingSend > 0, reinterpret_cast<LPARAM>(&ret));
    return result;
}

bool WaitUntil(const std::function<bool()>& ready, DWORD milliseconds) {
    std::vector<std::shared_ptr<internal::Waitable>> objects{
        std::make_shared<QueueWaitable>(ready)};
    return internal::WaitForObjects(objects, false, milliseconds) == WAIT_OBJECT_0;
}

} // namespace user
} // namespace emu

using namespace emu::user;
using emu::internal::Fail;

extern "C" {

// ---------------------------------------------------------------------------------------
// Posting and sending

BOOL WINAPI PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (IsSyncOnly(Msg))
        return Fail(ERROR_MESSAGE_SYNC_ONLY);
    std::shared_ptr<Queue> queue;
    {
        Guard lock(DesktopMutex());
        queue = QueueOfLocked(idThread);
    }
    if (!queue)
        return Fail(ERROR_INVALID_THREAD_ID);
    return PostToQueue(queue, MSG{NULL, Msg, wParam, lParam, GetTickCount(), {0, 0}});
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (IsSyncOnly(Msg))
        return Fail(ERROR_MESSAGE_SYNC_ONLY);
    if (hWnd == NULL)
        return PostThreadMessageA(GetCurrentThreadId(), Msg, wParam, lParam);
    if (hWnd == HWND_BROADCAST) {
        std::vector<HWND> windows;
        EnumWindows(
            [](HWND hwnd, LPARAM list) -> BOOL {
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&windows));
        for (HWND hwnd : windows)
            PostMessageA(hwnd, Msg, wParam, lParam);
        return TRUE;
    }
    std::shared_ptr<Queue> queue;
    {
        Guard lock(DesktopMutex());
        Window* window = FindOrFailLocked(hWnd);
        if (window == nullptr)
            return FALSE;
        queue = window->queue;
    }
    if (!queue)
        return Fail(ERROR_ACCESS_DENIED);
    return PostToQueue(queue, MSG{hWnd, Msg, wParam, lParam, GetTickCount(), {0, 0}});
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<Queue> self = CurrentQueue();
    std::shared_ptr<Queue> target;
    {
        Guard lock(DesktopMutex());
        Window* window = FindOrFailLocked(hWnd);
        if (window == nullptr)
            return 0;
        target = window->queue;
    }
    if (target == self)
        return CallWindowDirect(hWnd, Msg, wParam, lParam);
    if (!target)
        return 0; // the desktop window: nothing answers

    // Another thread's window: queue the message to its thread and wait for the reply,
    // serving the messages other threads send to this one meanwhile.
    auto sent = std::make_shared<SentMessage>();
    sent->hwnd = hWnd;
    sent->message = Msg;
    sent->wParam = wParam;
    sent->lParam = lParam;
    {
        Guard lock(DesktopMutex());
        if (!target->alive)
            return 0;
        target->sent.push_back(sent);
        target->changed |= QS_SENDMESSAGE;
    }
    emu::internal::NotifyWaiters();
    for (;;) {
        std::shared_ptr<SentMessage> incoming;
        {
            Guard lock(DesktopMutex());
            if (sent->done)
                return sent->result;
            if (!self->sent.empty()) {
                incoming = self->sent.front();
                self->sent.pop_front();
            }
        }
        if (incoming) {
            Serve(incoming);
            continue;
        }
        WaitUntil([&] { return sent->done || !self->sent.empty(); }, INFINITE);
    }
}

BOOL WINAPI InSendMessage(void) {
    return t_servingSend > 0;
}

// ---------------------------------------------------------------------------------------
// Retrieving

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg) {
    if (lpMsg == nullptr)
        return Fail(ERROR_NOACCESS);
    if (hWnd != NULL && hWnd != reinterpret_cast<HWND>(-1) && !IsWindow(hWnd))
        return Fail(ERROR_INVALID_WINDOW_HANDLE);
    std::shared_ptr<Queue> queue = CurrentQueue();
    return Retrieve(*queue, lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg) ? TRUE : FALSE;
}

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (lpMsg == nullptr) {
        Fail(ERROR_NOACCESS);
        return -1;
    }
    if (hWnd != NULL && hWnd != reinterpret_cast<HWND>(-1) && !IsWindow(hWnd)) {
        Fail(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    std::shared_ptr<Queue> queue = CurrentQueue();
    for (;;) {
        if (Retrieve(*queue, lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, PM_REMOVE))
            return lpMsg->message != WM_QUIT;
        DWORD timeout = INFINITE;
        size_t timerCount = 0;
        {
            Guard lock(DesktopMutex());
            if (InRange(WM_TIMER, wMsgFilterMin, wMsgFilterMax))
                timeout = TimeToNextTimerLocked(*queue, hWnd);
            timerCount = queue->timers.size();
        }
        if (timeout == 0)
            continue;
        WaitUntil(
            [&] {
                return HasInputLocked(*queue, hWnd, wMsgFilterMin, wMsgFilterMax) ||
                       queue->timers.size() != timerCount || queue->changed & QS_TIMER;
            },
            timeout);
    }
}

BOOL WINAPI WaitMessage(void) {
    std::shared_ptr<Queue> queue = CurrentQueue();
    for (;;) {
        DWORD timeout = INFINITE;
        {
            Guard lock(DesktopMutex());
            if (queue->changed != 0)
                return TRUE;
            timeout = TimeToNextTimerLocked(*queue, NULL);
        }
        if (timeout == 0)
            return TRUE;
        if (WaitUntil([&] { return queue->changed != 0; }, timeout))
            return TRUE;
    }
}

DWORD WINAPI GetQueueStatus(UINT flags) {
    std::shared_ptr<Queue> queue = CurrentQueue();
    Guard lock(DesktopMutex());
    UINT current = CurrentBitsLocked(*queue);
    UINT changed = queue->changed | (current & QS_TIMER);
    queue->changed &= ~flags;
    return MAKELONG(changed & flags, current & flags);
}

DWORD WINAPI GetMessageTime(void) {
    std::shared_ptr<Queue> queue = CurrentQueue();
    Guard lock(DesktopMutex());
    return queue->messageTime;
}

void WINAPI PostQuitMessage(int nExitCode) {
    std::shared_ptr<Queue> queue = CurrentQueue();
    {
        Guard lock(DesktopMutex());
        queue->quit = true;
        queue->quitCode = nExitCode;
        queue->changed |= QS_POSTMESSAGE | QS_ALLPOSTMESSAGE;
    }
    emu::internal::NotifyWaiters();
}

DWORD WINAPI MsgWaitForMultipleObjectsEx(DWORD nCount, const HANDLE* pHandles, DWORD dwMilliseconds,
                                         DWORD dwWakeMask, DWORD dwFlags) {
    std::vector<std::shared_ptr<emu::internal::Waitable>> objects;
    if (nCount > MAXIMUM_WAIT_OBJECTS - 1) {
        Fail(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    if (nCount > 0 && !emu::internal::ResolveWaitables(nCount, pHandles, &objects))
        return WAIT_FAILED;
    std::shared_ptr<Queue> queue = CurrentQueue();
    bool inputAvailable = (dwFlags & MWMO_INPUTAVAILABLE) != 0;
    // The queue is the last object: its result is WAIT_OBJECT_0 + nCount.
    objects.push_back(std::make_shared<QueueWaitable>([queue, dwWakeMask, inputAvailable] {
        UINT current = CurrentBitsLocked(*queue);
        UINT bits = inputAvailable ? current : (queue->changed | (current & QS_TIMER));
        return (bits & dwWakeMask) != 0;
    }));
    DWORD start = GetTickCount();
    for (;;) {
        DWORD timeout = dwMilliseconds;
        if (dwMilliseconds != INFINITE) {
            DWORD spent = GetTickCount() - start;
            timeout = spent >= dwMilliseconds ? 0 : dwMilliseconds - spent;
        }
        bool timerFirst = false;
        if (dwWakeMask & QS_TIMER) {
            Guard lock(DesktopMutex());
            DWORD toTimer = TimeToNextTimerLocked(*queue, NULL);
            if (toTimer != INFINITE && toTimer < timeout) {
                timeout = toTimer;
                timerFirst = true;
            }
        }
        DWORD result =
            emu::internal::WaitForObjects(objects, (dwFlags & MWMO_WAITALL) != 0, timeout);
        if (result == WAIT_TIMEOUT && timerFirst)
            continue; // a timer expired: the queue object is signalled now
        return result;
    }
}

DWORD WINAPI MsgWaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles, BOOL fWaitAll,
                                       DWORD dwMilliseconds, DWORD dwWakeMask) {
    return MsgWaitForMultipleObjectsEx(nCount, pHandles, dwMilliseconds, dwWakeMask,
                                       fWaitAll ? MWMO_WAITALL : 0);
}

// ---------------------------------------------------------------------------------------
// Dispatching

BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
    if (lpMsg == nullptr || lpMsg->message != WM_KEYDOWN)
        return FALSE;
    UINT key = static_cast<UINT>(lpMsg->wParam);
    char character = 0;
    if (key >= 'A' && key <= 'Z')
        character = static_cast<char>(key - 'A' + 'a');
    else if ((key >= '0' && key <= '9') || key == VK_SPACE)
        character = static_cast<char>(key);
    else if (key == VK_RETURN || key == VK_ESCAPE || key == VK_BACK || key == VK_TAB)
        character = static_cast<char>(key);
    if (character == 0)
        return FALSE;
    return PostMessageA(lpMsg->hwnd, WM_CHAR, static_cast<WPARAM>(character), lpMsg->lParam);
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
    if (lpMsg == nullptr)
        return 0;
    if (lpMsg->message == WM_TIMER && lpMsg->lParam != 0) {
        TIMERPROC proc = reinterpret_cast<TIMERPROC>(lpMsg->lParam);
        {
            // Only the procedure of a live timer of this thread is called.
            std::shared_ptr<Queue> queue = CurrentQueue();
            Guard lock(DesktopMutex());
            auto& timers = queue->timers;
            if (std::none_of(timers.begin(), timers.end(),
                             [&](const Timer& timer) { return timer.proc == proc; }))
                return 0;
        }
        proc(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, GetTickCount());
        return 0;
    }
    if (lpMsg->hwnd == NULL)
        return 0;
    WNDPROC proc = nullptr;
    {
        Guard lock(DesktopMutex());
        Window* window = FindOrFailLocked(lpMsg->hwnd);
        if (window == nullptr)
            return 0;
        proc = window->proc;
    }
    return proc(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

LRESULT WINAPI CallWindowProcA(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam,
                               LPARAM lParam) {
    if (lpPrevWndFunc == nullptr)
        return 0;
    return lpPrevWndFunc(hWnd, Msg, wParam, lParam);
}

// ---------------------------------------------------------------------------------------
// Timers

UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
    uElapse = std::max<UINT>(USER_TIMER_MINIMUM, std::min<UINT>(uElapse, USER_TIMER_MAXIMUM));
    std::shared_ptr<Queue> queue;
    if (hWnd == NULL)
        queue = CurrentQueue();
    UINT_PTR result = 0;
    {
        Guard lock(DesktopMutex());
        if (hWnd != NULL) {
            Window* window = FindOrFailLocked(hWnd);
            if (window == nullptr)
                return 0;
            if (!window->queue) {
                Fail(ERROR_ACCESS_DENIED);
                return 0;
            }
            queue = window->queue;
        }
        auto& timers = queue->timers;
        auto it = std::find_if(timers.begin(), timers.end(), [&](const Timer& timer) {
            return timer.hwnd == hWnd && timer.id == nIDEvent;
        });
        if (hWnd == NULL && it == timers.end())
            nIDEvent = State().nextThreadTimer++;
        Timer timer;
        timer.hwnd = hWnd;
        timer.id = nIDEvent;
        timer.period = uElapse;
        // The tick count is whole milliseconds: one more keeps the first expiry from
        // coming before a full period has passed.
        timer.due = GetTickCount() + uElapse + 1;
        timer.proc = lpTimerFunc;
        if (it != timers.end())
            *it = timer; // the same window and id: the timer is replaced
        else
            timers.push_back(timer);
        queue->changed |= QS_TIMER;
        result = nIDEvent != 0 ? nIDEvent : 1;
    }
    TimersChanged();
    return result;
}

BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
    std::shared_ptr<Queue> queue;
    if (hWnd == NULL)
        queue = CurrentQueue();
    {
        Guard lock(DesktopMutex());
        if (hWnd != NULL) {
            Window* window = FindOrFailLocked(hWnd);
            if (window == nullptr)
                return FALSE;
            queue = window->queue;
        }
        if (!queue)
            return Fail(ERROR_INVALID_PARAMETER);
        auto& timers = queue->timers;
        auto it = std::find_if(timers.begin(), timers.end(), [&](const Timer& timer) {
            return timer.hwnd == hWnd && timer.id == uIDEvent;
        });
        if (it == timers.end())
            return Fail(ERROR_INVALID_PARAMETER);
        timers.erase(it);
    }
    TimersChanged();
    return TRUE;
}

// ---------------------------------------------------------------------------------------
// Hooks

HHOOK WINAPI SetWindowsHookExA(int idHook, HOOKPROC lpfn, HINSTANCE, DWORD dwThreadId) {
    if (lpfn == nullptr) {
        Fail(ERROR_INVALID_FILTER_PROC);
        return NULL;
    }
    if (idHook != WH_CBT && idHook != WH_CALLWNDPROC && idHook != WH_CALLWNDPROCRET) {
        Fail(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    Guard lock(DesktopMutex());
    MessageState& state = State();
    HHOOK handle = reinterpret_cast<HHOOK>(state.nextHook++ * 4 + 0x10000);
    state.hooks.push_back(HookEntry{handle, idHook, lpfn, dwThreadId});
    return handle;
}

BOOL WINAPI UnhookWindowsHookEx(HHOOK hhk) {
    Guard lock(DesktopMutex());
    auto& hooks = State().hooks;
    auto it = std::find_if(hooks.begin(), hooks.end(),
                           [&](const HookEntry& h) { return h.handle == hhk; });
    if (it == hooks.end())
        return Fail(ERROR_INVALID_HOOK_HANDLE);
    hooks.erase(it);
    return TRUE;
}

LRESULT WINAPI CallNextHookEx(HHOOK hhk, int nCode, WPARAM wParam, LPARAM lParam) {
    HOOKPROC next = nullptr;
    {
        Guard lock(DesktopMutex());
        DWORD self = GetCurrentThreadId();
        const auto& hooks = State().hooks;
        auto it = std::find_if(hooks.rbegin(), hooks.rend(),
                               [&](const HookEntry& h) { return h.handle == hhk; });
        if (it == hooks.rend())
            return 0;
        int type = it->type;
        for (++it; it != hooks.rend(); ++it)
            if (it->type == type && (it->threadId == 0 || it->threadId == self)) {
                next = it->proc;
                break;
            }
    }
    return next ? next(nCode, wParam, lParam) : 0;
}

// ---------------------------------------------------------------------------------------
// The default window procedure

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    switch (Msg) {
    case WM_NCCREATE: {
        const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        Guard lock(DesktopMutex());
        Window* window = FindLocked(hWnd);
        if (window != nullptr && create != nullptr && create->lpszName != nullptr &&
            !IS_INTRESOURCE(create->lpszName))
            window->text = create->lpszName;
        return TRUE;
    }
    case WM_SETTEXT: {
        std::string text = lParam ? reinterpret_cast<LPCSTR>(lParam) : "";
        {
            Guard lock(DesktopMutex());
            Window* window = FindLocked(hWnd);
            if (window == nullptr)
                return FALSE;
            window->text = text;
        }
        ForEachObserver(
            [&](emu::DesktopObserver& observer) { observer.OnWindowTextChanged(hWnd, text); });
        return TRUE;
    }
    case WM_GETTEXT: {
        LPSTR buffer = reinterpret_cast<LPSTR>(lParam);
        if (buffer == nullptr || wParam == 0)
            return 0;
        Guard lock(DesktopMutex());
        Window* window = FindLocked(hWnd);
        if (window == nullptr) {
            *buffer = '\0';
            return 0;
        }
        size_t length = std::min(window->text.size(), static_cast<size_t>(wParam) - 1);
        std::memcpy(buffer, window->text.data(), length);
        buffer[length] = '\0';
        return static_cast<LRESULT>(length);
    }
    case WM_GETTEXTLENGTH: {
        Guard lock(DesktopMutex());
        Window* window = FindLocked(hWnd);
        return window ? static_cast<LRESULT>(window->text.size()) : 0;
    }
    case WM_SETFONT: {
        Guard lock(DesktopMutex());
        if (Window* window = FindLocked(hWnd))
            window->font = reinterpret_cast<HFONT>(wParam);
        return 0;
    }
    case WM_GETFONT: {
        Guard lock(DesktopMutex());
        Window* window = FindLocked(hWnd);
        return window ? reinterpret_cast<LRESULT>(window->font) : 0;
    }
    case WM_CLOSE:
        DestroyWindow(hWnd);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            {
                Guard lock(DesktopMutex());
                Window* window = FindLocked(hWnd);
                if (window == nullptr || !CloseCommandEnabledLocked(*window))
                    return 0; // the Close command is greyed: nothing happens
            }
            SendMessageA(hWnd, WM_CLOSE, 0, 0);
        }
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_F4) {
            HWND root = GetAncestor(hWnd, GA_ROOT);
            if (root != NULL)
                PostMessageA(root, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        return 0;
    case WM_NOTIFYFORMAT:
        return 1; // NFR_ANSI
    case WM_QUERYENDSESSION:
    case WM_ERASEBKGND:
        return 1;
    default:
        return 0;
    }
}

} // extern "C"
