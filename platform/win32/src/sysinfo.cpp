// System information and modules: GetVersionExA, GetVersion, GetWindowsDirectoryA,
// GetSystemDirectoryA, GetModuleFileNameA; the process's scratch folder and the letter-case
// lookup of paths below the Windows directory.
//
// VANTEL_WINDOWS_VERSION names the system reported: 95, 98, me, nt4, 2000, xp, 2003, vista,
// 7 (the default), 8, 8.1, 10, win32s, or "major.minor:platform" (platform 0 Win32s,
// 1 Windows 9x, 2 NT). Each name reports the numbers of its last service pack. Windows 10
// is reported as a program that declares it in its manifest sees it (10.0, build 19045);
// one without that declaration would be told 6.2. A value that names nothing is reported
// once on stderr and Windows 7 is reported instead.
#include "sysinfo.h"

#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace emu {
namespace internal {

namespace {

struct NamedVersion {
    const char* name;
    WindowsVersion version;
};

const NamedVersion kVersions[] = {
    {"win32s", {3, 10, 0, VER_PLATFORM_WIN32s, "", 0, 0}},
    {"95", {4, 0, 950, VER_PLATFORM_WIN32_WINDOWS, "", 0, 0}},
    {"98", {4, 10, 1998, VER_PLATFORM_WIN32_WINDOWS, "", 0, 0}},
    {"me", {4, 90, 3000, VER_PLATFORM_WIN32_WINDOWS, "", 0, 0}},
    {"nt4", {4, 0, 1381, VER_PLATFORM_WIN32_NT, "Service Pack 6", 6, VER_NT_WORKSTATION}},
    {"2000", {5, 0, 2195, VER_PLATFORM_WIN32_NT, "Service Pack 4", 4, VER_NT_WORKSTATION}},
    {"xp", {5, 1, 2600, VER_PLATFORM_WIN32_NT, "Service Pack 3", 3, VER_NT_WORKSTATION}},
    {"2003", {5, 2, 3790, VER_PLATFORM_WIN32_NT, "Service Pack 2", 2, VER_NT_SERVER}},
    {"vista", {6, 0, 6002, VER_PLATFORM_WIN32_NT, "Service Pack 2", 2, VER_NT_WORKSTATION}},
    {"7", {6, 1, 7601, VER_PLATFORM_WIN32_NT, "Service Pack 1", 1, VER_NT_WORKSTATION}},
    {"8", {6, 2, 9200, VER_PLATFORM_WIN32_NT, "", 0, VER_NT_WORKSTATION}},
    {"8.1", {6, 3, 9600, VER_PLATFORM_WIN32_NT, "", 0, VER_NT_WORKSTATION}},
    {"10", {10, 0, 19045, VER_PLATFORM_WIN32_NT, "", 0, VER_NT_WORKSTATION}},
};
const WindowsVersion& kDefaultVersion = kVersions[9].version; // Windows 7

// "major.minor:platform", each a decimal number.
bool ParseNumbers(const char* text, WindowsVersion* version) {
    unsigned major = 0, minor = 0, platform = 0;
    int used = 0;
    if (sscanf(text, "%u.%u:%u%n", &major, &minor, &platform, &used) != 3 || text[used] != '\0' ||
        strchr(text, '-') != nullptr)
        return false;
    *version = {major,
                minor,
                0,
                platform,
                "",
                0,
                static_cast<BYTE>(platform == VER_PLATFORM_WIN32_NT ? VER_NT_WORKSTATION : 0)};
    return true;
}

std::string Absolute(const std::string& path) {
    if (path.empty() || path[0] == '/')
        return path;
    char* folder = getcwd(nullptr, 0);
    if (folder == nullptr)
        return path;
    std::string absolute = std::string(folder) + "/" + path;
    free(folder);
    return absolute;
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    remove(path);
    return 0;
}

std::mutex g_scratchLock;
std::string g_scratch;    // guarded by g_scratchLock
pid_t g_scratchOwner = 0; // the process that created it (a forked child leaves it alone)

void RemoveScratch() {
    std::lock_guard<std::mutex> lock(g_scratchLock);
    if (!g_scratch.empty() && g_scratchOwner == getpid())
        nftw(g_scratch.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

// The entry of `folder` whose name equals `name` without regard to letter case (the first
// in byte order when several do); empty when none does.
std::string EntryIgnoringCase(const std::string& folder, const std::string& name) {
    DIR* directory = opendir(folder.c_str());
    if (directory == nullptr)
        return std::string();
    std::string found;
    while (struct dirent* entry = readdir(directory)) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0 &&
            (found.empty() || found > entry->d_name))
            found = entry->d_name;
    }
    closedir(directory);
    return found;
}

} // namespace

WindowsVersion ReportedVersion() {
    const char* text = getenv("VANTEL_WINDOWS_VERSION");
    if (text == nullptr || *text == '\0')
        return kDefaultVersion;
    for (const NamedVersion& entry : kVersions) {
        if (strcasecmp(entry.name, text) == 0)
            return entry.version;
    }
    WindowsVersion version;
    if (ParseNumbers(text, &version))
        return version;
    static std::once_flag warned;
    std::call_once(warned, [text] {
        fprintf(stderr,
                "vantel: VANTEL_WINDOWS_VERSION=\"%s\" names no Windows version (95, 98, me, "
                "nt4, 2000, xp, 2003, vista, 7, 8, 8.1, 10, win32s or major.minor:platform); "
                "Windows 7 is reported\n",
                text);
    });
    return kDefaultVersion;
}

bool IsNtFamily() {
    return ReportedVersion().platform == VER_PLATFORM_WIN32_NT;
}

std::string ScratchFolder() {
    std::lock_guard<std::mutex> lock(g_scratchLock);
    if (g_scratch.empty() || g_scratchOwner != getpid()) {
        const char* tmp = getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/vantel-process-XXXXXX";
        if (mkdtemp(&pattern[0]) == nullptr)
            return std::string();
        bool first = g_scratch.empty();
        g_scratch = pattern;
        g_scratchOwner = getpid();
        if (first)
            atexit(RemoveScratch);
    }
    return g_scratch;
}

std::string WindowsDirectory(bool create) {
    const char* configured = getenv("VANTEL_WINDOWS_DIR");
    if (configured != nullptr && *configured != '\0')
        return WithoutTrailingSlashes(Absolute(PlainPosixPath(configured)));
    {
        std::lock_guard<std::mutex> lock(g_scratchLock);
        if (!create && (g_scratch.empty() || g_scratchOwner != getpid()))
            return std::string();
    }
    std::string scratch = ScratchFolder();
    if (scratch.empty())
        return scratch;
    std::string folder = scratch + "/Windows";
    if (create && mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        return std::string();
    return folder;
}

std::string ResolveBelowWindowsDirectory(const std::string& path) {
    std::string windows = WindowsDirectory(false);
    if (windows.empty() || path.size() <= windows.size() + 1 ||
        path.compare(0, windows.size(), windows) != 0 || path[windows.size()] != '/')
        return path;
    std::string resolved = windows;
    size_t start = windows.size() + 1;
    while (start < path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        std::string component = path.substr(start, slash - start);
        std::string candidate = resolved + "/" + component;
        struct stat info;
        if (!component.empty() && component != "." && component != ".." &&
            lstat(candidate.c_str(), &info) != 0) {
            std::string match = EntryIgnoringCase(resolved, component);
            if (match.empty())
                return resolved + path.substr(start - 1); // the rest as written
            candidate = resolved + "/" + match;
        }
        resolved = candidate;
        start = slash + 1;
    }
    if (path.back() == '/')
        resolved += '/';
    return resolved;
}

} // namespace internal
} // namespace emu

using namespace emu::internal;

extern "C" {

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
    if (lpVersionInformation == nullptr)
        return Fail(ERROR_NOACCESS);
    DWORD size = lpVersionInformation->dwOSVersionInfoSize;
    if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA))
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    WindowsVersion version = ReportedVersion();
    lpVersionInformation->dwMajorVersion = version.major;
    lpVersionInformation->dwMinorVersion = version.minor;
    // The 9x family keeps the version in the build number's high word.
    lpVersionInformation->dwBuildNumber =
        version.platform == VER_PLATFORM_WIN32_WINDOWS
            ? (version.build & 0xFFFF) | (version.major << 24) | (version.minor << 16)
            : version.build;
    lpVersionInformation->dwPlatformId = version.platform;
    memset(lpVersionInformation->szCSDVersion, 0, sizeof lpVersionInformation->szCSDVersion);
    strncpy(lpVersionInformation->szCSDVersion, version.servicePack,
            sizeof lpVersionInformation->szCSDVersion - 1);
    if (size == sizeof(OSVERSIONINFOEXA)) {
        auto* extended = reinterpret_cast<LPOSVERSIONINFOEXA>(lpVersionInformation);
        extended->wServicePackMajor = version.servicePackMajor;
        extended->wServicePackMinor = 0;
        extended->wSuiteMask = 0;
        extended->wProductType = version.productType;
        extended->wReserved = 0;
    }
    return TRUE;
}

DWORD WINAPI GetVersion(void) {
    WindowsVersion version = ReportedVersion();
    DWORD low = (version.major & 0xFF) | ((version.minor & 0xFF) << 8);
    if (version.platform == VER_PLATFORM_WIN32_NT)
        return low | ((version.build & 0x7FFF) << 16);
    return low | 0x80000000; // the 9x family and Win32s set the high bit
}

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
    std::string folder = WindowsDirectory(true);
    if (folder.empty()) {
        Fail(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    return CopyOut(folder, uSize, lpBuffer);
}

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
    std::string folder = WindowsDirectory(true);
    if (folder.empty()) {
        Fail(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    folder += IsNtFamily() ? "\\System32" : "\\System";
    return CopyOut(folder, uSize, lpBuffer);
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    std::string path;
    Dl_info info;
    if (hModule != nullptr && dladdr(hModule, &info) != 0 && info.dli_fbase == hModule &&
        info.dli_fname != nullptr && info.dli_fname[0] != '\0') {
        char* real = realpath(info.dli_fname, nullptr);
        path = real != nullptr ? real : info.dli_fname;
        free(real);
    } else if (hModule != nullptr) {
        Fail(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (path.empty() || hModule == nullptr) { // the executable, also when dladdr names it ""
        std::vector<char> buffer(4096);
        ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
        if (length <= 0) {
            Fail(ERROR_MOD_NOT_FOUND);
            return 0;
        }
        path.assign(buffer.data(), static_cast<size_t>(length));
    }
    if (lpFilename == nullptr && nSize != 0)
        return Fail(ERROR_NOACCESS);
    // A buffer too small gets as much as fits and a terminator; the result is then nSize.
    if (path.size() < nSize) {
        memcpy(lpFilename, path.c_str(), path.size() + 1);
        return static_cast<DWORD>(path.size());
    }
    if (nSize != 0) {
        memcpy(lpFilename, path.data(), nSize - 1);
        lpFilename[nSize - 1] = '\0';
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
}

} // extern "C"
