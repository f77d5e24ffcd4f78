// The terminal presenter: what it writes for dialogs, their status texts and progress bars
// and for message boxes, and how it answers message boxes.
//
// The presenter belongs to the vantel program rather than to a library, so this test compiles
// its source in.
#include "host/Presenter.cpp"

#include "support/DialogBuilder.h"
#include "support/TestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

using host::ChooseAnswer;
using host::MessageBoxLine;
using host::OneLine;
using host::ProgressBar;

// The texts: status texts on one line, the bar clamped (an empty range too), a message box as
// its caption and text with indented lines.
TEST(PresenterText, LinesBarsAndMessageBoxes) {
    const std::pair<std::string, std::string> cases[] = {
        {"a b", OneLine("  a \n\n b\t")},
        {"", OneLine("\r\n\t ")},
        {"[###.......]  33%", ProgressBar(10, 0, 30, 10)},
        {"[##########] 100%", ProgressBar(99, 0, 30, 10)},
        {"[..........]   0%", ProgressBar(-5, 0, 30, 10)},
        {"[..........]   0%", ProgressBar(5, 7, 7, 10)},
        {"[#####.....]  50%", ProgressBar(0, -2147483647 - 1, 2147483647, 10)},
        {"Confirm: first\n  second", MessageBoxLine("Confirm", "first\r\nsecond")},
    };
    for (const auto& [expected, got] : cases)
        EXPECT_EQ(expected, got);
}

// Only Yes/No questions are asked, and only at a terminal: the answer to the given lines (then
// the end of the input) and how often the prompt was shown.
TEST(PresenterText, OnlyYesNoQuestionsAreAskedAndOnlyAtATerminal) {
    const struct {
        bool yesNo, terminal; // Yes/No (default No) or OK/Cancel (default Cancel)
        const char* input;
        int answer, asked;
    } cases[] = {
        {true, false, "y\n", IDNO, 0},        {true, true, " Yes \n", IDYES, 1},
        {true, true, "N\n", IDNO, 1},         {true, true, "\n", IDNO, 1},
        {true, true, "maybe\ny\n", IDYES, 2}, {true, true, "", IDNO, 1},
        {false, true, "y\n", IDCANCEL, 0},
    };
    for (const auto& c : cases) {
        emu::MessageBoxInfo box;
        box.buttons = c.yesNo ? std::vector<int>{IDYES, IDNO} : std::vector<int>{IDOK, IDCANCEL};
        box.defaultButton = box.buttons[1];
        std::istringstream input(c.input);
        int asked = 0;
        EXPECT_EQ(c.answer, ChooseAnswer(box, c.terminal,
                                         [&](std::string& reply) {
                                             ++asked;
                                             return static_cast<bool>(std::getline(input, reply));
                                         }))
            << c.input;
        EXPECT_EQ(c.asked, asked) << c.input;
    }
}

// The presenter watching real windows and message boxes of this process.
namespace {

const int IDC_STATUS = 10;
const int IDC_BAR = 11;
const int IDC_HIDDEN = 12;

// What the presenter writes (drawing in place or not) while `act` works on a shown dialog with
// a status text, a hidden text and a bar.
std::string Presented(bool drawInPlace, const std::function<void(HWND, HWND)>& act) {
    testsupport::TempDir dir;
    FILE* out = std::fopen(dir.File("out").c_str(), "w");
    {
        host::Presenter presenter(out, drawInPlace, false);
        testsupport::DialogBuilder dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT,
                                          "Send Designs", 150, 80);
        dialog.Control(0x80, IDCANCEL, WS_VISIBLE, "Cancel")
            .Control(0x82, IDC_STATUS, WS_VISIBLE, "Now Sending\r\n\t\t?/?")
            .Control(0x82, IDC_HIDDEN, 0, "not shown")
            .Control(PROGRESS_CLASSA, IDC_BAR, WS_VISIBLE, "");
        HWND hwnd = ::CreateDialogIndirectParamA(
            NULL, dialog.Template(), NULL,
            [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
        EXPECT_NE(nullptr, hwnd);
        act(hwnd, ::GetDlgItem(hwnd, IDC_BAR));
        ::DestroyWindow(hwnd);
    }
    std::fclose(out);
    const std::vector<uint8_t> text = testsupport::ReadFileBytes(dir.File("out")).value();
    return std::string(text.begin(), text.end());
}

} // namespace

TEST(Presenter, DialogCaptionStatusTextsBarAndMessageBoxesInLines) {
    int answer = 0, okAnswer = 0;
    EXPECT_EQ("[Send Designs]\n"
              "  Now Sending ?/?\n"
              "  Now Sending : A.kst 1/2\n"
              "  [###############...............]  50%\n" // drawn before the next text
              "  Now Sending : B.kst 2/2\n"
              "  [##############################] 100%\n" // and before the message box
              "Search USB Driver: Delete USB driver information?\n"
              "  -> No\n"
              "Sending: Failed to send a design.\n",
              Presented(false, [&](HWND dialog, HWND bar) {
                  ::SendMessageA(bar, PBM_SETRANGE, 0, MAKELONG(0, 20)); // not shown yet
                  ::ShowWindow(dialog, SW_SHOW);
                  ::SetDlgItemTextA(dialog, IDC_STATUS, "Now Sending : A.kst\r\n\t\t1/2");
                  for (int i = 1; i <= 10; ++i)
                      ::SendMessageA(bar, PBM_SETPOS, i, 0);
                  ::SetDlgItemTextA(dialog, IDC_HIDDEN, "still not shown");
                  ::SetDlgItemTextA(dialog, IDC_STATUS, "Now Sending : B.kst\r\n\t\t2/2");
                  ::SendMessageA(bar, PBM_SETPOS, 20, 0);
                  answer =
                      ::MessageBoxA(dialog, "Delete USB driver information?", "Search USB Driver",
                                    MB_YESNO | MB_DEFBUTTON2 | MB_ICONEXCLAMATION);
                  okAnswer = ::MessageBoxA(dialog, "Failed to send a design.", "Sending", MB_OK);
              }));
    EXPECT_EQ(IDNO, answer);
    EXPECT_EQ(IDOK, okAnswer);
}

TEST(Presenter, BarIsRedrawnInPlaceOnATerminal) {
    EXPECT_EQ("[Send Designs]\n"
              "  Now Sending ?/?\n"
              "\r  [..............................]   0%"
              "\r  [###############...............]  50%"
              "\r  [##############################] 100%\n"
              "  done\n",
              Presented(true, [](HWND dialog, HWND bar) {
                  ::ShowWindow(dialog, SW_SHOW);
                  ::SendMessageA(bar, PBM_SETRANGE, 0, MAKELONG(0, 2));
                  ::SendMessageA(bar, PBM_SETPOS, 1, 0);
                  ::SendMessageA(bar, PBM_SETPOS, 1, 0); // unchanged: not drawn again
                  ::SendMessageA(bar, PBM_SETPOS, 2, 0);
                  ::SetDlgItemTextA(dialog, IDC_STATUS, "done");
              }));
}
