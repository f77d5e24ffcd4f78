// The MFC subset: core classes (filled in by the platform work).
#pragma once

#include <windows.h>

#ifndef AFX_EXT_CLASS
#define AFX_EXT_CLASS __attribute__((visibility("default")))
#endif
