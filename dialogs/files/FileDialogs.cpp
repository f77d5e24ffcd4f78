#include "stdafx.h"

#include "dialogs/files/FileDialogs.h"

namespace fileDialogs {

void SelectAll(CEdit& edit) {
    edit.SetFocus();
    edit.SetSel(0, -1);
}

void ShowForbidden(CWnd* pDialog, CEdit& edit) {
    pDialog->MessageBox("A file name cannot contain any of the following characters:\n"
                        " \\ / : * ? \" < > |",
                        "Rename", MB_ICONHAND | MB_OK);
    SelectAll(edit);
}

void ShowDuplicate(CWnd* pDialog, CEdit& edit, LPCSTR lpszVerb, LPCSTR lpszName) {
    CString strText;
    strText.Format("Cannot %s %s :\n A file with the name you specified already exists. Specify a "
                   "different file name.",
                   lpszVerb, lpszName);
    pDialog->MessageBox(strText, "Rename", MB_ICONHAND | MB_OK);
    SelectAll(edit);
}

int FindInList(CListCtrl* pList, LPCSTR lpszName) {
    if (pList == NULL)
        return -1;
    const int nCount = pList->GetItemCount();
    for (int i = 0; i < nCount; ++i) {
        if (pList->GetItemText(i, 0).CompareNoCase(lpszName) == 0)
            return i;
    }
    return -1;
}

} // namespace fileDialogs
