// CFile over the Win32 file calls: open failures reported through the exception object or
// thrown, share modes, reading and writing with positions and lengths, names, Remove/Rename.
#include <afx.h>

#include "platform/afx/AfxTest.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using afxtest::FileExceptionCause;

namespace {

class CFileTest : public ::testing::Test {
protected:
    testsupport::TempDir m_dir;
    std::string Path(const char* name) const { return m_dir.File(name); }

    void MakeFile(const char* name, const std::string& content) {
        CFile file(Path(name).c_str(), CFile::modeCreate | CFile::modeWrite);
        file.Write(content.data(), static_cast<UINT>(content.size()));
    }
};

} // namespace

TEST_F(CFileTest, OpenFailureFillsTheExceptionObject) {
    std::string missing = Path("missing.kst");
    CFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(missing.c_str(), CFile::modeRead, &error));
    EXPECT_EQ(CFileException::fileNotFound, error.m_cause);
    EXPECT_EQ(static_cast<LONG>(ERROR_FILE_NOT_FOUND), error.m_lOsError);
    EXPECT_STREQ(missing.c_str(), error.m_strFileName);
    EXPECT_EQ(CFile::hFileNull, file.m_hFile);

    std::string inMissingFolder = Path("no-folder/x.kst");
    EXPECT_FALSE(file.Open(inMissingFolder.c_str(), CFile::modeCreate | CFile::modeWrite, &error));
    EXPECT_EQ(CFileException::badPath, error.m_cause);
    EXPECT_STREQ(inMissingFolder.c_str(), error.m_strFileName);

    EXPECT_FALSE(file.Open(missing.c_str(), CFile::modeRead)); // no exception object: FALSE only
}

TEST_F(CFileTest, ConstructorThrowsTheOpenFailure) {
    std::string missing = Path("missing.kst");
    CFileException* thrown = NULL;
    try {
        CFile file(missing.c_str(), CFile::modeRead | CFile::shareDenyWrite);
    } catch (CFileException* e) {
        thrown = e;
    }
    ASSERT_NE(nullptr, thrown);
    EXPECT_EQ(CFileException::fileNotFound, thrown->m_cause);
    EXPECT_EQ(static_cast<LONG>(ERROR_FILE_NOT_FOUND), thrown->m_lOsError);
    EXPECT_STREQ(missing.c_str(), thrown->m_strFileName);
    thrown->Delete();
}

TEST_F(CFileTest, ShareModesDecideWhoElseMayOpen) {
    MakeFile("design.kst", "data");
    std::string name = Path("design.kst");
    {
        CFile locked(name.c_str(), CFile::modeReadWrite | CFile::shareExclusive);
        EXPECT_EQ(CFileException::sharingViolation, FileExceptionCause([&] {
                      CFile reader(name.c_str(), CFile::modeRead | CFile::shareDenyNone);
                  }));
    }
    {
        CFile writer(name.c_str(), CFile::modeWrite | CFile::shareDenyWrite);
        CFile reader(name.c_str(), CFile::modeRead | CFile::shareDenyNone); // readers welcome
        EXPECT_EQ(CFileException::sharingViolation, FileExceptionCause([&] {
                      CFile second(name.c_str(), CFile::modeWrite | CFile::shareDenyNone);
                  }));
    }
    CFile again(name.c_str(), CFile::modeRead | CFile::shareExclusive); // all closed now
    EXPECT_EQ(4u, again.GetLength());
}

TEST_F(CFileTest, ReadsWritesSeeksAndSetsTheLength) {
    std::string name = Path("data.bin");
    CFile file(name.c_str(), CFile::modeCreate | CFile::modeReadWrite | CFile::typeBinary);
    std::vector<BYTE> bytes(100);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<BYTE>(i);
    file.Write(bytes.data(), 100);
    EXPECT_EQ(100u, file.GetLength());
    EXPECT_EQ(100u, file.GetPosition());

    file.SeekToBegin();
    BYTE got[60];
    EXPECT_EQ(60u, file.Read(got, 60));
    EXPECT_EQ(59, got[59]);
    EXPECT_EQ(40u, file.Read(got, 60)); // what is left
    EXPECT_EQ(99, got[39]);
    EXPECT_EQ(0u, file.Read(got, 60)); // at the end
    EXPECT_EQ(0u, file.Read(got, 0));

    EXPECT_EQ(90u, file.Seek(-10, CFile::end));
    EXPECT_EQ(95u, file.Seek(5, CFile::current));
    EXPECT_EQ(CFileException::badSeek, FileExceptionCause([&] { file.Seek(-1, CFile::begin); }));
    file.SetLength(20);
    EXPECT_EQ(20u, file.GetLength());
    EXPECT_EQ(20u, file.SeekToEnd());
    file.Flush();
    file.Close();
    EXPECT_EQ(CFile::hFileNull, file.m_hFile);
    EXPECT_TRUE(file.GetFilePath().IsEmpty());

    CFile kept(name.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite);
    EXPECT_EQ(20u, kept.GetLength());
    kept.Close();
    CFile truncated(name.c_str(), CFile::modeCreate | CFile::modeWrite);
    EXPECT_EQ(0u, truncated.GetLength());
}

TEST_F(CFileTest, WrongAccessAndClosedFilesThrow) {
    MakeFile("a.kst", "abc");
    CFile reader(Path("a.kst").c_str(), CFile::modeRead);
    EXPECT_EQ(CFileException::accessDenied, FileExceptionCause([&] { reader.Write("x", 1); }));
    CFile writer(Path("b.kst").c_str(), CFile::modeCreate | CFile::modeWrite);
    char byte;
    EXPECT_EQ(CFileException::accessDenied, FileExceptionCause([&] { writer.Read(&byte, 1); }));

    CFile closed;
    EXPECT_NE(-1, FileExceptionCause([&] { closed.Read(&byte, 1); }));
    EXPECT_NE(-1, FileExceptionCause([&] { closed.Write("x", 1); }));
    EXPECT_NE(-1, FileExceptionCause([&] { closed.GetLength(); }));
    closed.Close(); // nothing open: nothing to report
    closed.Abort();
}

TEST_F(CFileTest, NamesOfTheOpenFile) {
    MakeFile("design.v2.kst", "x");
    CFile file(Path("design.v2.kst").c_str(), CFile::modeRead);
    EXPECT_STREQ("design.v2.kst", file.GetFileName());
    EXPECT_STREQ("design.v2", file.GetFileTitle());
    EXPECT_STREQ(Path("design.v2.kst").c_str(), file.GetFilePath());

    MakeFile("README", "x");
    CFile plain(Path("README").c_str(), CFile::modeRead);
    EXPECT_STREQ("README", plain.GetFileTitle());
}

TEST_F(CFileTest, RemoveAndRenameThrowOnFailure) {
    MakeFile("old.kst", "abc");
    CFile::Rename(Path("old.kst").c_str(), Path("new.kst").c_str());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(Path("old.kst").c_str()));
    EXPECT_EQ(CFileException::fileNotFound, FileExceptionCause([&] {
                  CFile::Rename(Path("old.kst").c_str(), Path("other.kst").c_str());
              }));
    CFile::Remove(Path("new.kst").c_str());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(Path("new.kst").c_str()));

    CFileException* thrown = NULL;
    try {
        CFile::Remove(Path("new.kst").c_str());
    } catch (CFileException* e) {
        thrown = e;
    }
    ASSERT_NE(nullptr, thrown);
    EXPECT_EQ(CFileException::fileNotFound, thrown->m_cause);
    EXPECT_STREQ(Path("new.kst").c_str(), thrown->m_strFileName);
    thrown->Delete();
}
