// CFileFind over FindFirstFile/FindNextFile. The entry just found and the one read ahead live
// in two buffers that trade places at each FindNextFile.
#include "afximpl.h"

IMPLEMENT_DYNAMIC(CFileFind, CObject)

namespace {
const DWORD kErrorBadArguments = 160; // ERROR_BAD_ARGUMENTS
}

CFileFind::CFileFind()
    : m_pFoundInfo(NULL), m_pNextInfo(NULL), m_hContext(NULL), m_chDirSeparator('\\'),
      m_bGotLast(FALSE) {}

CFileFind::~CFileFind() {
    Close();
}

void CFileFind::Close() {
    delete m_pFoundInfo;
    m_pFoundInfo = NULL;
    delete m_pNextInfo;
    m_pNextInfo = NULL;
    if (m_hContext != NULL) {
        if (m_hContext != INVALID_HANDLE_VALUE)
            ::FindClose(m_hContext);
        m_hContext = NULL;
    }
    m_bGotLast = FALSE;
}

BOOL CFileFind::FindFile(LPCTSTR pstrName, DWORD /*dwUnused*/) {
    Close();
    if (pstrName == NULL)
        pstrName = "*.*";
    else if (strlen(pstrName) >= MAX_PATH) {
        ::SetLastError(kErrorBadArguments);
        return FALSE;
    }

    m_pNextInfo = new WIN32_FIND_DATAA();
    m_hContext = ::FindFirstFileA(pstrName, m_pNextInfo);
    if (m_hContext == INVALID_HANDLE_VALUE) {
        DWORD dwError = ::GetLastError();
        Close();
        ::SetLastError(dwError);
        return FALSE;
    }

    // The root is the full path of the pattern up to its last separator; paths built from it
    // use that same separator.
    char szRoot[MAX_PATH];
    DWORD nRoot = ::GetFullPathNameA(pstrName, MAX_PATH, szRoot, NULL);
    if (nRoot == 0 || nRoot >= MAX_PATH) {
        Close();
        ::SetLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    char* pLast = NULL;
    for (char* p = szRoot; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/')
            pLast = p;
    }
    if (pLast != NULL) {
        m_chDirSeparator = *pLast;
        *pLast = '\0';
    }
    m_strRoot = szRoot;
    return TRUE;
}

BOOL CFileFind::FindNextFile() {
    if (m_hContext == NULL || m_bGotLast)
        return FALSE;
    if (m_pFoundInfo == NULL)
        m_pFoundInfo = new WIN32_FIND_DATAA();
    WIN32_FIND_DATAA* pTemp = m_pFoundInfo;
    m_pFoundInfo = m_pNextInfo;
    m_pNextInfo = pTemp;
    if (::FindNextFileA(m_hContext, m_pNextInfo))
        return TRUE;
    m_bGotLast = TRUE; // the entry now current is the last one
    return FALSE;
}

// ----------------------------------------------------------------------------------------------
// The current entry

ULONGLONG CFileFind::GetLength() const {
    if (m_pFoundInfo == NULL)
        return 0;
    return (static_cast<ULONGLONG>(m_pFoundInfo->nFileSizeHigh) << 32) | m_pFoundInfo->nFileSizeLow;
}

CString CFileFind::GetFileName() const {
    return m_pFoundInfo != NULL ? CString(m_pFoundInfo->cFileName) : CString();
}

CString CFileFind::GetFilePath() const {
    CString strResult = m_strRoot;
    int nLength = strResult.GetLength();
    if (nLength == 0 || (strResult[nLength - 1] != '\\' && strResult[nLength - 1] != '/'))
        strResult += m_chDirSeparator;
    strResult += GetFileName();
    return strResult;
}

CString CFileFind::GetFileTitle() const {
    return AfxTitleOfFileName(GetFileName());
}

CString CFileFind::GetRoot() const {
    return m_strRoot;
}

BOOL CFileFind::GetLastWriteTime(FILETIME* pTimeStamp) const {
    if (m_pFoundInfo == NULL || pTimeStamp == NULL)
        return FALSE;
    *pTimeStamp = m_pFoundInfo->ftLastWriteTime;
    return TRUE;
}

BOOL CFileFind::GetLastAccessTime(FILETIME* pTimeStamp) const {
    if (m_pFoundInfo == NULL || pTimeStamp == NULL)
        return FALSE;
    *pTimeStamp = m_pFoundInfo->ftLastAccessTime;
    return TRUE;
}

BOOL CFileFind::GetCreationTime(FILETIME* pTimeStamp) const {
    if (m_pFoundInfo == NULL || pTimeStamp == NULL)
        return FALSE;
    *pTimeStamp = m_pFoundInfo->ftCreationTime;
    return TRUE;
}

BOOL CFileFind::IsDots() const {
    if (m_pFoundInfo == NULL || !IsDirectory())
        return FALSE;
    const char* name = m_pFoundInfo->cFileName;
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

BOOL CFileFind::MatchesMask(DWORD dwMask) const {
    return m_pFoundInfo != NULL && (m_pFoundInfo->dwFileAttributes & dwMask) != 0;
}
