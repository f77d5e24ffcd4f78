// The framework's string class: a single-byte (ANSI code page) text value with the members of
// MFC's CString. Included by afx.h; code includes afx.h (or stdafx.h), not this file.
#pragma once

#include <windows.h>
#include <stdarg.h>

#if defined(__GNUC__)
#define AFX_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define AFX_PRINTF_FORMAT(fmt, args)
#endif

// A CString holds one pointer to its characters; the length and the size of the block live in
// a small header in front of them. An empty string points at a shared, read-only empty text.
// Copies are deep: two CString objects never share a block, so a CString may be handed to
// another thread by value without further care.
//
// Memory that cannot be obtained raises CMemoryException (AfxThrowMemoryException); an index
// outside the text raises CInvalidArgException (AfxThrowInvalidArgException).
//
// Pass a CString to a printf-style function as (LPCTSTR)str or str.GetString(); Format and
// AppendFormat are checked by the compiler and refuse a CString object for "%s".
class CString {
public:
    CString();
    CString(const CString& stringSrc);
    CString(CString&& stringSrc) noexcept;
    CString(LPCSTR lpsz);
    CString(LPCSTR lpch, int nLength);
    CString(const unsigned char* psz);
    explicit CString(char ch, int nRepeat = 1);
    ~CString();

    CString& operator=(const CString& stringSrc);
    CString& operator=(CString&& stringSrc) noexcept;
    CString& operator=(LPCSTR lpsz);
    CString& operator=(const unsigned char* psz);
    CString& operator=(char ch);

    CString& operator+=(const CString& string);
    CString& operator+=(LPCSTR lpsz);
    CString& operator+=(char ch);

    // Attributes and element access
    int GetLength() const;
    BOOL IsEmpty() const { return GetLength() == 0; }
    void Empty();
    int GetAllocLength() const;
    char GetAt(int nIndex) const; // nIndex may be GetLength(): the terminating zero
    void SetAt(int nIndex, char ch);
    char operator[](int nIndex) const { return GetAt(nIndex); }
    operator LPCTSTR() const { return m_pszData; }
    LPCTSTR GetString() const { return m_pszData; }

    // Appending
    void Append(LPCSTR lpsz);
    void Append(LPCSTR lpch, int nLength); // nLength characters, zeros included
    void Append(const CString& string);
    void AppendChar(char ch);

    // Comparison: Compare as strcmp, CompareNoCase as _stricmp (ASCII letters fold to lower case)
    int Compare(LPCTSTR lpsz) const;
    int CompareNoCase(LPCTSTR lpsz) const;

    // Extraction. Counts and positions out of range are clamped as MFC clamps them: a negative
    // start becomes 0, a negative count 0, a count past the end stops at the end.
    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;
    CString Left(int nCount) const;
    CString Right(int nCount) const;
    CString SpanIncluding(LPCTSTR lpszCharSet) const;
    CString SpanExcluding(LPCTSTR lpszCharSet) const;
    // The next token after iStart, skipping leading delimiters; iStart moves past the token,
    // and becomes -1 (with an empty result) when no token is left.
    CString Tokenize(LPCTSTR pszTokens, int& iStart) const;

    // Upper/lower case conversion and reversal (ASCII letters only, as the "C" locale does)
    CString& MakeUpper();
    CString& MakeLower();
    CString& MakeReverse();

    // Editing; each returns what MFC returns (a count or the new length)
    int Replace(char chOld, char chNew);
    int Replace(LPCTSTR lpszOld, LPCTSTR lpszNew);
    int Remove(char chRemove);
    int Insert(int nIndex, char ch);
    int Insert(int nIndex, LPCTSTR pstr);
    int Delete(int nIndex, int nCount = 1);
    CString& Truncate(int nNewLength);

    // Trimming: white space (isspace), one character, or any character of a set
    CString& Trim();
    CString& Trim(char chTarget);
    CString& Trim(LPCTSTR lpszTargets);
    CString& TrimLeft();
    CString& TrimLeft(char chTarget);
    CString& TrimLeft(LPCTSTR lpszTargets);
    CString& TrimRight();
    CString& TrimRight(char chTarget);
    CString& TrimRight(LPCTSTR lpszTargets);

    // Searching; each returns a zero-based index or -1
    int Find(char ch, int nStart = 0) const;
    int Find(LPCTSTR lpszSub, int nStart = 0) const;
    int ReverseFind(char ch) const;
    int FindOneOf(LPCTSTR lpszCharSet) const;

    // Formatting with the C runtime's printf rules
    void Format(LPCTSTR lpszFormat, ...) AFX_PRINTF_FORMAT(2, 3);
    void FormatV(LPCTSTR lpszFormat, va_list argList) AFX_PRINTF_FORMAT(2, 0);
    void AppendFormat(LPCTSTR lpszFormat, ...) AFX_PRINTF_FORMAT(2, 3);
    void AppendFormatV(LPCTSTR lpszFormat, va_list argList) AFX_PRINTF_FORMAT(2, 0);

    // Direct access to the characters. GetBuffer returns room for at least nMinBufLength
    // characters and a terminator; ReleaseBuffer(-1) takes the length up to the first zero.
    LPTSTR GetBuffer(int nMinBufLength = 0);
    LPTSTR GetBufferSetLength(int nNewLength);
    void ReleaseBuffer(int nNewLength = -1);
    void Preallocate(int nLength);
    void FreeExtra();

private:
    struct Header {
        int nDataLength;  // characters in use, without the terminator
        int nAllocLength; // characters the block can hold, without the terminator
    };

    static LPTSTR NilText(); // the shared, read-only empty text
    Header* GetHeader() const { return reinterpret_cast<Header*>(m_pszData) - 1; }
    bool IsShared() const { return m_pszData == NilText(); }
    bool Owns(LPCSTR lpsz) const;
    void Reserve(int nLength, bool bExact = false);
    void SetLength(int nLength);
    void Assign(LPCSTR lpch, int nLength);
    void ReleaseBlock();
    int InsertChars(int nIndex, LPCSTR lpch, int nCount);

    LPTSTR m_pszData;
};

CString operator+(const CString& string1, const CString& string2);
CString operator+(const CString& string, LPCTSTR lpsz);
CString operator+(LPCTSTR lpsz, const CString& string);
CString operator+(const CString& string, char ch);
CString operator+(char ch, const CString& string);

bool operator==(const CString& s1, const CString& s2);
bool operator==(const CString& s1, LPCTSTR s2);
bool operator==(LPCTSTR s1, const CString& s2);
bool operator!=(const CString& s1, const CString& s2);
bool operator!=(const CString& s1, LPCTSTR s2);
bool operator!=(LPCTSTR s1, const CString& s2);
bool operator<(const CString& s1, const CString& s2);
bool operator<(const CString& s1, LPCTSTR s2);
bool operator<(LPCTSTR s1, const CString& s2);
bool operator>(const CString& s1, const CString& s2);
bool operator>(const CString& s1, LPCTSTR s2);
bool operator>(LPCTSTR s1, const CString& s2);
bool operator<=(const CString& s1, const CString& s2);
bool operator<=(const CString& s1, LPCTSTR s2);
bool operator<=(LPCTSTR s1, const CString& s2);
bool operator>=(const CString& s1, const CString& s2);
bool operator>=(const CString& s1, LPCTSTR s2);
bool operator>=(LPCTSTR s1, const CString& s2);
