// vantel put: sends one design file, read into memory, to the machine (CCom::DirectDownload).
#include "ComHost.h"
#include "command/Com.h"

#include <cstdio>

namespace {

int RunPut(const std::vector<std::string>& words) {
    host::Args args(words, {});
    const auto medium = host::MediumOption(args, "put", 1);
    if (!medium)
        return 2;
    const auto to = args.Get("to");
    if (!args.Ok() || args.Positional().size() != 1 || !to) {
        std::fprintf(stderr, "vantel put: %s\n",
                     args.Ok() ? "usage: vantel put FILE --to MACHINEPATH [--medium M]"
                               : args.Error().c_str());
        return 2;
    }
    const std::string& file = args.Positional()[0];
    std::vector<unsigned char> bytes;
    if (!host::ReadWholeFile(file, bytes)) {
        std::fprintf(stderr, "vantel put: cannot read %s\n", file.c_str());
        return 1;
    }
    host::ComHost session;
    CCom com(session.Owner(), NULL);
    std::string name = *to;
    const int code = com.DirectDownload(bytes.data(), bytes.size(), &name[0], *medium);
    if (code != 0) {
        std::printf("put: result %d\n", code);
        return 1;
    }
    std::printf("%s -> %s on medium %u: %zu bytes\n", file.c_str(), to->c_str(), *medium,
                bytes.size());
    return 0;
}

} // namespace

VANTEL_COMMAND("put", "put FILE --to MACHINEPATH [--medium M]",
               "send a design file to the machine without a dialog (medium 1 by default)", RunPut);
