// Command targets: message-map lookup and command routing.
#include <afxwin.h>

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

const AFX_MSGMAP* PASCAL CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, NULL}};
    static const AFX_MSGMAP messageMap = {NULL, &entries[0]};
    return &messageMap;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
    return GetThisMessageMap();
}

CCmdTarget::CCmdTarget() = default;
CCmdTarget::~CCmdTarget() = default;

namespace {

const AFX_MSGMAP* BaseMap(const AFX_MSGMAP* pMap) {
    return pMap->pfnGetBaseMap != NULL ? pMap->pfnGetBaseMap() : NULL;
}

} // namespace

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT nMessage) const {
    if (nMessage == WM_COMMAND || nMessage == WM_NOTIFY)
        return NULL;
    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap != NULL; pMap = BaseMap(pMap)) {
        for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->nMessage != 0; ++pEntry) {
            if (pEntry->nMessage == nMessage)
                return pEntry;
        }
    }
    return NULL;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, void* pExtra, void* /*pHandlerInfo*/) {
    UINT nMessage = HIWORD(nCode) == WM_NOTIFY ? WM_NOTIFY : WM_COMMAND;
    UINT nShortCode = LOWORD(nCode);
    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap != NULL; pMap = BaseMap(pMap)) {
        for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->nMessage != 0; ++pEntry) {
            if (pEntry->nMessage != nMessage || pEntry->nCode != nShortCode || nID < pEntry->nID ||
                nID > pEntry->nLastID)
                continue;
            if (nMessage == WM_NOTIFY) {
                AFX_NOTIFY* pNotify = static_cast<AFX_NOTIFY*>(pExtra);
                LRESULT lResult = pEntry->pfn(
                    this, nID, reinterpret_cast<LPARAM>(pNotify != NULL ? pNotify->pNMHDR : NULL));
                if (pNotify != NULL && pNotify->pResult != NULL)
                    *pNotify->pResult = lResult;
            } else {
                pEntry->pfn(this, MAKELONG(nID, nShortCode), 0);
            }
            return TRUE;
        }
    }
    return FALSE;
}
