// vantel put: sends one design file, read into memory, to the machine (CCom::DirectDownload).
// A DST, EXP or extended design is converted in memory and sent under its name with ".kst".
#include "ComHost.h"
#include "host/DesignFiles.h"
#include "command/Com.h"

#include <cstdio>

namespace {

const char kDetails[] =
    "FILE is a .kst, .kst+, .dst or .exp file; all but a .kst are converted in memory. "
    "MACHINEPATH\n"
    "names the design on the machine; one that ends with a backslash is a folder, and the design\n"
    "goes into it under the file's name (with .kst); without --to it goes into \\EMB\\.\n";

int RunPut(const std::vector<std::string>& words) {
    host::Args args(words, {});
    const auto medium = host::MediumOption(args, "put", 1);
    if (!medium)
        return 2;
    if (!args.Ok() || args.Positional().size() != 1) {
        std::fprintf(stderr, "vantel put: %s\n",
                     args.Ok() ? "usage: vantel put FILE [--to MACHINEPATH] [--medium M]"
                               : args.Error().c_str());
        return 2;
    }
    const std::string& file = args.Positional()[0];
    host::MachineDesign design;
    const std::string problem = host::LoadDesignForMachine(file, design);
    if (!problem.empty()) {
        std::fprintf(stderr, "vantel put: %s\n", problem.c_str());
        return 1;
    }
    std::string to = args.Get("to").value_or("\\EMB\\");
    if (!to.empty() && to.back() == '\\')
        to += design.name;
    host::ComHost session;
    CCom com(session.Owner(), NULL);
    std::string name = to;
    const int code =
        com.DirectDownload(design.bytes.data(), design.bytes.size(), &name[0], *medium);
    if (code != 0) {
        std::printf("put: result %d\n", code);
        return 1;
    }
    std::printf("%s -> %s on medium %u: %zu bytes\n", file.c_str(), to.c_str(), *medium,
                design.bytes.size());
    return 0;
}

} // namespace

VANTEL_COMMAND_WITH_DETAILS(
    "put", "put FILE [--to MACHINEPATH] [--medium M]",
    "send a design file (.kst, .kst+, .dst, .exp) to the machine without a dialog "
    "(medium 1 by default)",
    kDetails, RunPut);
