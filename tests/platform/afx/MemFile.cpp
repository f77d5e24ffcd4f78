// CMemFile: growth in whole steps through the virtual allocator, Detach handing over a block
// that the caller frees with free, fixed attached blocks, and writing and reading around the
// end of the file.
#include <afx.h>

#include "platform/afx/AfxTest.h"

#include <gtest/gtest.h>

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

TEST(CMemFileTest, GrowsInWholeStepsOfItsGrowthSize) {
    CRecordingMemFile file(100);
    WriteBytes(file, 1, 1);
    WriteBytes(file, 249, 2); // 250 bytes need three steps
    WriteBytes(file, 50, 3);  // 300 still fit
    WriteBytes(file, 1, 4);   // 301 need a fourth
    EXPECT_EQ((std::vector<SIZE_T>{100, 300, 400}), file.m_requests);
    EXPECT_EQ(301u, file.GetLength());
    EXPECT_EQ(301u, file.GetPosition());

    CRecordingMemFile exact(512); // the reception buffer's case: one step holds it all
    WriteBytes(exact, 512, 7);
    EXPECT_EQ((std::vector<SIZE_T>{512}), exact.m_requests);
}

TEST(CMemFileTest, DetachHandsOverTheBlockAndLeavesTheFileEmpty) {
    CMemFile* file = new CMemFile(16);
    file->Write("design data", 11);
    BYTE* block = file->Detach();
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(0, memcmp(block, "design data", 11));
    EXPECT_EQ(0u, file->GetLength());
    EXPECT_EQ(0u, file->GetPosition());
    EXPECT_EQ(nullptr, file->GetBufferPtr());
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

TEST(CMemFileTest, FailedGrowthThrowsAndKeepsTheFile) {
    CRecordingMemFile file(8);
    file.Write("12345678", 8);
    file.m_refuse = true;
    CException* caught = NULL;
    try {
        file.Write("9", 1);
    } catch (CMemoryException* e) {
        caught = e;
    }
    ASSERT_NE(nullptr, caught);
    caught->Delete(); // the shared exception object survives Delete
    EXPECT_TRUE(caught->IsKindOf(RUNTIME_CLASS(CMemoryException)));
    EXPECT_EQ(8u, file.GetLength());
    EXPECT_EQ(0, memcmp(file.GetBufferPtr(), "12345678", 8));

    file.m_refuse = false;
    file.Write("9", 1);
    EXPECT_EQ(9u, file.GetLength());
}

TEST(CMemFileTest, AttachedBlockWithoutGrowthIsFixed) {
    BYTE block[6] = {'a', 'b', 'c', 'd', 'e', 'f'};
    CMemFile file(block, sizeof block);
    EXPECT_EQ(6u, file.GetLength()); // the block's bytes are the file
    char text[7] = {};
    EXPECT_EQ(6u, file.Read(text, 10));
    EXPECT_STREQ("abcdef", text);

    file.SeekToBegin();
    file.Write("AB", 2);
    EXPECT_EQ('A', block[0]);
    file.Seek(5, CFile::begin);
    EXPECT_TRUE(Throws<CMemoryException>([&] { file.Write("XY", 2); }));
    EXPECT_EQ('f', block[5]);
    EXPECT_EQ(block, file.Detach()); // not ours: never freed by the file
}

TEST(CMemFileTest, AttachedBlockWithGrowthStartsEmptyAndGrowsFromItsSize) {
    BYTE* block = static_cast<BYTE*>(malloc(10));
    CRecordingMemFile file(block, 10, 8);
    EXPECT_EQ(0u, file.GetLength());
    WriteBytes(file, 15, 5);
    EXPECT_EQ((std::vector<SIZE_T>{18}), file.m_requests); // 10 + one step of 8
    EXPECT_EQ(15u, file.GetLength());
    free(file.Detach());
}

TEST(CMemFileTest, SeekPastTheEndThenWriteFillsTheGapWithZeros) {
    CMemFile file(64);
    file.Write("ab", 2);
    EXPECT_EQ(10u, file.Seek(10, CFile::begin));
    EXPECT_EQ(2u, file.GetLength()); // seeking alone does not extend the file
    char byte;
    EXPECT_EQ(0u, file.Read(&byte, 1));
    file.Write("z", 1);
    EXPECT_EQ(11u, file.GetLength());

    std::vector<char> all(20, 'x');
    file.SeekToBegin();
    EXPECT_EQ(11u, file.Read(all.data(), 20));
    EXPECT_EQ(std::string("ab\0\0\0\0\0\0\0\0z", 11), std::string(all.data(), 11));

    EXPECT_EQ(9u, file.Seek(-2, CFile::end));
    EXPECT_EQ(7u, file.Seek(-2, CFile::current));
    EXPECT_EQ(11u, file.SeekToEnd());
    EXPECT_EQ(CFileException::badSeek,
              afxtest::FileExceptionCause([&] { file.Seek(-12, CFile::end); }));
    EXPECT_EQ(11u, file.GetPosition());
}

TEST(CMemFileTest, SetLengthTruncatesAndExtendsWithZeros) {
    CMemFile file(4);
    file.Write("abcdef", 6);
    file.SetLength(3);
    EXPECT_EQ(3u, file.GetLength());
    EXPECT_EQ(3u, file.GetPosition()); // pulled back to the new end
    file.SetLength(9);
    char text[9];
    file.SeekToBegin();
    EXPECT_EQ(9u, file.Read(text, 9));
    EXPECT_EQ(std::string("abc\0\0\0\0\0\0", 9), std::string(text, 9));
}

TEST(CMemFileTest, AttachReleasesTheBlockItOwned) {
    CMemFile file(16);
    file.Write("owned", 5);
    BYTE other[4] = {1, 2, 3, 4};
    file.Attach(other, sizeof other); // the leak checker of the sanitizer build sees a leak
    EXPECT_EQ(4u, file.GetLength());
    file.Close();
    EXPECT_EQ(0u, file.GetLength());
    EXPECT_EQ(1, other[0]);
}
