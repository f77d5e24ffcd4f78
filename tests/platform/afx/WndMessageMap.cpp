// Message maps: which handler each kind of entry reaches, with what arguments, and how a
// derived class's map takes precedence over its base's. Dispatch is driven both directly
// (OnWndMsg, OnCmdMsg) and through real windows (SendMessage, PostMessage, timers).
#include "stdafx.h"

#include <afxcmn.h>
#include <gtest/gtest.h>

#include "resources/DialogTemplates.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

const UINT WM_APP_PING = WM_APP + 7;

class CBaseTarget : public CWnd {
public:
    std::vector<std::string> calls;
    UINT lastTimer = 0;

    void OnOk() { calls.push_back("base:ok"); }
    void OnHelp() { calls.push_back("base:help"); }
    afx_msg void OnTimer(UINT nIDEvent) {
        lastTimer = nIDEvent;
        calls.push_back("base:timer");
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseTarget, CWnd)
ON_COMMAND(IDOK, &CBaseTarget::OnOk)
ON_COMMAND(IDHELP, &CBaseTarget::OnHelp)
ON_WM_TIMER()
END_MESSAGE_MAP()

class CDerivedTarget : public CBaseTarget {
public:
    WPARAM pingW = 0;
    LPARAM pingL = 0;
    NMHDR* lastNotify = nullptr;

    void OnOkClicked() { calls.push_back("derived:ok"); }
    void OnListDblClk(NMHDR* pNMHDR, LRESULT* pResult) {
        lastNotify = pNMHDR;
        calls.push_back("derived:dblclk");
        *pResult = 77;
    }
    LRESULT OnPing(WPARAM wParam, LPARAM lParam) {
        pingW = wParam;
        pingL = lParam;
        calls.push_back("derived:ping");
        return 4242;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedTarget, CBaseTarget)
ON_BN_CLICKED(IDOK, &CDerivedTarget::OnOkClicked)
ON_NOTIFY(NM_DBLCLK, 9029, &CDerivedTarget::OnListDblClk)
ON_MESSAGE(WM_APP_PING, &CDerivedTarget::OnPing)
END_MESSAGE_MAP()

} // namespace

TEST(WndMessageMap, CommandsGoToTheMostDerivedEntryThenToTheBase) {
    CDerivedTarget target;
    LRESULT result = 0;
    EXPECT_TRUE(target.OnWndMsg(WM_COMMAND, MAKELONG(IDOK, BN_CLICKED), 0, &result));
    EXPECT_EQ(1, result);
    EXPECT_TRUE(target.OnWndMsg(WM_COMMAND, MAKELONG(IDHELP, BN_CLICKED), 0, &result));
    // An id with no entry, and a notification code with no entry, are not handled.
    EXPECT_FALSE(target.OnWndMsg(WM_COMMAND, MAKELONG(IDCANCEL, BN_CLICKED), 0, &result));
    EXPECT_FALSE(target.OnWndMsg(WM_COMMAND, MAKELONG(IDHELP, EN_CHANGE), 0x1234, &result));
    std::vector<std::string> expected = {"derived:ok", "base:help"};
    EXPECT_EQ(expected, target.calls);

    CBaseTarget base;
    EXPECT_TRUE(base.OnWndMsg(WM_COMMAND, MAKELONG(IDOK, BN_CLICKED), 0, &result));
    EXPECT_EQ(std::vector<std::string>{"base:ok"}, base.calls);
}

TEST(WndMessageMap, NotificationsMatchCodeAndSenderAndSetTheResult) {
    CDerivedTarget target;
    NMHDR header = {reinterpret_cast<HWND>(0x10), 9029, NM_DBLCLK};
    LRESULT result = 0;
    EXPECT_TRUE(target.OnWndMsg(WM_NOTIFY, 9029, reinterpret_cast<LPARAM>(&header), &result));
    EXPECT_EQ(77, result);
    EXPECT_EQ(&header, target.lastNotify);

    // Another code or another control does not reach the handler; nor does a notification
    // without a sender window.
    NMHDR click = {reinterpret_cast<HWND>(0x10), 9029, NM_CLICK};
    EXPECT_FALSE(target.OnWndMsg(WM_NOTIFY, 9029, reinterpret_cast<LPARAM>(&click), &result));
    NMHDR other = {reinterpret_cast<HWND>(0x10), 9030, NM_DBLCLK};
    EXPECT_FALSE(target.OnWndMsg(WM_NOTIFY, 9030, reinterpret_cast<LPARAM>(&other), &result));
    NMHDR anonymous = {NULL, 9029, NM_DBLCLK};
    EXPECT_FALSE(target.OnWndMsg(WM_NOTIFY, 9029, reinterpret_cast<LPARAM>(&anonymous), &result));
    EXPECT_EQ(1, std::count(target.calls.begin(), target.calls.end(), "derived:dblclk"));
}

TEST(WndMessageMap, WindowMessagesPassTheirParametersAndResult) {
    CDerivedTarget target;
    LRESULT result = 0;
    EXPECT_TRUE(target.OnWndMsg(WM_APP_PING, 11, 22, &result));
    EXPECT_EQ(4242, result);
    EXPECT_EQ(11u, target.pingW);
    EXPECT_EQ(22, target.pingL);
    EXPECT_TRUE(target.OnWndMsg(WM_TIMER, 5, 0, &result));
    EXPECT_EQ(5u, target.lastTimer);
    EXPECT_FALSE(target.OnWndMsg(WM_APP_PING + 1, 0, 0, &result));
    std::vector<std::string> expected = {"derived:ping", "base:timer"};
    EXPECT_EQ(expected, target.calls);
}

// Through real windows: a dialog whose map handles a button click, a timer, a notification
// and a private message.
namespace {

const DIALOGCONTROL kControls[] = {
    {IDOK, "Button", WS_VISIBLE | BS_DEFPUSHBUTTON, "OK", 10, 10, 50, 14},
    {9025, "Button", WS_VISIBLE, "One", 10, 30, 50, 14},
    {9029, WC_LISTVIEWA, WS_VISIBLE | LVS_SMALLICON, "", 10, 50, 100, 50},
};
const DIALOGRESOURCE kDialog = {
    1,         "Map Test", WS_POPUP | WS_CAPTION | WS_SYSMENU, "MS Shell Dlg", 8, 0, 0, 150, 110,
    kControls, 3};

class CMapDlg : public CDialog {
public:
    std::vector<std::string> calls;
    int timerTicks = 0;
    LRESULT notifyResult = 0;

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        SetTimer(3, 10, NULL);
        return TRUE;
    }
    void OnOne() {
        calls.push_back("one");
        // A notification sent to the dialog comes back with the handler's result.
        NMHDR header = {::GetDlgItem(m_hWnd, 9029), 9029, NM_DBLCLK};
        notifyResult = SendMessage(WM_NOTIFY, 9029, reinterpret_cast<LPARAM>(&header));
    }
    void OnListDblClk(NMHDR* /*pNMHDR*/, LRESULT* pResult) {
        calls.push_back("dblclk");
        *pResult = 31;
    }
    afx_msg void OnTimer(UINT nIDEvent) {
        if (nIDEvent == 3 && ++timerTicks == 3) {
            KillTimer(3);
            PostMessage(WM_APP_PING, 1, 2);
        }
        CDialog::OnTimer(nIDEvent);
    }
    LRESULT OnPing(WPARAM, LPARAM) {
        calls.push_back("ping");
        // The button click goes through the control, as a user's would.
        ::SendMessageA(::GetDlgItem(m_hWnd, 9025), BM_CLICK, 0, 0);
        EndDialog(IDOK);
        return 0;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CMapDlg, CDialog)
ON_BN_CLICKED(9025, &CMapDlg::OnOne)
ON_NOTIFY(NM_DBLCLK, 9029, &CMapDlg::OnListDblClk)
ON_MESSAGE(WM_APP_PING, &CMapDlg::OnPing)
ON_WM_TIMER()
END_MESSAGE_MAP()

} // namespace

TEST(WndMessageMap, RealWindowsReachTheMapThroughTheirProcedure) {
    std::vector<BYTE> bytes;
    ASSERT_TRUE(BuildDialogTemplate(kDialog, bytes));
    CMapDlg dialog;
    ASSERT_TRUE(dialog.InitModalIndirect(reinterpret_cast<LPCDLGTEMPLATE>(bytes.data())));
    EXPECT_EQ(IDOK, dialog.DoModal());
    std::vector<std::string> expected = {"ping", "one", "dblclk"};
    EXPECT_EQ(expected, dialog.calls);
    EXPECT_EQ(3, dialog.timerTicks);
    EXPECT_EQ(31, dialog.notifyResult);
    EXPECT_EQ(NULL, dialog.m_hWnd);
}
