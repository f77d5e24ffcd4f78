// CReceiveDlg: the "Receive Designs" progress dialog that copies designs from the machine's
// storage into a PC folder, each under the name "temp" with the design's own extension, so
// that the caller finds it at a known path. It holds the transfer mutex while it starts and
// for its whole job.
#pragma once

#include "stdafx.h"

#include "command/FileInfo.h"
#include "dialogs/transfer/WorkerDlg.h"
#include "resources/resource.h"

class AFX_EXT_CLASS CReceiveDlg : public CWorkerDlg {
public:
    // nCount consecutive records holding machine paths; the designs are written into the PC
    // folder pszFolder; *pReceived receives the number of designs received.
    CReceiveDlg(FILEINFO* pFileInfo, int nCount, WORD wMedium, LPCSTR pszFolder, int* pReceived,
                CWnd* pParent = NULL);
    ~CReceiveDlg() override;

    enum { IDD = IDD_RECEIVE_DIALOG };

    // The job: 0, or the failure's result code.
    int StartUpload();
    int RunJob() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    BOOL GetProgress(PROGRESS* pProgress) override;

    WORD m_wMedium;
    FILEINFO* m_pFileInfo; // the record of the next design
    int m_nCount;
    LPCSTR m_pszFolder; // the host's PC folder text
    UINT m_nTimer;
    std::atomic<int> m_nTarget;
    CProgressCtrl m_progress;
    HANDLE m_hCancel; // tested between designs
    std::atomic<bool> m_bCancelled;
    int* m_pReceived; // the host's counter

    DECLARE_MESSAGE_MAP()
};
