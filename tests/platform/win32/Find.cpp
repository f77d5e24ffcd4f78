// FindFirstFileA / FindNextFileA / FindClose of the Win32 emulation: Windows' pattern rules,
// ".", "..", attributes, order and errors.
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

TEST_F(FindFiles, StarDotStarListsEverythingWithDotsFirstThenByName) {
    Names expected = {".",        "..",        ".hidden", "a1.kst",        "ab1.kst", "Alpha.KST",
                      "beta.kst", "delta.rzf", "Folder",  "gamma.kst.bak", "noext"};
    EXPECT_EQ(Find(Pattern("*.*")), expected);
    EXPECT_EQ(Find(Pattern("*")), expected);
}

TEST_F(FindFiles, ExtensionPatternsIgnoreCase) {
    EXPECT_EQ(Find(Pattern("*.kst")), (Names{"a1.kst", "ab1.kst", "Alpha.KST", "beta.kst"}));
    EXPECT_EQ(Find(Pattern("*.KST")), (Names{"a1.kst", "ab1.kst", "Alpha.KST", "beta.kst"}));
    EXPECT_EQ(Find(Pattern("ALPHA.kst")), (Names{"Alpha.KST"}));
    EXPECT_EQ(Find(Pattern("*.bak")), (Names{"gamma.kst.bak"}));
    // Names without an extension; "." and ".." count as such, as on Windows.
    EXPECT_EQ(Find(Pattern("*.")), (Names{".", "..", "Folder", "noext"}));
}

TEST_F(FindFiles, QuestionMarksMatchOneCharacterOrNoneBeforeTheDot) {
    EXPECT_EQ(Find(Pattern("a?.kst")), (Names{"a1.kst"}));
    EXPECT_EQ(Find(Pattern("a??.kst")), (Names{"a1.kst", "ab1.kst"}));
    EXPECT_EQ(Find(Pattern("?eta.kst")), (Names{"beta.kst"}));
    EXPECT_EQ(Find(Pattern("b*.k?t")), (Names{"beta.kst"}));
    EXPECT_EQ(Find(Pattern("noext?")), (Names{"noext"}));
}

TEST_F(FindFiles, AttributesSizesAndHiddenNames) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(Pattern("beta.kst").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(data.nFileSizeLow, 8u);
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    EXPECT_NE(data.ftLastWriteTime.dwHighDateTime, 0u);
    FindClose(find);

    find = FindFirstFileA(Pattern(".h*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, ".hidden");
    EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    FindClose(find);

    find = FindFirstFileA(Pattern("folder").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "Folder");
    EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    FindClose(find);
}

TEST_F(FindFiles, FolderContentsWithMixedSeparators) {
    std::ofstream(m_dir.File("Folder/inner.kst")) << "x";
    EXPECT_EQ(Find(m_dir.Path() + "/Folder\\*.*"), (Names{".", "..", "inner.kst"}));
    EXPECT_EQ(Find(m_dir.Path() + "\\Folder/*.kst"), (Names{"inner.kst"}));
}

TEST_F(FindFiles, MissingFilesAndFoldersHaveTheirErrors) {
    DWORD error = 0;
    EXPECT_TRUE(Find(Pattern("*.xyz"), &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(Find(Pattern("none\\*.*"), &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(Find(Pattern("Folder\\"), &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(Find(Pattern("beta.kst\\*"), &error).empty()) << "a file is no folder";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

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

TEST(FindRoot, RootListsNoDotEntries) {
    for (const std::string& name : Find("\\*")) {
        EXPECT_NE(name, ".");
        EXPECT_NE(name, "..");
    }
}

} // namespace
