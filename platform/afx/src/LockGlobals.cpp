// The framework's global locks over Win32 critical sections.
#include <afx.h>

#include "afximpl.h"

namespace {

struct GlobalLocks {
    CRITICAL_SECTION sections[CRIT_MAX];
    GlobalLocks() {
        for (CRITICAL_SECTION& section : sections)
            ::InitializeCriticalSection(&section);
    }
};

CRITICAL_SECTION& GlobalSection(int nLockType) {
    static GlobalLocks locks; // no destructor: the sections live until the process ends
    ASSERT(nLockType >= 0 && nLockType < CRIT_MAX);
    return locks.sections[nLockType];
}

} // namespace

void AFXAPI AfxLockGlobals(int nLockType) {
    ::EnterCriticalSection(&GlobalSection(nLockType));
}

void AFXAPI AfxUnlockGlobals(int nLockType) {
    ::LeaveCriticalSection(&GlobalSection(nLockType));
}
