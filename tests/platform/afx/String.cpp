// CString: the members the system uses, with the edge cases where MFC clamps or refuses.
#include <afx.h>

#include "platform/afx/AfxTest.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using afxtest::Throws;

TEST(CStringTest, ConstructionCopiesAndCopiesAreIndependent) {
    EXPECT_TRUE(CString().IsEmpty());
    EXPECT_TRUE(CString(static_cast<LPCSTR>(NULL)).IsEmpty());
    EXPECT_STREQ("xxx", CString('x', 3));
    EXPECT_TRUE(CString('x', -1).IsEmpty());

    CString embedded("ab\0cd", 5); // a length, not a terminator, bounds the text
    EXPECT_EQ(5, embedded.GetLength());
    EXPECT_EQ('d', embedded[4]);

    CString original("design");
    CString copy(original);
    copy.SetAt(0, 'D');
    EXPECT_STREQ("design", original);
    EXPECT_STREQ("Design", copy);

    CString moved(std::move(copy));
    EXPECT_STREQ("Design", moved);
    copy = "reused after move";
    EXPECT_STREQ("reused after move", copy);

    CString self("self");
    const CString& same = self; // assigned to itself, through a second name
    self = same;
    EXPECT_STREQ("self", self);
    self = self.Mid(1); // assigned from a piece of itself
    EXPECT_STREQ("elf", self);
}

TEST(CStringTest, MidLeftRightClampAsMfcDoes) {
    CString s("ABCDE");
    EXPECT_STREQ("AB", s.Mid(-3, 2));
    EXPECT_STREQ("CDE", s.Mid(2, 100));
    EXPECT_STREQ("", s.Mid(2, -1));
    EXPECT_STREQ("", s.Mid(5));
    EXPECT_STREQ("", s.Mid(10));
    EXPECT_STREQ("", s.Mid(10, 2));
    EXPECT_STREQ("ABCDE", s.Mid(-1));
    EXPECT_STREQ("DE", s.Mid(3));
    EXPECT_STREQ("", s.Mid(INT_MAX, INT_MAX));
    EXPECT_STREQ("BCDE", s.Mid(1, INT_MAX));

    EXPECT_STREQ("", s.Left(-1));
    EXPECT_STREQ("ABC", s.Left(3));
    EXPECT_STREQ("ABCDE", s.Left(100));
    EXPECT_STREQ("", s.Right(-1));
    EXPECT_STREQ("DE", s.Right(2));
    EXPECT_STREQ("ABCDE", s.Right(100));
}

TEST(CStringTest, FindWithStartIndexAndReverseFind) {
    CString s("a\\b\\c.kst");
    EXPECT_EQ(1, s.Find('\\'));
    EXPECT_EQ(3, s.Find('\\', 2));
    EXPECT_EQ(-1, s.Find('\\', 4));
    EXPECT_EQ(-1, s.Find('a', 9)); // start at the length
    EXPECT_EQ(-1, s.Find('a', 100));
    EXPECT_EQ(-1, s.Find('a', -1));
    EXPECT_EQ(5, s.Find(".kst"));
    EXPECT_EQ(5, s.Find(".kst", 5));
    EXPECT_EQ(-1, s.Find(".kst", 6));
    EXPECT_EQ(9, s.Find("", 9)); // the empty text is found at the end
    EXPECT_EQ(-1, s.Find("", 10));
    EXPECT_EQ(-1, s.Find(static_cast<LPCTSTR>(NULL)));
    EXPECT_EQ(3, s.ReverseFind('\\'));
    EXPECT_EQ(-1, s.ReverseFind('z'));
    EXPECT_EQ(1, s.FindOneOf("\\."));
    EXPECT_EQ(-1, CString().Find('a'));
}

TEST(CStringTest, FormatHandlesLongTextAndItsOwnArguments) {
    std::string big(10000, 'q');
    CString s;
    s.Format("<%s>%d", big.c_str(), 42);
    EXPECT_EQ(10004, s.GetLength());
    EXPECT_STREQ((std::string("<") + big + ">42").c_str(), s);

    s = "ab";
    s.Format("%s-%s", (LPCTSTR)s, (LPCTSTR)s);
    EXPECT_STREQ("ab-ab", s);
    s.AppendFormat("/%s/%03d", (LPCTSTR)s, 7);
    EXPECT_STREQ("ab-ab/ab-ab/007", s);

    s.Format("%s", "");
    EXPECT_TRUE(s.IsEmpty());
    s.Format("%4d%02d%02d", 2024, 3, 9);
    EXPECT_STREQ("20240309", s);
}

TEST(CStringTest, CompareAndCompareNoCase) {
    CString s("abc");
    EXPECT_EQ(0, s.Compare("abc"));
    EXPECT_LT(s.Compare("abd"), 0);
    EXPECT_GT(s.Compare("ab"), 0);
    EXPECT_LT(CString("B").Compare("a"), 0); // by character code
    EXPECT_EQ(0, s.CompareNoCase("ABC"));
    EXPECT_EQ(0, CString("File.KST").CompareNoCase("file.kst"));
    EXPECT_LT(CString("a").CompareNoCase("B"), 0);
    // Letters fold to lower case: '_' (0x5F) sorts before 'a' (0x61) although after 'A'.
    EXPECT_LT(CString("_").CompareNoCase("A"), 0);
    EXPECT_GT(CString("abc").CompareNoCase("AB"), 0);
    EXPECT_GT(s.CompareNoCase(NULL), 0);

    EXPECT_TRUE(s == "abc");
    EXPECT_TRUE("abc" == s);
    EXPECT_TRUE(s != CString("abd"));
    EXPECT_TRUE(s < "abd");
    EXPECT_TRUE("abb" < s);
    EXPECT_TRUE(s <= "abc" && s >= "abc" && s > "ab");
}

TEST(CStringTest, CaseConversionAndReverse) {
    CString s("Design_01.Kst\xE9");
    EXPECT_STREQ("DESIGN_01.KST\xE9", s.MakeUpper());
    EXPECT_STREQ("design_01.kst\xE9", s.MakeLower());
    EXPECT_STREQ("\xE9tsk.10_ngised", s.MakeReverse());
}

TEST(CStringTest, ReplaceRemoveInsertDelete) {
    CString s("aaaa");
    EXPECT_EQ(2, s.Replace("aa", "b")); // left to right, without overlap
    EXPECT_STREQ("bb", s);
    EXPECT_EQ(2, s.Replace("b", "xyz"));
    EXPECT_STREQ("xyzxyz", s);
    EXPECT_EQ(0, s.Replace("", "q"));
    EXPECT_EQ(0, s.Replace("none", "q"));
    EXPECT_EQ(2, s.Replace("y", ""));
    EXPECT_STREQ("xzxz", s);
    EXPECT_EQ(2, s.Replace('x', 'X'));
    EXPECT_EQ(0, s.Replace('z', 'z'));
    EXPECT_STREQ("XzXz", s);
    EXPECT_EQ(2, s.Remove('z'));
    EXPECT_STREQ("XX", s);

    EXPECT_EQ(3, s.Insert(1, '-'));
    EXPECT_STREQ("X-X", s);
    EXPECT_EQ(5, s.Insert(100, "ab")); // past the end: appended
    EXPECT_EQ(6, s.Insert(-5, '<'));   // before the start: prepended
    EXPECT_STREQ("<X-Xab", s);
    EXPECT_EQ(12, s.Insert(3, s)); // its own text
    EXPECT_STREQ("<X-<X-XabXab", s);

    EXPECT_EQ(9, s.Delete(0, 3));
    EXPECT_STREQ("<X-XabXab", s);
    EXPECT_EQ(6, s.Delete(6, 100));
    EXPECT_EQ(6, s.Delete(100, 1));
    EXPECT_EQ(6, s.Delete(2, -1));
    EXPECT_EQ(5, s.Delete(-3));
    EXPECT_STREQ("X-Xab", s);
}

TEST(CStringTest, TrimVariants) {
    CString s(" \t name.kst \r\n");
    EXPECT_STREQ("name.kst", s.Trim());
    CString padded("xxabcxx");
    EXPECT_STREQ("abcxx", CString(padded).TrimLeft('x'));
    EXPECT_STREQ("xxabc", CString(padded).TrimRight('x'));
    EXPECT_STREQ("abc", CString(padded).Trim('x'));
    EXPECT_STREQ("b", CString("-+a b+-").Trim("-+a "));
    EXPECT_STREQ("", CString("   ").Trim());
    EXPECT_STREQ("  a", CString("  a  ").TrimRight());
    EXPECT_STREQ("a  ", CString("  a  ").TrimLeft());
}

TEST(CStringTest, TokenizeWalksTokensAndEnds) {
    CString s(" a, b,,c ");
    int pos = 0;
    EXPECT_STREQ("a", s.Tokenize(", ", pos));
    EXPECT_STREQ("b", s.Tokenize(", ", pos));
    EXPECT_STREQ("c", s.Tokenize(", ", pos));
    EXPECT_STREQ("", s.Tokenize(", ", pos));
    EXPECT_EQ(-1, pos);
    EXPECT_STREQ("", s.Tokenize(", ", pos)); // stays ended
    EXPECT_EQ(-1, pos);

    pos = 0;
    EXPECT_STREQ(" a, b,,c ", s.Tokenize("", pos)); // no delimiters: one token, then the end
    EXPECT_STREQ("", s.Tokenize("", pos));
    EXPECT_EQ(-1, pos);

    pos = 100;
    EXPECT_STREQ("", s.Tokenize(",", pos));
    EXPECT_EQ(-1, pos);

    EXPECT_STREQ("123", CString("123abc").SpanIncluding("0123456789"));
    EXPECT_STREQ("name", CString("name.kst").SpanExcluding("."));
    EXPECT_STREQ("", CString("abc").SpanIncluding("x"));
}

TEST(CStringTest, BufferAccess) {
    CString s;
    char* buffer = s.GetBuffer(MAX_PATH);
    strcpy(buffer, "C:\\temp\\");
    s.ReleaseBuffer();
    EXPECT_EQ(8, s.GetLength());
    EXPECT_GE(s.GetAllocLength(), MAX_PATH);

    buffer = s.GetBufferSetLength(3);
    EXPECT_EQ(3, s.GetLength());
    buffer[2] = '/';
    s.ReleaseBuffer(3);
    EXPECT_STREQ("C:/", s);

    s.GetBuffer(10);
    s.ReleaseBuffer(1);
    EXPECT_STREQ("C", s);
    s.FreeExtra();
    EXPECT_EQ(1, s.GetAllocLength());

    EXPECT_TRUE(Throws<CInvalidArgException>([&] { s.ReleaseBuffer(2); }));
    EXPECT_TRUE(Throws<CInvalidArgException>([&] { s.GetBuffer(-1); }));
    EXPECT_STREQ("C", s);
}

TEST(CStringTest, ElementAccessOutsideTheTextIsRefused) {
    CString s("ab");
    EXPECT_EQ('b', s.GetAt(1));
    EXPECT_EQ('\0', s.GetAt(2)); // the terminator
    EXPECT_TRUE(Throws<CInvalidArgException>([&] { s.GetAt(3); }));
    EXPECT_TRUE(Throws<CInvalidArgException>([&] { s.GetAt(-1); }));
    EXPECT_TRUE(Throws<CInvalidArgException>([&] { s.SetAt(2, 'x'); }));
    EXPECT_TRUE(Throws<CInvalidArgException>([&] { s.Truncate(3); }));
    EXPECT_TRUE(Throws<CInvalidArgException>([&] { CString bad(static_cast<LPCSTR>(NULL), 3); }));
    EXPECT_STREQ("ab", s);
    EXPECT_STREQ("a", s.Truncate(1));
}

TEST(CStringTest, ConcatenationAndEmpty) {
    CString folder("\\EMB");
    CString path = folder + "\\" + CString("DESIGN") + '.' + "kst";
    EXPECT_STREQ("\\EMB\\DESIGN.kst", path);
    EXPECT_STREQ("x\\EMB", 'x' + folder);
    EXPECT_STREQ("pre\\EMB", "pre" + folder);

    CString twice("ab");
    twice += twice;
    twice += twice.GetString() + 1; // a piece of itself
    EXPECT_STREQ("ababbab", twice);

    twice.Empty();
    EXPECT_TRUE(twice.IsEmpty());
    EXPECT_EQ(0, twice.GetAllocLength());
    twice += 'z';
    EXPECT_STREQ("z", twice);
}
