#include "stdafx.h"

#include "dialogs/transfer/WorkerDlg.h"

#include "frame/MessageWait.h"
#include "frame/TransferMutex.h"
#include "usb/CommError.h"

#include <new>
#include <optional>

namespace {

const UINT kProgressTimer = 1;
const UINT kProgressTick = 50;        // ms between two steps of the bar
const DWORD kCancelEnableDelay = 500; // ms before the worker lets the user cancel

// The cancel event: automatic reset, not signalled, unnamed, default security. NULL when it
// cannot be had.
CEvent* NewCancelEvent() {
    CEvent* pEvent = NULL;
    TRY {
        pEvent = new (std::nothrow) CEvent(FALSE, FALSE, NULL, NULL);
    }
    CATCH(CResourceException, e) {
        e->Delete();
        pEvent = NULL;
    }
    END_CATCH
    return pEvent;
}

} // namespace

BEGIN_MESSAGE_MAP(CWorkerDlg, CDialog)
ON_WM_TIMER()
END_MESSAGE_MAP()

CWorkerDlg::CWorkerDlg(UINT nIDTemplate, CWnd* pParent)
    : CDialog(nIDTemplate, pParent), m_pThread(NULL), m_pCancelEvent(NULL) {}

CWorkerDlg::~CWorkerDlg() {
    // The teardown has normally run; a dialog that never ran has nothing here.
    delete m_pThread;
    delete m_pCancelEvent;
}

void CWorkerDlg::ThreadStop() {
    if (m_pThread != NULL && m_pCancelEvent != NULL)
        m_pCancelEvent->SetEvent();
}

BOOL CWorkerDlg::GetProgress(PROGRESS* /*pProgress*/) {
    return FALSE;
}

BOOL CWorkerDlg::StartWorker(LPCSTR lpszTitle, BOOL bTakeMutex, int nItems) {
    EnableClose(FALSE);

    CSingleLock lock(&g_transferMutex);
    if (bTakeMutex && !lock.Lock(USBCOMM_MUTEX_WAIT)) {
        ShowCommError(m_hWnd, USBCOMM_ERR_TIMEOUT, "Design List", 0);
        return FailStart();
    }
    // The probe: the port stays open, the worker opens it anew.
    const int nCode = m_usb.OpenPort(m_hWnd, NULL);
    if (nCode != 0) {
        ShowCommError(m_hWnd, nCode, lpszTitle, 0);
        return FailStart();
    }
    PROGRESS progress;
    const BOOL bBar = GetProgress(&progress);
    if (bBar) {
        SetProgressRange(nItems);
        *progress.pnTarget = 0;
    }
    m_pCancelEvent = NewCancelEvent();
    if (m_pCancelEvent == NULL) {
        MessageBox("Failed to create event object.", lpszTitle, MB_ICONHAND);
        return FailStart();
    }
    m_pCancelEvent->ResetEvent();
    m_pThread = AfxBeginThread(&CWorkerDlg::WorkerProc, this, THREAD_PRIORITY_NORMAL, 0,
                               CREATE_SUSPENDED, NULL);
    if (m_pThread == NULL)
        return FailStart(); // no worker: the dialog must still close
    m_pThread->m_bAutoDelete = FALSE;
    m_pThread->ResumeThread();
    if (bBar)
        *progress.pnTimer = static_cast<UINT>(SetTimer(kProgressTimer, kProgressTick, NULL));
    return TRUE;
}

BOOL CWorkerDlg::FailStart() {
    // Cancel first: the dialog manager turns WM_CLOSE into Cancel only while it is enabled.
    EnableClose(TRUE);
    PostMessage(WM_CLOSE, 0, 0);
    return FALSE;
}

UINT AFX_CDECL CWorkerDlg::WorkerProc(LPVOID pParam) {
    CWorkerDlg* pDlg = static_cast<CWorkerDlg*>(pParam);
    ::Sleep(kCancelEnableDelay);
    pDlg->EnableClose(TRUE);
    const int nResult = pDlg->RunJob();
    // The last touch of the dialog: the teardown may delete it once this thread has ended.
    if (nResult == 0)
        ::PostMessageA(pDlg->m_hWnd, WM_COMMAND, IDOK, 0);
    else
        ::PostMessageA(pDlg->m_hWnd, WM_CLOSE, 0, 0);
    return static_cast<UINT>(nResult);
}

void CWorkerDlg::OnTimer(UINT nIDEvent) {
    PROGRESS progress;
    if (GetProgress(&progress) && progress.pBar->GetPos() < *progress.pnTarget)
        progress.pBar->StepIt();
    CDialog::OnTimer(nIDEvent);
}

void CWorkerDlg::OnCancel() {
    ThreadStop();
    PROGRESS progress;
    if (GetProgress(&progress))
        *progress.pbCancelled = true;
    CDialog::OnCancel();
}

BOOL CWorkerDlg::DestroyWindow() {
    PROGRESS progress;
    const BOOL bBar = GetProgress(&progress);
    if (bBar)
        KillTimer(*progress.pnTimer);
    if (m_pThread != NULL) {
        DWORD dwExitCode = 0;
        if (::GetExitCodeThread(m_pThread->m_hThread, &dwExitCode) && dwExitCode == STILL_ACTIVE) {
            std::optional<CWaitCursor> wait;
            if (bBar)
                wait.emplace();
            m_pCancelEvent->SetEvent();
            WaitServingMessages(m_pThread->m_hThread);
        }
        delete m_pThread;
        m_pThread = NULL;
    }
    delete m_pCancelEvent;
    m_pCancelEvent = NULL;
    m_usb.ClosePort();
    return CDialog::DestroyWindow();
}

int CWorkerDlg::OpenJobPort(LPCSTR lpszTitle, CEvent* pCancel) {
    const int nCode =
        Attempt(lpszTitle, [&](int* /*pnDetail*/) { return m_usb.OpenPort(m_hWnd, pCancel); });
    if (nCode != 0)
        m_usb.ClosePort();
    return nCode;
}

BOOL CWorkerDlg::AskRetry(int nCode, LPCSTR lpszTitle, int nDetail) {
    if (ShowCommError(m_hWnd, nCode, lpszTitle, nDetail) != IDRETRY)
        return FALSE;
    if (m_pCancelEvent != NULL)
        m_pCancelEvent->ResetEvent();
    return TRUE;
}

BOOL CWorkerDlg::IsSignalled(HANDLE hEvent) {
    return hEvent != NULL && ::WaitForSingleObject(hEvent, 0) == WAIT_OBJECT_0;
}

void CWorkerDlg::SetProgressRange(int nItems) {
    PROGRESS progress;
    if (!GetProgress(&progress))
        return;
    const WORD wUpper = static_cast<WORD>(static_cast<UINT>(nItems) * STEPS_PER_ITEM);
    progress.pBar->SetRange(0, static_cast<short>(wUpper));
    progress.pBar->SetStep(1);
    progress.pBar->SetPos(0);
}

void CWorkerDlg::BeginItem() {
    PROGRESS progress;
    if (GetProgress(&progress))
        *progress.pnTarget += STEPS_PER_ITEM;
}

void CWorkerDlg::WaitForBar() {
    PROGRESS progress;
    if (!GetProgress(&progress))
        return;
    // The teardown stops the timer and sets the cancel event before it waits for this thread,
    // so a cancel must end this wait: the bar would never move again.
    const HANDLE hCancel = m_pCancelEvent != NULL ? m_pCancelEvent->m_hObject : NULL;
    while (!*progress.pbCancelled && progress.pBar->GetPos() < *progress.pnTarget) {
        if (hCancel == NULL)
            ::Sleep(kProgressTick);
        else if (::WaitForSingleObject(hCancel, kProgressTick) == WAIT_OBJECT_0)
            return;
    }
}

BOOL CWorkerDlg::MakePath(char* pszPath, LPCSTR lpszFolder, LPCSTR lpszName, LPCSTR lpszExt) {
    const size_t nFolder = strlen(lpszFolder);
    const bool bSeparator =
        nFolder > 0 && lpszFolder[nFolder - 1] != '\\' && lpszFolder[nFolder - 1] != '/';
    const size_t nExt = strlen(lpszExt);
    const bool bDot = nExt > 0 && lpszExt[0] != '.';
    if (nFolder + bSeparator + strlen(lpszName) + bDot + nExt >= MAX_PATH)
        return FALSE;
    _makepath(pszPath, NULL, lpszFolder, lpszName, lpszExt);
    return TRUE;
}

LPCSTR CWorkerDlg::RecordText(const FILEINFO* pRecord) {
    if (pRecord == NULL || memchr(pRecord->szPath, '\0', sizeof pRecord->szPath) == NULL)
        return "";
    return pRecord->szPath;
}

void CWorkerDlg::EnableClose(BOOL bEnable) {
    ::EnableMenuItem(::GetSystemMenu(m_hWnd, FALSE), SC_CLOSE,
                     MF_BYCOMMAND | (bEnable ? MF_ENABLED : MF_GRAYED));
    ::EnableWindow(::GetDlgItem(m_hWnd, IDCANCEL), bEnable);
}
