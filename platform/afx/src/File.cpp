// CFile over the Win32 file calls.
#include "afximpl.h"

IMPLEMENT_DYNAMIC(CFile, CObject)

const HANDLE CFile::hFileNull = INVALID_HANDLE_VALUE;

namespace {

// Throws the CFileException for the calling thread's last Win32 error; a failure that left no
// error code is a genericException.
[[noreturn]] void ThrowLastError(LPCTSTR lpszFileName) {
    LONG lOsError = static_cast<LONG>(::GetLastError());
    CFileException::ThrowOsError(lOsError, lpszFileName);
    AfxThrowFileException(CFileException::genericException, -1, lpszFileName);
}

// Moves a file's pointer as SetFilePointer does, with 64-bit positions; throws on failure.
ULONGLONG MovePointer(HANDLE hFile, LONGLONG lOff, DWORD dwMethod, LPCTSTR lpszFileName) {
    LONG lHigh = static_cast<LONG>(lOff >> 32);
    ::SetLastError(NO_ERROR);
    DWORD dwLow = ::SetFilePointer(hFile, static_cast<LONG>(lOff & 0xFFFFFFFF), &lHigh, dwMethod);
    if (dwLow == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR)
        ThrowLastError(lpszFileName);
    return (static_cast<ULONGLONG>(static_cast<DWORD>(lHigh)) << 32) | dwLow;
}

} // namespace

CString AfxFileNameOfPath(LPCTSTR lpszPath) {
    if (lpszPath == NULL)
        return CString();
    LPCTSTR lpszName = lpszPath;
    for (LPCTSTR p = lpszPath; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/' || *p == ':')
            lpszName = p + 1;
    }
    return CString(lpszName);
}

CString AfxTitleOfFileName(const CString& strName) {
    int nDot = strName.ReverseFind('.');
    return nDot < 0 ? strName : strName.Left(nDot);
}

// ----------------------------------------------------------------------------------------------
// Construction, opening and closing

CFile::CFile() : m_hFile(hFileNull), m_bCloseOnDelete(FALSE) {}

CFile::CFile(HANDLE hFile) : m_hFile(hFile), m_bCloseOnDelete(FALSE) {}

CFile::CFile(LPCTSTR lpszFileName, UINT nOpenFlags) : CFile() {
    CFileException error;
    if (!Open(lpszFileName, nOpenFlags, &error))
        AfxThrowFileException(error.m_cause, error.m_lOsError, error.m_strFileName);
}

CFile::~CFile() {
    // Close without throwing: a destructor cannot report the failure.
    if (m_hFile != hFileNull && m_bCloseOnDelete)
        ::CloseHandle(m_hFile);
}

BOOL CFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
    if (lpszFileName == NULL)
        lpszFileName = "";
    if (m_hFile != hFileNull && m_bCloseOnDelete)
        ::CloseHandle(m_hFile); // reopened without a Close: the old handle is not lost
    m_bCloseOnDelete = FALSE;
    m_hFile = hFileNull;

    // The full path is remembered; a name the system cannot expand is kept as given.
    char szFull[MAX_PATH];
    DWORD nFull = ::GetFullPathNameA(lpszFileName, MAX_PATH, szFull, NULL);
    m_strFileName = (nFull > 0 && nFull < MAX_PATH) ? szFull : lpszFileName;

    DWORD dwAccess = 0;
    switch (nOpenFlags & 3) {
    case modeRead:
        dwAccess = GENERIC_READ;
        break;
    case modeWrite:
        dwAccess = GENERIC_WRITE;
        break;
    case modeReadWrite:
        dwAccess = GENERIC_READ | GENERIC_WRITE;
        break;
    default:
        ASSERT(FALSE); // no access mode: the handle can only be queried
        break;
    }

    DWORD dwShareMode = 0;
    switch (nOpenFlags & 0x70) {
    case shareDenyWrite:
        dwShareMode = FILE_SHARE_READ;
        break;
    case shareDenyRead:
        dwShareMode = FILE_SHARE_WRITE;
        break;
    case shareDenyNone:
        dwShareMode = FILE_SHARE_READ | FILE_SHARE_WRITE;
        break;
    default: // shareCompat, shareExclusive
        break;
    }

    SECURITY_ATTRIBUTES sa;
    sa.nLength = sizeof(sa);
    sa.lpSecurityDescriptor = NULL;
    sa.bInheritHandle = (nOpenFlags & modeNoInherit) == 0;

    DWORD dwCreateFlag = OPEN_EXISTING;
    if (nOpenFlags & modeCreate)
        dwCreateFlag = (nOpenFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;

    DWORD dwFlags = FILE_ATTRIBUTE_NORMAL;
    if (nOpenFlags & osNoBuffer)
        dwFlags |= FILE_FLAG_NO_BUFFERING;
    if (nOpenFlags & osWriteThrough)
        dwFlags |= FILE_FLAG_WRITE_THROUGH;
    if (nOpenFlags & osRandomAccess)
        dwFlags |= FILE_FLAG_RANDOM_ACCESS;
    if (nOpenFlags & osSequentialScan)
        dwFlags |= FILE_FLAG_SEQUENTIAL_SCAN;

    HANDLE hFile =
        ::CreateFileA(lpszFileName, dwAccess, dwShareMode, &sa, dwCreateFlag, dwFlags, NULL);
    if (hFile == INVALID_HANDLE_VALUE) {
        if (pError != NULL) {
            pError->m_lOsError = static_cast<LONG>(::GetLastError());
            pError->m_cause = CFileException::OsErrorToException(pError->m_lOsError);
            pError->m_strFileName = lpszFileName; // the name as given, not the expanded one
        }
        return FALSE;
    }
    m_hFile = hFile;
    m_bCloseOnDelete = TRUE;
    return TRUE;
}

void CFile::Close() {
    CString strFileName = m_strFileName;
    BOOL bError = FALSE;
    if (m_hFile != hFileNull)
        bError = !::CloseHandle(m_hFile);
    m_hFile = hFileNull;
    m_bCloseOnDelete = FALSE;
    m_strFileName.Empty();
    if (bError)
        ThrowLastError(strFileName);
}

void CFile::Abort() {
    if (m_hFile != hFileNull) {
        ::CloseHandle(m_hFile);
        m_hFile = hFileNull;
    }
    m_bCloseOnDelete = FALSE;
    m_strFileName.Empty();
}

// ----------------------------------------------------------------------------------------------
// Reading, writing and positioning

UINT CFile::Read(void* lpBuf, UINT nCount) {
    if (nCount == 0)
        return 0;
    if (lpBuf == NULL)
        AfxThrowInvalidArgException();
    DWORD dwRead = 0;
    if (!::ReadFile(m_hFile, lpBuf, nCount, &dwRead, NULL))
        ThrowLastError(m_strFileName);
    return dwRead;
}

void CFile::Write(const void* lpBuf, UINT nCount) {
    if (nCount == 0)
        return;
    if (lpBuf == NULL)
        AfxThrowInvalidArgException();
    DWORD nWritten = 0;
    if (!::WriteFile(m_hFile, lpBuf, nCount, &nWritten, NULL))
        ThrowLastError(m_strFileName);
    if (nWritten != nCount)
        AfxThrowFileException(CFileException::diskFull, -1, m_strFileName);
}

ULONGLONG CFile::Seek(LONGLONG lOff, UINT nFrom) {
    return MovePointer(m_hFile, lOff, nFrom, m_strFileName);
}

ULONGLONG CFile::GetPosition() const {
    return MovePointer(m_hFile, 0, FILE_CURRENT, m_strFileName);
}

ULONGLONG CFile::GetLength() const {
    DWORD dwHigh = 0;
    ::SetLastError(NO_ERROR);
    DWORD dwLow = ::GetFileSize(m_hFile, &dwHigh);
    if (dwLow == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR)
        ThrowLastError(m_strFileName);
    return (static_cast<ULONGLONG>(dwHigh) << 32) | dwLow;
}

void CFile::SetLength(ULONGLONG dwNewLen) {
    Seek(static_cast<LONGLONG>(dwNewLen), CFile::begin);
    if (!::SetEndOfFile(m_hFile))
        ThrowLastError(m_strFileName);
}

void CFile::Flush() {
    if (m_hFile == hFileNull)
        return;
    if (!::FlushFileBuffers(m_hFile))
        ThrowLastError(m_strFileName);
}

// ----------------------------------------------------------------------------------------------
// Names

CString CFile::GetFileName() const {
    return AfxFileNameOfPath(m_strFileName);
}
CString CFile::GetFileTitle() const {
    return AfxTitleOfFileName(GetFileName());
}
CString CFile::GetFilePath() const {
    return m_strFileName;
}
void CFile::SetFilePath(LPCTSTR lpszNewName) {
    m_strFileName = lpszNewName;
}

void PASCAL CFile::Rename(LPCTSTR lpszOldName, LPCTSTR lpszNewName) {
    if (!::MoveFileA(lpszOldName, lpszNewName))
        ThrowLastError(lpszOldName);
}

void PASCAL CFile::Remove(LPCTSTR lpszFileName) {
    if (!::DeleteFileA(lpszFileName))
        ThrowLastError(lpszFileName);
}
