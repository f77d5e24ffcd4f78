// CObject, run-time class information and the diagnostic helpers.
#include <afx.h>

// ----------------------------------------------------------------------------------------------
// Run-time classes

const CRuntimeClass CObject::classCObject = {
    "CObject", (int)sizeof(CObject), 0xFFFF, NULL, NULL, NULL, NULL};

CRuntimeClass* PASCAL CObject::GetThisClass() {
    return _RUNTIME_CLASS(CObject);
}

CRuntimeClass* CObject::GetRuntimeClass() const {
    return _RUNTIME_CLASS(CObject);
}

BOOL CObject::IsKindOf(const CRuntimeClass* pClass) const {
    return GetRuntimeClass()->IsDerivedFrom(pClass);
}

BOOL CObject::IsSerializable() const {
    return GetRuntimeClass()->m_wSchema != 0xFFFF;
}

void CObject::AssertValid() const {}

CObject* CRuntimeClass::CreateObject() {
    if (m_pfnCreateObject == NULL) {
        TRACE("Error: cannot create an object of %s, it is not DECLARE_DYNCREATE.\n",
              m_lpszClassName);
        return NULL;
    }
    return (*m_pfnCreateObject)();
}

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const {
    if (pBaseClass == NULL)
        return FALSE;
    for (const CRuntimeClass* pClass = this; pClass != NULL;) {
        if (pClass == pBaseClass)
            return TRUE;
        pClass = pClass->m_pfnGetBaseClass != NULL ? (*pClass->m_pfnGetBaseClass)() : NULL;
    }
    return FALSE;
}

// ----------------------------------------------------------------------------------------------
// Diagnostics: everything goes to the debugger's output (OutputDebugString).

void AFXAPI AfxTrace(LPCTSTR lpszFormat, ...) {
    if (lpszFormat == NULL)
        return;
    va_list args;
    va_start(args, lpszFormat);
    CString text;
    text.FormatV(lpszFormat, args);
    va_end(args);
    ::OutputDebugStringA(text);
}

BOOL AFXAPI AfxAssertFailedLine(LPCSTR lpszFileName, int nLine) {
    CString text;
    text.Format("Assertion failed: %s(%d)\n", lpszFileName != NULL ? lpszFileName : "?", nLine);
    ::OutputDebugStringA(text);
    return FALSE;
}

void AFXAPI AfxAssertValidObject(const CObject* pOb, LPCSTR lpszFileName, int nLine) {
    if (pOb == NULL) {
        AfxAssertFailedLine(lpszFileName, nLine);
        return;
    }
    pOb->AssertValid();
}
