#include "stdafx.h"

#include "usb/CommError.h"

// The driver service sits beside the transport, but a missing driver interface is reported by
// running its troubleshooting; this is the one call from usb/ into driver/, and driver/ uses
// nothing of usb/.
#include "driver/TroubleshootDriver.h"

namespace {

// The message of a refusal (code -12) by its detail.
LPCSTR RefusalMessage(int nDetail) {
    switch (nDetail) {
    case USBCOMM_DETAIL_RUNNING:
        return "Machine Running.";
    case USBCOMM_DETAIL_REGISTER:
        return "Cannot be registered.";
    case USBCOMM_DETAIL_RECEIVE_FILE:
        return "(Now preparing.)";
    case USBCOMM_DETAIL_CHANGE_FOLDER:
        return "Cannot be received.";
    case USBCOMM_DETAIL_DELETE:
        return "Cannot be deleted.";
    default:
        return "Communication error.";
    }
}

// The message and icon of a code that shows a box.
void ChooseMessage(int nCode, int nDetail, LPCSTR* plpszText, UINT* pnIcon) {
    UINT nIcon = MB_ICONHAND;
    LPCSTR lpszText;
    switch (nCode) {
    case USBCOMM_ERR_TIMEOUT:
        lpszText = "Communication time out.";
        break;
    case USBCOMM_ERR_OPEN:
        lpszText = "Failed to initialize communication port.";
        break;
    case USBCOMM_ERR_RECEIVE:
        lpszText = "Received broken packet.";
        break;
    case USBCOMM_ERR_SEND:
        lpszText = "Failed to send a packet.";
        break;
    case USBCOMM_ERR_INVALID_COMMAND:
        lpszText = "Invalid command is received.";
        break;
    case USBCOMM_ERR_MEMORY:
        lpszText = "Failed to allocate memory.";
        break;
    case USBCOMM_ERR_FILE_OPEN:
        lpszText = "Failed to open the file.";
        break;
    case USBCOMM_ERR_FILE_READ:
        lpszText = "Failed to read a file.";
        break;
    case USBCOMM_ERR_FILE_WRITE:
        lpszText = "Failed to write a file.";
        break;
    case USBCOMM_ERR_REFUSED:
        lpszText = RefusalMessage(nDetail);
        nIcon = MB_ICONEXCLAMATION;
        break;
    case USBCOMM_ERR_REJECTED:
        lpszText = "Failed to send a design.";
        break;
    case USBCOMM_ERR_CONTROL:
        lpszText = "Command error.";
        break;
    case USBCOMM_ERR_BROKEN_FILE:
        lpszText = "The broken file was found.";
        nIcon = MB_ICONEXCLAMATION;
        break;
    case USBCOMM_ERR_RUNNING:
        lpszText = "Machine Running.";
        nIcon = MB_ICONEXCLAMATION;
        break;
    case USBCOMM_ERR_LOGIC:
        lpszText = "Communication logic error.";
        nIcon = MB_ICONEXCLAMATION;
        break;
    default:
        lpszText = "No defined error.";
        nIcon = MB_ICONEXCLAMATION;
        break;
    }
    *plpszText = lpszText;
    *pnIcon = nIcon;
}

} // namespace

int ShowCommError(HWND hWnd, int nCode, LPCSTR lpszTitle, int nDetail) {
    if (nCode == USBCOMM_OK || nCode == USBCOMM_ERR_CANCELLED)
        return 1;
    if (nCode == USBCOMM_ERR_NO_DRIVER) {
        TroubleshootDriver(hWnd);
        return 1;
    }
    LPCSTR lpszText = NULL;
    UINT nIcon = 0;
    ChooseMessage(nCode, nDetail, &lpszText, &nIcon);
    if (!::IsWindow(hWnd))
        return 1;
    // Only OK is offered: the callers' retry of a failed step (on answer 4) never happens.
    return ::MessageBoxA(hWnd, lpszText, lpszTitle, MB_OK | nIcon | MB_TOPMOST);
}
