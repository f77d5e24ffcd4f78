// CFileFind as the system walks a folder: patterns as Windows matches them, the read-ahead
// protocol of FindNextFile, the dots, directories and hidden entries.
#include <afx.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using Names = std::set<std::string>;

class CFileFindTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"a.kst", "b.KST", "c.txt", ".hidden.kst"}) {
            DWORD attributes = name[0] == '.' ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL;
            HANDLE h = CreateFileA(m_dir.File(name).c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW,
                                   attributes, NULL);
            ASSERT_NE(INVALID_HANDLE_VALUE, h);
            CloseHandle(h);
        }
        ASSERT_TRUE(CreateDirectoryA(m_dir.File("sub").c_str(), NULL));
    }

    // Every name the pattern finds, walked as the system walks it, marked "/" for a directory,
    // "." for dots and "h" for hidden.
    Names Find(const std::string& pattern) {
        Names names;
        CFileFind finder;
        BOOL more = finder.FindFile(m_dir.File(pattern).c_str());
        while (more) {
            more = finder.FindNextFile();
            std::string name(finder.GetFileName());
            if (finder.IsDirectory())
                name += finder.IsDots() ? "." : "/";
            names.insert(name + (finder.IsHidden() && !finder.IsDots() ? "h" : ""));
        }
        return names;
    }

    testsupport::TempDir m_dir;
};

} // namespace

TEST_F(CFileFindTest, PatternsMatchAsWindowsMatches) {
    const struct {
        const char* pattern;
        Names expected;
    } cases[] = {
        {"*.*", {"..", "...", ".hidden.ksth", "a.kst", "b.KST", "c.txt", "sub/"}},
        {"*.kst", {".hidden.ksth", "a.kst", "b.KST"}},
        {"?.kst", {"a.kst", "b.KST"}},
        {"c.*", {"c.txt"}},
        {"A.KST", {"a.kst"}},
        {"*.zzz", {}},
        {"missing/*.*", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(c.expected, Find(c.pattern));
    }
}

TEST_F(CFileFindTest, FindNextFileMustComeFirstAndReportsTheLastEntry) {
    CFileFind finder;
    ASSERT_TRUE(finder.FindFile(m_dir.File("a.kst").c_str()));
    EXPECT_TRUE(finder.GetFileName().IsEmpty()); // nothing current before FindNextFile
    EXPECT_FALSE(finder.FindNextFile());         // the only entry is also the last
    EXPECT_STREQ("a.kst", finder.GetFileName());
    EXPECT_FALSE(finder.FindNextFile()); // past the end the last entry stays current
    EXPECT_STREQ("a.kst", finder.GetFileName());

    EXPECT_FALSE(finder.FindFile(m_dir.File("missing/*.*").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_FALSE(finder.FindNextFile());
}
