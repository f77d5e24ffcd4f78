#include "stdafx.h"

#include "dialogs/transfer/ReceiveDlg.h"

#include "frame/TransferMutex.h"
#include "usb/CommError.h"

namespace {

const char kTitle[] = "Receiving";
const char kTempName[] = "temp";

} // namespace

BEGIN_MESSAGE_MAP(CReceiveDlg, CWorkerDlg)
END_MESSAGE_MAP()

CReceiveDlg::CReceiveDlg(FILEINFO* pFileInfo, int nCount, WORD wMedium, LPCSTR pszFolder,
                         int* pReceived, CWnd* pParent)
    : CWorkerDlg(CReceiveDlg::IDD, pParent), m_wMedium(wMedium), m_pFileInfo(pFileInfo),
      m_nCount(nCount), m_pszFolder(pszFolder), m_nTimer(0), m_nTarget(0), m_hCancel(NULL),
      m_bCancelled(false), m_pReceived(pReceived) {}

CReceiveDlg::~CReceiveDlg() {}

void CReceiveDlg::DoDataExchange(CDataExchange* pDX) {
    CWorkerDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_RECEIVE_PROGRESS, m_progress);
}

BOOL CReceiveDlg::OnInitDialog() {
    CWorkerDlg::OnInitDialog();
    return StartWorker(kTitle, TRUE, m_nCount);
}

BOOL CReceiveDlg::GetProgress(PROGRESS* pProgress) {
    *pProgress = PROGRESS{&m_progress, &m_nTarget, &m_bCancelled, &m_nTimer};
    return TRUE;
}

int CReceiveDlg::RunJob() {
    return StartUpload();
}

int CReceiveDlg::StartUpload() {
    // Held until the job returns, on every path.
    CSingleLock lock(&g_transferMutex);
    if (!lock.Lock(USBCOMM_MUTEX_WAIT)) {
        ShowCommError(m_hWnd, USBCOMM_ERR_TIMEOUT, "Design List", 0);
        EnableClose(TRUE);
        PostMessage(WM_CLOSE, 0, 0);
        return USBCOMM_ERR_TIMEOUT;
    }
    // No cancel event for the transport: a reception in progress runs to its end.
    int nCode = OpenJobPort(kTitle, NULL);
    if (nCode != 0)
        return nCode;
    m_hCancel = m_pCancelEvent->m_hObject;
    int i = 0;
    while (i < m_nCount) {
        if (IsSignalled(m_hCancel))
            break;
        const LPCSTR pszName = RecordText(m_pFileInfo);
        if (pszName[0] == '\0')
            return USBCOMM_ERR_REJECTED; // the port is closed by the teardown
        CString strText;
        strText.Format("Now Receiving : %s", pszName);
        SetDlgItemText(IDC_RECEIVE_STATUS, strText);
        BeginItem();
        // The PC file: "temp" with the design's extension, in the folder.
        char szFileName[FILEINFO_SIZE];
        char szExt[FILEINFO_SIZE];
        _splitpath(pszName, NULL, NULL, szFileName, szExt);
        nCode = Attempt(kTitle, [&](int* pnDetail) {
            char szPath[MAX_PATH];
            if (!MakePath(szPath, Text(m_pszFolder), kTempName, szExt))
                return USBCOMM_ERR_FILE_OPEN;
            return m_usb.ReceiveDesignFile(m_wMedium, pszName, szPath, pnDetail);
        });
        if (nCode != 0) {
            m_usb.ClosePort();
            return nCode;
        }
        m_pFileInfo = NextRecord(m_pFileInfo);
        ++i;
        if (m_pReceived != NULL)
            *m_pReceived = i;
    }
    m_usb.ClosePort();
    if (!m_bCancelled)
        WaitForBar();
    m_bCancelled = false;
    if (m_pReceived != NULL)
        *m_pReceived = i;
    return 0;
}
