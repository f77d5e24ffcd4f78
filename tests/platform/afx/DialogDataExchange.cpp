// Dialog data exchange in both directions: texts, numbers and check states between members
// and controls, control objects bound to (and routed through) their controls, and what a
// value that does not validate or a missing control does.
#include "platform/afx/DialogTestKit.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace dlgtest;

namespace {

const UINT WM_APP_HELLO = WM_APP + 3;

// A button object with a map of its own: messages to the control reach it once bound.
class CHelloButton : public CButton {
public:
    int hellos = 0;
    LRESULT OnHello(WPARAM, LPARAM) {
        ++hellos;
        return 123;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CHelloButton, CButton)
ON_MESSAGE(WM_APP_HELLO, &CHelloButton::OnHello)
END_MESSAGE_MAP()

class CExchangeDlg : public CDialog {
public:
    CExchangeDlg() { InitModalIndirect(StandardTemplate()); }

    CString m_strName = "first name";
    int m_nCount = 12;
    int m_bFlag = 1;
    CString m_strLabel = "a label";
    CEdit m_editName;
    CHelloButton m_btnAction;
    int missingControl = 0; // non-zero: exchange with that control too
    int actions = 0;

    // What the test does once the dialog is up; the dialog ends with IDOK afterwards.
    std::function<void(CExchangeDlg&)> script;

    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, IDC_NAME, m_strName);
        DDX_Control(pDX, IDC_NAME, m_editName);
        DDX_Text(pDX, IDC_COUNT, m_nCount);
        DDX_Check(pDX, IDC_FLAG, m_bFlag);
        DDX_Text(pDX, IDC_LABEL, m_strLabel);
        DDX_Control(pDX, IDC_ACTION, m_btnAction);
        if (missingControl != 0)
            DDX_Text(pDX, missingControl, m_strLabel);
    }
    BOOL OnInitDialog() override {
        if (!CDialog::OnInitDialog())
            return FALSE;
        PostMessage(WM_APP);
        return TRUE;
    }
    void OnAction() { ++actions; }
    LRESULT OnScript(WPARAM, LPARAM) {
        if (script)
            script(*this);
        EndDialog(IDOK);
        return 0;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CExchangeDlg, CDialog)
ON_MESSAGE(WM_APP, &CExchangeDlg::OnScript)
ON_BN_CLICKED(IDC_ACTION, &CExchangeDlg::OnAction)
END_MESSAGE_MAP()

} // namespace

TEST(DialogDataExchange, InitialisationPushesTheMembersAndSavingTakesThemBack) {
    Watchdog watchdog("the exchange dialog");
    CExchangeDlg dialog;
    dialog.m_bFlag = 5; // outside the three states: pushed as unchecked
    std::string pushed;
    UINT flag = 99;
    BOOL saved = FALSE;
    dialog.script = [&](CExchangeDlg& d) {
        for (int id : {IDC_NAME, IDC_COUNT, IDC_LABEL})
            pushed += WindowText(::GetDlgItem(d.m_hWnd, id)) + "|";
        flag = ::IsDlgButtonChecked(d.m_hWnd, IDC_FLAG);
        ::SetDlgItemTextA(d.m_hWnd, IDC_NAME, "second name");
        ::SetDlgItemTextA(d.m_hWnd, IDC_COUNT, " -40 ");
        ::CheckDlgButton(d.m_hWnd, IDC_FLAG, BST_CHECKED);
        ::SetDlgItemTextA(d.m_hWnd, IDC_LABEL, "");
        saved = d.UpdateData(TRUE);
    };
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ("first name|12|a label|", pushed);
    EXPECT_EQ(static_cast<UINT>(BST_UNCHECKED), flag);
    EXPECT_TRUE(saved);
    EXPECT_STREQ("second name", dialog.m_strName);
    EXPECT_EQ(-40, dialog.m_nCount);
    EXPECT_EQ(1, dialog.m_bFlag);
    EXPECT_STREQ("", dialog.m_strLabel);
}

TEST(DialogDataExchange, ControlObjectsAreBoundOnceAndReceiveTheControlsMessages) {
    Watchdog watchdog("the exchange dialog");
    CExchangeDlg dialog;
    HWND hAction = NULL;
    CWnd* fromHandle = nullptr;
    HWND boundAfterSecondExchange = NULL;
    LRESULT hello = 0;
    int selStart = -1, selEnd = -1;
    dialog.script = [&](CExchangeDlg& d) {
        hAction = ::GetDlgItem(d.m_hWnd, IDC_ACTION);
        fromHandle = d.GetDlgItem(IDC_ACTION);
        d.UpdateData(FALSE);
        boundAfterSecondExchange = d.m_btnAction.m_hWnd;
        hello = ::SendMessageA(hAction, WM_APP_HELLO, 0, 0);
        d.m_editName.SetSel(0, -1);
        d.m_editName.GetSel(selStart, selEnd);
        // The control still behaves as itself: a click on the bound button notifies.
        ::SendMessageA(hAction, BM_CLICK, 0, 0);
    };
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ(&dialog.m_btnAction, fromHandle);
    EXPECT_EQ(hAction, boundAfterSecondExchange);
    EXPECT_EQ(123, hello);
    EXPECT_EQ(1, dialog.m_btnAction.hellos);
    EXPECT_EQ(1, dialog.actions);
    EXPECT_EQ(0, selStart);
    EXPECT_EQ(static_cast<int>(strlen("first name")), selEnd);
    // The dialog's end released the bound objects.
    EXPECT_EQ(NULL, dialog.m_btnAction.m_hWnd);
    EXPECT_EQ(NULL, dialog.m_editName.m_hWnd);
    EXPECT_FALSE(::IsWindow(hAction));
}

TEST(DialogDataExchange, NumberThatDoesNotValidateStopsTheExchangeAndKeepsTheDialogOpen) {
    Watchdog watchdog("the exchange dialog");
    BoxRecorder boxes;
    CExchangeDlg dialog;
    BOOL saved = TRUE, openAfterOk = FALSE;
    HWND focus = NULL, countEdit = NULL;
    DWORD selStart = 9, selEnd = 9;
    dialog.script = [&](CExchangeDlg& d) {
        countEdit = ::GetDlgItem(d.m_hWnd, IDC_COUNT);
        ::SetDlgItemTextA(d.m_hWnd, IDC_NAME, "changed");
        ::SetDlgItemTextA(d.m_hWnd, IDC_COUNT, "12x");
        ::CheckDlgButton(d.m_hWnd, IDC_FLAG, BST_UNCHECKED);
        saved = d.UpdateData(TRUE);
        focus = ::GetFocus();
        ::SendMessageA(countEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart),
                       reinterpret_cast<LPARAM>(&selEnd));
        ::SetDlgItemTextA(d.m_hWnd, IDC_COUNT, "99999999999");
        d.SendMessage(WM_COMMAND, IDOK, 0);
        openAfterOk = d.ContinueModal();
    };
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_FALSE(saved);
    // The members before the failing one took their values; the ones after did not.
    EXPECT_STREQ("changed", dialog.m_strName);
    EXPECT_EQ(12, dialog.m_nCount);
    EXPECT_EQ(1, dialog.m_bFlag);
    EXPECT_EQ(countEdit, focus);
    EXPECT_EQ(0u, selStart);
    EXPECT_EQ(3u, selEnd);
    EXPECT_TRUE(openAfterOk);
    std::vector<emu::MessageBoxInfo> shown = boxes.Boxes();
    ASSERT_EQ(2u, shown.size());
    EXPECT_EQ("Please enter an integer.", shown[0].text);
}

TEST(DialogDataExchange, MissingControlEndsTheDialogAtInitialisation) {
    Watchdog watchdog("the exchange dialog");
    CExchangeDlg dialog;
    dialog.missingControl = 999;
    bool scriptRan = false;
    dialog.script = [&](CExchangeDlg&) { scriptRan = true; };
    EXPECT_EQ(-1, dialog.DoModal());
    EXPECT_FALSE(scriptRan);
    EXPECT_EQ(NULL, dialog.m_btnAction.m_hWnd);
}
