// Included once by an extension library, in the source of its DllMain, as MFC's afxdllx.h
// is. The framework's extension-module support itself is declared by afxwin.h.
#pragma once

#include "afxwin.h"
