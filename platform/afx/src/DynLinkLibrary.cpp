// Extension libraries and the search for resources through the chain of loaded libraries.
#include <afxwin.h>

#include "afximpl.h"

IMPLEMENT_DYNAMIC(CDynLinkLibrary, CCmdTarget)

namespace {

CDynLinkLibrary* s_pFirstLibrary = NULL; // newest first; guarded by CRIT_DYNLINKLIST

struct ResourceHandle {
    bool bSet = false;
    HINSTANCE hInstance = NULL;
};

ResourceHandle s_resourceHandle; // guarded by CRIT_DYNLINKLIST

void Link(CDynLinkLibrary* pLibrary) {
    CAfxGlobalsLock guard(CRIT_DYNLINKLIST);
    pLibrary->m_pNextDLL = s_pFirstLibrary;
    s_pFirstLibrary = pLibrary;
}

void Unlink(CDynLinkLibrary* pLibrary) {
    CAfxGlobalsLock guard(CRIT_DYNLINKLIST);
    for (CDynLinkLibrary** ppLink = &s_pFirstLibrary; *ppLink != NULL;
         ppLink = &(*ppLink)->m_pNextDLL) {
        if (*ppLink == pLibrary) {
            *ppLink = pLibrary->m_pNextDLL;
            break;
        }
    }
    pLibrary->m_pNextDLL = NULL;
}

} // namespace

CDynLinkLibrary::CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL bSystem)
    : m_hModule(state.hModule), m_hResource(state.hResource), m_bSystem(bSystem), m_pNextDLL(NULL) {
    Link(this);
}

CDynLinkLibrary::CDynLinkLibrary(HINSTANCE hModule, HINSTANCE hResource)
    : m_hModule(hModule), m_hResource(hResource), m_bSystem(FALSE), m_pNextDLL(NULL) {
    Link(this);
}

CDynLinkLibrary::~CDynLinkLibrary() {
    Unlink(this);
}

BOOL AFXAPI AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE hModule) {
    if (hModule == NULL)
        return FALSE;
    if (state.bInitialized)
        return TRUE; // once per record
    state.bInitialized = TRUE;
    state.hModule = hModule;
    state.hResource = hModule;
    state.pFirstSharedClass = NULL;
    state.pFirstSharedFactory = NULL;
    return TRUE;
}

void AFXAPI AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL bAll) {
    if (!state.bInitialized)
        return;
    for (;;) {
        CDynLinkLibrary* pVictim = NULL;
        {
            CAfxGlobalsLock guard(CRIT_DYNLINKLIST);
            for (CDynLinkLibrary* p = s_pFirstLibrary; p != NULL; p = p->m_pNextDLL) {
                if (bAll || p->m_hModule == state.hModule) {
                    pVictim = p;
                    break;
                }
            }
        }
        if (pVictim == NULL)
            break;
        delete pVictim; // unlinks itself
    }
    state.bInitialized = FALSE;
}

HINSTANCE AFXAPI AfxGetResourceHandle() {
    {
        CAfxGlobalsLock guard(CRIT_DYNLINKLIST);
        if (s_resourceHandle.bSet)
            return s_resourceHandle.hInstance;
    }
    return AfxGetInstanceHandle();
}

void AFXAPI AfxSetResourceHandle(HINSTANCE hInstResource) {
    CAfxGlobalsLock guard(CRIT_DYNLINKLIST);
    s_resourceHandle.bSet = true;
    s_resourceHandle.hInstance = hInstResource;
}

HINSTANCE AFXAPI AfxFindResourceHandle(LPCTSTR lpszName, LPCTSTR lpszType) {
    HINSTANCE hApplication = AfxGetResourceHandle();
    if (::FindResourceA(hApplication, lpszName, lpszType) != NULL)
        return hApplication;
    // The libraries' modules, non-system ones first, newest first.
    HINSTANCE hFound = NULL;
    for (int nPass = 0; nPass < 2 && hFound == NULL; ++nPass) {
        BOOL bSystem = nPass == 1;
        CAfxGlobalsLock guard(CRIT_DYNLINKLIST);
        for (CDynLinkLibrary* p = s_pFirstLibrary; p != NULL && hFound == NULL; p = p->m_pNextDLL) {
            if (p->m_bSystem == bSystem && p->m_hResource != NULL &&
                ::FindResourceA(p->m_hResource, lpszName, lpszType) != NULL)
                hFound = p->m_hResource;
        }
    }
    return hFound != NULL ? hFound : hApplication;
}
