// The operator panel as text commands, for `vantel machine panel` and the socket server:
// the same words drive an embedded and a served machine.
#pragma once

#include "machine/Machine.h"

#include <string>
#include <vector>

namespace machine {

struct PanelReply {
    int status = 0;              // 0 done, 1 refused by the machine, 2 not understood
    std::string text;            // what the panel shows
    std::vector<uint8_t> output; // bytes handed out (a design, a service answer)
};

// Carries out one panel command; `input` holds the bytes a command takes in (put-sewing).
PanelReply RunPanelCommand(Machine& machine, const std::vector<std::string>& words,
                           const std::vector<uint8_t>& input);

// The commands, one a line, for usage messages.
const char* PanelCommandHelp();

// Reads a folder-information blob as the machine's screen shows it: one entry a line,
// folders ending with '\'. Malformed records end the listing with a note.
std::string DescribeFolderBlob(const std::vector<uint8_t>& blob);

// One trace entry as a line of text.
std::string DescribeTraceEntry(const TraceEntry& entry);

} // namespace machine
