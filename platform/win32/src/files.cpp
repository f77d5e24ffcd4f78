// File handles: CreateFileA (its creation dispositions and share modes), ReadFile,
// WriteFile, FlushFileBuffers, GetFileSize, SetFilePointer, SetEndOfFile. Paths beginning
// with "\\?\" or "\\.\" go to the registered device openers.
//
// Share modes are enforced between the handles of this process: a file open without
// FILE_SHARE_WRITE refuses a second open for writing, and so on, with
// ERROR_SHARING_VIOLATION. Other processes are not checked.
#include "kernel.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <map>

namespace emu {
namespace internal {

namespace {

const DWORD kReadAccess = GENERIC_READ | GENERIC_ALL | GENERIC_EXECUTE;
const DWORD kWriteAccess = GENERIC_WRITE | GENERIC_ALL;
const DWORD kDeleteAccess = 0x00010000; // DELETE, implied by FILE_FLAG_DELETE_ON_CLOSE

const ULONG_PTR kStatusSuccess = 0;
const ULONG_PTR kStatusEndOfFile = 0xC0000011;

using FileId = std::pair<dev_t, ino_t>;

struct OpenEntry {
    const void* owner;
    DWORD access;
    DWORD share;
};

// The open files of the process by identity, with the access and sharing of each handle.
struct ShareTable {
    std::mutex lock;
    std::multimap<FileId, OpenEntry> entries;
};

ShareTable& Shares() {
    static ShareTable* table = new ShareTable;
    return *table;
}

// Would a handle with (access, share) and one with (otherAccess, otherShare) exclude each
// other?
bool Conflicts(DWORD access, DWORD share, DWORD otherAccess, DWORD otherShare) {
    auto excludes = [](DWORD wanted, DWORD sharing) {
        return ((wanted & kReadAccess) != 0 && (sharing & FILE_SHARE_READ) == 0) ||
               ((wanted & kWriteAccess) != 0 && (sharing & FILE_SHARE_WRITE) == 0) ||
               ((wanted & kDeleteAccess) != 0 && (sharing & FILE_SHARE_DELETE) == 0);
    };
    return excludes(access, otherShare) || excludes(otherAccess, share);
}

// Under Shares().lock.
bool ConflictsLocked(const FileId& id, DWORD access, DWORD share) {
    auto range = Shares().entries.equal_range(id);
    for (auto it = range.first; it != range.second; ++it) {
        if (Conflicts(access, share, it->second.access, it->second.share))
            return true;
    }
    return false;
}

class FileObject : public KernelObject {
public:
    FileObject(int fd, std::string path, const FileId& id, DWORD access, bool deleteOnClose)
        : m_fd(fd), m_path(std::move(path)), m_id(id), m_access(access),
          m_deleteOnClose(deleteOnClose) {}
    ~FileObject() override { close(m_fd); }

    const char* KindName() const override { return "file"; }

    void OnLastHandleClosed() override {
        {
            ShareTable& shares = Shares();
            std::lock_guard<std::mutex> lock(shares.lock);
            auto range = shares.entries.equal_range(m_id);
            for (auto it = range.first; it != range.second; ++it) {
                if (it->second.owner == this) {
                    shares.entries.erase(it);
                    break;
                }
            }
        }
        struct stat named, open;
        if (m_deleteOnClose && stat(m_path.c_str(), &named) == 0 && fstat(m_fd, &open) == 0 &&
            named.st_ino == open.st_ino && named.st_dev == open.st_dev)
            unlink(m_path.c_str());
    }

    BOOL Read(LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped) override {
        if (!MayTransfer(kReadAccess, buffer, toRead, read, overlapped))
            return FALSE;
        off_t offset = overlapped != nullptr ? OffsetOf(*overlapped) : -1;
        DWORD done = 0;
        int error = Transfer(false, static_cast<char*>(buffer), toRead, offset, &done);
        if (read != nullptr)
            *read = done;
        if (error != 0)
            return Fail(ErrorFromErrno(error));
        if (overlapped == nullptr)
            return TRUE;
        // A positioned read at the end of the file reports it, as Windows does.
        bool atEnd = done == 0 && toRead > 0;
        Complete(overlapped, atEnd ? kStatusEndOfFile : kStatusSuccess, done);
        return atEnd ? Fail(ERROR_HANDLE_EOF) : TRUE;
    }

    BOOL Write(LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED overlapped) override {
        if (!MayTransfer(kWriteAccess, buffer, toWrite, written, overlapped))
            return FALSE;
        off_t offset = -1;
        if (overlapped != nullptr) {
            bool append = overlapped->Offset == 0xFFFFFFFF && overlapped->OffsetHigh == 0xFFFFFFFF;
            struct stat info;
            offset = append ? (fstat(m_fd, &info) == 0 ? info.st_size : 0) : OffsetOf(*overlapped);
        }
        DWORD done = 0;
        int error =
            Transfer(true, static_cast<char*>(const_cast<void*>(buffer)), toWrite, offset, &done);
        if (written != nullptr)
            *written = done;
        if (error != 0)
            return Fail(ErrorFromErrno(error));
        if (overlapped != nullptr)
            Complete(overlapped, kStatusSuccess, done);
        return TRUE;
    }

    BOOL Flush() override {
        if ((m_access & kWriteAccess) == 0)
            return Fail(ERROR_ACCESS_DENIED);
        return fsync(m_fd) == 0 ? TRUE : Fail(ErrorFromErrno(errno));
    }

    DWORD GetSize(LPDWORD sizeHigh) override {
        struct stat info;
        if (fstat(m_fd, &info) != 0) {
            Fail(ErrorFromErrno(errno));
            return INVALID_FILE_SIZE;
        }
        uint64_t size = static_cast<uint64_t>(info.st_size);
        if (sizeHigh != nullptr)
            *sizeHigh = static_cast<DWORD>(size >> 32);
        if (static_cast<DWORD>(size) == INVALID_FILE_SIZE)
            SetLastError(NO_ERROR); // a real size that looks like the failure value
        return static_cast<DWORD>(size);
    }

    DWORD SetPointer(LONG distance, PLONG distanceHigh, DWORD method) override {
        int64_t move = distanceHigh != nullptr
                           ? static_cast<int64_t>((static_cast<uint64_t>(*distanceHigh) << 32) |
                                                  static_cast<DWORD>(distance))
                           : static_cast<int64_t>(distance);
        int64_t base;
        struct stat info;
        switch (method) {
        case FILE_BEGIN:
            base = 0;
            break;
        case FILE_CURRENT:
            base = lseek(m_fd, 0, SEEK_CUR);
            break;
        case FILE_END:
            base = fstat(m_fd, &info) == 0 ? info.st_size : -1;
            break;
        default:
            Fail(ERROR_INVALID_PARAMETER);
            return INVALID_SET_FILE_POINTER;
        }
        if (base < 0) {
            Fail(ErrorFromErrno(errno));
            return INVALID_SET_FILE_POINTER;
        }
        if ((move < 0 && base + move < 0) || (move > 0 && base > INT64_MAX - move)) {
            Fail(ERROR_NEGATIVE_SEEK);
            return INVALID_SET_FILE_POINTER;
        }
        int64_t position = lseek(m_fd, static_cast<off_t>(base + move), SEEK_SET);
        if (position < 0) {
            Fail(ErrorFromErrno(errno));
            return INVALID_SET_FILE_POINTER;
        }
        if (distanceHigh != nullptr)
            *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
        if (static_cast<DWORD>(position) == INVALID_SET_FILE_POINTER)
            SetLastError(NO_ERROR);
        return static_cast<DWORD>(position);
    }

    BOOL SetEnd() override {
        if ((m_access & kWriteAccess) == 0)
            return Fail(ERROR_ACCESS_DENIED);
        off_t position = lseek(m_fd, 0, SEEK_CUR);
        if (position < 0 || ftruncate(m_fd, position) != 0)
            return Fail(ErrorFromErrno(errno));
        return TRUE;
    }

    BOOL GetOverlappedResult(LPOVERLAPPED overlapped, LPDWORD transferred, BOOL) override {
        if (overlapped == nullptr || transferred == nullptr)
            return Fail(ERROR_INVALID_PARAMETER);
        *transferred = static_cast<DWORD>(overlapped->InternalHigh);
        if (overlapped->Internal == kStatusSuccess)
            return TRUE;
        return Fail(overlapped->Internal == kStatusEndOfFile ? ERROR_HANDLE_EOF
                                                             : ERROR_GEN_FAILURE);
    }

private:
    // The checks ReadFile and WriteFile share; clears the count of bytes done.
    BOOL MayTransfer(DWORD access, LPCVOID buffer, DWORD count, LPDWORD done,
                     LPOVERLAPPED overlapped) const {
        if (done != nullptr)
            *done = 0;
        if ((m_access & access) == 0)
            return Fail(ERROR_ACCESS_DENIED);
        if (done == nullptr && overlapped == nullptr)
            return Fail(ERROR_INVALID_PARAMETER);
        if (buffer == nullptr && count > 0)
            return Fail(ERROR_NOACCESS);
        return TRUE;
    }

    // Reads or writes `count` bytes at the file pointer (offset < 0) or at `offset`, going on
    // after short transfers; a read stops at the end of the file. Returns 0 or an errno value.
    int Transfer(bool writing, char* data, DWORD count, off_t offset, DWORD* done) const {
        while (*done < count) {
            char* at = data + *done;
            size_t rest = count - *done;
            ssize_t moved;
            if (writing)
                moved =
                    offset < 0 ? ::write(m_fd, at, rest) : pwrite(m_fd, at, rest, offset + *done);
            else
                moved = offset < 0 ? ::read(m_fd, at, rest) : pread(m_fd, at, rest, offset + *done);
            if (moved < 0 && errno == EINTR)
                continue;
            if (moved < 0)
                return errno;
            if (moved == 0)
                break;
            *done += static_cast<DWORD>(moved);
        }
        return 0;
    }

    static off_t OffsetOf(const OVERLAPPED& overlapped) {
        return static_cast<off_t>((static_cast<uint64_t>(overlapped.OffsetHigh) << 32) |
                                  overlapped.Offset);
    }

    // File I/O completes at once; an OVERLAPPED records the outcome and its event is set.
    static void Complete(LPOVERLAPPED overlapped, ULONG_PTR status, DWORD bytes) {
        overlapped->Internal = status;
        overlapped->InternalHigh = bytes;
        if (overlapped->hEvent != nullptr)
            SetEventHandle(overlapped->hEvent);
    }

    const int m_fd;
    const std::string m_path;
    const FileId m_id;
    const DWORD m_access;
    const bool m_deleteOnClose;
};

CallbackList<DeviceOpener>& Openers() {
    static auto* openers = new CallbackList<DeviceOpener>;
    return *openers;
}

bool IsDevicePath(const char* name) {
    return (name[0] == '\\' || name[0] == '/') && (name[1] == '\\' || name[1] == '/') &&
           (name[2] == '?' || name[2] == '.') && (name[3] == '\\' || name[3] == '/');
}

HANDLE OpenDevice(LPCSTR name, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    std::vector<DeviceOpener> openers = Openers().Snapshot();
    DWORD error = ERROR_FILE_NOT_FOUND;
    for (const DeviceOpener& opener : openers) {
        error = ERROR_FILE_NOT_FOUND;
        std::shared_ptr<KernelObject> device =
            opener(name, access, share, disposition, flags, &error);
        if (device) {
            HANDLE handle = InsertHandle(std::move(device));
            SetLastError(ERROR_SUCCESS);
            return handle;
        }
        if (error != ERROR_FILE_NOT_FOUND)
            break;
    }
    Fail(error);
    return INVALID_HANDLE_VALUE;
}

// Characters that no Win32 file name may hold (after the drive, which PosixPath removed).
bool HasInvalidCharacters(const std::string& path) {
    for (unsigned char c : path) {
        if (c < 32 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*' ||
            c == ':')
            return true;
    }
    return false;
}

// Opens `path` with the POSIX flags; for creation, tries an exclusive create first so that
// *existed tells what was there.
int OpenForDisposition(const std::string& path, int mode, DWORD disposition, mode_t permissions,
                       bool* existed) {
    *existed = true;
    switch (disposition) {
    case CREATE_NEW:
        *existed = false;
        return open(path.c_str(), mode | O_CREAT | O_EXCL, permissions);
    case CREATE_ALWAYS:
    case OPEN_ALWAYS:
        for (;;) {
            int fd = open(path.c_str(), mode | O_CREAT | O_EXCL, permissions);
            if (fd >= 0 || errno != EEXIST) {
                *existed = false;
                return fd;
            }
            fd = open(path.c_str(), mode);
            if (fd >= 0 || errno != ENOENT)
                return fd;
            // removed between the two calls: try again
        }
    default: // OPEN_EXISTING, TRUNCATE_EXISTING
        return open(path.c_str(), mode);
    }
}

bool Truncate(int fd, const std::string& path, DWORD access) {
    if ((access & kWriteAccess) != 0)
        return ftruncate(fd, 0) == 0;
    int writer = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (writer < 0)
        return false;
    bool done = ftruncate(writer, 0) == 0;
    close(writer);
    return done;
}

} // namespace

bool MayOpenShared(const std::string& posixPath, DWORD access, DWORD share) {
    struct stat info;
    if (stat(posixPath.c_str(), &info) != 0)
        return true;
    ShareTable& shares = Shares();
    std::lock_guard<std::mutex> lock(shares.lock);
    if (!ConflictsLocked(FileId(info.st_dev, info.st_ino), access, share))
        return true;
    Fail(ERROR_SHARING_VIOLATION);
    return false;
}

bool MayDeleteOpenFile(const std::string& posixPath) {
    return MayOpenShared(posixPath, kDeleteAccess,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
}

int AddDeviceOpener(DeviceOpener opener) {
    return Openers().Add(std::move(opener));
}

void RemoveDeviceOpener(int id) {
    Openers().Remove(id);
}

} // namespace internal
} // namespace emu

using namespace emu::internal;

extern "C" {

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE) {
    if (lpFileName == nullptr || dwCreationDisposition < CREATE_NEW ||
        dwCreationDisposition > TRUNCATE_EXISTING) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (IsDevicePath(lpFileName))
        return OpenDevice(lpFileName, dwDesiredAccess, dwShareMode, dwCreationDisposition,
                          dwFlagsAndAttributes);
    std::string path = PosixPath(lpFileName);
    if (path.empty()) {
        Fail(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (HasInvalidCharacters(path)) {
        Fail(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    if (dwCreationDisposition == TRUNCATE_EXISTING && (dwDesiredAccess & kWriteAccess) == 0) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    DWORD access = dwDesiredAccess;
    if ((dwFlagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0)
        access |= kDeleteAccess;
    bool reads = (access & kReadAccess) != 0;
    bool writes = (access & kWriteAccess) != 0;
    int mode = (reads && writes) ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
    mode_t permissions = (dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
    bool existed = false;
    int fd = OpenForDisposition(path, mode | O_CLOEXEC | O_NOCTTY, dwCreationDisposition,
                                permissions, &existed);
    if (fd < 0) {
        DWORD error = errno == EEXIST ? ERROR_FILE_EXISTS : ErrorFromErrno(errno, path);
        Fail(error);
        return INVALID_HANDLE_VALUE;
    }
    struct stat info;
    bool truncates = existed && (dwCreationDisposition == CREATE_ALWAYS ||
                                 dwCreationDisposition == TRUNCATE_EXISTING);
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) ||
        (existed && (writes || truncates) && IsReadOnlyFile(info))) {
        close(fd); // a folder is no file; a read-only file is not written
        Fail(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    FileId id(info.st_dev, info.st_ino);
    auto file = std::make_shared<FileObject>(
        fd, path, id, access, (dwFlagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0);
    {
        ShareTable& shares = Shares();
        std::lock_guard<std::mutex> lock(shares.lock);
        if (ConflictsLocked(id, access, dwShareMode)) {
            Fail(ERROR_SHARING_VIOLATION);
            return INVALID_HANDLE_VALUE; // `file` closes the descriptor
        }
        if (truncates && !Truncate(fd, path, access)) {
            Fail(ErrorFromErrno(errno, path));
            return INVALID_HANDLE_VALUE;
        }
        shares.entries.emplace(id, OpenEntry{file.get(), access, dwShareMode});
    }
    HANDLE handle = InsertHandle(file);
    bool reportsExisting =
        dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS;
    SetLastError(reportsExisting && existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
    std::shared_ptr<KernelObject> object = LookupHandle(hFile);
    if (!object)
        return FALSE;
    return object->Read(lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, lpOverlapped);
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    std::shared_ptr<KernelObject> object = LookupHandle(hFile);
    if (!object)
        return FALSE;
    return object->Write(lpBuffer, nNumberOfBytesToWrite, lpNumberOfBytesWritten, lpOverlapped);
}

BOOL WINAPI FlushFileBuffers(HANDLE hFile) {
    std::shared_ptr<KernelObject> object = LookupHandle(hFile);
    return object ? object->Flush() : FALSE;
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    std::shared_ptr<KernelObject> object = LookupHandle(hFile);
    return object ? object->GetSize(lpFileSizeHigh) : INVALID_FILE_SIZE;
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                            DWORD dwMoveMethod) {
    std::shared_ptr<KernelObject> object = LookupHandle(hFile);
    if (!object)
        return INVALID_SET_FILE_POINTER;
    return object->SetPointer(lDistanceToMove, lpDistanceToMoveHigh, dwMoveMethod);
}

BOOL WINAPI SetEndOfFile(HANDLE hFile) {
    std::shared_ptr<KernelObject> object = LookupHandle(hFile);
    return object ? object->SetEnd() : FALSE;
}

} // extern "C"
