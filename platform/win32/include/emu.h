// The emulation's own interface: what Windows gets from outside the process (the clock's
// scale, the devices and the desktop). Only the platform layer, the plug of the simulated
// machine, the host and the tests use it; the system code never does.
#pragma once

#include "windef.h"

#include <string>

namespace emu {

// The scale applied to every Sleep, wait time-out, timer period and tick count. Read from
// VANTEL_TIME_SCALE at first use (a positive number, default 1); 0.01 runs a 700 ms pause
// in 7 ms of real time while GetTickCount still advances by 700.
double TimeScale();
void SetTimeScale(double scale);

// Converts a duration of the emulated clock in milliseconds to real nanoseconds.
long long ScaledNanoseconds(DWORD milliseconds);

// Named mutexes are shared by every process of the user, as on Windows. Processes that set
// VANTEL_OBJECT_NAMESPACE to the same text share a namespace of their own instead, so that
// tests running side by side with the system's real mutex names do not meet.

// The registry lives in the file VANTEL_REGISTRY names (a file of the process's own
// temporary folder when unset). ReloadRegistry reads that file again as a new process would;
// open keys whose paths still exist stay usable. RegistryFile names the file.
void ReloadRegistry();
std::string RegistryFile();

// The machine's environment the system code sees (read at each call):
//  - VANTEL_WINDOWS_VERSION: what GetVersionExA reports (95, 98, me, nt4, 2000, xp, 2003,
//    vista, 7, 8, 8.1, 10, win32s or major.minor:platform; default 7);
//  - VANTEL_WINDOWS_DIR: the Windows directory (default: a folder "Windows" in the process's
//    own temporary folder, empty, removed when the process exits);
//  - VANTEL_USER_IS_ADMIN: 1 puts the Administrators group in the process's access token;
//  - VANTEL_SHELL_OPEN: a program ShellExecuteA runs with the file it opens (xdg-open, say);
//    unset, opening only tells the desktop observers.

} // namespace emu
