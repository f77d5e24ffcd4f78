#include "stdafx.h"
#include "command/FolderInfo.h"

#include "design/KstFormat.h"

namespace {

void PutLong(BYTE* p, LONG nValue) {
    const DWORD dw = static_cast<DWORD>(nValue);
    p[0] = static_cast<BYTE>(dw);
    p[1] = static_cast<BYTE>(dw >> 8);
    p[2] = static_cast<BYTE>(dw >> 16);
    p[3] = static_cast<BYTE>(dw >> 24);
}

DWORD GetDword(const BYTE* p) {
    return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 |
           static_cast<DWORD>(p[2]) << 16 | static_cast<DWORD>(p[3]) << 24;
}

LONG GetLong(const BYTE* p) {
    return static_cast<LONG>(GetDword(p));
}

enum DesignKind { NotDesign, PlainDesign, ExtendedDesign };

// The kind of design a file name announces by its extension: the text after the last '.'.
DesignKind KindOfName(LPCSTR pszName) {
    LPCSTR pszDot = strrchr(pszName, '.');
    if (pszDot == NULL)
        return NotDesign;
    CString strExtension(pszDot + 1);
    if (strExtension.CompareNoCase("kst") == 0)
        return PlainDesign;
    if (strExtension.CompareNoCase("kst+") == 0)
        return ExtendedDesign;
    return NotDesign;
}

// Reads the head of a design file and decides whether it is listed. A file that cannot be
// opened or read is left out.
BOOL ReadDesignRecord(LPCSTR pszPath, BOOL bExtended, LONG* pnKind, LONG* pnWidth, LONG* pnHeight) {
    BYTE head[KST_HEADER_SIZE];
    CFile file;
    if (!file.Open(pszPath, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary))
        return FALSE;
    BOOL bAccepted = FALSE;
    TRY {
        const ULONGLONG nLength = file.GetLength();
        const UINT nRead = file.Read(head, sizeof head);
        bAccepted =
            FolderInfoAcceptDesign(head, nRead, nLength, bExtended, pnKind, pnWidth, pnHeight);
    }
    CATCH(CFileException, e) {
        bAccepted = FALSE;
    }
    END_CATCH
    file.Abort();
    return bAccepted;
}

// Appends one record to the records gathered so far.
void AppendRecord(CMemFile& records, LPCSTR pszName, LONG nKind, LONG nWidth, LONG nHeight) {
    const size_t nNameLength = strlen(pszName);
    const UINT nRecord = FolderInfoRecordLength(nNameLength);
    BYTE head[FOLDERINFO_RECORD_HEADER];
    PutLong(head, static_cast<LONG>(nRecord));
    PutLong(head + 4, nKind);
    PutLong(head + 8, nWidth);
    PutLong(head + 12, nHeight);
    static const BYTE kZeros[4] = {0, 0, 0, 0};
    records.Write(head, sizeof head);
    records.Write(pszName, static_cast<UINT>(nNameLength));
    records.Write(kZeros, nRecord - FOLDERINFO_RECORD_HEADER - static_cast<UINT>(nNameLength));
}

} // namespace

UINT FolderInfoRecordLength(size_t nNameLength) {
    return static_cast<UINT>((FOLDERINFO_RECORD_HEADER + nNameLength + 1 + 3) & ~size_t(3));
}

BOOL FolderInfoAcceptDesign(const BYTE* pData, size_t nLength, ULONGLONG nFileLength,
                            BOOL bExtended, LONG* pnKind, LONG* pnWidth, LONG* pnHeight) {
    if (pData == NULL || nLength < KST_HEADER_SIZE || nFileLength < KST_HEADER_SIZE)
        return FALSE;
    const DWORD dwOffset = GetDword(pData + offsetof(tagKstHeader, dwStitchOffset));
    const LONG nColors = GetLong(pData + offsetof(tagKstHeader, nColors));
    const LONG nUnits = GetLong(pData + offsetof(tagKstHeader, nUnits));
    const LONG nHoop = GetLong(pData + offsetof(tagKstHeader, nHoop));
    if (dwOffset < FOLDERINFO_MIN_STITCH_OFFSET)
        return FALSE;
    if (nColors < 1 || nColors > KST_MAX_COLORS)
        return FALSE;
    if (nUnits > KST_MAX_UNITS) // no lower bound: only the end of the stitch data matters
        return FALSE;
    const BOOL bHoopOk = (nHoop >= 0 && nHoop <= FOLDERINFO_MAX_HOOP) ||
                         (bExtended && nHoop == FOLDERINFO_HOOP_EXTENDED_ONLY);
    if (!bHoopOk)
        return FALSE;
    const LONGLONG nEnd = static_cast<LONGLONG>(dwOffset) + 2 * static_cast<LONGLONG>(nUnits);
    if (nEnd > static_cast<LONGLONG>(nFileLength))
        return FALSE;
    const BYTE* pExtents = pData + offsetof(tagKstHeader, rcExtents);
    // Sums of untrusted extents wrap as 32-bit values do; they are only carried.
    const DWORD dwWidth = GetDword(pExtents) + GetDword(pExtents + 8);
    const DWORD dwHeight = GetDword(pExtents + 4) + GetDword(pExtents + 12);
    if (pnKind != NULL)
        *pnKind = nHoop;
    if (pnWidth != NULL)
        *pnWidth = static_cast<LONG>(dwWidth);
    if (pnHeight != NULL)
        *pnHeight = static_cast<LONG>(dwHeight);
    return TRUE;
}

BYTE* FolderInfoBuild(LPCSTR pszFolder, UINT* pnSize) {
    CString strFolder(pszFolder != NULL ? pszFolder : "");
    CString strPattern;
    strPattern.Format("%s\\*.*", strFolder.GetString());

    CMemFile records(4096);
    DWORD nCount = 0;
    BOOL bMemory = TRUE;
    TRY {
        CFileFind finder;
        BOOL bMore = finder.FindFile(strPattern);
        while (bMore) {
            bMore = finder.FindNextFile();
            if (finder.IsDots())
                continue;
            const CString strName = finder.GetFileName();
            if (finder.IsDirectory()) {
                if (finder.IsHidden())
                    continue;
                AppendRecord(records, strName, FOLDERINFO_KIND_FOLDER, 0, 0);
                ++nCount;
                continue;
            }
            const DesignKind kind = KindOfName(strName);
            if (kind == NotDesign)
                continue;
            CString strPath;
            strPath.Format("%s\\%s", strFolder.GetString(), strName.GetString());
            LONG nKind = 0, nWidth = 0, nHeight = 0;
            if (!ReadDesignRecord(strPath, kind == ExtendedDesign, &nKind, &nWidth, &nHeight))
                continue;
            AppendRecord(records, strName, nKind, nWidth, nHeight);
            ++nCount;
        }
    }
    CATCH(CMemoryException, e) {
        bMemory = FALSE;
    }
    END_CATCH
    if (!bMemory)
        return NULL;

    const ULONGLONG nRecords = records.GetLength();
    if (nRecords > 0xFFFFFFFFull - FOLDERINFO_COUNT_SIZE)
        return NULL;
    const UINT nSize = FOLDERINFO_COUNT_SIZE + static_cast<UINT>(nRecords);
    BYTE* pBlob = static_cast<BYTE*>(calloc(1, nSize));
    if (pBlob == NULL)
        return NULL;
    PutLong(pBlob, static_cast<LONG>(nCount));
    BYTE* pRecords = records.Detach();
    if (pRecords != NULL) {
        memcpy(pBlob + FOLDERINFO_COUNT_SIZE, pRecords, static_cast<size_t>(nRecords));
        free(pRecords);
    }
    if (pnSize != NULL)
        *pnSize = nSize;
    return pBlob;
}

UINT FolderInfoFit(const BYTE* pBlob, UINT nSize, UINT nLimit, DWORD* pnCount) {
    if (pnCount != NULL)
        *pnCount = 0;
    if (pBlob == NULL || nSize < FOLDERINFO_COUNT_SIZE || nLimit < FOLDERINFO_COUNT_SIZE)
        return 0;
    const DWORD nStored = GetDword(pBlob);
    UINT nAt = FOLDERINFO_COUNT_SIZE;
    DWORD nFit = 0;
    while (nFit < nStored && nSize - nAt >= FOLDERINFO_RECORD_HEADER) {
        const DWORD nRecord = GetDword(pBlob + nAt);
        if (nRecord < FOLDERINFO_RECORD_HEADER || nRecord > nSize - nAt || nRecord > nLimit - nAt)
            break;
        nAt += nRecord;
        ++nFit;
    }
    if (pnCount != NULL)
        *pnCount = nFit;
    return nAt;
}

const BYTE* FolderInfoRead(const BYTE* pRecord, FOLDERINFO_RECORD* pRead) {
    LONG fields[4];
    memcpy(fields, pRecord, sizeof fields);
    pRead->dwLength = static_cast<DWORD>(fields[0]);
    pRead->nKind = fields[1];
    pRead->nWidth = fields[2];
    pRead->nHeight = fields[3];
    const char* pName = reinterpret_cast<const char*>(pRecord + FOLDERINFO_RECORD_HEADER);
    pRead->strName = CString(
        pName, static_cast<int>(strnlen(pName, pRead->dwLength - FOLDERINFO_RECORD_HEADER)));
    return pRecord + pRead->dwLength;
}
