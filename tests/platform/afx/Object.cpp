// CObject's list and the exception machinery: CObList walked in order and refusing what needs
// an element on an empty list; TRY/CATCH deleting what it caught and choosing the matching
// handler, the file exception's messages.
#include <afx.h>

#include "platform/afx/AfxTest.h"

#include <gtest/gtest.h>

#include <string>

using afxtest::Throws;

namespace {

// An exception that counts its deletions.
class CCountedException : public CException {
    DECLARE_DYNAMIC(CCountedException)
public:
    ~CCountedException() override { ++s_nDeleted; }
    static int s_nDeleted;
};
IMPLEMENT_DYNAMIC(CCountedException, CException)
int CCountedException::s_nDeleted = 0;

class CItem : public CObject {
public:
    explicit CItem(char name) : m_name(name) {}
    char m_name;
};

// The names of the list's elements from head to tail, walked as the system walks it.
std::string Names(const CObList& list) {
    std::string names;
    for (POSITION pos = list.GetHeadPosition(); pos != NULL;)
        names += static_cast<CItem*>(list.GetNext(pos))->m_name;
    EXPECT_EQ(static_cast<INT_PTR>(names.size()), list.GetCount());
    return names;
}

} // namespace

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

TEST(FileExceptionTest, MessageNamesTheFileAndIsTruncated) {
    CFileException error(CFileException::fileNotFound, ERROR_FILE_NOT_FOUND, "C:\\x.kst");
    char message[128];
    ASSERT_TRUE(error.GetErrorMessage(message, sizeof message));
    EXPECT_STREQ("C:\\x.kst was not found.", message);
    char small[6];
    ASSERT_TRUE(error.GetErrorMessage(small, sizeof small));
    EXPECT_STREQ("C:\\x.", small);
    EXPECT_FALSE(error.GetErrorMessage(NULL, 0));
}

TEST(CObListTest, KeepsTheOrderOfAdditionAndRemoval) {
    CItem a('a'), b('b'), c('c');
    CObList list;
    EXPECT_EQ("", Names(list));
    list.AddTail(&b);
    list.AddHead(&a);
    list.AddTail(&c);
    EXPECT_EQ("abc", Names(list));
    EXPECT_EQ(&c, list.RemoveTail());
    EXPECT_EQ(&a, list.RemoveHead());
    EXPECT_EQ("b", Names(list));
    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());

    EXPECT_TRUE(Throws<CInvalidArgException>([&] { list.RemoveHead(); }));
    EXPECT_TRUE(Throws<CInvalidArgException>([&] {
        POSITION pos = NULL;
        list.GetNext(pos);
    }));
}
