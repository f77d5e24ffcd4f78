// The application object and the framework's message boxes: their caption, owner and icon.
#include "platform/afx/DialogTestKit.h"

#include <gtest/gtest.h>

using namespace dlgtest;

namespace {

// Shows one message box from inside a modal dialog: the framework's, or the window's own.
class CAskingDlg : public CDialog {
public:
    CAskingDlg() { InitModalIndirect(StandardTemplate()); }
    UINT type = MB_OK;
    bool throughWindow = false;
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        PostMessage(WM_APP);
        return TRUE;
    }
    LRESULT OnAsk(WPARAM, LPARAM) {
        if (throughWindow)
            MessageBox("Through the window", NULL, type);
        else
            AfxMessageBox("Make New Folder", type);
        EndDialog(IDOK);
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CAskingDlg, CDialog)
ON_MESSAGE(WM_APP, &CAskingDlg::OnAsk)
END_MESSAGE_MAP()

emu::MessageBoxInfo Ask(UINT type, bool throughWindow = false) {
    Watchdog watchdog("the message box");
    BoxRecorder boxes;
    CAskingDlg dialog;
    dialog.type = type;
    dialog.throughWindow = throughWindow;
    dialog.DoModal();
    std::vector<emu::MessageBoxInfo> shown = boxes.Boxes();
    EXPECT_EQ(1u, shown.size());
    return shown.empty() ? emu::MessageBoxInfo() : shown[0];
}

} // namespace

TEST(WndApplication, FirstApplicationObjectGivesItsTitleToMessageBoxesWithTheirIcon) {
    EXPECT_EQ(nullptr, AfxGetApp());
    {
        CWinApp app("Vantel Test");
        CWinApp second("Another");
        EXPECT_EQ(&app, AfxGetApp());
        emu::MessageBoxInfo box = Ask(MB_OK);
        EXPECT_EQ("Vantel Test", box.caption);
        EXPECT_EQ("Make New Folder", box.text);
        EXPECT_NE(nullptr, box.owner); // the dialog the user is in
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), box.type);
        // A window's own message box takes its type as given.
        box = Ask(MB_OK, true);
        EXPECT_EQ("Vantel Test", box.caption);
        EXPECT_EQ(static_cast<UINT>(MB_OK), box.type);

        CDialog main; // the main window owns the application's message boxes
        ASSERT_TRUE(main.CreateIndirect(StandardTemplate()));
        app.m_pMainWnd = &main;
        EXPECT_EQ(main.m_hWnd, Ask(MB_OK).owner);
        app.m_pMainWnd = NULL;
        main.DestroyWindow();
    }
    EXPECT_EQ(nullptr, AfxGetApp());
}
