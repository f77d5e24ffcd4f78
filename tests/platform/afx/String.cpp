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
    CString embedded("ab\0cd", 5); // a length, not a terminator, bounds the text
    EXPECT_EQ(5, embedded.GetLength());
    EXPECT_EQ('d', embedded[4]);
    EXPECT_TRUE(CString(static_cast<LPCSTR>(NULL)).IsEmpty());

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
    EXPECT_TRUE(Throws<CInvalidArgException>([&] { self.GetAt(4); }));
}

TEST(CStringTest, PiecesClampAsMfcDoes) {
    const CString s("ABCDE");
    Expect<std::string>({
        {"Mid(-3, 2)", Whole(s.Mid(-3, 2)), "AB"},
        {"Mid(2, 100)", Whole(s.Mid(2, 100)), "CDE"},
        {"Mid(2, -1)", Whole(s.Mid(2, -1)), ""},
        {"Mid(5)", Whole(s.Mid(5)), ""},
        {"Mid(10, 2)", Whole(s.Mid(10, 2)), ""},
        {"Mid(-1)", Whole(s.Mid(-1)), "ABCDE"},
        {"Mid(3)", Whole(s.Mid(3)), "DE"},
        {"Mid(INT_MAX, INT_MAX)", Whole(s.Mid(INT_MAX, INT_MAX)), ""},
        {"Mid(1, INT_MAX)", Whole(s.Mid(1, INT_MAX)), "BCDE"},
        {"Left(-1)", Whole(s.Left(-1)), ""},
        {"Left(3)", Whole(s.Left(3)), "ABC"},
        {"Left(100)", Whole(s.Left(100)), "ABCDE"},
        {"Right(-1)", Whole(s.Right(-1)), ""},
        {"Right(2)", Whole(s.Right(2)), "DE"},
        {"Right(100)", Whole(s.Right(100)), "ABCDE"},
        {"SpanIncluding digits", Whole(CString("123abc").SpanIncluding("0123456789")), "123"},
        {"SpanIncluding none", Whole(CString("abc").SpanIncluding("x")), ""},
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
        {"Find('a', -1)", s.Find('a', -1), -1},
        {"Find(\".kst\", 5)", s.Find(".kst", 5), 5},
        {"Find(\".kst\", 6)", s.Find(".kst", 6), -1},
        {"Find(\"\", length)", s.Find("", 9), 9},
        {"Find(\"\", past the end)", s.Find("", 10), -1},
        {"Find(NULL)", s.Find(static_cast<LPCTSTR>(NULL)), -1},
        {"ReverseFind('\\\\')", s.ReverseFind('\\'), 3},
        {"ReverseFind('z')", s.ReverseFind('z'), -1},
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
        {"Compare less", s.Compare("abd") < 0, 1},
        {"Compare longer", s.Compare("ab") > 0, 1},
        {"Compare by code", CString("B").Compare("a") < 0, 1},
        {"CompareNoCase equal", CString("File.KST").CompareNoCase("file.kst"), 0},
        {"CompareNoCase less", CString("a").CompareNoCase("B") < 0, 1},
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
    EXPECT_STREQ("C", s);
    EXPECT_TRUE(Throws<CInvalidArgException>([&] { s.ReleaseBuffer(s.GetAllocLength() + 1); }));
    EXPECT_TRUE(Throws<CInvalidArgException>([&] { s.GetBuffer(-1); }));
    EXPECT_STREQ("C", s);
}
