// Events and mutexes: CreateEventA, SetEvent, ResetEvent, PulseEvent, CreateMutexA,
// ReleaseMutex and their Open* forms, with the process's namespace of object names; critical
// sections. Named
// mutexes are shared by every process of the user (see sharedmutex.cpp); named events are
// known to this process only.
#include "kernel.h"

#include <map>
#include <mutex>
#include <unordered_map>

namespace emu {
namespace internal {

// ---------------------------------------------------------------------------------------
// Events

EventObject::EventObject(bool manualReset, bool initialState)
    : m_manualReset(manualReset), m_signalled(initialState) {}

Acquire EventObject::TryAcquire(const WaitContext&) {
    if (!m_signalled)
        return Acquire::NotReady;
    if (!m_manualReset)
        m_signalled = false;
    return Acquire::Acquired;
}

void EventObject::Undo(const WaitContext&, Acquire) {
    if (!m_manualReset)
        m_signalled = true;
}

void EventObject::Set() {
    std::lock_guard<std::mutex> lock(CoreMutex());
    m_signalled = true;
    SatisfyWaitersLocked();
}

void EventObject::Reset() {
    std::lock_guard<std::mutex> lock(CoreMutex());
    m_signalled = false;
}

void EventObject::Pulse() {
    std::lock_guard<std::mutex> lock(CoreMutex());
    m_signalled = true;
    SatisfyWaitersLocked(); // releases the threads waiting now (one, for auto-reset)
    m_signalled = false;
}

bool EventObject::IsSet() const {
    std::lock_guard<std::mutex> lock(CoreMutex());
    return m_signalled;
}

namespace {

// Applies `change` to the event behind `handle`; FALSE with ERROR_INVALID_HANDLE if there is
// none.
template <class Change> BOOL ChangeEvent(HANDLE handle, Change change) {
    std::shared_ptr<EventObject> event = LookupObject<EventObject>(handle);
    if (!event)
        return FALSE;
    change(*event);
    return TRUE;
}

// The same, leaving the caller's last error alone.
template <class Change> bool ChangeEventQuietly(HANDLE handle, Change change) {
    DWORD saved = GetLastError();
    BOOL changed = ChangeEvent(handle, change);
    SetLastError(saved);
    return changed != FALSE;
}

} // namespace

bool SetEventHandle(HANDLE handle) {
    return ChangeEventQuietly(handle, [](EventObject& event) { event.Set(); });
}

bool ResetEventHandle(HANDLE handle) {
    return ChangeEventQuietly(handle, [](EventObject& event) { event.Reset(); });
}

// ---------------------------------------------------------------------------------------
// Mutex ownership

namespace {

// The mutexes each thread owns; guarded by CoreMutex().
std::unordered_map<DWORD, std::vector<std::shared_ptr<MutexObject>>>& Owned() {
    static auto* owned = new std::unordered_map<DWORD, std::vector<std::shared_ptr<MutexObject>>>;
    return *owned;
}

} // namespace

void MutexObject::NoteOwnedLocked(DWORD threadId) {
    Owned()[threadId].push_back(std::static_pointer_cast<MutexObject>(shared_from_this()));
}

void MutexObject::NoteReleasedLocked(DWORD threadId) {
    auto found = Owned().find(threadId);
    if (found == Owned().end())
        return;
    std::vector<std::shared_ptr<MutexObject>>& list = found->second;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->get() == this) {
            list.erase(it); // the caller holds another reference: no destruction here
            break;
        }
    }
    if (list.empty())
        Owned().erase(found);
}

void AbandonOwnedMutexesLocked(DWORD threadId, std::vector<std::shared_ptr<MutexObject>>* keep) {
    auto found = Owned().find(threadId);
    if (found == Owned().end())
        return;
    *keep = std::move(found->second);
    Owned().erase(found);
    for (const std::shared_ptr<MutexObject>& mutex : *keep)
        mutex->AbandonLocked(threadId);
}

namespace {

// A mutex of this process only (unnamed).
class LocalMutex : public MutexObject {
public:
    Acquire TryAcquire(const WaitContext& context) override {
        if (m_recursion > 0 && m_owner != context.threadId)
            return Acquire::NotReady;
        if (m_recursion++ == 0) {
            m_owner = context.threadId;
            NoteOwnedLocked(m_owner);
        }
        if (!m_abandoned)
            return Acquire::Acquired;
        m_abandoned = false;
        return Acquire::Abandoned;
    }

    void Undo(const WaitContext&, Acquire acquired) override {
        if (--m_recursion == 0) {
            NoteReleasedLocked(m_owner);
            m_owner = 0;
        }
        if (acquired == Acquire::Abandoned)
            m_abandoned = true;
    }

    DWORD Release() override {
        std::lock_guard<std::mutex> lock(CoreMutex());
        if (m_recursion == 0 || m_owner != CurrentThreadId())
            return ERROR_NOT_OWNER;
        if (--m_recursion == 0) {
            NoteReleasedLocked(m_owner);
            m_owner = 0;
            SatisfyWaitersLocked();
        }
        return ERROR_SUCCESS;
    }

    void AbandonLocked(DWORD) override {
        m_owner = 0;
        m_recursion = 0;
        m_abandoned = true;
    }

private:
    DWORD m_owner = 0;
    unsigned m_recursion = 0;
    bool m_abandoned = false;
};

// ---------------------------------------------------------------------------------------
// The process's namespace of object names

// Windows' object names are case-sensitive; "Local\" names the session's namespace, which is
// the only one here.
std::string ObjectName(LPCSTR name) {
    std::string text(name);
    const std::string local = "Local\\";
    if (text.compare(0, local.size(), local) == 0)
        text.erase(0, local.size());
    return text;
}

class NameSpace {
public:
    static NameSpace& Instance() {
        static NameSpace* names = new NameSpace;
        return *names;
    }

    std::recursive_mutex& Lock() { return m_lock; }

    // Under Lock(): the live object of that name, or nullptr.
    std::shared_ptr<KernelObject> FindLocked(const std::string& name) {
        auto found = m_objects.find(name);
        if (found == m_objects.end())
            return nullptr;
        std::shared_ptr<KernelObject> object = found->second.lock();
        if (!object)
            m_objects.erase(found);
        return object;
    }

    void AddLocked(const std::string& name, const std::shared_ptr<KernelObject>& object) {
        m_objects[name] = object;
    }

private:
    std::recursive_mutex m_lock;
    std::map<std::string, std::weak_ptr<KernelObject>> m_objects;
};

// Opens or creates the object `name` of kind T. `make` creates it when this process has no
// object of that name (or returns nullptr with *error set). Sets the last error
// to ERROR_ALREADY_EXISTS or 0 on success, as CreateEventA and CreateMutexA do.
template <class T, class Make> HANDLE OpenOrCreateNamed(LPCSTR name, Make make) {
    std::string key = ObjectName(name);
    if (key.size() >= MAX_PATH) {
        Fail(ERROR_FILENAME_EXCED_RANGE);
        return nullptr;
    }
    std::shared_ptr<KernelObject> object;
    bool existed = true;
    {
        NameSpace& names = NameSpace::Instance();
        std::lock_guard<std::recursive_mutex> lock(names.Lock());
        object = names.FindLocked(key);
        if (object && !std::dynamic_pointer_cast<T>(object)) {
            Fail(ERROR_INVALID_HANDLE); // the name belongs to an object of another kind
            return nullptr;
        }
        if (!object) {
            DWORD error = ERROR_SUCCESS;
            object = make(key, &existed, &error);
            if (!object) {
                Fail(error);
                return nullptr;
            }
            names.AddLocked(key, object);
        }
    }
    HANDLE handle = InsertHandle(object);
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

} // namespace

} // namespace internal
} // namespace emu

using namespace emu::internal;

extern "C" {

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState,
                           LPCSTR lpName) {
    if (lpName == nullptr || *lpName == '\0') { // an empty name is no name
        HANDLE handle = InsertHandle(std::make_shared<EventObject>(bManualReset, bInitialState));
        SetLastError(ERROR_SUCCESS);
        return handle;
    }
    return OpenOrCreateNamed<EventObject>(
        lpName, [&](const std::string&, bool* existed, DWORD*) -> std::shared_ptr<KernelObject> {
            *existed = false;
            return std::make_shared<EventObject>(bManualReset, bInitialState);
        });
}

HANDLE WINAPI OpenEventA(DWORD, BOOL, LPCSTR lpName) {
    if (lpName == nullptr) {
        Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HANDLE handle = OpenOrCreateNamed<EventObject>(
        lpName, [](const std::string&, bool*, DWORD* error) -> std::shared_ptr<KernelObject> {
            *error = ERROR_FILE_NOT_FOUND;
            return nullptr;
        });
    if (handle != nullptr)
        SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL WINAPI SetEvent(HANDLE hEvent) {
    return ChangeEvent(hEvent, [](EventObject& event) { event.Set(); });
}

BOOL WINAPI ResetEvent(HANDLE hEvent) {
    return ChangeEvent(hEvent, [](EventObject& event) { event.Reset(); });
}

BOOL WINAPI PulseEvent(HANDLE hEvent) {
    return ChangeEvent(hEvent, [](EventObject& event) { event.Pulse(); });
}

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCSTR lpName) {
    if (lpName == nullptr || *lpName == '\0') {
        auto mutex = std::make_shared<LocalMutex>();
        if (bInitialOwner) {
            WatchCurrentThread();
            std::lock_guard<std::mutex> lock(CoreMutex());
            mutex->TryAcquire(WaitContext{CurrentThreadId(), true});
        }
        HANDLE handle = InsertHandle(mutex);
        SetLastError(ERROR_SUCCESS);
        return handle;
    }
    if (bInitialOwner)
        WatchCurrentThread();
    return OpenOrCreateNamed<MutexObject>(
        lpName,
        [&](const std::string& name, bool* existed, DWORD* error) -> std::shared_ptr<KernelObject> {
            return OpenSharedMutex(name, true, bInitialOwner != FALSE, existed, error);
        });
}

HANDLE WINAPI OpenMutexA(DWORD, BOOL, LPCSTR lpName) {
    if (lpName == nullptr) {
        Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HANDLE handle = OpenOrCreateNamed<MutexObject>(
        lpName,
        [](const std::string& name, bool* existed, DWORD* error) -> std::shared_ptr<KernelObject> {
            return OpenSharedMutex(name, false, false, existed, error);
        });
    if (handle != nullptr)
        SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
    std::shared_ptr<MutexObject> mutex = LookupObject<MutexObject>(hMutex);
    if (!mutex)
        return FALSE;
    DWORD error = mutex->Release();
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

// A critical section keeps its lock behind DebugInfo, from initialisation to deletion.
static std::recursive_mutex& SectionLock(LPCRITICAL_SECTION lpCriticalSection) {
    return *static_cast<std::recursive_mutex*>(lpCriticalSection->DebugInfo);
}

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    *lpCriticalSection = CRITICAL_SECTION{};
    lpCriticalSection->DebugInfo = new std::recursive_mutex;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    SectionLock(lpCriticalSection).lock();
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    SectionLock(lpCriticalSection).unlock();
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    delete &SectionLock(lpCriticalSection);
    lpCriticalSection->DebugInfo = nullptr;
}

} // extern "C"
