// What the vantel commands built on the command object share: the terminal presenter that
// shows the library's message boxes, a window that owns them and takes the device
// notifications, and the reading of a medium option.
#pragma once

#include "stdafx.h"
#include "Command.h"
#include "Presenter.h"

#include <optional>
#include <string>

namespace host {

class ComHost {
public:
    ComHost();
    ~ComHost();
    ComHost(const ComHost&) = delete;
    ComHost& operator=(const ComHost&) = delete;

    HWND Owner() const { return m_owner; }

private:
    Presenter m_presenter;
    HWND m_owner;
};

// The --medium option: 1 built-in memory, 2 ATA card, 3 USB memory, 4 the sewing design;
// `fallback` when it is not given. Empty (with a message on stderr) for anything else.
std::optional<unsigned short> MediumOption(Args& args, const char* command, long long fallback);

// A --selector option: a status selector of 0 to 255 (`fallback` when not given).
std::optional<BYTE> SelectorOption(Args& args, const char* command, long long fallback);

} // namespace host
