// The framework's collections. CObList, the one this framework provides, is part of afx.h.
#pragma once

#include "afx.h"
