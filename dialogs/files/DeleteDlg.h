// CDeleteDlg: the "Delete Designs" / "Delete Folder" progress dialog. Designs mode deletes a
// list of designs of one folder and counts them for the host; folder mode deletes a folder
// with everything below it, subfolders first. Nothing starts until the user presses "Delete";
// then the dialog works as the other worker dialogs do.
#pragma once

#include "stdafx.h"

#include "command/FileInfo.h"
#include "dialogs/transfer/WorkerDlg.h"
#include "resources/resource.h"

class AFX_EXT_CLASS CDeleteDlg : public CWorkerDlg {
public:
    // Designs mode: nCount consecutive records holding the designs' names (machine paths);
    // *pDeleted receives the number deleted.
    CDeleteDlg(FILEINFO* pFileInfo, int nCount, WORD wMedium, int* pDeleted, CWnd* pParent = NULL);
    // Folder mode: the folder lpszPath (copied) and everything in it.
    CDeleteDlg(WORD wMedium, LPCSTR lpszPath, CWnd* pParent = NULL);
    ~CDeleteDlg() override;

    enum { IDD = IDD_DELETE_DIALOG };

    // The jobs: 0, or the failure's result code.
    int StartDelete();
    int StartFolderDelete();
    // Deletes one folder and all it holds, subfolders first, then its designs, then itself.
    int FolderDelete(WORD wMedium, CString strPath);
    int RunJob() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    BOOL GetProgress(PROGRESS* pProgress) override;
    afx_msg void OnBnClickedStartdelBtn();

    WORD m_wMedium;
    FILEINFO* m_pFileInfo; // designs mode: the record of the next design
    int m_nCount;          // items; folder mode: 1, grown by every listing read
    UINT m_nTimer;
    std::atomic<int> m_nTarget;
    CProgressCtrl m_progress;
    CString m_strPath; // folder mode: the folder
    BOOL m_bFolderMode;
    HANDLE m_hCancel; // tested between designs
    std::atomic<bool> m_bCancelled;
    int* m_pDeleted; // designs mode: the host's counter

    DECLARE_MESSAGE_MAP()

private:
    // Shows an item in the file-name text and starts it on the bar.
    void ShowItem(LPCSTR lpszText);
};
