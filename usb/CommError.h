// The error display: turns a result code of the transport or of a command, with the refusal
// detail that comes with code -12, into a message box for the user. A missing driver interface
// (code -17) leads to the driver troubleshooting instead.
#pragma once

#include "stdafx.h"

// Result codes of the transport, the commands and the dialogs' jobs.
#define USBCOMM_OK 0
#define USBCOMM_ERR_TIMEOUT (-1)
#define USBCOMM_ERR_OPEN (-3)
#define USBCOMM_ERR_RECEIVE (-4)
#define USBCOMM_ERR_SEND (-5)
#define USBCOMM_ERR_INVALID_COMMAND (-6)
#define USBCOMM_ERR_MEMORY (-7)
#define USBCOMM_ERR_FILE_OPEN (-8)
#define USBCOMM_ERR_FILE_READ (-9)
#define USBCOMM_ERR_FILE_WRITE (-10)
#define USBCOMM_ERR_CANCELLED (-11)
#define USBCOMM_ERR_REFUSED (-12)
#define USBCOMM_ERR_REJECTED (-13)
#define USBCOMM_ERR_CONTROL (-14)
#define USBCOMM_ERR_BROKEN_FILE (-15)
#define USBCOMM_ERR_RUNNING (-16)
#define USBCOMM_ERR_NO_DRIVER (-17)
#define USBCOMM_ERR_LOGIC (-99)

// Refusal details that come with USBCOMM_ERR_REFUSED: 33 from the machine while it runs, the
// others set by the command whose data phase failed.
#define USBCOMM_DETAIL_RUNNING 33
#define USBCOMM_DETAIL_REGISTER 64
#define USBCOMM_DETAIL_RECEIVE_FILE 96
#define USBCOMM_DETAIL_CHANGE_FOLDER 97
#define USBCOMM_DETAIL_DELETE 128

// Shows the message of nCode (for -12 chosen by nDetail) in a message box owned by hWnd with
// the caption lpszTitle, an OK button, the code's icon and MB_TOPMOST, and returns the box's
// answer. Codes 0 and -11 show nothing; -17 runs the driver troubleshooting with hWnd (even a
// null one); an owner that is not a window shows nothing. Every path that shows no box of its
// own returns 1.
int ShowCommError(HWND hWnd, int nCode, LPCSTR lpszTitle, int nDetail);
