// CFile over the Win32 file calls: open failures reported through the exception object or
// thrown, share modes, reading and writing with positions and lengths.
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
};

} // namespace

TEST_F(CFileTest, OpenFailureFillsTheExceptionObjectOrIsThrown) {
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
    EXPECT_FALSE(file.Open(missing.c_str(), CFile::modeRead)); // no exception object: FALSE only

    EXPECT_EQ(CFileException::fileNotFound,
              FileExceptionCause([&] { CFile thrown(missing.c_str(), CFile::modeRead); }));
}

TEST_F(CFileTest, ShareModesDecideWhoElseMayOpen) {
    std::string name = Path("design.kst");
    CFile(name.c_str(), CFile::modeCreate | CFile::modeWrite).Write("data", 4);
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

TEST_F(CFileTest, ReadsWritesAndSeeks) {
    std::string name = Path("data.bin");
    CFile file(name.c_str(), CFile::modeCreate | CFile::modeReadWrite | CFile::typeBinary);
    std::vector<BYTE> bytes(100);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<BYTE>(i);
    file.Write(bytes.data(), 100);
    EXPECT_EQ(100u, file.GetLength());

    file.SeekToBegin();
    BYTE got[60];
    EXPECT_EQ(60u, file.Read(got, 60));
    EXPECT_EQ(59, got[59]);
    EXPECT_EQ(40u, file.Read(got, 60)); // what is left
    EXPECT_EQ(99, got[39]);
    EXPECT_EQ(0u, file.Read(got, 60)); // at the end
    EXPECT_EQ(90u, file.Seek(-10, CFile::end));
    EXPECT_EQ(CFileException::badSeek, FileExceptionCause([&] { file.Seek(-1, CFile::begin); }));
    file.Close();
    EXPECT_EQ(CFile::hFileNull, file.m_hFile);

    CFile truncated(name.c_str(), CFile::modeCreate | CFile::modeWrite);
    EXPECT_EQ(0u, truncated.GetLength());
    char byte;
    EXPECT_EQ(CFileException::accessDenied, FileExceptionCause([&] { truncated.Read(&byte, 1); }));
    CFile closed;
    EXPECT_NE(-1, FileExceptionCause([&] { closed.Read(&byte, 1); }));
}
