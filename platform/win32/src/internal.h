// The emulation's internal object model, shared by every source of platform/win32 (kernel
// objects, files, devices and, later, the windowing layer). Not part of the Win32 surface:
// system code never sees it.
//
// 1. Kernel objects and the handle table
//    Every HANDLE that kernel32 hands out (events, mutexes, threads, files, find handles,
//    devices) refers to one entry of a process-wide table. An entry holds a
//    std::shared_ptr<KernelObject>; objects are polymorphic and reference counted, so one
//    object may sit behind several handles (DuplicateHandle, a second CreateMutexA of a
//    name), and an operation in progress keeps its object alive even when another thread
//    closes the handle meanwhile. Handle values are never reused: a closed (stale) handle
//    fails with ERROR_INVALID_HANDLE for as long as the process runs and never reaches an
//    object created later. The values are multiples of 4 and never NULL, -1
//    (INVALID_HANDLE_VALUE, also GetCurrentProcess()) or -2 (GetCurrentThread()).
//
// 2. The wait core
//    One mechanism serves WaitForSingleObject, WaitForMultipleObjects and any later wait
//    (MsgWaitForMultipleObjects): a wait is a set of Waitable objects, "any" or "all", and
//    a time-out of the emulated clock. The core keeps one lock (CoreMutex()). The state of
//    the in-process waitables (event signalled, mutex owner, thread ended) is guarded by it.
//    Blocked waits are queued in arrival order; whenever a state changes, the changer calls
//    SatisfyWaitersLocked() and the core tries, in that order, to complete each queued wait
//    on its waiter's behalf (an auto-reset event therefore wakes exactly one waiter, and
//    PulseEvent releases exactly the threads waiting at that moment). Objects whose state
//    lives outside the process (the cross-process named mutex) are "polled": they can be
//    acquired only on the waiting thread itself, which re-tries them every millisecond of
//    real time while it waits.
//
// Extension points for the other parts of the emulation:
//  - Devices: AddDeviceOpener() registers a function to which CreateFileA routes every path
//    beginning with "\\?\" or "\\.\". It returns a KernelObject (typically a subclass with
//    the I/O virtuals below overridden) that goes into the same handle table as files.
//    ReadFile, WriteFile, FlushFileBuffers, GetFileSize and CloseHandle dispatch on the
//    object's virtual methods; DeviceIoControl, GetOverlappedResult, CancelIo and CancelIoEx
//    (written by the device layer) dispatch on IoControl(), GetOverlappedResult(),
//    CancelIo() and CancelIoEx() the same way (LookupObject<KernelObject>(handle)).
//  - Overlapped completion from another thread: LookupObject<EventObject>(hEvent) gives the
//    event, whose Set()/Reset() change it and wake waiters; SetEventHandle() and
//    ResetEventHandle() do the same by handle without touching the caller's last error.
//  - Message-queue waits (user32): derive a Waitable whose TryAcquire() evaluates "the
//    queue has input of the wanted kinds" (it runs under CoreMutex(), possibly on another
//    thread than the waiter's: use WaitContext::threadId, not the calling thread), append it
//    to the waitables resolved from the handles with ResolveWaitables(), and call
//    WaitForObjects(). Whoever changes the queue calls NotifyWaiters() afterwards, holding
//    none of its own locks (the core takes CoreMutex() and then may call TryAcquire, which
//    may take the queue's own lock: the order is always core lock, then queue lock).
//  - Thread exit: AddThreadExitHook() runs a function on every thread that ends (created by
//    CreateThread or not, once it has used the emulation: any call that needs the thread's
//    id, such as GetCurrentThreadId or a wait) before its owned mutexes are abandoned and its
//    handle is signalled.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace emu {
namespace internal {

// ---------------------------------------------------------------------------------------
// Last error helpers

// Sets the calling thread's last error and returns FALSE (for BOOL functions).
BOOL Fail(DWORD error);

// The calling thread's id: the system-wide thread id (gettid), the value GetCurrentThreadId
// returns.
DWORD CurrentThreadId();

// ---------------------------------------------------------------------------------------
// Kernel objects

class KernelObject : public std::enable_shared_from_this<KernelObject> {
public:
    KernelObject() = default;
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;
    virtual ~KernelObject();

    // A short name of the kind ("event", "mutex", "thread", "file", "find", "device", ...)
    // for diagnostics.
    virtual const char* KindName() const = 0;

    // Called once, without any emulation lock held, when the last handle of the table that
    // refers to this object has been closed (the object itself may live on while an
    // operation holds a reference). Files release their sharing here; devices cancel their
    // pending I/O.
    virtual void OnLastHandleClosed() {}

    // File and device I/O. Each returns as the Win32 call does and sets the last error on
    // failure. The defaults fail with ERROR_INVALID_HANDLE (the handle is not of a kind that
    // supports the call), except where noted.
    virtual BOOL Read(LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped);
    virtual BOOL Write(LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED overlapped);
    virtual BOOL Flush();
    // Returns the low part, or INVALID_FILE_SIZE with the last error set on failure (the
    // caller clears the error first, as GetFileSize's contract requires).
    virtual DWORD GetSize(LPDWORD sizeHigh);
    virtual DWORD SetPointer(LONG distance, PLONG distanceHigh, DWORD method);
    virtual BOOL SetEnd();
    virtual BOOL IoControl(DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                           LPDWORD returned, LPOVERLAPPED overlapped);
    virtual BOOL GetOverlappedResult(LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait);
    // Cancels the I/O that `threadId` issued on this object (CancelIo's thread affinity).
    virtual BOOL CancelIo(DWORD threadId);
    // Cancels one operation (overlapped != NULL) or all of them.
    virtual BOOL CancelIoEx(LPOVERLAPPED overlapped);

private:
    friend class HandleTable;
    int m_handleCount = 0; // guarded by the handle table's lock
};

// ---------------------------------------------------------------------------------------
// The handle table

// Adds a handle for `object` and returns it (never NULL or INVALID_HANDLE_VALUE).
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);

// The object behind `handle`, or nullptr with ERROR_INVALID_HANDLE set when the handle is
// unknown, closed, or refers to an object of another type. GetCurrentThread()'s pseudo-handle
// gives the calling thread's object.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);

template <class T> std::shared_ptr<T> LookupObject(HANDLE handle) {
    std::shared_ptr<KernelObject> object = LookupHandle(handle);
    if (!object)
        return nullptr;
    std::shared_ptr<T> typed = std::dynamic_pointer_cast<T>(object);
    if (!typed)
        Fail(ERROR_INVALID_HANDLE);
    return typed;
}

// Removes `handle` from the table; calls OnLastHandleClosed() when it was the object's last.
// Returns false (ERROR_INVALID_HANDLE) for an unknown handle.
bool RemoveHandle(HANDLE handle);

// ---------------------------------------------------------------------------------------
// The wait core

// What a waitable learns about the wait it is asked to satisfy.
struct WaitContext {
    DWORD threadId;       // the waiting thread (the future owner of a mutex)
    bool onWaitingThread; // true when TryAcquire runs on that thread itself
};

enum class Acquire {
    NotReady,  // not signalled: the wait goes on
    Acquired,  // signalled and consumed (auto-reset event reset, mutex owned)
    Abandoned, // a mutex whose owner ended without releasing it; now owned by the waiter
};

class Waitable : public KernelObject {
public:
    // Called with CoreMutex() held. Tests the object for the waiter and, if it is
    // signalled, consumes the signal on the waiter's behalf.
    virtual Acquire TryAcquire(const WaitContext& context) = 0;
    // Called with CoreMutex() held to take back a successful TryAcquire when a wait for all
    // objects could not be completed (the state must become exactly what it was).
    virtual void Undo(const WaitContext& context, Acquire acquired) = 0;
    // True for objects whose state changes outside the process: the waiting thread re-tries
    // them every millisecond of real time while it waits.
    virtual bool NeedsPolling() const { return false; }
};

// The core's lock. The in-process waitables' state is read and changed only under it.
std::mutex& CoreMutex();

// After a state change made under CoreMutex(): completes the queued waits that can now be
// completed, in arrival order, and wakes their threads. The caller holds CoreMutex().
void SatisfyWaitersLocked();

// The same for state that lives outside the core (a message queue): takes CoreMutex()
// itself. The caller must not hold CoreMutex().
void NotifyWaiters();

// Waits for any (waitAll false) or all of `objects` for `milliseconds` of the emulated clock
// (INFINITE: no time-out). Returns WAIT_OBJECT_0 + i, WAIT_ABANDONED_0 + i, WAIT_TIMEOUT or
// WAIT_FAILED (with the last error set: more than MAXIMUM_WAIT_OBJECTS + 1 objects, none, or
// one object twice in a wait for all).
DWORD WaitForObjects(const std::vector<std::shared_ptr<Waitable>>& objects, bool waitAll,
                     DWORD milliseconds);

// Resolves `count` handles to waitables; on an invalid or non-waitable handle returns false
// with ERROR_INVALID_HANDLE set.
bool ResolveWaitables(DWORD count, const HANDLE* handles,
                      std::vector<std::shared_ptr<Waitable>>* objects);

// ---------------------------------------------------------------------------------------
// Events

class EventObject : public Waitable {
public:
    EventObject(bool manualReset, bool initialState);
    const char* KindName() const override { return "event"; }
    Acquire TryAcquire(const WaitContext& context) override;
    void Undo(const WaitContext& context, Acquire acquired) override;

    // Thread-safe; they wake the waiters that the change satisfies.
    void Set();
    void Reset();
    void Pulse();
    bool IsSet() const;
    bool IsManualReset() const { return m_manualReset; }

private:
    const bool m_manualReset;
    bool m_signalled; // guarded by CoreMutex()
};

// Set or reset the event behind `handle` (e.g. OVERLAPPED::hEvent when an I/O completes on
// another thread). Return false for a handle that is not an event; the last error is left
// alone.
bool SetEventHandle(HANDLE handle);
bool ResetEventHandle(HANDLE handle);

// ---------------------------------------------------------------------------------------
// Devices

// Opens a device path (the whole path as the caller gave it, starting with "\\?\" or "\\.\").
// Returns the object, or nullptr with *error set to a Win32 error. An opener that does not
// know the path returns nullptr with ERROR_FILE_NOT_FOUND, and the next opener is asked.
using DeviceOpener = std::function<std::shared_ptr<KernelObject>(
    const std::string& path, DWORD desiredAccess, DWORD shareMode, DWORD creationDisposition,
    DWORD flagsAndAttributes, DWORD* error)>;

// Registers an opener; returns an id for RemoveDeviceOpener. Openers are asked in the order
// of registration.
int AddDeviceOpener(DeviceOpener opener);
void RemoveDeviceOpener(int id);

// ---------------------------------------------------------------------------------------
// Threads

// Registers a function called on each ending thread with its id (see the header comment).
// Returns an id for RemoveThreadExitHook.
int AddThreadExitHook(std::function<void(DWORD threadId)> hook);
void RemoveThreadExitHook(int id);

} // namespace internal
} // namespace emu
