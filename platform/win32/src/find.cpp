// FindFirstFileA, FindNextFileA and FindClose.
//
// The last component of the path is a pattern matched as Windows matches it: without regard
// to case, "*.*" matching every name, '?' matching one character or none before a '.' or at
// the end, "*." matching names without an extension. "." and ".." are listed for a folder
// other than the root. Entries come in the order NTFS lists them: by name, without regard to
// case, "." and ".." first. The listing is taken when the search starts.
#include "kernel.h"

#include <dirent.h>
#include <errno.h>
#include <string.h>

#include <algorithm>

namespace emu {
namespace internal {

namespace {

// Windows' internal wildcards, as FindFirstFile turns the user's pattern into them.
const char kDosStar = '<'; // any characters up to the last '.' of the name
const char kDosQm = '>';   // one character, or none at a '.' or the end of the name
const char kDosDot = '"';  // a '.', or nothing at the end of the name

std::string TranslatePattern(const std::string& pattern) {
    if (pattern == "*.*")
        return "*";
    std::string translated;
    for (size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        if (c == '?')
            translated += kDosQm;
        else if (c == '.' && (next == '?' || next == '*' || next == '\0'))
            translated += kDosDot;
        else if (c == '*' && next == '.')
            translated += kDosStar;
        else
            translated += c;
    }
    return translated;
}

class Matcher {
public:
    Matcher(const std::string& pattern, const std::string& name)
        : m_pattern(pattern), m_name(name), m_lastDot(name.rfind('.')),
          m_memo((pattern.size() + 1) * (name.size() + 1), kUnknown) {}

    bool Matches() { return Match(0, 0); }

private:
    static constexpr signed char kUnknown = -1;

    bool Match(size_t p, size_t n) {
        signed char& memo = m_memo[p * (m_name.size() + 1) + n];
        if (memo == kUnknown)
            memo = Compute(p, n) ? 1 : 0;
        return memo == 1;
    }

    bool Compute(size_t p, size_t n) {
        const size_t end = m_name.size();
        if (p == m_pattern.size())
            return n == end;
        char c = m_pattern[p];
        switch (c) {
        case '*':
            return Match(p + 1, n) || (n < end && Match(p, n + 1));
        case kDosStar:
            return Match(p + 1, n) ||
                   (n < end && (m_lastDot == std::string::npos || n < m_lastDot) &&
                    Match(p, n + 1));
        case kDosQm:
            if (n < end && m_name[n] != '.')
                return Match(p + 1, n + 1);
            while (p < m_pattern.size() && m_pattern[p] == kDosQm)
                ++p;
            return Match(p, n);
        case kDosDot:
            if (n == end)
                return Match(p + 1, n);
            return m_name[n] == '.' && Match(p + 1, n + 1);
        default:
            return n < end &&
                   toupper(static_cast<unsigned char>(c)) ==
                       toupper(static_cast<unsigned char>(m_name[n])) &&
                   Match(p + 1, n + 1);
        }
    }

    const std::string& m_pattern;
    const std::string& m_name;
    const size_t m_lastDot;
    std::vector<signed char> m_memo;
};

std::string Upper(const std::string& text) {
    std::string upper = text;
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return upper;
}

bool ListedBefore(const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) {
    auto rank = [](const char* name) {
        return strcmp(name, ".") == 0 ? 0 : strcmp(name, "..") == 0 ? 1 : 2;
    };
    int rankA = rank(a.cFileName), rankB = rank(b.cFileName);
    if (rankA != rankB)
        return rankA < rankB;
    std::string upperA = Upper(a.cFileName), upperB = Upper(b.cFileName);
    if (upperA != upperB)
        return upperA < upperB;
    return strcmp(a.cFileName, b.cFileName) < 0;
}

class FindObject : public KernelObject {
public:
    explicit FindObject(std::vector<WIN32_FIND_DATAA> entries) : m_entries(std::move(entries)) {}
    const char* KindName() const override { return "find"; }

    bool Next(WIN32_FIND_DATAA* data) {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_next >= m_entries.size())
            return false;
        *data = m_entries[m_next++];
        return true;
    }

private:
    std::mutex m_lock;
    const std::vector<WIN32_FIND_DATAA> m_entries;
    size_t m_next = 0;
};

} // namespace

} // namespace internal
} // namespace emu

using namespace emu::internal;

extern "C" {

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
    if (lpFileName == nullptr || lpFindFileData == nullptr) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string path = PosixPath(lpFileName);
    if (path.empty()) {
        Fail(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "."
                         : slash == 0               ? "/"
                                                    : path.substr(0, slash);
    std::string pattern = slash == std::string::npos ? path : path.substr(slash + 1);
    if (pattern.empty()) {
        Fail(ERROR_FILE_NOT_FOUND); // "folder\" names no file
        return INVALID_HANDLE_VALUE;
    }
    DIR* directory = opendir(folder.c_str());
    if (directory == nullptr) {
        Fail(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    const bool root = folder == "/";
    std::string translated = TranslatePattern(pattern);
    std::vector<WIN32_FIND_DATAA> entries;
    while (struct dirent* entry = readdir(directory)) {
        std::string name = entry->d_name;
        if (root && (name == "." || name == ".."))
            continue;
        if (name.size() >= MAX_PATH || !Matcher(translated, name).Matches())
            continue;
        std::string full = (root ? "" : folder) + "/" + name;
        struct stat info;
        if (stat(full.c_str(), &info) != 0 && lstat(full.c_str(), &info) != 0)
            continue; // vanished meanwhile
        WIN32_FIND_DATAA data;
        memset(&data, 0, sizeof data);
        data.dwFileAttributes = AttributesOf(name, info);
        data.ftCreationTime = FileTimeOf(info.st_mtim);
        data.ftLastAccessTime = FileTimeOf(info.st_atim);
        data.ftLastWriteTime = FileTimeOf(info.st_mtim);
        if (!S_ISDIR(info.st_mode)) {
            uint64_t size = static_cast<uint64_t>(info.st_size);
            data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
            data.nFileSizeLow = static_cast<DWORD>(size);
        }
        memcpy(data.cFileName, name.c_str(), name.size() + 1);
        entries.push_back(data);
    }
    closedir(directory);
    if (entries.empty()) {
        Fail(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::sort(entries.begin(), entries.end(), ListedBefore);
    auto find = std::make_shared<FindObject>(std::move(entries));
    find->Next(lpFindFileData);
    return InsertHandle(find);
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
    std::shared_ptr<FindObject> find = LookupObject<FindObject>(hFindFile);
    if (!find)
        return FALSE;
    if (lpFindFileData == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    return find->Next(lpFindFileData) ? TRUE : Fail(ERROR_NO_MORE_FILES);
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
    if (!LookupObject<FindObject>(hFindFile))
        return FALSE;
    return RemoveHandle(hFindFile) ? TRUE : FALSE;
}

} // extern "C"
