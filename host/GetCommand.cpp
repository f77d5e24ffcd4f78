// vantel get: receives one design from the machine into memory (CCom::DirectUpload) and writes
// it to a file; the file is written only when bytes arrived.
#include "ComHost.h"
#include "command/Com.h"

#include <cstdio>

namespace {

int RunGet(const std::vector<std::string>& words) {
    host::Args args(words, {});
    const auto medium = host::MediumOption(args, "get", 1);
    if (!medium)
        return 2;
    const auto out = args.Get("out");
    if (!args.Ok() || args.Positional().size() != 1 || !out) {
        std::fprintf(stderr, "vantel get: %s\n",
                     args.Ok() ? "usage: vantel get MACHINEPATH --out FILE [--medium M]"
                               : args.Error().c_str());
        return 2;
    }
    std::string name = args.Positional()[0];
    host::ComHost session;
    CCom com(session.Owner(), NULL);
    unsigned int length = 0;
    const unsigned char* bytes = com.DirectUpload(*medium, &name[0], &length);
    if (bytes == NULL) {
        std::printf("get: nothing received\n");
        return 1;
    }
    if (!host::WriteWholeFile(*out, bytes, length)) {
        std::fprintf(stderr, "vantel get: cannot write %s\n", out->c_str());
        return 1;
    }
    std::printf("%s on medium %u -> %s: %u bytes\n", name.c_str(), *medium, out->c_str(), length);
    return 0;
}

} // namespace

VANTEL_COMMAND("get", "get MACHINEPATH --out FILE [--medium M]",
               "receive a design from the machine without a dialog (medium 1 by default)", RunGet);
