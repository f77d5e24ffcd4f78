// The framework's extensions to the windowing classes.
#pragma once

#include "afxwin.h"
