// CFileFind: patterns as Windows matches them, the read-ahead protocol of FindNextFile, the
// dots, attributes, and the paths built from the root.
#include <afx.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

class CFileFindTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeFile("a.kst", "12345", FILE_ATTRIBUTE_NORMAL);
        MakeFile("b.KST", "", FILE_ATTRIBUTE_NORMAL);
        MakeFile("c.txt", "", FILE_ATTRIBUTE_NORMAL);
        MakeFile(".hidden.kst", "", FILE_ATTRIBUTE_HIDDEN);
        MakeFile("locked.kst", "", FILE_ATTRIBUTE_READONLY);
        ASSERT_TRUE(CreateDirectoryA(m_dir.File("sub").c_str(), NULL));
    }

    void MakeFile(const char* name, const std::string& content, DWORD attributes) {
        HANDLE h = CreateFileA(m_dir.File(name).c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW,
                               attributes, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        DWORD written = 0;
        if (!content.empty())
            WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, NULL);
        CloseHandle(h);
    }

    // Every name the pattern finds, walked as MFC code walks it.
    std::set<std::string> Find(const std::string& pattern) {
        std::set<std::string> names;
        CFileFind finder;
        BOOL more = finder.FindFile(m_dir.File(pattern).c_str());
        while (more) {
            more = finder.FindNextFile();
            names.insert(std::string(finder.GetFileName()));
        }
        return names;
    }

    testsupport::TempDir m_dir;
};

using Names = std::set<std::string>;

} // namespace

TEST_F(CFileFindTest, PatternsMatchAsWindowsMatches) {
    EXPECT_EQ((Names{".", "..", ".hidden.kst", "a.kst", "b.KST", "c.txt", "locked.kst", "sub"}),
              Find("*.*"));
    EXPECT_EQ((Names{".hidden.kst", "a.kst", "b.KST", "locked.kst"}), Find("*.kst"));
    EXPECT_EQ((Names{"a.kst", "b.KST"}), Find("?.kst"));
    EXPECT_EQ((Names{"c.txt"}), Find("c.*"));
    EXPECT_EQ((Names{"a.kst"}), Find("A.KST"));
}

TEST_F(CFileFindTest, NothingFoundReportsTheError) {
    CFileFind finder;
    EXPECT_FALSE(finder.FindFile(m_dir.File("*.zzz").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_FALSE(finder.FindNextFile());
    EXPECT_FALSE(finder.FindFile(m_dir.File("missing/*.*").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_FALSE(finder.FindFile(std::string(MAX_PATH, 'x').c_str()));
}

TEST_F(CFileFindTest, FindNextFileMustComeFirstAndReportsTheLastEntry) {
    CFileFind finder;
    ASSERT_TRUE(finder.FindFile(m_dir.File("a.kst").c_str()));
    EXPECT_TRUE(finder.GetFileName().IsEmpty()); // nothing current before FindNextFile
    EXPECT_FALSE(finder.IsDirectory());
    EXPECT_FALSE(finder.FindNextFile()); // the only entry is also the last
    EXPECT_STREQ("a.kst", finder.GetFileName());
    EXPECT_FALSE(finder.FindNextFile()); // past the end the last entry stays current
    EXPECT_STREQ("a.kst", finder.GetFileName());
    finder.Close();
    EXPECT_FALSE(finder.FindNextFile());
    EXPECT_TRUE(finder.GetFileName().IsEmpty());
}

TEST_F(CFileFindTest, DotsDirectoriesAndAttributes) {
    CFileFind finder;
    BOOL more = finder.FindFile(m_dir.File("*").c_str());
    int dots = 0;
    while (more) {
        more = finder.FindNextFile();
        std::string name(finder.GetFileName());
        if (finder.IsDots()) {
            ++dots;
            EXPECT_TRUE(name == "." || name == "..");
            EXPECT_TRUE(finder.IsDirectory());
        } else if (name == "sub") {
            EXPECT_TRUE(finder.IsDirectory());
        } else {
            EXPECT_FALSE(finder.IsDirectory()) << name;
            EXPECT_EQ(name == ".hidden.kst", finder.IsHidden() != FALSE) << name;
            EXPECT_EQ(name == "locked.kst", finder.IsReadOnly() != FALSE) << name;
        }
    }
    EXPECT_EQ(2, dots);
}

TEST_F(CFileFindTest, PathTitleRootAndLength) {
    CFileFind finder;
    ASSERT_TRUE(finder.FindFile(m_dir.File("a.*").c_str()));
    finder.FindNextFile();
    EXPECT_STREQ(m_dir.Path().c_str(), finder.GetRoot());
    EXPECT_STREQ(m_dir.File("a.kst").c_str(), finder.GetFilePath());
    EXPECT_STREQ("a", finder.GetFileTitle());
    EXPECT_EQ(5u, finder.GetLength());
    FILETIME written;
    EXPECT_TRUE(finder.GetLastWriteTime(&written));
    EXPECT_NE(0u, written.dwHighDateTime);
}
