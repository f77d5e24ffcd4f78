// The folder-information blob: a 32-bit record count, then the records back to back, each a
// 32-bit record length, kind, width and height and the zero-terminated entry name, padded with
// zeros to a multiple of 4 bytes. All integers are little-endian. The machine sends one for a
// folder on its media; the functions here write one for a folder on the PC, as the machine
// sees it when it browses the PC.
#pragma once

#include <afx.h>

#define FOLDERINFO_COUNT_SIZE 4
#define FOLDERINFO_RECORD_HEADER 16 // length, kind, width, height
#define FOLDERINFO_KIND_FOLDER (-1)
// Largest blob a service answer can carry (its length is a 16-bit quantity).
#define FOLDERINFO_MAX_SERVICE_SIZE 0xFFFF

// Smallest stitch-data offset of a design that the PC listing accepts.
#define FOLDERINFO_MIN_STITCH_OFFSET 116
#define FOLDERINFO_HOOP_EXTENDED_ONLY 14 // accepted for extended designs besides 0 to 5
#define FOLDERINFO_MAX_HOOP 5

// Length of the record of an entry name of nNameLength characters: the 16-byte record head
// and the name with its terminator, raised to the next multiple of 4.
UINT FolderInfoRecordLength(size_t nNameLength);

// Whether the first nLength bytes of a design file (nFileLength bytes in all; nLength may be
// less when only the head was read) make a design that the PC listing shows. On success the
// record's kind (the hoop code), width (left + right extent) and height (top + bottom) are
// stored when their pointers are given.
BOOL FolderInfoAcceptDesign(const BYTE* pData, size_t nLength, ULONGLONG nFileLength,
                            BOOL bExtended, LONG* pnKind, LONG* pnWidth, LONG* pnHeight);

// Lists the PC folder pszFolder (entries in the order the file system delivers them): visible
// subfolders, and design files (".kst" plain, ".kst+" extended, compared without regard to
// case) that pass FolderInfoAcceptDesign; a design file that cannot be opened or read is left
// out. A folder that does not exist or cannot be listed gives the 4-byte blob with count 0.
// Returns the blob (release it with free) and its byte size in *pnSize, or NULL when memory
// for it cannot be had.
BYTE* FolderInfoBuild(LPCSTR pszFolder, UINT* pnSize);

// One record of a blob, read: its length, kind, width, height and entry name (which ends at its
// terminator or at the record's end, whichever comes first).
struct FOLDERINFO_RECORD {
    DWORD dwLength;
    LONG nKind;
    LONG nWidth;
    LONG nHeight;
    CString strName;
};
// Reads the record at pRecord, which must be one of the whole records FolderInfoFit counts
// (at least FOLDERINFO_RECORD_HEADER bytes, all of them inside the blob). Returns the next
// record's address.
const BYTE* FolderInfoRead(const BYTE* pRecord, FOLDERINFO_RECORD* pRead);

// The length of the longest run of whole records at the start of the blob of nSize bytes
// whose total (with the count) is at most nLimit, and the number of those records in
// *pnCount. Records are walked as far as they lie inside nSize bytes and are at least
// FOLDERINFO_RECORD_HEADER long; a blob too short for its count gives 0.
UINT FolderInfoFit(const BYTE* pBlob, UINT nSize, UINT nLimit, DWORD* pnCount);
