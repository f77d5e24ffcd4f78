// Dialog data exchange: moving values between a dialog's members and its controls.
#include <afxwin.h>

#include <errno.h>
#include <limits.h>

IMPLEMENT_DYNAMIC(CUserException, CSimpleException)

LPCTSTR CUserException::GetMessageText() const {
    return "The operation was stopped.";
}

void AFXAPI AfxThrowUserException() {
    throw new CUserException;
}

CDataExchange::CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd), m_idLastControl(0),
      m_bEditLastControl(FALSE) {}

HWND CDataExchange::PrepareCtrl(int nIDC) {
    HWND hWndCtrl = NULL;
    if (m_pDlgWnd != NULL && nIDC != 0 && nIDC != -1)
        hWndCtrl = ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
    if (hWndCtrl == NULL) {
        m_idLastControl = 0; // nothing to give the focus to
        Fail();
    }
    m_idLastControl = nIDC;
    m_bEditLastControl = FALSE;
    return hWndCtrl;
}

HWND CDataExchange::PrepareEditCtrl(int nIDC) {
    HWND hWndCtrl = PrepareCtrl(nIDC);
    m_bEditLastControl = TRUE;
    return hWndCtrl;
}

void CDataExchange::Fail() {
    if (m_bSaveAndValidate && m_idLastControl != 0 && m_pDlgWnd != NULL) {
        HWND hWndLast = ::GetDlgItem(m_pDlgWnd->m_hWnd, m_idLastControl);
        if (hWndLast != NULL) {
            ::SetFocus(hWndLast);
            if (m_bEditLastControl)
                ::SendMessageA(hWndLast, EM_SETSEL, 0, -1);
        }
    }
    AfxThrowUserException();
}

void AFXAPI DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.m_hWnd != NULL)
        return; // bound already
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (!rControl.SubclassWindow(hWndCtrl))
        pDX->Fail();
}

namespace {

// Sets the text only when it differs, so that an unchanged value does not redraw.
void SetWindowTextIfChanged(HWND hWndCtrl, LPCTSTR lpszNew) {
    CString strOld;
    CWnd::FromHandle(hWndCtrl)->GetWindowText(strOld);
    if (strOld.Compare(lpszNew) != 0)
        ::SetWindowTextA(hWndCtrl, lpszNew);
}

// Reads a whole decimal number with optional blanks around it; FALSE when the text is not one or
// does not fit in [nMin, nMax].
BOOL ParseNumber(const CString& strText, long long nMin, long long nMax, long long& nValue) {
    const char* psz = strText;
    while (*psz == ' ' || *psz == '\t')
        ++psz;
    if (*psz == '\0')
        return FALSE;
    char* pszEnd = NULL;
    errno = 0;
    long long nParsed = strtoll(psz, &pszEnd, 10);
    if (pszEnd == psz || errno != 0)
        return FALSE;
    while (*pszEnd == ' ' || *pszEnd == '\t')
        ++pszEnd;
    if (*pszEnd != '\0' || nParsed < nMin || nParsed > nMax)
        return FALSE;
    nValue = nParsed;
    return TRUE;
}

void DDX_Number(CDataExchange* pDX, int nIDC, long long& value, long long nMin, long long nMax,
                LPCTSTR lpszPrompt) {
    HWND hWndCtrl = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        CString strText;
        CWnd::FromHandle(hWndCtrl)->GetWindowText(strText);
        if (!ParseNumber(strText, nMin, nMax, value)) {
            AfxMessageBox(lpszPrompt);
            pDX->Fail();
        }
    } else {
        CString strText;
        strText.Format("%lld", value);
        SetWindowTextIfChanged(hWndCtrl, strText);
    }
}

} // namespace

void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
    HWND hWndCtrl = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        CWnd::FromHandle(hWndCtrl)->GetWindowText(value);
    else
        SetWindowTextIfChanged(hWndCtrl, value);
}

void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, int& value) {
    long long n = value;
    DDX_Number(pDX, nIDC, n, INT_MIN, INT_MAX, "Please enter an integer.");
    value = static_cast<int>(n);
}

void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, UINT& value) {
    long long n = value;
    DDX_Number(pDX, nIDC, n, 0, UINT_MAX, "Please enter a positive integer.");
    value = static_cast<UINT>(n);
}

void AFXAPI DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        value = static_cast<int>(::SendMessageA(hWndCtrl, BM_GETCHECK, 0, 0));
    } else {
        if (value < 0 || value > 2)
            value = 0; // not a check state
        ::SendMessageA(hWndCtrl, BM_SETCHECK, static_cast<WPARAM>(value), 0);
    }
}
