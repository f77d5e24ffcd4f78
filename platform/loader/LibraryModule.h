// The library's module handle on POSIX builds: the base address at which the shared library
// is loaded, under which its resources are registered with the emulation. For the platform
// layer and the host only.
#pragma once

#include <windows.h>

HMODULE VantelLibraryModule();
