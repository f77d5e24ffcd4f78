// CSortListCtrl: the browser's list control, which orders its entries once, on request. Rule 0
// groups the entries by image (lower indexes first: folders, then extended designs, then plain
// designs) and orders each group by name without regard to letter case; rule 1 orders them by
// the last three characters of their text. Nothing re-sorts the control by itself.
#pragma once

#include "stdafx.h"

#include <afxcmn.h>

class CSortListCtrl : public CListCtrl {
    DECLARE_DYNAMIC(CSortListCtrl)
public:
    CSortListCtrl();
    ~CSortListCtrl() override;

    // Orders the entries by the rule (0 or 1; any other leaves the order unchanged). Both rules
    // read the entries' texts and images into a snapshot first, and number the entries' item
    // data with their positions before the sort; the numbers stay on the entries afterwards.
    void Sort(int nColumn, int nRule);
    // Sets the item data of every entry to its position.
    void NumberItems(int nColumn);

    // One entry of the snapshot.
    struct SORTSLOT {
        char szText[MAX_PATH];
        int nImage;
    };
    // The comparisons handed to the control's sort: the item data of two entries, and the
    // snapshot.
    static int CALLBACK CompareByImageAndName(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);
    static int CALLBACK CompareByExtension(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);

protected:
    DECLARE_MESSAGE_MAP()
};
