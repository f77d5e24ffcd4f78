// Helpers shared by the framework's own sources (not part of its interface).
#pragma once

#include <afx.h>

// Copies text into a caller's buffer of nMaxError characters, truncated and always terminated;
// FALSE when there is no buffer.
BOOL AfxCopyMessage(LPCTSTR text, LPTSTR lpszError, UINT nMaxError);

// The last component of a path: what follows the last '\', '/' or ':'.
CString AfxFileNameOfPath(LPCTSTR lpszPath);

// A file name without its extension (the text from its last '.').
CString AfxTitleOfFileName(const CString& strName);

// The framework's own tables, each guarded by a Win32 critical section of its own, as MFC's
// global locks are. The sections are never deleted, so that static objects being destroyed at
// the end of the process can still take them.
enum {
    CRIT_DYNLINKLIST, // the chain of extension libraries and the resource handle
    CRIT_HANDLEMAP,   // the permanent window map
    CRIT_MAX
};
void AFXAPI AfxLockGlobals(int nLockType);
void AFXAPI AfxUnlockGlobals(int nLockType);

// Holds one of the global locks for its own lifetime.
class CAfxGlobalsLock {
public:
    explicit CAfxGlobalsLock(int nLockType) : m_nLockType(nLockType) { AfxLockGlobals(nLockType); }
    ~CAfxGlobalsLock() { AfxUnlockGlobals(m_nLockType); }
    CAfxGlobalsLock(const CAfxGlobalsLock&) = delete;
    CAfxGlobalsLock& operator=(const CAfxGlobalsLock&) = delete;

private:
    int m_nLockType;
};
