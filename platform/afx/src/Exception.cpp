// The exception classes without a file: CException, the simple exceptions and the TRY/CATCH
// bookkeeping.
#include "afximpl.h"

#include <afxwin.h>

IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CSimpleException, CException)
IMPLEMENT_DYNAMIC(CMemoryException, CSimpleException)
IMPLEMENT_DYNAMIC(CNotSupportedException, CSimpleException)
IMPLEMENT_DYNAMIC(CResourceException, CSimpleException)
IMPLEMENT_DYNAMIC(CInvalidArgException, CSimpleException)

BOOL AfxCopyMessage(LPCTSTR text, LPTSTR lpszError, UINT nMaxError) {
    if (lpszError == NULL || nMaxError == 0)
        return FALSE;
    size_t n = strlen(text);
    if (n > nMaxError - 1)
        n = nMaxError - 1;
    memcpy(lpszError, text, n);
    lpszError[n] = '\0';
    return TRUE;
}

// ----------------------------------------------------------------------------------------------
// CException

CException::CException(BOOL bAutoDelete) : m_bAutoDelete(bAutoDelete) {}

void CException::Delete() {
    if (m_bAutoDelete > 0)
        delete this;
}

BOOL CException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
    if (pnHelpContext != NULL)
        *pnHelpContext = 0;
    if (lpszError != NULL && nMaxError > 0)
        *lpszError = '\0';
    return FALSE;
}

// Shows the exception's message in a message box of the given type and returns the user's
// answer. Without string resources, an exception that has no message of its own shows MFC's
// text for that case.
int CException::ReportError(UINT nType, UINT /*nMessageID*/) {
    char message[512];
    if (!GetErrorMessage(message, sizeof message))
        lstrcpynA(message, "No error message is available.", sizeof message);
    return AfxMessageBox(message, nType);
}

BOOL CSimpleException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
    if (pnHelpContext != NULL)
        *pnHelpContext = 0;
    return AfxCopyMessage(GetMessageText(), lpszError, nMaxError);
}

LPCTSTR CMemoryException::GetMessageText() const {
    return "Out of memory.";
}
LPCTSTR CNotSupportedException::GetMessageText() const {
    return "An unsupported operation was attempted.";
}
LPCTSTR CResourceException::GetMessageText() const {
    return "A required resource was unavailable.";
}
LPCTSTR CInvalidArgException::GetMessageText() const {
    return "Encountered an improper argument.";
}

// ----------------------------------------------------------------------------------------------
// Throwing. The memory exception is one static object that Delete leaves alone: when memory is
// exhausted there may be none for a new exception object.

void AFXAPI AfxThrowMemoryException() {
    static CMemoryException s_memoryException(FALSE);
    throw &s_memoryException;
}

void AFXAPI AfxThrowNotSupportedException() {
    throw new CNotSupportedException;
}
void AFXAPI AfxThrowResourceException() {
    throw new CResourceException;
}
void AFXAPI AfxThrowInvalidArgException() {
    throw new CInvalidArgException;
}

// ----------------------------------------------------------------------------------------------
// TRY/CATCH: each TRY block links itself into its thread's chain; the exception its CATCH
// caught is deleted when the block ends, unless THROW_LAST passed it on.

namespace {
thread_local AFX_EXCEPTION_LINK* t_pExceptionLinkTop = NULL;
}

AFX_EXCEPTION_LINK::AFX_EXCEPTION_LINK() : m_pLinkPrev(t_pExceptionLinkTop), m_pException(NULL) {
    t_pExceptionLinkTop = this;
}

AFX_EXCEPTION_LINK::~AFX_EXCEPTION_LINK() {
    t_pExceptionLinkTop = m_pLinkPrev;
    if (m_pException != NULL)
        m_pException->Delete();
}

void AFXAPI AfxThrowLastCleanup() {
    if (t_pExceptionLinkTop != NULL)
        t_pExceptionLinkTop->m_pException = NULL;
}
