// CWnd: the handle maps, subclassing, message dispatch through the message maps, the modal loop,
// and the thin wrappers over the window calls.
#include <afxwin.h>

#include "WndImpl.h"
#include "afximpl.h"

#include <unordered_map>

// ---------------------------------------------------------------------------------------------
// Handle maps

namespace {

struct PermanentEntry {
    CWnd* pWnd = NULL;
    WNDPROC pfnSuper = NULL;
};

std::unordered_map<HWND, PermanentEntry>& PermanentMap() {
    static std::unordered_map<HWND, PermanentEntry> map;
    return map;
}

afx::TempMap<HWND, CWnd>& TempWnds() {
    thread_local afx::TempMap<HWND, CWnd> map(&CWnd::m_hWnd);
    return map;
}

// What the calling thread's creation hook attaches the next window to.
thread_local CWnd* t_pWndInit = NULL;
thread_local HHOOK t_hHookCbt = NULL;

} // namespace

CWnd* afx::LookupPermanent(HWND hWnd) {
    CAfxGlobalsLock guard(CRIT_HANDLEMAP);
    auto it = PermanentMap().find(hWnd);
    return it != PermanentMap().end() ? it->second.pWnd : NULL;
}

BOOL afx::InsertPermanent(HWND hWnd, CWnd* pWnd) {
    CAfxGlobalsLock guard(CRIT_HANDLEMAP);
    PermanentEntry& entry = PermanentMap()[hWnd];
    if (entry.pWnd != NULL && entry.pWnd != pWnd)
        return FALSE;
    entry.pWnd = pWnd;
    return TRUE;
}

void afx::RemovePermanent(HWND hWnd) {
    CAfxGlobalsLock guard(CRIT_HANDLEMAP);
    auto it = PermanentMap().find(hWnd);
    if (it == PermanentMap().end())
        return;
    it->second.pWnd = NULL;
    if (it->second.pfnSuper == NULL)
        PermanentMap().erase(it);
}

void afx::SetSuperProc(HWND hWnd, WNDPROC pfnSuper) {
    CAfxGlobalsLock guard(CRIT_HANDLEMAP);
    if (pfnSuper != NULL) {
        PermanentMap()[hWnd].pfnSuper = pfnSuper;
        return;
    }
    auto it = PermanentMap().find(hWnd);
    if (it == PermanentMap().end())
        return;
    it->second.pfnSuper = NULL;
    if (it->second.pWnd == NULL)
        PermanentMap().erase(it);
}

WNDPROC afx::LookupSuperProc(HWND hWnd) {
    CAfxGlobalsLock guard(CRIT_HANDLEMAP);
    auto it = PermanentMap().find(hWnd);
    return it != PermanentMap().end() ? it->second.pfnSuper : NULL;
}

MSG& afx::CurrentMessage() {
    thread_local MSG current = {};
    return current;
}

// ---------------------------------------------------------------------------------------------
// Construction, attaching, subclassing

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
ON_WM_NCDESTROY()
END_MESSAGE_MAP()

CWnd::CWnd() : m_hWnd(NULL), m_pfnSuper(NULL), m_nFlags(0), m_nModalResult(0) {}

CWnd::~CWnd() {
    if (m_hWnd == NULL)
        return;
    HWND hWnd = m_hWnd;
    if (afx::LookupPermanent(hWnd) == this) {
        // Still attached: the window goes with its object. A window of another thread cannot be
        // destroyed from here; it is handed back to its own procedure instead.
        ::DestroyWindow(hWnd);
        if (m_hWnd != NULL) {
            UnsubclassWindow();
            Detach();
        }
    }
    m_hWnd = NULL;
}

CWnd* PASCAL CWnd::FromHandlePermanent(HWND hWnd) {
    return hWnd != NULL ? afx::LookupPermanent(hWnd) : NULL;
}

CWnd* PASCAL CWnd::FromHandle(HWND hWnd) {
    if (hWnd == NULL)
        return NULL;
    CWnd* pWnd = afx::LookupPermanent(hWnd);
    if (pWnd != NULL)
        return pWnd;
    CWnd* pTemp = TempWnds().Get(hWnd);
    pTemp->m_nFlags |= WF_TEMPORARY;
    return pTemp;
}

BOOL CWnd::Attach(HWND hWndNew) {
    if (hWndNew == NULL || m_hWnd != NULL || (m_nFlags & WF_TEMPORARY) != 0)
        return FALSE;
    if (!afx::InsertPermanent(hWndNew, this))
        return FALSE;
    m_hWnd = hWndNew;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND hWnd = m_hWnd;
    if (hWnd != NULL && (m_nFlags & WF_TEMPORARY) == 0 && afx::LookupPermanent(hWnd) == this)
        afx::RemovePermanent(hWnd);
    m_hWnd = NULL;
    return hWnd;
}

void CWnd::PreSubclassWindow() {}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (!::IsWindow(hWnd) || !Attach(hWnd))
        return FALSE;
    PreSubclassWindow();
    WNDPROC pfnOld = reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(hWnd, GWLP_WNDPROC));
    if (pfnOld == NULL || pfnOld == &CWnd::AfxWndProc) {
        Detach(); // no procedure to fall back on, or already routed through an
                  // object
        return FALSE;
    }
    afx::SetSuperProc(hWnd, pfnOld);
    m_pfnSuper = pfnOld;
    ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::AfxWndProc));
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
    if (pParent == NULL)
        return FALSE;
    HWND hWndControl = ::GetDlgItem(pParent->m_hWnd, static_cast<int>(nID));
    return hWndControl != NULL && SubclassWindow(hWndControl);
}

HWND CWnd::UnsubclassWindow() {
    if (m_hWnd == NULL)
        return NULL;
    if (m_pfnSuper != NULL) {
        WNDPROC pfnNow = reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC));
        if (pfnNow == &CWnd::AfxWndProc)
            ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        afx::SetSuperProc(m_hWnd, NULL);
        m_pfnSuper = NULL;
    }
    return Detach();
}

BOOL CWnd::DestroyWindow() {
    if (m_hWnd == NULL)
        return FALSE;
    HWND hWnd = m_hWnd;
    BOOL bResult = ::DestroyWindow(hWnd);
    // A subclassed window detaches at WM_NCDESTROY; any other is detached here once gone.
    if (m_hWnd == hWnd && !::IsWindow(hWnd)) {
        afx::SetSuperProc(hWnd, NULL);
        m_pfnSuper = NULL;
        Detach();
    }
    return bResult;
}

void CWnd::PostNcDestroy() {}

// ---------------------------------------------------------------------------------------------
// Creation hook: the next window created on this thread is attached to t_pWndInit before its first
// message, so that everything it receives goes through the object's message map.

namespace {

LRESULT CALLBACK CbtFilterHook(int nCode, WPARAM wParam, LPARAM lParam) {
    if (nCode == HCBT_CREATEWND)
        afx::AttachCreatingWindow(reinterpret_cast<HWND>(wParam));
    return ::CallNextHookEx(t_hHookCbt, nCode, wParam, lParam);
}

} // namespace

void afx::AttachCreatingWindow(HWND hWnd) {
    CWnd* pWndInit = t_pWndInit;
    if (pWndInit == NULL || afx::LookupPermanent(hWnd) != NULL)
        return;
    t_pWndInit = NULL;
    pWndInit->SubclassWindow(hWnd);
}

void AFXAPI AfxHookWindowCreate(CWnd* pWnd) {
    if (t_hHookCbt == NULL)
        t_hHookCbt = ::SetWindowsHookExA(WH_CBT, &CbtFilterHook, NULL, ::GetCurrentThreadId());
    t_pWndInit = pWnd;
}

BOOL AFXAPI AfxUnhookWindowCreate() {
    BOOL bAttached = t_pWndInit == NULL;
    t_pWndInit = NULL;
    return bAttached;
}

// ---------------------------------------------------------------------------------------------
// Message dispatch

LRESULT CALLBACK CWnd::AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* pWnd = afx::LookupPermanent(hWnd);
    if (pWnd == NULL || pWnd->m_hWnd != hWnd) {
        WNDPROC pfnSuper = afx::LookupSuperProc(hWnd);
        return pfnSuper != NULL ? ::CallWindowProcA(pfnSuper, hWnd, message, wParam, lParam)
                                : ::DefWindowProcA(hWnd, message, wParam, lParam);
    }
    MSG& current = afx::CurrentMessage();
    MSG previous = current;
    current.hwnd = hWnd;
    current.message = message;
    current.wParam = wParam;
    current.lParam = lParam;
    LRESULT lResult = pWnd->WindowProc(message, wParam, lParam);
    afx::CurrentMessage() = previous;
    return lResult;
}

const MSG* PASCAL CWnd::GetCurrentMessage() {
    return &afx::CurrentMessage();
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT lResult = 0;
    if (!OnWndMsg(message, wParam, lParam, &lResult))
        lResult = DefWindowProc(message, wParam, lParam);
    return lResult;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    LRESULT lResult = 0;
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam))
            return FALSE;
        lResult = 1;
    } else if (message == WM_NOTIFY) {
        const NMHDR* pNMHDR = reinterpret_cast<const NMHDR*>(lParam);
        if (pNMHDR == NULL || pNMHDR->hwndFrom == NULL || !OnNotify(wParam, lParam, &lResult))
            return FALSE;
    } else {
        const AFX_MSGMAP_ENTRY* pEntry = FindMessageEntry(message);
        if (pEntry == NULL)
            return FALSE;
        lResult = pEntry->pfn(this, wParam, lParam);
    }
    if (pResult != NULL)
        *pResult = lResult;
    return TRUE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper != NULL)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    UINT nID = LOWORD(wParam);
    int nCode = lParam == 0 ? 0 : HIWORD(wParam); // menus and accelerators: a plain command
    return OnCmdMsg(nID, nCode, NULL, NULL);
}

BOOL CWnd::OnNotify(WPARAM /*wParam*/, LPARAM lParam, LRESULT* pResult) {
    NMHDR* pNMHDR = reinterpret_cast<NMHDR*>(lParam);
    AFX_NOTIFY notify;
    notify.pResult = pResult;
    notify.pNMHDR = pNMHDR;
    UINT nID = static_cast<UINT>(pNMHDR->idFrom);
    return OnCmdMsg(nID, MAKELONG(LOWORD(pNMHDR->code), WM_NOTIFY), &notify, NULL);
}

BOOL CWnd::PreTranslateMessage(MSG* /*pMsg*/) {
    return FALSE;
}

void CWnd::DoDataExchange(CDataExchange* /*pDX*/) {}

LRESULT CWnd::Default() {
    const MSG& current = afx::CurrentMessage();
    return DefWindowProc(current.message, current.wParam, current.lParam);
}

void CWnd::OnTimer(UINT /*nIDEvent*/) {
    Default();
}
void CWnd::OnClose() {
    Default();
}
void CWnd::OnDestroy() {
    Default();
}

void CWnd::OnNcDestroy() {
    HWND hWnd = m_hWnd;
    LONG_PTR pfnNow = ::GetWindowLongPtrA(hWnd, GWLP_WNDPROC);
    Default();
    if (m_pfnSuper != NULL && ::GetWindowLongPtrA(hWnd, GWLP_WNDPROC) == pfnNow)
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    afx::SetSuperProc(hWnd, NULL);
    m_pfnSuper = NULL;
    Detach();
    PostNcDestroy();
}

// ---------------------------------------------------------------------------------------------
// The modal loop

namespace {

// Offers the message to the objects of its window and the window's parents, innermost first.
BOOL WalkPreTranslate(MSG* pMsg) {
    for (HWND hWnd = pMsg->hwnd; hWnd != NULL; hWnd = ::GetParent(hWnd)) {
        CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
        if (pWnd != NULL && pWnd->PreTranslateMessage(pMsg))
            return TRUE;
    }
    return FALSE;
}

// Retrieves and dispatches one message; FALSE at WM_QUIT, which is posted again for the loops
// further out.
BOOL PumpMessage(MSG* pMsg) {
    BOOL bGot = ::GetMessageA(pMsg, NULL, 0, 0);
    if (bGot == 0) {
        ::PostQuitMessage(static_cast<int>(pMsg->wParam));
        return FALSE;
    }
    if (bGot == -1)
        return TRUE; // nothing retrieved
    if (!WalkPreTranslate(pMsg)) {
        ::TranslateMessage(pMsg);
        ::DispatchMessageA(pMsg);
    }
    return TRUE;
}

} // namespace

int CWnd::RunModalLoop(DWORD dwFlags) {
    BOOL bIdle = TRUE;
    LONG lIdleCount = 0;
    BOOL bShowIdle = (dwFlags & MLF_SHOWONIDLE) != 0 && (GetStyle() & WS_VISIBLE) == 0;
    HWND hWndParent = ::GetParent(m_hWnd);
    m_nFlags |= (WF_MODALLOOP | WF_CONTINUEMODAL);
    MSG msg = {};
    for (;;) {
        // Idle: the queue is empty.
        while (bIdle && !::PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE)) {
            if (!ContinueModal())
                goto ExitModal;
            if (bShowIdle) {
                ShowWindow(SW_SHOWNORMAL);
                bShowIdle = FALSE;
            }
            if ((dwFlags & MLF_NOIDLEMSG) == 0 && hWndParent != NULL && lIdleCount == 0)
                ::SendMessageA(hWndParent, WM_ENTERIDLE, MSGF_DIALOGBOX,
                               reinterpret_cast<LPARAM>(m_hWnd));
            if ((dwFlags & MLF_NOKICKIDLE) != 0 ||
                !SendMessage(WM_KICKIDLE, MSGF_DIALOGBOX, lIdleCount++))
                bIdle = FALSE;
        }
        // Busy: pump while messages are there.
        do {
            if (!ContinueModal())
                goto ExitModal;
            if (!PumpMessage(&msg)) {
                m_nFlags &= ~(WF_MODALLOOP | WF_CONTINUEMODAL);
                return -1;
            }
            if (bShowIdle && msg.message == WM_TIMER) {
                ShowWindow(SW_SHOWNORMAL);
                bShowIdle = FALSE;
            }
            if (!ContinueModal())
                goto ExitModal;
            if (msg.message != WM_TIMER && msg.message != WM_NULL) {
                bIdle = TRUE;
                lIdleCount = 0;
            }
        } while (::PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE));
    }
ExitModal:
    m_nFlags &= ~(WF_MODALLOOP | WF_CONTINUEMODAL);
    return m_nModalResult;
}

BOOL CWnd::ContinueModal() {
    return (m_nFlags & WF_CONTINUEMODAL) != 0;
}

void CWnd::EndModalLoop(int nResult) {
    m_nModalResult = nResult;
    if (m_nFlags & WF_CONTINUEMODAL) {
        m_nFlags &= ~WF_CONTINUEMODAL;
        PostMessage(WM_NULL);
    }
}

// ---------------------------------------------------------------------------------------------
// Thin wrappers

void CWnd::SetWindowText(LPCTSTR lpszString) {
    ::SetWindowTextA(m_hWnd, lpszString);
}

int CWnd::GetWindowText(LPTSTR lpszStringBuf, int nMaxCount) const {
    return ::GetWindowTextA(m_hWnd, lpszStringBuf, nMaxCount);
}

void CWnd::GetWindowText(CString& rString) const {
    int nLength = ::GetWindowTextLengthA(m_hWnd);
    if (nLength <= 0) {
        rString.Empty();
        return;
    }
    LPTSTR pBuffer = rString.GetBuffer(nLength + 1);
    int nGot = ::GetWindowTextA(m_hWnd, pBuffer, nLength + 1);
    rString.ReleaseBuffer(nGot < 0 ? 0 : nGot);
}

int CWnd::GetWindowTextLength() const {
    return ::GetWindowTextLengthA(m_hWnd);
}
BOOL CWnd::EnableWindow(BOOL bEnable) {
    return ::EnableWindow(m_hWnd, bEnable);
}
BOOL CWnd::IsWindowEnabled() const {
    return ::IsWindowEnabled(m_hWnd);
}
BOOL CWnd::ShowWindow(int nCmdShow) {
    return ::ShowWindow(m_hWnd, nCmdShow);
}
BOOL CWnd::IsWindowVisible() const {
    return ::IsWindowVisible(m_hWnd);
}
DWORD CWnd::GetStyle() const {
    return static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE));
}

DWORD CWnd::GetExStyle() const {
    return static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_EXSTYLE));
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags) {
    DWORD dwStyle = GetStyle();
    DWORD dwNewStyle = (dwStyle & ~dwRemove) | dwAdd;
    if (dwStyle == dwNewStyle)
        return FALSE;
    ::SetWindowLongA(m_hWnd, GWL_STYLE, static_cast<LONG>(dwNewStyle));
    if (nFlags != 0)
        ::SetWindowPos(m_hWnd, NULL, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    return TRUE;
}

int CWnd::GetDlgCtrlID() const {
    return ::GetDlgCtrlID(m_hWnd);
}
CWnd* CWnd::GetParent() const {
    return FromHandle(::GetParent(m_hWnd));
}
CWnd* CWnd::GetOwner() const {
    return FromHandle(::GetWindow(m_hWnd, GW_OWNER));
}
CWnd* CWnd::SetFocus() {
    return FromHandle(::SetFocus(m_hWnd));
}
CWnd* PASCAL CWnd::GetFocus() {
    return FromHandle(::GetFocus());
}
void CWnd::SetRedraw(BOOL bRedraw) {
    ::SendMessageA(m_hWnd, WM_SETREDRAW, bRedraw, 0);
}
void CWnd::Invalidate(BOOL bErase) {
    ::InvalidateRect(m_hWnd, NULL, bErase);
}
void CWnd::UpdateWindow() {
    ::UpdateWindow(m_hWnd);
}

BOOL CWnd::SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags) {
    return ::SetWindowPos(m_hWnd, pWndInsertAfter != NULL ? pWndInsertAfter->m_hWnd : NULL, x, y,
                          cx, cy, nFlags);
}

void CWnd::GetWindowRect(LPRECT lpRect) const {
    ::GetWindowRect(m_hWnd, lpRect);
}
void CWnd::GetClientRect(LPRECT lpRect) const {
    ::GetClientRect(m_hWnd, lpRect);
}

CWnd* CWnd::GetDlgItem(int nID) const {
    return FromHandle(::GetDlgItem(m_hWnd, nID));
}

void CWnd::SetDlgItemText(int nID, LPCTSTR lpszString) {
    ::SetDlgItemTextA(m_hWnd, nID, lpszString);
}

int CWnd::GetDlgItemText(int nID, LPTSTR lpStr, int nMaxCount) const {
    return static_cast<int>(::GetDlgItemTextA(m_hWnd, nID, lpStr, nMaxCount));
}

int CWnd::GetDlgItemText(int nID, CString& rString) const {
    rString.Empty();
    HWND hWndItem = ::GetDlgItem(m_hWnd, nID);
    if (hWndItem == NULL)
        return 0;
    FromHandle(hWndItem)->GetWindowText(rString);
    return rString.GetLength();
}

void CWnd::CheckDlgButton(int nIDButton, UINT nCheck) {
    ::CheckDlgButton(m_hWnd, nIDButton, nCheck);
}

UINT CWnd::IsDlgButtonChecked(int nIDButton) const {
    return ::IsDlgButtonChecked(m_hWnd, nIDButton);
}

LRESULT CWnd::SendDlgItemMessage(int nID, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendDlgItemMessageA(m_hWnd, nID, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer) {
    return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) {
    return ::KillTimer(m_hWnd, nIDEvent);
}

CMenu* CWnd::GetSystemMenu(BOOL bRevert) const {
    return CMenu::FromHandle(::GetSystemMenu(m_hWnd, bRevert));
}

int CWnd::MessageBox(LPCTSTR lpszText, LPCTSTR lpszCaption, UINT nType) {
    if (lpszCaption == NULL)
        lpszCaption = AfxGetAppName();
    return ::MessageBoxA(m_hWnd, lpszText, lpszCaption, nType);
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (CUserException* e) {
        e->Delete();
        return FALSE;
    }
    return TRUE;
}

// ---------------------------------------------------------------------------------------------
// Menus

IMPLEMENT_DYNAMIC(CMenu, CObject)

namespace {

afx::TempMap<HMENU, CMenu>& TempMenus() {
    thread_local afx::TempMap<HMENU, CMenu> map(&CMenu::m_hMenu);
    return map;
}

} // namespace

CMenu::CMenu() : m_hMenu(NULL) {}

// The system menu belongs to its window; a CMenu never destroys the menu it wraps.
CMenu::~CMenu() = default;

CMenu* PASCAL CMenu::FromHandle(HMENU hMenu) {
    if (hMenu == NULL)
        return NULL;
    return TempMenus().Get(hMenu);
}

BOOL CMenu::Attach(HMENU hMenu) {
    if (hMenu == NULL || m_hMenu != NULL)
        return FALSE;
    m_hMenu = hMenu;
    return TRUE;
}

HMENU CMenu::Detach() {
    HMENU hMenu = m_hMenu;
    m_hMenu = NULL;
    return hMenu;
}

UINT CMenu::EnableMenuItem(UINT nIDEnableItem, UINT nEnable) {
    return static_cast<UINT>(::EnableMenuItem(m_hMenu, nIDEnableItem, nEnable));
}

UINT CMenu::GetMenuState(UINT nID, UINT nFlags) const {
    return ::GetMenuState(m_hMenu, nID, nFlags);
}

UINT CMenu::GetMenuItemCount() const {
    return static_cast<UINT>(::GetMenuItemCount(m_hMenu));
}
