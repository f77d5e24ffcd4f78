// The framework's files: CFile over the Win32 file calls (open failures reported through the
// exception object or thrown, share modes, reading and writing with positions and lengths);
// CFileFind as the system walks a folder (patterns as Windows matches them, the read-ahead
// protocol of FindNextFile, whose last entry is current when it returns FALSE, the dots,
// directories and hidden entries); CMemFile (growth in whole steps through the virtual
// allocator, a failed growth that throws and keeps the file, Detach handing over a block that
// the caller frees with free, writing and reading around the end of the file).
#include <afx.h>

#include "platform/afx/AfxTest.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using afxtest::FileExceptionCause;
using afxtest::Throws;

namespace {

using Names = std::set<std::string>;

class CFileTest : public ::testing::Test {
protected:
    testsupport::TempDir m_dir;
    std::string Path(const char* name) const { return m_dir.File(name); }

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
};

} // namespace

TEST_F(CFileTest, OpenFailureFillsTheExceptionObjectOrIsThrown) {
    std::string missing = Path("missing.kst");
    CFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(missing.c_str(), CFile::modeRead, &error));
    EXPECT_EQ(CFileException::fileNotFound, error.m_cause);
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
}

TEST_F(CFileTest, ReadsWritesAndSeeks) {
    std::string name = Path("data.bin");
    CFile file(name.c_str(), CFile::modeCreate | CFile::modeReadWrite | CFile::typeBinary);
    file.Write("0123456789", 10);
    EXPECT_EQ(10u, file.GetLength());
    file.SeekToBegin();
    char got[8];
    EXPECT_EQ(8u, file.Read(got, 8));
    EXPECT_EQ(2u, file.Read(got, 8)); // what is left
    EXPECT_EQ('9', got[1]);
    EXPECT_EQ(0u, file.Read(got, 8)); // at the end
    EXPECT_EQ(7u, file.Seek(-3, CFile::end));
    EXPECT_EQ(CFileException::badSeek, FileExceptionCause([&] { file.Seek(-1, CFile::begin); }));
    file.Close();

    CFile truncated(name.c_str(), CFile::modeCreate | CFile::modeWrite);
    EXPECT_EQ(0u, truncated.GetLength());
    EXPECT_EQ(CFileException::accessDenied, FileExceptionCause([&] { truncated.Read(got, 1); }));
    CFile closed;
    EXPECT_NE(-1, FileExceptionCause([&] { closed.Read(got, 1); }));
}

TEST_F(CFileTest, FindPatternsMatchAsWindowsMatches) {
    for (const char* name : {"a.kst", "b.KST", "c.txt", ".hidden.kst"}) {
        DWORD attributes = name[0] == '.' ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL;
        HANDLE h =
            CreateFileA(Path(name).c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, attributes, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        CloseHandle(h);
    }
    ASSERT_TRUE(CreateDirectoryA(Path("sub").c_str(), NULL));
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
        {"missing/a.kst", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(c.expected, Find(c.pattern));
    }
}

namespace {

// Records the block sizes the memory file asks for; can refuse to grow.
class CRecordingMemFile : public CMemFile {
public:
    using CMemFile::CMemFile;
    std::vector<SIZE_T> m_requests;
    bool m_refuse = false;

protected:
    BYTE* Alloc(SIZE_T nBytes) override {
        m_requests.push_back(nBytes);
        return m_refuse ? NULL : CMemFile::Alloc(nBytes);
    }
    BYTE* Realloc(BYTE* lpMem, SIZE_T nBytes) override {
        m_requests.push_back(nBytes);
        return m_refuse ? NULL : CMemFile::Realloc(lpMem, nBytes);
    }
};

void WriteBytes(CFile& file, size_t count, BYTE value) {
    std::vector<BYTE> bytes(count, value);
    file.Write(bytes.data(), static_cast<UINT>(count));
}

} // namespace

TEST(CMemFileTest, GrowsInWholeStepsAndKeepsItsBytesWhenGrowthFails) {
    CRecordingMemFile file(100);
    WriteBytes(file, 1, 1);
    WriteBytes(file, 249, 2); // 250 bytes need three steps
    WriteBytes(file, 50, 3);  // 300 still fit
    WriteBytes(file, 1, 4);   // 301 need a fourth
    EXPECT_EQ((std::vector<SIZE_T>{100, 300, 400}), file.m_requests);
    EXPECT_EQ(301u, file.GetLength());

    CRecordingMemFile exact(512); // the reception buffer's case: one step holds it all
    WriteBytes(exact, 512, 7);
    EXPECT_EQ((std::vector<SIZE_T>{512}), exact.m_requests);

    exact.m_refuse = true;
    EXPECT_TRUE(Throws<CMemoryException>([&] { exact.Write("9", 1); }));
    EXPECT_EQ(512u, exact.GetLength());
    EXPECT_EQ(7, exact.GetBufferPtr()[511]);
    exact.m_refuse = false;
    exact.Write("9", 1);
    EXPECT_EQ(513u, exact.GetLength());
}

TEST(CMemFileTest, DetachHandsOverTheBlockAndLeavesTheFileEmpty) {
    CMemFile* file = new CMemFile(16);
    file->Write("design data", 11);
    BYTE* block = file->Detach();
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(0, memcmp(block, "design data", 11));
    EXPECT_EQ(0u, file->GetLength());

    delete file;
    free(block); // a runtime block: the sanitizer build reports any other kind

    CMemFile empty;
    EXPECT_EQ(nullptr, empty.Detach());
}

TEST(CMemFileTest, SeekPastTheEndThenWriteFillsTheGapWithZeros) {
    CMemFile file(64);
    file.Write("ab", 2);
    EXPECT_EQ(10u, file.Seek(10, CFile::begin));
    EXPECT_EQ(2u, file.GetLength()); // seeking alone does not extend the file
    file.Write("z", 1);
    EXPECT_EQ(11u, file.GetLength());

    std::vector<char> all(20, 'x');
    file.SeekToBegin();
    EXPECT_EQ(11u, file.Read(all.data(), 20));
    EXPECT_EQ(std::string("ab\0\0\0\0\0\0\0\0z", 11), std::string(all.data(), 11));

    file.SeekToBegin();
    EXPECT_EQ(7u, file.Seek(-4, CFile::end)); // from the end, wherever the position is
    EXPECT_EQ(5u, file.Seek(-2, CFile::current));
    EXPECT_EQ(CFileException::badSeek, FileExceptionCause([&] { file.Seek(-12, CFile::end); }));
    EXPECT_EQ(5u, file.GetPosition());
}
