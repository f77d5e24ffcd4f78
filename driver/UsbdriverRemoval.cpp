// The removal of a damaged driver installation: the administrators' test and the deletion of
// the driver's files and of the device's enumeration key, which on the NT family is first
// opened to everyone, key by key, since the system protects it.
#include "stdafx.h"

#include "driver/UsbdriverDlg.h"

#include <shellapi.h>

namespace {

// Subkey names are read up to this many characters.
const DWORD kMaxSubkeyName = 260;
// The first guess at the size of a key's security descriptor.
const DWORD kSecurityGuess = 1000;
// The entry that opens a key to everyone: all key access, inherited by keys and values below.
const BYTE kWorldAceFlags = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
const DWORD kWorldAceMask = KEY_ALL_ACCESS;
// Reading a key with the right to change its access list.
const REGSAM kReadAndWriteDac = KEY_READ | WRITE_DAC;

const char kDeleteProgressTitle[] = "file delete...";

// The name of the subkey at dwIndex: ERROR_SUCCESS, ERROR_NO_MORE_ITEMS, or another error
// (ERROR_MORE_DATA for a name longer than kMaxSubkeyName).
LONG SubkeyAt(HKEY hKey, DWORD dwIndex, CString& strName) {
    char szName[kMaxSubkeyName + 1] = {};
    DWORD cchName = kMaxSubkeyName + 1;
    LONG lResult = ::RegEnumKeyExA(hKey, dwIndex, szName, &cchName, NULL, NULL, NULL, NULL);
    if (lResult == ERROR_SUCCESS)
        strName = szName;
    return lResult;
}

// The shell's list form of the paths that are not empty: each followed by a zero byte, one
// more zero byte at the end. NULL when there is none or no memory (*pbNoMemory set).
char* BuildDeleteList(const CString* pPaths, int nPaths, bool* pbNoMemory) {
    size_t nSize = 1;
    for (int i = 0; i < nPaths; ++i)
        if (!pPaths[i].IsEmpty())
            nSize += static_cast<size_t>(pPaths[i].GetLength()) + 1;
    *pbNoMemory = false;
    if (nSize == 1)
        return NULL;
    char* pList = static_cast<char*>(malloc(nSize));
    if (pList == NULL) {
        *pbNoMemory = true;
        return NULL;
    }
    memset(pList, 0, nSize);
    char* pNext = pList;
    for (int i = 0; i < nPaths; ++i) {
        if (pPaths[i].IsEmpty())
            continue;
        memcpy(pNext, pPaths[i].GetString(), static_cast<size_t>(pPaths[i].GetLength()));
        pNext += pPaths[i].GetLength() + 1;
    }
    return pList;
}

} // namespace

bool CUsbdriverDlg::IsGroupMember(DWORD dwRid) {
    if (m_nPlatform == DRIVER_PLATFORM_9X)
        return true; // no security on that family

    HANDLE hToken = NULL;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &hToken))
        return false;
    DWORD cbGroups = 0;
    PTOKEN_GROUPS pGroups = NULL;
    ::GetTokenInformation(hToken, TokenGroups, NULL, 0, &cbGroups);
    if (cbGroups != 0) {
        pGroups = static_cast<PTOKEN_GROUPS>(malloc(cbGroups));
        if (pGroups != NULL) {
            memset(pGroups, 0, cbGroups);
            if (!::GetTokenInformation(hToken, TokenGroups, pGroups, cbGroups, &cbGroups)) {
                free(pGroups);
                pGroups = NULL;
            }
        }
    }
    ::CloseHandle(hToken);
    if (pGroups == NULL)
        return false;

    bool bMember = false;
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID pGroupSid = NULL;
    if (::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, dwRid, 0, 0, 0, 0,
                                   0, 0, &pGroupSid)) {
        for (DWORD i = 0; i < pGroups->GroupCount && !bMember; ++i)
            bMember = ::EqualSid(pGroups->Groups[i].Sid, pGroupSid) != FALSE;
        ::FreeSid(pGroupSid);
    }
    free(pGroups);
    return bMember;
}

bool CUsbdriverDlg::RemoveDriver() {
    // The files, in one operation of the shell.
    bool bFilesDeleted = true;
    const CString paths[] = {m_strDriverFile, m_strInfFile, m_strPnfFile};
    bool bNoMemory = false;
    char* pFrom = BuildDeleteList(paths, static_cast<int>(_countof(paths)), &bNoMemory);
    if (bNoMemory)
        bFilesDeleted = false;
    if (pFrom != NULL) {
        SHFILEOPSTRUCTA operation;
        memset(&operation, 0, sizeof operation);
        operation.hwnd = m_hWnd; // null by now: the dialog has closed
        operation.wFunc = FO_DELETE;
        operation.pFrom = pFrom;
        operation.pTo = NULL;
        operation.fFlags = FOF_SIMPLEPROGRESS | FOF_NOCONFIRMATION;
        operation.lpszProgressTitle = kDeleteProgressTitle;
        if (::SHFileOperationA(&operation) != 0)
            bFilesDeleted = false;
        free(pFrom);
    }

    // The device key; runs whatever became of the files.
    if (m_strRegKey.IsEmpty())
        return bFilesDeleted;
    if (m_nPlatform == DRIVER_PLATFORM_9X) {
        // That family deletes the whole tree; its answer tells nothing more.
        ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, m_strRegKey);
        return bFilesDeleted;
    }
    if (m_nPlatform != DRIVER_PLATFORM_NT)
        return bFilesDeleted;

    PSID pWorldSid = NULL;
    PSECURITY_DESCRIPTOR pOldSD = NULL;
    PACL pNewAcl = NULL;
    PACCESS_ALLOWED_ACE pNewAce = NULL;
    SECURITY_DESCRIPTOR newSD;
    bool bSecured = false;
    do {
        SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
        if (!::AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                        &pWorldSid))
            break;

        // The key's discretionary list, in a block of the size the system asks for.
        HKEY hKey = NULL;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, m_strRegKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
            break;
        DWORD cbSD = kSecurityGuess;
        pOldSD = malloc(cbSD);
        LONG lResult = ERROR_NOT_ENOUGH_MEMORY;
        if (pOldSD != NULL) {
            memset(pOldSD, 0, cbSD);
            lResult = ::RegGetKeySecurity(hKey, DACL_SECURITY_INFORMATION, pOldSD, &cbSD);
            if (lResult == ERROR_INSUFFICIENT_BUFFER) {
                free(pOldSD);
                pOldSD = malloc(cbSD);
                lResult = ERROR_NOT_ENOUGH_MEMORY;
                if (pOldSD != NULL) {
                    memset(pOldSD, 0, cbSD);
                    lResult = ::RegGetKeySecurity(hKey, DACL_SECURITY_INFORMATION, pOldSD, &cbSD);
                }
            }
        }
        ::RegCloseKey(hKey);
        if (lResult != ERROR_SUCCESS)
            break;

        if (!::InitializeSecurityDescriptor(&newSD, SECURITY_DESCRIPTOR_REVISION))
            break;
        BOOL bPresent = FALSE;
        BOOL bDefaulted = FALSE;
        PACL pOldAcl = NULL;
        if (!::GetSecurityDescriptorDacl(pOldSD, &bPresent, &pOldAcl, &bDefaulted) || !bPresent)
            break;
        ACL_SIZE_INFORMATION oldSize;
        memset(&oldSize, 0, sizeof oldSize);
        oldSize.AclBytesInUse = sizeof(ACL); // a null list grants everything and holds nothing
        if (pOldAcl != NULL &&
            !::GetAclInformation(pOldAcl, &oldSize, sizeof oldSize, AclSizeInformation))
            break;

        // The new list: everyone first, then the old entries in their order.
        DWORD cbSid = ::GetLengthSid(pWorldSid);
        DWORD cbAce = sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + cbSid;
        DWORD cbNewAcl = oldSize.AclBytesInUse + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + cbSid;
        pNewAcl = static_cast<PACL>(malloc(cbNewAcl));
        if (pNewAcl == NULL || !::InitializeAcl(pNewAcl, cbNewAcl, ACL_REVISION))
            break;
        pNewAce = static_cast<PACCESS_ALLOWED_ACE>(malloc(cbAce));
        if (pNewAce == NULL)
            break;
        memset(pNewAce, 0, cbAce);
        pNewAce->Header.AceType = ACCESS_ALLOWED_ACE_TYPE;
        pNewAce->Header.AceFlags = kWorldAceFlags;
        pNewAce->Header.AceSize = static_cast<WORD>(cbAce);
        pNewAce->Mask = kWorldAceMask;
        if (!::CopySid(cbSid, &pNewAce->SidStart, pWorldSid))
            break;
        if (!::AddAce(pNewAcl, ACL_REVISION, MAXDWORD, pNewAce, cbAce))
            break;
        bool bCopied = true;
        for (DWORD i = 0; pOldAcl != NULL && i < oldSize.AceCount && bCopied; ++i) {
            LPVOID pOldAce = NULL;
            bCopied = ::GetAce(pOldAcl, i, &pOldAce) &&
                      ::AddAce(pNewAcl, ACL_REVISION, MAXDWORD, pOldAce,
                               static_cast<PACE_HEADER>(pOldAce)->AceSize);
        }
        if (!bCopied || !::SetSecurityDescriptorDacl(&newSD, TRUE, pNewAcl, FALSE))
            break;

        bSecured = SetKeySecurityTree(HKEY_LOCAL_MACHINE, m_strRegKey, &newSD);
    } while (false);
    FreeSecurityObjects(pWorldSid, pOldSD, pNewAcl, pNewAce);
    if (!bSecured)
        return false;

    if (!DeleteKeyTree(HKEY_LOCAL_MACHINE, m_strRegKey))
        return false;
    if (::RegDeleteKeyA(HKEY_LOCAL_MACHINE, m_strRegKey) != ERROR_SUCCESS)
        return false;
    return bFilesDeleted;
}

bool CUsbdriverDlg::SetKeySecurityTree(HKEY hRoot, LPCSTR lpszPath, PSECURITY_DESCRIPTOR pSD) {
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(hRoot, lpszPath, 0, kReadAndWriteDac, &hKey) != ERROR_SUCCESS)
        return false;
    bool bResult = true;
    for (DWORD dwIndex = 0;; ++dwIndex) {
        CString strName;
        LONG lResult = SubkeyAt(hKey, dwIndex, strName);
        if (lResult == ERROR_NO_MORE_ITEMS)
            break;
        if (lResult != ERROR_SUCCESS) {
            bResult = false;
            if (lResult == ERROR_MORE_DATA)
                continue; // a name too long to be read: that key is not reached
            break;
        }
        CString strSubkey = CString(lpszPath) + "\\" + strName;
        if (!SetKeySecurityTree(hRoot, strSubkey, pSD))
            bResult = false;
    }
    // The key's own list is set after those of every key below it.
    if (::RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, pSD) != ERROR_SUCCESS)
        bResult = false;
    ::RegCloseKey(hKey);
    return bResult;
}

bool CUsbdriverDlg::DeleteKeyTree(HKEY hRoot, LPCSTR lpszPath) {
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(hRoot, lpszPath, 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS)
        return false;
    bool bSkipped = false;
    CString strEmptied; // the subkey just emptied, met again at the same index
    DWORD dwIndex = 0;
    for (;;) {
        CString strName;
        LONG lResult = SubkeyAt(hKey, dwIndex, strName);
        if (lResult == ERROR_NO_MORE_ITEMS)
            break;
        if (lResult != ERROR_SUCCESS) {
            bSkipped = true;
            if (lResult != ERROR_MORE_DATA)
                break;
            ++dwIndex;
            continue;
        }
        if (::RegDeleteKeyA(hKey, strName) == ERROR_SUCCESS) {
            strEmptied.Empty(); // the next subkey moves to this index
            continue;
        }
        if (strName == strEmptied || !DeleteKeyTree(hRoot, CString(lpszPath) + "\\" + strName)) {
            strEmptied.Empty();
            bSkipped = true;
            ++dwIndex;
            continue;
        }
        strEmptied = strName;
    }
    ::RegCloseKey(hKey);
    return !bSkipped;
}

void CUsbdriverDlg::FreeSecurityObjects(PSID pWorldSid, PSECURITY_DESCRIPTOR pOldSD, PACL pNewAcl,
                                        PACCESS_ALLOWED_ACE pNewAce) {
    if (pWorldSid != NULL)
        ::FreeSid(pWorldSid);
    free(pOldSD);
    free(pNewAcl);
    free(pNewAce);
}
