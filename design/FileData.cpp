#include "stdafx.h"
#include "design/FileData.h"

CFileData::CFileData() : m_pData(0), m_nLength(0) {}

CFileData::CFileData(const CFileData& other)
    : m_pData(other.m_pData), m_nLength(other.m_nLength), m_strFileName(other.m_strFileName) {}

CFileData& CFileData::operator=(const CFileData& other) {
    m_pData = other.m_pData;
    m_nLength = other.m_nLength;
    m_strFileName = other.m_strFileName;
    return *this;
}

CFileData::~CFileData() {}

bool CFileData::SetDivideNo(BYTE* pData, int /*nReserved*/, int nSecond, char cFirst) {
    if (!KstCheckStructure(pData, (size_t)-1, TRUE, NULL))
        return false;
    pData[22] = (BYTE)cFirst;
    pData[23] = (BYTE)(nSecond & 0xFF);
    return true;
}

// Calls emit(dx, dy) for each jump of a move, in the order JumpStitch writes them: none for no
// move, one when both displacements fit a unit, otherwise steps of 127 along the major axis (x on a
// tie) with the minor axis following at the move's rate, then the remainder, even when it is no
// move. Returns the number of jumps.
template <typename Emit> static long long ForEachJump(POINT ptFrom, POINT ptTo, Emit emit) {
    const long long dx = (long long)ptTo.x - ptFrom.x;
    const long long dy = (long long)ptTo.y - ptFrom.y;
    if (dx == 0 && dy == 0)
        return 0;
    if (dx >= -127 && dx <= 127 && dy >= -127 && dy <= 127) {
        emit(dx, dy);
        return 1;
    }
    const bool bXMajor = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
    const long long nMajor = bXMajor ? dx : dy;
    const long long nMinor = bXMajor ? dy : dx;
    const long long nStep = nMajor > 0 ? 127 : -127;
    const long long nSteps = nMajor / nStep;
    const double dRate = (double)nStep / (double)nMajor * (double)nMinor;
    long long nMajorTotal = 0, nMinorTotal = 0;
    for (long long i = 1; i <= nSteps; ++i) {
        const long long nMajorNow = nStep * i;
        const long long nMinorNow = (long long)(dRate * (double)i);
        if (bXMajor)
            emit(nMajorNow - nMajorTotal, nMinorNow - nMinorTotal);
        else
            emit(nMinorNow - nMinorTotal, nMajorNow - nMajorTotal);
        nMajorTotal = nMajorNow;
        nMinorTotal = nMinorNow;
    }
    if (bXMajor)
        emit(dx - nMajorTotal, dy - nMinorTotal);
    else
        emit(dx - nMinorTotal, dy - nMajorTotal);
    return nSteps + 1;
}

static void PutUnit(WORD*& pUnit, BYTE byLow, BYTE byHigh) {
    const BYTE unit[2] = {byLow, byHigh};
    memcpy(pUnit, unit, 2);
    ++pUnit;
}

void CFileData::JumpStitch(POINT ptFrom, POINT ptTo, WORD*& pUnit) {
    ForEachJump(ptFrom, ptTo, [&pUnit](long long dx, long long dy) {
        PutUnit(pUnit, KST_COMMAND, KST_JUMP);
        PutUnit(pUnit, (BYTE)(dx & 0xFF), (BYTE)(-dy & 0xFF));
    });
}

static LONG ReadLong(const BYTE* p) {
    LONG n;
    memcpy(&n, p, sizeof(n));
    return n;
}

static void WriteLong(BYTE* p, LONG n) {
    memcpy(p, &n, sizeof(n));
}

// The part being written into the caller's buffer: the staged stitch data grows from the staging
// area and never past the end of the buffer.
struct KST_PART_WRITER {
    BYTE* pStart;
    BYTE* pNext;
    BYTE* pEnd;

    bool Put(const BYTE* pUnit) {
        if (pEnd - pNext < 2)
            return false;
        pNext[0] = pUnit[0];
        pNext[1] = pUnit[1];
        pNext += 2;
        return true;
    }
};

int CFileData::DivideKst(const BYTE* pSource, int& nPosition, BYTE* pPart, int nBudget, int nFirst,
                         int nSecond) {
    if (pSource == NULL || pPart == NULL)
        return 0;
    const int nStart = nPosition;
    if (nStart < 1)
        return 0;
    memset(pPart, 0, KST_WORK_BUFFER_SIZE);

    const LONG nColors = ReadLong(pSource + 24);
    const LONG nUnits = ReadLong(pSource + 28);
    const BYTE* pColors = pSource + KST_HEADER_SIZE;
    const BYTE* pRead = pSource + (DWORD)ReadLong(pSource + 0);

    // The stitch data is staged after room for the source's two tables.
    const long long nStaging = KST_HEADER_SIZE + 8LL * nColors;
    if (nColors < 0 || nStaging + 2 > KST_WORK_BUFFER_SIZE)
        return 0;
    KST_PART_WRITER part = {pPart + nStaging, pPart + nStaging, pPart + KST_WORK_BUFFER_SIZE};

    nPosition = nStart - 1;
    const int nSkip = nStart - 1;
    size_t nCursor = 0;
    LONG nRead = 0;
    int nChanges = 0;
    long long x = 0, y = 0;
    POINT ptChange = {0, 0};

    // Pass over the blocks before the part's first block.
    while (nChanges < nSkip) {
        if (nRead >= nUnits)
            return 0;
        const BYTE* pUnit = pRead;
        pRead += 2;
        ++nRead;
        if (pUnit[0] != KST_COMMAND) {
            x += (signed char)pUnit[0];
            y -= (signed char)pUnit[1];
        } else if (pUnit[1] == KST_COLOR_CHANGE) {
            while (ReadLong(pColors + 4 * nCursor++) == -1) {
            }
            ++nChanges;
            ptChange.x = (LONG)x;
            ptChange.y = (LONG)y;
            x += (signed char)pRead[0];
            y -= (signed char)pRead[1];
            pRead += 2;
            ++nRead;
        } else if (pUnit[1] == KST_END) {
            return 0;
        } else if (pUnit[1] == KST_JUMP || pUnit[1] == KST_JUMP_ALT) {
            // The unit after a jump is its displacement, a move whatever its bytes, as the
            // structural check and the copy below read it.
            x += (signed char)pRead[0];
            y -= (signed char)pRead[1];
            pRead += 2;
            ++nRead;
        }
    }

    if (nSkip >= 1) {
        const POINT ptOrigin = {0, 0};
        const long long nJumps = ForEachJump(ptOrigin, ptChange, [](long long, long long) {});
        if (nJumps > (part.pEnd - part.pNext) / 4)
            return 0;
        WORD* pUnit = (WORD*)part.pNext;
        JumpStitch(ptOrigin, ptChange, pUnit);
        part.pNext = (BYTE*)pUnit;
    }

    // Copy whole blocks until the design ends or the budget is exceeded.
    nPosition = nChanges + 1;
    int nBlocks = 0;
    long long nTaken = 0;
    BYTE* pCut = NULL;
    BYTE* pTable = pPart + KST_HEADER_SIZE;
    while (nRead < nUnits) {
        const BYTE* pUnit = pRead;
        pRead += 2;
        ++nRead;
        if (pUnit[0] == KST_COMMAND) {
            const BYTE byCode = pUnit[1];
            if (byCode == KST_END) {
                if (!part.Put(pUnit))
                    return 0;
                WriteLong(pTable + 4 * nBlocks, ReadLong(pColors + 4 * nCursor));
                ++nBlocks;
                nPosition = 0;
                break;
            }
            if (byCode != KST_COLOR_CHANGE && byCode != KST_JUMP && byCode != KST_JUMP_ALT)
                continue;
            BYTE* pCommand = part.pNext;
            if (!part.Put(pUnit))
                return 0;
            if (byCode == KST_COLOR_CHANGE) {
                while (ReadLong(pColors + 4 * nCursor) == -1)
                    ++nCursor;
                WriteLong(pTable + 4 * nBlocks, ReadLong(pColors + 4 * nCursor));
                ++nCursor;
                ++nBlocks;
                ++nPosition;
                pCut = pCommand;
            }
            ++nTaken;
            pUnit = pRead;
            pRead += 2;
            ++nRead;
        }
        if (!part.Put(pUnit))
            return 0;
        ++nTaken;
        if (nTaken > nBudget || nBlocks >= KST_MAX_COLORS) {
            if (pCut == NULL)
                return 0;
            pCut[1] = KST_END;
            part.pNext = pCut + 2;
            break;
        }
    }

    // Type table, header, padding, and the stitch data moved behind the tables.
    for (int i = 0; i < nBlocks; ++i)
        WriteLong(pTable + 4 * (nBlocks + i), KST_TYPE_DIVIDED);
    const size_t nStaged = part.pNext - part.pStart;
    tagKstHeader header;
    memset(&header, 0, sizeof(header));
    header.dwStitchOffset = KST_HEADER_SIZE + 8 * nBlocks;
    header.dwFlags = KST_FLAGS_PLAIN;
    char szText[16];
    KstFormatDateTime(szText);
    memcpy(header.szDateTime, szText, sizeof(header.szDateTime));
    header.byDivideNo1 = (BYTE)(nFirst & 0xFF);
    header.byDivideNo2 = (BYTE)(nSecond & 0xFF);
    header.nColors = nBlocks;
    header.nUnits = (LONG)(nStaged / 2);
    memcpy(&header.nHoop, pSource + 32, KST_HEADER_SIZE - 32);
    memcpy(pPart, &header, sizeof(header));
    if (header.nUnits % 2 == 1) {
        static const BYTE zero[2] = {0, 0};
        if (!part.Put(zero))
            return 0;
    }
    const size_t nStitchBytes = part.pNext - part.pStart;
    BYTE* pStitches = pPart + header.dwStitchOffset;
    if ((size_t)(part.pEnd - pStitches) < nStitchBytes)
        return 0;
    memmove(pStitches, part.pStart, nStitchBytes);
    if (part.pNext > pStitches + nStitchBytes)
        memset(pStitches + nStitchBytes, 0, part.pNext - (pStitches + nStitchBytes));
    size_t nLength = header.dwStitchOffset + nStitchBytes;

    // The block records of the part's blocks, renumbered from the part's first block, go into a
    // trailer of their own; the source's other sections stay behind.
    KST_SECTION sections[255];
    const int nSections = KstReadTrailer(pSource, (size_t)-1, sections, 255);
    const size_t nRecordStart = nLength + 20;
    const long long nFirstBlock = nStart - 1;
    LONG nRecords = 0;
    for (int s = 0; s < nSections; ++s) {
        if (sections[s].nType != KST_SECTION_BLOCKS)
            continue;
        const LONG nCount = KstSectionRecordCount(pSource, &sections[s]);
        for (LONG r = 0; r < nCount; ++r) {
            const BYTE* pRecord =
                pSource + sections[s].dwOffset + 4 + (size_t)KST_BLOCK_RECORD_SIZE * r;
            const long long nBlock = ReadLong(pRecord);
            if (nBlock < nFirstBlock || nBlock >= nFirstBlock + nBlocks ||
                nRecords == KST_MAX_BLOCK_RECORDS)
                continue;
            const size_t nOut = nRecordStart + KST_BLOCK_RECORD_SIZE * nRecords;
            if (nOut + KST_BLOCK_RECORD_SIZE > KST_WORK_BUFFER_SIZE)
                return 0;
            BYTE* pOut = pPart + nOut;
            memcpy(pOut, pRecord, KST_BLOCK_RECORD_SIZE);
            WriteLong(pOut, (LONG)(nBlock - nFirstBlock));
            ++nRecords;
        }
    }
    if (nRecords > 0) {
        BYTE* pTrailer = pPart + nLength;
        memcpy(pTrailer, KST_TRAILER_TAG, KST_TRAILER_TAG_SIZE);
        pTrailer[7] = 1;
        WriteLong(pTrailer + 8, KST_SECTION_BLOCKS);
        WriteLong(pTrailer + 12, 4 + KST_BLOCK_RECORD_SIZE * nRecords);
        WriteLong(pTrailer + 16, nRecords);
        nLength += 20 + KST_BLOCK_RECORD_SIZE * nRecords;
    }
    return (int)nLength;
}
