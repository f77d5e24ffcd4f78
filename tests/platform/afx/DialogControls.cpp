// The control wrappers against real controls: progress bar, list view, image list, button,
// edit, the system menu, the wait cursor, and the handle maps behind FromHandle.
#include "platform/afx/DialogTestKit.h"

#include <afxcmn.h>
#include <gtest/gtest.h>

#include "resources/DesignImages.h"

#include <string>
#include <thread>

using namespace dlgtest;

namespace {

const int IDC_PROGRESS = 200;
const int IDC_LIST = 201;

// A modeless dialog with the standard controls, a progress bar and a list view.
class CControlsDlg : public CDialog {
public:
    CProgressCtrl m_progress;
    CListCtrl m_list;
    CButton m_flag;
    CEdit m_name;

    CControlsDlg() {
        static const DIALOGCONTROL controls[] = {
            {IDCANCEL, "Button", WS_VISIBLE, "Cancel", 5, 5, 50, 14},
            {IDC_NAME, "Edit", WS_VISIBLE | WS_BORDER, "abcdef", 5, 25, 80, 12},
            {IDC_FLAG, "Button", WS_VISIBLE | BS_AUTOCHECKBOX, "Flag", 5, 40, 80, 10},
            {IDC_PROGRESS, PROGRESS_CLASSA, WS_VISIBLE, "", 5, 55, 100, 10},
            {IDC_LIST, WC_LISTVIEWA, WS_VISIBLE | LVS_SMALLICON | LVS_SINGLESEL, "", 5, 70, 100,
             60},
        };
        static const DIALOGRESOURCE dialog = {1,
                                              "Controls",
                                              WS_POPUP | WS_CAPTION | WS_SYSMENU,
                                              "MS Shell Dlg",
                                              8,
                                              0,
                                              0,
                                              150,
                                              140,
                                              controls,
                                              5};
        static LPCDLGTEMPLATE bytes = Template(dialog);
        EXPECT_TRUE(CreateIndirect(bytes));
    }
    ~CControlsDlg() override { DestroyWindow(); }

    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, IDC_PROGRESS, m_progress);
        DDX_Control(pDX, IDC_LIST, m_list);
        DDX_Control(pDX, IDC_FLAG, m_flag);
        DDX_Control(pDX, IDC_NAME, m_name);
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

TEST(DialogControls, ProgressBarRangeStepAndPosition) {
    CControlsDlg dialog;
    ASSERT_NE(nullptr, dialog.m_progress.m_hWnd);
    dialog.m_progress.SetRange(0, 30);
    int lower = -1, upper = -1;
    dialog.m_progress.GetRange(lower, upper);
    EXPECT_EQ(0, lower);
    EXPECT_EQ(30, upper);
    EXPECT_EQ(10, dialog.m_progress.SetStep(1)); // the control's own step was 10
    EXPECT_EQ(0, dialog.m_progress.SetPos(0));
    EXPECT_EQ(0, dialog.m_progress.StepIt());
    EXPECT_EQ(1, dialog.m_progress.StepIt());
    EXPECT_EQ(2, dialog.m_progress.GetPos());
    EXPECT_EQ(2, dialog.m_progress.OffsetPos(5));
    EXPECT_EQ(7, dialog.m_progress.GetPos());
    EXPECT_EQ(7, dialog.m_progress.SetPos(99)); // beyond the range: clamped
    EXPECT_EQ(30, dialog.m_progress.GetPos());
    dialog.m_progress.SetRange32(-5, 100000);
    dialog.m_progress.GetRange(lower, upper);
    EXPECT_EQ(-5, lower);
    EXPECT_EQ(100000, upper);
}

TEST(DialogControls, ProgressBarIsReadFromAWorkerThread) {
    CControlsDlg dialog;
    dialog.m_progress.SetRange(0, 10);
    dialog.m_progress.SetPos(4);
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

TEST(DialogControls, ListItemsTextDataStateAndSorting) {
    CControlsDlg dialog;
    CListCtrl& list = dialog.m_list;
    EXPECT_EQ(0, list.GetItemCount());
    EXPECT_EQ(0, list.InsertItem(0, "beta", 12));
    EXPECT_EQ(1, list.InsertItem(1, "alpha"));
    EXPECT_EQ(2, list.InsertItem(LVIF_TEXT | LVIF_PARAM, 2, "gamma", 0, 0, 0, 33));
    EXPECT_EQ(3, list.GetItemCount());
    EXPECT_STREQ("alpha", list.GetItemText(1, 0));
    char small[4];
    EXPECT_EQ(3, list.GetItemText(2, 0, small, sizeof small));
    EXPECT_STREQ("gam", small);
    EXPECT_EQ(0, list.GetItemText(9, 0, small, sizeof small)); // no such item
    EXPECT_STREQ("", small);
    EXPECT_EQ(33u, list.GetItemData(2));

    LVITEM item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = 0;
    ASSERT_TRUE(list.GetItem(&item));
    EXPECT_EQ(12, item.iImage);

    for (int i = 0; i < 3; ++i)
        list.SetItemData(i, static_cast<DWORD_PTR>(i + 1));
    EXPECT_TRUE(list.SortItems(&ByNameDescending, reinterpret_cast<DWORD_PTR>(&list)));
    EXPECT_STREQ("gamma", list.GetItemText(0, 0));
    EXPECT_STREQ("beta", list.GetItemText(1, 0));
    EXPECT_STREQ("alpha", list.GetItemText(2, 0));

    EXPECT_EQ(NULL, list.GetFirstSelectedItemPosition());
    EXPECT_EQ(-1, list.GetNextItem(-1, LVNI_SELECTED));
    ASSERT_TRUE(list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED));
    EXPECT_EQ(static_cast<UINT>(LVIS_SELECTED), list.GetItemState(1, LVIS_SELECTED));
    EXPECT_EQ(1u, list.GetSelectedCount());
    POSITION pos = list.GetFirstSelectedItemPosition();
    ASSERT_NE(nullptr, pos);
    EXPECT_EQ(1, list.GetNextSelectedItem(pos));
    EXPECT_EQ(nullptr, pos);

    EXPECT_TRUE(list.SetItemText(1, 0, "BETA"));
    EXPECT_STREQ("BETA", list.GetItemText(1, 0));
    EXPECT_TRUE(list.DeleteItem(0));
    EXPECT_EQ(2, list.GetItemCount());
    EXPECT_TRUE(list.DeleteAllItems());
    EXPECT_EQ(0, list.GetItemCount());
}

TEST(DialogControls, ImageListTakesTheBitmapCutIntoImages) {
    std::vector<BYTE> bits;
    ASSERT_TRUE(BuildDesignImages(bits));
    emu::RegisterResource(NULL, RT_BITMAP, 705, bits.data(), bits.size());
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.LoadBitmap(705));

    CImageList images;
    EXPECT_EQ(-1, images.Add(&bitmap, RGB(0, 0, 0))); // no list yet
    ASSERT_TRUE(images.Create(16, 16, ILC_COLOR24, 13, 100));
    EXPECT_FALSE(images.Create(16, 16, ILC_COLOR24, 13, 100));
    EXPECT_EQ(0, images.Add(&bitmap, RGB(0, 0, 0)));
    EXPECT_EQ(13, images.GetImageCount());

    CControlsDlg dialog;
    EXPECT_EQ(nullptr, dialog.m_list.SetImageList(&images, LVSIL_SMALL));
    CImageList* current = dialog.m_list.GetImageList(LVSIL_SMALL);
    ASSERT_NE(nullptr, current);
    EXPECT_EQ(images.m_hImageList, current->m_hImageList);
    EXPECT_NE(&images, current); // a wrapper of the same list
    // The wrapper does not own the list: it is still usable through the original.
    EXPECT_EQ(13, images.GetImageCount());
    emu::UnregisterResource(NULL, RT_BITMAP, 705);
}

TEST(DialogControls, ButtonAndEdit) {
    CControlsDlg dialog;
    EXPECT_EQ(BST_UNCHECKED, dialog.m_flag.GetCheck());
    dialog.m_flag.SetCheck(BST_CHECKED);
    EXPECT_EQ(BST_CHECKED, dialog.m_flag.GetCheck());
    EXPECT_EQ(static_cast<UINT>(BST_CHECKED), dialog.IsDlgButtonChecked(IDC_FLAG));
    EXPECT_EQ(static_cast<UINT>(BS_AUTOCHECKBOX), dialog.m_flag.GetButtonStyle());

    dialog.m_name.SetSel(1, 3);
    int start = -1, end = -1;
    dialog.m_name.GetSel(start, end);
    EXPECT_EQ(1, start);
    EXPECT_EQ(3, end);
    EXPECT_EQ(static_cast<DWORD>(MAKELONG(1, 3)), dialog.m_name.GetSel());
    dialog.m_name.ReplaceSel("XY");
    CString text;
    dialog.m_name.GetWindowText(text);
    EXPECT_STREQ("aXYdef", text);
    dialog.m_name.SetSel(0, -1);
    dialog.m_name.GetSel(start, end);
    EXPECT_EQ(6, end);
    dialog.m_name.SetLimitText(4);
    EXPECT_EQ(4u, dialog.m_name.GetLimitText());
}

TEST(DialogControls, SystemMenuCloseItemIsGreyedAndEnabledAgain) {
    CControlsDlg dialog;
    CMenu* menu = dialog.GetSystemMenu(FALSE);
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ(static_cast<UINT>(MF_ENABLED), menu->EnableMenuItem(SC_CLOSE, MF_GRAYED));
    EXPECT_EQ(static_cast<UINT>(MF_GRAYED), menu->GetMenuState(SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_EQ(menu, dialog.GetSystemMenu(FALSE)); // the same wrapper on this thread
    EXPECT_EQ(static_cast<UINT>(MF_GRAYED), menu->EnableMenuItem(SC_CLOSE, MF_ENABLED));
    EXPECT_EQ(0u, menu->GetMenuState(SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_EQ(static_cast<UINT>(-1), menu->EnableMenuItem(0x1234, MF_GRAYED));
}

TEST(DialogControls, FromHandleWrapsWindowsWithoutObjectsAndKeepsBoundOnes) {
    CControlsDlg dialog;
    HWND hCancel = ::GetDlgItem(dialog.m_hWnd, IDCANCEL);
    CWnd* cancel = dialog.GetDlgItem(IDCANCEL);
    ASSERT_NE(nullptr, cancel);
    EXPECT_EQ(hCancel, cancel->m_hWnd);
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(hCancel));
    EXPECT_EQ(cancel, dialog.GetDlgItem(IDCANCEL));
    EXPECT_EQ(&dialog.m_progress, dialog.GetDlgItem(IDC_PROGRESS));
    EXPECT_EQ(nullptr, dialog.GetDlgItem(4711));
    EXPECT_EQ(nullptr, CWnd::FromHandle(NULL));

    // A window can have one object only; a wrapper cannot be attached.
    CWnd other;
    EXPECT_FALSE(other.Attach(dialog.m_progress.m_hWnd));
    EXPECT_FALSE(cancel->Attach(dialog.m_hWnd));
    EXPECT_TRUE(other.Attach(hCancel));
    EXPECT_EQ(&other, CWnd::FromHandle(hCancel));
    EXPECT_EQ(hCancel, other.Detach());
    EXPECT_EQ(cancel, CWnd::FromHandle(hCancel));

    // Enabling through a wrapper acts on the window.
    cancel->EnableWindow(FALSE);
    EXPECT_FALSE(::IsWindowEnabled(hCancel));
    cancel->EnableWindow(TRUE);
    EXPECT_TRUE(::IsWindowEnabled(hCancel));
    cancel->SetWindowText("Stop");
    EXPECT_EQ("Stop", TextOf(hCancel));
}

TEST(DialogControls, WaitCursorShowsUntilTheLastOneEnds) {
    HCURSOR arrow = ::LoadCursorA(NULL, IDC_ARROW);
    ::SetCursor(arrow);
    {
        CWaitCursor outer;
        EXPECT_EQ("wait", emu::CursorName(::GetCursor()));
        {
            CWaitCursor inner;
            EXPECT_EQ("wait", emu::CursorName(::GetCursor()));
        }
        EXPECT_EQ("wait", emu::CursorName(::GetCursor()));
        ::SetCursor(arrow);
        outer.Restore();
        EXPECT_EQ("wait", emu::CursorName(::GetCursor()));
    }
    EXPECT_EQ(arrow, ::GetCursor());
}
