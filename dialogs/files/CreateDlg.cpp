#include "stdafx.h"

#include "dialogs/files/CreateDlg.h"

#include "dialogs/files/FileDialogs.h"

BEGIN_MESSAGE_MAP(CCreateDlg, CDialog)
ON_BN_CLICKED(IDOK, &CCreateDlg::OnBnClickedOk)
END_MESSAGE_MAP()

CCreateDlg::CCreateDlg(WORD wMedium, LPCSTR lpszPath, CListCtrl* pList, CWnd* pParent)
    : CDialog(CCreateDlg::IDD, pParent), m_wMedium(wMedium), m_strPath(lpszPath), m_pList(pList) {}

CCreateDlg::~CCreateDlg() {}

void CCreateDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CREATE_EDIT, m_editName);
}

BOOL CCreateDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_editName.SetWindowText("NewFolder");
    m_editName.SetSel(0, -1);
    return TRUE;
}

BOOL CCreateDlg::CheckFileName(LPCSTR lpszName) {
    return strpbrk(lpszName, "\\/:*?\"<>|") == NULL;
}

void CCreateDlg::SetFocusNameEdit() {
    fileDialogs::SelectAll(m_editName);
}

void CCreateDlg::OnBnClickedOk() {
    CString strName;
    m_editName.GetWindowText(strName);
    if (strName.IsEmpty())
        return;
    if (!CheckFileName(strName)) {
        fileDialogs::ShowForbidden(this, m_editName);
        return;
    }
    if (fileDialogs::FindInList(m_pList, strName) >= 0) {
        fileDialogs::ShowDuplicate(this, m_editName, "create", strName);
        return;
    }
    AfxMessageBox("Make New Folder", MB_OK);
    OnOK();
}

int CCreateDlg::CreateFolder(CString strName) {
    return fileDialogs::RunOnMachine(m_usb, m_hWnd, "Create Folder", [&](int* pnDetail) {
        return m_usb.FolderCommand(m_wMedium, m_strPath, strName, CUsbComm::folderCreate, pnDetail);
    });
}
