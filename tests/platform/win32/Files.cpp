// File calls of the Win32 emulation as CFile and the system code use them (CFile's own tests
// cover reading, writing and seeking): creation dispositions, share modes, whole-file calls with
// '\' paths, the temporary folder and full path names.
#include <windows.h>

#include "platform/win32/Win32Environment.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

using testsupport::TempDir;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
    return CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Each disposition on a missing and on an existing file ("old"): whether it opens, the last
// error, and what the file holds afterwards (nullptr: it does not exist).
TEST(Dispositions, EachOpensCreatesOrTruncatesAsWindowsDoes) {
    struct Row {
        DWORD disposition, access;
        bool existing, opens;
        DWORD error;
        const char* after;
    } rows[] = {
        {CREATE_ALWAYS, GENERIC_WRITE, false, true, ERROR_SUCCESS, ""},
        {CREATE_ALWAYS, GENERIC_WRITE, true, true, ERROR_ALREADY_EXISTS, ""},
        {OPEN_ALWAYS, GENERIC_READ, false, true, ERROR_SUCCESS, ""},
        {OPEN_ALWAYS, GENERIC_READ, true, true, ERROR_ALREADY_EXISTS, "old"},
        {OPEN_EXISTING, GENERIC_READ, false, false, ERROR_FILE_NOT_FOUND, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "disposition " << row.disposition << ", existing " << row.existing);
        TempDir dir;
        std::string path = dir.File("a.kst");
        if (row.existing)
            WriteAll(path, "old");
        HANDLE file = Open(path, row.access, 0, row.disposition);
        EXPECT_EQ(file != INVALID_HANDLE_VALUE, row.opens);
        EXPECT_EQ(GetLastError(), row.error);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        EXPECT_EQ(Exists(path), row.after != nullptr);
        if (row.after != nullptr) {
            EXPECT_EQ(ReadAll(path), row.after);
        }
    }
}

TEST(Dispositions, FoldersAndBadNamesAreRefused) {
    TempDir dir;
    struct Row {
        std::string path;
        DWORD disposition, error;
    } rows[] = {
        {dir.Path(), OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {dir.Path(), OPEN_ALWAYS, ERROR_ACCESS_DENIED},
        {dir.File("a*.kst"), CREATE_ALWAYS, ERROR_INVALID_NAME},
        {dir.File("missing/a.kst"), OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"", OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {dir.File("a"), 0, ERROR_INVALID_PARAMETER},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(Open(row.path, GENERIC_WRITE, 0, row.disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), row.error);
    }
}

// A second handle opens only if it shares what the first one does and the first shares what
// it asks for; the sharing ends with the handle.
TEST(ShareModes, ASecondHandleMustAgreeWithTheFirst) {
    struct Row {
        DWORD firstAccess, firstShare, secondAccess, secondShare;
        bool opens;
    } rows[] = {
        {GENERIC_WRITE, 0, GENERIC_READ, kShareAll, false},
        {GENERIC_READ, FILE_SHARE_READ, GENERIC_WRITE, kShareAll, false},
        {GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ, true},
        {GENERIC_WRITE, kShareAll, GENERIC_READ, FILE_SHARE_READ, false},
        {GENERIC_WRITE, kShareAll, GENERIC_READ, kShareAll, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "first " << row.firstAccess << "/" << row.firstShare << ", second "
                     << row.secondAccess << "/" << row.secondShare);
        TempDir dir;
        std::string path = dir.File("shared");
        HANDLE first = Open(path, row.firstAccess, row.firstShare, OPEN_ALWAYS);
        ASSERT_NE(first, INVALID_HANDLE_VALUE);
        HANDLE second = Open(path, row.secondAccess, row.secondShare, OPEN_EXISTING);
        EXPECT_EQ(second != INVALID_HANDLE_VALUE, row.opens);
        if (second != INVALID_HANDLE_VALUE)
            CloseHandle(second);
        else
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        CloseHandle(first);
        HANDLE after = Open(path, GENERIC_WRITE, 0, OPEN_EXISTING);
        EXPECT_NE(after, INVALID_HANDLE_VALUE) << "the sharing ends with the handle";
        CloseHandle(after);
    }
}

// A refused CREATE_ALWAYS truncates nothing; a file open without FILE_SHARE_DELETE stays.
TEST(ShareModes, RefusedOpensAndDeletesChangeNothing) {
    TempDir dir;
    std::string path = dir.File("busy");
    HANDLE writer = Open(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(writer, "data", 4, &written, nullptr));
    EXPECT_EQ(Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadAll(path), "data");
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(writer);
    EXPECT_TRUE(DeleteFileA(path.c_str()));
    EXPECT_FALSE(Exists(path));
}

// '\' separates components in every call; failures give the errors CFile turns into causes.
TEST(FilePaths, WholeFileCallsTakeBackslashesAndReportTheirErrors) {
    TempDir dir;
    ASSERT_EQ(mkdir(dir.File("sub").c_str(), 0755), 0);
    std::string file = dir.Path() + "\\sub\\design.kst";
    HANDLE handle = Open(file, GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    CloseHandle(handle);
    EXPECT_TRUE(Exists(dir.File("sub/design.kst")));
    EXPECT_TRUE(DeleteFileA(file.c_str()));
    EXPECT_FALSE(Exists(dir.File("sub/design.kst")));

    WriteAll(dir.File("locked"), "r");
    chmod(dir.File("locked").c_str(), 0444);
    EXPECT_FALSE(DeleteFileA(dir.File("locked").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Open(dir.File("locked"), GENERIC_WRITE, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    chmod(dir.File("locked").c_str(), 0644);
    EXPECT_FALSE(DeleteFileA(dir.Path().c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(FilePaths, TempPathAndFullPathNames) {
    win32test::ScopedEnv tmp("TMPDIR", "/var/tmp");
    char buffer[MAX_PATH];
    EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), 9u);
    EXPECT_STREQ(buffer, "/var/tmp/");
    tmp.Set(nullptr);
    EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), 5u);
    EXPECT_STREQ(buffer, "/tmp/");
    // A drive letter goes, "." and ".." are resolved, the name part is found.
    LPSTR part = nullptr;
    EXPECT_EQ(GetFullPathNameA("C:\\emb\\.\\old\\..\\design.kst", sizeof buffer, buffer, &part),
              15u);
    EXPECT_STREQ(buffer, "/emb/design.kst");
    EXPECT_STREQ(part, "design.kst");
}

} // namespace
