// The registry: RegOpenKeyExA, RegCreateKeyExA, RegCloseKey, RegDeleteKeyA, RegEnumKeyExA,
// RegQueryInfoKeyA, RegQueryValueExA, RegSetValueExA, RegDeleteValueA, RegEnumValueA,
// RegGetKeySecurity, RegSetKeySecurity and their older forms.
//
// The predefined roots HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS
// and HKEY_CURRENT_CONFIG are separate trees (HKEY_CLASSES_ROOT is no merged view). Key and
// value names are found without regard to letter case and keep the case they were created
// with; subkeys are listed in the order of their names in capitals, values in the order they
// were first set. Opened keys are handles of the kernel handle table, as on the NT family:
// never reused, so a closed one fails with ERROR_INVALID_HANDLE, and one whose key was
// deleted fails with ERROR_KEY_DELETED.
//
// Security (NT family only; the 9x family has none and answers the security calls with
// ERROR_CALL_NOT_IMPLEMENTED): each key keeps a descriptor. Opening a key checks the rights
// asked against its discretionary list and the process's token (security.cpp); a key without
// a list grants everything. A fresh registry has no lists at all. A new key inherits its
// parent's inheritable entries, or gets the descriptor its creator passes; its creator is
// granted the rights it asked for. New keys have no owner. Deleting a key needs DELETE on
// it; on the NT family a key with subkeys cannot be deleted (ERROR_ACCESS_DENIED), on the 9x
// family its whole tree goes.
//
// Persistence: the registry lives in the file VANTEL_REGISTRY names, or in a file of the
// process's scratch folder. It is read at first use and again whenever the file changes
// (another process wrote it, or the variable names another file): open keys whose paths
// still exist stay usable. Every change rewrites the whole file atomically (a temporary
// file renamed over it); between processes the last writer wins. Volatile keys are never
// written. The format is the text of a REGEDIT4 export, so the file can be read and edited
// by hand:
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Enum\USB\VID_1D9F&PID_0002]
//   ;security=hex:01,00,04,80,...     the self-relative descriptor (a comment to regedit)
//   "DeviceDesc"="Ostr472 device"     REG_SZ holding printable text and one terminator
//   "Count"=dword:0000002a            REG_DWORD of 4 bytes
//   @=hex:01,02                       the default value; REG_BINARY
//   "List"=hex(7):61,00,62,00,00      any other type or content: hex(<type>)
//
// Every key is listed, parents before their subkeys. In quoted names and texts, '\' and '"'
// are written "\\" and "\"", and control characters "\xHH". A file that does not read makes
// every registry call fail with ERROR_BADDB (and says why on stderr once); it is never
// overwritten.
#include "security.h"

#include <emu.h>

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace emu {
namespace internal {

namespace {

const size_t kMaxKeyName = 255;
const size_t kMaxValueName = 16383;
const GENERIC_MAPPING kKeyMapping = {KEY_READ, KEY_WRITE, KEY_EXECUTE, KEY_ALL_ACCESS};

struct Value {
    std::string name;
    DWORD type;
    Bytes data;
};

struct Key {
    std::string name;
    Key* parent = nullptr;
    std::vector<std::shared_ptr<Key>> children; // by name in capitals
    std::vector<Value> values;                  // in the order first set
    Descriptor security;
    bool isVolatile = false;
    bool deleted = false;
    FILETIME lastWrite = {0, 0};
};

std::string Upper(const std::string& text) {
    std::string upper = text;
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return upper;
}

FILETIME Now() {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return FileTimeOf(now);
}

std::shared_ptr<Key> FindChild(const Key& key, const std::string& name) {
    std::string upper = Upper(name);
    for (const auto& child : key.children) {
        if (Upper(child->name) == upper)
            return child;
    }
    return nullptr;
}

void AddChild(Key* parent, std::shared_ptr<Key> child) {
    child->parent = parent;
    std::string upper = Upper(child->name);
    auto at =
        std::find_if(parent->children.begin(), parent->children.end(),
                     [&upper](const std::shared_ptr<Key>& k) { return Upper(k->name) > upper; });
    parent->children.insert(at, std::move(child));
}

void MarkDeleted(Key* key) {
    key->deleted = true;
    for (const auto& child : key->children)
        MarkDeleted(child.get());
}

Value* FindValue(Key* key, const char* name) {
    std::string upper = Upper(name != nullptr ? name : "");
    for (Value& value : key->values) {
        if (Upper(value.name) == upper)
            return &value;
    }
    return nullptr;
}

// The components of a subkey path; false with the error for a malformed one.
LONG SplitPath(const char* path, std::vector<std::string>* parts) {
    parts->clear();
    if (path == nullptr || *path == '\0')
        return ERROR_SUCCESS;
    std::string text(path);
    if (text[0] == '\\')
        return ERROR_BAD_PATHNAME;
    if (text.back() == '\\')
        text.pop_back();
    size_t start = 0;
    while (start <= text.size()) {
        size_t slash = text.find('\\', start);
        if (slash == std::string::npos)
            slash = text.size();
        std::string part = text.substr(start, slash - start);
        if (part.empty())
            return ERROR_BAD_PATHNAME;
        if (part.size() > kMaxKeyName)
            return ERROR_INVALID_PARAMETER;
        parts->push_back(part);
        start = slash + 1;
    }
    return ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------------------
// The file

const char* const kRootNames[] = {
    "HKEY_CLASSES_ROOT",  "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS", nullptr,
    "HKEY_CURRENT_CONFIG"};
const size_t kRootCount = sizeof kRootNames / sizeof kRootNames[0];

using Roots = std::shared_ptr<Key>[kRootCount];

std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            quoted += '\\';
            quoted += c;
        } else if (u < 0x20 || u == 0x7F) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\x%02x", u);
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string Hex(const Bytes& bytes) {
    std::string text;
    char byte[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        snprintf(byte, sizeof byte, i == 0 ? "%02x" : ",%02x", bytes[i]);
        text += byte;
    }
    return text;
}

// REG_SZ data that reads back as a quoted text: printable, with one terminator at the end.
bool IsPlainText(const Value& value) {
    if (value.type != REG_SZ || value.data.empty() || value.data.back() != 0)
        return false;
    for (size_t i = 0; i + 1 < value.data.size(); ++i) {
        if (value.data[i] < 0x20 || value.data[i] == 0x7F)
            return false;
    }
    return true;
}

void WriteKey(std::ostream& out, const Key& key, const std::string& path) {
    if (key.isVolatile)
        return;
    out << "\n[" << path << "]\n";
    if (key.security.daclPresent || key.security.saclPresent || !key.security.owner.empty() ||
        !key.security.group.empty())
        out << ";security=hex:"
            << Hex(SelfRelative(key.security,
                                OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                    DACL_SECURITY_INFORMATION | SACL_SECURITY_INFORMATION))
            << "\n";
    for (const Value& value : key.values) {
        out << (value.name.empty() ? "@" : Quote(value.name)) << "=";
        if (IsPlainText(value)) {
            out << Quote(std::string(value.data.begin(), value.data.end() - 1));
        } else if (value.type == REG_DWORD && value.data.size() == 4) {
            DWORD number;
            memcpy(&number, value.data.data(), 4);
            char text[16];
            snprintf(text, sizeof text, "dword:%08x", number);
            out << text;
        } else if (value.type == REG_BINARY) {
            out << "hex:" << Hex(value.data);
        } else {
            out << "hex(" << std::hex << value.type << std::dec << "):" << Hex(value.data);
        }
        out << "\n";
    }
    for (const auto& child : key.children)
        WriteKey(out, *child, path + "\\" + child->name);
}

// Reads a quoted text starting at text[*at] (the opening quote); leaves *at after the closing
// quote.
bool ReadQuoted(const std::string& text, size_t* at, std::string* out) {
    if (*at >= text.size() || text[*at] != '"')
        return false;
    out->clear();
    for (size_t i = *at + 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            *at = i + 1;
            return true;
        }
        if (c != '\\') {
            *out += c;
            continue;
        }
        if (++i >= text.size())
            return false;
        if (text[i] == '\\' || text[i] == '"') {
            *out += text[i];
        } else if (text[i] == 'x' && i + 2 < text.size() &&
                   isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                   isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            *out += static_cast<char>(strtoul(text.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            return false;
        }
    }
    return false;
}

bool ReadHex(const std::string& text, Bytes* out) {
    out->clear();
    if (text.empty())
        return true;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos)
            comma = text.size();
        std::string byte = text.substr(start, comma - start);
        if (byte.size() != 2 || !isxdigit(static_cast<unsigned char>(byte[0])) ||
            !isxdigit(static_cast<unsigned char>(byte[1])))
            return false;
        out->push_back(static_cast<BYTE>(strtoul(byte.c_str(), nullptr, 16)));
        start = comma + 1;
    }
    return true;
}

bool ReadValue(const std::string& line, Value* value) {
    size_t at = 0;
    if (line[0] == '@') {
        value->name.clear();
        at = 1;
    } else if (!ReadQuoted(line, &at, &value->name) || value->name.size() > kMaxValueName) {
        return false;
    }
    if (at >= line.size() || line[at] != '=')
        return false;
    std::string rest = line.substr(at + 1);
    if (!rest.empty() && rest[0] == '"') {
        size_t end = 0;
        std::string text;
        if (!ReadQuoted(rest, &end, &text) || end != rest.size())
            return false;
        value->type = REG_SZ;
        value->data.assign(text.begin(), text.end());
        value->data.push_back(0);
        return true;
    }
    if (rest.compare(0, 6, "dword:") == 0) {
        std::string digits = rest.substr(6);
        if (digits.size() != 8 ||
            digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return false;
        DWORD number = static_cast<DWORD>(strtoul(digits.c_str(), nullptr, 16));
        value->type = REG_DWORD;
        value->data.resize(4);
        memcpy(value->data.data(), &number, 4);
        return true;
    }
    if (rest.compare(0, 4, "hex:") == 0) {
        value->type = REG_BINARY;
        return ReadHex(rest.substr(4), &value->data);
    }
    if (rest.compare(0, 4, "hex(") == 0) {
        size_t close = rest.find("):");
        std::string type = rest.substr(4, close == std::string::npos ? 0 : close - 4);
        if (close == std::string::npos || type.empty() || type.size() > 8 ||
            type.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return false;
        value->type = static_cast<DWORD>(strtoul(type.c_str(), nullptr, 16));
        return ReadHex(rest.substr(close + 2), &value->data);
    }
    return false;
}

// Parses the file's text into `roots`; false with a message naming the line otherwise.
bool ParseRegistry(const std::string& text, const FILETIME& stamp, Roots& roots,
                   std::string* problem) {
    for (size_t i = 0; i < kRootCount; ++i) {
        if (kRootNames[i] != nullptr) {
            roots[i] = std::make_shared<Key>();
            roots[i]->name = kRootNames[i];
            roots[i]->lastWrite = stamp;
        }
    }
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    Key* current = nullptr;
    auto fail = [&](const char* why) {
        *problem = "line " + std::to_string(number) + ": " + why;
        return false;
    };
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (number == 1) {
            if (line != "REGEDIT4")
                return fail("the file does not begin with REGEDIT4");
            continue;
        }
        if (line.empty())
            continue;
        if (line[0] == '[') {
            if (line.back() != ']')
                return fail("a key line must end with ']'");
            std::string path = line.substr(1, line.size() - 2);
            size_t slash = path.find('\\');
            std::string rootName = path.substr(0, slash);
            Key* key = nullptr;
            for (size_t i = 0; i < kRootCount; ++i) {
                if (kRootNames[i] != nullptr && strcasecmp(kRootNames[i], rootName.c_str()) == 0)
                    key = roots[i].get();
            }
            if (key == nullptr)
                return fail("the key does not begin with a root key name");
            std::vector<std::string> parts;
            if (slash != std::string::npos &&
                SplitPath(path.substr(slash + 1).c_str(), &parts) != ERROR_SUCCESS)
                return fail("the key path is malformed");
            for (const std::string& part : parts) {
                std::shared_ptr<Key> child = FindChild(*key, part);
                if (!child) {
                    child = std::make_shared<Key>();
                    child->name = part;
                    child->lastWrite = stamp;
                    AddChild(key, child);
                }
                key = child.get();
            }
            current = key;
        } else if (line.compare(0, 14, ";security=hex:") == 0) {
            Bytes bytes;
            Descriptor descriptor;
            DWORD error;
            if (current == nullptr || !ReadHex(line.substr(14), &bytes) ||
                !ReadDescriptor(bytes.data(), bytes.size(), &descriptor, &error))
                return fail("the security descriptor is malformed");
            current->security = std::move(descriptor);
        } else if (line[0] == ';') {
            continue; // a comment
        } else {
            Value value;
            if (current == nullptr || !ReadValue(line, &value))
                return fail("the value line is malformed");
            Value* existing = FindValue(current, value.name.c_str());
            if (existing != nullptr)
                *existing = std::move(value);
            else
                current->values.push_back(std::move(value));
        }
    }
    if (number == 0 && !text.empty())
        return fail("the file is empty");
    return true;
}

// Moves the content of `fresh` into `old`, keeping the Key objects of the paths present in
// both (so that open handles stay valid) and marking those that vanished as deleted.
void Merge(Key* old, Key* fresh) {
    old->values = std::move(fresh->values);
    old->security = std::move(fresh->security);
    old->lastWrite = fresh->lastWrite;
    std::vector<std::shared_ptr<Key>> kept;
    for (const auto& child : old->children) {
        if (child->isVolatile || FindChild(*fresh, child->name))
            kept.push_back(child);
        else
            MarkDeleted(child.get());
    }
    old->children = std::move(kept);
    for (const auto& child : fresh->children) {
        std::shared_ptr<Key> existing = FindChild(*old, child->name);
        if (existing)
            Merge(existing.get(), child.get());
        else
            AddChild(old, child);
    }
}

// ---------------------------------------------------------------------------------------
// The registry of the process

struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    struct timespec modified = {0, 0};
    bool operator==(const FileStamp& other) const {
        return exists == other.exists && device == other.device && inode == other.inode &&
               size == other.size && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

FileStamp StampOf(const std::string& path) {
    FileStamp stamp;
    struct stat info;
    if (stat(path.c_str(), &info) == 0) {
        stamp.exists = true;
        stamp.device = info.st_dev;
        stamp.inode = info.st_ino;
        stamp.size = info.st_size;
        stamp.modified = info.st_mtim;
    }
    return stamp;
}

class Registry {
public:
    static Registry& Instance() {
        static Registry* registry = new Registry; // never destroyed: threads outlive exit
        return *registry;
    }

    std::mutex& Lock() { return m_lock; }

    // Brings the tree up to date with the file (under Lock()). ERROR_BADDB when the file
    // does not read.
    LONG Sync(bool force) {
        std::string path = FilePath();
        if (path.empty())
            return ERROR_REGISTRY_IO_FAILED;
        FileStamp stamp = StampOf(path);
        if (!force && m_loaded && path == m_path && stamp == m_stamp)
            return m_damaged ? ERROR_BADDB : ERROR_SUCCESS;
        m_path = path;
        m_stamp = stamp;
        m_loaded = true;
        std::string text;
        if (stamp.exists) {
            std::ifstream in(path, std::ios::binary);
            std::ostringstream content;
            content << in.rdbuf();
            if (!in) {
                m_damaged = true;
                fprintf(stderr, "vantel: the registry file %s cannot be read\n", path.c_str());
                return ERROR_BADDB;
            }
            text = content.str();
        }
        Roots fresh;
        std::string problem;
        if (!ParseRegistry(text.empty() ? std::string("REGEDIT4\n") : text,
                           FileTimeOf(stamp.modified), fresh, &problem)) {
            m_damaged = true;
            fprintf(stderr,
                    "vantel: the registry file %s is damaged (%s); registry calls fail with "
                    "ERROR_BADDB until it is repaired\n",
                    path.c_str(), problem.c_str());
            return ERROR_BADDB;
        }
        m_damaged = false;
        for (size_t i = 0; i < kRootCount; ++i) {
            if (!fresh[i])
                continue;
            if (!m_roots[i])
                m_roots[i] = fresh[i];
            else
                Merge(m_roots[i].get(), fresh[i].get());
        }
        return ERROR_SUCCESS;
    }

    // Writes the whole tree to the file, atomically (under Lock()).
    LONG Save() {
        std::ostringstream out;
        out << "REGEDIT4\n";
        for (size_t i = 0; i < kRootCount; ++i) {
            if (m_roots[i])
                WriteKey(out, *m_roots[i], kRootNames[i]);
        }
        std::string text = out.str();
        std::string temporary = m_path + ".tmp-" + std::to_string(getpid());
        int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        bool written = fd >= 0;
        for (size_t done = 0; written && done < text.size();) {
            ssize_t put = write(fd, text.data() + done, text.size() - done);
            if (put < 0 && errno == EINTR)
                continue;
            written = put > 0;
            done += written ? static_cast<size_t>(put) : 0;
        }
        if (fd >= 0)
            written = fsync(fd) == 0 && written;
        if (fd >= 0)
            written = close(fd) == 0 && written;
        if (!written || rename(temporary.c_str(), m_path.c_str()) != 0) {
            unlink(temporary.c_str());
            fprintf(stderr, "vantel: the registry file %s cannot be written: %s\n", m_path.c_str(),
                    strerror(errno));
            return ERROR_REGISTRY_IO_FAILED;
        }
        m_stamp = StampOf(m_path);
        return ERROR_SUCCESS;
    }

    std::shared_ptr<Key> Root(size_t index) {
        return index < kRootCount ? m_roots[index] : nullptr;
    }

    std::string CurrentFile() {
        std::lock_guard<std::mutex> lock(m_lock);
        return FilePath();
    }

private:
    static std::string FilePath() {
        const char* configured = getenv("VANTEL_REGISTRY");
        if (configured != nullptr && *configured != '\0')
            return PlainPosixPath(configured);
        std::string scratch = ScratchFolder();
        return scratch.empty() ? scratch : scratch + "/registry";
    }

    std::mutex m_lock;
    Roots m_roots;
    std::string m_path;
    FileStamp m_stamp;
    bool m_loaded = false;
    bool m_damaged = false;
};

class KeyObject : public KernelObject {
public:
    KeyObject(std::shared_ptr<Key> key, ACCESS_MASK access)
        : m_key(std::move(key)), m_access(access) {}
    const char* KindName() const override { return "key"; }
    const std::shared_ptr<Key>& Node() const { return m_key; }
    ACCESS_MASK Access() const { return m_access; }

private:
    const std::shared_ptr<Key> m_key;
    const ACCESS_MASK m_access;
};

// The rights a predefined root's handle holds: all that the root's list allows.
ACCESS_MASK RootAccess(const Key& root) {
    if (!IsNtFamily())
        return KEY_ALL_ACCESS;
    ACCESS_MASK granted = 0;
    if (CheckAccess(root.security, CurrentToken(), MAXIMUM_ALLOWED, kKeyMapping, &granted) !=
        ERROR_SUCCESS)
        return 0;
    return granted;
}

// A key handle resolved under the registry's lock: its key and the rights it holds.
struct Opened {
    std::shared_ptr<Key> key;
    ACCESS_MASK access = 0;
};

// Resolves `handle` (a predefined root or an opened key) after bringing the tree up to date;
// the error otherwise.
LONG Resolve(HKEY handle, Opened* opened) {
    LONG status = Registry::Instance().Sync(false);
    if (status != ERROR_SUCCESS)
        return status;
    uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    uintptr_t first = reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT);
    if (value >= first && value < first + kRootCount) {
        opened->key = Registry::Instance().Root(value - first);
        if (!opened->key)
            return ERROR_INVALID_HANDLE;
        opened->access = RootAccess(*opened->key);
        return ERROR_SUCCESS;
    }
    std::shared_ptr<KeyObject> object = LookupObject<KeyObject>(reinterpret_cast<HANDLE>(handle));
    if (!object)
        return ERROR_INVALID_HANDLE;
    if (object->Node()->deleted)
        return ERROR_KEY_DELETED;
    opened->key = object->Node();
    opened->access = object->Access();
    return ERROR_SUCCESS;
}

// Resolves `handle` and splits `path` into its components.
LONG ResolvePath(HKEY handle, const char* path, Opened* parent, std::vector<std::string>* parts) {
    LONG status = Resolve(handle, parent);
    return status == ERROR_SUCCESS ? SplitPath(path, parts) : status;
}

// The key at `path` below `handle` (the key itself for an empty path).
LONG FindKey(HKEY handle, const char* path, std::shared_ptr<Key>* key) {
    Opened parent;
    std::vector<std::string> parts;
    LONG status = ResolvePath(handle, path, &parent, &parts);
    if (status != ERROR_SUCCESS)
        return status;
    *key = parent.key;
    for (const std::string& part : parts) {
        *key = FindChild(**key, part);
        if (!*key)
            return ERROR_FILE_NOT_FOUND;
    }
    return ERROR_SUCCESS;
}

// Resolves `handle` and checks that it holds `needed`.
LONG ResolveFor(HKEY handle, ACCESS_MASK needed, Opened* opened) {
    LONG status = Resolve(handle, opened);
    if (status == ERROR_SUCCESS && (opened->access & needed) != needed)
        return ERROR_ACCESS_DENIED;
    return status;
}

// The access check of opening `key` for `desired` (everything on the 9x family).
LONG Admit(const Key& key, REGSAM desired, ACCESS_MASK* granted) {
    desired &= ~static_cast<REGSAM>(KEY_WOW64_64KEY | KEY_WOW64_32KEY);
    if (!IsNtFamily()) {
        *granted = KEY_ALL_ACCESS;
        return ERROR_SUCCESS;
    }
    return static_cast<LONG>(
        CheckAccess(key.security, CurrentToken(), desired, kKeyMapping, granted));
}

HKEY NewHandle(std::shared_ptr<Key> key, ACCESS_MASK access) {
    return reinterpret_cast<HKEY>(
        InsertHandle(std::make_shared<KeyObject>(std::move(key), access)));
}

// Copies a name into a caller's buffer of *size characters (with the terminator):
// ERROR_MORE_DATA when it does not fit; else *size becomes its length.
LONG CopyName(const std::string& name, LPSTR buffer, LPDWORD size) {
    if (*size <= name.size())
        return ERROR_MORE_DATA;
    memcpy(buffer, name.c_str(), name.size() + 1);
    *size = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

// Copies value data by RegQueryValueExA's rule.
LONG CopyData(const Value& value, LPDWORD type, LPBYTE data, LPDWORD size) {
    if (type != nullptr)
        *type = value.type;
    if (size == nullptr)
        return ERROR_SUCCESS;
    DWORD needed = static_cast<DWORD>(value.data.size());
    if (data != nullptr && *size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (data != nullptr && needed != 0)
        memcpy(data, value.data.data(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

LONG Persist(Key* changed) {
    changed->lastWrite = Now();
    return Registry::Instance().Save();
}

} // namespace

} // namespace internal

void ReloadRegistry() {
    std::lock_guard<std::mutex> lock(internal::Registry::Instance().Lock());
    internal::Registry::Instance().Sync(true);
}

std::string RegistryFile() {
    return internal::Registry::Instance().CurrentFile();
}

} // namespace emu

using namespace emu::internal;

extern "C" {

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
    if (phkResult == nullptr)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    std::lock_guard<std::mutex> lock(Registry::Instance().Lock());
    std::shared_ptr<Key> key;
    LONG status = FindKey(hKey, lpSubKey, &key);
    if (status != ERROR_SUCCESS)
        return status;
    ACCESS_MASK granted = 0;
    status = Admit(*key, samDesired, &granted);
    if (status == ERROR_SUCCESS)
        *phkResult = NewHandle(key, granted);
    return status;
}

LONG WINAPI RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    return RegOpenKeyExA(hKey, lpSubKey, 0, MAXIMUM_ALLOWED, phkResult);
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD dwOptions,
                            REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                            PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (phkResult == nullptr)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    if (lpSubKey == nullptr)
        return ERROR_BADKEY;
    const bool makeVolatile = (dwOptions & REG_OPTION_VOLATILE) != 0;
    Descriptor given;
    bool hasGiven =
        lpSecurityAttributes != nullptr && lpSecurityAttributes->lpSecurityDescriptor != nullptr;
    if (hasGiven) {
        DWORD error;
        if (!ReadDescriptor(lpSecurityAttributes->lpSecurityDescriptor, SIZE_MAX, &given, &error))
            return ERROR_INVALID_SECURITY_DESCR;
    }
    std::lock_guard<std::mutex> lock(Registry::Instance().Lock());
    Opened parent;
    std::vector<std::string> parts;
    LONG status = ResolvePath(hKey, lpSubKey, &parent, &parts);
    if (status != ERROR_SUCCESS)
        return status;
    for (const std::string& part : parts) {
        for (char c : part) {
            if (static_cast<unsigned char>(c) < 0x20)
                return ERROR_INVALID_PARAMETER; // key names are printable
        }
    }
    std::shared_ptr<Key> key = parent.key;
    size_t existing = 0;
    for (; existing < parts.size(); ++existing) {
        std::shared_ptr<Key> child = FindChild(*key, parts[existing]);
        if (!child)
            break;
        key = child;
    }
    ACCESS_MASK granted = 0;
    if (existing == parts.size()) { // the key is there: open it
        status = Admit(*key, samDesired, &granted);
        if (status != ERROR_SUCCESS)
            return status;
        *phkResult = NewHandle(key, granted);
        if (lpdwDisposition != nullptr)
            *lpdwDisposition = REG_OPENED_EXISTING_KEY;
        return ERROR_SUCCESS;
    }
    // Creating below the deepest existing key needs KEY_CREATE_SUB_KEY there; the keys made
    // on the way are the creator's own.
    if (IsNtFamily() && CheckAccess(key->security, CurrentToken(), KEY_CREATE_SUB_KEY, kKeyMapping,
                                    &granted) != ERROR_SUCCESS)
        return ERROR_ACCESS_DENIED;
    if (key->isVolatile && !makeVolatile)
        return ERROR_CHILD_MUST_BE_VOLATILE;
    Key* attachedTo = key.get();
    for (size_t i = existing; i < parts.size(); ++i) {
        auto child = std::make_shared<Key>();
        child->name = parts[i];
        child->isVolatile = makeVolatile;
        child->security =
            hasGiven && i + 1 == parts.size() ? given : InheritedDescriptor(key->security);
        child->lastWrite = Now();
        AddChild(key.get(), child);
        key = child;
    }
    // The creator of a key holds the rights it asked for, whatever the new key's list says.
    granted = MapGenericRights(
        samDesired & ~static_cast<REGSAM>(KEY_WOW64_64KEY | KEY_WOW64_32KEY | MAXIMUM_ALLOWED),
        kKeyMapping);
    if (samDesired & MAXIMUM_ALLOWED)
        granted |= KEY_ALL_ACCESS;
    status = makeVolatile ? ERROR_SUCCESS : Persist(attachedTo);
    if (status != ERROR_SUCCESS)
        return status;
    *phkResult = NewHandle(key, granted);
    if (lpdwDisposition != nullptr)
        *lpdwDisposition = REG_CREATED_NEW_KEY;
    return ERROR_SUCCESS;
}

LONG WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    return RegCreateKeyExA(hKey, lpSubKey != nullptr ? lpSubKey : "", 0, nullptr, 0,
                           MAXIMUM_ALLOWED, nullptr, phkResult, nullptr);
}

LONG WINAPI RegCloseKey(HKEY hKey) {
    uintptr_t value = reinterpret_cast<uintptr_t>(hKey);
    uintptr_t first = reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT);
    if (value >= first && value < first + kRootCount)
        return ERROR_SUCCESS; // the predefined keys are never closed
    if (!LookupObject<KeyObject>(reinterpret_cast<HANDLE>(hKey)))
        return ERROR_INVALID_HANDLE;
    return RemoveHandle(reinterpret_cast<HANDLE>(hKey)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG WINAPI RegFlushKey(HKEY hKey) {
    std::lock_guard<std::mutex> lock(Registry::Instance().Lock());
    Opened opened;
    return Resolve(hKey, &opened); // every change is on disk already
}

LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    if (lpSubKey == nullptr)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::mutex> lock(Registry::Instance().Lock());
    std::shared_ptr<Key> key;
    LONG status = FindKey(hKey, lpSubKey, &key);
    if (status != ERROR_SUCCESS)
        return status;
    if (key->parent == nullptr)
        return ERROR_ACCESS_DENIED; // a root key
    if (IsNtFamily()) {
        ACCESS_MASK granted;
        if (CheckAccess(key->security, CurrentToken(), DELETE, kKeyMapping, &granted) !=
                ERROR_SUCCESS ||
            !key->children.empty())
            return ERROR_ACCESS_DENIED;
    }
    Key* holder = key->parent;
    MarkDeleted(key.get());
    holder->children.erase(std::find(holder->children.begin(), holder->children.end(), key));
    return key->isVolatile ? ERROR_SUCCESS : Persist(holder);
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                          PFILETIME lpftLastWriteTime) {
    if (lpName == nullptr || lpcchName == nullptr || lpReserved != nullptr)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::mutex> lock(Registry::Instance().Lock());
    Opened opened;
    LONG status = ResolveFor(hKey, KEY_ENUMERATE_SUB_KEYS, &opened);
    if (status != ERROR_SUCCESS)
        return status;
    if (dwIndex >= opened.key->children.size())
        return ERROR_NO_MORE_ITEMS;
    const Key& child = *opened.key->children[dwIndex];
    status = CopyName(child.name, lpName, lpcchName);
    if (status != ERROR_SUCCESS)
        return status;
    if (lpClass != nullptr && lpcchClass != nullptr && *lpcchClass > 0)
        lpClass[0] = '\0'; // keys have no class
    if (lpcchClass != nullptr)
        *lpcchClass = 0;
    if (lpftLastWriteTime != nullptr)
        *lpftLastWriteTime = child.lastWrite;
    return ERROR_SUCCESS;
}

LONG WINAPI RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
    return RegEnumKeyExA(hKey, dwIndex, lpName, &cchName, nullptr, nullptr, nullptr, nullptr);
}

LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                             LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                             LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen,
                             LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                             PFILETIME lpftLastWriteTime) {
    if (lpReserved != nullptr)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::mutex> lock(Registry::Instance().Lock());
    Opened opened;
    LONG status = ResolveFor(hKey, KEY_QUERY_VALUE, &opened);
    if (status != ERROR_SUCCESS)
        return status;
    const Key& key = *opened.key;
    if (lpClass != nullptr && lpcchClass != nullptr && *lpcchClass > 0)
        lpClass[0] = '\0';
    DWORD maxSubKey = 0, maxValueName = 0, maxValue = 0;
    for (const auto& child : key.children)
        maxSubKey = std::max(maxSubKey, static_cast<DWORD>(child->name.size()));
    for (const Value& value : key.values) {
        maxValueName = std::max(maxValueName, static_cast<DWORD>(value.name.size()));
        maxValue = std::max(maxValue, static_cast<DWORD>(value.data.size()));
    }
    const std::pair<LPDWORD, DWORD> results[] = {
        {lpcchClass, 0},
        {lpcSubKeys, static_cast<DWORD>(key.children.size())},
        {lpcbMaxSubKeyLen, maxSubKey},
        {lpcbMaxClassLen, 0},
        {lpcValues, static_cast<DWORD>(key.values.size())},
        {lpcbMaxValueNameLen, maxValueName},
        {lpcbMaxValueLen, maxValue},
        {lpcbSecurityDescriptor,
         static_cast<DWORD>(SelfRelative(key.security, OWNER_SECURITY_INFORMATION |
                                                           GROUP_SECURITY_INFORMATION |
                                                           DACL_SECURITY_INFORMATION)
                                .size())}};
    for (const auto& result : results) {
        if (result.first != nullptr)
            *result.first = result.second;
    }
    if (lpftLastWriteTime != nullptr)
        *lpftLastWriteTime = key.lastWrite;
    return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr))
        return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::mutex> lock(Registry::Instance().Lock());
    Opened opened;
    LONG status = ResolveFor(hKey, KEY_QUERY_VALUE, &opened);
    if (status != ERROR_SUCCESS)
        return status;
    const Value* value = FindValue(opened.key.get(), lpValueName);
    if (value == nullptr)
        return ERROR_FILE_NOT_FOUND;
    return CopyData(*value, lpType, lpData, lpcbData);
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                           DWORD cbData) {
    if (lpData == nullptr && cbData != 0)
        return ERROR_NOACCESS;
    if (lpValueName != nullptr && strlen(lpValueName) > kMaxValueName)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::mutex> lock(Registry::Instance().Lock());
    Opened opened;
    LONG status = ResolveFor(hKey, KEY_SET_VALUE, &opened);
    if (status != ERROR_SUCCESS)
        return status;
    Key* key = opened.key.get();
    Value* value = FindValue(key, lpValueName);
    if (value == nullptr) {
        key->values.push_back(Value{lpValueName != nullptr ? lpValueName : "", dwType, Bytes()});
        value = &key->values.back();
    }
    value->type = dwType;
    value->data.assign(lpData, lpData + cbData);
    return key->isVolatile ? ERROR_SUCCESS : Persist(key);
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    std::lock_guard<std::mutex> lock(Registry::Instance().Lock());
    Opened opened;
    LONG status = ResolveFor(hKey, KEY_SET_VALUE, &opened);
    if (status != ERROR_SUCCESS)
        return status;
    Key* key = opened.key.get();
    Value* value = FindValue(key, lpValueName);
    if (value == nullptr)
        return ERROR_FILE_NOT_FOUND;
    key->values.erase(key->values.begin() + (value - key->values.data()));
    return key->isVolatile ? ERROR_SUCCESS : Persist(key);
}

LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                          LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpValueName == nullptr || lpcchValueName == nullptr || lpReserved != nullptr ||
        (lpData != nullptr && lpcbData == nullptr))
        return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::mutex> lock(Registry::Instance().Lock());
    Opened opened;
    LONG status = ResolveFor(hKey, KEY_QUERY_VALUE, &opened);
    if (status != ERROR_SUCCESS)
        return status;
    if (dwIndex >= opened.key->values.size())
        return ERROR_NO_MORE_ITEMS;
    const Value& value = opened.key->values[dwIndex];
    status = CopyName(value.name, lpValueName, lpcchValueName);
    if (status != ERROR_SUCCESS)
        return status;
    return CopyData(value, lpType, lpData, lpcbData);
}

LONG WINAPI RegGetKeySecurity(HKEY hKey, SECURITY_INFORMATION SecurityInformation,
                              PSECURITY_DESCRIPTOR pSecurityDescriptor,
                              LPDWORD lpcbSecurityDescriptor) {
    if (!IsNtFamily())
        return ERROR_CALL_NOT_IMPLEMENTED;
    if (lpcbSecurityDescriptor == nullptr)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::mutex> lock(Registry::Instance().Lock());
    Opened opened;
    LONG status = Resolve(hKey, &opened);
    if (status != ERROR_SUCCESS)
        return status;
    if (SecurityInformation & SACL_SECURITY_INFORMATION)
        return ERROR_PRIVILEGE_NOT_HELD;
    if ((opened.access & READ_CONTROL) == 0)
        return ERROR_ACCESS_DENIED;
    // The kernel writes into the caller's buffer: a missing one of a non-zero size faults.
    if (pSecurityDescriptor == nullptr && *lpcbSecurityDescriptor != 0)
        return ERROR_NOACCESS;
    Bytes relative = SelfRelative(opened.key->security, SecurityInformation);
    if (*lpcbSecurityDescriptor < relative.size()) {
        *lpcbSecurityDescriptor = static_cast<DWORD>(relative.size());
        return ERROR_INSUFFICIENT_BUFFER;
    }
    memcpy(pSecurityDescriptor, relative.data(), relative.size());
    *lpcbSecurityDescriptor = static_cast<DWORD>(relative.size());
    return ERROR_SUCCESS;
}

LONG WINAPI RegSetKeySecurity(HKEY hKey, SECURITY_INFORMATION SecurityInformation,
                              PSECURITY_DESCRIPTOR pSecurityDescriptor) {
    if (!IsNtFamily())
        return ERROR_CALL_NOT_IMPLEMENTED;
    const SECURITY_INFORMATION kKnown = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                        DACL_SECURITY_INFORMATION | SACL_SECURITY_INFORMATION;
    Descriptor given;
    DWORD error;
    if ((SecurityInformation & ~kKnown) != 0 || pSecurityDescriptor == nullptr ||
        !ReadDescriptor(pSecurityDescriptor, SIZE_MAX, &given, &error))
        return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::mutex> lock(Registry::Instance().Lock());
    Opened opened;
    LONG status = Resolve(hKey, &opened);
    if (status != ERROR_SUCCESS)
        return status;
    if (SecurityInformation & SACL_SECURITY_INFORMATION)
        return ERROR_PRIVILEGE_NOT_HELD;
    ACCESS_MASK needed = 0;
    if (SecurityInformation & DACL_SECURITY_INFORMATION)
        needed |= WRITE_DAC;
    if (SecurityInformation & (OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION))
        needed |= WRITE_OWNER;
    if ((opened.access & needed) != needed)
        return ERROR_ACCESS_DENIED;
    Descriptor& security = opened.key->security;
    if (SecurityInformation & OWNER_SECURITY_INFORMATION) {
        // Without privileges, the owner can only be the user or a group marked as owner.
        Token token = CurrentToken();
        bool allowed = !given.owner.empty() && given.owner == token.user;
        for (const auto& group : token.groups)
            allowed = allowed || (group.first == given.owner && (group.second & SE_GROUP_OWNER));
        if (!allowed)
            return ERROR_INVALID_OWNER;
        security.owner = given.owner;
    }
    if (SecurityInformation & GROUP_SECURITY_INFORMATION)
        security.group = given.group;
    if (SecurityInformation & DACL_SECURITY_INFORMATION) {
        const WORD kDaclFlags = SE_DACL_DEFAULTED | SE_DACL_AUTO_INHERITED | SE_DACL_PROTECTED |
                                SE_DACL_AUTO_INHERIT_REQ;
        security.daclPresent = given.daclPresent;
        security.dacl = given.dacl;
        security.control =
            static_cast<WORD>((security.control & ~kDaclFlags) | (given.control & kDaclFlags));
    }
    return opened.key->isVolatile ? ERROR_SUCCESS : Registry::Instance().Save();
}

} // extern "C"
