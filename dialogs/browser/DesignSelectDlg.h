// CDesignSelectDlg: the "Receive a Design" browser. It lists the design folders of a medium's
// root "EMB" and the designs of one folder (two levels only), fetching every listing through
// the folder-list dialog; it filters designs by their ".rzf" companion and, with "Receive",
// receives the selected design and its companion through the receive dialog into the PC's
// temporary folder and reads them back into memory. The host reaches it only through
// ReceiveDesignDialog.
#pragma once

#include "stdafx.h"

#include "dialogs/browser/SortListCtrl.h"
#include "resources/resource.h"

#include <vector>

// One entry of the folder shown, built from one record of the folder information.
struct FOLDERITEM {
    DWORD dwLength; // the record's length
    LONG nKind;     // -1 for a folder; for a design, the value the companion filter compares with 6
    LONG nWidth;
    LONG nHeight;
    CString strName; // the bare name (a design's with its extension)
};

class CDesignSelectDlg : public CDialog {
    DECLARE_DYNAMIC(CDesignSelectDlg)
public:
    // nMedium: the medium shown first; bShowAll: 0 lists only designs with a companion.
    CDesignSelectDlg(DWORD nMedium, BYTE bShowAll, CWnd* pParent = NULL);
    ~CDesignSelectDlg() override;

    enum { IDD = IDD_DESIGNSELECT_DIALOG };

    // Lists the root of a medium; FALSE (label, medium and buttons unchanged) for a medium
    // other than 1 to 3, whose root is listed all the same.
    BOOL SelectMedium(DWORD nMedium);
    // Rebuilds the items and the list from nCount records starting at pRecord.
    void FillItems(int nCount, const BYTE* pRecord);
    // Fills the list control from the items, sorted.
    void ShowItems();
    BOOL HasCompanion(LPCSTR lpszName);
    BOOL IsFolderItem(int nIndex);
    void UpdateButtons();
    void OpenFolder();
    void OnOpen();
    void OnRzOnly();
    // Deletes the received design file and, with bCompanion, the ".rzf" beside it.
    void DeleteTempFiles(LPCSTR lpszDesignFile, BOOL bCompanion);

    // Members, in this order.
    CSortListCtrl m_list;
    CString m_strFolderLabel;
    CButton m_btnOpen;
    CButton m_btnReceive;
    BOOL m_bRzOnly;
    CString m_strCurPath;
    CString m_strCurFolder;
    int m_nDepth;
    DWORD m_nMedium;
    CImageList m_imageList;
    CBitmap m_bitmap;
    BYTE m_bShowAll;
    std::vector<FOLDERITEM*> m_items;      // owned
    std::vector<FOLDERITEM*> m_companions; // owned, never shown
    BYTE* m_pDesignData;                   // the received design and a zero byte (new[])
    BYTE* m_pCompanionData;                // the received companion and a zero byte (new[])
    DWORD m_nDesignSize;
    DWORD m_nCompanionSize;
    CString m_strDesignName;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    // "Receive": the selected design (and its companion) into memory.
    void OnOK() override;

    afx_msg void OnBuiltIn();
    afx_msg void OnAtaCard();
    afx_msg void OnUsbMemory();
    afx_msg void OnDblclkList(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg void OnClickList(NMHDR* pNMHDR, LRESULT* pResult);

    DECLARE_MESSAGE_MAP()

private:
    void ClearItems();
    int SelectedEntry();
    // Reads a received file into a new[] block of its length + 1, zero-terminated: 1 read,
    // 0 cannot be opened, -1 no memory.
    static int ReadReceived(LPCSTR lpszPath, BYTE** ppData, DWORD* pnSize);
};
