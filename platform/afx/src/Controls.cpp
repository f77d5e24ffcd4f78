// The standard controls and the progress bar: wrappers over their messages.
#include <afxcmn.h>

IMPLEMENT_DYNAMIC(CButton, CWnd)
IMPLEMENT_DYNAMIC(CEdit, CWnd)
IMPLEMENT_DYNAMIC(CStatic, CWnd)
IMPLEMENT_DYNAMIC(CProgressCtrl, CWnd)

CButton::CButton() = default;
CButton::~CButton() = default;

int CButton::GetCheck() const {
    return static_cast<int>(::SendMessageA(m_hWnd, BM_GETCHECK, 0, 0));
}
void CButton::SetCheck(int nCheck) {
    ::SendMessageA(m_hWnd, BM_SETCHECK, nCheck, 0);
}
UINT CButton::GetState() const {
    return static_cast<UINT>(::SendMessageA(m_hWnd, BM_GETSTATE, 0, 0));
}
void CButton::SetState(BOOL bHighlight) {
    ::SendMessageA(m_hWnd, BM_SETSTATE, bHighlight, 0);
}
UINT CButton::GetButtonStyle() const {
    return static_cast<UINT>(GetStyle() & 0xFF);
}

void CButton::SetButtonStyle(UINT nStyle, BOOL bRedraw) {
    ::SendMessageA(m_hWnd, BM_SETSTYLE, nStyle, bRedraw);
}

CEdit::CEdit() = default;
CEdit::~CEdit() = default;

void CEdit::SetSel(int nStartChar, int nEndChar, BOOL /*bNoScroll*/) {
    ::SendMessageA(m_hWnd, EM_SETSEL, static_cast<WPARAM>(nStartChar), nEndChar);
}

void CEdit::SetSel(DWORD dwSelection, BOOL bNoScroll) {
    SetSel(static_cast<short>(LOWORD(dwSelection)), static_cast<short>(HIWORD(dwSelection)),
           bNoScroll);
}

DWORD CEdit::GetSel() const {
    return static_cast<DWORD>(::SendMessageA(m_hWnd, EM_GETSEL, 0, 0));
}

void CEdit::GetSel(int& nStartChar, int& nEndChar) const {
    DWORD dwStart = 0;
    DWORD dwEnd = 0;
    ::SendMessageA(m_hWnd, EM_GETSEL, reinterpret_cast<WPARAM>(&dwStart),
                   reinterpret_cast<LPARAM>(&dwEnd));
    nStartChar = static_cast<int>(dwStart);
    nEndChar = static_cast<int>(dwEnd);
}

void CEdit::ReplaceSel(LPCTSTR lpszNewText, BOOL bCanUndo) {
    ::SendMessageA(m_hWnd, EM_REPLACESEL, bCanUndo, reinterpret_cast<LPARAM>(lpszNewText));
}

void CEdit::SetLimitText(UINT nMax) {
    ::SendMessageA(m_hWnd, EM_SETLIMITTEXT, nMax, 0);
}
void CEdit::LimitText(int nChars) {
    ::SendMessageA(m_hWnd, EM_LIMITTEXT, nChars, 0);
}

UINT CEdit::GetLimitText() const {
    return static_cast<UINT>(::SendMessageA(m_hWnd, EM_GETLIMITTEXT, 0, 0));
}

CStatic::CStatic() = default;
CStatic::~CStatic() = default;

CProgressCtrl::CProgressCtrl() = default;
CProgressCtrl::~CProgressCtrl() = default;

void CProgressCtrl::SetRange(short nLower, short nUpper) {
    ::SendMessageA(m_hWnd, PBM_SETRANGE, 0, MAKELONG(nLower, nUpper));
}

void CProgressCtrl::SetRange32(int nLower, int nUpper) {
    ::SendMessageA(m_hWnd, PBM_SETRANGE32, static_cast<WPARAM>(nLower), nUpper);
}

void CProgressCtrl::GetRange(int& nLower, int& nUpper) const {
    PBRANGE range = {0, 0};
    ::SendMessageA(m_hWnd, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    nLower = range.iLow;
    nUpper = range.iHigh;
}

int CProgressCtrl::SetPos(int nPos) {
    return static_cast<int>(::SendMessageA(m_hWnd, PBM_SETPOS, static_cast<WPARAM>(nPos), 0));
}

int CProgressCtrl::OffsetPos(int nPos) {
    return static_cast<int>(::SendMessageA(m_hWnd, PBM_DELTAPOS, static_cast<WPARAM>(nPos), 0));
}

int CProgressCtrl::SetStep(int nStep) {
    return static_cast<int>(::SendMessageA(m_hWnd, PBM_SETSTEP, static_cast<WPARAM>(nStep), 0));
}

int CProgressCtrl::StepIt() {
    return static_cast<int>(::SendMessageA(m_hWnd, PBM_STEPIT, 0, 0));
}

int CProgressCtrl::GetPos() const {
    return static_cast<int>(::SendMessageA(m_hWnd, PBM_GETPOS, 0, 0));
}
