// CMemFile: a file held in one block of memory that grows in steps of m_nGrowBytes.
#include <afx.h>

#include <stdint.h>

IMPLEMENT_DYNAMIC(CMemFile, CFile)

CMemFile::CMemFile(UINT nGrowBytes)
    : m_nGrowBytes(nGrowBytes), m_nPosition(0), m_nBufferSize(0), m_nFileSize(0), m_lpBuffer(NULL),
      m_bAutoDelete(TRUE) {}

CMemFile::CMemFile(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes) : CMemFile(nGrowBytes) {
    Attach(lpBuffer, nBufferSize, nGrowBytes);
}

CMemFile::~CMemFile() {
    if (m_lpBuffer != NULL)
        Close();
}

void CMemFile::Attach(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes) {
    if (lpBuffer == NULL && nBufferSize != 0)
        AfxThrowInvalidArgException();
    if (m_lpBuffer != NULL)
        Close(); // releases a block of our own first
    m_nGrowBytes = nGrowBytes;
    m_nPosition = 0;
    m_nBufferSize = nBufferSize;
    m_nFileSize = nGrowBytes == 0 ? nBufferSize : 0;
    m_lpBuffer = lpBuffer;
    m_bAutoDelete = FALSE;
}

BYTE* CMemFile::Detach() {
    BYTE* lpBuffer = m_lpBuffer;
    m_lpBuffer = NULL;
    m_nFileSize = 0;
    m_nBufferSize = 0;
    m_nPosition = 0;
    return lpBuffer;
}

// ----------------------------------------------------------------------------------------------
// Memory

BYTE* CMemFile::Alloc(SIZE_T nBytes) {
    return static_cast<BYTE*>(malloc(nBytes));
}

BYTE* CMemFile::Realloc(BYTE* lpMem, SIZE_T nBytes) {
    if (nBytes == 0) {
        Free(lpMem);
        return NULL;
    }
    return static_cast<BYTE*>(realloc(lpMem, nBytes));
}

BYTE* CMemFile::Memcpy(BYTE* lpMemTarget, const BYTE* lpMemSource, SIZE_T nBytes) {
    return static_cast<BYTE*>(memcpy(lpMemTarget, lpMemSource, nBytes));
}

void CMemFile::Free(BYTE* lpMem) {
    free(lpMem);
}

// Grows the block to hold dwNewLen bytes: the block grows by whole steps of m_nGrowBytes, so a
// file that started empty always has a multiple of the step. A file that cannot grow (step 0)
// or memory that cannot be had raise CMemoryException, and the file stays as it was.
void CMemFile::GrowFile(SIZE_T dwNewLen) {
    if (dwNewLen <= m_nBufferSize)
        return;
    if (m_nGrowBytes == 0)
        AfxThrowMemoryException();
    SIZE_T missing = dwNewLen - m_nBufferSize;
    SIZE_T steps = missing / m_nGrowBytes + (missing % m_nGrowBytes != 0 ? 1 : 0);
    if (steps > (SIZE_MAX - m_nBufferSize) / m_nGrowBytes)
        AfxThrowMemoryException();
    SIZE_T dwNewBufferSize = m_nBufferSize + steps * m_nGrowBytes;
    BYTE* lpNew =
        m_lpBuffer == NULL ? Alloc(dwNewBufferSize) : Realloc(m_lpBuffer, dwNewBufferSize);
    if (lpNew == NULL)
        AfxThrowMemoryException();
    if (m_lpBuffer == NULL)
        m_bAutoDelete = TRUE; // a block we allocated ourselves is ours to free
    m_lpBuffer = lpNew;
    m_nBufferSize = dwNewBufferSize;
}

// ----------------------------------------------------------------------------------------------
// File operations

UINT CMemFile::Read(void* lpBuf, UINT nCount) {
    if (nCount == 0 || m_nPosition >= m_nFileSize)
        return 0;
    if (lpBuf == NULL)
        AfxThrowInvalidArgException();
    SIZE_T nAvailable = m_nFileSize - m_nPosition;
    UINT nRead = nAvailable < nCount ? static_cast<UINT>(nAvailable) : nCount;
    Memcpy(static_cast<BYTE*>(lpBuf), m_lpBuffer + m_nPosition, nRead);
    m_nPosition += nRead;
    return nRead;
}

void CMemFile::Write(const void* lpBuf, UINT nCount) {
    if (nCount == 0)
        return;
    if (lpBuf == NULL)
        AfxThrowInvalidArgException();
    if (m_nPosition > SIZE_MAX - nCount)
        AfxThrowMemoryException();
    SIZE_T dwEnd = m_nPosition + nCount;
    if (dwEnd > m_nBufferSize)
        GrowFile(dwEnd);
    if (m_nPosition > m_nFileSize) // written after a seek past the end: the gap reads as zeros
        memset(m_lpBuffer + m_nFileSize, 0, m_nPosition - m_nFileSize);
    Memcpy(m_lpBuffer + m_nPosition, static_cast<const BYTE*>(lpBuf), nCount);
    m_nPosition = dwEnd;
    if (m_nPosition > m_nFileSize)
        m_nFileSize = m_nPosition;
}

ULONGLONG CMemFile::Seek(LONGLONG lOff, UINT nFrom) {
    LONGLONG base;
    if (nFrom == begin)
        base = 0;
    else if (nFrom == current)
        base = static_cast<LONGLONG>(m_nPosition);
    else if (nFrom == end)
        base = static_cast<LONGLONG>(m_nFileSize);
    else
        AfxThrowFileException(CFileException::badSeek);
    if ((lOff > 0 && base > INT64_MAX - lOff) || base + lOff < 0 ||
        static_cast<ULONGLONG>(base + lOff) > SIZE_MAX)
        AfxThrowFileException(CFileException::badSeek);
    m_nPosition = static_cast<SIZE_T>(base + lOff);
    return m_nPosition;
}

ULONGLONG CMemFile::GetPosition() const {
    return m_nPosition;
}
ULONGLONG CMemFile::GetLength() const {
    return m_nFileSize;
}

void CMemFile::SetLength(ULONGLONG dwNewLen) {
    if (dwNewLen > SIZE_MAX)
        AfxThrowMemoryException();
    SIZE_T nNewLen = static_cast<SIZE_T>(dwNewLen);
    if (nNewLen > m_nBufferSize)
        GrowFile(nNewLen);
    if (nNewLen > m_nFileSize)
        memset(m_lpBuffer + m_nFileSize, 0, nNewLen - m_nFileSize);
    if (nNewLen < m_nPosition)
        m_nPosition = nNewLen;
    m_nFileSize = nNewLen;
}

void CMemFile::Flush() {}

void CMemFile::Close() {
    if (m_lpBuffer != NULL && m_bAutoDelete)
        Free(m_lpBuffer);
    m_lpBuffer = NULL;
    m_nBufferSize = 0;
    m_nFileSize = 0;
    m_nPosition = 0;
}

void CMemFile::Abort() {
    Close();
}
