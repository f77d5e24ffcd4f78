// The shell: SHFileOperationA (FO_DELETE) and ShellExecuteA.
//
// SHFileOperationA deletes the files and folders (with their content) of a list of names,
// each ended by a zero and the list by another; a last component may hold wildcards
// (FOF_FILESONLY keeps folders out of what they match). As on Windows:
//  - every name without wildcards must exist before anything is deleted; when one does not,
//    nothing is deleted and the result is ERROR_FILE_NOT_FOUND from Windows Vista on, 0x402
//    (the shell's "unknown error") before;
//  - without FOF_NOCONFIRMATION the user is asked first (a Yes/No message box owned by hwnd);
//    any answer but Yes deletes nothing, sets fAnyOperationsAborted and gives
//    ERROR_CANCELLED; read-only files are deleted like the others;
//  - the first name that cannot be deleted (a file in use: opened without FILE_SHARE_DELETE)
//    ends the operation: what came before stays deleted, it and the rest stay; the result is
//    its Win32 error (ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED, ...). Without
//    FOF_NOERRORUI the shell's error box says so first ("Error Deleting File or Folder").
// There is no recycle bin (FOF_ALLOWUNDO deletes for good) and no progress window. Other
// operations than FO_DELETE are not provided (ERROR_NOT_SUPPORTED).
//
// ShellExecuteA "open" (or a NULL verb, or "explore" for a folder) on a file or folder that
// exists tells the desktop observers and, when VANTEL_SHELL_OPEN names a program (such as
// xdg-open), runs it with the file's POSIX path, without waiting; it returns 42. A missing
// file gives SE_ERR_FNF (2), a missing folder SE_ERR_PNF (3), another verb SE_ERR_NOASSOC.
#include "sysinfo.h"
#include "user_internal.h"

#include <shellapi.h>

#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>

#include <thread>

extern char** environ;

namespace emu {
namespace internal {

namespace {

const int kUnknownShellError = 0x402;

bool HasWildcard(const std::string& name) {
    return name.find_first_of("*?") != std::string::npos;
}

// The folder part of a Windows path, with its separator ("" when it has none).
std::string FolderPart(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NamePart(const std::string& path) {
    return path.substr(FolderPart(path).size());
}

struct Item {
    std::string path;
    bool folder;
};

// The entries of `folder` (a Windows path ending with a separator, or "") matching
// `pattern`, without "." and "..".
std::vector<Item> Matches(const std::string& folder, const std::string& pattern, bool filesOnly) {
    std::vector<Item> items;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return items;
    do {
        bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (strcmp(data.cFileName, ".") == 0 || strcmp(data.cFileName, "..") == 0 ||
            (filesOnly && isFolder))
            continue;
        items.push_back({folder + data.cFileName, isFolder});
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return items;
}

// Deletes a file (read-only or not) or a folder with everything in it.
bool DeleteItem(const Item& item) {
    if (!item.folder) {
        std::string posix = PosixPath(item.path.c_str());
        struct stat info;
        if (stat(posix.c_str(), &info) == 0 && IsReadOnlyFile(info))
            chmod(posix.c_str(), info.st_mode | S_IWUSR);
        return DeleteFileA(item.path.c_str()) != FALSE;
    }
    for (const Item& inner : Matches(item.path + "\\", "*", false)) {
        if (!DeleteItem(inner))
            return false;
    }
    return RemoveDirectoryA(item.path.c_str()) != FALSE;
}

std::string Reason(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "Cannot find the file specified.";
    case ERROR_ACCESS_DENIED:
        return "Access is denied.";
    case ERROR_SHARING_VIOLATION:
        return "It is being used by another person or program.";
    case ERROR_DIR_NOT_EMPTY:
        return "The directory is not empty.";
    case ERROR_WRITE_PROTECT:
        return "The disk is write-protected.";
    default:
        return "Error " + std::to_string(error) + ".";
    }
}

void ShowDeleteError(const SHFILEOPSTRUCTA& op, const std::string& path, DWORD error) {
    if (op.fFlags & FOF_NOERRORUI)
        return;
    std::string text = "Cannot delete " + NamePart(path) + ": " + Reason(error) +
                       "\n\nMake sure the disk is not full or write-protected and that the "
                       "file is not currently in use.";
    MessageBoxA(op.hwnd, text.c_str(), "Error Deleting File or Folder", MB_OK | MB_ICONERROR);
}

bool ConfirmDelete(const SHFILEOPSTRUCTA& op, const std::vector<Item>& items) {
    if (op.fFlags & FOF_NOCONFIRMATION)
        return true;
    std::string text, caption;
    if (items.size() == 1) {
        text = "Are you sure you want to delete '" + NamePart(items[0].path) +
               (items[0].folder ? "' and all its contents?" : "'?");
        caption = items[0].folder ? "Confirm Folder Delete" : "Confirm File Delete";
    } else {
        text = "Are you sure you want to delete these " + std::to_string(items.size()) + " items?";
        caption = "Confirm Multiple File Delete";
    }
    return MessageBoxA(op.hwnd, text.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

int DeleteList(LPSHFILEOPSTRUCTA op) {
    // Read the list and find what it names, before deleting anything.
    std::vector<Item> items;
    for (const char* name = op->pFrom; *name != '\0'; name += strlen(name) + 1) {
        std::string path(name);
        if (HasWildcard(NamePart(path))) {
            std::vector<Item> found =
                Matches(FolderPart(path), NamePart(path), (op->fFlags & FOF_FILESONLY) != 0);
            items.insert(items.end(), found.begin(), found.end());
            continue;
        }
        DWORD attributes = GetFileAttributesA(name);
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            ShowDeleteError(*op, path, ERROR_FILE_NOT_FOUND);
            WindowsVersion version = ReportedVersion();
            return version.platform == VER_PLATFORM_WIN32_NT && version.major >= 6
                       ? ERROR_FILE_NOT_FOUND
                       : kUnknownShellError;
        }
        items.push_back({path, (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    }
    if (items.empty())
        return ERROR_SUCCESS;
    if (!ConfirmDelete(*op, items)) {
        op->fAnyOperationsAborted = TRUE;
        return ERROR_CANCELLED;
    }
    for (const Item& item : items) {
        if (!DeleteItem(item)) {
            DWORD error = GetLastError();
            ShowDeleteError(*op, item.path, error);
            return static_cast<int>(error);
        }
    }
    return ERROR_SUCCESS;
}

// Runs VANTEL_SHELL_OPEN with the file, without waiting for it (a thread reaps it).
bool RunOpener(const std::string& posixPath) {
    const char* opener = getenv("VANTEL_SHELL_OPEN");
    if (opener == nullptr || *opener == '\0')
        return true;
    std::string program(opener), argument(posixPath);
    char* argv[] = {&program[0], &argument[0], nullptr};
    pid_t child;
    if (posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
        fprintf(stderr, "vantel: VANTEL_SHELL_OPEN=%s cannot be run\n", opener);
        return false;
    }
    std::thread([child] {
        int status;
        waitpid(child, &status, 0);
    }).detach();
    return true;
}

HINSTANCE ShellResult(int value) {
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(value));
}

} // namespace

} // namespace internal
} // namespace emu

using namespace emu::internal;

extern "C" {

int WINAPI SHFileOperationA(LPSHFILEOPSTRUCTA lpFileOp) {
    if (lpFileOp == nullptr || lpFileOp->pFrom == nullptr)
        return ERROR_INVALID_PARAMETER;
    lpFileOp->fAnyOperationsAborted = FALSE;
    if (lpFileOp->wFunc != FO_DELETE)
        return ERROR_NOT_SUPPORTED;
    return DeleteList(lpFileOp);
}

HINSTANCE WINAPI ShellExecuteA(HWND, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR, LPCSTR lpDirectory,
                               INT) {
    if (lpFile == nullptr || *lpFile == '\0') {
        Fail(ERROR_FILE_NOT_FOUND);
        return ShellResult(SE_ERR_FNF);
    }
    std::string path(lpFile);
    std::string posix = PlainPosixPath(lpFile);
    if (lpDirectory != nullptr && *lpDirectory != '\0' && !posix.empty() && posix[0] != '/')
        path = std::string(lpDirectory) + "\\" + path;
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error =
            GetLastError() == ERROR_PATH_NOT_FOUND ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
        Fail(error);
        return ShellResult(static_cast<int>(error));
    }
    std::string verb = lpOperation != nullptr ? lpOperation : "open";
    bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (strcasecmp(verb.c_str(), "open") != 0 &&
        !(folder && strcasecmp(verb.c_str(), "explore") == 0)) {
        Fail(ERROR_NO_ASSOCIATION);
        return ShellResult(SE_ERR_NOASSOC);
    }
    posix = PosixPath(path.c_str());
    emu::user::ForEachObserver(
        [&](emu::DesktopObserver& observer) { observer.OnShellExecute(verb, path, posix); });
    if (!RunOpener(posix)) {
        Fail(ERROR_NO_ASSOCIATION);
        return ShellResult(SE_ERR_NOASSOC);
    }
    return ShellResult(42);
}

} // extern "C"
