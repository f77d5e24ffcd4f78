#include "stdafx.h"
#include "command/FileInfo.h"

BOOL FileInfoSet(FILEINFO* pInfo, LPCSTR pszPath) {
    if (pInfo == NULL)
        return FALSE;
    memset(pInfo->szPath, 0, sizeof pInfo->szPath);
    if (pszPath == NULL)
        return FALSE;
    const size_t nLength = strlen(pszPath);
    if (nLength >= sizeof pInfo->szPath)
        return FALSE;
    memcpy(pInfo->szPath, pszPath, nLength);
    return TRUE;
}
