// FindFirstFileA / FindNextFileA / FindClose of the Win32 emulation: Windows' pattern rules,
// ".", "..", order and errors (CFileFind's tests cover attributes).
#include <windows.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

using testsupport::TempDir;

namespace {

// Every name FindFirstFileA/FindNextFileA list for `pattern`, in their order; empty with
// the error in *error when the search fails.
std::vector<std::string> Find(const std::string& pattern, DWORD* error = nullptr) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        if (error != nullptr)
            *error = GetLastError();
        return names;
    }
    do
        names.push_back(data.cFileName);
    while (FindNextFileA(find, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(find));
    return names;
}

using Names = std::vector<std::string>;

class FindFiles : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"Alpha.KST", "beta.kst", "gamma.kst.bak", "delta.rzf", "noext",
                                 "a1.kst", "ab1.kst", ".hidden"})
            std::ofstream(m_dir.File(name)) << name;
        mkdir(m_dir.File("Folder").c_str(), 0755);
    }
    std::string Pattern(const std::string& pattern) { return m_dir.Path() + "\\" + pattern; }

    TempDir m_dir;
};

// Windows' pattern rules: "." and ".." first, then by name ignoring case; extensions
// compared without case; '\' and '/' both separate folders.
TEST_F(FindFiles, PatternsListTheirNamesInOrder) {
    Names all = {".",        "..",        ".hidden", "a1.kst",        "ab1.kst", "Alpha.KST",
                 "beta.kst", "delta.rzf", "Folder",  "gamma.kst.bak", "noext"};
    Names kst = {"a1.kst", "ab1.kst", "Alpha.KST", "beta.kst"};
    std::ofstream(m_dir.File("Folder/inner.kst")) << "x";
    struct Row {
        std::string pattern;
        Names names;
    } rows[] = {
        {Pattern("*.*"), all},
        {Pattern("*.KST"), kst},
        {Pattern("*.bak"), {"gamma.kst.bak"}},
        {Pattern("*."), {".", "..", "Folder", "noext"}}, // no extension, as on Windows
        {m_dir.Path() + "/Folder\\*.*", {".", "..", "inner.kst"}},
        {m_dir.Path() + "\\Folder/"
                        "*.kst",
         {"inner.kst"}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Find(row.pattern), row.names) << row.pattern;
}

TEST_F(FindFiles, MissingFilesAndFoldersHaveTheirErrors) {
    struct Row {
        const char* pattern;
        DWORD error;
    } rows[] = {{"*.xyz", ERROR_FILE_NOT_FOUND},
                {"none\\*.*", ERROR_PATH_NOT_FOUND},
                {"Folder\\", ERROR_FILE_NOT_FOUND},
                {"beta.kst\\*", ERROR_PATH_NOT_FOUND}}; // a file is no folder
    for (const Row& row : rows) {
        DWORD error = 0;
        EXPECT_TRUE(Find(Pattern(row.pattern), &error).empty()) << row.pattern;
        EXPECT_EQ(error, row.error) << row.pattern;
    }
    WIN32_FIND_DATAA data;
    EXPECT_EQ(FindFirstFileA(nullptr, &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(FindNextFileA(INVALID_HANDLE_VALUE, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(FindClose(event)) << "not a find handle";
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "still open";
    CloseHandle(event);
}

} // namespace
