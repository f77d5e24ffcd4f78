// CRenameDlg: the "Rename File" / "Rename Folder" dialog, in which the user gives a design or a
// folder of the machine a new name, and RenameFile / RenameFolder, which the host then calls.
// The kind comes from the path: a last component without a dot is a folder. A design keeps the
// ".kst" extension; the host's list shows the new name as soon as the dialog accepts it.
#pragma once

#include "stdafx.h"

#include "resources/resource.h"
#include "usb/UsbComm.h"

#include <afxcmn.h>

class AFX_EXT_CLASS CRenameDlg : public CDialog {
public:
    // lpszPath: the machine path of the item (copied); pList: the host's list of the item's
    // folder (not owned). A path of 260 characters or more, or whose last component holds
    // nothing but dots, names nothing: the dialog then refuses every name and the renames
    // return -7 without touching the machine.
    CRenameDlg(WORD wMedium, LPCSTR lpszPath, CListCtrl* pList, CWnd* pParent = NULL);
    ~CRenameDlg() override;

    enum { IDD = IDD_RENAME_DIALOG };

    // Writes the path's last component (trailing backslashes skipped) into *pstrName; TRUE
    // when it holds no dot (a folder).
    static BOOL CheckFolder(LPCSTR lpszPath, CString* pstrName);
    // Rewrites *pstrNew into its normal form (the base name up to its first dot, with ".kst"
    // for a design); TRUE when that differs from strOld without regard to letter case.
    static BOOL CompareFileName(CString strOld, CString* pstrNew, bool bFolder);
    static BOOL CheckFileName(LPCSTR lpszName);
    void SetFocusRenameEdit();

    // The renames on the machine: 0 or the failure's result code, shown under "Rename".
    int RenameFolder(CString strNewName);
    int RenameFile(CString strNewName);

    // Members, in this order.
    CUsbComm m_usb;
    WORD m_wMedium;
    CString m_strName; // the item's name; after OK the text as the user typed it
    CEdit m_editName;
    CListCtrl* m_pList;
    bool m_bFolder;
    CString m_strPath;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    afx_msg void OnBnClickedOk();

    DECLARE_MESSAGE_MAP()

private:
    // Whether the constructor's path names an item.
    BOOL NamesAnItem() const;
};
