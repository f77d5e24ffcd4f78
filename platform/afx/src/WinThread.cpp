// CWinThread and AfxBeginThread over CreateThread. The thread object is created suspended so
// that its handle and identifier are stored before the procedure can run.
#include <afxwin.h>

IMPLEMENT_DYNAMIC(CWinThread, CCmdTarget)

namespace {

thread_local CWinThread* t_pCurrentThread = NULL;

DWORD WINAPI AfxThreadEntry(LPVOID pParam) {
    CWinThread* pThread = static_cast<CWinThread*>(pParam);
    t_pCurrentThread = pThread;
    UINT nResult = pThread->m_pfnThreadProc(pThread->m_pThreadParams);
    t_pCurrentThread = NULL;
    pThread->Delete();
    return nResult;
}

} // namespace

void CWinThread::CommonConstruct() {
    m_pMainWnd = NULL;
    m_bAutoDelete = TRUE;
    m_hThread = NULL;
    m_nThreadID = 0;
}

CWinThread::CWinThread() : m_pThreadParams(NULL), m_pfnThreadProc(NULL) {
    CommonConstruct();
}

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam)
    : m_pThreadParams(pParam), m_pfnThreadProc(pfnThreadProc) {
    CommonConstruct();
}

CWinThread::~CWinThread() {
    if (m_hThread != NULL)
        ::CloseHandle(m_hThread);
    if (t_pCurrentThread == this)
        t_pCurrentThread = NULL;
}

BOOL CWinThread::CreateThread(DWORD dwCreateFlags, UINT nStackSize,
                              LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
    if (m_pfnThreadProc == NULL || m_hThread != NULL) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD nThreadID = 0;
    HANDLE hThread = ::CreateThread(lpSecurityAttrs, nStackSize, &AfxThreadEntry, this,
                                    dwCreateFlags | CREATE_SUSPENDED, &nThreadID);
    if (hThread == NULL)
        return FALSE;
    m_hThread = hThread;
    m_nThreadID = nThreadID;
    // Once running, the thread may end and delete this object: nothing may touch it after.
    if ((dwCreateFlags & CREATE_SUSPENDED) == 0)
        ::ResumeThread(hThread);
    return TRUE;
}

BOOL CWinThread::SetThreadPriority(int nPriority) {
    return ::SetThreadPriority(m_hThread, nPriority);
}

DWORD CWinThread::ResumeThread() {
    return ::ResumeThread(m_hThread);
}

void CWinThread::Delete() {
    if (m_bAutoDelete)
        delete this;
}

CWinThread* AFXAPI AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority,
                                  UINT nStackSize, DWORD dwCreateFlags,
                                  LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
    CWinThread* pThread = new CWinThread(pfnThreadProc, pParam);
    if (!pThread->CreateThread(dwCreateFlags | CREATE_SUSPENDED, nStackSize, lpSecurityAttrs)) {
        pThread->Delete();
        return NULL;
    }
    VERIFY(pThread->SetThreadPriority(nPriority));
    if ((dwCreateFlags & CREATE_SUSPENDED) == 0)
        VERIFY(pThread->ResumeThread() != static_cast<DWORD>(-1));
    return pThread;
}

void AFXAPI AfxEndThread(UINT nExitCode, BOOL bDelete) {
    CWinThread* pThread = t_pCurrentThread;
    if (pThread != NULL) {
        t_pCurrentThread = NULL;
        if (bDelete)
            pThread->Delete();
    }
    ::ExitThread(nExitCode);
}

CWinThread* AFXAPI AfxGetThread() {
    return t_pCurrentThread;
}
