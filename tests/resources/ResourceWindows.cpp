// The library's resources as the dialog manager and the image list see them: found under
// the library's module handle, each template becomes a window with the stated caption and
// controls, and the bitmap fills an image list with 13 images.
#include "stdafx.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include "platform/loader/LibraryModule.h"
#include "resources/DialogTemplates.h"
#include "resources/resource.h"

#include <string>

namespace {

std::string TextOf(HWND hwnd) {
    char buffer[256] = {};
    ::GetWindowTextA(hwnd, buffer, sizeof buffer);
    return buffer;
}

std::string ClassOf(HWND hwnd) {
    char buffer[64] = {};
    ::GetClassNameA(hwnd, buffer, sizeof buffer);
    return buffer;
}

INT_PTR CALLBACK QuietProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

} // namespace

TEST(ResourceWindows, EveryTemplateOfTheLibraryModuleBecomesItsDialog) {
    HMODULE module = VantelLibraryModule();
    ASSERT_NE(nullptr, module);
    int count = 0;
    const DIALOGRESOURCE* tables = GetDialogResources(&count);
    for (int i = 0; i < count; ++i) {
        const DIALOGRESOURCE& table = tables[i];
        SCOPED_TRACE(table.wID);
        // Not a resource of the program itself: only of the library.
        EXPECT_EQ(nullptr, ::FindResourceA(NULL, MAKEINTRESOURCE(table.wID), RT_DIALOG));
        HWND dialog = ::CreateDialogParamA(module, MAKEINTRESOURCE(table.wID), NULL, &QuietProc, 0);
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(table.lpszCaption, TextOf(dialog));
        for (int c = 0; c < table.nControls; ++c) {
            const DIALOGCONTROL& expected = table.pControls[c];
            SCOPED_TRACE(expected.nID);
            // Controls come in the template's order; the one numbered -1 is found that way.
            HWND control = ::GetWindow(dialog, GW_CHILD);
            for (int skip = 0; skip < c && control != NULL; ++skip)
                control = ::GetWindow(control, GW_HWNDNEXT);
            ASSERT_NE(nullptr, control);
            EXPECT_EQ(static_cast<WORD>(expected.nID), static_cast<WORD>(::GetDlgCtrlID(control)));
            EXPECT_STRCASEEQ(expected.lpszClass, ClassOf(control).c_str());
            EXPECT_EQ(expected.lpszText, TextOf(control));
            EXPECT_EQ((expected.dwStyle & WS_VISIBLE) != 0,
                      (::GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0);
        }
        EXPECT_TRUE(::DestroyWindow(dialog));
    }
}

TEST(ResourceWindows, BitmapFillsTheBrowsersImageList) {
    HMODULE module = VantelLibraryModule();
    HBITMAP bitmap = ::LoadBitmapA(module, MAKEINTRESOURCE(IDB_DESIGN_IMAGES));
    ASSERT_NE(nullptr, bitmap);
    BITMAP info = {};
    ASSERT_NE(0, ::GetObjectA(bitmap, sizeof info, &info));
    EXPECT_EQ(208, info.bmWidth);
    EXPECT_EQ(16, info.bmHeight);
    HIMAGELIST images = ::ImageList_Create(16, 16, ILC_COLOR24, 13, 100);
    ASSERT_NE(nullptr, images);
    EXPECT_EQ(0, ::ImageList_AddMasked(images, bitmap, RGB(0, 0, 0)));
    EXPECT_EQ(DESIGN_IMAGE_COUNT, ::ImageList_GetImageCount(images));
    EXPECT_TRUE(::ImageList_Destroy(images));
    EXPECT_TRUE(::DeleteObject(bitmap));
    EXPECT_EQ(nullptr, ::LoadBitmapA(NULL, MAKEINTRESOURCE(IDB_DESIGN_IMAGES)));
}
