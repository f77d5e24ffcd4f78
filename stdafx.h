// The system's common header: the framework and the Win32 API, as in every MFC project.
#pragma once

#include <afxwin.h>
#include <afxmt.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
