#include "stdafx.h"

#include "dialogs/browser/ReceiveDesignDialog.h"

#include "dialogs/browser/DesignSelectDlg.h"

namespace {

const int kFailed = 3;

// A process-heap block holding a copy of the bytes; NULL when it cannot be had.
BYTE* HeapCopy(const BYTE* pData, DWORD nSize) {
    BYTE* pBlock = static_cast<BYTE*>(::HeapAlloc(::GetProcessHeap(), HEAP_NO_SERIALIZE, nSize));
    if (pBlock != NULL && nSize > 0)
        memcpy(pBlock, pData, nSize);
    return pBlock;
}

} // namespace

extern "C" AFX_EXT_API int ReceiveDesignDialog(HWND hWnd, BYTE** ppDesign, DWORD* pnDesignSize,
                                               char* pszName, BYTE** ppCompanion,
                                               DWORD* pnCompanionSize, DWORD* pnMedium,
                                               BYTE* pbShowAll) {
    *ppDesign = NULL;
    *pnDesignSize = 0;
    *ppCompanion = NULL;
    *pnCompanionSize = 0;
    if (pszName == NULL)
        return kFailed;

    CDesignSelectDlg dialog(*pnMedium, *pbShowAll, CWnd::FromHandle(hWnd));
    const INT_PTR nResult = dialog.DoModal();
    if (nResult == IDOK) {
        memcpy(pszName, static_cast<LPCSTR>(dialog.m_strDesignName),
               dialog.m_strDesignName.GetLength() + 1);
        *ppDesign = HeapCopy(dialog.m_pDesignData, dialog.m_nDesignSize);
        if (*ppDesign != NULL) {
            *pnDesignSize = dialog.m_nDesignSize;
            *ppCompanion = HeapCopy(dialog.m_pCompanionData, dialog.m_nCompanionSize);
            if (*ppCompanion != NULL)
                *pnCompanionSize = dialog.m_nCompanionSize;
        }
        if (*ppDesign == NULL || *ppCompanion == NULL) {
            ::MessageBoxA(hWnd, "Short of memory space. Close all other applications.",
                          "Receive a Design", MB_ICONHAND);
            return kFailed;
        }
    }
    *pnMedium = dialog.m_nMedium;
    *pbShowAll = dialog.m_bShowAll;
    return static_cast<int>(nResult);
}
