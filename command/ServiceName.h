// The argument of a service request that names an entry of the PC folder the machine looks
// at: the bytes the machine sent, taken as a single path component.
#pragma once

#include <afx.h>

// The parent folder, accepted where the request allows it.
#define COM_PARENT_NAME ".."

// Takes the name from the dwLength bytes of a service request: the text up to its
// terminating zero, which must lie inside the bytes. TRUE (and the name in strName) when it
// is a single entry name: not empty, no '\', '/' or ':' (a stream of a file on Windows), not
// "." and not ".." (unless bParentAllowed), and no name that Windows takes for a device
// (ComIsDeviceName). FALSE for anything else, which the service treats as a file that cannot
// be opened or created.
BOOL ComServiceEntryName(const BYTE* pData, DWORD dwLength, BOOL bParentAllowed, CString& strName);

// Whether Windows opens pszName, in any folder, as a device instead of a file: CON, PRN, AUX,
// NUL, COM1 to COM9 and LPT1 to LPT9 (also with the superscript digits 1 to 3 of the ANSI code
// page), in any letter case, with or without an extension, with blanks before the extension or
// dots and blanks at the end.
BOOL ComIsDeviceName(LPCSTR pszName);

// The folder above pszFolder: the text before its last separator ('\' or '/'), so that a
// folder given with a separator at its end stays itself ("C:\Designs\" gives "C:\Designs",
// "D:\" gives "D:"); empty when there is none.
CString ComParentFolder(LPCSTR pszFolder);
