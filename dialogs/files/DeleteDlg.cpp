#include "stdafx.h"

#include "dialogs/files/DeleteDlg.h"

#include "command/FolderInfo.h"
#include "usb/CommError.h"

#include <vector>

namespace {

const char kTitle[] = "Delete";
const char kFolderTitle[] = "Delete Folder";

} // namespace

BEGIN_MESSAGE_MAP(CDeleteDlg, CWorkerDlg)
ON_BN_CLICKED(IDC_STARTDEL_BTN, &CDeleteDlg::OnBnClickedStartdelBtn)
END_MESSAGE_MAP()

CDeleteDlg::CDeleteDlg(FILEINFO* pFileInfo, int nCount, WORD wMedium, int* pDeleted, CWnd* pParent)
    : CWorkerDlg(CDeleteDlg::IDD, pParent), m_wMedium(wMedium), m_pFileInfo(pFileInfo),
      m_nCount(nCount), m_nTimer(0), m_nTarget(0), m_bFolderMode(FALSE), m_hCancel(NULL),
      m_bCancelled(false), m_pDeleted(pDeleted) {}

CDeleteDlg::CDeleteDlg(WORD wMedium, LPCSTR lpszPath, CWnd* pParent)
    : CWorkerDlg(CDeleteDlg::IDD, pParent), m_wMedium(wMedium), m_pFileInfo(NULL), m_nCount(1),
      m_nTimer(0), m_nTarget(0), m_strPath(lpszPath), m_bFolderMode(TRUE), m_hCancel(NULL),
      m_bCancelled(false), m_pDeleted(NULL) {}

CDeleteDlg::~CDeleteDlg() {}

void CDeleteDlg::DoDataExchange(CDataExchange* pDX) {
    CWorkerDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_DELETE_PROGRESS, m_progress);
}

BOOL CDeleteDlg::OnInitDialog() {
    CWorkerDlg::OnInitDialog();
    SetWindowText(m_bFolderMode ? "Delete Folder" : "Delete Designs");
    m_progress.SetStep(1);
    m_progress.SetPos(0);
    return TRUE;
}

BOOL CDeleteDlg::GetProgress(PROGRESS* pProgress) {
    *pProgress = PROGRESS{&m_progress, &m_nTarget, &m_bCancelled, &m_nTimer};
    return TRUE;
}

void CDeleteDlg::OnBnClickedStartdelBtn() {
    // Once started, the deletion cannot be started again.
    if (StartWorker(kTitle, FALSE, m_nCount))
        GetDlgItem(IDC_STARTDEL_BTN)->EnableWindow(FALSE);
}

int CDeleteDlg::RunJob() {
    return m_bFolderMode ? StartFolderDelete() : StartDelete();
}

void CDeleteDlg::ShowItem(LPCSTR lpszText) {
    SetDlgItemText(IDC_DELETE_FILENAME, lpszText);
    BeginItem();
}

int CDeleteDlg::StartDelete() {
    // No cancel event for the transport: the cancel is looked at between designs.
    int nCode = OpenJobPort(kTitle, NULL);
    if (nCode != 0)
        return nCode;
    m_hCancel = m_pCancelEvent->m_hObject;
    int i = 0;
    for (; i < m_nCount; ++i) {
        if (IsSignalled(m_hCancel))
            break;
        const LPCSTR pszName = RecordText(m_pFileInfo);
        if (pszName[0] == '\0')
            return USBCOMM_ERR_REJECTED; // the port stays open until the teardown
        ShowItem(pszName);
        nCode = Attempt(kTitle, [&](int* pnDetail) {
            return m_usb.DeleteDesign(m_wMedium, pszName, pnDetail);
        });
        if (nCode != 0) {
            m_usb.ClosePort();
            return nCode;
        }
        m_pFileInfo = NextRecord(m_pFileInfo);
        if (m_pDeleted != NULL)
            *m_pDeleted = i + 1;
    }
    m_usb.ClosePort();
    if (!m_bCancelled)
        WaitForBar();
    m_bCancelled = false;
    if (m_pDeleted != NULL)
        *m_pDeleted = i;
    return 0;
}

int CDeleteDlg::StartFolderDelete() {
    // The transport holds the cancel event: a cancel stops its waits and transfers.
    const int nCode = OpenJobPort(kTitle, m_pCancelEvent);
    if (nCode != 0)
        return nCode;
    const int nResult = FolderDelete(m_wMedium, m_strPath);
    m_usb.ClosePort();
    return nResult;
}

int CDeleteDlg::FolderDelete(WORD wMedium, CString strPath) {
    int nChangeDetail = 0;
    int nCode = Attempt(kFolderTitle, [&](int* pnDetail) {
        const int nChanged = m_usb.ChangeDirectory(wMedium, strPath, pnDetail);
        nChangeDetail = *pnDetail;
        return nChanged;
    });
    if (nCode == 0) {
        nCode = Attempt(kFolderTitle, [&](int* pnDetail) {
            *pnDetail = nChangeDetail;
            return m_usb.ReadDirectory(wMedium);
        });
    }
    if (nCode != 0)
        return nCode;

    // The listing: only the records that lie whole inside the block are walked.
    DWORD dwLength = 0;
    BYTE* pBlock = m_usb.DetachReceived(&dwLength);
    DWORD n = 0;
    FolderInfoFit(pBlock, dwLength, dwLength, &n);
    std::vector<CString> files; // full paths of the designs, in the order listed
    if (n > 0) {
        m_nCount += static_cast<int>(n);
        SetProgressRange(m_nCount);
        const BYTE* pRecord = pBlock + FOLDERINFO_COUNT_SIZE;
        for (DWORD k = 0; k < n; ++k) {
            FOLDERINFO_RECORD record;
            pRecord = FolderInfoRead(pRecord, &record);
            const CString strEntry = strPath + "\\" + record.strName;
            if (record.nKind == FOLDERINFO_KIND_FOLDER)
                FolderDelete(wMedium, strEntry); // a failure has been shown there
            else
                files.push_back(strEntry);
        }
    }
    free(pBlock);
    for (const CString& strFile : files) {
        ShowItem(strFile);
        nCode = Attempt(kFolderTitle, [&](int* pnDetail) {
            // A path that does not fit a list slot fails as a refused design would.
            if (strFile.GetLength() >= FILEINFO_SIZE)
                return USBCOMM_ERR_MEMORY;
            return m_usb.DeleteDesign(wMedium, strFile, pnDetail);
        });
        if (nCode != 0)
            return nCode;
    }
    ShowItem(strPath);
    nCode = Attempt(kFolderTitle, [&](int* pnDetail) {
        return m_usb.FolderCommand(wMedium, strPath, NULL, CUsbComm::folderDelete, pnDetail);
    });
    if (nCode != 0)
        return nCode;
    if (!m_bCancelled)
        WaitForBar();
    return 0;
}
