// The commands of the POSIX build that have no place on Windows: the simulated machine (the
// library reaches the real machine through its driver here) and the terminal tour of the dialog
// templates (the dialogs are real windows here). Each says so and exits with 2.
#include "host/Command.h"

#include <cstdio>

namespace {

int RunMachine(const std::vector<std::string>& /*args*/) {
    std::fprintf(stderr, "vantel machine: the simulated machine exists only on the POSIX build; "
                         "on Windows the library reaches the real machine through its USB "
                         "driver\n");
    return 2;
}

int RunUiTour(const std::vector<std::string>& /*args*/) {
    std::fprintf(stderr, "vantel ui-tour: the terminal tour of the dialogs exists only on the "
                         "POSIX build; on Windows the library's dialogs are real windows\n");
    return 2;
}

} // namespace

VANTEL_COMMAND("machine", "machine ...", "(POSIX build only) the simulated machine", RunMachine);
VANTEL_COMMAND("ui-tour", "ui-tour ...", "(POSIX build only) the terminal tour of the dialogs",
               RunUiTour);
