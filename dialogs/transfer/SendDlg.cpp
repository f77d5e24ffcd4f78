#include "stdafx.h"

#include "dialogs/transfer/SendDlg.h"

#include "design/FileData.h"
#include "usb/CommError.h"

namespace {

const char kTitle[] = "Sending";

} // namespace

BEGIN_MESSAGE_MAP(CSendDlg, CWorkerDlg)
END_MESSAGE_MAP()

CSendDlg::CSendDlg(CObList* pDesignList, WORD wMedium, LPCSTR pszFolder, int* pSent, CWnd* pParent)
    : CWorkerDlg(CSendDlg::IDD, pParent), m_bDirect(true), m_wMedium(wMedium),
      m_pszFolder(pszFolder), m_pDesignList(pDesignList), m_pFileInfo(NULL),
      m_nCount(pDesignList != NULL ? static_cast<int>(pDesignList->GetCount()) : 0), m_nTimer(0),
      m_nTarget(0), m_hCancel(NULL), m_bCancelled(false), m_pSent(pSent) {}

CSendDlg::CSendDlg(FILEINFO* pFileInfo, int nCount, WORD wMedium, LPCSTR pszFolder, CWnd* pParent)
    : CWorkerDlg(CSendDlg::IDD, pParent), m_bDirect(false), m_wMedium(wMedium),
      m_pszFolder(pszFolder), m_pDesignList(NULL), m_pFileInfo(pFileInfo), m_nCount(nCount),
      m_nTimer(0), m_nTarget(0), m_hCancel(NULL), m_bCancelled(false), m_pSent(NULL) {}

CSendDlg::~CSendDlg() {}

void CSendDlg::DoDataExchange(CDataExchange* pDX) {
    CWorkerDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SEND_PROGRESS, m_progress);
    DDX_Text(pDX, IDC_SEND_STATUS, m_strName);
}

BOOL CSendDlg::OnInitDialog() {
    CWorkerDlg::OnInitDialog();
    return StartWorker(kTitle, FALSE, m_nCount);
}

BOOL CSendDlg::GetProgress(PROGRESS* pProgress) {
    *pProgress = PROGRESS{&m_progress, &m_nTarget, &m_bCancelled, &m_nTimer};
    return TRUE;
}

int CSendDlg::RunJob() {
    return m_bDirect ? StartDirectDownload() : StartDownload();
}

BOOL CSendDlg::DisplayStatus(int n) {
    CString strText;
    strText.Format("Now Sending : %s\r\n\t\t%d/%d", static_cast<LPCSTR>(m_strName), n, m_nCount);
    SetDlgItemText(IDC_SEND_STATUS, strText);
    return TRUE;
}

int CSendDlg::StartDirectDownload() {
    // No cancel event for the transport: a design in progress is never interrupted.
    int nCode = OpenJobPort(kTitle, NULL);
    if (nCode != 0)
        return nCode;
    m_hCancel = m_pCancelEvent->m_hObject;
    int n = 0;
    POSITION pos = m_pDesignList != NULL ? m_pDesignList->GetHeadPosition() : NULL;
    while (pos != NULL) {
        if (IsSignalled(m_hCancel))
            break;
        const CFileData* pDesign = reinterpret_cast<CFileData*>(m_pDesignList->GetNext(pos));
        m_strName = pDesign->m_strFileName;
        DisplayStatus(++n);
        BeginItem();
        nCode = Attempt(kTitle, [&](int* pnDetail) {
            // The folder, one backslash and the design's name, whatever the folder ends with.
            char szName[MAX_PATH];
            const int nLength = _snprintf(szName, sizeof szName, "%s\\%s", Text(m_pszFolder),
                                          static_cast<LPCSTR>(pDesign->m_strFileName));
            if (nLength < 0 || nLength >= MAX_PATH || pDesign->m_nLength < 0)
                return USBCOMM_ERR_MEMORY;
            int nSent =
                m_usb.SendDesign(m_wMedium, szName, reinterpret_cast<const BYTE*>(pDesign->m_pData),
                                 static_cast<DWORD>(pDesign->m_nLength), pnDetail);
            return nSent != 0 && m_bCancelled ? USBCOMM_ERR_CANCELLED : nSent;
        });
        if (nCode != 0) {
            m_usb.ClosePort();
            return nCode;
        }
        if (m_pSent != NULL)
            *m_pSent = n;
    }
    m_usb.ClosePort();
    if (!m_bCancelled) {
        WaitForBar();
        DisplayStatus(m_nCount);
    }
    m_bCancelled = false;
    if (m_pSent != NULL)
        *m_pSent = n;
    return 0;
}

int CSendDlg::StartDownload() {
    // The transport watches the cancel event during each send.
    int nCode = OpenJobPort(kTitle, m_pCancelEvent);
    if (nCode != 0)
        return nCode;
    for (int i = 0; i < m_nCount; ++i) {
        const LPCSTR pszPath = RecordText(m_pFileInfo);
        if (pszPath[0] == '\0')
            return USBCOMM_ERR_REJECTED; // the port is closed by the teardown
        m_strName = pszPath;
        DisplayStatus(i);
        BeginItem();
        // The machine-side name: the folder, the file's name and its extension.
        char szFileName[FILEINFO_SIZE];
        char szExt[FILEINFO_SIZE];
        _splitpath(pszPath, NULL, NULL, szFileName, szExt);
        nCode = Attempt(kTitle, [&](int* pnDetail) {
            char szName[MAX_PATH];
            if (!MakePath(szName, Text(m_pszFolder), szFileName, szExt))
                return USBCOMM_ERR_MEMORY;
            int nSent = m_usb.SendDesignFile(m_wMedium, szName, pszPath, pnDetail);
            return nSent != 0 && m_bCancelled ? USBCOMM_ERR_CANCELLED : nSent;
        });
        if (nCode != 0) {
            m_usb.ClosePort();
            return nCode;
        }
        m_pFileInfo = NextRecord(m_pFileInfo);
    }
    m_usb.ClosePort();
    if (!m_bCancelled) {
        WaitForBar();
        DisplayStatus(m_nCount);
    }
    m_bCancelled = false;
    return 0;
}
