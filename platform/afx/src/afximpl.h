// Helpers shared by the framework's own sources (not part of its interface).
#pragma once

#include <afx.h>

// Copies text into a caller's buffer of nMaxError characters, truncated and always terminated;
// FALSE when there is no buffer.
BOOL AfxCopyMessage(LPCTSTR text, LPTSTR lpszError, UINT nMaxError);

// The last component of a path: what follows the last '\', '/' or ':'.
CString AfxFileNameOfPath(LPCTSTR lpszPath);

// A file name without its extension (the text from its last '.').
CString AfxTitleOfFileName(const CString& strName);
