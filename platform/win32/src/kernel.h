// Helpers shared by the kernel32 sources of the emulation and not meant for the other layers
// (those use internal.h): threads' bookkeeping, mutex ownership, named objects, paths.
#pragma once

#include "internal.h"

#include <sys/stat.h>

#include <string>

namespace emu {
namespace internal {

// ---------------------------------------------------------------------------------------
// Registered functions (device openers, thread exit hooks): added and removed by id, called
// from a copy taken under the lock so that they may run without it.

template <class Function> class CallbackList {
public:
    int Add(Function function) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_entries.emplace_back(m_nextId, std::move(function));
        return m_nextId++;
    }

    void Remove(int id) {
        std::lock_guard<std::mutex> lock(m_lock);
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if (it->first == id) {
                m_entries.erase(it);
                return;
            }
        }
    }

    std::vector<Function> Snapshot() {
        std::lock_guard<std::mutex> lock(m_lock);
        std::vector<Function> functions;
        for (const auto& entry : m_entries)
            functions.push_back(entry.second);
        return functions;
    }

private:
    std::mutex m_lock;
    int m_nextId = 1;
    std::vector<std::pair<int, Function>> m_entries;
};

// ---------------------------------------------------------------------------------------
// Threads

// The calling thread's kernel object (created on first use for threads that CreateThread did
// not start, such as the main thread).
std::shared_ptr<KernelObject> CurrentThreadObject();

// Makes sure the calling thread's end is noticed (its mutexes abandoned, its object
// signalled), for threads that CreateThread did not start. Called by every wait.
void WatchCurrentThread();

// ---------------------------------------------------------------------------------------
// Mutexes

class MutexObject : public Waitable {
public:
    const char* KindName() const override { return "mutex"; }
    // ReleaseMutex for the calling thread: 0 or a Win32 error (ERROR_NOT_OWNER).
    virtual DWORD Release() = 0;
    // The owning thread `threadId` ends without releasing: called under CoreMutex() on that
    // very thread.
    virtual void AbandonLocked(DWORD threadId) = 0;

protected:
    // Ownership bookkeeping, so that a thread's end abandons what it still owns. Under
    // CoreMutex().
    void NoteOwnedLocked(DWORD threadId);
    void NoteReleasedLocked(DWORD threadId);
};

// Abandons every mutex `threadId` owns (under CoreMutex(), on that thread). The mutexes are
// moved into `keep` so that the caller drops them after leaving the lock.
void AbandonOwnedMutexesLocked(DWORD threadId, std::vector<std::shared_ptr<MutexObject>>* keep);

// The cross-process mutex behind a name: opens it (create false) or opens or creates it. On
// success *existed tells whether the name existed already; the calling thread owns the new
// mutex if it created it with initialOwner. On failure returns nullptr with *error set.
std::shared_ptr<MutexObject> OpenSharedMutex(const std::string& name, bool create,
                                             bool initialOwner, bool* existed, DWORD* error);

// ---------------------------------------------------------------------------------------
// Paths and files

// The POSIX path for a Win32 path: '\' becomes '/', a leading drive ("C:") is dropped, and
// below the Windows directory each component is found without regard to letter case.
std::string PosixPath(const char* path);
// The same conversion without looking at the disk.
std::string PlainPosixPath(const char* path);

// The Win32 error for an errno value met on `path` (ENOENT gives ERROR_PATH_NOT_FOUND when
// the folder holding `path` is missing, ERROR_FILE_NOT_FOUND otherwise).
DWORD ErrorFromErrno(int error, const std::string& path = std::string());

// Copies `text` into a caller's buffer by the rule of GetTempPathA and its kin: returns the
// length without the terminator when it fits, else the size needed including the terminator.
DWORD CopyOut(const std::string& text, DWORD bufferLength, LPSTR buffer);

// A plain file without write permission for its owner: FILE_ATTRIBUTE_READONLY, which refuses
// writing and deleting even to root.
inline bool IsReadOnlyFile(const struct stat& info) {
    return S_ISREG(info.st_mode) && (info.st_mode & S_IWUSR) == 0;
}

// The Win32 attributes of a file (`name` is its last path component).
DWORD AttributesOf(const std::string& name, const struct stat& info);

// FILETIME for a POSIX time.
FILETIME FileTimeOf(const struct timespec& time);

// True when no handle of this process keeps the file at `path` open without sharing
// delete access (DeleteFileA and MoveFileA check this); false with
// ERROR_SHARING_VIOLATION set otherwise.
bool MayDeleteOpenFile(const std::string& posixPath);

// True when opening `posixPath` for `access` with `share` conflicts with no open handle.
bool MayOpenShared(const std::string& posixPath, DWORD access, DWORD share);

} // namespace internal
} // namespace emu
