#include "stdafx.h"

#include "dialogs/browser/IntormationDlg.h"

#include "command/FolderInfo.h"
#include "frame/TransferMutex.h"
#include "usb/CommError.h"

namespace {

const char kTitle[] = "Design List";
const DWORD kChangeFolderPause = 700; // ms the machine is given after a change of folder

} // namespace

IMPLEMENT_DYNAMIC(CIntormationDlg, CWorkerDlg)

BEGIN_MESSAGE_MAP(CIntormationDlg, CWorkerDlg)
END_MESSAGE_MAP()

CIntormationDlg::CIntormationDlg(WORD wMedium, CWnd* pParent)
    : CWorkerDlg(CIntormationDlg::IDD, pParent), m_bChangeFolder(0), m_wMedium(wMedium),
      m_pszPath(NULL), m_pBuffer(NULL), m_pFolderInfo(NULL), m_nFileCount(0) {}

CIntormationDlg::CIntormationDlg(WORD wMedium, LPCSTR lpszPath, CWnd* pParent)
    : CWorkerDlg(CIntormationDlg::IDD, pParent), m_bChangeFolder(1), m_wMedium(wMedium),
      m_pszPath(lpszPath), m_pBuffer(NULL), m_pFolderInfo(NULL), m_nFileCount(0) {}

CIntormationDlg::~CIntormationDlg() {
    free(m_pBuffer);
}

void CIntormationDlg::DoDataExchange(CDataExchange* /*pDX*/) {}

BOOL CIntormationDlg::OnInitDialog() {
    CWorkerDlg::OnInitDialog();
    return StartWorker(kTitle, TRUE, 0);
}

int CIntormationDlg::RunJob() {
    return m_bChangeFolder ? DirectoryChange() : DirectoryUpload();
}

int CIntormationDlg::DirectoryUpload() {
    const int nCode = OpenJobPort(kTitle, m_pCancelEvent);
    return nCode != 0 ? nCode : ReadFolder(0);
}

int CIntormationDlg::DirectoryChange() {
    // Held to the end of the job, on every way out, after the port has been closed.
    CSingleLock lock(&g_transferMutex);
    if (!lock.Lock(USBCOMM_MUTEX_WAIT)) {
        ShowCommError(m_hWnd, USBCOMM_ERR_TIMEOUT, kTitle, 0);
        EnableClose(TRUE);
        PostMessage(WM_CLOSE, 0, 0);
        return USBCOMM_ERR_TIMEOUT;
    }
    int nCode = OpenJobPort(kTitle, m_pCancelEvent);
    if (nCode != 0)
        return nCode;
    int nChangeDetail = 0;
    nCode = Attempt(kTitle, [&](int* pnDetail) {
        const int nChanged = m_usb.ChangeDirectory(m_wMedium, Text(m_pszPath), pnDetail);
        nChangeDetail = *pnDetail;
        return nChanged;
    });
    if (nCode != 0) {
        m_usb.ClosePort();
        return nCode;
    }
    ::Sleep(kChangeFolderPause);
    return ReadFolder(nChangeDetail);
}

int CIntormationDlg::ReadFolder(int nDetail) {
    const int nCode = Attempt(kTitle, [&](int* pnDetail) {
        *pnDetail = nDetail;
        return m_usb.ReadDirectory(m_wMedium);
    });
    if (nCode != 0) {
        m_usb.ClosePort();
        return nCode;
    }
    DWORD dwLength = 0;
    BYTE* pBlock = m_usb.DetachReceived(&dwLength);
    m_usb.ClosePort();
    if (pBlock == NULL)
        return USBCOMM_ERR_FILE_READ; // no message for a missing block
    if (dwLength < FOLDERINFO_COUNT_SIZE) {
        free(pBlock);
        return USBCOMM_ERR_FILE_READ; // too short to be a listing: as a missing block
    }
    // Only the records that lie whole inside the block are handed on.
    DWORD dwWhole = 0;
    FolderInfoFit(pBlock, dwLength, dwLength, &dwWhole);
    free(m_pBuffer);
    m_pBuffer = pBlock;
    m_pFolderInfo = pBlock + FOLDERINFO_COUNT_SIZE;
    m_nFileCount = static_cast<int>(dwWhole);
    return 0;
}
