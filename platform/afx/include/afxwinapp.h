// The application object. Included by afxwin.h after the threads: the application is the
// process's main framework thread.
#pragma once

#include "afxwin.h"

class CWinApp : public CWinThread {
    DECLARE_DYNAMIC(CWinApp)
public:
    // The one application object of the process (the first constructed); its title is
    // lpszAppName, empty for NULL.
    explicit CWinApp(LPCTSTR lpszAppName = NULL);
    ~CWinApp() override;

    LPCTSTR m_pszAppName;
    HINSTANCE m_hInstance;

    // The framework's message box: owned by the main window or the active window, with the
    // application's title; an icon is chosen from the buttons when nType names none.
    virtual int DoMessageBox(LPCTSTR lpszPrompt, UINT nType, UINT nIDPrompt);
    virtual void DoWaitCursor(int nCode); // 1 begin, -1 end, 0 restore

private:
    CString m_strAppName;
};
