// The framework's synchronization classes over Win32 kernel objects: CSyncObject, CEvent,
// CMutex and CSingleLock.
#pragma once

#include "afx.h"

// A kernel object that can be waited for. The handle is closed with the object.
class CSyncObject : public CObject {
    DECLARE_DYNAMIC(CSyncObject)
public:
    explicit CSyncObject(LPCTSTR pstrName);
    ~CSyncObject() override;

    operator HANDLE() const { return m_hObject; }
    HANDLE m_hObject;

    // Waits for the object; TRUE when it was obtained (signalled, or a mutex abandoned by its
    // owner), FALSE on time-out or failure.
    virtual BOOL Lock(DWORD dwTimeout = INFINITE);
    virtual BOOL Unlock() = 0;
    virtual BOOL Unlock(LONG /*lCount*/, LPLONG /*lpPrevCount*/ = NULL) { return TRUE; }

    friend class CSingleLock;
};

// An event: automatic reset unless bManualReset; signalled at creation when bInitiallyOwn.
// Raises CResourceException when the event cannot be created.
class CEvent : public CSyncObject {
    DECLARE_DYNAMIC(CEvent)
public:
    explicit CEvent(BOOL bInitiallyOwn = FALSE, BOOL bManualReset = FALSE, LPCTSTR lpszName = NULL,
                    LPSECURITY_ATTRIBUTES lpsaAttribute = NULL);

    BOOL SetEvent();
    BOOL PulseEvent();
    BOOL ResetEvent();
    BOOL Unlock() override { return TRUE; }
    using CSyncObject::Unlock;
};

// A mutex, named (shared between processes) or not. Raises CResourceException when the mutex
// cannot be created or opened.
class CMutex : public CSyncObject {
    DECLARE_DYNAMIC(CMutex)
public:
    explicit CMutex(BOOL bInitiallyOwn = FALSE, LPCTSTR lpszName = NULL,
                    LPSECURITY_ATTRIBUTES lpsaAttribute = NULL);

    BOOL Unlock() override;
    using CSyncObject::Unlock;
};

// Takes a synchronization object for the lifetime of the lock object: the destructor unlocks
// what Lock obtained.
class CSingleLock {
public:
    explicit CSingleLock(CSyncObject* pObject, BOOL bInitialLock = FALSE);
    ~CSingleLock() { Unlock(); }
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;

    BOOL Lock(DWORD dwTimeOut = INFINITE);
    BOOL Unlock();
    BOOL Unlock(LONG lCount, LPLONG lPrevCount = NULL);
    BOOL IsLocked() { return m_bAcquired; }

protected:
    CSyncObject* m_pObject;
    HANDLE m_hObject;
    BOOL m_bAcquired;
};
