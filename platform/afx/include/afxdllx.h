// Included once by an extension library, in the source of its DllMain, as MFC's afxdllx.h
// is. The framework's extension-module support itself is declared by afxwin.h.
//
// MFC's own afxdllx.h also defines the library's raw entry (_pRawDllMain), which on process
// attach moves the module state's class and factory lists aside before the library's static
// constructors link its run-time classes into them, for AfxInitExtensionModule to collect.
// Here run-time classes are constant records that nothing links at construction, so there is
// nothing to move aside and no raw entry.
#pragma once

#include "afxwin.h"
