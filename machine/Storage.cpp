#include "machine/Storage.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace machine {

namespace {

// Files being written carry this prefix until they are renamed into place; listings and
// lookups never see them.
constexpr const char* kTempPrefix = ".vantel-tmp-";

bool IsTemporary(const std::string& name) {
    return name.compare(0, 12, kTempPrefix) == 0;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool NameLess(const std::string& a, const std::string& b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        char x = Lower(a[i]);
        char y = Lower(b[i]);
        if (x != y)
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

bool SyncDirectory(const std::string& dir) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// Removes temporary files whose writing process has ended.
void RemoveStaleTemporaries(const std::string& dir) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (!IsTemporary(name))
            continue;
        long pid = std::strtol(name.c_str() + std::strlen(kTempPrefix), nullptr, 10);
        if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0)
            continue; // its writer still runs
        std::error_code ignored;
        fs::remove(it->path(), ignored);
    }
}

} // namespace

Storage::Storage(std::string root, const std::array<uint64_t, 5>& capacity)
    : m_root(std::move(root)), m_capacity(capacity) {}

std::string Storage::MediumDir(int medium) const {
    return m_root + "/medium" + std::to_string(medium);
}

bool Storage::Prepare(std::string* error) {
    std::error_code ec;
    for (int medium = kFirstMedium; medium <= kLastMedium; ++medium) {
        std::string dir = MediumDir(medium);
        fs::create_directories(dir, ec);
        if (ec) {
            *error = "cannot create " + dir + ": " + ec.message();
            return false;
        }
        RemoveStaleTemporaries(dir);
        if (medium == kLastMedium)
            continue;
        if (!FindIn(dir, kRootFolder)) {
            fs::create_directory(dir + "/" + kRootFolder, ec);
            if (ec) {
                *error = "cannot create the root folder of " + dir + ": " + ec.message();
                return false;
            }
        }
    }
    return true;
}

uint64_t Storage::Capacity(int medium) const {
    return (medium >= kFirstMedium && medium <= kLastMedium) ? m_capacity[medium] : 0;
}

void Storage::SetCapacity(int medium, uint64_t bytes) {
    if (medium >= kFirstMedium && medium <= kLastMedium)
        m_capacity[medium] = bytes;
}

uint64_t Storage::Used(int medium) const {
    uint64_t used = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(MediumDir(medium), ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code sizeError;
        if (it->is_regular_file(sizeError) && !IsTemporary(it->path().filename().string())) {
            uint64_t size = it->file_size(sizeError);
            if (!sizeError)
                used += size;
        }
    }
    return used;
}

bool Storage::SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

bool Storage::ValidName(const std::string& name) {
    if (name.empty() || name.size() > 255 || name == "." || name == ".." || IsTemporary(name))
        return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F || std::strchr("\\/:*?\"<>|", c) != nullptr)
            return false;
    }
    return true;
}

std::optional<std::string> Storage::FindIn(const std::string& dir, const std::string& name) const {
    std::error_code ec;
    std::optional<std::string> found;
    for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (IsTemporary(entry) || !SameName(entry, name))
            continue;
        if (entry == name)
            return entry; // an exact match wins over one that differs in case
        if (!found || NameLess(entry, *found))
            found = entry;
    }
    return found;
}

std::optional<Storage::Found> Storage::Find(int medium, const StoragePath& path) const {
    if (medium < kFirstMedium || medium > kLastMedium)
        return std::nullopt;
    Found found;
    found.disk = MediumDir(medium);
    found.folder = true;
    for (const std::string& name : path) {
        if (!found.folder || !ValidName(name))
            return std::nullopt;
        std::optional<std::string> stored = FindIn(found.disk, name);
        if (!stored)
            return std::nullopt;
        found.disk += "/" + *stored;
        found.names.push_back(*stored);
        std::error_code ec;
        fs::file_status status = fs::status(found.disk, ec);
        if (ec)
            return std::nullopt;
        found.folder = fs::is_directory(status);
        if (!found.folder && !fs::is_regular_file(status))
            return std::nullopt;
    }
    if (!found.folder) {
        std::error_code ec;
        found.size = fs::file_size(found.disk, ec);
        if (ec)
            return std::nullopt;
    }
    return found;
}

StorageStatus Storage::List(int medium, const StoragePath& folder,
                            std::vector<StorageEntry>* entries) const {
    entries->clear();
    std::optional<Found> found = Find(medium, folder);
    if (!found)
        return StorageStatus::NotFound;
    if (!found->folder)
        return StorageStatus::NotAFolder;
    std::error_code ec;
    for (auto it = fs::directory_iterator(found->disk, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        StorageEntry entry;
        entry.name = it->path().filename().string();
        if (IsTemporary(entry.name))
            continue;
        std::error_code statusError;
        if (it->is_directory(statusError)) {
            entry.folder = true;
        } else if (it->is_regular_file(statusError)) {
            entry.size = it->file_size(statusError);
        } else {
            continue; // neither file nor folder: the machine's file system has no such thing
        }
        entries->push_back(std::move(entry));
    }
    if (ec)
        return StorageStatus::IoError;
    std::sort(entries->begin(), entries->end(), [](const StorageEntry& a, const StorageEntry& b) {
        if (a.folder != b.folder)
            return a.folder;
        return NameLess(a.name, b.name);
    });
    return StorageStatus::Ok;
}

StorageStatus Storage::ReadFile(int medium, const StoragePath& file,
                                std::vector<uint8_t>* bytes) const {
    bytes->clear();
    std::optional<Found> found = Find(medium, file);
    if (!found)
        return StorageStatus::NotFound;
    if (found->folder)
        return StorageStatus::NotAFile;
    int fd = ::open(found->disk.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return StorageStatus::IoError;
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return StorageStatus::IoError;
    }
    bytes->resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < bytes->size()) {
        ssize_t got = ::read(fd, bytes->data() + done, bytes->size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
    }
    ::close(fd);
    if (done != bytes->size()) {
        bytes->clear();
        return StorageStatus::IoError;
    }
    return StorageStatus::Ok;
}

bool Storage::WriteAtomically(const std::string& dir, const std::string& name, const uint8_t* data,
                              size_t size) const {
    static std::atomic<unsigned> counter{0};
    std::string temp = dir + "/" + kTempPrefix + std::to_string(::getpid()) + "-" +
                       std::to_string(counter.fetch_add(1));
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    size_t done = 0;
    bool ok = true;
    while (ok && done < size) {
        ssize_t put = ::write(fd, data + done, size - done);
        if (put < 0 && errno == EINTR)
            continue;
        ok = put > 0;
        if (ok)
            done += static_cast<size_t>(put);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), (dir + "/" + name).c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    SyncDirectory(dir);
    return true;
}

StorageStatus Storage::PlaceFor(int medium, const StoragePath& folder, const std::string& name,
                                std::string* dir) const {
    if (!ValidName(name))
        return StorageStatus::NotFound;
    std::optional<Found> found = Find(medium, folder);
    if (!found)
        return StorageStatus::NotFound;
    if (!found->folder)
        return StorageStatus::NotAFolder;
    if (FindIn(found->disk, name))
        return StorageStatus::Exists;
    *dir = found->disk;
    return StorageStatus::Ok;
}

StorageStatus Storage::WriteFile(int medium, const StoragePath& folder, const std::string& name,
                                 const std::vector<uint8_t>& bytes) {
    std::string dir;
    StorageStatus status = PlaceFor(medium, folder, name, &dir);
    if (status != StorageStatus::Ok)
        return status;
    uint64_t used = Used(medium);
    if (used > Capacity(medium) || bytes.size() > Capacity(medium) - used)
        return StorageStatus::Full;
    return WriteAtomically(dir, name, bytes.data(), bytes.size()) ? StorageStatus::Ok
                                                                  : StorageStatus::IoError;
}

StorageStatus Storage::RemoveFile(int medium, const StoragePath& file) {
    std::optional<Found> found = Find(medium, file);
    if (!found || file.empty())
        return StorageStatus::NotFound;
    if (found->folder)
        return StorageStatus::NotAFile;
    if (::unlink(found->disk.c_str()) != 0)
        return StorageStatus::IoError;
    SyncDirectory(found->disk.substr(0, found->disk.rfind('/')));
    return StorageStatus::Ok;
}

StorageStatus Storage::MakeFolder(int medium, const StoragePath& parent, const std::string& name) {
    std::string dir;
    StorageStatus status = PlaceFor(medium, parent, name, &dir);
    if (status != StorageStatus::Ok)
        return status;
    if (::mkdir((dir + "/" + name).c_str(), 0755) != 0)
        return errno == EEXIST ? StorageStatus::Exists : StorageStatus::IoError;
    SyncDirectory(dir);
    return StorageStatus::Ok;
}

StorageStatus Storage::RemoveFolder(int medium, const StoragePath& folder) {
    std::optional<Found> found = Find(medium, folder);
    if (!found || folder.empty())
        return StorageStatus::NotFound;
    if (!found->folder)
        return StorageStatus::NotAFolder;
    std::vector<StorageEntry> entries;
    if (List(medium, folder, &entries) != StorageStatus::Ok)
        return StorageStatus::IoError;
    if (!entries.empty())
        return StorageStatus::NotEmpty;
    RemoveStaleTemporaries(found->disk);
    if (::rmdir(found->disk.c_str()) != 0)
        return (errno == ENOTEMPTY || errno == EEXIST) ? StorageStatus::NotEmpty
                                                       : StorageStatus::IoError;
    SyncDirectory(found->disk.substr(0, found->disk.rfind('/')));
    return StorageStatus::Ok;
}

StorageStatus Storage::Rename(int medium, const StoragePath& entry, const std::string& newName) {
    std::optional<Found> found = Find(medium, entry);
    if (!found || entry.empty() || !ValidName(newName))
        return StorageStatus::NotFound;
    std::string dir = found->disk.substr(0, found->disk.rfind('/'));
    std::optional<std::string> taken = FindIn(dir, newName);
    if (taken && *taken != found->names.back())
        return StorageStatus::Exists;
    if (::rename(found->disk.c_str(), (dir + "/" + newName).c_str()) != 0)
        return StorageStatus::IoError;
    SyncDirectory(dir);
    return StorageStatus::Ok;
}

StorageStatus Storage::PutSewing(const std::string& name, const std::vector<uint8_t>& bytes) {
    if (!ValidName(name))
        return StorageStatus::NotFound;
    if (bytes.size() > Capacity(kLastMedium))
        return StorageStatus::Full;
    std::string dir = MediumDir(kLastMedium);
    if (!WriteAtomically(dir, name, bytes.data(), bytes.size()))
        return StorageStatus::IoError;
    // The new design is in place; the one it replaces goes.
    std::error_code ec;
    for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (entry != name && !IsTemporary(entry)) {
            std::error_code ignored;
            fs::remove_all(it->path(), ignored);
        }
    }
    SyncDirectory(dir);
    return StorageStatus::Ok;
}

bool Storage::GetSewing(std::string* name, std::vector<uint8_t>* bytes) const {
    // Normally one file; after an interrupted replacement the newest is the loaded design.
    std::error_code ec;
    std::optional<std::string> newest;
    fs::file_time_type newestTime;
    for (auto it = fs::directory_iterator(MediumDir(kLastMedium), ec);
         !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::string entry = it->path().filename().string();
        std::error_code fileError;
        if (IsTemporary(entry) || !it->is_regular_file(fileError))
            continue;
        fs::file_time_type time = it->last_write_time(fileError);
        if (!newest || time > newestTime) {
            newest = entry;
            newestTime = time;
        }
    }
    if (!newest)
        return false;
    *name = *newest;
    // Medium 4 is a flat folder: the design is a path of one name.
    return ReadFile(kLastMedium, {*newest}, bytes) == StorageStatus::Ok;
}

std::string Storage::Tree(int medium) const {
    std::string text;
    // Depth-first, in listing order.
    struct Walker {
        const Storage& storage;
        int medium;
        std::string& text;
        void Walk(const StoragePath& folder, int depth) {
            std::vector<StorageEntry> entries;
            if (storage.List(medium, folder, &entries) != StorageStatus::Ok)
                return;
            for (const StorageEntry& entry : entries) {
                text += std::string(2 * static_cast<size_t>(depth), ' ') + entry.name;
                if (entry.folder) {
                    text += "\\\n";
                    StoragePath inner = folder;
                    inner.push_back(entry.name);
                    Walk(inner, depth + 1);
                } else {
                    text += "  " + std::to_string(entry.size) + "\n";
                }
            }
        }
    } walker{*this, medium, text};
    walker.Walk({}, 0);
    return text;
}

} // namespace machine
