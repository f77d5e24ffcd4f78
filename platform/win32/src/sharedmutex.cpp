// Named mutexes shared by every process of the user.
//
// A name is a small file in /dev/shm (or the temporary folder where there is none) named
// after the user id and the escaped name. The file holds a robust process-shared pthread
// mutex: when its owner dies, the next locker learns it (EOWNERDEAD) and reports
// WAIT_ABANDONED. Which thread of the process owns it and how often it took it is kept in the
// process, beside the mutex.
//
// Whether the name "exists" as Windows means it (some process has it open) is told by fcntl
// locks on byte 0: every process that has the name open holds a shared lock. A creator first
// tries an exclusive lock: getting it means that nobody has the name open, so the creator
// (re)initialises the mutex and then turns its lock into a shared one; otherwise it waits for
// a shared lock and reports ERROR_ALREADY_EXISTS. The last process to close the name removes
// the file. fcntl locks belong to the process and vanish with it, but also with the closing of
// any descriptor of the file, so the process keeps exactly one descriptor per name.
#include "kernel.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <map>

namespace emu {
namespace internal {

namespace {

constexpr uint32_t kMagic = 0x4D584E56; // "VNXM"

struct SharedBlock {
    uint32_t magic;
    uint32_t abandoned; // the last owner ended without releasing; guarded by `mutex`
    pthread_mutex_t mutex;
};

// One open name of this process: its descriptor and mapping.
struct SharedFile {
    std::string path;
    int fd;
    SharedBlock* block;
    int users;
};

std::string SharedFolder() {
    struct stat info;
    if (stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) && access("/dev/shm", W_OK) == 0)
        return "/dev/shm";
    const char* tmp = getenv("TMPDIR");
    return tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
}

// Letters, digits, '-' and '_' stay, other bytes are written as %XX; a long text is cut and
// completed by a hash of the whole.
std::string Escaped(const std::string& text) {
    std::string escaped;
    for (unsigned char c : text) {
        if (isalnum(c) || c == '-' || c == '_') {
            escaped += static_cast<char>(c);
        } else {
            char hex[4];
            snprintf(hex, sizeof hex, "%%%02X", c);
            escaped += hex;
        }
    }
    if (escaped.size() > 120) {
        uint64_t hash = 1469598103934665603ull; // FNV-1a
        for (unsigned char c : text)
            hash = (hash ^ c) * 1099511628211ull;
        char tail[24];
        snprintf(tail, sizeof tail, "~%016llx", static_cast<unsigned long long>(hash));
        escaped = escaped.substr(0, 100) + tail;
    }
    return escaped;
}

// The file for a mutex name. VANTEL_OBJECT_NAMESPACE, when set, gives the processes that
// share it a namespace of their own (tests running side by side use it to stay apart); the
// value "process" gives each process one of its own.
std::string PathForName(const std::string& name) {
    std::string path = SharedFolder() + "/vantel-mutex-" + std::to_string(getuid()) + "-";
    const char* space = getenv("VANTEL_OBJECT_NAMESPACE");
    if (space != nullptr && strcmp(space, "process") == 0)
        path += "process-" + std::to_string(getpid()) + "-";
    else if (space != nullptr && *space != '\0')
        path += Escaped(space) + "-";
    return path + Escaped(name);
}

bool LockByte(int fd, short type, bool wait) {
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 1;
    for (;;) {
        if (fcntl(fd, wait ? F_SETLKW : F_SETLK, &lock) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

// True while `path` still names the file open as `fd` (a closing process may have removed
// it between our open and our lock).
bool StillNamed(int fd, const std::string& path) {
    struct stat open, named;
    return fstat(fd, &open) == 0 && stat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

SharedBlock* MapBlock(int fd) {
    void* address = mmap(nullptr, sizeof(SharedBlock), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    return address == MAP_FAILED ? nullptr : static_cast<SharedBlock*>(address);
}

// Under the exclusive lock: a fresh, unowned mutex.
SharedBlock* InitialiseBlock(int fd) {
    if (ftruncate(fd, sizeof(SharedBlock)) != 0)
        return nullptr;
    SharedBlock* block = MapBlock(fd);
    if (block == nullptr)
        return nullptr;
    block->magic = 0;
    block->abandoned = 0;
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
    int status = pthread_mutex_init(&block->mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    if (status != 0) {
        munmap(block, sizeof(SharedBlock));
        return nullptr;
    }
    block->magic = kMagic;
    return block;
}

// Under a shared lock: the mutex another process initialised.
SharedBlock* AttachBlock(int fd) {
    struct stat info;
    if (fstat(fd, &info) != 0 || info.st_size < static_cast<off_t>(sizeof(SharedBlock)))
        return nullptr;
    SharedBlock* block = MapBlock(fd);
    if (block != nullptr && block->magic != kMagic) {
        munmap(block, sizeof(SharedBlock));
        return nullptr;
    }
    return block;
}

// Opens the name's file by the protocol above. Returns nullptr with *error set on failure.
SharedFile* OpenFile(const std::string& path, bool create, bool initialOwner, bool* existed,
                     DWORD* error) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0600);
        if (fd < 0) {
            *error = errno == ENOENT ? ERROR_FILE_NOT_FOUND : ErrorFromErrno(errno, path);
            return nullptr;
        }
        bool exclusive = LockByte(fd, F_WRLCK, false);
        if (!exclusive && ((errno != EAGAIN && errno != EACCES) || !LockByte(fd, F_RDLCK, true))) {
            *error = ErrorFromErrno(errno, path);
            close(fd);
            return nullptr;
        }
        if (!StillNamed(fd, path)) {
            close(fd); // removed by its last closer meanwhile: start again
            continue;
        }
        if (exclusive && !create) {
            unlink(path.c_str()); // a leftover that no process has open: the name is free
            close(fd);
            *error = ERROR_FILE_NOT_FOUND;
            return nullptr;
        }
        SharedBlock* block = exclusive ? InitialiseBlock(fd) : AttachBlock(fd);
        if (block == nullptr) {
            *error = exclusive ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_HANDLE;
            close(fd);
            return nullptr;
        }
        if (exclusive) {
            if (initialOwner)
                pthread_mutex_trylock(&block->mutex); // fresh and unshared: always succeeds
            LockByte(fd, F_RDLCK, false);             // now others may open it
        }
        *existed = !exclusive;
        return new SharedFile{path, fd, block, 1};
    }
    *error = ERROR_BUSY;
    return nullptr;
}

// The names this process has open, by path; one SharedFile (one descriptor) per name.
struct OpenFiles {
    std::mutex lock;
    std::map<std::string, SharedFile*> files;
};

OpenFiles& Files() {
    static OpenFiles* files = new OpenFiles;
    return *files;
}

void ReleaseFile(SharedFile* file) {
    OpenFiles& open = Files();
    std::lock_guard<std::mutex> lock(open.lock);
    if (--file->users > 0)
        return;
    open.files.erase(file->path);
    // The last process to close the name removes its file.
    if (LockByte(file->fd, F_WRLCK, false) && StillNamed(file->fd, file->path))
        unlink(file->path.c_str());
    munmap(file->block, sizeof(SharedBlock));
    close(file->fd);
    delete file;
}

class SharedMutex : public MutexObject {
public:
    explicit SharedMutex(SharedFile* file) : m_file(file) {}
    ~SharedMutex() override { ReleaseFile(m_file); }

    bool NeedsPolling() const override { return true; }

    Acquire TryAcquire(const WaitContext& context) override {
        if (m_recursion > 0) {
            if (m_owner != context.threadId)
                return Acquire::NotReady;
            ++m_recursion;
            return Acquire::Acquired;
        }
        if (!context.onWaitingThread)
            return Acquire::NotReady; // a pthread mutex is locked by its future owner only
        SharedBlock* block = m_file->block;
        int status = pthread_mutex_trylock(&block->mutex);
        bool abandoned = false;
        if (status == EOWNERDEAD) {
            pthread_mutex_consistent(&block->mutex); // its owner died holding it
            abandoned = true;
        } else if (status != 0) {
            return Acquire::NotReady;
        }
        if (block->abandoned != 0) {
            block->abandoned = 0;
            abandoned = true;
        }
        TakeLocked(context.threadId);
        return abandoned ? Acquire::Abandoned : Acquire::Acquired;
    }

    void Undo(const WaitContext&, Acquire acquired) override {
        if (m_recursion > 1) {
            --m_recursion;
            return;
        }
        if (acquired == Acquire::Abandoned)
            m_file->block->abandoned = 1;
        Unlock();
    }

    DWORD Release() override {
        std::lock_guard<std::mutex> lock(CoreMutex());
        if (m_recursion == 0 || m_owner != CurrentThreadId())
            return ERROR_NOT_OWNER;
        if (--m_recursion == 0)
            Unlock();
        return ERROR_SUCCESS;
    }

    void AbandonLocked(DWORD) override {
        m_file->block->abandoned = 1;
        m_recursion = 0;
        m_owner = 0;
        pthread_mutex_unlock(&m_file->block->mutex);
    }

    // Under CoreMutex(): the calling thread owns the pthread mutex already.
    void TakeLocked(DWORD threadId) {
        m_owner = threadId;
        m_recursion = 1;
        NoteOwnedLocked(threadId);
    }

private:
    // Under CoreMutex(), on the owning thread, when its last claim goes.
    void Unlock() {
        NoteReleasedLocked(m_owner);
        m_recursion = 0;
        m_owner = 0;
        pthread_mutex_unlock(&m_file->block->mutex);
    }

    SharedFile* m_file;
    DWORD m_owner = 0;        // guarded by CoreMutex()
    unsigned m_recursion = 0; // guarded by CoreMutex()
};

} // namespace

std::shared_ptr<MutexObject> OpenSharedMutex(const std::string& name, bool create,
                                             bool initialOwner, bool* existed, DWORD* error) {
    std::string path = PathForName(name);
    SharedFile* file = nullptr;
    bool owned = false;
    {
        OpenFiles& open = Files();
        std::lock_guard<std::mutex> lock(open.lock);
        auto found = open.files.find(path);
        if (found != open.files.end()) {
            file = found->second; // still open here (its last object is on its way out)
            ++file->users;
            *existed = true;
        } else {
            file = OpenFile(path, create, initialOwner, existed, error);
            if (file == nullptr)
                return nullptr;
            open.files.emplace(path, file);
            owned = initialOwner && !*existed;
        }
    }
    auto mutex = std::make_shared<SharedMutex>(file);
    if (owned) {
        std::lock_guard<std::mutex> lock(CoreMutex());
        mutex->TakeLocked(CurrentThreadId());
    }
    return mutex;
}

} // namespace internal
} // namespace emu
