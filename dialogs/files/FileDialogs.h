// What the create and rename dialogs share: the messages of their name rules, the look-up of
// a name in the host's list, and a command run on the machine with the messages they show.
#pragma once

#include "stdafx.h"

#include "usb/CommError.h"
#include "usb/UsbComm.h"

#include <afxcmn.h>

namespace fileDialogs {

// The forbidden-characters message, shown under "Rename", then the edit selected again.
void ShowForbidden(CWnd* pDialog, CEdit& edit);
// "Cannot <verb> <name> :" and the rest of the duplicate-name message, under "Rename", then the
// edit selected again.
void ShowDuplicate(CWnd* pDialog, CEdit& edit, LPCSTR lpszVerb, LPCSTR lpszName);
// Gives the edit the focus and selects all its text.
void SelectAll(CEdit& edit);
// The index of the first entry of the host's list whose first column equals the name without
// regard to letter case; -1 when none does or there is no list.
int FindInList(CListCtrl* pList, LPCSTR lpszName);

// Opens the port with hWnd; an opening failure is shown under the title, a close request is
// posted to hWnd and the code returned (the port is left to the transport's destructor).
// Otherwise runs command(int* pnDetail), again while the error display answers Retry, shows
// its failure with its detail, closes the port and returns its code.
template <class Command>
int RunOnMachine(CUsbComm& usb, HWND hWnd, LPCSTR lpszTitle, Command command) {
    const int nOpen = usb.OpenPort(hWnd, NULL);
    if (nOpen != 0) {
        ShowCommError(hWnd, nOpen, lpszTitle, 0);
        ::PostMessageA(hWnd, WM_CLOSE, 0, 0);
        return nOpen;
    }
    for (;;) {
        int nDetail = 0;
        const int nCode = command(&nDetail);
        if (nCode == 0 || ShowCommError(hWnd, nCode, lpszTitle, nDetail) != IDRETRY) {
            usb.ClosePort();
            return nCode;
        }
    }
}

} // namespace fileDialogs
