// The application object, its title and the framework's message box.
#include <afxwin.h>

#include "WndImpl.h"

#include <atomic>

IMPLEMENT_DYNAMIC(CWinApp, CWinThread)

namespace {

std::atomic<CWinApp*> s_pApp{NULL};

// MFC's choice of icon for a box whose type names none.
UINT WithDefaultIcon(UINT nType) {
    if ((nType & MB_ICONMASK) != 0)
        return nType;
    switch (nType & MB_TYPEMASK) {
    case MB_OK:
    case MB_OKCANCEL:
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return nType | MB_ICONEXCLAMATION;
    default:
        return nType;
    }
}

// The owner of the application's message boxes: the main window, else the calling thread's active
// window (the dialog the user is in).
HWND MessageBoxOwner() {
    CWnd* pMainWnd = AfxGetMainWnd();
    if (pMainWnd != NULL && pMainWnd->m_hWnd != NULL)
        return pMainWnd->m_hWnd;
    return ::GetActiveWindow();
}

int ShowAppMessageBox(LPCTSTR lpszPrompt, UINT nType) {
    return ::MessageBoxA(MessageBoxOwner(), lpszPrompt, AfxGetAppName(), WithDefaultIcon(nType));
}

} // namespace

CWinApp::CWinApp(LPCTSTR lpszAppName) : m_pszAppName(NULL), m_hInstance(NULL) {
    if (lpszAppName != NULL)
        m_strAppName = lpszAppName;
    m_pszAppName = m_strAppName;
    // The first one constructed is the application.
    CWinApp* pExpected = NULL;
    s_pApp.compare_exchange_strong(pExpected, this);
}

CWinApp::~CWinApp() {
    CWinApp* pExpected = this;
    s_pApp.compare_exchange_strong(pExpected, NULL);
}

int CWinApp::DoMessageBox(LPCTSTR lpszPrompt, UINT nType, UINT /*nIDPrompt*/) {
    return ShowAppMessageBox(lpszPrompt, nType);
}

void CWinApp::DoWaitCursor(int nCode) {
    afx::DoWaitCursor(nCode);
}

CWinApp* AFXAPI AfxGetApp() {
    return s_pApp.load();
}

LPCTSTR AFXAPI AfxGetAppName() {
    CWinApp* pApp = AfxGetApp();
    return pApp != NULL ? pApp->m_pszAppName : "";
}

CWnd* AFXAPI AfxGetMainWnd() {
    CWinApp* pApp = AfxGetApp();
    return pApp != NULL ? pApp->m_pMainWnd : NULL;
}

HINSTANCE AFXAPI AfxGetInstanceHandle() {
    CWinApp* pApp = AfxGetApp();
    return pApp != NULL ? pApp->m_hInstance : NULL;
}

int AFXAPI AfxMessageBox(LPCTSTR lpszText, UINT nType, UINT nIDHelp) {
    CWinApp* pApp = AfxGetApp();
    if (pApp != NULL)
        return pApp->DoMessageBox(lpszText, nType, nIDHelp);
    return ShowAppMessageBox(lpszText, nType);
}
