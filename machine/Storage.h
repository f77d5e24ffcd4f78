// The machine's storage media kept as a directory tree: medium1 to medium3 each hold the
// root folder EMB with the designs and folders below it, medium4 holds the one design loaded
// for sewing. Names compare without regard to (ASCII) letter case, as the machine's file
// system does, and keep the case they were created with. A file is written to a temporary
// name and renamed into place, so that it is either fully stored or not at all.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace machine {

enum class StorageStatus { Ok, NotFound, Exists, NotEmpty, NotAFile, NotAFolder, Full, IoError };

struct StorageEntry {
    std::string name;
    bool folder = false;
    uint64_t size = 0;
};

// A path below a medium's root, one name per component: {"EMB", "SUB", "A.kst"}.
using StoragePath = std::vector<std::string>;

class Storage {
public:
    static constexpr int kFirstMedium = 1;
    static constexpr int kLastMedium = 4;
    static constexpr const char* kRootFolder = "EMB";

    // capacity[m] is the byte capacity of medium m (index 0 unused).
    Storage(std::string root, const std::array<uint64_t, 5>& capacity);

    // Creates the media and their root folders where missing and removes the temporary
    // files that an ended process left behind. False (with a reason) when the tree cannot
    // be made.
    bool Prepare(std::string* error);

    const std::string& Root() const { return m_root; }
    uint64_t Capacity(int medium) const;
    void SetCapacity(int medium, uint64_t bytes);
    // Bytes held by the files of a medium.
    uint64_t Used(int medium) const;

    struct Found {
        bool folder = false;
        uint64_t size = 0;
        std::string disk;  // where it lies on disk
        StoragePath names; // the path with the names as stored
    };
    // Looks a path up, comparing names without regard to case. The empty path is the
    // medium's own root (a folder).
    std::optional<Found> Find(int medium, const StoragePath& path) const;

    // The entries of a folder: folders first, then files, each by name without regard to
    // case.
    StorageStatus List(int medium, const StoragePath& folder,
                       std::vector<StorageEntry>* entries) const;
    StorageStatus ReadFile(int medium, const StoragePath& file, std::vector<uint8_t>* bytes) const;
    // Stores a new file (Exists when the name is taken, Full when the medium has no room).
    StorageStatus WriteFile(int medium, const StoragePath& folder, const std::string& name,
                            const std::vector<uint8_t>& bytes);
    StorageStatus RemoveFile(int medium, const StoragePath& file);
    StorageStatus MakeFolder(int medium, const StoragePath& parent, const std::string& name);
    // Removes an empty folder only.
    StorageStatus RemoveFolder(int medium, const StoragePath& folder);
    // Gives an entry a new name within its folder; a change of letter case alone is allowed.
    StorageStatus Rename(int medium, const StoragePath& entry, const std::string& newName);

    // Medium 4: the one design loaded for sewing, replaced as a whole.
    StorageStatus PutSewing(const std::string& name, const std::vector<uint8_t>& bytes);
    bool GetSewing(std::string* name, std::vector<uint8_t>* bytes) const;

    // The tree of a medium as text, one entry a line, indented by depth; folders end with
    // '\', files show their size.
    std::string Tree(int medium) const;

    // A single name the machine's file system can hold: not empty, at most 255 bytes, not
    // "." or "..", no control character and none of \ / : * ? " < > |.
    static bool ValidName(const std::string& name);
    static bool SameName(const std::string& a, const std::string& b);

private:
    std::string MediumDir(int medium) const;
    // The folder (on disk) in which a new entry `name` can be made, or why it cannot.
    StorageStatus PlaceFor(int medium, const StoragePath& folder, const std::string& name,
                           std::string* dir) const;
    bool WriteAtomically(const std::string& dir, const std::string& name, const uint8_t* data,
                         size_t size) const;
    std::optional<std::string> FindIn(const std::string& dir, const std::string& name) const;

    std::string m_root;
    std::array<uint64_t, 5> m_capacity;
};

} // namespace machine
