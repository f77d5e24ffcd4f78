#include "stdafx.h"

#include "driver/TroubleshootDriver.h"
#include "driver/UsbdriverDlg.h"

#include <shellapi.h>

namespace {

const char kSearchCaption[] = "Search USB Driver";
const char kDeleteCaption[] = "Delete USB Driver";

const char kInstalledText[] =
    "The USB driver is properly installed.\nCheck if the machine and the PC are connected with "
    "the USB cable, or the machine is turned on.";
const char kNotFoundText[] = "The USB driver was not found. Install the USB driver.";
const char kDamagedText[] =
    "Check if the machine and PC are connected with the USB cable, and the machine is turned "
    "on.\nIf communication fails, installation of the USB driver might be unsuccessful or the "
    "USB driver might be damaged.\n\nDelete USB driver information?";
const char kManualText[] = "The USB driver cannot be deleted automatically.\nDelete it manually "
                           "with \"Device Manager\".";
const char kNotAdministratorText[] = "You need to log on as an administrator or as an authorized "
                                     "user to remove the USB driver.";
const char kConfirmRemovalText[] = "Are you sure to remove the USB driver?";
const char kRemovedText[] = "The USB driver is successfully removed.\nInstall the USB driver.";
const char kRemovalFailedText[] = "Failed to remove the USB driver.";

// The help file beside the host's executable that explains the removal by hand.
const char kHelpFileName[] = "DeleteUSBDriver";
const char kHelpFileExtension[] = ".chm";

bool AskYesNo(HWND hWnd, LPCSTR lpszText, LPCSTR lpszCaption) {
    return ::MessageBoxA(hWnd, lpszText, lpszCaption,
                         MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) == IDYES;
}

// Opens the help file from the executable's folder; false when there is no executable path or
// the shell cannot open it.
bool OpenRemovalHelp(HWND hWnd) {
    char szModule[MAX_PATH + 1] = {};
    DWORD nLength = ::GetModuleFileNameA(NULL, szModule, MAX_PATH);
    if (nLength == 0 || nLength >= MAX_PATH)
        return false; // none, or cut short
    char szDrive[_MAX_DRIVE], szDir[_MAX_DIR];
    char szHelp[_MAX_PATH] = {};
    _splitpath(szModule, szDrive, szDir, NULL, NULL);
    _makepath(szHelp, szDrive, szDir, kHelpFileName, kHelpFileExtension);
    if (szHelp[0] == '\0')
        return false;
    HINSTANCE hResult = ::ShellExecuteA(hWnd, "open", szHelp, NULL, NULL, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(hResult) > 32;
}

} // namespace

void TroubleshootDriver(HWND hWnd) {
    // An owner that is no longer a window would make every message box fail: the messages
    // then have no owner.
    if (hWnd != NULL && !::IsWindow(hWnd))
        hWnd = NULL;

    CUsbdriverDlg dialog(CWnd::FromHandle(hWnd));
    if (dialog.DoModal() == -1)
        dialog.SearchDriver(); // no window for the wait: the findings are the same without it

    switch (dialog.m_nResult) {
    case DRIVER_RESULT_INSTALLED:
        ::MessageBoxA(hWnd, kInstalledText, "Confirm", MB_OK | MB_ICONQUESTION);
        return;
    case DRIVER_RESULT_NOT_FOUND:
        ::MessageBoxA(hWnd, kNotFoundText, kSearchCaption, MB_OK | MB_ICONEXCLAMATION);
        return;
    default:
        break;
    }
    if (!AskYesNo(hWnd, kDamagedText, kSearchCaption))
        return;

    if (dialog.m_nResult == DRIVER_RESULT_DAMAGED_NEW) {
        if (!OpenRemovalHelp(hWnd))
            ::MessageBoxA(hWnd, kManualText, kDeleteCaption, MB_OK | MB_ICONEXCLAMATION);
        return;
    }

    if (!dialog.IsGroupMember(DOMAIN_ALIAS_RID_ADMINS)) {
        ::MessageBoxA(hWnd, kNotAdministratorText, kDeleteCaption, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (!AskYesNo(hWnd, kConfirmRemovalText, kDeleteCaption))
        return;
    if (dialog.RemoveDriver())
        ::MessageBoxA(hWnd, kRemovedText, kDeleteCaption, MB_OK | MB_ICONINFORMATION);
    else
        ::MessageBoxA(hWnd, kRemovalFailedText, kDeleteCaption, MB_OK | MB_ICONEXCLAMATION);
}
