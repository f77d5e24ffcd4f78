// Run-time classes (IsKindOf, dynamic creation) and the exception machinery: pointers thrown,
// TRY/CATCH deleting what it caught, THROW_LAST passing it on, the file exception's causes and
// messages.
#include <afx.h>

#include "platform/afx/AfxTest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class CShape : public CObject {
    DECLARE_DYNAMIC(CShape)
};
IMPLEMENT_DYNAMIC(CShape, CObject)

class CCircle : public CShape {
    DECLARE_DYNCREATE(CCircle)
public:
    int m_nRadius = 3;
};
IMPLEMENT_DYNCREATE(CCircle, CShape)

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
    CCircle circle;
    EXPECT_STREQ("CCircle", circle.GetRuntimeClass()->m_lpszClassName);
    EXPECT_TRUE(circle.IsKindOf(RUNTIME_CLASS(CCircle)));
    EXPECT_TRUE(circle.IsKindOf(RUNTIME_CLASS(CShape)));
    EXPECT_TRUE(circle.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(circle.IsKindOf(RUNTIME_CLASS(CException)));
    EXPECT_FALSE(circle.IsKindOf(NULL));

    CShape shape;
    EXPECT_FALSE(shape.IsKindOf(RUNTIME_CLASS(CCircle)));
    EXPECT_FALSE(RUNTIME_CLASS(CObject)->IsDerivedFrom(RUNTIME_CLASS(CShape)));

    CFileException fileError;
    EXPECT_TRUE(fileError.IsKindOf(RUNTIME_CLASS(CException)));
    EXPECT_FALSE(fileError.IsKindOf(RUNTIME_CLASS(CMemoryException)));
}

TEST(RuntimeClassTest, CreatesOnlyDynCreateClasses) {
    CObject* created = RUNTIME_CLASS(CCircle)->CreateObject();
    ASSERT_NE(nullptr, created);
    EXPECT_TRUE(created->IsKindOf(RUNTIME_CLASS(CCircle)));
    EXPECT_EQ(3, static_cast<CCircle*>(created)->m_nRadius);
    delete created;
    EXPECT_EQ(nullptr, RUNTIME_CLASS(CShape)->CreateObject());
}

TEST(ExceptionTest, CatchDeletesTheExceptionUnlessPassedOn) {
    CCountedException::s_nDeleted = 0;
    bool handled = false;
    TRY {
        throw new CCountedException;
    }
    CATCH(CCountedException, e) {
        handled = e->IsKindOf(RUNTIME_CLASS(CCountedException));
    }
    END_CATCH
    EXPECT_TRUE(handled);
    EXPECT_EQ(1, CCountedException::s_nDeleted);

    // THROW_LAST hands the same object to the outer handler, which deletes it once.
    CException* inner = NULL;
    CException* outer = NULL;
    TRY{TRY{THROW(new CCountedException);
}
CATCH(CException, e) {
    inner = e;
    THROW_LAST();
}
END_CATCH
}
CATCH_ALL(e) {
    outer = e;
}
END_CATCH_ALL
EXPECT_EQ(inner, outer);
EXPECT_EQ(2, CCountedException::s_nDeleted);
}

TEST(ExceptionTest, AndCatchChoosesTheMatchingHandler) {
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

    handler = 0;
    TRY {
        AfxThrowMemoryException();
    }
    CATCH(CFileException, e) {
        handler = 1;
    }
    AND_CATCH_ALL(e) {
        handler = e->IsKindOf(RUNTIME_CLASS(CMemoryException)) ? 2 : 3;
    }
    END_CATCH_ALL
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

TEST(FileExceptionTest, OsErrorsMapToMfcCauses) {
    EXPECT_EQ(CFileException::none, CFileException::OsErrorToException(NO_ERROR));
    EXPECT_EQ(CFileException::fileNotFound,
              CFileException::OsErrorToException(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(CFileException::badPath, CFileException::OsErrorToException(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(CFileException::accessDenied,
              CFileException::OsErrorToException(ERROR_ACCESS_DENIED));
    EXPECT_EQ(CFileException::fileNotFound,
              CFileException::OsErrorToException(ERROR_INVALID_HANDLE));
    EXPECT_EQ(CFileException::sharingViolation,
              CFileException::OsErrorToException(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(CFileException::lockViolation,
              CFileException::OsErrorToException(ERROR_LOCK_VIOLATION));
    EXPECT_EQ(CFileException::endOfFile, CFileException::OsErrorToException(ERROR_HANDLE_EOF));
    EXPECT_EQ(CFileException::diskFull, CFileException::OsErrorToException(ERROR_DISK_FULL));
    EXPECT_EQ(CFileException::accessDenied,
              CFileException::OsErrorToException(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(CFileException::accessDenied, CFileException::OsErrorToException(ERROR_FILE_EXISTS));
    EXPECT_EQ(CFileException::removeCurrentDir,
              CFileException::OsErrorToException(ERROR_DIR_NOT_EMPTY));
    EXPECT_EQ(CFileException::badPath, CFileException::OsErrorToException(ERROR_INVALID_NAME));
    EXPECT_EQ(CFileException::badSeek, CFileException::OsErrorToException(ERROR_NEGATIVE_SEEK));
    EXPECT_EQ(CFileException::genericException,
              CFileException::OsErrorToException(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(CFileException::genericException, CFileException::OsErrorToException(-1));

    EXPECT_EQ(CFileException::fileNotFound, afxtest::FileExceptionCause([] {
                  CFileException::ThrowOsError(ERROR_FILE_NOT_FOUND, "a.kst");
              }));
    EXPECT_EQ(-1, afxtest::FileExceptionCause([] { CFileException::ThrowOsError(NO_ERROR); }));
}

TEST(FileExceptionTest, MessageNamesTheFileAndIsTruncated) {
    CFileException error(CFileException::fileNotFound, ERROR_FILE_NOT_FOUND, "C:\\x.kst");
    char message[128];
    UINT help = 0;
    ASSERT_TRUE(error.GetErrorMessage(message, sizeof message, &help));
    EXPECT_STREQ("C:\\x.kst was not found.", message);
    EXPECT_EQ(0xF0E0u + CFileException::fileNotFound, help);

    char small[6];
    ASSERT_TRUE(error.GetErrorMessage(small, sizeof small));
    EXPECT_STREQ("C:\\x.", small);

    CFileException unnamed(CFileException::diskFull);
    ASSERT_TRUE(unnamed.GetErrorMessage(message, sizeof message));
    EXPECT_STREQ("Disk full while accessing an unnamed file.", message);

    CFileException odd(999);
    ASSERT_TRUE(odd.GetErrorMessage(message, sizeof message));
    EXPECT_STREQ("An unknown error occurred while accessing an unnamed file.", message);
    EXPECT_FALSE(odd.GetErrorMessage(NULL, 0));
}
