// What vantel mkdir, rename and rm share: the list control that the host owns and fills with a
// machine folder's items (as a host application shows a folder), the names typed into the
// library's name dialogs (from the command line, or at the prompt), and machine paths.
#pragma once

#include "ComHost.h"
#include "UserThread.h"

#include <afxcmn.h>

#include <atomic>
#include <optional>
#include <string>

// How the commands' help says a name that the command line does not give is had.
#ifdef _WIN32
#define VANTEL_NAME_NOT_GIVEN "typed into the dialog by the user"
#else
#define VANTEL_NAME_NOT_GIVEN "asked at the prompt"
#endif

namespace host {

// A hidden list control of the host holding the names of a machine folder's items.
class FolderList {
public:
    explicit FolderList(HWND owner);
    ~FolderList();
    FolderList(const FolderList&) = delete;
    FolderList& operator=(const FolderList&) = delete;

    // Reads the folder through the folder-list dialog; false when it could not be read.
    bool Fill(unsigned short medium, const std::string& folder);
    CListCtrl* Control() { return &m_list; }

private:
    HWND m_window;
    CListCtrl m_list;
};

// "\EMB\F\A.KST" -> "\EMB\F"; "\EMB" -> "" (cut before the last backslash, trailing ones
// skipped).
std::string ParentPath(const std::string& path);

// Asks at the prompt (on standard error) for a line; the default for an empty answer; nothing
// at the end of input.
std::optional<std::string> AskLine(const std::string& question, const std::string& fallback);
// Asks a yes/no question at the prompt; the end of input is No.
bool AskYes(const std::string& question);

// How the name dialog went, seen from the host's subclass of it.
struct NameDialogState {
    std::atomic<int> rejected{0}; // names the dialog refused and stayed open for
};

// Drives a name dialog (caption, edit id) from a UserThread: the name from the command line is
// typed in and OK pressed (one try; a refused name cancels the dialog, after its message box).
// Without one, on POSIX the name is asked at the prompt until the dialog accepts one (the end of
// input cancels); on Windows the dialog is a window on the desktop and the user types into it.
// Returns when the dialog has gone (at once on Windows without a name).
void EnterName(const std::string& caption, int editId, const std::optional<std::string>& name,
               const std::string& question, const NameDialogState& state);

} // namespace host
