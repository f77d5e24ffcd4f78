// The wait cursor: counted per thread; the cursor from before the first Begin comes back with the
// last End.
#include <afxwin.h>

#include "WndImpl.h"

namespace {

struct WaitCursorState {
    int nCount = 0;
    HCURSOR hcurRestore = NULL;
};

thread_local WaitCursorState t_waitCursor;

} // namespace

void afx::DoWaitCursor(int nCode) {
    WaitCursorState& state = t_waitCursor;
    state.nCount += nCode;
    if (state.nCount > 0) {
        HCURSOR hcurPrev = ::SetCursor(::LoadCursorA(NULL, IDC_WAIT));
        if (nCode > 0 && state.nCount == 1)
            state.hcurRestore = hcurPrev;
    } else {
        state.nCount = 0;
        ::SetCursor(state.hcurRestore);
    }
}

static void DoWaitCursor(int nCode) {
    CWinApp* pApp = AfxGetApp();
    if (pApp != NULL)
        pApp->DoWaitCursor(nCode);
    else
        afx::DoWaitCursor(nCode);
}

void CCmdTarget::BeginWaitCursor() {
    DoWaitCursor(1);
}
void CCmdTarget::EndWaitCursor() {
    DoWaitCursor(-1);
}
void CCmdTarget::RestoreWaitCursor() {
    DoWaitCursor(0);
}

CWaitCursor::CWaitCursor() {
    DoWaitCursor(1);
}
CWaitCursor::~CWaitCursor() {
    DoWaitCursor(-1);
}
void CWaitCursor::Restore() {
    DoWaitCursor(0);
}
