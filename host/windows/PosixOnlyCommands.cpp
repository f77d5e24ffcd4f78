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

// Commands the Windows build does not have yet.
int NotYet(const char* name) {
    std::fprintf(stderr, "vantel %s: not in the Windows build yet; the POSIX build has it\n", name);
    return 2;
}
int RunPick(const std::vector<std::string>&) {
    return NotYet("pick");
}
int RunBrowse(const std::vector<std::string>&) {
    return NotYet("browse");
}
int RunMkdir(const std::vector<std::string>&) {
    return NotYet("mkdir");
}
int RunRename(const std::vector<std::string>&) {
    return NotYet("rename");
}
int RunRm(const std::vector<std::string>&) {
    return NotYet("rm");
}

} // namespace

VANTEL_COMMAND("pick", "pick ...", "(POSIX build only, for now)", RunPick);
VANTEL_COMMAND("browse", "browse ...", "(POSIX build only, for now)", RunBrowse);
VANTEL_COMMAND("mkdir", "mkdir ...", "(POSIX build only, for now)", RunMkdir);
VANTEL_COMMAND("rename", "rename ...", "(POSIX build only, for now)", RunRename);
VANTEL_COMMAND("rm", "rm ...", "(POSIX build only, for now)", RunRm);
VANTEL_COMMAND("machine", "machine ...", "(POSIX build only) the simulated machine", RunMachine);
VANTEL_COMMAND("ui-tour", "ui-tour ...", "(POSIX build only) the terminal tour of the dialogs",
               RunUiTour);
