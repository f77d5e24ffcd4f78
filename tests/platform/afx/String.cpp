// CString: the members the system uses, with the edge cases where MFC clamps or refuses.
#include <afx.h>

#include "platform/afx/AfxTest.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using afxtest::Throws;

namespace {

// One call, what it gave and what it must give.
template <class T> struct Case {
    const char* call;
    T got;
    T expected;
};

template <class T> void Expect(const std::vector<Case<T>>& cases) {
    for (const Case<T>& c : cases) {
        SCOPED_TRACE(c.call);
        EXPECT_EQ(c.expected, c.got);
    }
}

// The whole text, up to its length rather than its first zero.
std::string Whole(const CString& s) {
    return std::string(s.GetString(), s.GetLength());
}

} // namespace

TEST(CStringTest, ConstructionCopiesAndCopiesAreIndependent) {
    EXPECT_EQ(std::string("ab\0cd", 5), Whole(CString("ab\0cd", 5))); // a length bounds it
    CString original("design");
    CString copy(original);
    copy.SetAt(0, 'D');
    EXPECT_STREQ("design", original);
    EXPECT_STREQ("Design", copy);

    CString self("self");
    const CString& same = self; // assigned to itself, through a second name
    self = same;
    EXPECT_STREQ("self", self);
    self = self.Mid(1); // assigned from a piece of itself
    EXPECT_STREQ("elf", self);
}

TEST(CStringTest, PiecesClampAsMfcDoes) {
    const CString s("ABCDE");
    Expect<std::string>({
        {"Mid(-3, 2)", Whole(s.Mid(-3, 2)), "AB"},
        {"Mid(2, 100)", Whole(s.Mid(2, 100)), "CDE"},
        {"Mid(5)", Whole(s.Mid(5)), ""},
        {"Mid(3)", Whole(s.Mid(3)), "DE"},
        {"Mid(INT_MAX, INT_MAX)", Whole(s.Mid(INT_MAX, INT_MAX)), ""},
        {"Mid(1, INT_MAX)", Whole(s.Mid(1, INT_MAX)), "BCDE"},
        {"Left(3)", Whole(s.Left(3)), "ABC"},
        {"Right(2)", Whole(s.Right(2)), "DE"},
        {"SpanIncluding digits", Whole(CString("123abc").SpanIncluding("0123456789")), "123"},
        {"MakeLower", Whole(CString("Design_01.Kst\xE9").MakeLower()), "design_01.kst\xE9"},
    });
}

TEST(CStringTest, FindsFromAStartAndBackwards) {
    const CString s("a\\b\\c.kst");
    Expect<int>({
        {"Find('\\\\')", s.Find('\\'), 1},
        {"Find('\\\\', 2)", s.Find('\\', 2), 3},
        {"Find('\\\\', 4)", s.Find('\\', 4), -1},
        {"Find('a', length)", s.Find('a', 9), -1},
        {"Find(\".kst\", 5)", s.Find(".kst", 5), 5},
        {"Find(\".kst\", 6)", s.Find(".kst", 6), -1},
        {"Find(\"\", length)", s.Find("", 9), 9},
        {"Find(NULL)", s.Find(static_cast<LPCTSTR>(NULL)), -1},
        {"ReverseFind('\\\\')", s.ReverseFind('\\'), 3},
        {"empty Find", CString().Find('a'), -1},
    });
}

TEST(CStringTest, FormatsAndConcatenatesIncludingItsOwnText) {
    std::string big(10000, 'q');
    CString s;
    s.Format("<%s>%d", big.c_str(), 42);
    EXPECT_EQ("<" + big + ">42", Whole(s));
    s = "ab";
    s.Format("%s-%s", (LPCTSTR)s, (LPCTSTR)s);
    EXPECT_STREQ("ab-ab", s);
    s += s.GetString() + 3; // a piece of itself
    EXPECT_STREQ("ab-abab", s);
    EXPECT_STREQ("pre\\EMB\\DESIGN.kst",
                 "pre" + CString("\\EMB") + "\\" + CString("DESIGN") + '.' + "kst");
    s.Empty();
    EXPECT_TRUE(s.IsEmpty());
}

TEST(CStringTest, ComparesByCodeOrFoldedToLowerCase) {
    const CString s("abc");
    Expect<int>({
        {"Compare equal", s.Compare("abc"), 0},
        {"CompareNoCase equal", CString("File.KST").CompareNoCase("file.kst"), 0},
        // Letters fold to lower case: '_' (0x5F) sorts before 'a' (0x61) although after 'A'.
        {"CompareNoCase folds down", CString("_").CompareNoCase("A") < 0, 1},
        {"CompareNoCase NULL", s.CompareNoCase(NULL) > 0, 1},
        {"operators", s == "abc" && "abc" == s && s != CString("abd") && s < "abd", 1},
    });
}

TEST(CStringTest, BufferAccess) {
    CString s;
    char* buffer = s.GetBuffer(MAX_PATH);
    strcpy(buffer, "C:\\temp\\");
    s.ReleaseBuffer();
    EXPECT_EQ(8, s.GetLength());
    EXPECT_GE(s.GetAllocLength(), MAX_PATH);

    s.GetBuffer(10);
    s.ReleaseBuffer(1);
    EXPECT_TRUE(Throws<CInvalidArgException>([&] { s.ReleaseBuffer(s.GetAllocLength() + 1); }));
    EXPECT_TRUE(Throws<CInvalidArgException>([&] { s.GetBuffer(-1); }));
    EXPECT_STREQ("C", s);
}
