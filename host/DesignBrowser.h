// The host's hands on the "Receive a Design" browser that ReceiveDesignDialog shows: what it
// shows, read through the Win32 API, and what a user does to it (buttons, clicks on the list),
// posted as a mouse would. vantel pick drives it by a script, vantel browse by keys.
#pragma once

#include "stdafx.h"

#include <functional>
#include <string>
#include <vector>

namespace host {

class DesignBrowser {
public:
    struct Entry {
        std::string name;
        int image = -1; // 4 folder, 11 extended design, 12 plain design
        bool selected = false;
    };
    struct View {
        std::string media[3]; // the captions of the medium buttons 1 to 3
        std::string label;
        std::vector<Entry> entries;
        std::string openCaption; // "Open" or "Up"
        bool openEnabled = false;
        bool receiveEnabled = false;
        bool rzOnly = false;
        bool busy = false; // a nested dialog (folder list, reception, message box) is up
    };

    // Waits (real time) for the browser to be on the screen; false when it did not come.
    bool WaitForWindow(int timeoutMs = 30000);
    bool IsOpen() const;
    View Read() const;
    // Waits until no nested dialog is up and `condition` holds for the view (false on time-out
    // or when the browser has gone).
    template <class Condition> bool WaitUntil(Condition condition, int timeoutMs = 30000) const;

    void ClickMedium(int medium);
    void ClickEntry(int index);
    void DoubleClickEntry(int index);
    void ClickOpen();
    void ClickReceive();
    void ClickRzOnly();
    void Close();
    // Presses Cancel of a nested dialog that lets the user cancel (a reception under way).
    void CancelNested();

    static int Find(const View& view, const std::string& name);

private:
    bool Idle() const;
    bool WaitIdleFor(const std::function<bool(const View&)>& condition, int timeoutMs) const;

    HWND m_dialog = NULL;
};

template <class Condition> bool DesignBrowser::WaitUntil(Condition condition, int timeoutMs) const {
    return WaitIdleFor(std::function<bool(const View&)>(condition), timeoutMs);
}

} // namespace host
