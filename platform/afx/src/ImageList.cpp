// Image lists.
#include <afxcmn.h>

#include "WndImpl.h"

IMPLEMENT_DYNAMIC(CImageList, CObject)

namespace {

afx::TempMap<HIMAGELIST, CImageList>& TempImageLists() {
    thread_local afx::TempMap<HIMAGELIST, CImageList> map(&CImageList::m_hImageList);
    return map;
}

} // namespace

CImageList::CImageList() : m_hImageList(NULL) {}

CImageList::~CImageList() {
    DeleteImageList();
}

CImageList* PASCAL CImageList::FromHandle(HIMAGELIST hImageList) {
    if (hImageList == NULL)
        return NULL;
    return TempImageLists().Get(hImageList);
}

BOOL CImageList::Attach(HIMAGELIST hImageList) {
    if (hImageList == NULL || m_hImageList != NULL)
        return FALSE;
    m_hImageList = hImageList;
    return TRUE;
}

HIMAGELIST CImageList::Detach() {
    HIMAGELIST hImageList = m_hImageList;
    m_hImageList = NULL;
    return hImageList;
}

BOOL CImageList::Create(int cx, int cy, UINT nFlags, int nInitial, int nGrow) {
    if (m_hImageList != NULL)
        return FALSE;
    return Attach(::ImageList_Create(cx, cy, nFlags, nInitial, nGrow));
}

BOOL CImageList::DeleteImageList() {
    if (m_hImageList == NULL)
        return FALSE;
    return ::ImageList_Destroy(Detach());
}

int CImageList::Add(CBitmap* pbmImage, COLORREF crMask) {
    if (m_hImageList == NULL || pbmImage == NULL)
        return -1;
    return ::ImageList_AddMasked(m_hImageList, static_cast<HBITMAP>(pbmImage->m_hObject), crMask);
}

int CImageList::Add(CBitmap* pbmImage, CBitmap* pbmMask) {
    if (m_hImageList == NULL || pbmImage == NULL)
        return -1;
    return ::ImageList_Add(m_hImageList, static_cast<HBITMAP>(pbmImage->m_hObject),
                           pbmMask != NULL ? static_cast<HBITMAP>(pbmMask->m_hObject) : NULL);
}

BOOL CImageList::Remove(int nImage) {
    return m_hImageList != NULL && ::ImageList_Remove(m_hImageList, nImage);
}

int CImageList::GetImageCount() const {
    return m_hImageList != NULL ? ::ImageList_GetImageCount(m_hImageList) : 0;
}
