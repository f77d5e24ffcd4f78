// CString: a block of [Header][characters][terminator] from malloc, or the shared empty text.
#include <afx.h>

#include <ctype.h>
#include <limits.h>
#include <stdint.h>

#include <utility>

namespace {

// The most characters one string can hold, so that sizes never overflow an int.
const int kMaxLength = INT_MAX - 64;

char AsciiLower(char ch) {
    return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch + 32) : ch;
}
char AsciiUpper(char ch) {
    return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 32) : ch;
}

int LengthOf(LPCSTR lpsz) {
    if (lpsz == NULL)
        return 0;
    size_t n = strlen(lpsz);
    if (n > static_cast<size_t>(kMaxLength))
        AfxThrowMemoryException();
    return static_cast<int>(n);
}

// The sum of two lengths, or CMemoryException when the result cannot be held.
int AddLengths(int a, int b) {
    if (b > kMaxLength - a)
        AfxThrowMemoryException();
    return a + b;
}

bool InSet(LPCTSTR lpszSet, char ch) {
    return ch != '\0' && strchr(lpszSet, ch) != NULL;
}

} // namespace

// ----------------------------------------------------------------------------------------------
// Storage

LPTSTR CString::NilText() {
    static struct {
        Header header;
        char text[1];
    } s_nil = {{0, 0}, {0}};
    static_assert(sizeof(Header) == 2 * sizeof(int), "header directly precedes the text");
    return s_nil.text;
}

bool CString::Owns(LPCSTR lpsz) const {
    uintptr_t p = reinterpret_cast<uintptr_t>(lpsz);
    uintptr_t begin = reinterpret_cast<uintptr_t>(m_pszData);
    return p >= begin && p <= begin + static_cast<uintptr_t>(GetLength());
}

void CString::ReleaseBlock() {
    if (!IsShared())
        free(GetHeader());
    m_pszData = NilText();
}

// Makes room for nLength characters (and a terminator) in a block of our own, keeping the text.
void CString::Reserve(int nLength, bool bExact) {
    if (nLength < 0)
        AfxThrowInvalidArgException();
    if (nLength > kMaxLength)
        AfxThrowMemoryException();
    bool shared = IsShared();
    if (!shared && GetHeader()->nAllocLength >= nLength)
        return;
    int nAlloc = nLength;
    if (!shared && !bExact) {
        int current = GetHeader()->nAllocLength;
        int grown = current <= kMaxLength - current / 2 ? current + current / 2 : kMaxLength;
        if (grown > nAlloc)
            nAlloc = grown;
    }
    size_t bytes = sizeof(Header) + static_cast<size_t>(nAlloc) + 1;
    Header* block = static_cast<Header*>(shared ? malloc(bytes) : realloc(GetHeader(), bytes));
    if (block == NULL)
        AfxThrowMemoryException();
    char* text = reinterpret_cast<char*>(block + 1);
    if (shared) {
        block->nDataLength = 0;
        text[0] = '\0';
    }
    block->nAllocLength = nAlloc;
    text[nAlloc] = '\0'; // a buffer filled to the brim by its user still ends
    m_pszData = text;
}

void CString::SetLength(int nLength) {
    if (IsShared())
        return; // only ever 0 here
    GetHeader()->nDataLength = nLength;
    m_pszData[nLength] = '\0';
}

void CString::Assign(LPCSTR lpch, int nLength) {
    if (nLength <= 0) {
        SetLength(0);
        return;
    }
    if (Owns(lpch)) {
        // A piece of our own text: it fits without growing.
        memmove(m_pszData, lpch, static_cast<size_t>(nLength));
    } else {
        Reserve(nLength, true);
        memcpy(m_pszData, lpch, static_cast<size_t>(nLength));
    }
    SetLength(nLength);
}

void CString::Append(LPCSTR lpch, int nLength) {
    if (nLength <= 0 || lpch == NULL)
        return;
    int nOld = GetLength();
    int nNew = AddLengths(nOld, nLength);
    if (Owns(lpch)) {
        ptrdiff_t offset = lpch - m_pszData;
        Reserve(nNew);
        lpch = m_pszData + offset;
    } else {
        Reserve(nNew);
    }
    memmove(m_pszData + nOld, lpch, static_cast<size_t>(nLength));
    SetLength(nNew);
}

// ----------------------------------------------------------------------------------------------
// Construction and assignment

CString::CString() : m_pszData(NilText()) {}

CString::CString(const CString& stringSrc) : m_pszData(NilText()) {
    Assign(stringSrc.m_pszData, stringSrc.GetLength());
}

CString::CString(CString&& stringSrc) noexcept : m_pszData(stringSrc.m_pszData) {
    stringSrc.m_pszData = NilText();
}

CString::CString(LPCSTR lpsz) : m_pszData(NilText()) {
    // Values below 0x10000 are string resource identifiers in MFC; there are no string
    // resources in this framework, so they give an empty string.
    if ((reinterpret_cast<ULONG_PTR>(lpsz) >> 16) == 0)
        return;
    Assign(lpsz, LengthOf(lpsz));
}

CString::CString(LPCSTR lpch, int nLength) : m_pszData(NilText()) {
    if (nLength < 0 || (lpch == NULL && nLength > 0))
        AfxThrowInvalidArgException();
    Assign(lpch, nLength);
}

CString::CString(const unsigned char* psz) : CString(reinterpret_cast<LPCSTR>(psz)) {}

CString::CString(char ch, int nRepeat) : m_pszData(NilText()) {
    if (nRepeat <= 0)
        return;
    Reserve(nRepeat, true);
    memset(m_pszData, ch, static_cast<size_t>(nRepeat));
    SetLength(nRepeat);
}

CString::~CString() {
    ReleaseBlock();
}

CString& CString::operator=(const CString& stringSrc) {
    if (this != &stringSrc)
        Assign(stringSrc.m_pszData, stringSrc.GetLength());
    return *this;
}

CString& CString::operator=(CString&& stringSrc) noexcept {
    if (this != &stringSrc) {
        ReleaseBlock();
        m_pszData = stringSrc.m_pszData;
        stringSrc.m_pszData = NilText();
    }
    return *this;
}

CString& CString::operator=(LPCSTR lpsz) {
    Assign(lpsz, LengthOf(lpsz));
    return *this;
}

CString& CString::operator=(const unsigned char* psz) {
    return *this = reinterpret_cast<LPCSTR>(psz);
}

CString& CString::operator=(char ch) {
    Assign(&ch, 1);
    return *this;
}

CString& CString::operator+=(const CString& string) {
    Append(string);
    return *this;
}

CString& CString::operator+=(LPCSTR lpsz) {
    Append(lpsz);
    return *this;
}

CString& CString::operator+=(char ch) {
    AppendChar(ch);
    return *this;
}

void CString::Append(LPCSTR lpsz) {
    Append(lpsz, LengthOf(lpsz));
}
void CString::Append(const CString& string) {
    Append(string.m_pszData, string.GetLength());
}
void CString::AppendChar(char ch) {
    Append(&ch, 1);
}

// ----------------------------------------------------------------------------------------------
// Attributes and element access

int CString::GetLength() const {
    return GetHeader()->nDataLength;
}
int CString::GetAllocLength() const {
    return GetHeader()->nAllocLength;
}
void CString::Empty() {
    ReleaseBlock();
}

char CString::GetAt(int nIndex) const {
    if (nIndex < 0 || nIndex > GetLength())
        AfxThrowInvalidArgException();
    return m_pszData[nIndex];
}

void CString::SetAt(int nIndex, char ch) {
    if (nIndex < 0 || nIndex >= GetLength())
        AfxThrowInvalidArgException();
    m_pszData[nIndex] = ch;
}

LPTSTR CString::GetBuffer(int nMinBufLength) {
    if (nMinBufLength < 0)
        AfxThrowInvalidArgException();
    Reserve(nMinBufLength > GetLength() ? nMinBufLength : GetLength(), true);
    return m_pszData;
}

LPTSTR CString::GetBufferSetLength(int nNewLength) {
    GetBuffer(nNewLength);
    SetLength(nNewLength);
    return m_pszData;
}

void CString::ReleaseBuffer(int nNewLength) {
    int nAlloc = GetAllocLength();
    if (nNewLength == -1) {
        const void* end = memchr(m_pszData, '\0', static_cast<size_t>(nAlloc) + 1);
        nNewLength =
            end == NULL ? nAlloc : static_cast<int>(static_cast<const char*>(end) - m_pszData);
    }
    if (nNewLength < 0 || nNewLength > nAlloc)
        AfxThrowInvalidArgException();
    SetLength(nNewLength);
}

void CString::Preallocate(int nLength) {
    Reserve(nLength, true);
}

void CString::FreeExtra() {
    int nLength = GetLength();
    if (IsShared() || GetAllocLength() == nLength)
        return;
    if (nLength == 0) {
        ReleaseBlock();
        return;
    }
    Header* block = static_cast<Header*>(
        realloc(GetHeader(), sizeof(Header) + static_cast<size_t>(nLength) + 1));
    if (block == NULL)
        return; // the larger block stays in use
    block->nAllocLength = nLength;
    m_pszData = reinterpret_cast<char*>(block + 1);
}

// ----------------------------------------------------------------------------------------------
// Comparison

int CString::Compare(LPCTSTR lpsz) const {
    return strcmp(m_pszData, lpsz != NULL ? lpsz : "");
}

int CString::CompareNoCase(LPCTSTR lpsz) const {
    const unsigned char* a = reinterpret_cast<const unsigned char*>(m_pszData);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(lpsz != NULL ? lpsz : "");
    for (;; ++a, ++b) {
        int ca = static_cast<unsigned char>(AsciiLower(static_cast<char>(*a)));
        int cb = static_cast<unsigned char>(AsciiLower(static_cast<char>(*b)));
        if (ca != cb || ca == 0)
            return ca - cb;
    }
}

// ----------------------------------------------------------------------------------------------
// Extraction

CString CString::Mid(int nFirst) const {
    if (nFirst < 0)
        nFirst = 0;
    return Mid(nFirst, GetLength() - nFirst);
}

CString CString::Mid(int nFirst, int nCount) const {
    int nLength = GetLength();
    if (nFirst < 0)
        nFirst = 0;
    if (nCount < 0)
        nCount = 0;
    if (nFirst > nLength) {
        nFirst = nLength;
        nCount = 0;
    } else if (nCount > nLength - nFirst) {
        nCount = nLength - nFirst;
    }
    if (nFirst == 0 && nCount == nLength)
        return *this;
    return CString(m_pszData + nFirst, nCount);
}

CString CString::Left(int nCount) const {
    if (nCount < 0)
        nCount = 0;
    if (nCount >= GetLength())
        return *this;
    return CString(m_pszData, nCount);
}

CString CString::Right(int nCount) const {
    if (nCount < 0)
        nCount = 0;
    int nLength = GetLength();
    if (nCount >= nLength)
        return *this;
    return CString(m_pszData + nLength - nCount, nCount);
}

CString CString::SpanIncluding(LPCTSTR lpszCharSet) const {
    return Left(static_cast<int>(strspn(m_pszData, lpszCharSet != NULL ? lpszCharSet : "")));
}

CString CString::SpanExcluding(LPCTSTR lpszCharSet) const {
    return Left(static_cast<int>(strcspn(m_pszData, lpszCharSet != NULL ? lpszCharSet : "")));
}

CString CString::Tokenize(LPCTSTR pszTokens, int& iStart) const {
    int nLength = GetLength();
    if (iStart >= 0 && iStart < nLength) {
        if (pszTokens == NULL || *pszTokens == '\0') {
            // No delimiters: the rest is one token, and the next call ends the walk.
            CString rest(m_pszData + iStart);
            iStart = nLength;
            return rest;
        }
        const char* place = m_pszData + iStart;
        int nIncluding = static_cast<int>(strspn(place, pszTokens));
        if (iStart + nIncluding < nLength) {
            int iFrom = iStart + nIncluding;
            int nUntil = static_cast<int>(strcspn(m_pszData + iFrom, pszTokens));
            iStart = iFrom + nUntil + 1;
            return Mid(iFrom, nUntil);
        }
    }
    iStart = -1;
    return CString();
}

// ----------------------------------------------------------------------------------------------
// Case and order

CString& CString::MakeUpper() {
    for (int i = 0; i < GetLength(); ++i)
        m_pszData[i] = AsciiUpper(m_pszData[i]);
    return *this;
}

CString& CString::MakeLower() {
    for (int i = 0; i < GetLength(); ++i)
        m_pszData[i] = AsciiLower(m_pszData[i]);
    return *this;
}

CString& CString::MakeReverse() {
    for (int i = 0, j = GetLength() - 1; i < j; ++i, --j) {
        char ch = m_pszData[i];
        m_pszData[i] = m_pszData[j];
        m_pszData[j] = ch;
    }
    return *this;
}

// ----------------------------------------------------------------------------------------------
// Editing

int CString::Replace(char chOld, char chNew) {
    int nCount = 0;
    if (chOld == chNew)
        return 0;
    for (int i = 0; i < GetLength(); ++i) {
        if (m_pszData[i] == chOld) {
            m_pszData[i] = chNew;
            ++nCount;
        }
    }
    return nCount;
}

int CString::Replace(LPCTSTR lpszOld, LPCTSTR lpszNew) {
    int nOld = LengthOf(lpszOld);
    if (nOld == 0)
        return 0;
    int nNew = LengthOf(lpszNew);
    int nLength = GetLength();
    CString result;
    int nCount = 0;
    int copied = 0; // text before this index is already in result
    for (int i = 0; i + nOld <= nLength;) {
        if (memcmp(m_pszData + i, lpszOld, static_cast<size_t>(nOld)) == 0) {
            result.Append(m_pszData + copied, i - copied);
            result.Append(lpszNew, nNew);
            i += nOld;
            copied = i;
            ++nCount;
        } else {
            ++i;
        }
    }
    if (nCount > 0) {
        result.Append(m_pszData + copied, nLength - copied);
        *this = std::move(result);
    }
    return nCount;
}

int CString::Remove(char chRemove) {
    int nLength = GetLength();
    int kept = 0;
    for (int i = 0; i < nLength; ++i) {
        if (m_pszData[i] != chRemove)
            m_pszData[kept++] = m_pszData[i];
    }
    SetLength(kept);
    return nLength - kept;
}

int CString::Insert(int nIndex, char ch) {
    return InsertChars(nIndex, &ch, 1);
}

int CString::Insert(int nIndex, LPCTSTR pstr) {
    return InsertChars(nIndex, pstr, LengthOf(pstr));
}

int CString::InsertChars(int nIndex, LPCSTR lpch, int nCount) {
    int nLength = GetLength();
    if (nIndex < 0)
        nIndex = 0;
    if (nIndex > nLength)
        nIndex = nLength;
    if (nCount <= 0)
        return nLength;
    if (Owns(lpch)) {
        CString copy(lpch, nCount); // survives the move below
        return InsertChars(nIndex, copy.GetString(), nCount);
    }
    int nNew = AddLengths(nLength, nCount);
    Reserve(nNew);
    memmove(m_pszData + nIndex + nCount, m_pszData + nIndex, static_cast<size_t>(nLength - nIndex));
    memcpy(m_pszData + nIndex, lpch, static_cast<size_t>(nCount));
    SetLength(nNew);
    return nNew;
}

int CString::Delete(int nIndex, int nCount) {
    int nLength = GetLength();
    if (nIndex < 0)
        nIndex = 0;
    if (nCount < 0)
        nCount = 0;
    if (nIndex >= nLength)
        return nLength;
    if (nCount > nLength - nIndex)
        nCount = nLength - nIndex;
    if (nCount > 0) {
        memmove(m_pszData + nIndex, m_pszData + nIndex + nCount,
                static_cast<size_t>(nLength - nIndex - nCount));
        SetLength(nLength - nCount);
    }
    return GetLength();
}

CString& CString::Truncate(int nNewLength) {
    if (nNewLength < 0 || nNewLength > GetLength())
        AfxThrowInvalidArgException();
    SetLength(nNewLength);
    return *this;
}

// ----------------------------------------------------------------------------------------------
// Trimming

CString& CString::Trim() {
    return TrimRight().TrimLeft();
}
CString& CString::Trim(char chTarget) {
    return TrimRight(chTarget).TrimLeft(chTarget);
}
CString& CString::Trim(LPCTSTR lpszTargets) {
    return TrimRight(lpszTargets).TrimLeft(lpszTargets);
}

CString& CString::TrimLeft() {
    int n = 0;
    while (n < GetLength() && isspace(static_cast<unsigned char>(m_pszData[n])))
        ++n;
    Delete(0, n);
    return *this;
}

CString& CString::TrimLeft(char chTarget) {
    int n = 0;
    while (n < GetLength() && m_pszData[n] == chTarget)
        ++n;
    Delete(0, n);
    return *this;
}

CString& CString::TrimLeft(LPCTSTR lpszTargets) {
    if (lpszTargets == NULL)
        return *this;
    int n = 0;
    while (n < GetLength() && InSet(lpszTargets, m_pszData[n]))
        ++n;
    Delete(0, n);
    return *this;
}

CString& CString::TrimRight() {
    int n = GetLength();
    while (n > 0 && isspace(static_cast<unsigned char>(m_pszData[n - 1])))
        --n;
    SetLength(n);
    return *this;
}

CString& CString::TrimRight(char chTarget) {
    int n = GetLength();
    while (n > 0 && m_pszData[n - 1] == chTarget)
        --n;
    SetLength(n);
    return *this;
}

CString& CString::TrimRight(LPCTSTR lpszTargets) {
    if (lpszTargets == NULL)
        return *this;
    int n = GetLength();
    while (n > 0 && InSet(lpszTargets, m_pszData[n - 1]))
        --n;
    SetLength(n);
    return *this;
}

// ----------------------------------------------------------------------------------------------
// Searching

int CString::Find(char ch, int nStart) const {
    if (nStart < 0 || nStart >= GetLength())
        return -1;
    const char* found = strchr(m_pszData + nStart, ch);
    return found == NULL ? -1 : static_cast<int>(found - m_pszData);
}

int CString::Find(LPCTSTR lpszSub, int nStart) const {
    if (lpszSub == NULL || nStart < 0 || nStart > GetLength())
        return -1;
    const char* found = strstr(m_pszData + nStart, lpszSub);
    return found == NULL ? -1 : static_cast<int>(found - m_pszData);
}

int CString::ReverseFind(char ch) const {
    const char* found = strrchr(m_pszData, ch);
    return found == NULL ? -1 : static_cast<int>(found - m_pszData);
}

int CString::FindOneOf(LPCTSTR lpszCharSet) const {
    if (lpszCharSet == NULL)
        return -1;
    const char* found = strpbrk(m_pszData, lpszCharSet);
    return found == NULL ? -1 : static_cast<int>(found - m_pszData);
}

// ----------------------------------------------------------------------------------------------
// Formatting

void CString::FormatV(LPCTSTR lpszFormat, va_list argList) {
    // The arguments may point into this string, so the text is built in a new one.
    CString result;
    result.AppendFormatV(lpszFormat, argList);
    *this = std::move(result);
}

void CString::AppendFormatV(LPCTSTR lpszFormat, va_list argList) {
    if (lpszFormat == NULL)
        AfxThrowInvalidArgException();
    va_list measure;
    va_copy(measure, argList);
    int nAdded = vsnprintf(NULL, 0, lpszFormat, measure);
    va_end(measure);
    if (nAdded <= 0)
        return; // nothing to add, or the runtime refused the format
    CString piece;
    char* buffer = piece.GetBuffer(nAdded);
    vsnprintf(buffer, static_cast<size_t>(nAdded) + 1, lpszFormat, argList);
    piece.ReleaseBuffer(nAdded);
    Append(piece);
}

void CString::Format(LPCTSTR lpszFormat, ...) {
    va_list args;
    va_start(args, lpszFormat);
    FormatV(lpszFormat, args);
    va_end(args);
}

void CString::AppendFormat(LPCTSTR lpszFormat, ...) {
    va_list args;
    va_start(args, lpszFormat);
    AppendFormatV(lpszFormat, args);
    va_end(args);
}

// ----------------------------------------------------------------------------------------------
// Operators

namespace {
template <class A, class B> CString Joined(const A& a, const B& b) {
    CString result(a);
    result += b;
    return result;
}
} // namespace

CString operator+(const CString& string1, const CString& string2) {
    return Joined(string1, string2);
}
CString operator+(const CString& string, LPCTSTR lpsz) {
    return Joined(string, lpsz);
}
CString operator+(LPCTSTR lpsz, const CString& string) {
    return Joined(lpsz, string);
}
CString operator+(const CString& string, char ch) {
    return Joined(string, ch);
}
CString operator+(char ch, const CString& string) {
    return Joined(ch, string);
}

namespace {
int Order(LPCTSTR s1, LPCTSTR s2) {
    return strcmp(s1 != NULL ? s1 : "", s2 != NULL ? s2 : "");
}
} // namespace

#define AFX_STRING_COMPARISON(op)                                                                  \
    bool operator op(const CString& s1, const CString& s2) {                                       \
        return Order(s1, s2) op 0;                                                                 \
    }                                                                                              \
    bool operator op(const CString& s1, LPCTSTR s2) {                                              \
        return Order(s1, s2) op 0;                                                                 \
    }                                                                                              \
    bool operator op(LPCTSTR s1, const CString& s2) {                                              \
        return Order(s1, s2) op 0;                                                                 \
    }

AFX_STRING_COMPARISON(==)
AFX_STRING_COMPARISON(!=)
AFX_STRING_COMPARISON(<)
AFX_STRING_COMPARISON(>)
AFX_STRING_COMPARISON(<=)
AFX_STRING_COMPARISON(>=)
