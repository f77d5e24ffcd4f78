// The library's dialog templates and bitmap as the dialog manager and the image list read
// them: found under the library's module handle, each template becomes a window with the
// stated caption, and controls of the stated class, text, style and place; the bitmap has its
// 13 images' size; tables the builder cannot lay out are refused.
#include "stdafx.h"

#include <gtest/gtest.h>

#include "platform/loader/LibraryModule.h"
#include "resources/DialogTemplates.h"
#include "resources/resource.h"
#include "support/UiDriver.h"

#include <string>
#include <vector>

namespace {

using ui::WindowText;

std::string ClassOf(HWND hwnd) {
    char buffer[64] = {};
    ::GetClassNameA(hwnd, buffer, sizeof buffer);
    return buffer;
}

INT_PTR CALLBACK QuietProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// The control's place in dialog units, from its window rectangle in the dialog's pixels.
RECT PlaceOf(HWND dialog, HWND control) {
    RECT unit = {0, 0, 4, 8}; // the dialog's base units, four and eight of them
    ::MapDialogRect(dialog, &unit);
    RECT rect = {};
    ::GetWindowRect(control, &rect);
    POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
    for (POINT& corner : corners)
        ::ScreenToClient(dialog, &corner);
    return {corners[0].x * 4 / unit.right, corners[0].y * 8 / unit.bottom,
            (corners[1].x - corners[0].x) * 4 / unit.right,
            (corners[1].y - corners[0].y) * 8 / unit.bottom};
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
        EXPECT_EQ(table.lpszCaption, WindowText(dialog));
        EXPECT_EQ((table.dwStyle & WS_VISIBLE) != 0, ::IsWindowVisible(dialog) != FALSE);
        HWND control = ::GetWindow(dialog, GW_CHILD);
        for (int c = 0; c < table.nControls; ++c) {
            const DIALOGCONTROL& expected = table.pControls[c];
            SCOPED_TRACE(expected.nID);
            // Controls come in the template's order; the one numbered -1 is found that way.
            ASSERT_NE(nullptr, control);
            EXPECT_EQ(static_cast<WORD>(expected.nID), static_cast<WORD>(::GetDlgCtrlID(control)));
            EXPECT_STRCASEEQ(expected.lpszClass, ClassOf(control).c_str());
            EXPECT_EQ(expected.lpszText, WindowText(control));
            EXPECT_EQ(expected.dwStyle | WS_CHILD,
                      static_cast<DWORD>(::GetWindowLongA(control, GWL_STYLE)));
            RECT place = PlaceOf(dialog, control);
            EXPECT_NEAR(expected.x, place.left, 1);
            EXPECT_NEAR(expected.y, place.top, 1);
            EXPECT_NEAR(expected.cx, place.right, 1);
            EXPECT_NEAR(expected.cy, place.bottom, 1);
            control = ::GetWindow(control, GW_HWNDNEXT);
        }
        EXPECT_EQ(nullptr, control) << "no controls beyond the table's";
        EXPECT_TRUE(::DestroyWindow(dialog));
    }
}

TEST(ResourceWindows, BitmapIsTheLibrarysOnly) {
    HBITMAP bitmap = ::LoadBitmapA(VantelLibraryModule(), MAKEINTRESOURCE(IDB_DESIGN_IMAGES));
    ASSERT_NE(nullptr, bitmap);
    BITMAP info = {};
    ASSERT_NE(0, ::GetObjectA(bitmap, sizeof info, &info));
    EXPECT_EQ(DESIGN_IMAGE_COUNT * 16, info.bmWidth);
    EXPECT_EQ(16, info.bmHeight);
    EXPECT_TRUE(::DeleteObject(bitmap));
    EXPECT_EQ(nullptr, ::LoadBitmapA(NULL, MAKEINTRESOURCE(IDB_DESIGN_IMAGES)));
}

TEST(ResourceWindows, BuilderRefusesTablesItCannotLayOut) {
    DIALOGCONTROL control = {0x10000, "Button", 0, "x", 0, 0, 10, 10};
    DIALOGRESOURCE dialog = {1, "t", WS_POPUP, "MS Shell Dlg", 8, 0, 0, 10, 10, &control, 1};
    std::vector<BYTE> bytes(3, 0xAA);
    EXPECT_FALSE(BuildDialogTemplate(dialog, bytes)); // an identifier beyond 16 bits
    EXPECT_TRUE(bytes.empty());
    dialog.nControls = -1;
    EXPECT_FALSE(BuildDialogTemplate(dialog, bytes));
    dialog.nControls = 1;
    dialog.pControls = NULL;
    EXPECT_FALSE(BuildDialogTemplate(dialog, bytes));

    // No controls at all is a valid template.
    dialog.nControls = 0;
    ASSERT_TRUE(BuildDialogTemplate(dialog, bytes));
    HWND empty = ::CreateDialogIndirectParamA(NULL, reinterpret_cast<LPCDLGTEMPLATE>(bytes.data()),
                                              NULL, &QuietProc, 0);
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ("t", WindowText(empty));
    EXPECT_EQ(nullptr, ::GetWindow(empty, GW_CHILD));
    EXPECT_TRUE(::DestroyWindow(empty));
}
