// The machine's environment as the emulation reports it (the Windows version, the Windows
// directory, the process's scratch folder), shared by the system-information, path,
// registry, security and shell sources.
#pragma once

#include "kernel.h"

#include <string>

namespace emu {
namespace internal {

// What GetVersionExA reports: the system VANTEL_WINDOWS_VERSION names, read at every call.
struct WindowsVersion {
    DWORD major;
    DWORD minor;
    DWORD build;
    DWORD platform; // VER_PLATFORM_*
    const char* servicePack;
    WORD servicePackMajor;
    BYTE productType; // VER_NT_*, 0 outside the NT family
};
WindowsVersion ReportedVersion();

// True on the NT family: the registry keeps security descriptors and checks access, a key
// with subkeys cannot be deleted, and the process has an access token.
bool IsNtFamily();

// The process's own temporary folder (created at first use, removed with everything in it
// when the process that created it exits normally); empty when it cannot be created.
std::string ScratchFolder();

// The Windows directory as a POSIX path without a trailing '/': VANTEL_WINDOWS_DIR, or the
// folder "Windows" in the scratch folder, created when `create` is true. Empty when unset
// and not created yet (or not creatable).
std::string WindowsDirectory(bool create);

// A POSIX path below the Windows directory with each missing component replaced by an
// existing entry of the same name in another letter case, as Windows' file system finds
// it. Other paths, and the components from the first one that matches nothing, are kept.
std::string ResolveBelowWindowsDirectory(const std::string& path);

} // namespace internal
} // namespace emu
