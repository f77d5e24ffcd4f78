// The emulation's desktop: what Windows gets from outside the program for its windows.
//  - Resources: the dialog templates and bitmaps that a module carries (on Windows, linked
//    in by the resource compiler) are registered here and found by FindResourceA,
//    LoadBitmapA, DialogBoxParamA and CreateDialogParamA.
//  - Observers: whoever looks at the screen (the command-line host's terminal presenter, a
//    test's recorder) is told when windows appear, change and go, and when message boxes
//    open and close.
//  - The message-box answerer: where nobody is present, a message box is answered at once
//    with its default button, so that a program never waits for a user who is not there.
// Only the platform layer, host/ and tests use this header; the system code never does.
#pragma once

#include "windows.h"

#include <functional>
#include <string>
#include <vector>

namespace emu {

// ---------------------------------------------------------------------------------------
// Resources

// Registers the resource `id` of type `type` (RT_DIALOG, RT_BITMAP, ...) of `module` (NULL:
// the program's own module). `bytes` are exactly what a compiled resource holds and are
// copied: for RT_DIALOG a DLGTEMPLATE (or DLGTEMPLATEEX) with its items, texts in 16-bit
// characters; for RT_BITMAP a BITMAPINFOHEADER, its colour table and the rows of pixels from
// the bottom up (1, 4, 8, 24 or 32 bits per pixel, uncompressed). Registering an existing
// type and id of the module replaces it.
void RegisterResource(HMODULE module, LPCSTR type, WORD id, const void* bytes, size_t size);

// Removes one resource, or every resource of a module (when it is unloaded). Returns
// whether there was anything to remove.
bool UnregisterResource(HMODULE module, LPCSTR type, WORD id);
bool UnregisterModuleResources(HMODULE module);

// ---------------------------------------------------------------------------------------
// Observers

// A message box as its observers see it.
struct MessageBoxInfo {
    HWND hwnd = NULL;  // the box's window ("#32770")
    HWND owner = NULL; // the owner given to MessageBoxA (may be NULL)
    DWORD threadId = 0;
    std::string caption; // "Error" when MessageBoxA got NULL
    std::string text;
    UINT type = 0;            // the MB_* flags given to MessageBoxA
    std::vector<int> buttons; // the buttons' ids (IDOK, IDYES, ...) from left to right
    int defaultButton = 0;    // the id of the default button
};

// What an observer returns from OnMessageBoxOpened.
constexpr int kNoAnswer = 0;     // no opinion: if nobody answers, the default answerer does
constexpr int kAnswerLater = -1; // someone present answers through the box's buttons

// Receives the desktop's events. Each is delivered synchronously on the thread that caused
// it (for a window, usually its own thread), with no emulation lock held, so an observer may
// call the Win32 API; what that call does is what it would do on that thread (a SendMessage
// to another thread's window waits for that thread).
class DesktopObserver {
public:
    virtual ~DesktopObserver() = default;

    virtual void OnWindowCreated(HWND /*hwnd*/) {}
    // Visibility of the window itself changed (ShowWindow, a dialog shown by its loop,
    // EndDialog hiding it).
    virtual void OnWindowShown(HWND /*hwnd*/, bool /*visible*/) {}
    virtual void OnWindowDestroyed(HWND /*hwnd*/) {}
    virtual void OnWindowTextChanged(HWND /*hwnd*/, const std::string& /*text*/) {}
    virtual void OnWindowEnabled(HWND /*hwnd*/, bool /*enabled*/) {}
    // The Close command of the window's system menu was greyed or enabled again.
    virtual void OnCloseCommandEnabled(HWND /*hwnd*/, bool /*enabled*/) {}
    // A progress bar's position or range changed.
    virtual void OnProgressChanged(HWND /*hwnd*/, int /*position*/, int /*lower*/, int /*upper*/) {}
    virtual void OnCursorChanged(HCURSOR /*cursor*/) {}
    virtual void OnBeep(UINT /*type*/) {}

    // A message box opened, on the thread that called MessageBoxA (which waits). Return the
    // id of one of its buttons to answer it now, kAnswerLater when someone present will
    // click one of its buttons, or kNoAnswer. When no observer answers and none returns
    // kAnswerLater, the default answerer answers.
    virtual int OnMessageBoxOpened(const MessageBoxInfo& /*box*/) { return kNoAnswer; }
    virtual void OnMessageBoxClosed(HWND /*hwnd*/, int /*result*/) {}

    // ShellExecuteA performs `verb` ("open", ...) on an existing file or folder (`path` as
    // the caller gave it, `posixPath` as found on disk). The emulation opens nothing itself
    // unless VANTEL_SHELL_OPEN names a program to run with the file.
    virtual void OnShellExecute(const std::string& /*verb*/, const std::string& /*path*/,
                                const std::string& /*posixPath*/) {}
};

// Adds or removes an observer (not owned). RemoveDesktopObserver returns once no other
// thread is inside one of the observer's methods.
void AddDesktopObserver(DesktopObserver* observer);
void RemoveDesktopObserver(DesktopObserver* observer);

// The answer for a message box that no observer answers: by default its default button
// (MB_DEFBUTTON1..4). An empty function restores that default. An answer that is not one of
// the box's buttons counts as the default button.
using MessageBoxAnswerer = std::function<int(const MessageBoxInfo&)>;
void SetDefaultMessageBoxAnswerer(MessageBoxAnswerer answerer);

// The standard cursor a handle stands for ("arrow", "wait", "ibeam", ...), or "" for a
// handle that is not a standard cursor.
std::string CursorName(HCURSOR cursor);

} // namespace emu
