// vantel connected: the library's connection test, IsConnectRX4400, as an exit status.
#include "stdafx.h"
#include "Command.h"
#include "frame/VantelPrintUsb.h"

#include <cstdio>

namespace {

int RunConnected(const std::vector<std::string>& args) {
    if (!args.empty()) {
        std::fprintf(stderr, "vantel connected: takes no arguments\n");
        return 2;
    }
    if (IsConnectRX4400()) {
        std::printf("A machine is connected.\n");
        return 0;
    }
    std::printf("No machine is connected (no driver interface, or the device cannot be opened: "
                "switched off, unplugged or held by another program).\n");
    return 1;
}

} // namespace

VANTEL_COMMAND("connected", "connected",
               "exit status 0 when a machine is connected, 1 when none is (sends nothing)",
               RunConnected);
