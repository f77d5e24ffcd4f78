// The controls of a dialog, beyond what the MFC control classes' tests and the design
// browser's clicks cover: what the desktop's observers hear of typing and of the progress
// bar's wrap, and bitmaps from (damaged) resources.
#include <windows.h>
#include <commctrl.h>
#include <emu_desktop.h>

#include "support/DialogBuilder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using testsupport::DialogBuilder;

namespace {

constexpr WORD kEdit = 12, kProgress = 13;

INT_PTR CALLBACK PlainDialog(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

class DesktopRecorder : public emu::DesktopObserver {
public:
    void OnProgressChanged(HWND, int position, int lower, int upper) override {
        moves.push_back({position, lower, upper});
    }
    void OnWindowTextChanged(HWND, const std::string& text) override { texts.push_back(text); }
    std::vector<std::vector<int>> moves;
    std::vector<std::string> texts;
};

class UserControls : public ::testing::Test {
protected:
    void SetUp() override {
        DialogBuilder builder(DS_SETFONT | WS_POPUP | WS_CAPTION, "Controls");
        builder.Control(0x81, kEdit, WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, "")
            .Control(PROGRESS_CLASSA, kProgress, WS_VISIBLE, "");
        m_dialog = CreateDialogIndirectParamA(NULL, builder.Template(), NULL, PlainDialog, 0);
        ASSERT_NE(nullptr, m_dialog);
    }
    void TearDown() override { DestroyWindow(m_dialog); }

    LRESULT Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return SendDlgItemMessageA(m_dialog, id, message, wParam, lParam);
    }

    HWND m_dialog = NULL;
};

// Typing is seen by the desktop's observers (the host's presenter), not only SetWindowText
// (the dialogs' tests show the typing itself). Stepping the progress bar past its upper bound
// wraps to the lower one (CProgressCtrl's tests cover the range, the step and clamping);
// observers hear each change once.
TEST_F(UserControls, ObserversHearTypingAndEachProgressChangeAndStepItWraps) {
    DesktopRecorder recorder;
    emu::AddDesktopObserver(&recorder);
    Send(kEdit, WM_CHAR, 'A');
    Send(kEdit, WM_CHAR, 'B');
    Send(kProgress, PBM_SETRANGE, 0, MAKELPARAM(0, 30));
    Send(kProgress, PBM_SETSTEP, 10); // unchanged: nothing to hear
    for (int i = 0; i < 3; ++i)
        Send(kProgress, PBM_STEPIT);
    EXPECT_EQ(30, Send(kProgress, PBM_STEPIT));  // at the end, not past it
    EXPECT_EQ(0, Send(kProgress, PBM_GETPOS));   // past the end: back to the lower bound
    Send(kProgress, PBM_SETRANGE32, 50, 200000); // the position follows the range
    emu::RemoveDesktopObserver(&recorder);
    EXPECT_EQ((std::vector<std::string>{"A", "AB"}), recorder.texts);
    ASSERT_EQ(6u, recorder.moves.size()); // range, 3 steps, wrap, range
    EXPECT_EQ((std::vector<int>{50, 50, 200000}), recorder.moves.back());
}

// A black bitmap resource: BITMAPINFOHEADER and rows of 24 bits per pixel.
std::vector<BYTE> MakeDib(int width, int height) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
    std::vector<BYTE> bytes(sizeof(header) + stride * height, 0);
    std::memcpy(bytes.data(), &header, sizeof(header));
    return bytes;
}

TEST(UserImages, BitmapsComeFromTheModulesResourcesAndDamagedOnesAreRefused) {
    std::vector<BYTE> dib = MakeDib(48, 16);
    HMODULE module = reinterpret_cast<HMODULE>(0x5000);
    emu::RegisterResource(module, RT_BITMAP, 9008, dib.data(), dib.size());
    EXPECT_EQ(nullptr, LoadBitmapA(NULL, MAKEINTRESOURCE(9008))); // another module's
    HBITMAP bitmap = LoadBitmapA(module, MAKEINTRESOURCE(9008));
    ASSERT_NE(nullptr, bitmap);
    BITMAP info{};
    ASSERT_EQ(static_cast<int>(sizeof(info)), GetObjectA(bitmap, sizeof(info), &info));
    EXPECT_EQ(48, info.bmWidth);
    EXPECT_EQ(16, info.bmHeight);

    EXPECT_TRUE(DeleteObject(bitmap));

    // Every truncation of the resource, and a bad header, give no bitmap and no crash.
    for (size_t size = 0; size < dib.size(); size += 7) {
        emu::RegisterResource(module, RT_BITMAP, 1, dib.data(), size);
        EXPECT_EQ(nullptr, LoadBitmapA(module, MAKEINTRESOURCE(1))) << size;
    }
    std::memset(dib.data() + 4, 0x7F, 4); // an impossible width
    emu::RegisterResource(module, RT_BITMAP, 2, dib.data(), dib.size());
    EXPECT_EQ(nullptr, LoadBitmapA(module, MAKEINTRESOURCE(2)));
    EXPECT_TRUE(emu::UnregisterModuleResources(module));
    EXPECT_EQ(nullptr, LoadBitmapA(module, MAKEINTRESOURCE(9008)));
}

} // namespace
