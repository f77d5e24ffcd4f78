// The framework's window classes: command targets and message maps, CWnd with its handle
// map, dialogs with data exchange, the standard controls, menus, bitmaps, the wait cursor,
// the application object and the framework's message box. Included by afxwin.h; written
// over the Win32 API only.
#pragma once

#include "afx.h"

#include <windows.h>
#include <commctrl.h>

class CCmdTarget;
class CWnd;
class CMenu;
class CDataExchange;

#ifndef afx_msg
#define afx_msg
#endif

// ---------------------------------------------------------------------------------------------
// Message maps
//
// A message map is a static table per class. Each entry names a message (or a command or
// notification with the control it comes from) and a handler thunk: a plain function that
// casts the target to the class whose map holds the entry and calls its member. The tables of
// a class and of its bases form a chain that is searched from the most derived class up.

typedef LRESULT (*AFX_MSGTHUNK)(CCmdTarget* pTarget, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;    // WM_COMMAND, WM_NOTIFY or another window message; 0 ends the table
    UINT nCode;       // WM_COMMAND: the notification code; WM_NOTIFY: the code, 16 bits
    UINT nID;         // WM_COMMAND, WM_NOTIFY: the first control identifier
    UINT nLastID;     // ... and the last one
    AFX_MSGTHUNK pfn; // the handler
};

struct AFX_MSGMAP {
    const AFX_MSGMAP*(PASCAL* pfnGetBaseMap)(); // a class's GetThisMessageMap
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                                                                      \
protected:                                                                                         \
    static const AFX_MSGMAP* PASCAL GetThisMessageMap();                                           \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
    const AFX_MSGMAP* theClass::GetMessageMap() const {                                            \
        return GetThisMessageMap();                                                                \
    }                                                                                              \
    const AFX_MSGMAP* PASCAL theClass::GetThisMessageMap() {                                       \
        using ThisClass [[maybe_unused]] = theClass;                                               \
        using TheBaseClass = baseClass;                                                            \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                          \
    { 0, 0, 0, 0, NULL }                                                                           \
    }                                                                                              \
    ;                                                                                              \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]};  \
    return &messageMap;                                                                            \
    }

#define AFX_THUNK_CALL(call)                                                                       \
    [](CCmdTarget* pTarget, WPARAM wParam, LPARAM lParam) -> LRESULT {                             \
        ThisClass* pThis = static_cast<ThisClass*>(pTarget);                                       \
        (void)pThis;                                                                               \
        (void)wParam;                                                                              \
        (void)lParam;                                                                              \
        call;                                                                                      \
    }

// Handlers are named as members: ON_COMMAND(IDOK, &CMyDlg::OnOK).
#define ON_COMMAND(id, memberFxn)                                                                  \
    {                                                                                              \
        WM_COMMAND, 0, (UINT)(WORD)(id), (UINT)(WORD)(id),                                         \
            AFX_THUNK_CALL((pThis->*(memberFxn))(); return 0)                                      \
    }                                                                                              \
    ,
#define ON_COMMAND_RANGE(id, idLast, memberFxn)                                                    \
    {                                                                                              \
        WM_COMMAND, 0, (UINT)(WORD)(id), (UINT)(WORD)(idLast),                                     \
            AFX_THUNK_CALL((pThis->*(memberFxn))((UINT)LOWORD(wParam)); return 0)                  \
    }                                                                                              \
    ,
#define ON_CONTROL(wNotifyCode, id, memberFxn)                                                     \
    {                                                                                              \
        WM_COMMAND, (UINT)(WORD)(wNotifyCode), (UINT)(WORD)(id), (UINT)(WORD)(id),                 \
            AFX_THUNK_CALL((pThis->*(memberFxn))(); return 0)                                      \
    }                                                                                              \
    ,
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_BN_DOUBLECLICKED(id, memberFxn) ON_CONTROL(BN_DOUBLECLICKED, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)

// The handler: void OnXxx(NMHDR* pNMHDR, LRESULT* pResult).
#define ON_NOTIFY(wNotifyCode, id, memberFxn)                                                      \
    {                                                                                              \
        WM_NOTIFY, (UINT)(WORD)(int)(wNotifyCode), (UINT)(WORD)(id), (UINT)(WORD)(id),             \
            AFX_THUNK_CALL(LRESULT result = 0;                                                     \
                           (pThis->*(memberFxn))(reinterpret_cast<NMHDR*>(lParam), &result);       \
                           return result)                                                          \
    }                                                                                              \
    ,

// The handler: LRESULT OnXxx(WPARAM wParam, LPARAM lParam).
#define ON_MESSAGE(message, memberFxn)                                                             \
    {(UINT)(message), 0, 0, 0, AFX_THUNK_CALL(return (pThis->*(memberFxn))(wParam, lParam))},

#define ON_WM_TIMER()                                                                              \
    { WM_TIMER, 0, 0, 0, AFX_THUNK_CALL(pThis->OnTimer((UINT)wParam); return 0) }                  \
    ,
#define ON_WM_CLOSE()                                                                              \
    { WM_CLOSE, 0, 0, 0, AFX_THUNK_CALL(pThis->OnClose(); return 0) }                              \
    ,
#define ON_WM_DESTROY()                                                                            \
    { WM_DESTROY, 0, 0, 0, AFX_THUNK_CALL(pThis->OnDestroy(); return 0) }                          \
    ,
#define ON_WM_NCDESTROY()                                                                          \
    { WM_NCDESTROY, 0, 0, 0, AFX_THUNK_CALL(pThis->OnNcDestroy(); return 0) }                      \
    ,

// ---------------------------------------------------------------------------------------------
// Command targets

class CCmdTarget : public CObject {
    DECLARE_DYNAMIC(CCmdTarget)
public:
    CCmdTarget();
    ~CCmdTarget() override;

    // Routes a command (nCode a WM_COMMAND notification code) or, with nCode
    // MAKELONG(code, WM_NOTIFY) and pExtra the AFX_NOTIFY, a notification to the handler of
    // the message map. pHandlerInfo is not used (MFC's command-UI probing).
    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo);

    // The wait cursor, counted per thread.
    void BeginWaitCursor();
    void EndWaitCursor();
    void RestoreWaitCursor();

    // The first entry of the map chain for a window message (not a command or notification).
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT nMessage) const;

protected:
    // The root of the message maps, which DECLARE_MESSAGE_MAP overrides.
    static const AFX_MSGMAP* PASCAL GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

struct AFX_NOTIFY {
    LRESULT* pResult;
    NMHDR* pNMHDR;
};

// ---------------------------------------------------------------------------------------------
// Windows

// CWnd::m_nFlags
#define WF_CONTINUEMODAL 0x0001 // the modal loop goes on
#define WF_MODALLOOP 0x0002     // a modal loop runs for this window
#define WF_TEMPORARY 0x0004     // a wrapper made by FromHandle, owned by the handle map

// RunModalLoop flags
#define MLF_NOIDLEMSG 0x0001  // no WM_ENTERIDLE to the owner
#define MLF_NOKICKIDLE 0x0002 // no WM_KICKIDLE to the window
#define MLF_SHOWONIDLE 0x0004 // show the window when the queue first empties

#define WM_KICKIDLE 0x036A

class CWnd : public CCmdTarget {
    DECLARE_DYNAMIC(CWnd)
public:
    CWnd();
    ~CWnd() override;

    HWND m_hWnd;
    operator HWND() const { return m_hWnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The handle map. FromHandle gives the object attached to a window or, for a window that
    // has none, a temporary wrapper that lives until the calling thread ends; NULL for NULL.
    static CWnd* PASCAL FromHandle(HWND hWnd);
    static CWnd* PASCAL FromHandlePermanent(HWND hWnd);
    BOOL Attach(HWND hWndNew);
    HWND Detach();
    // Attaches the object and routes the window's messages through its message map; the
    // window's own procedure handles what the map does not.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    HWND UnsubclassWindow();

    virtual BOOL DestroyWindow();
    BOOL IsWindow() const { return ::IsWindow(m_hWnd); }

    // Text, state and style
    void SetWindowText(LPCTSTR lpszString);
    int GetWindowText(LPTSTR lpszStringBuf, int nMaxCount) const;
    void GetWindowText(CString& rString) const;
    int GetWindowTextLength() const;
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    int GetDlgCtrlID() const;
    CWnd* GetParent() const;
    CWnd* GetOwner() const;
    CWnd* SetFocus();
    static CWnd* PASCAL GetFocus();
    void SetRedraw(BOOL bRedraw = TRUE);
    void Invalidate(BOOL bErase = TRUE);
    void UpdateWindow();
    BOOL SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
    void GetWindowRect(LPRECT lpRect) const;
    void GetClientRect(LPRECT lpRect) const;

    // Children of a dialog
    CWnd* GetDlgItem(int nID) const;
    void SetDlgItemText(int nID, LPCTSTR lpszString);
    int GetDlgItemText(int nID, LPTSTR lpStr, int nMaxCount) const;
    int GetDlgItemText(int nID, CString& rString) const;
    void CheckDlgButton(int nIDButton, UINT nCheck);
    UINT IsDlgButtonChecked(int nIDButton) const;
    LRESULT SendDlgItemMessage(int nID, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Messages and timers
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer);
    BOOL KillTimer(UINT_PTR nIDEvent);
    CMenu* GetSystemMenu(BOOL bRevert) const;
    // Caption NULL: the application's title.
    int MessageBox(LPCTSTR lpszText, LPCTSTR lpszCaption = NULL, UINT nType = MB_OK);

    // Data exchange between the controls and the members (DoDataExchange). FALSE when a
    // control is missing or a value does not validate.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // Modal loops (CDialog::DoModal)
    int RunModalLoop(DWORD dwFlags = 0);
    virtual BOOL ContinueModal();
    virtual void EndModalLoop(int nResult);

    // Message processing
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    virtual void DoDataExchange(CDataExchange* pDX);
    // The default processing of the message being handled.
    LRESULT Default();
    static const MSG* PASCAL GetCurrentMessage();

    afx_msg void OnTimer(UINT nIDEvent);
    afx_msg void OnClose();
    afx_msg void OnDestroy();
    afx_msg void OnNcDestroy();

    // The window procedure of every window with an attached object.
    static LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    virtual void PreSubclassWindow();
    virtual void PostNcDestroy();

    WNDPROC m_pfnSuper; // the window's own procedure, for what the map does not handle
    UINT m_nFlags;
    int m_nModalResult;

    DECLARE_MESSAGE_MAP()
};

// Creation hook: the object that the next window created on this thread is attached to, from
// its first message on (CDialog uses it so that WM_INITDIALOG already reaches the map).
void AFXAPI AfxHookWindowCreate(CWnd* pWnd);
BOOL AFXAPI AfxUnhookWindowCreate();

// ---------------------------------------------------------------------------------------------
// Menus

class CMenu : public CObject {
    DECLARE_DYNAMIC(CMenu)
public:
    CMenu();
    ~CMenu() override;

    HMENU m_hMenu;
    operator HMENU() const { return m_hMenu; }
    HMENU GetSafeHmenu() const { return m_hMenu; }

    // A temporary wrapper (until the calling thread ends) for a menu; NULL for NULL.
    static CMenu* PASCAL FromHandle(HMENU hMenu);
    BOOL Attach(HMENU hMenu);
    HMENU Detach();

    // The previous state (MF_ENABLED, MF_GRAYED, MF_DISABLED), or -1 when there is no item.
    UINT EnableMenuItem(UINT nIDEnableItem, UINT nEnable);
    UINT GetMenuState(UINT nID, UINT nFlags) const;
    UINT GetMenuItemCount() const;
};

// ---------------------------------------------------------------------------------------------
// GDI objects

class CGdiObject : public CObject {
    DECLARE_DYNAMIC(CGdiObject)
public:
    CGdiObject();
    ~CGdiObject() override;

    HGDIOBJ m_hObject;
    operator HGDIOBJ() const { return m_hObject; }
    HGDIOBJ GetSafeHandle() const { return m_hObject; }

    BOOL Attach(HGDIOBJ hObject);
    HGDIOBJ Detach();
    BOOL DeleteObject();
    int GetObject(int nCount, LPVOID lpObject) const;
};

class CBitmap : public CGdiObject {
    DECLARE_DYNAMIC(CBitmap)
public:
    CBitmap();
    ~CBitmap() override;

    // Loads a bitmap resource, looked up through the chain of the application's modules.
    BOOL LoadBitmap(UINT nIDResource);
    BOOL LoadBitmap(LPCTSTR lpszResourceName);
    int GetBitmap(BITMAP* pBitMap);
    operator HBITMAP() const { return (HBITMAP)m_hObject; }
};

// ---------------------------------------------------------------------------------------------
// Standard controls: thin wrappers over the control messages

class CButton : public CWnd {
    DECLARE_DYNAMIC(CButton)
public:
    CButton();
    ~CButton() override;

    int GetCheck() const;
    void SetCheck(int nCheck);
    UINT GetState() const;
    void SetState(BOOL bHighlight);
    UINT GetButtonStyle() const;
    void SetButtonStyle(UINT nStyle, BOOL bRedraw = TRUE);
};

class CEdit : public CWnd {
    DECLARE_DYNAMIC(CEdit)
public:
    CEdit();
    ~CEdit() override;

    // nEndChar -1 selects to the end.
    void SetSel(int nStartChar, int nEndChar, BOOL bNoScroll = FALSE);
    void SetSel(DWORD dwSelection, BOOL bNoScroll = FALSE);
    DWORD GetSel() const;
    void GetSel(int& nStartChar, int& nEndChar) const;
    void ReplaceSel(LPCTSTR lpszNewText, BOOL bCanUndo = FALSE);
    void SetLimitText(UINT nMax);
    void LimitText(int nChars = 0);
    UINT GetLimitText() const;
};

class CStatic : public CWnd {
    DECLARE_DYNAMIC(CStatic)
public:
    CStatic();
    ~CStatic() override;
};

// ---------------------------------------------------------------------------------------------
// Dialogs

class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)
public:
    CDialog();
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = NULL);
    explicit CDialog(LPCTSTR lpszTemplateName, CWnd* pParentWnd = NULL);
    ~CDialog() override;

    // Modal: creates the dialog from its template (found through the chain of the
    // application's modules), disables the owner, runs the modal loop until EndDialog, then
    // hides the dialog, enables the owner and calls the virtual DestroyWindow. Returns the
    // result given to EndDialog, or -1 when the dialog cannot be created.
    virtual INT_PTR DoModal();
    BOOL InitModalIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd = NULL);

    // Modeless
    virtual BOOL Create(LPCTSTR lpszTemplateName, CWnd* pParentWnd = NULL);
    virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = NULL);
    virtual BOOL CreateIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd = NULL,
                                HINSTANCE hInst = NULL);

    void EndDialog(int nResult);
    void GotoDlgCtrl(CWnd* pWndCtrl);
    void SetDefID(UINT nID);
    DWORD GetDefID() const;

    // Runs the data exchange towards the controls; TRUE gives the first control the focus.
    virtual BOOL OnInitDialog();
    // Takes the controls' values into the members and, when they validate, ends with IDOK.
    virtual void OnOK();
    // Ends with IDCANCEL.
    virtual void OnCancel();

    BOOL PreTranslateMessage(MSG* pMsg) override;

    // The dialog procedure of every framework dialog.
    static INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    BOOL CreateDlgIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd, HINSTANCE hInst);
    HWND PreModal();
    void PostModal();

    LPCTSTR m_lpszTemplateName; // a name, or MAKEINTRESOURCE of an identifier
    UINT m_nIDHelp;
    LPCDLGTEMPLATE m_lpDialogTemplate;
    CWnd* m_pParentWnd;
    HWND m_hWndTop;

    DECLARE_MESSAGE_MAP()

private:
    LPCDLGTEMPLATE FindTemplate(HINSTANCE* phInst) const;
};

// ---------------------------------------------------------------------------------------------
// Dialog data exchange

class CUserException : public CSimpleException {
    DECLARE_DYNAMIC(CUserException)
public:
    explicit CUserException(BOOL bAutoDelete = TRUE) : CSimpleException(bAutoDelete) {}

protected:
    LPCTSTR GetMessageText() const override;
};

[[noreturn]] void AFXAPI AfxThrowUserException();

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate);

    BOOL m_bSaveAndValidate; // TRUE: controls to members; FALSE: members to controls
    CWnd* m_pDlgWnd;

    // The control's window; a missing control fails the exchange.
    HWND PrepareCtrl(int nIDC);
    HWND PrepareEditCtrl(int nIDC);
    // Ends the exchange (throws CUserException, which UpdateData catches): the control last
    // prepared gets the focus, an edit control's text is selected.
    [[noreturn]] void Fail();

    int m_idLastControl;
    BOOL m_bEditLastControl;
};

// Binds a control object to the dialog's control (subclassing it) once.
void AFXAPI DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
// Fails with the message "Please enter an integer." when the text is not one.
void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, int& value);
void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, UINT& value);
// The check state: 0 unchecked, 1 checked, 2 indeterminate.
void AFXAPI DDX_Check(CDataExchange* pDX, int nIDC, int& value);

// ---------------------------------------------------------------------------------------------
// The wait cursor

class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
    void Restore();
};

// ---------------------------------------------------------------------------------------------
// The application (CWinApp is declared with the threads, in afxwinapp.h)

class CWinApp;

CWinApp* AFXAPI AfxGetApp();
LPCTSTR AFXAPI AfxGetAppName();
CWnd* AFXAPI AfxGetMainWnd();
HINSTANCE AFXAPI AfxGetInstanceHandle();
int AFXAPI AfxMessageBox(LPCTSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);

#include "afxdll_.h"
