// The controls of a dialog, beyond what the MFC control classes' tests cover: the
// notifications of buttons, edit fields and the list view, typing, the progress bar's wrap
// and its observers, stable sorting, and bitmaps from (damaged) resources.
#include <windows.h>
#include <commctrl.h>
#include <emu_desktop.h>

#include "support/DialogBuilder.h"
#include "support/UiDriver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using testsupport::DialogBuilder;

namespace {

constexpr WORD kCheck = 10, kPush = 11, kEdit = 12, kProgress = 13, kList = 14, kSingle = 15;

struct Notification {
    UINT message;
    int id;
    UINT code;
    int item;
    LPARAM param;
};

std::vector<Notification> g_notes;

INT_PTR CALLBACK RecordingDialog(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND)
        g_notes.push_back(Notification{message, LOWORD(wParam), HIWORD(wParam), -1, 0});
    if (message == WM_NOTIFY) {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        Notification note{message, static_cast<int>(header->idFrom), header->code, -1, 0};
        if (header->code == NM_CLICK || header->code == NM_DBLCLK) {
            const NMITEMACTIVATE* activate = reinterpret_cast<const NMITEMACTIVATE*>(lParam);
            note.item = activate->iItem;
            note.param = activate->lParam;
        }
        g_notes.push_back(note);
    }
    return message == WM_INITDIALOG;
}

class ProgressRecorder : public emu::DesktopObserver {
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
        g_notes.clear();
        DialogBuilder builder(DS_SETFONT | WS_POPUP | WS_CAPTION, "Controls");
        builder.Control(0x80, kCheck, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, "RZ only")
            .Control(0x80, kPush, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, "Open")
            .Control(0x81, kEdit, WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, "")
            .Control(PROGRESS_CLASSA, kProgress, WS_VISIBLE, "")
            .Control(WC_LISTVIEWA, kList, WS_VISIBLE | LVS_SMALLICON | LVS_SHAREIMAGELISTS, "")
            .Control(WC_LISTVIEWA, kSingle, WS_VISIBLE | LVS_SMALLICON | LVS_SINGLESEL, "");
        m_dialog = CreateDialogIndirectParamA(NULL, builder.Template(), NULL, RecordingDialog, 0);
        ASSERT_NE(nullptr, m_dialog);
    }
    void TearDown() override { DestroyWindow(m_dialog); }

    HWND Item(int id) const { return GetDlgItem(m_dialog, id); }
    LRESULT Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return SendDlgItemMessageA(m_dialog, id, message, wParam, lParam);
    }
    size_t Count(UINT message, UINT code) const {
        size_t n = 0;
        for (const Notification& note : g_notes)
            n += note.message == message && note.code == code;
        return n;
    }
    int Insert(int id, int at, const char* text, LPARAM param, UINT state = 0) {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
        item.iItem = at;
        item.pszText = const_cast<char*>(text);
        item.lParam = param;
        item.state = state;
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        return static_cast<int>(Send(id, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    }
    void Click(int id, int index, bool twice) {
        RECT rect{};
        ASSERT_TRUE(Send(id, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rect)));
        LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        Send(id, WM_LBUTTONDOWN, MK_LBUTTON, at);
        Send(id, WM_LBUTTONUP, 0, at);
        if (twice) {
            Send(id, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
            Send(id, WM_LBUTTONUP, 0, at);
        }
    }

    HWND m_dialog = NULL;
};

TEST_F(UserControls, AutomaticCheckBoxToggles_PushButtonNotifies) {
    EXPECT_EQ(BST_UNCHECKED, Send(kCheck, BM_GETCHECK));
    Send(kCheck, BM_CLICK);
    EXPECT_EQ(BST_CHECKED, Send(kCheck, BM_GETCHECK));
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(m_dialog, kCheck));
    Send(kCheck, BM_CLICK);
    EXPECT_EQ(BST_UNCHECKED, Send(kCheck, BM_GETCHECK));
    Send(kCheck, BM_SETCHECK, BST_CHECKED);
    EXPECT_EQ(BST_CHECKED, Send(kCheck, BM_GETCHECK));
    Send(kPush, BM_CLICK);
    std::vector<int> clicked;
    for (const Notification& note : g_notes)
        if (note.message == WM_COMMAND && note.code == BN_CLICKED)
            clicked.push_back(note.id);
    EXPECT_EQ((std::vector<int>{kCheck, kCheck, kPush}), clicked); // BM_SETCHECK: no click
    EXPECT_EQ(Item(kPush), GetFocus());                            // a click takes the focus
}

TEST_F(UserControls, EditFieldTypesReplacesTheSelectionAndKeepsItsLimit) {
    ProgressRecorder recorder;
    emu::AddDesktopObserver(&recorder);
    EXPECT_TRUE(SetDlgItemTextA(m_dialog, kEdit, "DESIGN"));
    EXPECT_EQ(1u, Count(WM_COMMAND, EN_CHANGE));
    Send(kEdit, EM_SETSEL, 2, 4); // "SI"
    EXPECT_EQ(MAKELONG(2, 4), Send(kEdit, EM_GETSEL));
    Send(kEdit, WM_CHAR, 'x');
    EXPECT_EQ("DExGN", ui::ControlText(m_dialog, kEdit));
    Send(kEdit, WM_CHAR, VK_BACK);
    EXPECT_EQ("DEGN", ui::ControlText(m_dialog, kEdit));
    Send(kEdit, EM_LIMITTEXT, 5);
    Send(kEdit, EM_SETSEL, 4, 4);
    Send(kEdit, WM_CHAR, 'A');
    Send(kEdit, WM_CHAR, 'B'); // over the limit: refused, the parent hears EN_MAXTEXT
    EXPECT_EQ("DEGNA", ui::ControlText(m_dialog, kEdit));
    EXPECT_EQ(1u, Count(WM_COMMAND, EN_MAXTEXT));
    emu::RemoveDesktopObserver(&recorder);
    ASSERT_FALSE(recorder.texts.empty());
    EXPECT_EQ("DEGNA", recorder.texts.back()); // typing is seen, not only SetWindowText
}

TEST_F(UserControls, ProgressBarKeepsItsRangeAndStepItWrapsToTheLowerBound) {
    ProgressRecorder recorder;
    emu::AddDesktopObserver(&recorder);
    EXPECT_EQ(MAKELONG(0, 100), Send(kProgress, PBM_SETRANGE, 0, MAKELPARAM(0, 30)));
    EXPECT_EQ(10, Send(kProgress, PBM_SETSTEP, 1));
    EXPECT_EQ(0, Send(kProgress, PBM_SETPOS, 0));
    for (int i = 0; i < 30; ++i)
        Send(kProgress, PBM_STEPIT);
    EXPECT_EQ(30, Send(kProgress, PBM_GETPOS)); // at the end, not past it
    EXPECT_EQ(30, Send(kProgress, PBM_STEPIT));
    EXPECT_EQ(0, Send(kProgress, PBM_GETPOS)); // past the end: back to the lower bound
    EXPECT_EQ(0, Send(kProgress, PBM_SETPOS, 500));
    EXPECT_EQ(30, Send(kProgress, PBM_GETPOS));  // clamped into the range
    Send(kProgress, PBM_SETRANGE32, 50, 200000); // the position follows the range
    EXPECT_EQ(50, Send(kProgress, PBM_GETPOS));
    emu::RemoveDesktopObserver(&recorder);
    ASSERT_FALSE(recorder.moves.empty());
    EXPECT_EQ((std::vector<int>{50, 50, 200000}), recorder.moves.back());
    // One per change: range, 30 steps, wrap, clamp, range; none for the unchanged
    // PBM_SETSTEP and PBM_SETPOS(0).
    EXPECT_EQ(34u, recorder.moves.size());
}

int CALLBACK ByDataDescending(LPARAM a, LPARAM b, LPARAM sortParam) {
    EXPECT_EQ(77, sortParam);
    return a < b ? 1 : a > b ? -1 : 0;
}

int CALLBACK Inconsistent(LPARAM, LPARAM, LPARAM) {
    return 1;
}

TEST_F(UserControls, ListViewSortsByItemDataThroughTheComparison) {
    const LPARAM data[] = {30, 10, 50, 20, 40, 10};
    const char* names[] = {"c", "a1", "e", "b", "d", "a2"};
    for (int i = 0; i < 6; ++i)
        Insert(kList, i, names[i], data[i], i == 2 ? LVIS_SELECTED : 0);
    ASSERT_TRUE(Send(kList, LVM_SORTITEMS, 77, reinterpret_cast<LPARAM>(ByDataDescending)));
    std::vector<std::string> order;
    for (int i = 0; i < 6; ++i)
        order.push_back(ui::ListItemText(m_dialog, kList, i));
    // Equal keys keep their order ("a1" before "a2"); the state moves with its item.
    EXPECT_EQ((std::vector<std::string>{"e", "d", "c", "b", "a1", "a2"}), order);
    EXPECT_EQ(0, Send(kList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    // A comparison that contradicts itself still leaves every item in the list.
    ASSERT_TRUE(Send(kList, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(Inconsistent)));
    EXPECT_EQ(6, Send(kList, LVM_GETITEMCOUNT));
    EXPECT_FALSE(Send(kList, LVM_SORTITEMS, 0, 0));
}

TEST_F(UserControls, MouseClicksSelectAndNotifyWithTheItem) {
    Insert(kSingle, 0, "FOLDER1", 1000);
    Insert(kSingle, 1, "FOLDER2", 2000);
    Click(kSingle, 1, false);
    EXPECT_EQ(1, Send(kSingle, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    EXPECT_EQ(1, Send(kSingle, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    Click(kSingle, 0, true);
    EXPECT_EQ(0, Send(kSingle, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    EXPECT_EQ(1, Send(kSingle, LVM_GETSELECTEDCOUNT));
    EXPECT_LE(2u, Count(WM_NOTIFY, LVN_ITEMCHANGED));
    std::vector<std::pair<int, LPARAM>> clicks, doubles;
    for (const Notification& note : g_notes) {
        if (note.code == NM_CLICK)
            clicks.emplace_back(note.item, note.param);
        if (note.code == NM_DBLCLK)
            doubles.emplace_back(note.item, note.param);
    }
    // The release that ends a double click is no click of its own.
    EXPECT_EQ((std::vector<std::pair<int, LPARAM>>{{1, 2000}, {0, 1000}}), clicks);
    EXPECT_EQ((std::vector<std::pair<int, LPARAM>>{{0, 1000}}), doubles);
    // A click beside the items selects nothing and names no item.
    Send(kSingle, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 500));
    Send(kSingle, WM_LBUTTONUP, 0, MAKELPARAM(5, 500));
    EXPECT_EQ(0, Send(kSingle, LVM_GETSELECTEDCOUNT));
    EXPECT_EQ(-1, g_notes.back().item);
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
