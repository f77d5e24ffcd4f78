// Paths, folders and whole-file calls: the path conversion every file call uses, the errno
// translation, attributes, DeleteFileA, MoveFileA, CopyFileA, CreateDirectoryA,
// RemoveDirectoryA, GetFileAttributesA, GetTempPathA, GetTempFileNameA,
// GetCurrentDirectoryA and GetFullPathNameA.
//
// Both '\' and '/' separate path components. A leading drive ("C:") is dropped: "C:\x" is
// "/x" and "C:x" is "x", as there is one file tree. Paths the emulation returns use '/'.
// Below the Windows directory, names are found without regard to letter case.
#include "sysinfo.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/time.h>
#include <unistd.h>

#include <vector>

namespace emu {
namespace internal {

namespace {

// The folder part of a POSIX path ("." when it has none).
std::string FolderOf(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    size_t slash = trimmed.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : trimmed.substr(0, slash);
}

// The last component of a POSIX path.
std::string LastComponent(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    size_t slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

bool IsFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A path argument of the calling thread, converted; false with ERROR_INVALID_PARAMETER or
// ERROR_PATH_NOT_FOUND set when it is missing or empty.
bool TakePath(LPCSTR name, std::string* path) {
    if (name == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    *path = PosixPath(name);
    if (path->empty())
        return Fail(ERROR_PATH_NOT_FOUND);
    return true;
}

bool CopyContents(int from, int to) {
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        ssize_t got = read(from, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0;
        for (ssize_t done = 0; done < got;) {
            ssize_t put = write(to, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0)
                return false;
            done += put;
        }
    }
}

} // namespace

std::string PosixPath(const char* path) {
    return ResolveBelowWindowsDirectory(PlainPosixPath(path));
}

std::string PlainPosixPath(const char* path) {
    std::string result(path);
    if (result.size() >= 2 && isalpha(static_cast<unsigned char>(result[0])) && result[1] == ':')
        result.erase(0, 2);
    for (char& c : result) {
        if (c == '\\')
            c = '/';
    }
    return result;
}

DWORD ErrorFromErrno(int error, const std::string& path) {
    switch (error) {
    case ENOENT:
        return path.empty() || IsFolder(FolderOf(path)) ? ERROR_FILE_NOT_FOUND
                                                        : ERROR_PATH_NOT_FOUND;
    case ENOTDIR:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    case EBUSY:
        return ERROR_BUSY;
    case ETXTBSY:
        return ERROR_SHARING_VIOLATION;
    case EXDEV:
        return ERROR_NOT_SAME_DEVICE;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case EFAULT:
        return ERROR_NOACCESS;
    default:
        return ERROR_GEN_FAILURE;
    }
}

DWORD CopyOut(const std::string& text, DWORD bufferLength, LPSTR buffer) {
    DWORD length = static_cast<DWORD>(text.size());
    if (buffer == nullptr || bufferLength <= length)
        return length + 1;
    memcpy(buffer, text.c_str(), text.size() + 1);
    return length;
}

DWORD AttributesOf(const std::string& name, const struct stat& info) {
    DWORD attributes = 0;
    if (S_ISDIR(info.st_mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (IsReadOnlyFile(info))
        attributes |= FILE_ATTRIBUTE_READONLY;
    if (!name.empty() && name[0] == '.' && name != "." && name != "..")
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

FILETIME FileTimeOf(const struct timespec& time) {
    const int64_t kEpochDifference = 11644473600LL; // seconds from 1601 to 1970
    int64_t seconds = static_cast<int64_t>(time.tv_sec) + kEpochDifference;
    uint64_t ticks = seconds < 0 ? 0
                                 : static_cast<uint64_t>(seconds) * 10000000ULL +
                                       static_cast<uint64_t>(time.tv_nsec) / 100;
    FILETIME result;
    result.dwLowDateTime = static_cast<DWORD>(ticks);
    result.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return result;
}

} // namespace internal
} // namespace emu

using namespace emu::internal;

extern "C" {

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
    std::string path;
    if (!TakePath(lpFileName, &path))
        return INVALID_FILE_ATTRIBUTES;
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        Fail(ErrorFromErrno(errno, path));
        return INVALID_FILE_ATTRIBUTES;
    }
    return AttributesOf(LastComponent(path), info);
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
    std::string path;
    if (!TakePath(lpFileName, &path))
        return FALSE;
    struct stat info;
    if (lstat(path.c_str(), &info) != 0)
        return Fail(ErrorFromErrno(errno, path));
    if (S_ISDIR(info.st_mode) || IsReadOnlyFile(info))
        return Fail(ERROR_ACCESS_DENIED); // a folder, or a read-only file
    if (!MayDeleteOpenFile(path))
        return FALSE;
    return unlink(path.c_str()) == 0 ? TRUE : Fail(ErrorFromErrno(errno, path));
}

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
    std::string from, to;
    if (!TakePath(lpExistingFileName, &from) || !TakePath(lpNewFileName, &to))
        return FALSE;
    int source = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0)
        return Fail(ErrorFromErrno(errno, from));
    struct stat info, target;
    if (fstat(source, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(source);
        return Fail(ERROR_ACCESS_DENIED);
    }
    bool targetExists = stat(to.c_str(), &target) == 0;
    if (targetExists && !bFailIfExists && IsReadOnlyFile(target)) {
        close(source);
        return Fail(ERROR_ACCESS_DENIED);
    }
    bool same = targetExists && target.st_dev == info.st_dev && target.st_ino == info.st_ino;
    if (same || !MayOpenShared(from, GENERIC_READ, FILE_SHARE_READ) ||
        !MayOpenShared(to, GENERIC_WRITE, 0)) {
        close(source);
        return Fail(ERROR_SHARING_VIOLATION);
    }
    int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (bFailIfExists ? O_EXCL : 0);
    int destination = open(to.c_str(), flags, info.st_mode & 07777);
    if (destination < 0) {
        int error = errno;
        close(source);
        return Fail(error == EEXIST ? ERROR_FILE_EXISTS : ErrorFromErrno(error, to));
    }
    bool copied = CopyContents(source, destination);
    int error = errno;
    if (copied) {
        struct timespec times[2] = {info.st_atim, info.st_mtim};
        futimens(destination, times);
        fchmod(destination, info.st_mode & 07777);
    }
    close(source);
    close(destination);
    return copied ? TRUE : Fail(ErrorFromErrno(error, to));
}

BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName) {
    std::string from, to;
    if (!TakePath(lpExistingFileName, &from) || !TakePath(lpNewFileName, &to))
        return FALSE;
    struct stat info;
    if (lstat(from.c_str(), &info) != 0)
        return Fail(ErrorFromErrno(errno, from));
    if (!MayDeleteOpenFile(from))
        return FALSE;
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return TRUE;
    int error = errno;
    if (error == EINVAL || error == ENOSYS) { // a file system without RENAME_NOREPLACE
        struct stat existing;
        if (lstat(to.c_str(), &existing) == 0)
            return Fail(ERROR_ALREADY_EXISTS);
        if (rename(from.c_str(), to.c_str()) == 0)
            return TRUE;
        error = errno;
    }
    if (error == EEXIST)
        return Fail(ERROR_ALREADY_EXISTS);
    if (error == EXDEV && !S_ISDIR(info.st_mode)) // another volume: copy, then delete
        return CopyFileA(lpExistingFileName, lpNewFileName, TRUE) && DeleteFileA(lpExistingFileName)
                   ? TRUE
                   : FALSE;
    return Fail(ErrorFromErrno(error, error == ENOENT ? to : from));
}

BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES) {
    std::string path;
    if (!TakePath(lpPathName, &path))
        return FALSE;
    if (mkdir(path.c_str(), 0777) == 0)
        return TRUE;
    return Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno, path));
}

BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
    std::string path;
    if (!TakePath(lpPathName, &path))
        return FALSE;
    if (rmdir(path.c_str()) == 0)
        return TRUE;
    switch (errno) {
    case ENOTDIR:
        return Fail(IsFolder(FolderOf(path)) ? ERROR_DIRECTORY : ERROR_PATH_NOT_FOUND);
    case EEXIST:
    case ENOTEMPTY:
        return Fail(ERROR_DIR_NOT_EMPTY);
    default:
        return Fail(ErrorFromErrno(errno, path));
    }
}

DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
    const char* folder = getenv("TMPDIR");
    std::string path = folder != nullptr && *folder != '\0' ? PosixPath(folder) : "/tmp";
    if (path.back() != '/')
        path += '/';
    return CopyOut(path, nBufferLength, lpBuffer);
}

UINT WINAPI GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString, UINT uUnique,
                             LPSTR lpTempFileName) {
    if (lpPathName == nullptr || lpTempFileName == nullptr) {
        Fail(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string folder(lpPathName);
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\')
        folder += '/';
    std::string prefix = lpPrefixString != nullptr ? std::string(lpPrefixString).substr(0, 3) : "";
    auto nameFor = [&](UINT unique) {
        char number[8];
        snprintf(number, sizeof number, "%X", unique & 0xFFFF);
        return folder + prefix + number + ".TMP";
    };
    if (nameFor(0xFFFF).size() >= MAX_PATH) {
        Fail(ERROR_BUFFER_OVERFLOW);
        return 0;
    }
    if (uUnique != 0) {
        strcpy(lpTempFileName, nameFor(uUnique).c_str());
        return uUnique & 0xFFFF;
    }
    UINT start = (GetTickCount() ^ static_cast<UINT>(getpid())) & 0xFFFF;
    for (UINT step = 0; step < 0xFFFF; ++step) {
        UINT unique = (start + step) % 0xFFFF + 1; // 1 .. 0xFFFF
        std::string name = nameFor(unique);
        int fd =
            open(PosixPath(name.c_str()).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            strcpy(lpTempFileName, name.c_str());
            return unique;
        }
        if (errno != EEXIST) {
            Fail(errno == ENOENT || errno == ENOTDIR ? ERROR_DIRECTORY : ErrorFromErrno(errno));
            return 0;
        }
    }
    Fail(ERROR_FILE_EXISTS);
    return 0;
}

DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
    char* folder = getcwd(nullptr, 0);
    if (folder == nullptr) {
        Fail(ErrorFromErrno(errno));
        return 0;
    }
    std::string path(folder);
    free(folder);
    return CopyOut(path, nBufferLength, lpBuffer);
}

DWORD WINAPI GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer,
                              LPSTR* lpFilePart) {
    if (lpFileName == nullptr || *lpFileName == '\0') {
        Fail(lpFileName == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_NAME);
        return 0;
    }
    std::string path = PosixPath(lpFileName);
    if (path.empty() || path[0] != '/') {
        char* folder = getcwd(nullptr, 0);
        if (folder == nullptr) {
            Fail(ErrorFromErrno(errno));
            return 0;
        }
        path = std::string(folder) + "/" + path;
        free(folder);
    }
    // Resolve "." and ".." by text, as Windows does (without looking at the disk).
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        std::string part = path.substr(start, slash - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = slash + 1;
    }
    std::string full;
    for (const std::string& part : parts)
        full += "/" + part;
    if (full.empty() || path.back() == '/')
        full += "/";
    DWORD result = CopyOut(full, nBufferLength, lpBuffer);
    if (lpFilePart != nullptr && result < nBufferLength && lpBuffer != nullptr) {
        size_t slash = full.rfind('/');
        *lpFilePart = slash + 1 < full.size() ? lpBuffer + slash + 1 : nullptr;
    }
    return result;
}

} // extern "C"
