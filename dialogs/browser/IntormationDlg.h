// CIntormationDlg: the "Receive folder List" dialog that fetches the folder information of one
// folder of a medium (the blob of folder and design records) while it shows "Please wait . . .".
// One job reads the folder that is current on the machine (DirectoryUpload); the other first
// makes a named folder current (DirectoryChange), holding the transfer mutex. It has no
// progress bar and no visible Cancel: the Close command stops it.
#pragma once

#include "stdafx.h"

#include "dialogs/transfer/WorkerDlg.h"
#include "resources/resource.h"

class AFX_EXT_CLASS CIntormationDlg : public CWorkerDlg {
    DECLARE_DYNAMIC(CIntormationDlg)
public:
    // The folder that is current on the machine.
    CIntormationDlg(WORD wMedium, CWnd* pParent = NULL);
    // The folder lpszPath (a machine path); the text is not copied and must outlive the run.
    CIntormationDlg(WORD wMedium, LPCSTR lpszPath, CWnd* pParent = NULL);
    ~CIntormationDlg() override;

    enum { IDD = IDD_INFORMATION_DIALOG };

    // After IDOK: the first record of the folder information (records follow one another, each
    // starting with its length) and their number. The memory is the dialog's and lives until
    // it is destroyed. Only whole records are counted: a block from a faulty machine whose
    // records run past its end is cut after its last whole record.
    BYTE* GetFolderInfo() { return m_pFolderInfo; }
    int GetFileCount() { return m_nFileCount; }

    // The two jobs: 0, or the failure's result code.
    int DirectoryUpload();
    int DirectoryChange();
    int RunJob() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    BYTE m_bChangeFolder;
    WORD m_wMedium;
    LPCSTR m_pszPath;
    BYTE* m_pBuffer;     // the whole blob (malloc)
    BYTE* m_pFolderInfo; // m_pBuffer + 4
    int m_nFileCount;

    DECLARE_MESSAGE_MAP()

private:
    // The reading of the current folder, the port open: steps shared by both jobs.
    int ReadFolder(int nDetail);
};
