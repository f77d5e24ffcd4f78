// Message maps: which handler each kind of entry reaches, with what arguments, and how a
// derived class's map takes precedence over its base's, driven through OnWndMsg (the dialog
// tests drive maps through real windows: posted messages, clicks on bound controls).
#include "stdafx.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const UINT WM_APP_PING = WM_APP + 7;

class CBaseTarget : public CWnd {
public:
    std::string call; // the last handler reached, with its arguments

    void OnOk() { call = "base:ok"; }
    void OnHelp() { call = "base:help"; }
    afx_msg void OnTimer(UINT nIDEvent) { call = "base:timer " + std::to_string(nIDEvent); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseTarget, CWnd)
ON_COMMAND(IDOK, &CBaseTarget::OnOk)
ON_COMMAND(IDHELP, &CBaseTarget::OnHelp)
ON_WM_TIMER()
END_MESSAGE_MAP()

class CDerivedTarget : public CBaseTarget {
public:
    void OnOkClicked() { call = "derived:ok"; }
    void OnListDblClk(NMHDR* pNMHDR, LRESULT* pResult) {
        call = "derived:dblclk " + std::to_string(pNMHDR->idFrom);
        *pResult = 77;
    }
    LRESULT OnPing(WPARAM wParam, LPARAM lParam) {
        call = "derived:ping " + std::to_string(wParam) + " " + std::to_string(lParam);
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

TEST(WndMessageMap, EachEntryReachesItsHandlerWithItsArgumentsAndResult) {
    const HWND sender = reinterpret_cast<HWND>(0x10);
    NMHDR dblclk = {sender, 9029, NM_DBLCLK}, click = {sender, 9029, NM_CLICK},
          other = {sender, 9030, NM_DBLCLK}, anonymous = {NULL, 9029, NM_DBLCLK};
    auto notify = [](NMHDR& header) { return reinterpret_cast<LPARAM>(&header); };
    const struct {
        const char* what;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        const char* call; // "" when no handler is reached
        LRESULT result;
    } cases[] = {
        {"derived click over base command", WM_COMMAND, MAKELONG(IDOK, BN_CLICKED), 0, "derived:ok",
         1},
        {"base command", WM_COMMAND, MAKELONG(IDHELP, BN_CLICKED), 0, "base:help", 1},
        {"no entry for the id", WM_COMMAND, MAKELONG(IDCANCEL, BN_CLICKED), 0, "", 0},
        {"no entry for the code", WM_COMMAND, MAKELONG(IDHELP, EN_CHANGE), 0x1234, "", 0},
        {"notification", WM_NOTIFY, 9029, notify(dblclk), "derived:dblclk 9029", 77},
        {"other notification code", WM_NOTIFY, 9029, notify(click), "", 0},
        {"other control", WM_NOTIFY, 9030, notify(other), "", 0},
        {"no sender window", WM_NOTIFY, 9029, notify(anonymous), "", 0},
        {"private message", WM_APP_PING, 11, 22, "derived:ping 11 22", 4242},
        {"base's timer", WM_TIMER, 5, 0, "base:timer 5", 0},
        {"no entry", WM_APP_PING + 1, 0, 0, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CDerivedTarget target;
        LRESULT result = 0;
        EXPECT_EQ(c.call[0] != 0, target.OnWndMsg(c.message, c.wParam, c.lParam, &result) != 0);
        EXPECT_EQ(c.call, target.call);
        EXPECT_EQ(c.result, result);
    }
}
