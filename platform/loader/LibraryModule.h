// The library's module handle on POSIX builds: the base address at which the shared library
// is loaded, under which its resources are registered with the emulation. For the platform
// layer and the host only.
#pragma once

#include <windows.h>

HMODULE VantelLibraryModule();

// The library's entry point (frame/), which the loader calls with DLL_PROCESS_ATTACH when the
// library has been loaded and with DLL_PROCESS_DETACH before it is unloaded.
extern "C" int APIENTRY DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved);
