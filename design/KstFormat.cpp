#include "stdafx.h"
#include "design/KstFormat.h"

// Reads a little-endian 32-bit value at any alignment.
static DWORD ReadDword(const BYTE* p) {
    return (DWORD)p[0] | ((DWORD)p[1] << 8) | ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24);
}

// The walk over the stitch units that the structural check makes: a colour change or jump
// takes its displacement unit with it, the end code stops the walk, any other command is one
// unit. FALSE when a unit to be walked lies beyond the nAvailable units of the buffer.
struct KST_WALK {
    DWORD dwWalked;
    DWORD dwChanges;
    BOOL bEndCode;
};

static BOOL WalkUnits(const BYTE* pUnit, size_t nAvailable, DWORD dwUnits, KST_WALK* pWalk) {
    pWalk->dwWalked = 0;
    pWalk->dwChanges = 0;
    pWalk->bEndCode = FALSE;
    while (pWalk->dwWalked < dwUnits) {
        if (pWalk->dwWalked >= nAvailable)
            return FALSE;
        const BYTE* p = pUnit + 2 * (size_t)pWalk->dwWalked;
        ++pWalk->dwWalked;
        if (p[0] != KST_COMMAND)
            continue;
        if (p[1] == KST_END) {
            pWalk->bEndCode = TRUE;
            break;
        }
        if (p[1] == KST_JUMP || p[1] == KST_JUMP_ALT || p[1] == KST_COLOR_CHANGE) {
            if (p[1] == KST_COLOR_CHANGE)
                ++pWalk->dwChanges;
            if (pWalk->dwWalked >= nAvailable)
                return FALSE;
            ++pWalk->dwWalked;
        }
    }
    return TRUE;
}

BOOL KstCheckStructure(const BYTE* pData, size_t nLength, BOOL bUpperBounds,
                       DWORD* pdwProperLength) {
    if (pData == NULL || nLength < KST_HEADER_SIZE)
        return FALSE;
    const DWORD dwOffset = ReadDword(pData + 0);
    const DWORD dwColors = ReadDword(pData + 24);
    const DWORD dwUnits = ReadDword(pData + 28);
    if (pdwProperLength != NULL)
        *pdwProperLength = dwOffset + 2 * dwUnits;

    if (dwOffset <= KST_HEADER_SIZE)
        return FALSE;
    if (dwColors < 1 || dwUnits < 1)
        return FALSE;
    if (bUpperBounds && (dwColors > KST_MAX_COLORS || dwUnits > KST_MAX_UNITS))
        return FALSE;
    if (dwOffset > nLength)
        return FALSE;

    KST_WALK walk;
    if (!WalkUnits(pData + dwOffset, (nLength - dwOffset) / 2, dwUnits, &walk))
        return FALSE;
    return walk.dwWalked == dwUnits && walk.dwChanges + 1 == dwColors;
}

BOOL KstEndsWithEndCode(const BYTE* pData, size_t nLength) {
    if (pData == NULL || nLength < KST_HEADER_SIZE)
        return FALSE;
    const DWORD dwOffset = ReadDword(pData + 0);
    const DWORD dwUnits = ReadDword(pData + 28);
    if (dwOffset > nLength)
        return FALSE;
    KST_WALK walk;
    return WalkUnits(pData + dwOffset, (nLength - dwOffset) / 2, dwUnits, &walk) && walk.bEndCode &&
           walk.dwWalked == dwUnits;
}

void KstFormatDateTime(char* pszText16) {
    time_t now = time(NULL);
    const struct tm* pTime = localtime(&now);
    char szText[80];
    memset(szText, 0, sizeof(szText));
    if (pTime != NULL) {
        sprintf(szText, "%4d%02d%02d%02d%02d%02d", pTime->tm_year + 1900, pTime->tm_mon + 1,
                pTime->tm_mday, pTime->tm_hour, pTime->tm_min, pTime->tm_sec);
    }
    memcpy(pszText16, szText, 14);
    pszText16[14] = 0;
    pszText16[15] = 0;
}

// One hoop's margins: half-width minus left and right, half-height minus top and bottom; all
// -1 when the design does not fit.
static void SetMargins(LONG* pMargin, LONG nHalfWidth, LONG nHalfHeight, const LONG* pExtents) {
    const LONG nHalf[4] = {nHalfWidth, nHalfHeight, nHalfWidth, nHalfHeight};
    BOOL bFits = TRUE;
    for (int i = 0; i < 4; ++i) {
        const long long nMargin = (long long)nHalf[i] - pExtents[i];
        pMargin[i] = (LONG)nMargin;
        if (nMargin < 0 || nMargin > 0x7FFFFFFF)
            bFits = FALSE;
    }
    if (!bFits) {
        for (int i = 0; i < 4; ++i)
            pMargin[i] = -1;
    }
}

void KstSetExtents(tagKstHeader* pHeader, LONG nLeft, LONG nTop, LONG nRight, LONG nBottom) {
    // Built apart and copied in: the header is packed, its members may lie unaligned.
    LONG rects[5][4] = {{nLeft, nTop, nRight, nBottom}};
    SetMargins(rects[1], 550, 550, rects[0]);
    SetMargins(rects[2], 250, 250, rects[0]);
    SetMargins(rects[3], 700, 1000, rects[0]);
    SetMargins(rects[4], 700, 1000, rects[0]);
    memcpy((BYTE*)pHeader + 36, rects, sizeof(rects));
}

DWORD KstTrailerOffset(const tagKstHeader* pHeader) {
    const DWORD dwUnits = (DWORD)pHeader->nUnits;
    return pHeader->dwStitchOffset + 2 * (dwUnits + (dwUnits & 1));
}

int KstReadTrailer(const BYTE* pData, size_t nLength, KST_SECTION* pSections, int nMax) {
    if (pData == NULL || nLength < KST_HEADER_SIZE)
        return -1;
    // Computed wide so that a huge offset or count cannot wrap around into the buffer.
    const unsigned long long nUnits = ReadDword(pData + 28);
    const unsigned long long nTrailer = ReadDword(pData + 0) + 2 * (nUnits + (nUnits & 1));
    if (nTrailer >= nLength || nLength - nTrailer < KST_TRAILER_TAG_SIZE ||
        memcmp(pData + nTrailer, KST_TRAILER_TAG, KST_TRAILER_TAG_SIZE) != 0)
        return 0;
    const unsigned long long nRoom = nLength - nTrailer;
    if (nRoom < KST_TRAILER_TAG_SIZE + 1)
        return -1;
    const int nCount = pData[nTrailer + KST_TRAILER_TAG_SIZE];
    const unsigned long long nDirectory = nTrailer + KST_TRAILER_TAG_SIZE + 1;
    if (nLength - nDirectory < 8ull * nCount)
        return -1;
    unsigned long long nBody = nDirectory + 8ull * nCount;
    for (int i = 0; i < nCount; ++i) {
        const LONG nType = (LONG)ReadDword(pData + nDirectory + 8 * i);
        const LONG nSize = (LONG)ReadDword(pData + nDirectory + 8 * i + 4);
        if (nSize < 0 || nBody > nLength || nLength - nBody < (unsigned long long)nSize ||
            nBody > 0xFFFFFFFFull)
            return -1;
        if (i < nMax && pSections != NULL) {
            pSections[i].nType = nType;
            pSections[i].nSize = nSize;
            pSections[i].dwOffset = (DWORD)nBody;
        }
        nBody += (unsigned long long)nSize;
    }
    return nCount;
}

LONG KstSectionRecordCount(const BYTE* pData, const KST_SECTION* pSection) {
    if (pData == NULL || pSection == NULL || pSection->nSize < 4)
        return -1;
    const LONG nCount = (LONG)ReadDword(pData + pSection->dwOffset);
    if (nCount < 0 || (long long)nCount > (pSection->nSize - 4) / KST_BLOCK_RECORD_SIZE)
        return -1;
    return nCount;
}
