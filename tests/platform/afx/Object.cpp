// Run-time classes and the exception machinery: TRY/CATCH deleting what it caught and choosing
// the matching handler, the shared memory exception, the file exception's causes and messages.
#include <afx.h>

#include "platform/afx/AfxTest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class CShape : public CObject {
    DECLARE_DYNAMIC(CShape)
};
IMPLEMENT_DYNAMIC(CShape, CObject)

// An exception that counts its deletions.
class CCountedException : public CException {
    DECLARE_DYNAMIC(CCountedException)
public:
    ~CCountedException() override { ++s_nDeleted; }
    static int s_nDeleted;
};
IMPLEMENT_DYNAMIC(CCountedException, CException)
int CCountedException::s_nDeleted = 0;

} // namespace

TEST(RuntimeClassTest, IsKindOfFollowsTheBaseChain) {
    CShape shape;
    EXPECT_TRUE(shape.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(shape.IsKindOf(RUNTIME_CLASS(CException)));
    EXPECT_FALSE(RUNTIME_CLASS(CObject)->IsDerivedFrom(RUNTIME_CLASS(CShape)));
    CFileException fileError;
    EXPECT_TRUE(fileError.IsKindOf(RUNTIME_CLASS(CException)));
    EXPECT_FALSE(fileError.IsKindOf(RUNTIME_CLASS(CMemoryException)));
}

TEST(ExceptionTest, CatchDeletesTheExceptionAndChoosesTheMatchingHandler) {
    CCountedException::s_nDeleted = 0;
    TRY {
        throw new CCountedException;
    }
    CATCH(CCountedException, e) {
        EXPECT_TRUE(e->IsKindOf(RUNTIME_CLASS(CCountedException)));
    }
    END_CATCH
    EXPECT_EQ(1, CCountedException::s_nDeleted);

    int handler = 0;
    TRY {
        AfxThrowFileException(CFileException::diskFull);
    }
    CATCH(CMemoryException, e) {
        handler = 1;
    }
    AND_CATCH(CFileException, e) {
        handler = e->m_cause == CFileException::diskFull ? 2 : 3;
    }
    END_CATCH
    EXPECT_EQ(2, handler);
}

TEST(ExceptionTest, MemoryExceptionIsOneSharedObject) {
    CMemoryException* thrown[2] = {NULL, NULL};
    for (CMemoryException*& slot : thrown) {
        try {
            AfxThrowMemoryException();
        } catch (CMemoryException* e) {
            slot = e;
            e->Delete(); // leaves the shared object alone
        }
    }
    ASSERT_NE(nullptr, thrown[0]);
    EXPECT_EQ(thrown[0], thrown[1]);
    char message[64];
    ASSERT_TRUE(thrown[1]->GetErrorMessage(message, sizeof message));
    EXPECT_STREQ("Out of memory.", message);
}

TEST(FileExceptionTest, MessageNamesTheFileAndIsTruncated) {
    CFileException error(CFileException::fileNotFound, ERROR_FILE_NOT_FOUND, "C:\\x.kst");
    char message[128];
    ASSERT_TRUE(error.GetErrorMessage(message, sizeof message));
    EXPECT_STREQ("C:\\x.kst was not found.", message);
    char small[6];
    ASSERT_TRUE(error.GetErrorMessage(small, sizeof small));
    EXPECT_STREQ("C:\\x.", small);

    CFileException unnamed(CFileException::diskFull);
    ASSERT_TRUE(unnamed.GetErrorMessage(message, sizeof message));
    EXPECT_STREQ("Disk full while accessing an unnamed file.", message);
    EXPECT_FALSE(unnamed.GetErrorMessage(NULL, 0));
}
