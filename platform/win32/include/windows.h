// The Win32 API subset of the POSIX emulation. System code includes this exactly as it
// includes the SDK's windows.h on Windows.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "winbase.h"
#include "securitybaseapi.h"
#include "winreg.h"
#include "ioapiset.h"
#include "wingdi.h"
#include "winuser.h"
#include "shellapi.h"
#include "crtext.h"
