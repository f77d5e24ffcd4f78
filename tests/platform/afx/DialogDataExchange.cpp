// Dialog data exchange of control objects: bound to (and routed through) their controls, and
// released at the dialog's end. Texts and check states are exchanged by the dialogs' own tests.
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
    CEdit m_editName;
    CHelloButton m_btnAction;
    int actions = 0;

    // What the test does once the dialog is up; the dialog ends with IDOK afterwards.
    std::function<void(CExchangeDlg&)> script;

    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, IDC_NAME, m_strName);
        DDX_Control(pDX, IDC_NAME, m_editName);
        DDX_Control(pDX, IDC_ACTION, m_btnAction);
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
