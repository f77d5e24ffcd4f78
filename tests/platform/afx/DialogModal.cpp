// Modal dialogs: how DoModal ends (posted close and OK from a worker thread, EndDialog during
// initialisation, a missing template), nested modal dialogs with their owners, and
// the virtual DestroyWindow at the end of the modal loop.
#include "platform/afx/DialogTestKit.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using dlgtest::StandardTemplate;
using dlgtest::Watchdog;
using testsupport::WaitFor;

namespace {

const UINT WM_APP_PING = WM_APP + 1;
const UINT WM_APP_NEST = WM_APP + 2;

// A dialog that records what happens to it.
class CProbeDlg : public CDialog {
public:
    explicit CProbeDlg(CWnd* pParent = NULL) { InitModalIndirect(StandardTemplate(), pParent); }

    std::atomic<HWND> hwnd{NULL};
    std::atomic<int> pings{0};
    int cancels = 0;
    int oks = 0;
    int exchangesIn = 0;  // members to controls
    int exchangesOut = 0; // controls to members
    int cancelsAtSecondPing = -1;
    BOOL aliveAtSecondPing = FALSE;
    int destroyCalls = 0;
    BOOL windowAliveAtTeardown = FALSE;
    BOOL loopRunningAtTeardown = TRUE;
    bool disableCancel = false;
    int endInInit = 0; // non-zero: EndDialog with it from OnInitDialog

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        hwnd = m_hWnd;
        if (disableCancel)
            GetDlgItem(IDCANCEL)->EnableWindow(FALSE);
        if (endInInit != 0) {
            PostMessage(WM_APP_PING); // never handled: no loop runs
            EndDialog(endInInit);
        }
        return TRUE;
    }
    void DoDataExchange(CDataExchange* pDX) override {
        ++(pDX->m_bSaveAndValidate ? exchangesOut : exchangesIn);
    }
    void OnOK() override {
        ++oks;
        CDialog::OnOK();
    }
    void OnCancel() override {
        ++cancels;
        CDialog::OnCancel();
    }
    BOOL DestroyWindow() override {
        ++destroyCalls;
        windowAliveAtTeardown = ::IsWindow(m_hWnd);
        loopRunningAtTeardown = ContinueModal();
        return CDialog::DestroyWindow();
    }
    LRESULT OnPing(WPARAM, LPARAM) {
        if (++pings == 2) {
            cancelsAtSecondPing = cancels;
            aliveAtSecondPing = ::IsWindow(m_hWnd);
        }
        return 0;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CProbeDlg, CDialog)
ON_MESSAGE(WM_APP_PING, &CProbeDlg::OnPing)
END_MESSAGE_MAP()

HWND WaitForDialog(const std::atomic<HWND>& hwnd) {
    WaitFor([&] { return hwnd.load() != NULL; });
    return hwnd.load();
}

} // namespace

// Windows-behaviour test (Wine's dialog manager posts the cancel command whatever the state
// of the Cancel button).
TEST(DialogModal, CloseFromWorkerDoesNothingWhileCancelIsDisabledThenCancels) {
    Watchdog watchdog("the modal loop");
    CProbeDlg dialog;
    dialog.disableCancel = true;
    std::thread worker([&] {
        HWND hDlg = WaitForDialog(dialog.hwnd);
        ::PostMessageA(hDlg, WM_CLOSE, 0, 0);
        ::PostMessageA(hDlg, WM_APP_PING, 0, 0);
        WaitFor([&] { return dialog.pings >= 1; });
        // Anything the close posted in turn lies before this second ping.
        ::PostMessageA(hDlg, WM_APP_PING, 0, 0);
        WaitFor([&] { return dialog.pings >= 2; });
        ::EnableWindow(::GetDlgItem(hDlg, IDCANCEL), TRUE);
        ::PostMessageA(hDlg, WM_CLOSE, 0, 0);
    });
    INT_PTR result = dialog.DoModal();
    worker.join();
    EXPECT_EQ(0, dialog.cancelsAtSecondPing);
    EXPECT_TRUE(dialog.aliveAtSecondPing);
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ(1, dialog.cancels);
}

TEST(DialogModal, CommandOkFromWorkerExchangesOutThenDestroysAfterTheLoop) {
    Watchdog watchdog("the modal loop");
    CProbeDlg dialog;
    std::thread worker([&] { ::PostMessageA(WaitForDialog(dialog.hwnd), WM_COMMAND, IDOK, 0); });
    EXPECT_EQ(IDOK, dialog.DoModal());
    worker.join();
    EXPECT_EQ(1, dialog.oks);
    EXPECT_EQ(1, dialog.exchangesIn);
    EXPECT_EQ(1, dialog.exchangesOut);
    // The virtual DestroyWindow runs once, after the loop, while the window still exists.
    HWND hDlg = dialog.hwnd;
    EXPECT_EQ(1, dialog.destroyCalls);
    EXPECT_TRUE(dialog.windowAliveAtTeardown);
    EXPECT_FALSE(dialog.loopRunningAtTeardown);
    EXPECT_FALSE(::IsWindow(hDlg));
    EXPECT_EQ(NULL, dialog.m_hWnd);
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(hDlg));
}

TEST(DialogModal, EndDialogDuringInitialisationOrAMissingTemplateRunsNoLoop) {
    Watchdog watchdog("the modal loop");
    CProbeDlg dialog;
    dialog.endInInit = 42;
    EXPECT_EQ(42, dialog.DoModal());
    EXPECT_EQ(0, dialog.pings.load());
    EXPECT_EQ(1, dialog.destroyCalls);
    EXPECT_FALSE(::IsWindow(dialog.hwnd));

    // A missing template gives -1 without a window.
    CDialog byId(31999), empty;
    EXPECT_EQ(-1, byId.DoModal());
    EXPECT_EQ(NULL, byId.m_hWnd);
    EXPECT_EQ(-1, empty.DoModal());
}

namespace {

// Runs a second modal dialog, owned by itself, when asked.
class COuterDlg : public CProbeDlg {
public:
    INT_PTR innerResult = 0;
    BOOL ownerEnabledDuringInner = TRUE;
    BOOL ownerEnabledAfterInner = FALSE;
    HWND innerOwner = NULL;

    LRESULT OnNest(WPARAM, LPARAM) {
        CProbeDlg inner(this);
        std::thread worker([&] {
            HWND hInner = WaitForDialog(inner.hwnd);
            ownerEnabledDuringInner = ::IsWindowEnabled(hwnd);
            innerOwner = ::GetWindow(hInner, GW_OWNER);
            ::PostMessageA(hInner, WM_COMMAND, IDOK, 0);
        });
        innerResult = inner.DoModal();
        worker.join();
        ownerEnabledAfterInner = ::IsWindowEnabled(m_hWnd);
        EndDialog(77);
        return 0;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(COuterDlg, CProbeDlg)
ON_MESSAGE(WM_APP_NEST, &COuterDlg::OnNest)
END_MESSAGE_MAP()

} // namespace

TEST(DialogModal, NestedModalDialogDisablesItsOwnerAndReturnsToTheOuterLoop) {
    Watchdog watchdog("the modal loop");
    COuterDlg outer;
    std::thread starter([&] { ::PostMessageA(WaitForDialog(outer.hwnd), WM_APP_NEST, 0, 0); });
    EXPECT_EQ(77, outer.DoModal());
    starter.join();
    EXPECT_EQ(IDOK, outer.innerResult);
    EXPECT_FALSE(outer.ownerEnabledDuringInner);
    EXPECT_TRUE(outer.ownerEnabledAfterInner);
    EXPECT_EQ(outer.hwnd.load(), outer.innerOwner);
    EXPECT_EQ(1, outer.destroyCalls);
}
