// What vantel pick and vantel browse share: one call of ReceiveDesignDialog with the terminal
// presenter showing its nested dialogs and message boxes, and the report of what it handed over
// (the design and its companion written into a PC folder, the medium and the flag given back).
#pragma once

#include "ComHost.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace host {

// The command line of vantel browse: [--medium M] [--all] [--out DIR] (DIR "." by default, a
// folder that exists). Empty, with the reason on stderr, when it is wrong.
struct BrowseOptions {
    unsigned short medium;
    bool all;
    std::string out;
};
std::optional<BrowseOptions> ReadBrowseOptions(const std::vector<std::string>& words);

class BrowserSession {
public:
    // The nested dialogs and message boxes are shown on `out`.
    BrowserSession(unsigned medium, bool showAll, FILE* out = stdout);
    ~BrowserSession(); // releases the blocks handed over
    BrowserSession(const BrowserSession&) = delete;
    BrowserSession& operator=(const BrowserSession&) = delete;

    // Shows the browser (on this thread) until it ends; returns ReceiveDesignDialog's result.
    int Run();
    // Prints the outcome and writes what was handed over into `folder` (the design under its
    // own name, the companion as <base>.rzf); true when a design was handed over and written.
    bool Report(const std::string& folder) const;

private:
    ComHost m_host;
    DWORD m_medium;
    BYTE m_showAll;
    int m_result = 0;
    BYTE* m_design = nullptr;
    DWORD m_designSize = 0;
    BYTE* m_companion = nullptr;
    DWORD m_companionSize = 0;
    char m_name[1024] = {};
};

} // namespace host
