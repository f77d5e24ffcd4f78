// CUsbdriverDlg: the small "Search USB Driver" dialog that examines the installation of the
// machine's USB driver (the Windows version, the driver's system file, its setup information
// file and the device's registry entry) while it shows "Please wait . . .", and closes itself
// when it is done. Its findings stay in the object after the window has closed; the removal
// of a damaged installation works on them.
#pragma once

#include "stdafx.h"

#include "resources/resource.h"

// Starts the examination once the dialog is on the screen; both parameters are ignored.
#define WM_SEARCH_DRIVER 0x9001

// The driver's own names.
#define DRIVER_FILE_NAME "Ostr472.sys"
#define DRIVER_SERVICE_NAME "Ostr472"
#define DRIVER_INF_9X_NAME "O.S.T.R.Ostr472.inf"
#define DRIVER_DEVICE_KEY "VID_1D9F&PID_0002"
#define DRIVER_DEVICE_TEXT "VID_1d9f&PID_0002"

// m_nResult
#define DRIVER_RESULT_INSTALLED 1
#define DRIVER_RESULT_NOT_FOUND 0
#define DRIVER_RESULT_DAMAGED_OLD (-1)
#define DRIVER_RESULT_DAMAGED_NEW (-2)

// m_nPlatform
#define DRIVER_PLATFORM_WIN32S 0
#define DRIVER_PLATFORM_9X 1
#define DRIVER_PLATFORM_NT 2
#define DRIVER_PLATFORM_UNKNOWN (-1)

// The smallest driver file that counts as whole.
#define DRIVER_FILE_MIN_SIZE 50000

class CUsbdriverDlg : public CDialog {
public:
    explicit CUsbdriverDlg(CWnd* pParent = NULL);

    enum { IDD = IDD_USBDRIVER_DIALOG };

    // Diagnosis: 1 installed correctly, 0 nothing found, -1 damaged on an older Windows,
    // -2 damaged on a newer Windows.
    int m_nResult;
    // 0 Win32s, 1 the Windows 9x family, 2 the NT family, -1 unrecognised.
    int m_nPlatform;
    CString m_strDriverFile; // the driver's system file, when it exists
    CString m_strInfFile;    // the matching setup information file
    CString m_strPnfFile;    // its precompiled form (NT family), when it exists
    CString m_strRegKey;     // the device's enumeration key below HKEY_LOCAL_MACHINE
    bool m_bOldOs;           // automatic removal is offered on this Windows version
    CStatic m_staticWait;

    // Runs the whole examination and returns the new m_nResult.
    int SearchDriver();
    // Reads the running system's version; sets m_nPlatform (returned) and m_bOldOs.
    int DetectOsVersion();
    bool FindDriverFile();
    bool FindDriverInf();
    bool FindDriverRegistry();

    // Whether the process's token lists the built-in group with the relative identifier
    // dwRid (544: the administrators); always true on the 9x family.
    bool IsGroupMember(DWORD dwRid);
    // Deletes the driver files found and the device key (opened to everyone first on the NT
    // family); true when the files (if any) were deleted and, on the NT family, the key too.
    bool RemoveDriver();
    // Sets the discretionary list of pSD on the key lpszPath and on every key below it,
    // subkeys before their parent.
    bool SetKeySecurityTree(HKEY hRoot, LPCSTR lpszPath, PSECURITY_DESCRIPTOR pSD);
    // Deletes every key below lpszPath, depth first, leaving the key itself.
    bool DeleteKeyTree(HKEY hRoot, LPCSTR lpszPath);
    // Releases those of the removal's security objects that are present.
    void FreeSecurityObjects(PSID pWorldSid, PSECURITY_DESCRIPTOR pOldSD, PACL pNewAcl,
                             PACCESS_ALLOWED_ACE pNewAce);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    afx_msg LRESULT OnSearchDriver(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()
};
