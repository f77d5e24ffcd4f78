// The machine's embroidery design format: the 116-byte header, the two per-colour tables,
// the stitch data with its command codes, the "ENHANCE" trailer and the extended variant.
// All integers are little-endian; the records below are laid out byte for byte.
#pragma once

#include <windows.h>

// Stitch-unit command codes (second byte after the 0x80 marker).
#define KST_COMMAND 0x80
#define KST_COLOR_CHANGE 0x01
#define KST_JUMP 0x02
#define KST_COLOR_CHANGE_ALT 0x03 // a colour change for the large-hoop division only
#define KST_JUMP_ALT 0x04
#define KST_END 0x10

#define KST_HEADER_SIZE 116
#define KST_FLAGS_PLAIN 20
#define KST_FLAGS_HALF 21
#define KST_MAX_COLORS 78
#define KST_MAX_UNITS 100000
#define KST_HOOP_LARGE 5
#define KST_HOOP_HALF 4
#define KST_BLOCK_RECORD_SIZE 44
#define KST_MAX_BLOCK_RECORDS 78
#define KST_TYPE_DIVIDED 13
#define KST_TRAILER_TAG "ENHANCE"
#define KST_TRAILER_TAG_SIZE 7

// Trailer section types.
#define KST_SECTION_BLOCKS 0
#define KST_SECTION_HALF1 1
#define KST_SECTION_HALF2 2

// Size of the work buffers used by the conversion and the division into parts: a header,
// two tables of 78 entries, a block-record block of 78 records and 750000 bytes of stitches.
#define KST_WORK_STITCH_AREA 750000
#define KST_WORK_BUFFER_SIZE                                                                       \
    (KST_HEADER_SIZE + 8 * KST_MAX_COLORS + 4 + KST_BLOCK_RECORD_SIZE * KST_MAX_BLOCK_RECORDS +    \
     KST_WORK_STITCH_AREA)

#pragma pack(push, 1)
struct tagKstHeader {
    DWORD dwStitchOffset; // 0: offset of the first stitch unit
    DWORD dwFlags;        // 4: 20 plain, 21 large-hoop half
    char szDateTime[14];  // 8: "YYYYMMDDhhmmss", no terminator
    BYTE byDivideNo1;     // 22: first divide-number byte
    BYTE byDivideNo2;     // 23: second divide-number byte
    LONG nColors;         // 24: colour blocks and table entries
    LONG nUnits;          // 28: 2-byte stitch units, end code included, padding excluded
    LONG nHoop;           // 32: 5 large two-position hoop, 4 one of its halves
    LONG rcExtents[4];    // 36: left, top, right, bottom distances from the origin
    LONG rcMarginA[4];    // 52: hoop 550 x 550
    LONG rcMarginB[4];    // 68: hoop 250 x 250
    LONG rcMarginC[4];    // 84: hoop 700 x 1000
    LONG rcMarginD[4];    // 100: as hoop C
};

struct tagKstBlockRecord {
    LONG nBlock;    // 0-based colour block the record belongs to
    LONG nData[10]; // carried unchanged
};
#pragma pack(pop)

static_assert(sizeof(tagKstHeader) == KST_HEADER_SIZE, "design header is 116 bytes");
static_assert(sizeof(tagKstBlockRecord) == KST_BLOCK_RECORD_SIZE, "block record is 44 bytes");
static_assert(KST_WORK_BUFFER_SIZE == 754176, "work buffer size");

// One section of an "ENHANCE" trailer: its type, its size and where its body starts (a byte
// offset from the start of the design).
struct KST_SECTION {
    LONG nType;
    LONG nSize;
    DWORD dwOffset;
};

// The structural check. nLength is the number of bytes the caller has (SIZE_MAX when the
// caller trusts the buffer); nothing at or beyond it is read, and a design that would need
// it is not well formed. With bUpperBounds the colour count must also be at most 78 and the
// unit count at most 100000. When the header could be read, *pdwProperLength (if given)
// receives the length of the design proper: stitch-data offset + 2 x unit count.
BOOL KstCheckStructure(const BYTE* pData, size_t nLength, BOOL bUpperBounds,
                       DWORD* pdwProperLength);

// Whether the stitch data, walked as the structural check walks it, ends on the end code in its
// last unit. Only the end code as a command counts: a jump's displacement unit may read
// (0x80, 0x10). FALSE when the walk would leave the nLength bytes of the buffer.
BOOL KstEndsWithEndCode(const BYTE* pData, size_t nLength);

// Writes the creation time (local time) as "YYYYMMDDhhmmss" into a 16-byte field: 14
// digits followed by two zero bytes.
void KstFormatDateTime(char* pszText16);

// Writes the extents (left, top, right, bottom) and the four hoop margins derived from them.
void KstSetExtents(tagKstHeader* pHeader, LONG nLeft, LONG nTop, LONG nRight, LONG nBottom);

// Offset of the trailer: stitch-data offset + 2 x (unit count + unit count mod 2).
DWORD KstTrailerOffset(const tagKstHeader* pHeader);

// Reads the trailer of a design of nLength bytes. Returns the number of sections (0 when the
// design has no trailer) and fills up to nMax entries; returns -1 when the trailer is
// malformed: a directory or a section body that does not lie inside the buffer.
int KstReadTrailer(const BYTE* pData, size_t nLength, KST_SECTION* pSections, int nMax);

// Number of block records in a block-record section (type 0) found by KstReadTrailer: the
// stored count m when the 4-byte count and m records of 44 bytes lie inside the section, -1
// when the section is too short for its count or the count is negative. The records follow
// the count at pSection->dwOffset + 4.
LONG KstSectionRecordCount(const BYTE* pData, const KST_SECTION* pSection);
