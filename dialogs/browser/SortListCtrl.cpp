#include "stdafx.h"

#include "dialogs/browser/SortListCtrl.h"

#include <ctype.h>

#include <new>

namespace {

const int kFirstUnusedImage = 12; // images above it all sort as one group

// Compares two texts in upper case, byte by byte as unsigned values: -1, 0 or 1.
int CompareUpper(const char* pA, const char* pB) {
    for (;; ++pA, ++pB) {
        const unsigned char a =
            static_cast<unsigned char>(toupper(static_cast<unsigned char>(*pA)));
        const unsigned char b =
            static_cast<unsigned char>(toupper(static_cast<unsigned char>(*pB)));
        if (a != b)
            return a < b ? -1 : 1;
        if (a == '\0')
            return 0;
    }
}

// The last three characters of a text (the whole text when it is shorter).
const char* LastThree(const char* pText) {
    const size_t nLength = strlen(pText);
    return nLength > 3 ? pText + nLength - 3 : pText;
}

} // namespace

IMPLEMENT_DYNAMIC(CSortListCtrl, CListCtrl)

BEGIN_MESSAGE_MAP(CSortListCtrl, CListCtrl)
END_MESSAGE_MAP()

CSortListCtrl::CSortListCtrl() {}

CSortListCtrl::~CSortListCtrl() {}

void CSortListCtrl::NumberItems(int nColumn) {
    for (int i = 0; i < GetItemCount(); ++i)
        SetItem(i, nColumn, LVIF_PARAM, NULL, 0, 0, 0, static_cast<LPARAM>(i));
}

void CSortListCtrl::Sort(int nColumn, int nRule) {
    if (nRule != 0 && nRule != 1)
        return;
    NumberItems(nColumn);
    const int nCount = GetItemCount();
    if (nCount <= 0)
        return;
    SORTSLOT* pSlots = new (std::nothrow) SORTSLOT[nCount];
    if (pSlots == NULL)
        return; // no snapshot: the order stays as it is
    memset(pSlots, 0, sizeof(SORTSLOT) * nCount);
    for (int k = 0; k < nCount; ++k) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE;
        item.iItem = k;
        item.iSubItem = nColumn;
        item.pszText = pSlots[k].szText;
        item.cchTextMax = MAX_PATH;
        if (!GetItem(&item))
            break;
        pSlots[k].szText[MAX_PATH - 1] = '\0';
        pSlots[k].nImage = item.iImage;
    }
    SortItems(nRule == 0 ? &CSortListCtrl::CompareByImageAndName
                         : &CSortListCtrl::CompareByExtension,
              reinterpret_cast<DWORD_PTR>(pSlots));
    delete[] pSlots;
}

int CALLBACK CSortListCtrl::CompareByImageAndName(LPARAM lParam1, LPARAM lParam2,
                                                  LPARAM lParamSort) {
    const SORTSLOT* pSlots = reinterpret_cast<const SORTSLOT*>(lParamSort);
    const SORTSLOT& a = pSlots[lParam1];
    const SORTSLOT& b = pSlots[lParam2];
    if ((a.nImage > kFirstUnusedImage && b.nImage > kFirstUnusedImage) || a.nImage == b.nImage)
        return CompareUpper(a.szText, b.szText);
    return a.nImage > b.nImage ? 1 : -1;
}

int CALLBACK CSortListCtrl::CompareByExtension(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort) {
    const SORTSLOT* pSlots = reinterpret_cast<const SORTSLOT*>(lParamSort);
    return CompareUpper(LastThree(pSlots[lParam1].szText), LastThree(pSlots[lParam2].szText));
}
