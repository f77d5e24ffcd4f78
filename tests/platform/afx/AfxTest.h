// Helpers shared by the framework's tests.
#pragma once

#include <afx.h>

namespace afxtest {

// Runs f and reports whether it threw a framework exception of class E (deleting it).
template <class E, class F> bool Throws(F f) {
    try {
        f();
    } catch (E* e) {
        e->Delete();
        return true;
    }
    return false;
}

// Runs f, which must throw a CFileException, and returns its cause (-1 when nothing was thrown).
template <class F> int FileExceptionCause(F f) {
    try {
        f();
    } catch (CFileException* e) {
        int cause = e->m_cause;
        e->Delete();
        return cause;
    }
    return -1;
}

} // namespace afxtest
