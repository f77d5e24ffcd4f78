// The library's entry point: as an MFC extension library it joins the host's framework when it
// is loaded (its resources and classes become reachable through the framework's chain of
// libraries) and leaves it when it is unloaded.
#include "stdafx.h"

// The framework's extension-library support; included in this one source only.
#include <afxdllx.h>
#include <commctrl.h>

static AFX_EXTENSION_MODULE VantelPrintUsbDLL = {FALSE, NULL, NULL, NULL, NULL};

// The library's static objects (the transfer mutex among them) are constructed before the
// process-attach call and destroyed after the process-detach call.
extern "C" int APIENTRY DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID /*lpReserved*/) {
    if (dwReason == DLL_PROCESS_ATTACH) {
        TRACE0("VantelPrintUsb.dll initializing\n");
        if (!AfxInitExtensionModule(VantelPrintUsbDLL, hInstance))
            return 0;
        // The window classes of the common controls that the dialogs hold: the progress bar
        // and the list view.
        INITCOMMONCONTROLSEX controls = {sizeof(controls),
                                         ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        // Links itself into the host's chain of libraries and stays there until the process
        // ends (the process-detach call below deletes it).
        new CDynLinkLibrary(VantelPrintUsbDLL);
    } else if (dwReason == DLL_PROCESS_DETACH) {
        TRACE0("VantelPrintUsb.dll terminating\n");
        AfxTermExtensionModule(VantelPrintUsbDLL);
    }
    return 1; // thread attach and detach: nothing to do
}
