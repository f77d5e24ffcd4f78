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
    if (*pszName == '\0' || strpbrk(pszName, "\\/:") != NULL || ComIsDeviceName(pszName))
        return FALSE;
    if (strcmp(pszName, ".") == 0)
        return FALSE;
    if (strcmp(pszName, COM_PARENT_NAME) == 0 && !bParentAllowed)
        return FALSE;
    strName = pszName;
    return TRUE;
}

BOOL ComIsDeviceName(LPCSTR pszName) {
    // The stem: the text before the first '.', blanks at its end not counted.
    size_t nStem = strcspn(pszName, ".");
    while (nStem > 0 && pszName[nStem - 1] == ' ')
        --nStem;
    static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL"};
    for (LPCSTR pszDevice : kNames) {
        if (nStem == 3 && _strnicmp(pszName, pszDevice, 3) == 0)
            return TRUE;
    }
    if (nStem != 4 || (_strnicmp(pszName, "COM", 3) != 0 && _strnicmp(pszName, "LPT", 3) != 0))
        return FALSE;
    const BYTE byDigit = static_cast<BYTE>(pszName[3]);
    // '1' to '9', and the superscripts 1, 2 and 3 of the ANSI code page.
    return (byDigit >= '1' && byDigit <= '9') || byDigit == 0xB9 || byDigit == 0xB2 ||
           byDigit == 0xB3;
}

CString ComParentFolder(LPCSTR pszFolder) {
    CString strFolder(pszFolder != NULL ? pszFolder : "");
    for (int i = strFolder.GetLength() - 1; i >= 0; --i) {
        if (strFolder[i] == '\\' || strFolder[i] == '/')
            return strFolder.Left(i);
    }
    return CString();
}
