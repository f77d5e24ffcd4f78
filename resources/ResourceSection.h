// The library's resources as its module's resource section holds them: each with its type
// and identifier and the bytes the resource compiler would lay out.
#pragma once

#include <windows.h>

struct RESOURCEENTRY {
    LPCSTR lpType; // RT_DIALOG, RT_BITMAP
    WORD wID;
    const BYTE* pData;
    DWORD cbData;
};

// Every resource of the library, built once on first use and kept until the process ends.
// *pnCount receives their number.
const RESOURCEENTRY* GetResourceSection(int* pnCount);
