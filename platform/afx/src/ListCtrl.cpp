// The list view control: a wrapper over its messages.
#include <afxcmn.h>

IMPLEMENT_DYNAMIC(CListCtrl, CWnd)

CListCtrl::CListCtrl() = default;
CListCtrl::~CListCtrl() = default;

namespace {

LPARAM ToParam(const void* p) {
    return reinterpret_cast<LPARAM>(p);
}

LVITEM MakeItem(UINT nMask, int nItem, int nSubItem, LPCTSTR lpszItem, int nImage, UINT nState,
                UINT nStateMask, LPARAM lParam) {
    LVITEM item = {};
    item.mask = nMask;
    item.iItem = nItem;
    item.iSubItem = nSubItem;
    item.state = nState;
    item.stateMask = nStateMask;
    item.pszText = const_cast<LPTSTR>(lpszItem);
    item.iImage = nImage;
    item.lParam = lParam;
    return item;
}

} // namespace

int CListCtrl::GetItemCount() const {
    return static_cast<int>(::SendMessageA(m_hWnd, LVM_GETITEMCOUNT, 0, 0));
}

BOOL CListCtrl::GetItem(LVITEM* pItem) const {
    return static_cast<BOOL>(::SendMessageA(m_hWnd, LVM_GETITEM, 0, ToParam(pItem)));
}

BOOL CListCtrl::SetItem(const LVITEM* pItem) {
    return static_cast<BOOL>(::SendMessageA(m_hWnd, LVM_SETITEM, 0, ToParam(pItem)));
}

BOOL CListCtrl::SetItem(int nItem, int nSubItem, UINT nMask, LPCTSTR lpszItem, int nImage,
                        UINT nState, UINT nStateMask, LPARAM lParam) {
    LVITEM item = MakeItem(nMask, nItem, nSubItem, lpszItem, nImage, nState, nStateMask, lParam);
    return SetItem(&item);
}

int CListCtrl::InsertItem(const LVITEM* pItem) {
    return static_cast<int>(::SendMessageA(m_hWnd, LVM_INSERTITEM, 0, ToParam(pItem)));
}

int CListCtrl::InsertItem(int nItem, LPCTSTR lpszItem) {
    return InsertItem(LVIF_TEXT, nItem, lpszItem, 0, 0, 0, 0);
}

int CListCtrl::InsertItem(int nItem, LPCTSTR lpszItem, int nImage) {
    return InsertItem(LVIF_TEXT | LVIF_IMAGE, nItem, lpszItem, 0, 0, nImage, 0);
}

int CListCtrl::InsertItem(UINT nMask, int nItem, LPCTSTR lpszItem, UINT nState, UINT nStateMask,
                          int nImage, LPARAM lParam) {
    LVITEM item = MakeItem(nMask, nItem, 0, lpszItem, nImage, nState, nStateMask, lParam);
    return InsertItem(&item);
}

BOOL CListCtrl::DeleteItem(int nItem) {
    return static_cast<BOOL>(::SendMessageA(m_hWnd, LVM_DELETEITEM, static_cast<WPARAM>(nItem), 0));
}

BOOL CListCtrl::DeleteAllItems() {
    return static_cast<BOOL>(::SendMessageA(m_hWnd, LVM_DELETEALLITEMS, 0, 0));
}

int CListCtrl::GetItemText(int nItem, int nSubItem, LPTSTR lpszText, int nLen) const {
    if (lpszText == NULL || nLen <= 0)
        return 0;
    lpszText[0] = '\0';
    LVITEM item = {};
    item.iSubItem = nSubItem;
    item.cchTextMax = nLen;
    item.pszText = lpszText;
    return static_cast<int>(
        ::SendMessageA(m_hWnd, LVM_GETITEMTEXT, static_cast<WPARAM>(nItem), ToParam(&item)));
}

CString CListCtrl::GetItemText(int nItem, int nSubItem) const {
    // Grow the buffer until the text fits with room to spare.
    CString strText;
    for (int nLen = 256;; nLen *= 2) {
        LPTSTR pBuffer = strText.GetBuffer(nLen);
        int nGot = GetItemText(nItem, nSubItem, pBuffer, nLen);
        strText.ReleaseBuffer(nGot < 0 ? 0 : nGot);
        if (nGot < nLen - 1 || nLen >= (1 << 24))
            break;
    }
    return strText;
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, LPCTSTR lpszText) {
    LVITEM item = {};
    item.iSubItem = nSubItem;
    item.pszText = const_cast<LPTSTR>(lpszText);
    return static_cast<BOOL>(
        ::SendMessageA(m_hWnd, LVM_SETITEMTEXT, static_cast<WPARAM>(nItem), ToParam(&item)));
}

DWORD_PTR CListCtrl::GetItemData(int nItem) const {
    LVITEM item = {};
    item.mask = LVIF_PARAM;
    item.iItem = nItem;
    return GetItem(&item) ? static_cast<DWORD_PTR>(item.lParam) : 0;
}

BOOL CListCtrl::SetItemData(int nItem, DWORD_PTR dwData) {
    return SetItem(nItem, 0, LVIF_PARAM, NULL, 0, 0, 0, static_cast<LPARAM>(dwData));
}

UINT CListCtrl::GetItemState(int nItem, UINT nMask) const {
    return static_cast<UINT>(
        ::SendMessageA(m_hWnd, LVM_GETITEMSTATE, static_cast<WPARAM>(nItem), nMask));
}

BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask) {
    LVITEM item = {};
    item.state = nState;
    item.stateMask = nMask;
    return static_cast<BOOL>(
        ::SendMessageA(m_hWnd, LVM_SETITEMSTATE, static_cast<WPARAM>(nItem), ToParam(&item)));
}

int CListCtrl::GetNextItem(int nItem, int nFlags) const {
    return static_cast<int>(
        ::SendMessageA(m_hWnd, LVM_GETNEXTITEM, static_cast<WPARAM>(nItem), nFlags));
}

UINT CListCtrl::GetSelectedCount() const {
    return static_cast<UINT>(::SendMessageA(m_hWnd, LVM_GETSELECTEDCOUNT, 0, 0));
}

// A position is the item's index plus one; NULL when there is no (further) selected item.
POSITION CListCtrl::GetFirstSelectedItemPosition() const {
    return reinterpret_cast<POSITION>(static_cast<INT_PTR>(1 + GetNextItem(-1, LVNI_SELECTED)));
}

int CListCtrl::GetNextSelectedItem(POSITION& pos) const {
    int nItem = static_cast<int>(reinterpret_cast<INT_PTR>(pos)) - 1;
    pos = reinterpret_cast<POSITION>(static_cast<INT_PTR>(1 + GetNextItem(nItem, LVNI_SELECTED)));
    return nItem;
}

int CListCtrl::FindItem(LVFINDINFO* pFindInfo, int nStart) const {
    return static_cast<int>(
        ::SendMessageA(m_hWnd, LVM_FINDITEM, static_cast<WPARAM>(nStart), ToParam(pFindInfo)));
}

BOOL CListCtrl::EnsureVisible(int nItem, BOOL bPartialOK) {
    return static_cast<BOOL>(
        ::SendMessageA(m_hWnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(nItem), bPartialOK));
}

CImageList* CListCtrl::SetImageList(CImageList* pImageList, int nImageListType) {
    HIMAGELIST hList = pImageList != NULL ? pImageList->m_hImageList : NULL;
    return CImageList::FromHandle(reinterpret_cast<HIMAGELIST>(::SendMessageA(
        m_hWnd, LVM_SETIMAGELIST, static_cast<WPARAM>(nImageListType), ToParam(hList))));
}

CImageList* CListCtrl::GetImageList(int nImageListType) const {
    return CImageList::FromHandle(reinterpret_cast<HIMAGELIST>(
        ::SendMessageA(m_hWnd, LVM_GETIMAGELIST, static_cast<WPARAM>(nImageListType), 0)));
}

BOOL CListCtrl::SortItems(PFNLVCOMPARE pfnCompare, DWORD_PTR dwData) {
    return static_cast<BOOL>(::SendMessageA(m_hWnd, LVM_SORTITEMS, static_cast<WPARAM>(dwData),
                                            reinterpret_cast<LPARAM>(pfnCompare)));
}

int CListCtrl::InsertColumn(int nCol, LPCTSTR lpszColumnHeading, int nFormat, int nWidth,
                            int nSubItem) {
    LVCOLUMN column = {};
    column.mask = LVCF_TEXT | LVCF_FMT;
    column.fmt = nFormat;
    column.pszText = const_cast<LPTSTR>(lpszColumnHeading);
    if (nWidth != -1) {
        column.mask |= LVCF_WIDTH;
        column.cx = nWidth;
    }
    if (nSubItem != -1) {
        column.mask |= LVCF_SUBITEM;
        column.iSubItem = nSubItem;
    }
    return static_cast<int>(
        ::SendMessageA(m_hWnd, LVM_INSERTCOLUMN, static_cast<WPARAM>(nCol), ToParam(&column)));
}

BOOL CListCtrl::DeleteColumn(int nCol) {
    return static_cast<BOOL>(
        ::SendMessageA(m_hWnd, LVM_DELETECOLUMN, static_cast<WPARAM>(nCol), 0));
}
