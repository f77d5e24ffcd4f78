// What the library exports to its host, in one header: the classes exported whole
// (AFX_EXT_CLASS) and the plain functions exported under their undecorated names. Further
// exports join this header as their folders are added to the library.
#pragma once

#include <afxwin.h>

#include "command/Com.h"
#include "command/FileInfo.h"
#include "design/Convert.h"
#include "design/FileData.h"
#include "dialogs/browser/IntormationDlg.h"
#include "dialogs/browser/ReceiveDesignDialog.h"
#include "dialogs/files/CreateDlg.h"
#include "dialogs/files/DeleteDlg.h"
#include "dialogs/files/RenameDlg.h"
#include "dialogs/transfer/ReceiveDlg.h"
#include "dialogs/transfer/SendDlg.h"

// Whether the machine can be reached: true when the driver's device interface is present and
// the device can be opened (the driver is installed, the machine is plugged in and switched on,
// and no other program holds the device without sharing it). Opens and closes the device at the
// first interface index that has one; sends nothing to the machine.
extern "C" AFX_EXT_API bool IsConnectRX4400();
