#include "stdafx.h"
#include "design/Convert.h"

#include <limits.h>
#include <stddef.h>

namespace {

const LONG kHoopCentreOffset = 400; // the two hoop centres lie this far above and below the origin
const LONG kMaxStep = 127;          // the longest move one unit can make on either axis

bool IsJump(const BYTE* pUnit) {
    return pUnit[0] == KST_COMMAND && (pUnit[1] == KST_JUMP || pUnit[1] == KST_JUMP_ALT);
}

bool IsColorChange(const BYTE* pUnit) {
    return pUnit[0] == KST_COMMAND &&
           (pUnit[1] == KST_COLOR_CHANGE || pUnit[1] == KST_COLOR_CHANGE_ALT);
}

LONG UnitX(const BYTE* pUnit) {
    return static_cast<signed char>(pUnit[0]);
}
LONG UnitY(const BYTE* pUnit) {
    return static_cast<signed char>(pUnit[1]);
}

// Writes one unit of the downward-axis move (dx, dy): the dx byte, then the negated dy byte.
void PutUnit(BYTE* pOut, DWORD* pdwPos, LONG dx, LONG dy) {
    pOut[(*pdwPos)++] = static_cast<BYTE>(dx & 0xFF);
    pOut[(*pdwPos)++] = static_cast<BYTE>(-dy & 0xFF);
}

void PutJump(BYTE* pOut, DWORD* pdwPos) {
    pOut[(*pdwPos)++] = KST_COMMAND;
    pOut[(*pdwPos)++] = KST_JUMP;
}

LONG Magnitude(LONG n) {
    return n < 0 ? -n : n;
}

// Number of bytes JoinStitch writes for a move of (dx, dy).
DWORD LeadInSize(LONG dx, LONG dy) {
    LONG nMajor = Magnitude(dx) >= Magnitude(dy) ? Magnitude(dx) : Magnitude(dy);
    if (nMajor <= kMaxStep)
        return 6;
    return static_cast<DWORD>(nMajor / kMaxStep) * 4 + 2;
}

// Gives the half's block k the colour and type of source block b and copies the source's
// records of block b into the half, renumbered k; then k and b move on. False when a table or
// the record block of the half would overflow, or b lies beyond the source's tables.
bool TakeBlock(const KST_WORK_IMAGE* pSource, KST_WORK_IMAGE* pHalf, LONG& nBlock,
               LONG& nHalfBlocks) {
    if (nBlock < 0 || nBlock >= KST_MAX_COLORS || nHalfBlocks >= KST_MAX_COLORS)
        return false;
    pHalf->nColors[nHalfBlocks] = pSource->nColors[nBlock];
    pHalf->nTypes[nHalfBlocks] = pSource->nTypes[nBlock];
    LONG nSourceRecords = pSource->nRecords;
    if (nSourceRecords > KST_MAX_BLOCK_RECORDS)
        nSourceRecords = KST_MAX_BLOCK_RECORDS;
    for (LONG i = 0; i < nSourceRecords; ++i) {
        if (pSource->records[i].nBlock != nBlock)
            continue;
        if (pHalf->nRecords >= KST_MAX_BLOCK_RECORDS)
            return false;
        tagKstBlockRecord& record = pHalf->records[pHalf->nRecords++];
        record = pSource->records[i];
        record.nBlock = nHalfBlocks;
    }
    ++nHalfBlocks;
    ++nBlock;
    return true;
}

// Writes the header and the first nColors entries of both colour tables.
void WriteHeaderAndTables(CMemFile& file, const KST_WORK_IMAGE* pImage, LONG nColors) {
    file.Write(&pImage->header, KST_HEADER_SIZE);
    file.Write(pImage->nColors, static_cast<UINT>(4 * nColors));
    file.Write(pImage->nTypes, static_cast<UINT>(4 * nColors));
}

// Writes stitch data and, when its unit count is odd, the two zero bytes that pad it.
void WriteStitches(CMemFile& file, const BYTE* pStitches, DWORD dwBytes) {
    static const BYTE padding[2] = {0, 0};
    file.Write(pStitches, dwBytes);
    if ((dwBytes / 2) % 2 != 0)
        file.Write(padding, sizeof padding);
}

void WriteLong(CMemFile& file, LONG nValue) {
    file.Write(&nValue, sizeof nValue);
}

} // namespace

CConvert::CConvert() : m_pWorkBuffer(NULL), m_nDivisionPoint(0) {}

CConvert::CConvert(const CConvert& other)
    : m_pWorkBuffer(other.m_pWorkBuffer), m_nDivisionPoint(other.m_nDivisionPoint) {}

CConvert::~CConvert() {
    if (m_pWorkBuffer != NULL)
        free(m_pWorkBuffer);
}

CConvert& CConvert::operator=(const CConvert& other) {
    m_pWorkBuffer = other.m_pWorkBuffer;
    m_nDivisionPoint = other.m_nDivisionPoint;
    return *this;
}

void CConvert::GetTime(char* pszText) {
    KstFormatDateTime(pszText);
}

void CConvert::SetFrameData(tagKstHeader* pHeader, LONG nLeft, LONG nTop, LONG nRight,
                            LONG nBottom) {
    KstSetExtents(pHeader, nLeft, nTop, nRight, nBottom);
}

void CConvert::JoinStitch(POINT ptFrom, POINT ptTo, BYTE* pOut, DWORD* pdwPos) {
    const LONG dx = ptTo.x - ptFrom.x;
    const LONG dy = ptTo.y - ptFrom.y;
    if (dx == 0 && dy == 0) {
        PutJump(pOut, pdwPos);
        PutUnit(pOut, pdwPos, 0, 0);
        PutUnit(pOut, pdwPos, 0, 0);
        return;
    }
    if (Magnitude(dx) <= kMaxStep && Magnitude(dy) <= kMaxStep) {
        PutJump(pOut, pdwPos);
        PutUnit(pOut, pdwPos, dx / 2, dy / 2);
        PutUnit(pOut, pdwPos, dx - dx / 2, dy - dy / 2);
        return;
    }
    // Jumps of 127 along the longer axis, the shorter axis following at the same rate.
    const bool bAlongX = Magnitude(dx) >= Magnitude(dy);
    const LONG nMajor = bAlongX ? dx : dy;
    const LONG nMinor = bAlongX ? dy : dx;
    const LONG nStep = nMajor > 0 ? kMaxStep : -kMaxStep;
    const LONG nSteps = nMajor / nStep;
    const double dRate = static_cast<double>(nStep) / nMajor * nMinor;
    LONG nMajorTotal = 0;
    LONG nMinorTotal = 0;
    for (LONG i = 1; i <= nSteps; ++i) {
        const LONG nMajorNext = nStep * i;
        const LONG nMinorNext = static_cast<LONG>(dRate * i);
        PutJump(pOut, pdwPos);
        if (bAlongX)
            PutUnit(pOut, pdwPos, nMajorNext - nMajorTotal, nMinorNext - nMinorTotal);
        else
            PutUnit(pOut, pdwPos, nMinorNext - nMinorTotal, nMajorNext - nMajorTotal);
        nMajorTotal = nMajorNext;
        nMinorTotal = nMinorNext;
    }
    if (bAlongX)
        PutUnit(pOut, pdwPos, dx - nMajorTotal, dy - nMinorTotal);
    else
        PutUnit(pOut, pdwPos, dx - nMinorTotal, dy - nMajorTotal);
}

BYTE* CConvert::DivisionVastData(int& nSize1, int& nSize2) {
    nSize1 = 0;
    nSize2 = 0;
    if (m_pWorkBuffer == NULL || m_nDivisionPoint < 0)
        return NULL;
    const KST_WORK_IMAGE* pSource = reinterpret_cast<const KST_WORK_IMAGE*>(m_pWorkBuffer);
    const LONGLONG nUnits = pSource->header.nUnits;
    if (nUnits < 1 || 2 * nUnits > KST_WORK_STITCH_AREA)
        return NULL;
    KST_WORK_IMAGE* pHalf = static_cast<KST_WORK_IMAGE*>(malloc(sizeof(KST_WORK_IMAGE)));
    if (pHalf == NULL)
        return NULL;
    CMemFile file(1024);

    const LONGLONG nDivision = m_nDivisionPoint;
    LONGLONG nEnd = nDivision != 0 ? nDivision + 1 : nUnits;
    DWORD dwRead = 0; // byte offset into the source stitches
    LONG nBlock = 0;  // the source block whose colour the half's next block takes
    LONG px = 0;      // needle position in design coordinates at the read offset
    LONG py = 0;
    auto consumed = [&] { return static_cast<LONGLONG>(dwRead / 2); };
    // Reads the next unit of the design; false past its last unit.
    auto readUnit = [&](const BYTE*& pUnit) {
        if (consumed() >= nUnits)
            return false;
        pUnit = pSource->stitches + dwRead;
        dwRead += 2;
        return true;
    };

    auto buildHalves = [&]() -> bool {
        while (consumed() < nUnits) {
            memset(pHalf, 0, sizeof(KST_WORK_IMAGE));
            DWORD dwOut = 0; // bytes of stitch data in the half
            LONG nHalfBlocks = 0;
            if (!TakeBlock(pSource, pHalf, nBlock, nHalfBlocks))
                return false;
            auto append = [&](const BYTE* pUnit) {
                if (dwOut + 2 > KST_WORK_STITCH_AREA)
                    return false;
                pHalf->stitches[dwOut++] = pUnit[0];
                pHalf->stitches[dwOut++] = pUnit[1];
                return true;
            };

            // Jumps at the start are not copied: the lead-in from the hoop centre replaces
            // them and the first unit after them.
            const BYTE* pUnit = NULL;
            while (consumed() < nEnd) {
                if (!readUnit(pUnit))
                    return false;
                const bool bJump = IsJump(pUnit);
                if (bJump && !readUnit(pUnit))
                    return false;
                px += UnitX(pUnit);
                py -= UnitY(pUnit);
                if (!bJump)
                    break;
            }
            POINT ptCentre = {0, consumed() < nDivision ? -kHoopCentreOffset : kHoopCentreOffset};
            POINT ptFirst = {px, py};
            if (LeadInSize(px - ptCentre.x, py - ptCentre.y) > KST_WORK_STITCH_AREA)
                return false;
            JoinStitch(ptCentre, ptFirst, pHalf->stitches, &dwOut);
            LONG hx = px - ptCentre.x; // needle position relative to the hoop centre
            LONG hy = py - ptCentre.y;
            LONG nMinX = 0, nMinY = 0, nMaxX = 0, nMaxY = 0;

            bool bAfterCommand = false;
            bool bEndCode = false;
            LONGLONG nCut = -1; // byte offset in the half of the command where it is cut
            while (consumed() < nEnd) {
                if (!readUnit(pUnit) || !append(pUnit))
                    return false;
                if (pUnit[0] != KST_COMMAND) {
                    hx += UnitX(pUnit);
                    hy -= UnitY(pUnit);
                    nMinX = hx < nMinX ? hx : nMinX;
                    nMaxX = hx > nMaxX ? hx : nMaxX;
                    nMinY = hy < nMinY ? hy : nMinY;
                    nMaxY = hy > nMaxY ? hy : nMaxY;
                    bAfterCommand = false;
                    continue;
                }
                if (pUnit[1] == KST_END) {
                    nCut = -1;
                    bEndCode = true;
                    break;
                }
                if (IsColorChange(pUnit)) {
                    if (!TakeBlock(pSource, pHalf, nBlock, nHalfBlocks))
                        return false;
                    nCut = dwOut - 2;
                } else if (IsJump(pUnit)) {
                    if (!bAfterCommand)
                        nCut = dwOut - 2;
                } else {
                    continue; // an unknown command stands alone
                }
                bAfterCommand = true;
                if (!readUnit(pUnit) || !append(pUnit))
                    return false;
                hx += UnitX(pUnit);
                hy -= UnitY(pUnit);
            }

            if (nCut >= 0) {
                // Stopped at the division point: end the half at its last command. A colour
                // change cut off here begins the next half instead.
                BYTE* pCut = pHalf->stitches + nCut;
                if (IsColorChange(pCut)) {
                    --nHalfBlocks;
                    if (bAfterCommand && pHalf->nRecords > 0 &&
                        pHalf->records[pHalf->nRecords - 1].nBlock == nHalfBlocks)
                        --pHalf->nRecords;
                }
                pCut[1] = KST_END;
                dwOut = static_cast<DWORD>(nCut) + 2;
                --nBlock;
            } else if (!bEndCode) {
                // Stopped at the division point without any command to cut at: close the
                // half with an end code there.
                static const BYTE endCode[2] = {KST_COMMAND, KST_END};
                if (!append(endCode))
                    return false;
                --nBlock;
            }

            tagKstHeader& header = pHalf->header;
            header.dwStitchOffset =
                KST_HEADER_SIZE + 4 + 8 * nHalfBlocks + KST_BLOCK_RECORD_SIZE * pHalf->nRecords;
            header.dwFlags = KST_FLAGS_HALF;
            memcpy(reinterpret_cast<BYTE*>(&header) + offsetof(tagKstHeader, szDateTime),
                   reinterpret_cast<const BYTE*>(&pSource->header) +
                       offsetof(tagKstHeader, szDateTime),
                   16);
            header.nColors = nHalfBlocks;
            header.nUnits = static_cast<LONG>(dwOut / 2);
            header.nHoop = KST_HOOP_HALF;
            SetFrameData(&header, -nMinX, -nMinY, nMaxX, nMaxY);

            WriteHeaderAndTables(file, pHalf, nHalfBlocks);
            WriteLong(file, pHalf->nRecords);
            file.Write(pHalf->records, static_cast<UINT>(KST_BLOCK_RECORD_SIZE * pHalf->nRecords));
            WriteStitches(file, pHalf->stitches, dwOut);

            const LONGLONG nLength = static_cast<LONGLONG>(file.GetLength());
            const LONGLONG nConsumed = consumed();
            if (nLength > INT_MAX)
                return false;
            if (0 < nConsumed && nConsumed <= nDivision + 1)
                nSize1 = static_cast<int>(nLength);
            if (nDivision + 1 < nConsumed && nConsumed <= nUnits)
                nSize2 = static_cast<int>(nLength - nSize1);

            px = hx;
            py = hy - kHoopCentreOffset;
            nEnd = nUnits;
        }
        return true;
    };

    bool bBuilt = false;
    try {
        bBuilt = buildHalves();
    } catch (CMemoryException*) {
        free(pHalf);
        nSize1 = 0;
        nSize2 = 0;
        throw;
    }
    free(pHalf);
    if (!bBuilt || static_cast<ULONGLONG>(nSize1) + nSize2 != file.GetLength()) {
        nSize1 = 0;
        nSize2 = 0;
        return NULL;
    }
    return file.Detach();
}

bool CConvert::PlusToKst(BYTE** ppData, int* pnLength) {
    if (ppData == NULL || *ppData == NULL || pnLength == NULL)
        return false;
    const BYTE* pSource = *ppData;
    tagKstHeader header;
    memcpy(&header, pSource, sizeof header);
    const LONG nColors = header.nColors;
    const LONG nUnits = header.nUnits;
    if (header.dwStitchOffset < KST_HEADER_SIZE || nColors < 1 || nColors > KST_MAX_COLORS ||
        nUnits < 1 || nUnits > KST_MAX_UNITS)
        return false;

    m_pWorkBuffer = static_cast<BYTE*>(malloc(sizeof(KST_WORK_IMAGE)));
    if (m_pWorkBuffer == NULL)
        return false;
    memset(m_pWorkBuffer, 0, sizeof(KST_WORK_IMAGE));
    KST_WORK_IMAGE* pWork = reinterpret_cast<KST_WORK_IMAGE*>(m_pWorkBuffer);
    auto releaseWork = [&] {
        free(m_pWorkBuffer);
        m_pWorkBuffer = NULL;
    };

    pWork->header = header;
    pWork->header.dwStitchOffset = KST_HEADER_SIZE + 8 * nColors;
    pWork->header.dwFlags = KST_FLAGS_PLAIN;
    GetTime(reinterpret_cast<char*>(&pWork->header) + offsetof(tagKstHeader, szDateTime));

    const BYTE* pTables = pSource + KST_HEADER_SIZE;
    memcpy(pWork->nColors, pTables, 4 * nColors);
    memcpy(pWork->nTypes, pTables + 4 * nColors, 4 * nColors);
    LONG nRecords;
    memcpy(&nRecords, pTables + 8 * nColors, sizeof nRecords);
    if (nRecords < 0 || nRecords > KST_MAX_BLOCK_RECORDS) {
        releaseWork();
        return false;
    }
    pWork->nRecords = nRecords;
    const BYTE* pRecords = pTables + 8 * nColors + 4;
    memcpy(pWork->records, pRecords, KST_BLOCK_RECORD_SIZE * nRecords);
    memcpy(&m_nDivisionPoint, pRecords + KST_BLOCK_RECORD_SIZE * nRecords, sizeof m_nDivisionPoint);
    memcpy(pWork->stitches, pSource + header.dwStitchOffset, 2 * nUnits);

    free(*ppData);
    *ppData = NULL;
    *pnLength = 0;

    const LONG nRecordSection = KST_BLOCK_RECORD_SIZE * nRecords + 4;
    int nSections = nRecords > 0 ? 1 : 0;
    BYTE* pHalves = NULL;
    int nSize1 = 0;
    int nSize2 = 0;
    BYTE* pPlain = NULL;
    ULONGLONG nPlainLength = 0;
    try {
        if (pWork->header.nHoop == KST_HOOP_LARGE) {
            pHalves = DivisionVastData(nSize1, nSize2);
            if (pHalves == NULL) {
                releaseWork();
                return false;
            }
            nSections += (nSize1 > 0 ? 1 : 0) + (nSize2 > 0 ? 1 : 0);
        }

        CMemFile file(1024);
        WriteHeaderAndTables(file, pWork, nColors);
        WriteStitches(file, pWork->stitches, 2 * nUnits);
        if (nSections > 0) {
            const BYTE bySections = static_cast<BYTE>(nSections);
            file.Write(KST_TRAILER_TAG, KST_TRAILER_TAG_SIZE);
            file.Write(&bySections, 1);
            if (nRecords > 0) {
                WriteLong(file, KST_SECTION_BLOCKS);
                WriteLong(file, nRecordSection);
            }
            if (nSize1 > 0) {
                WriteLong(file, KST_SECTION_HALF1);
                WriteLong(file, nSize1);
            }
            if (nSize2 > 0) {
                WriteLong(file, KST_SECTION_HALF2);
                WriteLong(file, nSize2);
            }
            if (nRecords > 0) {
                WriteLong(file, nRecords);
                file.Write(pWork->records, static_cast<UINT>(KST_BLOCK_RECORD_SIZE * nRecords));
            }
            if (nSize1 + nSize2 > 0)
                file.Write(pHalves, static_cast<UINT>(nSize1 + nSize2));
        }
        nPlainLength = file.GetLength();
        pPlain = file.Detach();
    } catch (CMemoryException* e) {
        e->Delete();
        free(pHalves);
        releaseWork();
        return false;
    }
    free(pHalves);
    releaseWork();
    if (pPlain == NULL || nPlainLength > INT_MAX) {
        free(pPlain);
        return false;
    }
    *ppData = pPlain;
    *pnLength = static_cast<int>(nPlainLength);
    return true;
}
