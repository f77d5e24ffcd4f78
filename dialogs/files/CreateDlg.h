// CCreateDlg: the "Create Folder" dialog, in which the user names a new folder of the machine,
// and CreateFolder, which the host then calls to make it. The name is checked for forbidden
// characters and against the names of the host's list of the parent folder.
#pragma once

#include "stdafx.h"

#include "resources/resource.h"
#include "usb/UsbComm.h"

#include <afxcmn.h>

class AFX_EXT_CLASS CCreateDlg : public CDialog {
public:
    // lpszPath: the machine path of the parent folder (copied); pList: the host's list of the
    // parent folder's items (not owned).
    CCreateDlg(WORD wMedium, LPCSTR lpszPath, CListCtrl* pList, CWnd* pParent = NULL);
    ~CCreateDlg() override;

    enum { IDD = IDD_CREATE_DIALOG };

    // TRUE when the name holds none of \ / : * ? " < > | (the empty name passes).
    static BOOL CheckFileName(LPCSTR lpszName);
    // Makes the folder strName in the parent folder: 0 or the failure's result code, shown
    // under "Create Folder".
    int CreateFolder(CString strName);
    void SetFocusNameEdit();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    afx_msg void OnBnClickedOk();

    CUsbComm m_usb;
    WORD m_wMedium;
    CString m_strPath;
    CListCtrl* m_pList;
    CEdit m_editName;

    DECLARE_MESSAGE_MAP()
};
