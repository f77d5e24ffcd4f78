#include "stdafx.h"

#include "driver/UsbdriverDlg.h"

#include <algorithm>

namespace {

// The driver's file below the Windows directory, the setup information folders of the two
// families and the device's enumeration key (below HKEY_LOCAL_MACHINE; the 9x family keeps
// its enumeration tree at the root).
const char kDriversFolder[] = "\\System32\\Drivers\\";
const char kInfFolder9x[] = "\\Inf\\Other\\";
const char kInfFolderNt[] = "\\Inf\\";
const char kInfPatternNt[] = "oem*.inf";
const char kControlSetKey[] = "SYSTEM\\CurrentControlSet\\";
const char kDeviceKey[] = "Enum\\USB\\" DRIVER_DEVICE_KEY;
const char kDeviceDescValue[] = "DeviceDesc";

// Longest subkey name read (characters) and device description read (bytes).
const DWORD kMaxDeviceSubkey = 257;
const DWORD kMaxDeviceDesc = 128;

// The Windows directory, or false when the system gives none that fits MAX_PATH.
bool WindowsDirectory(CString& strDir) {
    char szDir[MAX_PATH + 1] = {};
    UINT nLength = ::GetWindowsDirectoryA(szDir, MAX_PATH);
    if (nLength == 0 || nLength >= MAX_PATH)
        return false;
    strDir = szDir;
    return true;
}

// Whether a file (or folder) of that name exists; fills *pFind when given.
bool LookUp(LPCSTR lpszPath, WIN32_FIND_DATAA* pFind = NULL) {
    WIN32_FIND_DATAA find = {};
    HANDLE hFind = ::FindFirstFileA(lpszPath, &find);
    if (hFind == INVALID_HANDLE_VALUE)
        return false;
    ::FindClose(hFind);
    if (pFind != NULL)
        *pFind = find;
    return true;
}

bool Contains(const char* pText, size_t nLength, const char* lpszWanted) {
    const char* pEnd = pText + nLength;
    return std::search(pText, pEnd, lpszWanted, lpszWanted + strlen(lpszWanted)) != pEnd;
}

enum InfMatch { INF_NO_MATCH, INF_MATCH, INF_NO_MEMORY };

// Reads a setup information file whole, without text translation, and looks for the driver's
// service name and the device's identifier in it. The content is searched over its whole
// length: a zero byte inside it does not end the search. A file that cannot be opened or read
// does not match.
InfMatch MatchInf(LPCSTR lpszPath) {
    CFile file;
    if (!file.Open(lpszPath, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary))
        return INF_NO_MATCH;
    InfMatch match = INF_NO_MATCH;
    char* pContent = NULL;
    TRY {
        ULONGLONG nLength = file.GetLength();
        if (nLength >= 0x7FFFFFFF) {
            match = INF_NO_MEMORY; // no buffer of that size can be had on the 32-bit system
        } else {
            pContent = static_cast<char*>(malloc(static_cast<size_t>(nLength) + 1));
            if (pContent == NULL) {
                match = INF_NO_MEMORY;
            } else {
                UINT nRead = 0;
                while (nRead < nLength) {
                    UINT nGot = file.Read(pContent + nRead, static_cast<UINT>(nLength) - nRead);
                    if (nGot == 0)
                        break; // the file became shorter while being read
                    nRead += nGot;
                }
                pContent[nRead] = '\0';
                if (Contains(pContent, nRead, DRIVER_SERVICE_NAME) &&
                    Contains(pContent, nRead, DRIVER_DEVICE_TEXT))
                    match = INF_MATCH;
            }
        }
        file.Close();
    }
    CATCH(CFileException, e) {
        e->Delete();
        file.Abort();
        match = INF_NO_MATCH;
    }
    END_CATCH
    free(pContent);
    return match;
}

} // namespace

BEGIN_MESSAGE_MAP(CUsbdriverDlg, CDialog)
ON_MESSAGE(WM_SEARCH_DRIVER, &CUsbdriverDlg::OnSearchDriver)
END_MESSAGE_MAP()

CUsbdriverDlg::CUsbdriverDlg(CWnd* pParent)
    : CDialog(CUsbdriverDlg::IDD, pParent), m_nResult(DRIVER_RESULT_NOT_FOUND),
      m_nPlatform(DRIVER_PLATFORM_UNKNOWN), m_bOldOs(true) {}

void CUsbdriverDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_DRIVER_WAIT, m_staticWait);
}

BOOL CUsbdriverDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // The search starts once the dialog is on the screen.
    PostMessage(WM_SEARCH_DRIVER, 0, 0);
    return TRUE;
}

LRESULT CUsbdriverDlg::OnSearchDriver(WPARAM /*wParam*/, LPARAM /*lParam*/) {
    CWaitCursor wait;
    SearchDriver();
    EndDialog(IDOK);
    return 0;
}

int CUsbdriverDlg::SearchDriver() {
    DetectOsVersion();
    // All three always run, so that every finding is known.
    bool bFile = FindDriverFile();
    bool bInf = FindDriverInf();
    bool bRegistry = FindDriverRegistry();
    if (bFile && bInf && bRegistry)
        m_nResult = DRIVER_RESULT_INSTALLED;
    else if (m_strDriverFile.IsEmpty() && m_strInfFile.IsEmpty() && m_strRegKey.IsEmpty())
        m_nResult = DRIVER_RESULT_NOT_FOUND;
    else
        m_nResult = m_bOldOs ? DRIVER_RESULT_DAMAGED_OLD : DRIVER_RESULT_DAMAGED_NEW;
    return m_nResult;
}

int CUsbdriverDlg::DetectOsVersion() {
    m_bOldOs = false;
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    if (!::GetVersionExA(&version)) {
        m_nPlatform = DRIVER_PLATFORM_UNKNOWN;
        return m_nPlatform;
    }
    DWORD dwMajor = version.dwMajorVersion;
    DWORD dwMinor = version.dwMinorVersion;
    switch (version.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
        m_nPlatform = DRIVER_PLATFORM_WIN32S;
        break;
    case VER_PLATFORM_WIN32_WINDOWS:
        // Windows 95 (4.0), 98 (4.10) and Me (4.90).
        m_nPlatform = DRIVER_PLATFORM_9X;
        m_bOldOs = dwMajor == 4 && (dwMinor == 0 || dwMinor == 10 || dwMinor == 90);
        break;
    case VER_PLATFORM_WIN32_NT:
        // NT 3.51, NT 4.0, 2000 (5.0) and XP (5.1); from Server 2003 and XP 64-bit (5.2),
        // Vista (6.0), 7 (6.1) on, automatic removal is not offered.
        m_nPlatform = DRIVER_PLATFORM_NT;
        m_bOldOs = (dwMajor == 3 && dwMinor == 51) || (dwMajor == 4 && dwMinor == 0) ||
                   (dwMajor == 5 && (dwMinor == 0 || dwMinor == 1));
        break;
    default:
        m_nPlatform = DRIVER_PLATFORM_UNKNOWN;
        break;
    }
    return m_nPlatform;
}

bool CUsbdriverDlg::FindDriverFile() {
    m_strDriverFile.Empty();
    CString strPath;
    if (!WindowsDirectory(strPath))
        return false;
    strPath += kDriversFolder;
    strPath += DRIVER_FILE_NAME;
    WIN32_FIND_DATAA find;
    if (!LookUp(strPath, &find))
        return false;
    // Present but too small counts as found, yet not as whole.
    m_strDriverFile = strPath;
    return find.nFileSizeLow >= DRIVER_FILE_MIN_SIZE;
}

bool CUsbdriverDlg::FindDriverInf() {
    m_strInfFile.Empty();
    m_strPnfFile.Empty();
    CString strFolder;
    if (!WindowsDirectory(strFolder))
        return false;
    bool b9x = m_nPlatform == DRIVER_PLATFORM_9X;
    strFolder += b9x ? kInfFolder9x : kInfFolderNt;
    CString strPattern = strFolder + (b9x ? DRIVER_INF_9X_NAME : kInfPatternNt);

    bool bFound = false;
    WIN32_FIND_DATAA find = {};
    HANDLE hFind = ::FindFirstFileA(strPattern, &find);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            if ((find.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
                continue;
            CString strPath = strFolder + find.cFileName;
            InfMatch match = MatchInf(strPath);
            if (match == INF_NO_MEMORY)
                break;
            if (match == INF_MATCH) {
                m_strInfFile = strPath;
                bFound = true;
                if (m_nPlatform == DRIVER_PLATFORM_NT) {
                    char szDrive[_MAX_DRIVE], szDir[_MAX_DIR], szName[_MAX_FNAME], szExt[_MAX_EXT];
                    char szPnf[_MAX_PATH];
                    _splitpath(strPath, szDrive, szDir, szName, szExt);
                    _makepath(szPnf, szDrive, szDir, szName, ".pnf");
                    m_strPnfFile = szPnf;
                }
                break;
            }
        } while (::FindNextFileA(hFind, &find));
        ::FindClose(hFind);
    }
    // The precompiled file belongs to a whole installation of the NT family.
    if (!m_strPnfFile.IsEmpty() && !LookUp(m_strPnfFile)) {
        m_strPnfFile.Empty();
        return false;
    }
    return bFound;
}

bool CUsbdriverDlg::FindDriverRegistry() {
    m_strRegKey.Empty();
    CString strKey = kDeviceKey;
    if (m_nPlatform != DRIVER_PLATFORM_9X)
        strKey = CString(kControlSetKey) + kDeviceKey;
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, strKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;

    // Only the first device instance is examined.
    bool bFound = false;
    char szSubkey[kMaxDeviceSubkey + 1] = {};
    DWORD cchSubkey = kMaxDeviceSubkey + 1;
    if (::RegEnumKeyExA(hKey, 0, szSubkey, &cchSubkey, NULL, NULL, NULL, NULL) == ERROR_SUCCESS) {
        HKEY hInstance = NULL;
        if (::RegOpenKeyExA(hKey, szSubkey, 0, KEY_READ, &hInstance) == ERROR_SUCCESS) {
            BYTE desc[kMaxDeviceDesc + 1] = {};
            DWORD cbDesc = kMaxDeviceDesc;
            DWORD dwType = 0;
            if (::RegQueryValueExA(hInstance, kDeviceDescValue, NULL, &dwType, desc, &cbDesc) ==
                    ERROR_SUCCESS &&
                cbDesc <= kMaxDeviceDesc)
                bFound = Contains(reinterpret_cast<const char*>(desc), cbDesc, DRIVER_SERVICE_NAME);
            ::RegCloseKey(hInstance);
        }
    }
    // The device key is what removal deletes, whatever its first instance says.
    m_strRegKey = strKey;
    ::RegCloseKey(hKey);
    return bFound;
}
