// vantel browse on Windows: "Receive a Design" (ReceiveDesignDialog) as the window it is, worked
// by the user with the mouse and the keyboard; the design received (and its companion) written
// into a PC folder as on POSIX, where the browser is drawn at the terminal instead.
#include "host/BrowserHost.h"

namespace {

int RunBrowse(const std::vector<std::string>& words) {
    const auto options = host::ReadBrowseOptions(words);
    if (!options)
        return 2;
    host::BrowserSession session(options->medium, options->all);
    session.Run();
    return session.Report(options->out) ? 0 : 1;
}

} // namespace

VANTEL_COMMAND("browse", "browse [--medium M] [--all] [--out DIR]",
               "browse the machine's media in the \"Receive a Design\" window and receive a design "
               "(and its companion)",
               RunBrowse);
