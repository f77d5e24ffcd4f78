// The control wrappers the dialogs use against real controls: progress bar, list view, the
// wait cursor, and the handle maps behind FromHandle.
#include "platform/afx/DialogTestKit.h"

#include <gtest/gtest.h>

#include <thread>

using namespace dlgtest;

namespace {

// A modeless dialog of the standard template, its controls bound to the wrappers.
class CControlsDlg : public CDialog {
public:
    CProgressCtrl m_progress;
    CListCtrl m_list;

    CControlsDlg() { EXPECT_TRUE(CreateIndirect(StandardTemplate())); }
    ~CControlsDlg() override { DestroyWindow(); }

    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, IDC_PROGRESS, m_progress);
        DDX_Control(pDX, IDC_LIST, m_list);
    }
};

int CALLBACK ByNameDescending(LPARAM a, LPARAM b, LPARAM list) {
    CListCtrl* pList = reinterpret_cast<CListCtrl*>(list);
    LVFINDINFO find = {};
    find.flags = LVFI_PARAM;
    find.lParam = a;
    CString textA = pList->GetItemText(pList->FindItem(&find), 0);
    find.lParam = b;
    CString textB = pList->GetItemText(pList->FindItem(&find), 0);
    return -textA.Compare(textB);
}

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

TEST(DialogControls, ListItemsTextDataSelectionAndSorting) {
    CControlsDlg dialog;
    CListCtrl& list = dialog.m_list;
    EXPECT_EQ(0, list.InsertItem(0, "beta", 12));
    EXPECT_EQ(1, list.InsertItem(1, "alpha"));
    EXPECT_EQ(2, list.InsertItem(LVIF_TEXT | LVIF_PARAM, 2, "gamma", 0, 0, 0, 33));
    EXPECT_EQ(3, list.GetItemCount());
    EXPECT_STREQ("alpha", list.GetItemText(1, 0));
    LVITEM item = {};
    item.mask = LVIF_IMAGE;
    ASSERT_TRUE(list.GetItem(&item));
    EXPECT_EQ(12, item.iImage);

    for (int i = 0; i < 3; ++i)
        list.SetItemData(i, static_cast<DWORD_PTR>(i + 1));
    EXPECT_TRUE(list.SortItems(&ByNameDescending, reinterpret_cast<DWORD_PTR>(&list)));
    EXPECT_STREQ("gamma", list.GetItemText(0, 0));
    EXPECT_STREQ("alpha", list.GetItemText(2, 0));

    EXPECT_EQ(-1, list.GetNextItem(-1, LVNI_SELECTED));
    ASSERT_TRUE(list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED));
    EXPECT_EQ(1, list.GetNextItem(-1, LVNI_SELECTED));
    EXPECT_TRUE(list.SetItemText(1, 0, "BETA"));
    EXPECT_STREQ("BETA", list.GetItemText(1, 0));
    EXPECT_TRUE(list.DeleteAllItems());
    EXPECT_EQ(0, list.GetItemCount());
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
