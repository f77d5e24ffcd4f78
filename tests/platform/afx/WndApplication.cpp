// The application object and the framework's message boxes: their caption, owner and icon.
#include "platform/afx/DialogTestKit.h"

#include <gtest/gtest.h>

using namespace dlgtest;

namespace {

// Shows one framework message box from inside a modal dialog and records it.
class CAskingDlg : public CDialog {
public:
    CAskingDlg() { InitModalIndirect(StandardTemplate()); }
    UINT type = MB_OK;
    bool throughWindow = false;
    int answer = 0;
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        PostMessage(WM_APP);
        return TRUE;
    }
    LRESULT OnAsk(WPARAM, LPARAM) {
        answer = throughWindow ? MessageBox("Through the window", NULL, type)
                               : AfxMessageBox("Make New Folder", type);
        EndDialog(IDOK);
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CAskingDlg, CDialog)
ON_MESSAGE(WM_APP, &CAskingDlg::OnAsk)
END_MESSAGE_MAP()

emu::MessageBoxInfo Ask(UINT type, bool throughWindow, HWND* dialogOut = nullptr) {
    Watchdog watchdog("the message box");
    BoxRecorder boxes;
    CAskingDlg dialog;
    dialog.type = type;
    dialog.throughWindow = throughWindow;
    dialog.DoModal();
    std::vector<emu::MessageBoxInfo> shown = boxes.Boxes();
    EXPECT_EQ(1u, shown.size());
    if (dialogOut != nullptr)
        *dialogOut = shown.empty() ? NULL : shown[0].owner;
    return shown.empty() ? emu::MessageBoxInfo() : shown[0];
}

} // namespace

TEST(WndApplication, FirstApplicationObjectGivesItsTitleToMessageBoxes) {
    EXPECT_EQ(nullptr, AfxGetApp());
    EXPECT_STREQ("", AfxGetAppName());
    {
        CWinApp app("Vantel Test");
        CWinApp second("Another");
        EXPECT_EQ(&app, AfxGetApp());
        EXPECT_STREQ("Vantel Test", AfxGetAppName());

        HWND owner = NULL;
        emu::MessageBoxInfo box = Ask(MB_OK, false, &owner);
        EXPECT_EQ("Vantel Test", box.caption);
        EXPECT_EQ("Make New Folder", box.text);
        EXPECT_NE(nullptr, owner); // the dialog the user is in
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), box.type);

        EXPECT_EQ("Vantel Test", Ask(MB_OK, true).caption);
    }
    EXPECT_EQ(nullptr, AfxGetApp());
}

TEST(WndApplication, IconIsChosenOnlyWhenTheTypeNamesNone) {
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION), Ask(MB_YESNO, false).type);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONHAND), Ask(MB_OK | MB_ICONHAND, false).type);
    EXPECT_EQ(static_cast<UINT>(MB_RETRYCANCEL), Ask(MB_RETRYCANCEL, false).type);
    // A window's own message box takes its type as given.
    EXPECT_EQ(static_cast<UINT>(MB_OK), Ask(MB_OK, true).type);
}

TEST(WndApplication, MainWindowOwnsTheApplicationsMessageBoxes) {
    CWinApp app("Owner Test");
    CDialog main;
    ASSERT_TRUE(main.CreateIndirect(StandardTemplate()));
    app.m_pMainWnd = &main;
    HWND owner = NULL;
    Ask(MB_OK, false, &owner);
    EXPECT_EQ(main.m_hWnd, owner);
    app.m_pMainWnd = NULL;
    main.DestroyWindow();
}
