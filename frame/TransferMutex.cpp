#include "stdafx.h"
#include "frame/TransferMutex.h"

CMutex g_transferMutex(FALSE, USBCOMM_MUTEX_NAME, NULL);
