// The terminal presenter: what it writes for dialogs, their status texts and progress bars
// and for message boxes, and how it answers message boxes.
//
// The presenter belongs to the vantel program rather than to a library, so this test compiles
// its source in.
#include "host/Presenter.cpp"

#include "resources/DialogTemplates.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <string>

using host::ChooseAnswer;
using host::MessageBoxLine;
using host::OneLine;
using host::ProgressBar;

TEST(PresenterText, StatusTextsGoOnOneLine) {
    EXPECT_EQ("Now Sending : A.kst 1/3", OneLine("Now Sending : A.kst\r\n\t\t1/3"));
    EXPECT_EQ("a b", OneLine("  a \n\n b\t"));
    EXPECT_EQ("", OneLine("\r\n\t "));
}

TEST(PresenterText, ProgressBarClampsAndSurvivesAnEmptyRange) {
    EXPECT_EQ("[..........]   0%", ProgressBar(0, 0, 30, 10));
    EXPECT_EQ("[###.......]  33%", ProgressBar(10, 0, 30, 10));
    EXPECT_EQ("[##########] 100%", ProgressBar(30, 0, 30, 10));
    EXPECT_EQ("[##########] 100%", ProgressBar(99, 0, 30, 10));
    EXPECT_EQ("[..........]   0%", ProgressBar(-5, 0, 30, 10));
    EXPECT_EQ("[..........]   0%", ProgressBar(5, 7, 7, 10));
    EXPECT_EQ("[#####.....]  50%", ProgressBar(0, -2147483647 - 1, 2147483647, 10));
}

TEST(PresenterText, MessageBoxIsCaptionAndTextWithIndentedLines) {
    EXPECT_EQ("Sending: Failed to send a design.",
              MessageBoxLine("Sending", "Failed to send a design."));
    EXPECT_EQ("Confirm: first\n  second", MessageBoxLine("Confirm", "first\r\nsecond"));
}

namespace {

emu::MessageBoxInfo Box(std::vector<int> buttons, int defaultButton) {
    emu::MessageBoxInfo box;
    box.buttons = buttons;
    box.defaultButton = defaultButton;
    return box;
}

// Answers the prompt with the given lines, then reports the end of the input.
std::function<bool(std::string&)> Replies(std::deque<std::string> lines, int* asked) {
    return [lines, asked](std::string& reply) mutable {
        ++*asked;
        if (lines.empty())
            return false;
        reply = lines.front();
        lines.pop_front();
        return true;
    };
}

} // namespace

TEST(PresenterText, OnlyYesNoQuestionsAreAskedAndOnlyAtATerminal) {
    int asked = 0;
    emu::MessageBoxInfo question = Box({IDYES, IDNO}, IDNO);
    EXPECT_EQ(IDNO, ChooseAnswer(question, false, Replies({"y"}, &asked)));
    EXPECT_EQ(0, asked);
    EXPECT_EQ(IDYES, ChooseAnswer(question, true, Replies({" Yes "}, &asked)));
    EXPECT_EQ(IDNO, ChooseAnswer(question, true, Replies({"N"}, &asked)));
    EXPECT_EQ(IDNO, ChooseAnswer(question, true, Replies({""}, &asked)));
    asked = 0;
    EXPECT_EQ(IDYES, ChooseAnswer(question, true, Replies({"maybe", "y"}, &asked)));
    EXPECT_EQ(2, asked);
    EXPECT_EQ(IDNO, ChooseAnswer(question, true, Replies({}, &asked))); // end of input

    asked = 0;
    EXPECT_EQ(IDOK, ChooseAnswer(Box({IDOK}, IDOK), true, Replies({"n"}, &asked)));
    EXPECT_EQ(IDCANCEL,
              ChooseAnswer(Box({IDOK, IDCANCEL}, IDCANCEL), true, Replies({"y"}, &asked)));
    EXPECT_EQ(0, asked);
}

// The presenter watching real windows and message boxes of this process.
namespace {

const int IDC_STATUS = 10;
const int IDC_BAR = 11;
const int IDC_HIDDEN = 12;

HWND CreateProgressDialog() {
    static const DIALOGCONTROL controls[] = {
        {IDCANCEL, "Button", WS_VISIBLE, "Cancel", 5, 5, 50, 14},
        {IDC_STATUS, "Static", WS_VISIBLE, "Now Sending\r\n\t\t?/?", 5, 25, 100, 20},
        {IDC_HIDDEN, "Static", 0, "not shown", 5, 45, 100, 10},
        {IDC_BAR, PROGRESS_CLASSA, WS_VISIBLE, "", 5, 60, 100, 10},
    };
    static const DIALOGRESOURCE dialog = {1,
                                          "Send Designs",
                                          WS_POPUP | WS_CAPTION | WS_SYSMENU,
                                          "MS Shell Dlg",
                                          8,
                                          0,
                                          0,
                                          150,
                                          80,
                                          controls,
                                          4};
    static std::vector<BYTE> bytes;
    if (bytes.empty() && !BuildDialogTemplate(dialog, bytes))
        return NULL;
    return ::CreateDialogIndirectParamA(
        NULL, reinterpret_cast<LPCDLGTEMPLATE>(bytes.data()), NULL,
        [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
}

class Output {
public:
    Output() : m_file(std::tmpfile()) {}
    ~Output() { std::fclose(m_file); }
    FILE* File() { return m_file; }
    std::string Text() {
        std::fflush(m_file);
        std::rewind(m_file);
        std::string text;
        char buffer[512];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, m_file)) > 0)
            text.append(buffer, got);
        return text;
    }

private:
    FILE* m_file;
};

} // namespace

TEST(Presenter, DialogCaptionStatusTextsBarAndMessageBoxesInLines) {
    Output out;
    int answer = 0, okAnswer = 0;
    {
        host::Presenter presenter(out.File(), false, false);
        HWND dialog = CreateProgressDialog();
        ASSERT_NE(nullptr, dialog);
        HWND bar = ::GetDlgItem(dialog, IDC_BAR);
        ::SendMessageA(bar, PBM_SETRANGE, 0, MAKELONG(0, 20)); // not shown yet: nothing
        ::ShowWindow(dialog, SW_SHOW);
        ::SetDlgItemTextA(dialog, IDC_STATUS, "Now Sending : A.kst\r\n\t\t1/2");
        for (int i = 1; i <= 10; ++i)
            ::SendMessageA(bar, PBM_SETPOS, i, 0);
        ::SetDlgItemTextA(dialog, IDC_HIDDEN, "still not shown");
        ::SetDlgItemTextA(dialog, IDC_STATUS, "Now Sending : B.kst\r\n\t\t2/2");
        ::SendMessageA(bar, PBM_SETPOS, 20, 0);
        answer = ::MessageBoxA(dialog, "Delete USB driver information?", "Search USB Driver",
                               MB_YESNO | MB_DEFBUTTON2 | MB_ICONEXCLAMATION);
        okAnswer = ::MessageBoxA(dialog, "Failed to send a design.", "Sending", MB_OK);
        ::DestroyWindow(dialog);
    }
    EXPECT_EQ(IDNO, answer);
    EXPECT_EQ(IDOK, okAnswer);
    EXPECT_EQ("[Send Designs]\n"
              "  Now Sending ?/?\n"
              "  Now Sending : A.kst 1/2\n"
              "  [###############...............]  50%\n" // drawn before the next text
              "  Now Sending : B.kst 2/2\n"
              "  [##############################] 100%\n" // and before the message box
              "Search USB Driver: Delete USB driver information?\n"
              "  -> No\n"
              "Sending: Failed to send a design.\n",
              out.Text());
}

TEST(Presenter, BarIsRedrawnInPlaceOnATerminal) {
    Output out;
    {
        host::Presenter presenter(out.File(), true, false);
        HWND dialog = CreateProgressDialog();
        ASSERT_NE(nullptr, dialog);
        ::ShowWindow(dialog, SW_SHOW);
        HWND bar = ::GetDlgItem(dialog, IDC_BAR);
        ::SendMessageA(bar, PBM_SETRANGE, 0, MAKELONG(0, 2));
        ::SendMessageA(bar, PBM_SETPOS, 1, 0);
        ::SendMessageA(bar, PBM_SETPOS, 1, 0); // unchanged: not drawn again
        ::SendMessageA(bar, PBM_SETPOS, 2, 0);
        ::SetDlgItemTextA(dialog, IDC_STATUS, "done");
        ::DestroyWindow(dialog);
    }
    EXPECT_EQ("[Send Designs]\n"
              "  Now Sending ?/?\n"
              "\r  [..............................]   0%"
              "\r  [###############...............]  50%"
              "\r  [##############################] 100%\n"
              "  done\n",
              out.Text());
}
