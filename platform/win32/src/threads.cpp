// Threads: CreateThread (suspended or not), ResumeThread, exit codes, ExitThread, thread
// ids, and what a thread's end does (exit hooks, abandoned mutexes, signalled handle).
//
// Every thread runs detached; its kernel object outlives it for as long as a handle or a
// wait refers to it, so threads that nobody waits for leave nothing behind.
#include "kernel.h"

#include <limits.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <condition_variable>

namespace emu {
namespace internal {

namespace {

class ThreadObject : public Waitable {
public:
    ThreadObject(DWORD threadId, DWORD suspendCount)
        : m_threadId(threadId), m_suspendCount(suspendCount) {}

    const char* KindName() const override { return "thread"; }
    Acquire TryAcquire(const WaitContext&) override {
        return m_ended ? Acquire::Acquired : Acquire::NotReady;
    }
    void Undo(const WaitContext&, Acquire) override {}

    // All members below are guarded by CoreMutex().
    DWORD m_threadId;
    DWORD m_suspendCount;
    DWORD m_exitCode = STILL_ACTIVE;
    bool m_ended = false;
    std::condition_variable m_changed; // thread id known, suspend count dropped to 0
};

CallbackList<std::function<void(DWORD)>>& Hooks() {
    static auto* hooks = new CallbackList<std::function<void(DWORD)>>;
    return *hooks;
}

struct ThreadState;
void EndThread(ThreadState& state, DWORD exitCode);

// The calling thread's record, made when the thread first uses the emulation; its destructor
// notices the end of threads that CreateThread did not start.
struct ThreadState {
    DWORD threadId = static_cast<DWORD>(syscall(SYS_gettid));
    std::shared_ptr<ThreadObject> object; // made by the first wait, or by CreateThread
    bool ended = false;

    ~ThreadState() {
        if (!ended)
            EndThread(*this, 0);
    }
};

ThreadState& State() {
    thread_local ThreadState state;
    return state;
}

// Runs the exit hooks, abandons the mutexes the thread still owns and signals its object.
void EndThread(ThreadState& state, DWORD exitCode) {
    if (state.ended)
        return;
    state.ended = true;
    for (const auto& hook : Hooks().Snapshot())
        hook(state.threadId);
    std::vector<std::shared_ptr<MutexObject>> abandoned;
    {
        std::lock_guard<std::mutex> lock(CoreMutex());
        AbandonOwnedMutexesLocked(state.threadId, &abandoned);
        if (state.object) {
            state.object->m_exitCode = exitCode;
            state.object->m_ended = true;
        }
        SatisfyWaitersLocked();
    }
}

struct StartBlock {
    std::shared_ptr<ThreadObject> object;
    LPTHREAD_START_ROUTINE routine;
    LPVOID parameter;
};

void* ThreadMain(void* argument) {
    std::unique_ptr<StartBlock> start(static_cast<StartBlock*>(argument));
    ThreadState& state = State();
    state.object = start->object;
    ThreadObject& self = *state.object;
    {
        std::unique_lock<std::mutex> lock(CoreMutex());
        self.m_threadId = state.threadId;
        self.m_changed.notify_all();
        self.m_changed.wait(lock, [&] { return self.m_suspendCount == 0; });
    }
    LPTHREAD_START_ROUTINE routine = start->routine;
    LPVOID parameter = start->parameter;
    start.reset();
    EndThread(state, routine(parameter));
    return nullptr;
}

} // namespace

DWORD CurrentThreadId() {
    return State().threadId;
}

std::shared_ptr<KernelObject> CurrentThreadObject() {
    WatchCurrentThread();
    return State().object;
}

void WatchCurrentThread() {
    ThreadState& state = State();
    if (!state.object)
        state.object = std::make_shared<ThreadObject>(state.threadId, 0);
}

int AddThreadExitHook(std::function<void(DWORD threadId)> hook) {
    return Hooks().Add(std::move(hook));
}

void RemoveThreadExitHook(int id) {
    Hooks().Remove(id);
}

} // namespace internal
} // namespace emu

using namespace emu::internal;

extern "C" {

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T dwStackSize,
                           LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                           DWORD dwCreationFlags, LPDWORD lpThreadId) {
    if (lpStartAddress == nullptr) {
        Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto object =
        std::make_shared<ThreadObject>(0, (dwCreationFlags & CREATE_SUSPENDED) != 0 ? 1 : 0);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (dwStackSize != 0) {
        size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        size_t minimum = static_cast<size_t>(PTHREAD_STACK_MIN);
        size_t size = dwStackSize < minimum ? minimum : dwStackSize;
        pthread_attr_setstacksize(&attributes, (size + page - 1) / page * page);
    }
    auto* start = new StartBlock{object, lpStartAddress, lpParameter};
    pthread_t thread;
    int status = pthread_create(&thread, &attributes, ThreadMain, start);
    pthread_attr_destroy(&attributes);
    if (status != 0) {
        delete start;
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    DWORD threadId;
    {
        std::unique_lock<std::mutex> lock(CoreMutex());
        object->m_changed.wait(lock, [&] { return object->m_threadId != 0; });
        threadId = object->m_threadId;
    }
    if (lpThreadId != nullptr)
        *lpThreadId = threadId;
    return InsertHandle(object);
}

DWORD WINAPI ResumeThread(HANDLE hThread) {
    std::shared_ptr<ThreadObject> thread = LookupObject<ThreadObject>(hThread);
    if (!thread)
        return static_cast<DWORD>(-1);
    std::lock_guard<std::mutex> lock(CoreMutex());
    DWORD previous = thread->m_suspendCount;
    if (previous > 0 && --thread->m_suspendCount == 0)
        thread->m_changed.notify_all();
    return previous;
}

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    std::shared_ptr<ThreadObject> thread = LookupObject<ThreadObject>(hThread);
    if (!thread)
        return FALSE;
    if (lpExitCode == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard<std::mutex> lock(CoreMutex());
    *lpExitCode = thread->m_ended ? thread->m_exitCode : STILL_ACTIVE;
    return TRUE;
}

void WINAPI ExitThread(DWORD dwExitCode) {
    WatchCurrentThread();
    EndThread(State(), dwExitCode);
    pthread_exit(nullptr);
}

DWORD WINAPI GetCurrentThreadId(void) {
    return CurrentThreadId();
}

HANDLE WINAPI GetCurrentThread(void) {
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));
}

DWORD WINAPI GetThreadId(HANDLE Thread) {
    std::shared_ptr<ThreadObject> thread = LookupObject<ThreadObject>(Thread);
    if (!thread)
        return 0;
    std::lock_guard<std::mutex> lock(CoreMutex());
    return thread->m_threadId;
}

BOOL WINAPI SetThreadPriority(HANDLE hThread, int) {
    return LookupObject<ThreadObject>(hThread) ? TRUE : FALSE;
}

} // extern "C"
