// CConvert turns an extended design (".kst+") into the plain design the machine loads. The
// block records and, for a design laid out for the large two-position hoop, its two
// hoop-position halves move into the "ENHANCE" trailer behind the stitch data.
#pragma once

#include "design/KstFormat.h"

// The image of one design while it is converted or divided: a header, the two per-colour
// tables, the block-record block and the stitch area, each with its full capacity.
struct KST_WORK_IMAGE {
    tagKstHeader header;
    LONG nColors[KST_MAX_COLORS];
    LONG nTypes[KST_MAX_COLORS];
    LONG nRecords;
    tagKstBlockRecord records[KST_MAX_BLOCK_RECORDS];
    BYTE stitches[KST_WORK_STITCH_AREA];
};

static_assert(sizeof(KST_WORK_IMAGE) == KST_WORK_BUFFER_SIZE, "work image layout");

class AFX_EXT_CLASS CConvert {
public:
    CConvert();
    CConvert(const CConvert& other);
    ~CConvert();
    CConvert& operator=(const CConvert& other);

    // *ppData is an extended design in a malloc block. On success it is released and replaced
    // by the plain design (a malloc block for the caller to free), and *pnLength receives its
    // length. When the input is rejected (header, work buffer, block-record count) both slots
    // are untouched. Any later failure has already released the input: *ppData is then null
    // and *pnLength 0.
    bool PlusToKst(BYTE** ppData, int* pnLength);

protected:
    // Writes the current local time as 14 digits followed by two zero bytes (16 bytes).
    void GetTime(char* pszText);

    // Cuts the stitch data in the work buffer at the division point into the halves for the
    // two hoop positions. Returns one malloc block holding the first half followed by the
    // second, with nSize1 + nSize2 equal to its length; null with both sizes 0 on failure.
    BYTE* DivisionVastData(int& nSize1, int& nSize2);

    // Appends the units that move the needle from ptFrom to ptTo (jumps of at most 127 and
    // a final stitch landing on ptTo) at pOut + *pdwPos and advances *pdwPos.
    void JoinStitch(POINT ptFrom, POINT ptTo, BYTE* pOut, DWORD* pdwPos);

    // Writes the extents and the four hoop margins derived from them into the header.
    void SetFrameData(tagKstHeader* pHeader, LONG nLeft, LONG nTop, LONG nRight, LONG nBottom);

    BYTE* m_pWorkBuffer;   // a KST_WORK_IMAGE during PlusToKst, null between calls
    LONG m_nDivisionPoint; // unit index of the last unit of the first half, 0 if undivided
};
