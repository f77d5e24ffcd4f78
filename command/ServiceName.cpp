#include "stdafx.h"
#include "command/ServiceName.h"

BOOL ComServiceEntryName(const BYTE* pData, DWORD dwLength, BOOL bParentAllowed, CString& strName) {
    strName.Empty();
    if (pData == NULL || dwLength == 0)
        return FALSE;
    const void* pEnd = memchr(pData, 0, dwLength);
    if (pEnd == NULL)
        return FALSE; // no terminator inside the bytes
    const LPCSTR pszName = reinterpret_cast<LPCSTR>(pData);
    if (*pszName == '\0' || strchr(pszName, '\\') != NULL || strchr(pszName, '/') != NULL)
        return FALSE;
    if (strcmp(pszName, ".") == 0)
        return FALSE;
    if (strcmp(pszName, COM_PARENT_NAME) == 0 && !bParentAllowed)
        return FALSE;
    strName = pszName;
    return TRUE;
}

CString ComParentFolder(LPCSTR pszFolder) {
    CString strFolder(pszFolder != NULL ? pszFolder : "");
    for (int i = strFolder.GetLength() - 1; i >= 0; --i) {
        if (strFolder[i] == '\\' || strFolder[i] == '/')
            return strFolder.Left(i);
    }
    return CString();
}
