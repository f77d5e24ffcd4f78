// vantel status: whether the machine answers and is not running (CCom::GetStatus).
#include "ComHost.h"
#include "command/Com.h"

#include <cstdio>

namespace {

int RunStatus(const std::vector<std::string>& words) {
    host::Args args(words, {});
    const auto selector = host::SelectorOption(args, "status", 1);
    if (!selector)
        return 2;
    if (!args.Ok() || !args.Positional().empty()) {
        std::fprintf(stderr, "vantel status: %s\n",
                     args.Ok() ? "usage: vantel status [--selector N]" : args.Error().c_str());
        return 2;
    }
    host::ComHost session;
    CCom com(session.Owner(), NULL);
    const int code = com.GetStatus(*selector);
    if (code != 0) {
        std::printf("status: result %d\n", code);
        return 1;
    }
    std::printf("The machine answers and is not running.\n");
    return 0;
}

} // namespace

VANTEL_COMMAND("status", "status [--selector N]",
               "whether the machine answers and is not running (message box on failure)",
               RunStatus);
