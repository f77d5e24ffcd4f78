// The transfer mutex: serialises the machine traffic of the dialogs that read from the machine
// (the folder-list and receive dialogs take it through a CSingleLock with a 3000 ms wait).
// Being a named mutex it is one object for every process of the logon that loads the library.
#pragma once

#include <afxmt.h>

#define USBCOMM_MUTEX_NAME "472_USBCOMM_MUTEX"
// How long (ms) its users wait for it before they report a time-out.
#define USBCOMM_MUTEX_WAIT 3000

// Not initially owned, default security. Constructed when the library is loaded, before its
// entry point runs, and destroyed when it is unloaded, after its entry point has run.
extern CMutex g_transferMutex;
