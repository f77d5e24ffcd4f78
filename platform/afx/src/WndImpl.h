// Shared internals of the framework's window classes (not part of its interface).
//
// Handle maps.
//
// Permanent objects: a CWnd attached to a window (Attach, SubclassWindow, the dialog being created)
// is found from any thread through one process-wide map, which also remembers the window's own
// procedure while the window is subclassed.
//
// Temporary wrappers: FromHandle of a handle without a permanent object gives an object owned by a
// per-thread map, deleted (after detaching its handle) when the thread ends.
#pragma once

#include <afxwin.h>

#include <memory>
#include <unordered_map>

namespace afx {

// The permanent object of a window, or NULL.
CWnd* LookupPermanent(HWND hWnd);
// Enters the permanent object of a window; FALSE when the window already has one.
BOOL InsertPermanent(HWND hWnd, CWnd* pWnd);
void RemovePermanent(HWND hWnd);
// The procedure a subclassed window had before; kept after the object is detached so that the
// window's messages still reach it.
void SetSuperProc(HWND hWnd, WNDPROC pfnSuper);
WNDPROC LookupSuperProc(HWND hWnd);

// Per-thread wrappers for handles that have no permanent object. A wrapper's handle member is
// cleared before the wrapper is deleted, so deleting one never touches the handle.
template <class THandle, class TObject> class TempMap {
public:
    explicit TempMap(THandle TObject::*member) : m_member(member) {}
    ~TempMap() {
        for (auto& entry : m_objects)
            entry.second.get()->*m_member = NULL;
    }
    TempMap(const TempMap&) = delete;
    TempMap& operator=(const TempMap&) = delete;

    // The calling thread's wrapper of the handle, made on first use.
    TObject* Get(THandle handle) {
        std::unique_ptr<TObject>& object = m_objects[handle];
        if (!object) {
            object.reset(new TObject);
            object.get()->*m_member = handle;
        }
        return object.get();
    }

private:
    THandle TObject::*m_member;
    std::unordered_map<THandle, std::unique_ptr<TObject>> m_objects;
};

// Attaches the window to the object given to AfxHookWindowCreate, if one is waiting (the creation
// hook does this; the dialog procedure too, should a dialog's first message come before the hook
// saw the window).
void AttachCreatingWindow(HWND hWnd);

// The message being processed by the calling thread (for CWnd::Default).
MSG& CurrentMessage();

// The calling thread's wait cursor: 1 shows it (counting), -1 ends one showing (the cursor from
// before the first comes back with the last), 0 shows it again if it is counted.
void DoWaitCursor(int nCode);

} // namespace afx
