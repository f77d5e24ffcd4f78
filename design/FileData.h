// CFileData: the host's record of one design held in memory (its bytes, length and name on the
// machine), and the operations that cut a design into parts of a bounded number of stitch units.
#pragma once

#include <afx.h>

#include "design/KstFormat.h"

class AFX_EXT_CLASS CFileData {
public:
    CFileData();
    CFileData(const CFileData& other);
    CFileData& operator=(const CFileData& other);
    ~CFileData();

    // Checks the design (structure and upper bounds) and stamps its two divide-number bytes:
    // cFirst at header offset 22, the low 8 bits of nSecond at offset 23. nReserved is not
    // consulted. false, and the design unchanged, when the design is malformed.
    static bool SetDivideNo(BYTE* pData, int nReserved, int nSecond, char cFirst);

    // Appends jump units that move the needle from ptFrom to ptTo (downward vertical axis),
    // none for no move, and advances pUnit past them.
    static void JumpStitch(POINT ptFrom, POINT ptTo, WORD*& pUnit);

    // Writes the part of pSource that starts at colour block nPosition (1-based) into pPart
    // (KST_WORK_BUFFER_SIZE bytes, never written beyond) and returns its length; nPosition then
    // holds the block at which the next part starts, or 0 after the part that reaches the
    // design's end. 0 when no part was written: the position is past the last block, a block
    // does not fit nBudget units, or the part would not fit pPart.
    // The source is trusted: check it first (SetDivideNo, or KstCheckStructure and
    // KstReadTrailer against its length). Its trailer tag is looked for right after the stitch
    // data and padding, so 8 bytes there must be readable even when the design has no trailer.
    static int DivideKst(const BYTE* pSource, int& nPosition, BYTE* pPart, int nBudget, int nFirst,
                         int nSecond);

    // The design buffer (not owned), held as a pointer-sized value.
    DWORD_PTR m_pData;
    int m_nLength;
    CString m_strFileName;
};
