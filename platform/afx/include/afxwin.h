// The framework's application side: the window classes (afxwnd.h) and threads.
#pragma once

#include "afx.h"
#include "afxcoll.h"
#include "afxwnd.h"

// ---------------------------------------------------------------------------------------------
// Threads

typedef UINT(AFX_CDECL* AFX_THREADPROC)(LPVOID);

// A thread of the framework. A worker thread runs its AFX_THREADPROC; the procedure's result
// is the thread's exit code. When m_bAutoDelete is TRUE (the default) the object deletes itself
// when the thread ends, closing m_hThread; clear it (before the thread can end, for instance
// on a thread started suspended) to keep the object and its handle, and delete it yourself.
class CWinThread : public CCmdTarget {
    DECLARE_DYNAMIC(CWinThread)
public:
    CWinThread();
    CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam);
    ~CWinThread() override;

    // Starts the thread (suspended when dwCreateFlags holds CREATE_SUSPENDED); FALSE when the
    // object has no procedure, already has a thread, or no thread can be created.
    BOOL CreateThread(DWORD dwCreateFlags = 0, UINT nStackSize = 0,
                      LPSECURITY_ATTRIBUTES lpSecurityAttrs = NULL);

    CWnd* m_pMainWnd;
    BOOL m_bAutoDelete;
    HANDLE m_hThread;
    operator HANDLE() const { return m_hThread; }
    DWORD m_nThreadID;

    BOOL SetThreadPriority(int nPriority);
    // Decrements the suspend count; the thread runs when it reaches 0. Returns the previous
    // count, (DWORD)-1 on failure.
    DWORD ResumeThread();

    // Deletes the object when m_bAutoDelete is set.
    virtual void Delete();

    LPVOID m_pThreadParams;
    AFX_THREADPROC m_pfnThreadProc;

protected:
    void CommonConstruct();
};

// Starts a worker thread running pfnThreadProc(pParam). Returns NULL when no thread can be
// created. Without CREATE_SUSPENDED the thread may have ended, and with m_bAutoDelete deleted
// its object, by the time this returns.
CWinThread* AFXAPI AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam,
                                  int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
                                  DWORD dwCreateFlags = 0,
                                  LPSECURITY_ATTRIBUTES lpSecurityAttrs = NULL);

// Ends the calling thread with nExitCode; when it is a framework thread, its object is deleted
// first if bDelete is TRUE and the object deletes itself.
void AFXAPI AfxEndThread(UINT nExitCode, BOOL bDelete = TRUE);

// The framework thread object of the calling thread, NULL for threads the framework did not
// start.
CWinThread* AFXAPI AfxGetThread();

// The application object
#include "afxwinapp.h"
