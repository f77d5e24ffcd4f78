// Extension libraries: the record a library keeps for its module, and the chain of loaded
// libraries through which the framework finds resources (a dialog template or a bitmap of
// a library is looked up in the application first, then in each library, newest first).
// Included by afxwin.h.
#pragma once

#include "afxwnd.h"

struct AFX_EXTENSION_MODULE {
    BOOL bInitialized;
    HMODULE hModule;
    HMODULE hResource;
    CRuntimeClass* pFirstSharedClass;
    void* pFirstSharedFactory;
};

// Fills the record for the library's module (called from the library's DllMain at process
// attach). FALSE for a NULL module. A second call for an initialised record changes nothing.
BOOL AFXAPI AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE hModule);
// Releases the record at process detach: deletes the library's CDynLinkLibrary objects (all
// of them with bAll) and marks the record uninitialised.
void AFXAPI AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL bAll = FALSE);

// One library in the chain. Created on the heap by the library's DllMain; links itself in at
// the head of the chain and out again when deleted.
class CDynLinkLibrary : public CCmdTarget {
    DECLARE_DYNAMIC(CDynLinkLibrary)
public:
    explicit CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL bSystem = FALSE);
    CDynLinkLibrary(HINSTANCE hModule, HINSTANCE hResource);
    ~CDynLinkLibrary() override;

    HMODULE m_hModule;
    HMODULE m_hResource;
    BOOL m_bSystem; // a library of the framework itself: searched after the others
    CDynLinkLibrary* m_pNextDLL;
};

// The module whose resources the application finds first (the program's own by default).
HINSTANCE AFXAPI AfxGetResourceHandle();
void AFXAPI AfxSetResourceHandle(HINSTANCE hInstResource);
// The module that holds the resource: the application's resource module, then the
// libraries' (non-system first, newest first), else the application's resource module.
HINSTANCE AFXAPI AfxFindResourceHandle(LPCTSTR lpszName, LPCTSTR lpszType);
