// vantel doctor: what the library does when it finds no driver interface of the machine. With
// the interface present it says so; without it (or with --diagnose) it runs the driver
// troubleshooting through the terminal presenter: the diagnosis of the driver's installation
// (Windows version, driver file, setup information file, registry entry, all as the
// emulation's VANTEL_WINDOWS_VERSION, VANTEL_WINDOWS_DIR and VANTEL_REGISTRY describe them) and
// its questions, answered at the prompt (lines "y" or "n" on standard input; at the end of the
// input, the question's default, No). On Windows the troubleshooting examines the computer
// itself, its dialog and message boxes are real windows, and the shell opens the help file.
#include "Command.h"
#include "Presenter.h"

#include <afxwin.h>
#include <setupapi.h>
#ifndef _WIN32
#include <emu_desktop.h>
#endif

#include "driver/TroubleshootDriver.h"
#include "usb/DriverInterface.h"

#include <cstdio>
#include <unistd.h>

namespace {

#ifndef _WIN32
// Says what the shell is asked to open (the help file about removing the driver by hand).
class ShellReporter : public emu::DesktopObserver {
public:
    ShellReporter() { emu::AddDesktopObserver(this); }
    ~ShellReporter() override { emu::RemoveDesktopObserver(this); }
    void OnShellExecute(const std::string& verb, const std::string& path,
                        const std::string& /*posixPath*/) override {
        std::printf("The shell performs \"%s\" on %s\n", verb.c_str(), path.c_str());
        std::fflush(stdout);
    }
};
#endif

// Whether a device interface of the machine's driver is present, looked up as the transport
// looks it up.
bool DriverInterfacePresent() {
    HDEVINFO hDevInfo = ::SetupDiGetClassDevsA(&GUID_USBCOMM_INTERFACE, NULL, NULL,
                                               DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (hDevInfo == INVALID_HANDLE_VALUE)
        return false;
    bool bFound = false;
    for (DWORD dwIndex = 0; dwIndex < USBCOMM_MAX_INTERFACES && !bFound; ++dwIndex) {
        SP_DEVICE_INTERFACE_DATA data = {};
        data.cbSize = sizeof data;
        bFound = ::SetupDiEnumDeviceInterfaces(hDevInfo, NULL, &GUID_USBCOMM_INTERFACE, dwIndex,
                                               &data) != FALSE;
    }
    ::SetupDiDestroyDeviceInfoList(hDevInfo);
    return bFound;
}

int RunDoctor(const std::vector<std::string>& words) {
    host::Args args(words, {"diagnose"});
    if (!args.Ok()) {
        std::fprintf(stderr, "vantel doctor: %s\n", args.Error().c_str());
        return 2;
    }
    if (!args.Positional().empty()) {
        std::fprintf(stderr, "vantel doctor: takes no arguments\n");
        return 2;
    }

    bool bPresent = DriverInterfacePresent();
    if (bPresent) {
        std::printf("The machine's driver interface is present: the library reaches the "
                    "machine.\n");
        std::fflush(stdout);
        if (!args.Has("diagnose"))
            return 0;
    } else {
        std::printf("No driver interface of the machine is present: troubleshooting the "
                    "USB driver.\n");
        std::fflush(stdout);
    }

    // Questions are always read from standard input, so that answers can be piped in.
    host::Presenter presenter(stdout, isatty(fileno(stdout)) != 0, true);
#ifndef _WIN32
    ShellReporter shell;
#endif
    TroubleshootDriver(NULL);
    return bPresent ? 0 : 1;
}

} // namespace

VANTEL_COMMAND("doctor", "doctor [--diagnose]",
               "say whether the machine's driver is reachable, else troubleshoot the USB driver",
               RunDoctor);
