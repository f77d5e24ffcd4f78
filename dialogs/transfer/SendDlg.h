// CSendDlg: the "Send Designs" progress dialog that sends designs into a folder of the
// machine's storage. Direct mode sends designs held in memory (a list of CFileData records)
// and counts them for the host; file mode sends design files of the PC (FILEINFO records
// holding their paths).
#pragma once

#include "stdafx.h"

#include "command/FileInfo.h"
#include "dialogs/transfer/WorkerDlg.h"
#include "resources/resource.h"

class AFX_EXT_CLASS CSendDlg : public CWorkerDlg {
public:
    // Direct mode: pDesignList holds CFileData pointers; *pSent receives the number of designs
    // sent. The list, the folder text and the counter stay the host's and must outlive the run.
    CSendDlg(CObList* pDesignList, WORD wMedium, LPCSTR pszFolder, int* pSent,
             CWnd* pParent = NULL);
    // File mode: nCount consecutive records holding PC paths of ".kst" files.
    CSendDlg(FILEINFO* pFileInfo, int nCount, WORD wMedium, LPCSTR pszFolder, CWnd* pParent = NULL);
    ~CSendDlg() override;

    enum { IDD = IDD_SEND_DIALOG };

    // "Now Sending : <name>" over "<n>/<count>" in the status text; always TRUE.
    BOOL DisplayStatus(int n);
    // The two jobs: 0, or the failure's result code.
    int StartDirectDownload();
    int StartDownload();
    int RunJob() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    BOOL GetProgress(PROGRESS* pProgress) override;

    bool m_bDirect;
    WORD m_wMedium;
    LPCSTR m_pszFolder;     // the host's machine folder text
    CObList* m_pDesignList; // direct mode: the host's designs
    FILEINFO* m_pFileInfo;  // file mode: the record of the next file
    int m_nCount;
    UINT m_nTimer;
    std::atomic<int> m_nTarget;
    CString m_strName; // the design being sent
    CProgressCtrl m_progress;
    HANDLE m_hCancel; // direct mode: tested between designs
    std::atomic<bool> m_bCancelled;
    int* m_pSent; // direct mode: the host's counter

    DECLARE_MESSAGE_MAP()
};
