// ReceiveDesignDialog: the host's entry to the machine's storage. It shows "Receive a Design"
// and, when the user has received a design, hands it over as process-heap blocks.
#pragma once

#include "stdafx.h"

// Shows the browser owned by hWnd, starting on *pnMedium (1 built-in memory, 2 ATA card, 3 USB
// memory) with "Show RZ design only" checked when *pbShowAll is 0.
//
// On IDOK (1): *ppDesign holds the design file followed by one zero byte (*pnDesignSize bytes:
// its length + 1), pszName the design's name with its terminator (the buffer must be large
// enough: it is written without a bound), *ppCompanion its ".rzf" companion followed by a zero
// byte, or a block of no bytes (*pnCompanionSize 0) when there is none. The blocks come from
// HeapAlloc(GetProcessHeap(), HEAP_NO_SERIALIZE, ...); the host releases them.
// *pnMedium and *pbShowAll receive the medium shown last and the filter flag (0 while "Show RZ
// design only" is checked).
//
// Returns the dialog's result (IDOK, IDCANCEL when closed, -1 when it cannot be shown), or 3
// when pszName is NULL or a block cannot be allocated. The four block out-values are cleared
// first in every case.
extern "C" AFX_EXT_API int ReceiveDesignDialog(HWND hWnd, BYTE** ppDesign, DWORD* pnDesignSize,
                                               char* pszName, BYTE** ppCompanion,
                                               DWORD* pnCompanionSize, DWORD* pnMedium,
                                               BYTE* pbShowAll);
