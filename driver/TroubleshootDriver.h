// The driver troubleshooting: examines how the machine's USB driver is installed on this
// computer, tells the user what it found and, when the installation looks damaged, offers to
// delete the driver information (on the older Windows versions) or opens the help file that
// explains how to do it by hand (on the newer ones).
#pragma once

#include "stdafx.h"

// Runs the whole flow; every message box is owned by hWnd (which may be null).
void TroubleshootDriver(HWND hWnd);
