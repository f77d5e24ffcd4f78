#include "stdafx.h"

#include "dialogs/files/RenameDlg.h"

#include "dialogs/files/CreateDlg.h"
#include "dialogs/files/FileDialogs.h"

BEGIN_MESSAGE_MAP(CRenameDlg, CDialog)
ON_BN_CLICKED(IDOK, &CRenameDlg::OnBnClickedOk)
END_MESSAGE_MAP()

CRenameDlg::CRenameDlg(WORD wMedium, LPCSTR lpszPath, CListCtrl* pList, CWnd* pParent)
    : CDialog(CRenameDlg::IDD, pParent), m_wMedium(wMedium), m_pList(pList), m_bFolder(false),
      m_strPath(lpszPath) {
    m_bFolder = CheckFolder(m_strPath, &m_strName) != FALSE;
}

CRenameDlg::~CRenameDlg() {}

BOOL CRenameDlg::CheckFolder(LPCSTR lpszPath, CString* pstrName) {
    char szWork[MAX_PATH] = {};
    strncpy(szWork, lpszPath, MAX_PATH - 1);
    _strrev(szWork);
    const char* pToken = strtok(szWork, "\\");
    CString strComponent = pToken != NULL ? pToken : "";
    char* pComponent = strComponent.GetBuffer(strComponent.GetLength());
    _strrev(pComponent);
    strComponent.ReleaseBuffer();
    *pstrName = strComponent;
    // The first token at dots is the whole component when there is no dot.
    return strComponent.Find('.') < 0;
}

BOOL CRenameDlg::NamesAnItem() const {
    return m_strPath.GetLength() < MAX_PATH &&
           m_strName.SpanIncluding(".").GetLength() < m_strName.GetLength();
}

BOOL CRenameDlg::CompareFileName(CString strOld, CString* pstrNew, bool bFolder) {
    // The base name (the platform's splitting cuts it), then its text up to the first dot.
    char szInput[MAX_PATH] = {};
    strncpy(szInput, *pstrNew, MAX_PATH - 1);
    char szBase[MAX_PATH] = {};
    _splitpath(szInput, NULL, NULL, szBase, NULL);
    const char* pToken = strtok(szBase, ".");
    const CString strToken = pToken != NULL ? pToken : "";
    if (bFolder)
        *pstrNew = strToken;
    else
        pstrNew->Format("%s%s", static_cast<LPCSTR>(strToken), ".kst");
    return pstrNew->CompareNoCase(strOld) != 0;
}

BOOL CRenameDlg::CheckFileName(LPCSTR lpszName) {
    return CCreateDlg::CheckFileName(lpszName);
}

void CRenameDlg::SetFocusRenameEdit() {
    fileDialogs::SelectAll(m_editName);
}

void CRenameDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_RENAME_EDIT, m_strName);
    DDX_Control(pDX, IDC_RENAME_EDIT, m_editName);
}

BOOL CRenameDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_bFolder) {
        SetWindowText("Rename Folder");
        SetDlgItemText(IDC_RENAME_PROMPT, "Change the folder name.");
    } else {
        SetWindowText("Rename File");
    }
    SetFocusRenameEdit();
    return TRUE;
}

void CRenameDlg::OnBnClickedOk() {
    CString strNew;
    m_editName.GetWindowText(strNew);
    if (strNew.IsEmpty() || !NamesAnItem()) {
        OnCancel();
        return;
    }
    // A name of dots alone has no name before its first dot: refused as a forbidden one.
    if (!CheckFileName(strNew) || strNew.SpanIncluding(".") == strNew) {
        fileDialogs::ShowForbidden(this, m_editName);
        return;
    }
    if (!CompareFileName(m_strName, &strNew, m_bFolder)) {
        OnCancel();
        return;
    }
    if (fileDialogs::FindInList(m_pList, strNew) >= 0) {
        fileDialogs::ShowDuplicate(this, m_editName, "rename", strNew);
        return;
    }
    AfxMessageBox(m_bFolder ? "Change the folder name" : "Change the file name", MB_OK);
    const int nEntry = fileDialogs::FindInList(m_pList, m_strName);
    if (nEntry >= 0)
        m_pList->SetItemText(nEntry, 0, strNew);
    OnOK();
}

int CRenameDlg::RenameFolder(CString strNewName) {
    if (!NamesAnItem())
        return USBCOMM_ERR_MEMORY;
    return fileDialogs::RunOnMachine(m_usb, m_hWnd, "Rename", [&](int* pnDetail) {
        return m_usb.FolderCommand(m_wMedium, m_strPath, strNewName, CUsbComm::folderRename,
                                   pnDetail);
    });
}

int CRenameDlg::RenameFile(CString strNewName) {
    if (!NamesAnItem())
        return USBCOMM_ERR_MEMORY;
    return fileDialogs::RunOnMachine(m_usb, m_hWnd, "Rename", [&](int* pnDetail) {
        return m_usb.RenameDesign(m_wMedium, m_strPath, strNewName, pnDetail);
    });
}
