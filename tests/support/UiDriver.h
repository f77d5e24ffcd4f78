// Drives windows as a user would, through the Win32 API only (so that the same tests can run
// under Wine): find a window by its caption, read a control's text and state, click a button,
// toggle a check box, select and double-click a list entry, read and answer a message box.
// Reading sends messages to the window's thread, so they return once that thread pumps.
// Waits poll in real time; `timeoutMs` is real time.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace ui {

// A visible top-level window with this caption (and class, if given), or NULL after the time.
HWND WaitForWindow(const std::string& caption, int timeoutMs = 10000,
                   const char* className = nullptr);

std::string WindowText(HWND hwnd);
std::string ControlText(HWND dialog, int id);
bool IsControlEnabled(HWND dialog, int id);

// Clicks a push button or check box as the mouse would: only an enabled, visible control
// (false otherwise). The click is posted: it happens when the window's thread pumps.
bool ClickButton(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);
// Clicks the check box when its state differs from `checked`.
bool SetCheckBox(HWND dialog, int id, bool checked);

// Replaces an edit field's text as typing would (select all, then the characters).
bool TypeText(HWND dialog, int id, const std::string& text);

// The user's close box (refused while the system menu's Close is greyed).
bool CloseWindowAsUser(HWND hwnd);

int ListCount(HWND dialog, int id);
std::string ListItemText(HWND dialog, int id, int index);
// The first selected item, or -1.
int ListSelection(HWND dialog, int id);
bool SelectListItem(HWND dialog, int id, int index);
bool DoubleClickListItem(HWND dialog, int id, int index);

struct MessageBoxView {
    HWND hwnd = NULL;
    std::string caption;
    std::string text;
    std::vector<int> buttons; // ids present, in id order
    bool hasIcon = false;
};

// Waits for a message box (a "#32770" window holding the text static 0xFFFF) with this
// caption; fills `box`.
bool WaitForMessageBox(const std::string& caption, MessageBoxView* box, int timeoutMs = 10000);
// Clicks one of the box's buttons.
bool AnswerMessageBox(const MessageBoxView& box, int button);

} // namespace ui
