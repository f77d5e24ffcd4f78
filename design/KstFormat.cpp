#include "stdafx.h"
#include "design/KstFormat.h"
