// CMemFile: growth in whole steps through the virtual allocator, a failed growth that throws
// and keeps the file, Detach handing over a block that the caller frees with free, and
// writing and reading around the end of the file.
#include <afx.h>

#include "platform/afx/AfxTest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using afxtest::Throws;

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
    char byte;
    EXPECT_EQ(0u, file->Read(&byte, 1));

    // The file is usable again and frees only what it allocated after the detach.
    file->Write("x", 1);
    EXPECT_EQ(1u, file->GetLength());
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
    EXPECT_EQ(CFileException::badSeek,
              afxtest::FileExceptionCause([&] { file.Seek(-12, CFile::end); }));
    EXPECT_EQ(5u, file.GetPosition());
}
