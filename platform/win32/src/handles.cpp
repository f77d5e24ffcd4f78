// The handle table, the kernel objects' default behaviour, the last error and the calls that
// act on any handle (CloseHandle, DuplicateHandle).
#include "kernel.h"

#include <unistd.h>

#include <unordered_map>

namespace emu {
namespace internal {

namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
const HANDLE kCurrentThread = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));

} // namespace

BOOL Fail(DWORD error) {
    t_lastError = error;
    return FALSE;
}

// Handle values count up from 0x400 in steps of 4 and are never given out twice.
class HandleTable {
public:
    static HandleTable& Instance() {
        static HandleTable* table = new HandleTable; // never destroyed: threads outlive exit
        return *table;
    }

    HANDLE Insert(std::shared_ptr<KernelObject> object) {
        std::lock_guard<std::mutex> lock(m_lock);
        uintptr_t value = m_next;
        m_next += 4;
        ++object->m_handleCount;
        m_entries.emplace(value, std::move(object));
        return reinterpret_cast<HANDLE>(value);
    }

    std::shared_ptr<KernelObject> Find(HANDLE handle) {
        std::lock_guard<std::mutex> lock(m_lock);
        auto found = m_entries.find(reinterpret_cast<uintptr_t>(handle));
        if (found == m_entries.end())
            return nullptr;
        return found->second;
    }

    bool Remove(HANDLE handle) {
        std::shared_ptr<KernelObject> object;
        bool last = false;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            auto found = m_entries.find(reinterpret_cast<uintptr_t>(handle));
            if (found == m_entries.end())
                return false;
            object = std::move(found->second);
            m_entries.erase(found);
            last = --object->m_handleCount == 0;
        }
        if (last)
            object->OnLastHandleClosed();
        return true; // `object` may be destroyed here, outside the lock
    }

private:
    std::mutex m_lock;
    uintptr_t m_next = 0x400;
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> m_entries;
};

KernelObject::~KernelObject() = default;

BOOL KernelObject::Read(LPVOID, DWORD, LPDWORD, LPOVERLAPPED) {
    return Fail(ERROR_INVALID_HANDLE);
}

BOOL KernelObject::Write(LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) {
    return Fail(ERROR_INVALID_HANDLE);
}

BOOL KernelObject::Flush() {
    return Fail(ERROR_INVALID_HANDLE);
}

DWORD KernelObject::GetSize(LPDWORD) {
    Fail(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
}

DWORD KernelObject::SetPointer(LONG, PLONG, DWORD) {
    Fail(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
}

BOOL KernelObject::SetEnd() {
    return Fail(ERROR_INVALID_HANDLE);
}

BOOL KernelObject::IoControl(DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) {
    return Fail(ERROR_INVALID_FUNCTION);
}

BOOL KernelObject::GetOverlappedResult(LPOVERLAPPED, LPDWORD, BOOL) {
    return Fail(ERROR_INVALID_HANDLE);
}

BOOL KernelObject::CancelIo(DWORD) {
    return Fail(ERROR_INVALID_HANDLE);
}

BOOL KernelObject::CancelIoEx(LPOVERLAPPED) {
    return Fail(ERROR_INVALID_HANDLE);
}

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
    return HandleTable::Instance().Insert(std::move(object));
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
    if (handle == kCurrentThread)
        return CurrentThreadObject();
    std::shared_ptr<KernelObject> object;
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
        object = HandleTable::Instance().Find(handle);
    if (!object)
        Fail(ERROR_INVALID_HANDLE);
    return object;
}

bool RemoveHandle(HANDLE handle) {
    if (HandleTable::Instance().Remove(handle))
        return true;
    Fail(ERROR_INVALID_HANDLE);
    return false;
}

} // namespace internal
} // namespace emu

using namespace emu::internal;

extern "C" {

DWORD WINAPI GetLastError(void) {
    return t_lastError;
}

void WINAPI SetLastError(DWORD dwErrCode) {
    t_lastError = dwErrCode;
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
    if (hObject == kCurrentThread || hObject == kCurrentProcess)
        return TRUE; // closing a pseudo-handle does nothing
    return RemoveHandle(hObject) ? TRUE : FALSE;
}

BOOL WINAPI DuplicateHandle(HANDLE hSourceProcessHandle, HANDLE hSourceHandle,
                            HANDLE hTargetProcessHandle, LPHANDLE lpTargetHandle, DWORD, BOOL,
                            DWORD dwOptions) {
    if (hSourceProcessHandle != kCurrentProcess || hTargetProcessHandle != kCurrentProcess)
        return Fail(ERROR_INVALID_HANDLE); // only this process's handles exist here
    if (lpTargetHandle == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    std::shared_ptr<KernelObject> object = LookupHandle(hSourceHandle);
    if (!object)
        return FALSE;
    *lpTargetHandle = InsertHandle(object);
    if ((dwOptions & DUPLICATE_CLOSE_SOURCE) != 0 && hSourceHandle != kCurrentThread)
        RemoveHandle(hSourceHandle);
    return TRUE;
}

HANDLE WINAPI GetCurrentProcess(void) {
    return kCurrentProcess;
}

DWORD WINAPI GetCurrentProcessId(void) {
    return static_cast<DWORD>(getpid());
}

} // extern "C"
