// The control wrappers the dialogs use against real controls: the progress bar, the wait
// cursor, and the handle maps behind FromHandle.
#include "platform/afx/DialogTestKit.h"

#include <gtest/gtest.h>

#include <thread>

using namespace dlgtest;

namespace {

// A modeless dialog of the standard template, its controls bound to the wrappers.
class CControlsDlg : public CDialog {
public:
    CProgressCtrl m_progress;

    CControlsDlg() { EXPECT_TRUE(CreateIndirect(StandardTemplate())); }
    ~CControlsDlg() override { DestroyWindow(); }

    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_PROGRESS, m_progress); }
};

} // namespace

TEST(DialogControls, ProgressBarStepsWithinItsRangeAndIsReadFromAWorkerThread) {
    CControlsDlg dialog;
    ASSERT_NE(nullptr, dialog.m_progress.m_hWnd);
    dialog.m_progress.SetRange(0, 30);
    EXPECT_EQ(10, dialog.m_progress.SetStep(1)); // the control's own step was 10
    EXPECT_EQ(0, dialog.m_progress.SetPos(0));
    EXPECT_EQ(0, dialog.m_progress.StepIt());
    EXPECT_EQ(1, dialog.m_progress.StepIt());
    EXPECT_EQ(2, dialog.m_progress.SetPos(99));
    EXPECT_EQ(30, dialog.m_progress.SetPos(4)); // beyond the range it was clamped

    std::atomic<int> seen{-1};
    std::thread worker([&] { seen = dialog.m_progress.GetPos(); });
    // The worker's read is served while this thread retrieves messages.
    MSG msg;
    while (seen == -1) {
        if (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&msg);
    }
    worker.join();
    EXPECT_EQ(4, seen.load());
}

TEST(DialogControls, FromHandleWrapsWindowsWithoutObjectsAndKeepsBoundOnes) {
    CControlsDlg dialog;
    HWND hCancel = ::GetDlgItem(dialog.m_hWnd, IDCANCEL);
    CWnd* cancel = dialog.GetDlgItem(IDCANCEL); // a temporary wrapper, the same on this thread
    ASSERT_NE(nullptr, cancel);
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(hCancel));
    EXPECT_EQ(cancel, CWnd::FromHandle(hCancel));
    EXPECT_EQ(&dialog.m_progress, dialog.GetDlgItem(IDC_PROGRESS));
    EXPECT_EQ(nullptr, dialog.GetDlgItem(4711));
    EXPECT_EQ(nullptr, CWnd::FromHandle(NULL));
    cancel->SetWindowText("Stop"); // a wrapper acts on the window
    EXPECT_EQ("Stop", WindowText(hCancel));
}

TEST(DialogControls, WaitCursorShowsWhileItLasts) {
    HCURSOR arrow = ::LoadCursorA(NULL, IDC_ARROW);
    ::SetCursor(arrow);
    {
        CWaitCursor wait;
        EXPECT_EQ("wait", emu::CursorName(::GetCursor()));
    }
    EXPECT_EQ(arrow, ::GetCursor());
}
