// Extension modules and the chain of loaded libraries: where the framework finds a dialog
// template or a bitmap by its identifier (the application first, then the libraries, newest
// first, system libraries last), and what leaves the chain with its library.
#include "platform/afx/DialogTestKit.h"

#include <gtest/gtest.h>

#include "resources/DesignImages.h"
#include "resources/resource.h"

#include <vector>

using namespace dlgtest;

namespace {

// Module handles of libraries that exist only as resource owners in these tests.
HMODULE Module(uintptr_t n) {
    return reinterpret_cast<HMODULE>(n * 0x100000);
}

void RegisterDialog(HMODULE module, WORD id, LPCSTR caption) {
    static const DIALOGCONTROL ok = {IDOK, "Button", WS_VISIBLE | BS_DEFPUSHBUTTON, "OK", 5, 5,
                                     40,   14};
    DIALOGRESOURCE dialog = {id,  caption, WS_POPUP | WS_CAPTION, "MS Shell Dlg", 8, 0, 0, 60, 30,
                             &ok, 1};
    std::vector<BYTE> bytes;
    ASSERT_TRUE(BuildDialogTemplate(dialog, bytes));
    emu::RegisterResource(module, RT_DIALOG, id, bytes.data(), bytes.size());
}

// Opens the dialog by identifier and gives its caption, or "" when it could not be opened.
class CCaptionDlg : public CDialog {
public:
    explicit CCaptionDlg(UINT id) : CDialog(id) {}
    std::string caption;
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        caption = TextOf(m_hWnd);
        EndDialog(IDOK);
        return TRUE;
    }
};

std::string Open(UINT id) {
    CCaptionDlg dialog(id);
    return dialog.DoModal() == IDOK ? dialog.caption : "";
}

class ResourceChain : public ::testing::Test {
protected:
    void TearDown() override {
        for (uintptr_t n = 1; n <= 3; ++n)
            emu::UnregisterModuleResources(Module(n));
        emu::UnregisterResource(NULL, RT_DIALOG, 700);
        AfxTermExtensionModule(m_any, TRUE);
    }
    AFX_EXTENSION_MODULE m_any = {TRUE, NULL, NULL, NULL, NULL};
};

} // namespace

TEST_F(ResourceChain, ApplicationFirstThenNewestLibraryThenSystemLibraries) {
    AFX_EXTENSION_MODULE system = {}, older = {}, newer = {};
    ASSERT_TRUE(AfxInitExtensionModule(system, Module(3)));
    ASSERT_TRUE(AfxInitExtensionModule(older, Module(1)));
    ASSERT_TRUE(AfxInitExtensionModule(newer, Module(2)));
    new CDynLinkLibrary(older);
    new CDynLinkLibrary(newer);
    new CDynLinkLibrary(system, TRUE); // newest of all, but a system library
    for (uintptr_t n = 1; n <= 3; ++n)
        RegisterDialog(Module(n), 700, n == 1 ? "older" : n == 2 ? "newer" : "system");
    EXPECT_EQ("newer", Open(700));
    RegisterDialog(NULL, 700, "application");
    EXPECT_EQ("application", Open(700));
    emu::UnregisterResource(NULL, RT_DIALOG, 700);
    AfxTermExtensionModule(newer);
    EXPECT_EQ("older", Open(700));
    AfxTermExtensionModule(older);
    EXPECT_EQ("system", Open(700));
    AfxTermExtensionModule(system);
    EXPECT_EQ("", Open(700));
}

TEST_F(ResourceChain, BitmapIsLoadedThroughTheChainAndCutIntoImages) {
    std::vector<BYTE> bits;
    ASSERT_TRUE(BuildDesignImages(bits));
    emu::RegisterResource(Module(1), RT_BITMAP, 704, bits.data(), bits.size());
    CBitmap missing;
    EXPECT_FALSE(missing.LoadBitmap(704));

    AFX_EXTENSION_MODULE state = {};
    ASSERT_TRUE(AfxInitExtensionModule(state, Module(1)));
    new CDynLinkLibrary(state);
    EXPECT_EQ(Module(1), AfxFindResourceHandle(MAKEINTRESOURCE(704), RT_BITMAP));
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.LoadBitmap(704));
    CImageList images;
    ASSERT_TRUE(images.Create(16, 16, ILC_COLOR24, 13, 100));
    EXPECT_EQ(0, images.Add(&bitmap, RGB(0, 0, 0)));
    EXPECT_EQ(DESIGN_IMAGE_COUNT, images.GetImageCount());
    AfxTermExtensionModule(state);
    EXPECT_EQ(NULL, AfxFindResourceHandle(MAKEINTRESOURCE(704), RT_BITMAP));
}
